#!/usr/bin/env bash
# Installs what is missing, builds the three presets (linux, sanitize,
# windows) and runs every test: unit and scenario tests on the simulated
# machine, the same under the sanitizers, and the real Setup.exe under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
for preset in linux sanitize windows; do
    echo "=== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    rm -f "build/$preset/fuzz-artifacts/executions.txt"
    ctest --preset "$preset" -j "$jobs"
    if [ -f "build/$preset/fuzz-artifacts/executions.txt" ]; then
        echo "--- fuzz targets"
        sort "build/$preset/fuzz-artifacts/executions.txt"
    fi
done
