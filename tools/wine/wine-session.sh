#!/usr/bin/env bash
# Starts or stops a Wine test session: a private Xvfb display and, on first
# use, the session's prefixes with their persistent wineservers.
#
#   tools/wine/wine-session.sh start <state dir> [--helpers <dir>] [--arch win32|win64]...
#                                    [--locale <name>]...
#   tools/wine/wine-session.sh stop <state dir>
#   tools/wine/wine-session.sh restart <state dir>  (stop, then start as last started)
#   tools/wine/wine-session.sh template <arch>     (only make the cached prefix)
#
# "start" with --arch readies those prefixes at once (making the cached
# template first if needed), and with --locale compiles those locales into
# the cache unless they are there, so the first scenario does not pay for it.
set -euo pipefail
# shellcheck source=wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

usage() { sed -n '2,13p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }

[ $# -ge 2 ] || usage
action=$1
shift
case "$action" in
    start)
        state=$1
        shift
        mkdir -p "$state"
        printf '%q ' "$@" >"$state/session.options"
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
    restart)
        [ -f "$1/session.options" ] || wt_die "no Wine session was started in $1"
        wt_session_stop "$1"
        eval "exec bash \"\${BASH_SOURCE[0]}\" start \"\$1\" $(cat "$1/session.options")"
        ;;
    template)
        wt_template_ensure "$1"
        wt_template_path "$1"
        ;;
    *) usage ;;
esac
