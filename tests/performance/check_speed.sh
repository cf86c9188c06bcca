#!/usr/bin/env bash
# The package check's cost grows linearly with the package: checks of a
# layout-2 package whose INFs list 1,000 and then 10,000 models, each as a
# --json check whose standard output stays one JSON document (progress goes
# to standard error only). Bounds are loose, for a busy two-processor
# machine and a debug build: the 1,000-model check within 30 s of processor
# time, and the 10,000-model check under 20 times that (a cost that grew
# with the square of the models would be near 100 times).
#
# Usage: tests/performance/check_speed.sh SETUP_SIM
set -euo pipefail
setup_sim=$1
root="$(cd "$(dirname "$0")/../.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

check_seconds() {  # models -> processor seconds (user and system) of the check
    local package="$work/models-$1" status=0
    "$root/scripts/large-package.sh" --from "$root/examples/layout2-package" "$1" 0 "$package"
    local TIMEFORMAT='%U %S'
    { time "$setup_sim" check --json "$package" >"$work/report.json" 2>"$work/progress.txt"; } 2>"$work/time.txt" ||
        status=$?
    if [ "$status" -gt 1 ]; then
        echo "check of $1 models ended with $status:" >&2
        cat "$work/progress.txt" >&2
        exit 1
    fi
    python3 -c 'import json, sys; json.load(open(sys.argv[1]))' "$work/report.json" ||
        { echo "check of $1 models: standard output is not one JSON document" >&2; exit 1; }
    if grep -v '^setup-sim check: ' "$work/progress.txt" >&2; then
        echo "check of $1 models: standard error holds more than progress" >&2
        exit 1
    fi
    awk '{ printf "%.2f\n", $1 + $2 }' "$work/time.txt"
}

small=$(check_seconds 1000)
large=$(check_seconds 10000)
echo "1,000 models: $small s; 10,000 models: $large s (processor time)"
awk -v small="$small" -v large="$large" 'BEGIN { exit !(small < 30 && large < 20 * (small > 0.05 ? small : 0.05)) }' ||
    { echo "the check is slower than linear or than the bound" >&2; exit 1; }
