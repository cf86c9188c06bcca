#!/usr/bin/env bash
# Runs one fuzz target for a bounded time on a copy of its seed corpus (the
# repository's seeds are never changed) and prints how many inputs it ran.
# Any crash, leak, sanitizer report, slow input (more than a second of
# processor time, fuzz_support.h) or hang fails the run; the input that caused
# it is kept under ARTIFACTS. A hang is an input still running after a minute
# of the clock: the slowest seeds take milliseconds, so even a machine busy
# with other work never comes near it. SECONDS is the clock time the target
# runs; a busy machine only runs fewer inputs in it.
# Usage: run_fuzzer.sh TARGET SEEDS_DIR SECONDS ARTIFACTS_DIR
set -euo pipefail
target=$1 seeds=$2 seconds=$3 artifacts=$4
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp -R "$seeds/." "$corpus/"
mkdir -p "$artifacts"
status=0
"$target" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$artifacts/$(basename "$target")-" "$corpus" >"$corpus.log" 2>&1 || status=$?
grep -E '^stat::number_of_executed_units|^Done|ERROR|SUMMARY|input took' "$corpus.log" || true
# One line per target for the whole run's summary (scripts/test-all.sh prints it).
executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$corpus.log" | tail -n 1)
printf '%s: %s inputs in %s s, exit status %s\n' "$(basename "$target")" "${executions:-?}" "$seconds" "$status" \
    >>"$artifacts/executions.txt"
[ "$status" -eq 0 ] || tail -40 "$corpus.log" >&2
rm -f "$corpus.log"
exit $status
