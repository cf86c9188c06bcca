#!/usr/bin/env bash
# Builds setup-sim and runs the example package silently on the built-in
# machine (64-bit Windows 10, English, with the package's touch pad).
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in cmake ninja g++ python3; do
    command -v "$tool" >/dev/null || { scripts/install-deps.sh; break; }
done
cmake --preset linux >/dev/null
cmake --build --preset linux --target setup-sim >/dev/null
exec build/linux/setup-sim examples/package /s
