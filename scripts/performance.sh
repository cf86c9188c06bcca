#!/usr/bin/env bash
# Measures the program side by side and writes docs/performance.md:
#   - layout-2 device matching and whole layout-2 runs on the simulated
#     machine by machine and INF size (Google Benchmark, optimised build);
#   - a whole silent run against a run that ends at once (another copy holds
#     the mutex), in time and in instructions (callgrind, run_setup only);
#   - the real Setup.exe's silent install under Wine against an empty program
#     started by the same runner;
#   - the size of Setup.exe by section;
#   - setup-sim check on large packages (scripts/check-speed-figures.sh).
# Usage: scripts/performance.sh [output file]   (default docs/performance.md)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/performance.md}
jobs=$(nproc)
scripts/install-deps.sh --performance

# The figures come from an optimised build of the simulated machine.
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/bench -j "$jobs" --target setup_bench setup-sim >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

bench=$(build/bench/tests/bench/setup_bench --benchmark_min_time=0.2 2>/dev/null | grep -E '^(Layout|Whole|Silent|Second)')

instructions() {  # profile -> instructions of run_setup
    valgrind --tool=callgrind --toggle-collect='run_setup*' --callgrind-out-file="$work/cg" \
        build/bench/setup-sim --machine "$1" examples/package /s >/dev/null 2>"$work/cg.log"
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/cg.log"
}
silent_ir=$(instructions examples/machines/win10-x64.ini)
second_ir=$(instructions examples/machines/win10-x64-second-instance.ini)

# Under Wine: the same scenario, once with Setup.exe, once with the empty
# program in its place; the runner's own time of each run, 10 runs each.
state="$work/wine"
tools/wine/wine-session.sh start "$state" --helpers build/windows/tests/wine --arch win32 >/dev/null
wine_ms() {  # program -> median run time in ms
    local times=()
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        tools/wine/run-scenario.sh --program "$1" --helpers build/windows/tests/wine --state "$state" \
            --out "$work/run" --no-check tests/wine/scenarios/silent_install_reboot >/dev/null 2>&1
        times+=("$(sed -n 's/^run_ms=//p' "$work/run/timing.txt")")
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n 5p
}
setup_ms=$(wine_ms build/windows/Setup.exe)
empty_ms=$(wine_ms build/windows/tests/wine/empty_program.exe)
tools/wine/wine-session.sh stop "$state" >/dev/null

check_figures=$(scripts/check-speed-figures.sh build/bench/setup-sim)

sections=$(i686-w64-mingw32-objdump -h build/windows/Setup.exe |
    awk '/^ +[0-9]+ /{ printf "| %s | %d |\n", $2, ("0x" $3) + 0 }')
size=$(stat -c %s build/windows/Setup.exe)
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.1f", a / b; else print "n/a" }'; }
bench_us() { printf '%s\n' "$bench" | awk -v n="$1" '$1 == n { print $2 }'; }

cat >"$out" <<DOC
# Performance

Measured by \`scripts/performance.sh\` on $(nproc) processors ($(date -u +%Y-%m-%d)).
Each figure is produced by the command named beside it; run the script to
measure again.

## Device matching and layout-2 runs (simulated machine)

\`build/bench/tests/bench/setup_bench --benchmark_min_time=0.2\` (Google
Benchmark, RelWithDebInfo). \`LayoutTwoMatching/models_M/N\`: the settings
file read with its support matrix, one bus on 64-bit Windows 10, an INF of M
models with two hardware IDs each, a machine of N devices, the last of which
carries the last model's ID, as in a new process (the device list is taken
once per run: \`enumerations_per_run\`). The models section is read into 4096
bytes (about 110 such lines), so 1,000 models cost what 110 do and their last
model is never seen (\`matched=0\`). The \`_BigO\` rows fit the time to the
number of devices: the cost grows linearly in devices times hardware IDs read.
\`WholeLayoutTwoRun/N\`: the whole silent run with 100 models.

\`\`\`
$bench
\`\`\`

## A whole silent run against a run that ends at once

| run | time (setup_bench) | instructions of run_setup (callgrind, setup-sim) |
|---|---|---|
| silent layout-1 install (\`SilentInstall\`; \`examples/package\` on \`win10-x64.ini\`) | $(bench_us SilentInstall) us | $silent_ir |
| another copy holds the mutex (\`SecondInstance\`; \`win10-x64-second-instance.ini\`) | $(bench_us SecondInstance) us | $second_ir |
| ratio | $(ratio "$(bench_us SilentInstall)" "$(bench_us SecondInstance)") | $(ratio "$silent_ir" "$second_ir") |

Instructions: \`valgrind --tool=callgrind --toggle-collect='run_setup*' build/bench/setup-sim --machine <profile> examples/package /s\`.

## The real Setup.exe under Wine

Scenario \`silent_install_reboot\` (silent layout-1 install, fake engine,
UTF-16 log) run by \`tools/wine/run-scenario.sh\`, median of 10 runs of the
runner's \`run_ms\`, against \`empty_program.exe\` put in its place:

| program | run time |
|---|---|
| Setup.exe | $setup_ms ms |
| empty_program.exe | $empty_ms ms |
| ratio | $(ratio "$setup_ms" "$empty_ms") |

## The package check by package size

\`scripts/check-speed-figures.sh build/bench/setup-sim\` (RelWithDebInfo):
each package made by \`scripts/large-package.sh\` from \`examples/package\`
(layout 1) or \`examples/layout2-package\` (layout 2), with the models in
every models section of every INF, a string and an install section each;
\`time setup-sim check --json PACKAGE\`. A layout-2 check runs once per
touch pad of each slot, and a models section is read into 4096 bytes
(about 80 of these lines), so its runs stop growing there while the INFs
go on growing: the time grows linearly in the INFs' size and the runs.

$check_figures

Before the simulated machine kept what it parsed (commit fb24107), and
after, in the debug build that \`cmake --preset linux\` makes
(\`time build/linux/setup-sim check PACKAGE\`, same packages, 2 busy
processors, 2026-12-08; the reports were the same bytes before and after):

| package | before | after |
|---|---|---|
| layout 1, 1,000 models | 3.3 s | 0.10 s |
| layout 1, 10,000 models | 175.0 s | 0.31 s |
| layout 2, 1,000 models | 64.2 s | 1.6 s |
| layout 2, 10,000 models (without the install sections) | 195.2 s | 4.0 s |
| layout 2, 10,000 models | not measured (over 10 minutes) | 3.6 s |
| layout 1, 50 MB Setup.ini | 30.9 s | 4.3 s |

Where the time went (callgrind, layout 2 with 1,000 models): each profile
read of an INF or of Setup.ini parsed the whole file again whenever the
program had read another file in between, each INF open parsed the INF
again, a section was looked up by comparing it with every section before
it (a file of many sections cost the square of their number), and a
section read built all its lines before cutting them to the buffer. Now
the simulated machine reads a file's bytes on every call, as before, but
parses bytes it has seen once (\`src/platform/sim/parsed_file_cache.h\`),
finds sections and \`[Strings]\` keys by their folded names, and stops
listing a section once the buffer is full.

## Setup.exe

$size bytes (\`stat -c %s build/windows/Setup.exe\`); the build fails past
163,840. Sections (\`i686-w64-mingw32-objdump -h\`), bytes in memory:

| section | size |
|---|---|
$sections
DOC
echo "wrote $out"
