#!/usr/bin/env bash
# SetupCheck.exe's own options under Wine, as a console program is used:
#   check_setup_check_options.sh <state dir> <SetupCheck.exe>
#
# --help and -h print the usage and end with 0, --version prints the
# program's version (resources/program_version.h) and ends with 0, an
# unknown option, a missing value, an engine exit code of eight decimal
# digits (hex without its 0x) and an answer that names no button end with 64;
# no program file to check, beside it or named by --program, ends with 2 and
# names the file, without the usage.
# Messages begin with the name the program was started as: a renamed copy
# names itself.
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

# A renamed copy, alone in a folder of its own.
renamed="$state/check-options/Renamed.exe"
mkdir -p "$(dirname "$renamed")"
cp "$check_exe" "$renamed"

failed=0
# copy (SetupCheck.exe or Renamed.exe), arguments -> expected exit status,
# expected start of standard output, standard error as a pattern ("?" for
# the line break before the usage)
while IFS='|' read -r copy arguments want_status want_output want_error; do
    program=$check_exe
    [ "$copy" = Renamed.exe ] && program=$renamed
    status=0
    # shellcheck disable=SC2086 # the words of a row are separate arguments
    output=$(WINEDEBUG=-all "$loader" "$program" $arguments </dev/null 2>"$state/check-options/stderr") || status=$?
    error=$(cat "$state/check-options/stderr")
    # shellcheck disable=SC2053 # the expected standard error is a pattern
    if [ "$status" -ne "$want_status" ] || [[ "$output" != "$want_output"* ]] || [[ "$error" != $want_error ]]; then
        echo "FAIL: $copy $arguments: exit status $status (want $want_status), output: ${output:0:200}," \
            "standard error: ${error:0:200}" >&2
        failed=1
    fi
done <<ROWS
SetupCheck.exe|--help|0|usage: SetupCheck.exe|
SetupCheck.exe|-h|0|usage: SetupCheck.exe|
SetupCheck.exe|--version|0|SetupCheck.exe $version|
SetupCheck.exe|--no-such-option|64||SetupCheck.exe: unknown option --no-such-option?usage: SetupCheck.exe *
SetupCheck.exe|--engine-exit-code|64||SetupCheck.exe: --engine-exit-code needs a value?usage: *
SetupCheck.exe|--engine-exit-code 40000001 /s|64||SetupCheck.exe: --engine-exit-code 40000001: takes 0x *?usage: *
SetupCheck.exe|--engine-exit-code 010x|64||SetupCheck.exe: --engine-exit-code 010x: takes 0x *?usage: *
SetupCheck.exe|--answers Yes,Maybe /s|64||SetupCheck.exe: unknown answer Maybe *?usage: *
Renamed.exe|--no-such-option|64||Renamed.exe: unknown option --no-such-option?usage: *
SetupCheck.exe|--program NoSuch.exe /s|2||SetupCheck.exe: no program file *?NoSuch.exe to check; --program names another
Renamed.exe|/s|2||Renamed.exe: no program file *?check-options?Setup.exe to check; --program names another
ROWS
exit $failed
