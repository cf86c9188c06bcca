#!/usr/bin/env bash
# Installs what is missing, builds the four presets (linux, sanitize,
# windows, windows-x64) and runs every test: unit and scenario tests on the
# simulated machine, the same under the sanitizers, and the real programs
# under Wine: the shipped i686 ones (in an emulated machine where this
# kernel runs no 32-bit programs), the 64-bit test build of the same source
# everywhere; where the i686 programs run natively, the emulated machine
# still runs one scenario. After each Windows preset a line says which Wine
# leg ran, where, how many scenarios passed, and how long its tests took.
# A preset that fails to configure, build or pass its tests does not stop the
# others: every preset runs, the failures are listed at the end, and the exit
# status is 1 when there was any.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
scripts/install-deps.sh || exit 1
jobs=$(nproc)
failures=()

# Which Wine leg a preset's tests ran (the label of its Wine tests), whether
# in the emulated machine, how many scenarios and check runs passed, were
# skipped or failed, and the time its tests took, read from CTest's own lines
# ("12/128 Test #12: wine.help .... Passed", "wine-i686 = 61.20 sec*proc").
wine_summary() {  # ctest output
    local leg where="" seconds
    leg=$(grep -oE '^wine-(i686|x86-64) ' "$1" | head -n 1 | tr -d ' ')
    if [ -z "$leg" ]; then
        echo "--- Wine: no leg ran in this preset"
        return 0
    fi
    grep -qE '^wine-emulated ' "$1" && where=" (in the emulated machine)"
    seconds=$(awk -v label="$leg" '$1 == label && $2 == "=" { printf "%d", $3 }' "$1")
    awk -v leg="${leg#wine-}$where" -v seconds="$seconds" '
        $2 == "Test" && $4 ~ /^wine\./ {
            status = $0 ~ / Passed / ? "passed" : ($0 ~ /Skipped/ ? "skipped" : "failed")
            if ($4 ~ /^wine\.check\./) count["check", status]++
            else if ($4 !~ /^wine\.(session_|guest_|check_options|harness\.|signed\.)/) count["run", status]++
        }
        END {
            printf "--- Wine leg %s: %d scenarios passed, %d skipped, %d failed; their check runs: %d passed, %d skipped, %d failed; %s s of Wine tests\n",
                leg, count["run", "passed"], count["run", "skipped"], count["run", "failed"],
                count["check", "passed"], count["check", "skipped"], count["check", "failed"], seconds
        }' "$1"
}

run_preset() {  # preset [ctest arguments]
    local preset=$1
    shift
    echo "=== $preset${1:+ $*}"
    if ! cmake --preset "$preset" >/dev/null; then
        failures+=("$preset: configure failed")
        return
    fi
    if ! cmake --build --preset "$preset" -j "$jobs"; then
        failures+=("$preset: build failed")
        return
    fi
    rm -f "build/$preset/fuzz-artifacts/executions.txt"
    ctest --preset "$preset" -j "$jobs" "$@" | tee "build/$preset/ctest-output.txt" || failures+=("$preset: tests failed:$(
        sed 's/^/ /' "build/$preset/Testing/Temporary/LastTestsFailed.log" 2>/dev/null | tr -d '\n')")
    case "$preset" in windows*) wine_summary "build/$preset/ctest-output.txt" ;; esac
    if [ -f "build/$preset/fuzz-artifacts/executions.txt" ]; then
        echo "--- fuzz targets"
        sort "build/$preset/fuzz-artifacts/executions.txt"
    fi
}

for preset in linux sanitize windows windows-x64; do
    run_preset "$preset"
done
# Where the windows preset ran the i686 programs natively, the emulated
# machine that runs them where a kernel cannot still boots and runs one
# scenario and its check run: the fallback is known to work on every run,
# in about two minutes once the guest is in the cache.
if grep -qE '^wine-i686 ' build/windows/ctest-output.txt 2>/dev/null &&
   ! grep -qE '^wine-emulated ' build/windows/ctest-output.txt; then
    run_preset windows-emulated -R '^wine\.(check\.)?silent_install_reboot$'
fi
if [ ${#failures[@]} -gt 0 ]; then
    echo "=== FAILED"
    printf '%s\n' "${failures[@]}"
    exit 1
fi
echo "=== all presets passed"
