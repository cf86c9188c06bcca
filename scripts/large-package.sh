#!/usr/bin/env bash
# Makes a large driver package from an example package (examples/package
# unless --from names another), for measuring how the package check grows
# with a package's size:
#   - each INF lists MODELS touch-pad models in each of its models sections
#     (the example's own first), each with a name of its own in [Strings]
#     and an install section of its own, as vendors' INFs have them;
#   - Setup.ini is followed by unused sections, a "key=value" line each,
#     until it holds at least SETUP_INI_BYTES bytes (0: left as it is).
# The package works as the example does: the settings the program reads and
# the example's touch pads come first.
#
# Usage: scripts/large-package.sh [--from EXAMPLE_FOLDER] MODELS SETUP_INI_BYTES OUTPUT_FOLDER
set -euo pipefail
example="$(dirname "$0")/../examples/package"
if [ "${1:-}" = --from ] && [ $# -ge 2 ]; then
    example=$2
    shift 2
fi
if [ $# -ne 3 ] || ! [[ $1 =~ ^[0-9]+$ && $2 =~ ^[0-9]+$ ]]; then
    echo "usage: $0 [--from EXAMPLE_FOLDER] MODELS SETUP_INI_BYTES OUTPUT_FOLDER" >&2
    exit 64
fi
models=$1
setup_ini_bytes=$2
out=$3

if [ -e "$out" ] && [ -n "$(ls -A "$out")" ]; then
    echo "$0: $out exists and is not empty" >&2
    exit 1
fi
mkdir -p "$out"
cp -R "$example"/. "$out"/

# Each INF: the example's own lines, with every models section and
# [Strings] grown by the generated models, and their install sections after.
grow_inf() {  # example INF -> package INF
    awk -v models="$models" '
        function model_lines(    i) {
            for (i = 1; i < models; ++i)
                printf "%%Touchpad%d%%=VxTouch_Inst%d, ACPI\\VXM%04X, *VXM%04X\r\n", i, i, i % 65536, i % 65536
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
        END {
            end_of_section()
            for (i = 1; i < models; ++i) printf "\r\n[VxTouch_Inst%d]\r\nCopyFiles=VxTouch_Files\r\n", i
        }' "$1" >"$2"
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
