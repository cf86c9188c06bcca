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

# The shipped i686 programs in the emulated machine: what the last run of
# \`ctest --preset windows-emulated\` left (about 25 minutes; not run here).
emulated=build/windows-emulated/tests/wine
emulated_figures() {
    local figures runs
    figures=$(tools/wine/guest.sh figures "$emulated/guest")
    runs=$(cat "$emulated"/session/results/{scenarios,check}/*/timing.txt 2>/dev/null | sed -n 's/^total_ms=//p' | sort -n)
    if [ -z "$runs" ]; then
        echo "Not measured on this machine: run \`ctest --preset windows-emulated\` first."
        return 0
    fi
    figure() { printf '%s\n' "$figures" | sed -n "s/^$1=//p" | tail -n 1; }
    cat <<TABLE
| step | time |
|---|---|
| making the guest: debootstrap, its packages, the image (once) | $(figure made_s) s |
| its Wine prefixes and locales, made in the guest (once) | $(figure prefixes_made_s) s |
| a boot, until the guest takes commands | $(figure booted_s) s |
| a scenario or check run in the guest, median of $(printf '%s\n' "$runs" | wc -l) (\`total_ms\`) | $(printf '%s\n' "$runs" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }') ms |
| all of them | $(printf '%s\n' "$runs" | awk '{ s += $1 } END { printf "%d", s / 1000 }') s |
TABLE
}

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

## The i686 programs in an emulated machine

Where the kernel runs no 32-bit programs, the shipped \`Setup.exe\` and
\`SetupCheck.exe\` run under Wine in an emulated x86-64 Debian machine
(\`tools/wine/guest.sh\`: QEMU's software emulation, 2 processors, 3 GB), as
in \`ctest --preset windows-emulated\`. Figures of its last run here
(\`tools/wine/guest.sh figures\`, the runs' \`timing.txt\`):

$(emulated_figures)

## The package check on large packages

\`setup-sim check --json\` (RelWithDebInfo) on packages that
\`scripts/large-package.sh\` makes from the examples, timed by
\`scripts/check-speed-figures.sh\`: every INF lists the given number of
models in each models section, each with its own name and install section;
a large \`Setup.ini\` is filled with unused sections. A run is one row of the
check. The simulated machine parses a settings file or INF once for its
content and answers every read from that, so the cost grows linearly with the
models and with the runs; a check that takes more than a second tells its
progress on standard error.

$check_figures

## Setup.exe

$size bytes (\`stat -c %s build/windows/Setup.exe\`); the build fails past
163,840. Sections (\`i686-w64-mingw32-objdump -h\`), bytes in memory:

| section | size |
|---|---|
$sections
DOC
echo "wrote $out"
