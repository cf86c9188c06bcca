#!/usr/bin/env bash
# Starts or stops a Wine test session: a private Xvfb display and, on first
# use, the session's prefixes with their persistent wineservers.
#
#   tools/wine/wine-session.sh start <state dir> [--helpers <dir>] [--arch win32|win64]...
#                                    [--locale <name>]...
#   tools/wine/wine-session.sh stop <state dir>
#   tools/wine/wine-session.sh template <arch>     (only make the cached prefix)
#   tools/wine/wine-session.sh legs                (which Wine leg this machine runs)
#
# "start" with --arch readies those prefixes at once (making the cached
# template first if needed), and with --locale compiles those locales into
# the cache unless they are there, so the first scenario does not pay for it.
set -euo pipefail
# shellcheck source=wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

usage() { sed -n '2,13p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }

[ $# -ge 2 ] || [ "${1:-}" = legs ] || usage
action=$1
shift
case "$action" in
    start)
        state=$1
        shift
        helpers=
        archs=()
        locales=()
        while [ $# -gt 0 ]; do
            case "$1" in
                --helpers) helpers=$2; shift 2 ;;
                --arch) archs+=("$2"); shift 2 ;;
                --locale) locales+=("$2"); shift 2 ;;
                *) usage ;;
            esac
        done
        start=$(wt_now_ms)
        if [ ${#locales[@]} -gt 0 ]; then
            wt_locale_ensure "${locales[@]}"
            wt_log "wine-session: ${#locales[@]} locale(s) ready in $(( $(wt_now_ms) - start )) ms"
        fi
        wt_session_start "$state"
        state=$(cd "$state" && pwd)
        for arch in "${archs[@]}"; do
            wt_session_prefix "$state" "$arch" "$helpers" >/dev/null
        done
        wt_log "wine-session: ready in $(( $(wt_now_ms) - start )) ms"
        ;;
    stop)
        wt_session_stop "$1"
        wt_log "wine-session: stopped"
        ;;
    template)
        wt_template_ensure "$1"
        wt_template_path "$1"
        ;;
    legs)
        # Where Wine's 32-bit loader cannot start (no 32-bit code on this
        # kernel), the 64-bit one must, or no Wine test meets a real Win32.
        if loader=$(wt_loader win64 2>/dev/null) && version=$("$loader" --version 2>&1); then
            echo "The i686 programs cannot run under Wine here: $(wine --version 2>&1 | head -n 1)"
            echo "The Wine scenarios run on the x86-64 leg ($version, $loader): ctest --preset windows-x64"
        else
            echo "No Wine leg runs on this machine: Wine's 32-bit loader: $(wine --version 2>&1 | head -n 1);" \
                 "the 64-bit loader: ${version:-not installed (Debian: wine64)}" >&2
            exit 1
        fi
        ;;
    *) usage ;;
esac
