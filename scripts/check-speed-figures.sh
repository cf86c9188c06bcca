#!/usr/bin/env bash
# Times setup-sim check on large packages made by scripts/large-package.sh
# and prints the figures as a Markdown table: layout-1 and layout-2
# packages of 1,000 and 10,000 models, and a 50 MB Setup.ini.
#
# Usage: scripts/check-speed-figures.sh SETUP_SIM
set -euo pipefail
setup_sim=$1
root="$(cd "$(dirname "$0")/.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name | generator arguments
packages=(
    "layout 1, 1,000 models|1000 0"
    "layout 1, 10,000 models|10000 0"
    "layout 2, 1,000 models|--from $root/examples/layout2-package 1000 0"
    "layout 2, 10,000 models|--from $root/examples/layout2-package 10000 0"
    "layout 1, 50 MB Setup.ini|1 50000000"
)
kilobytes() { awk -v b="$1" 'BEGIN { printf "%.0f KB", b / 1024 }'; }

echo "| package (\`scripts/large-package.sh\` arguments) | largest INF | Setup.ini | runs | time | processor time |"
echo "|---|---|---|---|---|---|"
for entry in "${packages[@]}"; do
    name=${entry%%|*}
    read -r -a arguments <<<"${entry#*|}"
    package="$work/package"
    rm -rf "$package"
    "$root/scripts/large-package.sh" "${arguments[@]}" "$package"
    TIMEFORMAT='%R %U %S'
    { time "$setup_sim" check --json "$package" >"$work/report.json" 2>/dev/null || [ $? -eq 1 ]; } 2>"$work/time.txt"
    read -r real user system <"$work/time.txt"
    runs=$(python3 -c 'import json, sys; print(len(json.load(open(sys.argv[1]))["rows"]))' "$work/report.json")
    inf=$(find "$package" -name '*.inf' -printf '%s\n' | sort -n | tail -n 1)
    shown=${entry#*|}
    echo "| $name (\`${shown/$root\//}\`) | $(kilobytes "$inf") | $(kilobytes "$(stat -c %s "$package/Setup.ini")") | $runs |" \
         "$real s | $(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }') s |"
done
