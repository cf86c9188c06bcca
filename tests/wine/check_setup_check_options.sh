#!/usr/bin/env bash
# SetupCheck.exe's own options under Wine, as a console program is used:
#   check_setup_check_options.sh <state dir> <SetupCheck.exe>
#
# --help and -h print the usage and end with 0, --version prints the
# program's version (resources/program_version.h) and ends with 0, an
# unknown option, a missing value, an engine exit code of eight decimal
# digits (hex without its 0x) and an answer that names no button end with 64.
set -euo pipefail
# shellcheck source=../../tools/wine/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/wine/wine-env.sh"

[ $# -eq 2 ] || { echo "usage: $0 <state dir> <SetupCheck.exe>" >&2; exit 2; }
state=$1 check_exe=$2
version=$(sed -n 's/^#define SETUP_VERSION_\(MAJOR\|MINOR\|PATCH\|BUILD\) \([0-9]*\)$/\2/p' \
    "$(dirname "${BASH_SOURCE[0]}")/../../resources/program_version.h" | paste -sd.)

wt_session_load "$state"
arch=$(wt_image_arch "$check_exe")
prefix=$(wt_session_prefix "$state" "$arch")
loader=$(wt_loader "$arch")
export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDLLOVERRIDES="$WT_OVERRIDES_TEST"

failed=0
# arguments -> expected exit status, expected start of standard output
while IFS='|' read -r arguments want_status want_output; do
    status=0
    # shellcheck disable=SC2086 # the words of a row are separate arguments
    output=$(WINEDEBUG=-all "$loader" "$check_exe" $arguments </dev/null 2>/dev/null) || status=$?
    if [ "$status" -ne "$want_status" ] || [[ "$output" != "$want_output"* ]]; then
        echo "FAIL: SetupCheck.exe $arguments: exit status $status (want $want_status), output: ${output:0:200}" >&2
        failed=1
    fi
done <<ROWS
--help|0|usage: SetupCheck.exe
-h|0|usage: SetupCheck.exe
--version|0|SetupCheck.exe $version
--no-such-option|64|
--engine-exit-code|64|
--engine-exit-code 40000001 /s|64|
--engine-exit-code 010x|64|
--answers Yes,Maybe /s|64|
ROWS
exit $failed
