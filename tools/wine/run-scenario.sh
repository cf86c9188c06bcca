#!/usr/bin/env bash
# Runs one scenario folder under Wine and checks it against its expectations.
#
#   tools/wine/run-scenario.sh --program <Setup.exe> --helpers <dir> [--state <dir>]
#                              [--out <dir>] [--no-check] [--check-program <SetupCheck.exe>]
#                              <scenario dir>
#
# --program  the program under test, copied into the package folder
# --check-program  run this SetupCheck.exe beside the program instead of the
#            program, and check that it reports what the program does in
#            the scenario, having changed nothing
# --helpers  folder holding run_and_wait.exe and fake_engine.exe
# --state    a session started by wine-session.sh; without one, a private
#            session is started for this run and stopped afterwards
# --out      where the results go (default: <state>/results/<scenario name>)
# --no-check only run and collect, print the results
#
# Exit status: 0 passed, 1 failed, 77 skipped on this leg, 75 when Wine did
# not carry the run through (run_and_wait.exe itself failed or ran out of
# time), which an emulated machine retries once.
# The scenario format is described in wine-env.sh.
set -euo pipefail
# shellcheck source=wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

usage() { sed -n '2,21p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }

program='' helpers='' state='' out='' check=1 scenario='' check_program=''
while [ $# -gt 0 ]; do
    case "$1" in
        --program) program=$2; shift 2 ;;
        --check-program) check_program=$2; shift 2 ;;
        --helpers) helpers=$2; shift 2 ;;
        --state) state=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        --no-check) check=0; shift ;;
        -*) usage ;;
        *) [ -z "$scenario" ] || usage; scenario=$1; shift ;;
    esac
done
if [ -z "$program" ] || [ -z "$helpers" ] || [ -z "$scenario" ]; then usage; fi
scenario=$(cd "$scenario" && pwd)
name=$(basename "$scenario")
# A scenario this leg cannot give what it is about is skipped (CTest: exit
# 77), saying why.
skip=$(wt_scenario_skip_reason "$scenario" "$helpers") || exit 1
if [ -n "$skip" ]; then
    echo "SKIP $name on the $(wt_helpers_arch "$helpers") leg: $skip"
    exit 77
fi

if [ -z "$state" ] || ! wt_session_running "$state"; then
    [ -n "$state" ] || state=$(mktemp -d "${TMPDIR:-/tmp}/wine-session.XXXXXX")
    wt_session_start "$state"
    trap 'wt_session_stop "$state"' EXIT
fi
state=$(cd "$state" && pwd)
[ -n "$out" ] || out="$state/results/$name"

start=$(wt_now_ms)
wt_run_scenario "$state" "$scenario" "$program" "$helpers" "$out" "$check_program" || exit $?
total=$(( $(wt_now_ms) - start ))
printf 'total_ms=%s\n' "$total" >>"$out/timing.txt"

if [ "$check" -eq 0 ]; then
    for f in exit_code.txt boxes.jsonl engine_command_line.txt transcript.json timing.txt; do
        [ -f "$out/$f" ] && { echo "== $f"; cat "$out/$f"; }
    done
    exit 0
fi
checker=wt_check_scenario
[ -z "$check_program" ] || checker=wt_check_check_run
if "$checker" "$scenario" "$out"; then
    echo "PASS $name: run $(sed -n 's/run_ms=//p' "$out/timing.txt") ms, scenario $total ms (results in $out)"
else
    echo "FAIL $name (results in $out)"
    exit 1
fi
