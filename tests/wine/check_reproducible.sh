#!/usr/bin/env bash
# Two clean builds of Setup.exe from this source tree, in folders of
# different names, must give the same bytes as each other and as the file
# under test: no time stamp, build path or other accident of the build may
# reach the image.
# Usage: check_reproducible.sh SOURCE_DIR SETUP_EXE TOOLCHAIN_FILE
set -euo pipefail
source_dir=$1 built=$2 toolchain=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for tree in first second-build; do
    cmake -S "$source_dir" -B "$work/$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=MinSizeRel -DSETUP_WINE_TESTS=OFF >/dev/null
    cmake --build "$work/$tree" --target Setup >/dev/null
done
status=0
for other in "$work/second-build/Setup.exe" "$built"; do
    if ! cmp "$work/first/Setup.exe" "$other"; then
        echo "FAIL: $other differs from a clean build" >&2
        status=1
    fi
done
[ "$status" -ne 0 ] || echo "Setup.exe is reproducible: $(stat -c %s "$built") bytes, three builds agree"
exit $status
