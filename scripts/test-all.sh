#!/usr/bin/env bash
# Installs what is missing, builds the three presets (linux, sanitize,
# windows) and runs every test: unit and scenario tests on the simulated
# machine, the same under the sanitizers, and the real Setup.exe under Wine.
# A preset that fails to configure, build or pass its tests does not stop the
# others: every preset runs, the failures are listed at the end, and the exit
# status is 1 when there was any.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
scripts/install-deps.sh || exit 1
jobs=$(nproc)
failures=()
for preset in linux sanitize windows; do
    echo "=== $preset"
    if ! cmake --preset "$preset" >/dev/null; then
        failures+=("$preset: configure failed")
        continue
    fi
    if ! cmake --build --preset "$preset" -j "$jobs"; then
        failures+=("$preset: build failed")
        continue
    fi
    rm -f "build/$preset/fuzz-artifacts/executions.txt"
    ctest --preset "$preset" -j "$jobs" || failures+=("$preset: tests failed:$(
        sed 's/^/ /' "build/$preset/Testing/Temporary/LastTestsFailed.log" 2>/dev/null | tr -d '\n')")
    if [ -f "build/$preset/fuzz-artifacts/executions.txt" ]; then
        echo "--- fuzz targets"
        sort "build/$preset/fuzz-artifacts/executions.txt"
    fi
done
if [ ${#failures[@]} -gt 0 ]; then
    echo "=== FAILED"
    printf '%s\n' "${failures[@]}"
    exit 1
fi
echo "=== all presets passed"
