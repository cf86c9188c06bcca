#!/usr/bin/env bash
# An emulated x86-64 machine whose kernel runs 32-bit code, for running the
# i686 programs under Wine's 32-bit loader where this machine's kernel runs
# none. A Debian guest made from Debian's packages alone, run by
# qemu-system-x86_64 under software emulation; the programs, scenarios and
# results cross through 9p shares mounted at the same paths inside.
#
#   tools/wine/guest.sh make [--locale <name>]...
#       makes the guest unless the cache has it: its root (debootstrap), kernel
#       and disk image, then its Wine template prefixes and those locales
#   tools/wine/guest.sh start <state dir> [--share <folder>]... [--locale <name>]...
#       makes the guest if needed, boots it on a throwaway copy of its disk and
#       waits until it takes commands; each shared folder appears at its own path
#   tools/wine/guest.sh run <state dir> [--limit <seconds>] [--session <guest dir>] -- <command>...
#       runs a command in the guest, relaying its output and exit status; a run
#       that exceeds the limit (default 240 s) or whose Wine start fails (exit
#       75) is retried once, after the Wine session <guest dir> is restarted
#   tools/wine/guest.sh stop <state dir>
#   tools/wine/guest.sh figures <state dir>
#       how long the cached guest took to make and the last boot in <state dir>
#       took, in seconds (made_s, prefixes_made_s, booted_s)
#
# The cache ($SETUP_GUEST_CACHE, default ~/.cache/touchpad-setup/guest) keeps
# one guest, keyed by the versions of the packages that went into it, and its
# prefixes, keyed also by the prefix settings; a guest of other versions is
# removed once the new one is made. Making needs root (debootstrap, chroot).
set -euo pipefail
tools=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=wine-env.sh
source "$tools/wine-env.sh"

usage() { sed -n '2,28p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }

# What the guest holds beyond Debian's minimal base: the kernel, and what the
# Wine runner needs, as scripts/install-deps.sh installs it on this machine.
GUEST_SUITE=bookworm
GUEST_PACKAGES=(linux-image-amd64 kmod wine wine32:i386 wine64 xvfb x11-utils locales python3 procps)
# QEMU's emulation of SMAP (7.2) kills every 32-bit Wine process at an iret
# with a page fault: the guest's processor goes without it.
GUEST_QEMU=(qemu-system-x86_64 -accel tcg,thread=multi -smp 2 -m 3072 -cpu max,-smap
            -nic none -no-reboot)
GUEST_INIT=/sbin/touchpad-guest-init
GUEST_BOOT_LIMIT=900
# A Wine session's restart: its prefixes copied again and warmed up.
GUEST_RESTART_LIMIT=600

guest_die() { wt_log "guest: $*"; return 1; }

guest_cache() { printf '%s\n' "${SETUP_GUEST_CACHE:-$(wt_cache_dir)/guest}"; }

guest_mirror() {
    local uri
    uri=$(sed -n 's/^URIs: *\(http[^ ]*debian\)$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
    printf '%s\n' "${uri:-http://deb.debian.org/debian}"
}

# The versions this machine's package lists offer for what goes into the
# guest: the same suite and mirror, so the same versions go in.
guest_key() {
    local package versions
    versions=$(for package in "${GUEST_PACKAGES[@]}" debootstrap; do
        printf '%s=%s\n' "$package" "$(apt-cache show --no-all-versions "$package" 2>/dev/null |
            sed -n 's/^Version: //p' | head -n 1)"
    done)
    printf '%s\n%s\n%s\n' "$GUEST_SUITE" "$versions" "$(declare -f guest_make_root guest_make_image)" |
        sha256sum | cut -c1-16
}

# The prefixes follow the Wine runner's prefix settings too.
guest_prefix_key() {
    printf '%s\n%s\n%s\n' "$1" "$WT_OVERRIDES_BASE" "$(wt_write_prefix_settings /dev/stdout)" | sha256sum | cut -c1-16
}

guest_make_root() {  # root
    local root=$1
    debootstrap --variant=minbase "$GUEST_SUITE" "$root" "$(guest_mirror)" >"$root.debootstrap.log" 2>&1 ||
        { guest_die "debootstrap failed, see $root.debootstrap.log"; return 1; }
    cat >"$root/etc/apt/sources.list" <<EOF
deb $(guest_mirror) $GUEST_SUITE main
deb $(guest_mirror) $GUEST_SUITE-updates main
deb $(guest_mirror)-security $GUEST_SUITE-security main
EOF
    # The boot needs the disk and its file system before the root is
    # mounted; the shares, after.
    mkdir -p "$root/etc/initramfs-tools"
    printf '%s\n' virtio_pci virtio_blk ext4 >>"$root/etc/initramfs-tools/modules"
    mount -t proc proc "$root/proc" && mount --bind /dev "$root/dev" && mount -t sysfs sys "$root/sys" || return 1
    local status=0
    chroot "$root" /bin/sh -c "dpkg --add-architecture i386 && apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ${GUEST_PACKAGES[*]} &&
        apt-get clean" >"$root.packages.log" 2>&1 || status=$?
    umount "$root/sys" "$root/dev" "$root/proc"
    [ "$status" -eq 0 ] || { guest_die "the guest's packages were not installed, see $root.packages.log"; return 1; }
    chroot "$root" dpkg-query -W >"$root.versions.txt"
    cat >"$root$GUEST_INIT" <<'EOF'
#!/bin/sh
# The guest's init: the file systems a Wine run needs, then the agent the
# host put in its control share.
# (The initramfs hands over /proc, /sys, /dev and /run mounted.)
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sys /sys
mountpoint -q /dev || mount -t devtmpfs dev /dev
mkdir -p /dev/pts /dev/shm
mountpoint -q /dev/pts || mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mountpoint -q /run || mount -t tmpfs tmpfs /run
mount -t tmpfs tmpfs /tmp
modprobe 9pnet_virtio
modprobe 9p
mkdir -p /control
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 control /control
exec /bin/bash /control/agent.sh
EOF
    chmod 755 "$root$GUEST_INIT"
}

guest_make_image() {  # root dir
    local root=$1 dir=$2
    cp "$root"/boot/vmlinuz-* "$dir/vmlinuz" && cp "$root"/boot/initrd.img-* "$dir/initrd.img" || return 1
    # Room for two prefixes of each architecture and the session's copies.
    mke2fs -q -t ext4 -L guest -d "$root" "$dir/base.img" 12G >"$dir/mke2fs.log" 2>&1 ||
        { guest_die "mke2fs failed, see $dir/mke2fs.log"; return 1; }
}

# Removes folders of the cache. A making that was killed may have left the
# chroot's /proc, /dev and /sys mounted inside: those are unmounted first,
# and the removal never crosses into another file system, so that the host's
# /dev is never what gets removed.
guest_remove() {  # folder...
    local folder mount
    for folder in "$@"; do
        [ -e "$folder" ] || continue
        folder=$(cd "$folder" && pwd -P) || return 1
        while IFS= read -r mount; do
            umount -l "$mount" || return 1
        done < <(awk -v inside="$folder/" 'index($2 "/", inside) == 1 { print $2 }' /proc/mounts | sort -r)
        rm -rf --one-file-system "$folder" || return 1
    done
}

# The guest's root, kernel and image: made once per key.
guest_ensure_base() {
    local cache key dir
    cache=$(guest_cache)
    key=$(guest_key)
    dir="$cache/$key"
    [ -f "$dir/.ready" ] && { printf '%s\n' "$dir"; return 0; }
    [ "$(id -u)" -eq 0 ] || { guest_die "making the guest needs root (debootstrap, chroot)"; return 1; }
    local tool
    for tool in debootstrap mke2fs qemu-img qemu-system-x86_64; do
        command -v "$tool" >/dev/null 2>&1 || { guest_die "$tool is missing (scripts/install-deps.sh)"; return 1; }
    done
    local start
    start=$(wt_now_ms)
    wt_log "guest: making the guest $dir (once; about 2 min)"
    guest_remove "$dir" && mkdir -p "$dir/root" || return 1
    guest_make_root "$dir/root" || { guest_remove "$dir/root"; return 1; }
    guest_make_image "$dir/root" "$dir" || return 1
    guest_remove "$dir/root" || return 1
    touch "$dir/.ready"
    local old
    while IFS= read -r -d '' old; do
        guest_remove "$old" || return 1
    done < <(find "$cache" -mindepth 1 -maxdepth 1 -type d ! -name "$key" -print0)
    printf 'made_s=%s\n' $(( ($(wt_now_ms) - start) / 1000 )) >"$dir/figures.txt"
    wt_log "guest: made in $(( ($(wt_now_ms) - start) / 1000 )) s"
    printf '%s\n' "$dir"
}

# --- the running guest -------------------------------------------------------

guest_control() { printf '%s/control\n' "$1"; }

guest_running() {  # state
    local pid
    pid=$(cat "$1/qemu.pid" 2>/dev/null) || return 1
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null
}

# Boots a disk and waits until the agent takes commands.
guest_boot() {  # state dir disk snapshot(on|off) share...
    local state=$1 dir=$2 disk=$3 snapshot=$4 control share index=0 start
    shift 4
    control=$(guest_control "$state")
    rm -rf "$control" && mkdir -p "$control/jobs" "$control/out" || return 1
    cp "$tools/guest-agent.sh" "$control/agent.sh"
    local shares=(-virtfs "local,path=$control,mount_tag=control,security_model=none,id=control")
    : >"$control/mounts"
    for share in "$@"; do
        share=$(cd "$share" && pwd)
        shares+=(-virtfs "local,path=$share,mount_tag=share$index,security_model=none,id=share$index,multidevs=remap")
        printf 'share%s %s\n' "$index" "$share" >>"$control/mounts"
        index=$(( index + 1 ))
    done
    rm -f "$state/qemu.pid"
    start=$(wt_now_ms)
    "${GUEST_QEMU[@]}" -kernel "$dir/vmlinuz" -initrd "$dir/initrd.img" \
        -append "root=/dev/vda rw console=ttyS0 quiet panic=-1 init=$GUEST_INIT" \
        -drive "file=$disk,if=virtio,format=qcow2,snapshot=$snapshot" "${shares[@]}" \
        -serial "file:$state/console.log" -monitor none -display none \
        -daemonize -pidfile "$state/qemu.pid" </dev/null >"$state/qemu.log" 2>&1 ||
        { guest_die "qemu did not start: $(cat "$state/qemu.log")"; return 1; }
    while [ ! -f "$control/ready" ]; do
        if ! guest_running "$state"; then
            wt_log "guest: the guest stopped while booting; its console:"; tail -n 30 "$state/console.log" >&2; return 1
        fi
        if [ $(( $(wt_now_ms) - start )) -gt $(( GUEST_BOOT_LIMIT * 1000 )) ]; then
            wt_log "guest: the guest did not boot in $GUEST_BOOT_LIMIT s; its console:"; tail -n 30 "$state/console.log" >&2
            guest_stop "$state"; return 1
        fi
        sleep 0.5
    done
    if [ -s "$control/failed" ]; then
        wt_log "guest: the guest could not mount its shares: $(cat "$control/failed")"; guest_stop "$state"; return 1
    fi
    printf '%s\n' $(( ($(wt_now_ms) - start) / 1000 )) >"$state/booted_s"
    wt_log "guest: booted in $(( ($(wt_now_ms) - start) / 1000 )) s"
}

guest_stop() {  # state
    local state=$1 pid
    guest_running "$state" || return 0
    pid=$(cat "$state/qemu.pid")
    touch "$(guest_control "$state")/poweroff"
    for _ in $(seq 120); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.5; done
    kill "$pid" 2>/dev/null || true
}

# One command in the guest: its output relayed, its exit status returned
# (124 when it exceeded the limit, 255 when the guest itself failed).
guest_run_once() {  # state limit command...
    local state=$1 limit=$2 control id waited=0 rc
    shift 2
    control=$(guest_control "$state")
    guest_running "$state" || { guest_die "no guest runs in $state (tools/wine/guest.sh start)"; return 255; }
    id="$(date +%s%N)-$$"
    {
        printf 'cd %q 2>/dev/null || cd /\n' "$PWD"
        printf '%q ' "$@"
        printf '\n'
    } >"$control/jobs/.$id"
    printf '%s\n' "$limit" >"$control/jobs/$id.limit"
    mv "$control/jobs/.$id" "$control/jobs/$id.sh"
    # The agent ends the command at its limit; this side waits a minute
    # longer for the agent itself.
    while [ ! -f "$control/out/$id.rc" ]; do
        if ! guest_running "$state" || [ "$waited" -gt $(( (limit + 60) * 10 )) ]; then
            wt_log "guest: the guest did not answer; its console:"; tail -n 20 "$state/console.log" >&2
            return 255
        fi
        sleep 0.1
        waited=$(( waited + 1 ))
    done
    cat "$control/out/$id.out"
    cat "$control/out/$id.err" >&2
    rc=$(cat "$control/out/$id.rc")
    rm -f "$control/out/$id".*
    return "$rc"
}

guest_run() {  # state limit session command...
    local state=$1 limit=$2 session=$3 rc=0
    shift 3
    guest_run_once "$state" "$limit" "$@" || rc=$?
    case "$rc" in
        124|75) ;;
        *) return "$rc" ;;
    esac
    if [ "$rc" -eq 124 ]; then
        wt_log "guest: the run exceeded $limit s; retrying once from a fresh state"
    else
        wt_log "guest: Wine did not start the run; retrying once from a fresh state"
    fi
    if [ -n "$session" ]; then
        guest_run_once "$state" "$GUEST_RESTART_LIMIT" bash "$tools/wine-session.sh" restart "$session" || return $?
    fi
    guest_run_once "$state" "$limit" "$@"
}

# The guest with its prefixes and locales: a copy-on-write layer over the
# base image, made by booting the guest once.
guest_ensure() {  # locale...
    local base key disk start status=0
    base=$(guest_ensure_base) || return 1
    key=$(guest_prefix_key "$(basename "$base")")
    disk="$base/prefixes-$key.qcow2"
    [ -f "$disk.ready" ] && { printf '%s\n' "$disk"; return 0; }
    start=$(wt_now_ms)
    wt_log "guest: making the Wine prefixes in the guest (once; about 3 min)"
    rm -rf "$base"/prefixes-*
    qemu-img create -q -f qcow2 -b "$base/base.img" -F raw "$disk" >&2 || return 1
    local state="$base/prefixes-state"
    mkdir -p "$state"
    guest_boot "$state" "$base" "$disk" off "$tools" || return 1
    guest_run_once "$state" 3600 bash -c 'source "$1/wine-env.sh" && shift &&
        wt_template_ensure win32 && wt_template_ensure win64 && wt_locale_ensure "$@"' prefixes "$tools" "$@" >&2 ||
        status=$?
    guest_stop "$state"
    [ "$status" -eq 0 ] || { guest_die "the prefixes were not made in the guest (exit $status)"; return 1; }
    touch "$disk.ready"
    rm -rf "$state"
    sed -i '/^prefixes_made_s=/d' "$base/figures.txt" 2>/dev/null || true
    printf 'prefixes_made_s=%s\n' $(( ($(wt_now_ms) - start) / 1000 )) >>"$base/figures.txt"
    wt_log "guest: prefixes made in $(( ($(wt_now_ms) - start) / 1000 )) s"
    printf '%s\n' "$disk"
}

guest_locked() {  # command...
    mkdir -p "$(guest_cache)"
    (
        flock -w 3600 9 || { guest_die "timed out waiting for the lock on $(guest_cache)"; exit 1; }
        "$@" 9>&-
    ) 9>"$(guest_cache).lock"
}

[ $# -ge 1 ] || usage
action=$1
shift
case "$action" in
    make)
        locales=()
        while [ $# -gt 0 ]; do
            case "$1" in --locale) locales+=("$2"); shift 2 ;; *) usage ;; esac
        done
        guest_locked guest_ensure "${locales[@]}"
        ;;
    start)
        [ $# -ge 1 ] || usage
        state=$1
        shift
        shares=() locales=()
        while [ $# -gt 0 ]; do
            case "$1" in
                --share) shares+=("$2"); shift 2 ;;
                --locale) locales+=("$2"); shift 2 ;;
                *) usage ;;
            esac
        done
        mkdir -p "$state"
        state=$(cd "$state" && pwd)
        guest_stop "$state"
        disk=$(guest_locked guest_ensure "${locales[@]}")
        guest_boot "$state" "$(dirname "$disk")" "$disk" on "$tools" "${shares[@]}"
        ;;
    run)
        [ $# -ge 1 ] || usage
        state=$1 limit=240 session=
        shift
        while [ $# -gt 0 ]; do
            case "$1" in
                --limit) limit=$2; shift 2 ;;
                --session) session=$2; shift 2 ;;
                --) shift; break ;;
                *) usage ;;
            esac
        done
        [ $# -ge 1 ] || usage
        guest_run "$state" "$limit" "$session" "$@"
        ;;
    stop)
        [ $# -eq 1 ] || usage
        guest_stop "$1"
        ;;
    figures)
        [ $# -eq 1 ] || usage
        cat "$(guest_cache)"/*/figures.txt 2>/dev/null || true
        [ ! -f "$1/booted_s" ] || printf 'booted_s=%s\n' "$(cat "$1/booted_s")"
        ;;
    *) usage ;;
esac
