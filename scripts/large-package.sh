#!/usr/bin/env bash
# Makes a large driver package from examples/package, for measuring how the
# package check grows with a package's size:
#   - the INF lists MODELS touch-pad models in each of its two models
#     sections, each with a name of its own in [Strings];
#   - Setup.ini is followed by unused sections, a "key=value" line each,
#     until it holds at least SETUP_INI_BYTES bytes (0: left as it is).
# The package keeps working as examples/package does: its first model is the
# example's touch pad, and the settings the program reads come first.
#
# Usage: scripts/large-package.sh MODELS SETUP_INI_BYTES OUTPUT_FOLDER
set -euo pipefail
if [ $# -ne 3 ] || ! [[ $1 =~ ^[0-9]+$ && $2 =~ ^[0-9]+$ ]]; then
    echo "usage: $0 MODELS SETUP_INI_BYTES OUTPUT_FOLDER" >&2
    exit 64
fi
models=$1
setup_ini_bytes=$2
out=$3
example=${LARGE_PACKAGE_EXAMPLE:-"$(dirname "$0")/../examples/package"}

rm -rf "$out"
mkdir -p "$out"
cp -R "$example"/. "$out"/

# Each INF: the example's own lines, with every models section and
# [Strings] grown by the generated models.
grow_inf() {  # example INF -> package INF
    awk -v models="$models" '
    function model_lines(    i) {
        for (i = 1; i < models; ++i)
            printf "%%Touchpad%d%%=VxTouch_Inst, ACPI\\VXM%04X, *VXM%04X\r\n", i, i % 65536, i % 65536
    }
    function string_lines(    i) {
        for (i = 1; i < models; ++i) printf "Touchpad%d=\"Vexa Norde Touchpad model %d\"\r\n", i, i
    }
    function end_of_section() {
        if (section ~ /^\[[^]]*Models\./) model_lines()
        if (section == "[Strings]") string_lines()
    }
    /^\[/ { end_of_section(); section = $0 }
    { sub(/\r$/, ""); printf "%s\r\n", $0 }
    END { end_of_section() }' "$1" >"$2"
}
(cd "$example" && find . -name '*.inf') | while read -r inf; do grow_inf "$example/$inf" "$out/$inf"; done

# Setup.ini: the example's settings, then unused sections to the size asked.
if [ "$setup_ini_bytes" -gt 0 ]; then
    awk -v bytes="$setup_ini_bytes" -v have="$(stat -c %s "$example/Setup.ini")" '
        BEGIN {
            printf "\r\n; Sections no run reads, only there to make the file large.\r\n"
            for (i = 1; have < bytes; ++i) {
                line = sprintf("[Unused%d]\r\nkey=value of unused section %d\r\n", i, i)
                printf "%s", line
                have += length(line)
            }
        }' >>"$out/Setup.ini"
fi
