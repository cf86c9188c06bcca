# shellcheck shell=bash disable=SC2030,SC2031
# (the prefix variables are set in subshells on purpose)
# Functions for running the real Setup.exe under Wine; sourced by the other
# scripts of this folder.
#
# Three levels, from slow and rare to fast and frequent:
#
# template  One Wine prefix per architecture (win32, win64), made once with
#           wineboot and our settings, cached in $SETUP_WINE_CACHE (default
#           ~/.cache/touchpad-setup), keyed by the Wine version. 15-60 s.
# session   A private Xvfb display, the build tree's working copy of each
#           prefix (copied from the template once, its registry reset to the
#           template's at every session start) and a persistent wineserver.
#           Its state lives in one folder (CTest: build/windows/tests/wine/session).
# scenario  One run of a program: package folder laid out in the prefix,
#           program started by run_and_wait.exe, results collected.
#           A fraction of a second.
#
# Only processes this file started are ended: Xvfb by the pid it recorded,
# and the wineserver (with every Wine process of the prefix) by wineserver -k
# on the session's own prefix.

# Quiet Wine, no Mono or Gecko prompts, no menu entries in the home folder.
export WINEDEBUG=-all
WT_OVERRIDES_BASE="mscoree,mshtml=;winemenubuilder.exe=d"
# While testing, wineboot stays off so a restart request cannot end the
# session's prefix, and winedbg stays off so a crash ends the process at once
# with the exception code as its exit code.
WT_OVERRIDES_TEST="$WT_OVERRIDES_BASE;wineboot.exe=d;winedbg.exe=d"

wt_log() { printf '%s\n' "$*" >&2; }
wt_die() { wt_log "wine-env: $*"; return 1; }
wt_now_ms() { date +%s%3N; }

wt_cache_dir() { printf '%s\n' "${SETUP_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/touchpad-setup}"; }

# "wine-8.0" from "wine-8.0 (Debian 8.0~repack-4)": prefixes are remade when
# Wine changes.
wt_wine_tag() {
    local loader
    loader=$(wt_loader win64 2>/dev/null) || loader=wine
    "$loader" --version 2>/dev/null | awk '{print $1}' | tr -c 'A-Za-z0-9.\n-' '_'
}

# The loader that starts a program of one architecture. "wine" picks Wine's
# 32-bit loader whenever it is installed, which on a kernel that runs no
# 32-bit code fails with "Exec format error" before anything starts; a 64-bit
# program (and everything of a 64-bit prefix: wineboot, the 64-bit regedit)
# goes to the 64-bit loader directly, which works on every x86-64 kernel.
wt_loader() {  # win32|win64
    local candidate
    if [ "$1" = win32 ]; then printf 'wine\n'; return 0; fi
    for candidate in "$(command -v wine64 2>/dev/null || true)" /usr/lib/wine/wine64 /usr/lib64/wine/wine64; do
        if [ -n "$candidate" ] && [ -x "$candidate" ]; then printf '%s\n' "$candidate"; return 0; fi
    done
    wt_die "no 64-bit Wine loader (Debian: wine64)"
}

# Where a PE file's 16-bit machine field lies: after the "PE\0\0" signature
# that the DOS header's e_lfanew (at 60) points to.
wt_pe_machine_offset() {  # file
    local pe_offset
    pe_offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    [ -n "$pe_offset" ] || return 1
    printf '%s\n' $(( pe_offset + 4 ))
}

# The machine field, in decimal (0x14c i386, 0x8664 AMD64).
wt_pe_machine() {  # file
    local offset
    offset=$(wt_pe_machine_offset "$1") || return 1
    od -An -tu2 -j"$offset" -N2 "$1" | tr -d ' '
}

# The prefix architecture a program needs: win64 for an AMD64 image, which
# only a 64-bit prefix and Wine's 64-bit loader can run, else win32.
wt_image_arch() {  # file
    local machine
    machine=$(wt_pe_machine "$1") || { wt_die "not built: $1"; return 1; }
    if [ "$machine" = $(( 0x8664 )) ]; then printf 'win64\n'; else printf 'win32\n'; fi
}

# The architecture of the leg the helpers belong to: the i686 helpers run
# the shipped programs, the x86-64 ones the 64-bit test build.
wt_helpers_arch() {  # helpers_dir
    wt_image_arch "$1/run_and_wait.exe"
}

wt_check_tools() {
    local t missing=()
    for t in wine wineserver Xvfb flock; do
        command -v "$t" >/dev/null 2>&1 || missing+=("$t")
    done
    [ ${#missing[@]} -eq 0 ] || wt_die "missing tools: ${missing[*]} (Debian: wine wine32:i386 wine64 xvfb util-linux)"
}

wt_check_arch() {
    case "$1" in win32|win64) ;; *) wt_die "unknown arch '$1' (win32 or win64)" ;; esac
}

# Windows path "C:\a\b" -> host path inside the prefix; only drive C.
wt_host_path() {  # prefix windows_path
    local p=$2
    case "$p" in
        [Cc]:\\*) p=${p:3} ;;
        [Cc]:) p= ;;
        *) wt_die "only C:\\ paths are supported here: $2"; return 1 ;;
    esac
    printf '%s/drive_c/%s\n' "$1" "${p//\\//}"
}

# Host path -> Windows path through drive Z: (the host's root).
wt_z_path() { local p=$1; printf 'Z:%s\n' "${p//\//\\}"; }

# Settings every prefix gets: unmanaged X11 windows (a closing box would
# otherwise wait 2 s without a window manager), the relay trace restricted to
# the MessageBox calls (the only place their style flags show), no crash
# dialog, no sound driver, and a defined Windows version.
wt_write_prefix_settings() {  # file
    cat >"$1" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine]
"Version"="win7"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="N"

[HKEY_CURRENT_USER\Software\Wine\Debug]
"RelayInclude"="user32.MessageBoxA;user32.MessageBoxW;user32.MessageBoxExA;user32.MessageBoxExW"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Audio"=""
EOF
}

# Makes the cached template prefix of one architecture unless it is there.
wt_template_ensure() {  # arch
    wt_check_arch "$1" || return 1
    local cache tag template
    cache=$(wt_cache_dir)
    tag=$(wt_wine_tag)
    [ -n "$tag" ] || { wt_die "wine does not run"; return 1; }
    template="$cache/$tag-$1"
    mkdir -p "$cache" || return 1
    (
        flock -w 1800 9 || { wt_die "timed out waiting for the lock on $template"; exit 1; }
        [ -f "$template/.touchpad-setup-ready" ] && exit 0
        wt_log "wine-env: making the $1 template prefix $template (once; 15-60 s)"
        local start settings
        start=$(wt_now_ms)
        rm -rf "$template"
        export WINEPREFIX="$template" WINEARCH="$1" WINEDLLOVERRIDES="$WT_OVERRIDES_BASE"
        unset DISPLAY
        local loader
        loader=$(wt_loader "$1") || exit 1
        "$loader" wineboot -i 9>&- >"$cache/$tag-$1.wineboot.log" 2>&1 || { wt_die "wineboot failed, see $cache/$tag-$1.wineboot.log"; exit 1; }
        settings="$cache/$tag-$1.settings.reg"
        wt_write_prefix_settings "$settings"
        "$loader" regedit /S "$(wt_z_path "$settings")" 9>&- >>"$cache/$tag-$1.wineboot.log" 2>&1 || { wt_die "regedit failed"; exit 1; }
        wineserver -w 9>&-
        # What the sessions reset their registry to.
        mkdir -p "$template/.pristine"
        cp "$template"/*.reg "$template/.pristine/"
        touch "$template/.touchpad-setup-ready"
        wt_log "wine-env: template ready in $(( $(wt_now_ms) - start )) ms"
    ) 9>"$template.lock"
}

wt_template_path() { printf '%s/%s-%s\n' "$(wt_cache_dir)" "$(wt_wine_tag)" "$1"; }

# --- locales -----------------------------------------------------------------
#
# Wine takes the system language and ANSI code page from LC_CTYPE (LANG) and
# the user-interface language from LC_MESSAGES, but only when glibc can load
# the locale; otherwise everything silently stays English. The locales a run
# names are compiled with localedef into a private folder of the cache (no
# root, no locale-archive), keyed by the glibc version since the compiled
# format follows it, and the run gets LOCPATH pointing there.

wt_locale_dir() {
    printf '%s/locales-%s\n' "$(wt_cache_dir)" "$(getconf GNU_LIBC_VERSION 2>/dev/null | tr -c 'A-Za-z0-9.\n-' '_')"
}

# True for the locales glibc has built in or always installed: nothing to compile.
wt_locale_builtin() {
    case "$1" in ''|C|POSIX|C.UTF-8|C.utf8) return 0 ;; *) return 1 ;; esac
}

# Compiles each named locale ("he_IL.UTF-8", "ru_RU.CP1251", "de_DE@euro")
# unless the cache has it; one per processor at a time, each about 1 s.
# The character map comes from glibc's list of supported locales, as
# locale-gen takes it.
wt_locale_ensure() {  # name...
    local dir name charmap todo=() pids=() failed=0 pid jobs supported=/usr/share/i18n/SUPPORTED
    dir=$(wt_locale_dir)
    for name in "$@"; do
        wt_locale_builtin "$name" && continue
        [ -f "$dir/$name/.touchpad-setup-ready" ] && continue
        printf '%s\n' "$name" | grep -qE '^[a-z]{2,3}_[A-Z]{2}(\.[A-Za-z0-9-]+)?(@[a-z]+)?$' ||
            { wt_die "not a locale name: '$name'"; return 1; }
        command -v localedef >/dev/null 2>&1 || { wt_die "localedef is missing (Debian: locales)"; return 1; }
        charmap=$(awk -v n="$name" '$1 == n { print $2; exit }' "$supported" 2>/dev/null)
        [ -n "$charmap" ] || { wt_die "glibc does not support the locale $name (not in $supported)"; return 1; }
        todo+=("$name" "$charmap")
    done
    [ ${#todo[@]} -gt 0 ] || return 0
    mkdir -p "$dir" || return 1
    jobs=$(nproc 2>/dev/null || echo 2)
    set -- "${todo[@]}"
    while [ $# -gt 0 ]; do
        if [ ${#pids[@]} -ge "$jobs" ]; then
            wait "${pids[0]}" || failed=1
            pids=("${pids[@]:1}")
        fi
        wt_locale_compile "$dir" "$1" "$2" &
        pids+=($!)
        shift 2
    done
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
    return $failed
}

wt_locale_compile() {  # dir name charmap
    local dir=$1 name=$2 charmap=$3 input
    input=${name%%[.@]*}
    case "$name" in *@*) input="$input@${name##*@}" ;; esac
    (
        flock -w 600 9 || { wt_die "timed out waiting for the lock on $dir/$name"; exit 1; }
        [ -f "$dir/$name/.touchpad-setup-ready" ] && exit 0
        local start loaded new="$dir/.new-$name"
        start=$(wt_now_ms)
        rm -rf "${dir:?}/$name" "$new"
        mkdir -p "$new" || exit 1
        # localedef writes a folder when the output names one (it has a
        # slash). It may warn (exit 1) and still write a usable locale, so
        # success is glibc loading it with the right character map.
        localedef -i "$input" -f "$charmap" "$new/$name" >"$dir/$name.log" 2>&1 || true
        loaded=$(LOCPATH="$new" LC_ALL="$name" locale charmap 2>/dev/null) || true
        if [ "$loaded" != "$charmap" ]; then
            wt_die "localedef could not make $name, see $dir/$name.log"
            exit 1
        fi
        mv "$new/$name" "$dir/$name" && rmdir "$new" && touch "$dir/$name/.touchpad-setup-ready" || exit 1
        wt_log "wine-env: locale $name compiled in $(( $(wt_now_ms) - start )) ms"
    ) 9>"$dir/$name.lock"
}

# --- session ---------------------------------------------------------------

wt_session_file() { printf '%s/session.env\n' "$1"; }

# True for a running (not zombie) process named Xvfb: a zombie keeps its name
# where nothing reaps it, as in some containers.
wt_is_live_xvfb() {  # pid
    [ -n "$1" ] && [ "$(cat "/proc/$1/comm" 2>/dev/null)" = "Xvfb" ] &&
        [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" != "Z" ]
}

wt_session_running() {  # state
    local f pid
    f=$(wt_session_file "$1")
    [ -f "$f" ] || return 1
    pid=$(sed -n 's/^XVFB_PID=//p' "$f")
    wt_is_live_xvfb "$pid"
}

wt_session_load() {  # state
    wt_session_running "$1" || { wt_die "no Wine session in $1 (run tools/wine/wine-session.sh start)"; return 1; }
    DISPLAY=$(sed -n 's/^DISPLAY=//p' "$(wt_session_file "$1")")
    export DISPLAY
}

# Starts the display. Prefixes join on first use (wt_session_prefix).
wt_session_start() {  # state
    local state=$1 fdfile pid display
    wt_check_tools || return 1
    mkdir -p "$state" || return 1
    state=$(cd "$state" && pwd)
    wt_session_stop "$state" 2>/dev/null || true
    fdfile="$state/xvfb.display"
    : >"$fdfile"
    # -displayfd: Xvfb picks a free display number itself and reports it.
    # Its output goes to files, never to the caller's pipes, or CTest would
    # wait for it.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
        3>"$fdfile" </dev/null >"$state/xvfb.log" 2>&1 &
    pid=$!
    # It reports at once; a minute leaves room for a machine busy with other
    # work, and an Xvfb that died is seen at once.
    for _ in $(seq 1200); do
        [ -s "$fdfile" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    display=$(tr -dc '0-9' <"$fdfile")
    if [ -z "$display" ]; then
        kill "$pid" 2>/dev/null
        wt_die "Xvfb did not start, see $state/xvfb.log"
        return 1
    fi
    printf 'XVFB_PID=%s\nDISPLAY=:%s\n' "$pid" "$display" >"$(wt_session_file "$state")"
    wt_log "wine-env: session in $state, Xvfb pid $pid on display :$display"
}

# The working copy of a template: the system folders (nearly all of a
# prefix's 0.6-1.3 GB, written once by wineboot and only read afterwards) are
# hard links into the template; every other file is a real copy, since Wine
# and the programs under test may rewrite those in place. Across file systems
# it falls back to a full copy.
wt_prefix_copy() {  # template prefix
    local template=$1 prefix=$2 f
    if cp -al "$template" "$prefix" 2>/dev/null; then
        while IFS= read -r -d '' f; do
            cp -p "$f" "$f.copy" && mv -f "$f.copy" "$f" || return 1
        done < <(find "$prefix" \( -path "$prefix/drive_c/windows/system32" \
                                   -o -path "$prefix/drive_c/windows/syswow64" \
                                   -o -path "$prefix/drive_c/windows/winsxs" \) -prune \
                                -o -type f -print0)
    else
        rm -rf "$prefix"
        cp -a --reflink=auto "$template" "$prefix"
    fi
}

# The session's working prefix of one architecture, made ready on first use:
# (every Wine command under a lock gets 9>&-: a wineserver that inherited the
# lock's descriptor would hold the lock for as long as it lives)
#
# copied from the template, registry reset, persistent wineserver started,
# desktop warmed up. Prints the prefix path.
wt_session_prefix() {  # state arch [helpers_dir]
    local state=$1 arch=$2 helpers=${3:-} prefix template
    wt_check_arch "$arch" || return 1
    prefix="$state/prefix-$arch"
    (
        flock -w 1800 9 || exit 1
        [ -f "$state/prefix-$arch.up" ] && exit 0
        wt_session_load "$state" || exit 1
        wt_template_ensure "$arch" || exit 1
        template=$(wt_template_path "$arch")
        if [ ! -f "$prefix/.touchpad-setup-ready" ] || [ "$template/.touchpad-setup-ready" -nt "$prefix/.touchpad-setup-ready" ]; then
            rm -rf "$prefix"
            wt_prefix_copy "$template" "$prefix" || exit 1
        fi
        export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDLLOVERRIDES="$WT_OVERRIDES_TEST"
        wineserver -k 9>&- 2>/dev/null || true
        wineserver -w 9>&- 2>/dev/null || true
        cp "$prefix"/.pristine/*.reg "$prefix/"
        # Persistent: later runs skip the server and desktop start-up. It
        # still ends by itself 10 minutes after its last client, should the
        # session never be stopped.
        wineserver -p600 9>&- </dev/null >/dev/null 2>&1
        if [ -n "$helpers" ] && [ -f "$helpers/run_and_wait.exe" ]; then
            local job="$state/warmup-$arch.job"
            printf 'command=C:\\windows\\system32\\rundll32.exe\ntimeout_ms=120000\n' >"$job"
            "$(wt_loader "$(wt_helpers_arch "$helpers")")" "$helpers/run_and_wait.exe" "$(wt_z_path "$job")" 9>&- \
                </dev/null >"$state/warmup-$arch.log" 2>&1 || true
        fi
        touch "$state/prefix-$arch.up"
    ) 9>"$state/prefix-$arch.lock" || { wt_die "the $arch prefix could not be readied"; return 1; }
    printf '%s\n' "$prefix"
}

wt_session_stop() {  # state
    local state=$1 f pid up arch
    for up in "$state"/prefix-*.up; do
        [ -e "$up" ] || continue
        arch=${up##*/prefix-}
        arch=${arch%.up}
        WINEPREFIX="$state/prefix-$arch" wineserver -k 2>/dev/null || true
        rm -f "$up"
    done
    f=$(wt_session_file "$state")
    if [ -f "$f" ]; then
        pid=$(sed -n 's/^XVFB_PID=//p' "$f")
        if wt_is_live_xvfb "$pid"; then kill "$pid" 2>/dev/null || true; fi
        rm -f "$f"
    fi
}

# --- scenario ----------------------------------------------------------------
#
# A scenario is a folder: scenario.conf, package/, expect_boxes.jsonl,
# expect_engine_command_line.txt, expect_files/, before_files/,
# engine_log_lines.txt, registry.reg, registry_cleanup.reg. The format is
# described in tests/wine/README.md.

wt_conf_get() {  # conf key [default] -> first value
    local v
    v=$(grep -m1 -E "^$2=" "$1" | sed -e "s/^$2=//" -e 's/\r$//') || true
    if [ -z "$v" ] && ! grep -q -E "^$2=" "$1"; then v=${3:-}; fi
    printf '%s\n' "$v"
}

wt_conf_all() {  # conf key -> every value, one a line
    grep -E "^$2=" "$1" | sed -e "s/^$2=//" -e 's/\r$//' || true
}

# Imports a .reg file into the prefix as regedit on Windows of that
# architecture would: in a 64-bit prefix the 64-bit regedit, so HKLM\Software
# is the 64-bit view and HKLM\Software\Wow6432Node the 32-bit one. (The
# "wine" command starts the 32-bit regedit, whose HKLM\Software is redirected
# into Wow6432Node.)
wt_regedit() {  # arch reg_file
    local loader
    loader=$(wt_loader "$1") || return 1
    "$loader" regedit /S "$(wt_z_path "$2")"
}

# Sets the 16-bit machine field of a PE file in place.
wt_patch_machine() {  # file value
    local offset bytes
    offset=$(wt_pe_machine_offset "$1") || return 1
    bytes=$(printf '\\x%02x\\x%02x' $(( $2 & 0xFF )) $(( ($2 >> 8) & 0xFF )))
    # shellcheck disable=SC2059 # the format is the two escaped bytes
    printf "$bytes" |
        dd of="$1" bs=1 seek="$offset" conv=notrunc status=none
}

# The files a scenario checks, copied out of the prefix into out_dir/files/C/:
# every file that expect_files/C/ holds (where the run left one), and every
# expect_tree folder whole.
wt_collect_files() {  # scenario_dir prefix out_dir
    local scen=$1 drive=$2/drive_c out=$3/files/C rel tree
    mkdir -p "$out" || return 1
    if [ -d "$scen/expect_files/C" ]; then
        while IFS= read -r rel; do
            [ -f "$drive/$rel" ] || continue
            mkdir -p "$out/$(dirname "$rel")" && cp "$drive/$rel" "$out/$rel" || return 1
        done < <(cd "$scen/expect_files/C" && find . -type f | sed 's|^\./||')
    fi
    while IFS= read -r tree; do
        [ -n "$tree" ] || continue
        rel=${tree:3}; rel=${rel//\\//}
        [ -d "$drive/$rel" ] || continue
        mkdir -p "$out/$rel" && cp -R "$drive/$rel/." "$out/$rel/" || return 1
    done < <(wt_conf_all "$scen/scenario.conf" expect_tree)
}

# Why a scenario cannot run on a leg, empty when it can. A scenario says what
# it depends on with "needs=<what>: <why>": "32-bit-windows" (the point is
# what the program does on a 32-bit Windows: an x64 engine refused),
# "32-bit-program" (the point is the i686 program itself: its 2 GB of
# address space) or "wow64" (the point is a 32-bit program on 64-bit
# Windows: the registry view it must ask for, the redirected system folder).
# None runs on the x86-64 leg, whose program is a 64-bit process on a 64-bit
# Windows; the simulated machine and the i686 leg run them all.
wt_scenario_skip_reason() {  # scenario_dir helpers_dir
    local needs leg_arch
    needs=$(wt_conf_get "$1/scenario.conf" needs)
    [ -n "$needs" ] || return 0
    case "${needs%%:*}" in
        32-bit-windows|32-bit-program|wow64) ;;
        *) wt_die "$1/scenario.conf: needs=${needs%%:*} is none of 32-bit-windows, 32-bit-program, wow64"; return 1 ;;
    esac
    leg_arch=$(wt_helpers_arch "$2") || return 1
    [ "$leg_arch" = win32 ] || printf 'needs %s\n' "$needs"
}

# Runs one scenario and leaves its results in out_dir:
#   exit_code.txt  boxes.jsonl  engine_command_line.txt (if the engine ran)
#   files/C/... (the files the scenario checks)
#   runner.txt (runner's report)  wine_stderr.txt (relay trace)  job.txt  timing.txt
# With a check program (SetupCheck.exe), that program is laid beside the
# program and run instead, asked what the program would do, with the fake
# engine's exit code as the engine's; its output goes to transcript.json, and
# the files the scenario expects start out missing, so that any found
# afterwards were written by the check. Returns 75 when run_and_wait.exe
# itself failed: Wine did not carry the run through.
wt_run_scenario() {  # state scenario_dir program helpers_dir out_dir [check_program]
    local state=$1 scen=$2 program=$3 helpers=$4 out=$5 check_program=${6:-}
    local conf="$scen/scenario.conf" leg_arch arch windows package program_name engine exit_code_engine machine
    local arguments directory timeout lang lc_messages prefix host_pkg engine_host engine_dir command t0 t1 t2 status
    [ -f "$conf" ] || { wt_die "no $conf"; return 1; }
    [ -f "$program" ] || { wt_die "program not built: $program"; return 1; }
    for f in run_and_wait.exe fake_engine.exe; do
        [ -f "$helpers/$f" ] || { wt_die "helper not built: $helpers/$f"; return 1; }
    done
    t0=$(wt_now_ms)
    leg_arch=$(wt_helpers_arch "$helpers") || return 1
    arch=$(wt_conf_get "$conf" arch win32)
    # A 64-bit program runs only in a 64-bit prefix: on the 64-bit leg every
    # scenario that runs there (wt_scenario_skip_reason) takes one, and a
    # 64-bit process sees that Windows as a 32-bit one sees a 32-bit Windows:
    # no registry view or folder redirected.
    [ "$leg_arch" = win32 ] || arch=win64
    windows=$(wt_conf_get "$conf" windows win7)
    package=$(wt_conf_get "$conf" package 'C:\pkg')
    program_name=$(wt_conf_get "$conf" program_name "$(basename "$program")")
    engine=$(wt_conf_get "$conf" engine DPInst.exe)
    exit_code_engine=$(wt_conf_get "$conf" engine_exit_code 0)
    machine=$(wt_conf_get "$conf" engine_machine)
    arguments=$(wt_conf_get "$conf" arguments)
    directory=$(wt_conf_get "$conf" directory "$package")
    timeout=$(wt_conf_get "$conf" timeout_ms 120000)
    lang=$(wt_conf_get "$conf" lang C.UTF-8)
    lc_messages=$(wt_conf_get "$conf" lc_messages)

    wt_locale_ensure "$lang" "$lc_messages" || return 1
    wt_session_load "$state" || return 1
    prefix=$(wt_session_prefix "$state" "$arch" "$helpers") || return 1
    export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDLLOVERRIDES="$WT_OVERRIDES_TEST"

    rm -rf "$out" && mkdir -p "$out" || return 1
    out=$(cd "$out" && pwd)
    host_pkg=$(wt_host_path "$prefix" "$package") || return 1
    rm -rf "$host_pkg" && mkdir -p "$host_pkg" || return 1
    if [ -d "$scen/package" ]; then cp -R "$scen/package/." "$host_pkg/" || return 1; fi
    # Programs of the package that are the leg's own: the machine of its
    # helpers (i386 or AMD64).
    local leg_file
    while IFS= read -r leg_file; do
        [ -z "$leg_file" ] || wt_patch_machine "$host_pkg/${leg_file//\\//}" "$(wt_pe_machine "$helpers/fake_engine.exe")" ||
            { wt_die "leg_machine=$leg_file: no such program in the package"; return 1; }
    done < <(wt_conf_all "$conf" leg_machine)
    cp "$program" "$host_pkg/$program_name" || return 1
    [ -z "$check_program" ] || cp "$check_program" "$host_pkg/SetupCheck.exe" || return 1
    engine_dir=
    if [ -n "$engine" ]; then
        engine_host="$host_pkg/${engine//\\//}"
        engine_dir=$(dirname "$engine_host")
        mkdir -p "$engine_dir" && cp "$helpers/fake_engine.exe" "$engine_host" || return 1
        printf '%s\n' "$exit_code_engine" >"$engine_dir/engine_exit_code.txt"
        if [ -n "$machine" ]; then wt_patch_machine "$engine_host" "$machine" || return 1; fi
        if [ -f "$scen/engine_log_lines.txt" ]; then cp "$scen/engine_log_lines.txt" "$engine_dir/" || return 1; fi
    fi
    # Files the machine already holds, laid on drive C as they are.
    if [ -d "$scen/before_files/C" ]; then cp -R "$scen/before_files/C/." "$prefix/drive_c/" || return 1; fi
    # Folders whose whole content is checked start out missing.
    local tree rel
    while IFS= read -r tree; do
        [ -z "$tree" ] || rm -rf "$(wt_host_path "$prefix" "$tree")" || return 1
    done < <(wt_conf_all "$conf" expect_tree)
    if [ -n "$check_program" ] && [ -d "$scen/expect_files/C" ]; then
        while IFS= read -r rel; do
            [ -f "$scen/before_files/C/$rel" ] || rm -f "$prefix/drive_c/$rel" || return 1
        done < <(cd "$scen/expect_files/C" && find . -type f | sed 's|^\./||')
    fi
    [ ! -f "$scen/registry.reg" ] || wt_regedit "$arch" "$(cd "$scen" && pwd)/registry.reg" \
        </dev/null >>"$out/runner.txt" 2>&1 || { wt_die "registry.reg was not imported"; return 1; }

    command="\"${package%\\}\\$program_name\""
    if [ -n "$check_program" ]; then
        command="\"${package%\\}\\SetupCheck.exe\" --json --program \"$program_name\" --engine-exit-code $exit_code_engine"
    fi
    [ -z "$arguments" ] || command="$command $arguments"
    {
        printf 'command=%s\n' "$command"
        [ -z "$check_program" ] || printf 'output_file=%s\n' "$(wt_z_path "$out/transcript.json")"
        printf 'directory=%s\n' "$directory"
        printf 'exit_code_file=%s\n' "$(wt_z_path "$out/exit_code.txt")"
        printf 'transcript=%s\n' "$(wt_z_path "$out/boxes.jsonl")"
        printf 'relay_log=%s\n' "$(wt_z_path "$out/wine_stderr.txt")"
        printf 'wine_version=%s\n' "$windows"
        printf 'timeout_ms=%s\n' "$timeout"
        wt_conf_all "$conf" answer | sed 's/^/answer=/'
    } >"$out/job.txt"

    t1=$(wt_now_ms)
    status=0
    # The language of the strings and the ANSI code page follow the host's
    # locale variables, so they are set here, never inherited; the locales
    # come from our own compiled folder. They go to wine through env, so that
    # this shell never tries to load them itself.
    local locale_env=("LANG=$lang")
    [ -z "$lc_messages" ] || locale_env+=("LC_MESSAGES=$lc_messages")
    if ! wt_locale_builtin "$lang" || ! wt_locale_builtin "$lc_messages"; then
        locale_env+=("LOCPATH=$(wt_locale_dir)")
    fi
    (
        unset LC_ALL LC_CTYPE LC_MESSAGES LANGUAGE LOCPATH
        exec env "${locale_env[@]}" WINEDEBUG=-all,+relay "$(wt_loader "$leg_arch")" "$helpers/run_and_wait.exe" \
            "$(wt_z_path "$out/job.txt")" \
            </dev/null >>"$out/runner.txt" 2>"$out/wine_stderr.txt"
    ) || status=$?
    t2=$(wt_now_ms)

    if [ -n "$engine_dir" ] && [ -f "$engine_dir/engine_command_line.txt" ]; then
        cp "$engine_dir/engine_command_line.txt" "$out/"
    fi
    wt_collect_files "$scen" "$prefix" "$out" || { wt_die "the files of the run were not collected"; return 1; }
    [ ! -f "$scen/registry_cleanup.reg" ] || wt_regedit "$arch" "$(cd "$scen" && pwd)/registry_cleanup.reg" \
        </dev/null >>"$out/runner.txt" 2>&1 || wt_log "wine-env: registry_cleanup.reg was not imported"
    printf 'layout_ms=%s\nrun_ms=%s\n' $(( t1 - t0 )) $(( t2 - t1 )) >"$out/timing.txt"
    if [ "$status" -ne 0 ]; then
        wt_log "wine-env: run_and_wait.exe ended with status $status:"
        cat "$out/runner.txt" >&2
        grep -v -e ' PE DLL (' -e 'TLS callback' -e 'trace:relay:load_list' -e ' window proc ' \
            "$out/wine_stderr.txt" | tail -20 >&2
        return 75
    fi
    return 0
}

# Compares a check run (wt_run_scenario with a check program) with the
# scenario's expectations of the real program: the transcript must report the
# program's decisions (exit code, boxes, engine command lines), and the check
# itself must have ended normally having shown no box, started no engine and
# written none of the scenario's files. Prints each mismatch; 0 when all hold.
wt_check_check_run() {  # scenario_dir out_dir
    local scen=$1 out=$2 failed=0 got rel tree
    got=$(tr -d '\r\n' <"$out/exit_code.txt" 2>/dev/null || true)
    if [ "$got" != 0 ]; then
        wt_log "FAIL: SetupCheck.exe ended with '$got'"
        failed=1
    fi
    if [ -s "$out/boxes.jsonl" ]; then
        wt_log "FAIL: SetupCheck.exe showed boxes:"
        cat "$out/boxes.jsonl" >&2
        failed=1
    fi
    if [ -f "$out/engine_command_line.txt" ]; then
        wt_log "FAIL: the engine was started:"
        cat -A "$out/engine_command_line.txt" >&2
        failed=1
    fi
    while IFS= read -r rel; do
        [ -n "$rel" ] || continue
        if ! cmp -s "$out/files/C/$rel" "$scen/before_files/C/$rel"; then
            wt_log "FAIL: C:\\${rel//\//\\} was written"
            failed=1
        fi
    done < <([ -d "$out/files/C" ] && cd "$out/files/C" && find . -type f | sed 's|^\./||')
    while IFS= read -r tree; do
        [ -n "$tree" ] || continue
        rel=${tree:3}; rel=${rel//\\//}
        if [ -d "$out/files/C/$rel" ]; then
            wt_log "FAIL: $tree was made"
            failed=1
        fi
    done < <(wt_conf_all "$scen/scenario.conf" expect_tree)
    python3 "$(dirname "${BASH_SOURCE[0]}")/compare-check-transcript.py" "$scen" "$out/transcript.json" >&2 || failed=1
    return $failed
}

# A file with every date and time "Y-M-D h:m:s" (decimal fields, in ANSI or
# UTF-16LE) replaced by "TIME": the program logs the real clock, which a
# scenario cannot know. The simulated runner masks the same way
# (tests/scenario/shared_scenarios_test.cpp).
wt_mask_times() {  # file -> masked bytes on stdout
    LC_ALL=C perl -0777 -pe '
        s/(?:[0-9]\x00)+-\x00(?:[0-9]\x00)+-\x00(?:[0-9]\x00)+ \x00(?:[0-9]\x00)+:\x00(?:[0-9]\x00)+:\x00(?:[0-9]\x00)+/T\x00I\x00M\x00E\x00/g;
        s/[0-9]+-[0-9]+-[0-9]+ [0-9]+:[0-9]+:[0-9]+/TIME/g' "$1"
}

# Whether a scenario masks the times of a file (mask_times=C:\...), in any case.
wt_times_masked() {  # conf windows_path
    wt_conf_all "$1" mask_times | tr '[:upper:]' '[:lower:]' | grep -qxF -- "$(printf '%s' "$2" | tr '[:upper:]' '[:lower:]')"
}

# Shows where two files first differ, for JSON lines too long for a diff.
wt_show_first_difference() {  # expected actual
    local where byte line
    where=$(cmp "$1" "$2" 2>&1) || true
    printf '%s\n' "$where" >&2
    byte=$(printf '%s' "$where" | sed -n 's/.*byte \([0-9]*\).*/\1/p')
    [ -n "$byte" ] || return 0
    line=$(( byte > 60 ? byte - 60 : 1 ))
    printf 'expected ...%s...\n' "$(tail -c +"$line" "$1" | head -c 120 | cat -A)" >&2
    printf 'actual   ...%s...\n' "$(tail -c +"$line" "$2" | head -c 120 | cat -A)" >&2
}

# Compares the results of a run with the scenario's expectations. Prints each
# mismatch; returns 0 when all hold.
wt_check_scenario() {  # scenario_dir out_dir
    local scen=$1 out=$2 conf="$1/scenario.conf" failed=0 want got
    want=$(wt_conf_get "$conf" exit_code 0)
    got=$(tr -d '\r\n' <"$out/exit_code.txt" 2>/dev/null || true)
    if [ -z "$got" ]; then
        wt_log "FAIL: no exit code recorded"
        failed=1
    elif [ $(( want )) -ne $(( got )) ]; then
        wt_log "FAIL: exit code $got, expected $(( want ))"
        failed=1
    fi

    local expect_boxes="$scen/expect_boxes.jsonl" actual_boxes="$out/boxes.jsonl"
    [ -f "$actual_boxes" ] || : >"$actual_boxes"
    if [ -f "$expect_boxes" ]; then
        if ! cmp -s "$expect_boxes" "$actual_boxes"; then
            wt_log "FAIL: the boxes differ from expect_boxes.jsonl"
            diff -u "$expect_boxes" "$actual_boxes" >&2 || true
            wt_show_first_difference "$expect_boxes" "$actual_boxes"
            failed=1
        fi
    elif [ -s "$actual_boxes" ]; then
        wt_log "FAIL: no box expected, but:"
        cat "$actual_boxes" >&2
        failed=1
    fi

    local expect_engine="$scen/expect_engine_command_line.txt" actual_engine="$out/engine_command_line.txt"
    if [ -f "$expect_engine" ]; then
        if [ ! -f "$actual_engine" ]; then
            wt_log "FAIL: the engine did not run; expected command line:"
            cat -A "$expect_engine" >&2
            failed=1
        elif ! cmp -s "$expect_engine" "$actual_engine"; then
            wt_log "FAIL: engine command line (cat -A: \$ marks a line end)"
            wt_log "expected:"; cat -A "$expect_engine" >&2
            wt_log "actual:"; cat -A "$actual_engine" >&2
            failed=1
        fi
    elif [ -f "$actual_engine" ]; then
        wt_log "FAIL: the engine ran, expected it not to:"
        cat -A "$actual_engine" >&2
        failed=1
    fi

    # Every expected file with its bytes; below an expect_tree folder nothing
    # else, not even an empty folder.
    local expect_files="$scen/expect_files/C" actual_files="$out/files/C" rel tree
    if [ -d "$expect_files" ]; then
        while IFS= read -r rel; do
            if [ ! -f "$actual_files/$rel" ]; then
                wt_log "FAIL: C:\\${rel//\//\\} was not written"
                failed=1
            elif wt_times_masked "$conf" "C:\\${rel//\//\\}"; then
                wt_mask_times "$expect_files/$rel" >"$out/expected.masked" &&
                    wt_mask_times "$actual_files/$rel" >"$out/actual.masked" || { failed=1; continue; }
                if ! cmp -s "$out/expected.masked" "$out/actual.masked"; then
                    wt_log "FAIL: C:\\${rel//\//\\} differs from expect_files (dates and times masked)"
                    wt_show_first_difference "$out/expected.masked" "$out/actual.masked"
                    failed=1
                fi
            elif ! cmp -s "$expect_files/$rel" "$actual_files/$rel"; then
                wt_log "FAIL: C:\\${rel//\//\\} differs from expect_files"
                wt_show_first_difference "$expect_files/$rel" "$actual_files/$rel"
                failed=1
            fi
        done < <(cd "$expect_files" && find . -type f | sed 's|^\./||' | sort)
    fi
    while IFS= read -r tree; do
        [ -n "$tree" ] || continue
        rel=${tree:3}; rel=${rel//\\//}
        local want_list got_list
        want_list=$( [ -d "$expect_files/$rel" ] && cd "$expect_files/$rel" && find . -mindepth 1 | sort)
        got_list=$( [ -d "$actual_files/$rel" ] && cd "$actual_files/$rel" && find . -mindepth 1 | sort)
        if [ "$want_list" != "$got_list" ]; then
            wt_log "FAIL: $tree does not hold exactly the expected files and folders"
            diff -u <(printf '%s\n' "$want_list") <(printf '%s\n' "$got_list") >&2 || true
            failed=1
        fi
    done < <(wt_conf_all "$conf" expect_tree)
    return $failed
}
