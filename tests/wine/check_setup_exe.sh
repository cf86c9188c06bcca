#!/usr/bin/env bash
# Checks a shipped file itself, from its headers (no Wine needed):
#   check_setup_exe.sh <objdump> <exe> [setup|check] [pei-i386|pei-x86-64]
#
# - the build's PE format: PE32 for i386 (the shipped build, the default) or
#   PE32+ for AMD64 (the 64-bit test build); Setup.exe with the GUI
#   subsystem, SetupCheck.exe ("check") with the console one;
# - ASLR and DEP on (DllCharacteristics DYNAMIC_BASE 0x40, NX_COMPAT 0x100),
#   and for AMD64 ASLR with high-entropy addresses (HIGH_ENTROPY_VA 0x20);
# - i386: not large-address-aware (file characteristics without 0x20): 2 GB
#   of address space on every Windows, as the simulated machine gives it;
# - it imports only system DLLs present on every Windows: the runtime is
#   linked in, so no libstdc++/libgcc/winpthread DLL is needed beside it, and
#   none of the DLLs that Windows would look for in the program's folder first;
# - resources: a manifest (type 24) and the string table (6); Setup.exe also
#   a version block (16) and icon group 101 (14);
# - SetupCheck.exe imports no function that starts a process, shows a box,
#   makes, copies, moves or deletes a file or folder, writes the registry,
#   makes a mutex or restarts Windows: it cannot change the machine it checks.
set -euo pipefail

[ $# -ge 2 ] && [ $# -le 4 ] || { echo "usage: $0 <objdump> <exe> [setup|check] [pei-i386|pei-x86-64]" >&2; exit 2; }
objdump=$1
exe=$2
kind=${3:-setup}
format=${4:-pei-i386}
[ -f "$exe" ] || { echo "FAIL: $exe is not built" >&2; exit 1; }

dump=$("$objdump" -p "$exe")
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

grep -q "file format $format\$" <<<"$dump" || fail "not a $format image: $(grep -m1 'file format' <<<"$dump")"

subsystem=$(awk '$1 == "Subsystem" {print $2; exit}' <<<"$dump")
if [ "$kind" = check ]; then
    [ "$subsystem" = "00000003" ] || fail "subsystem is '$subsystem', expected 00000003 (Windows console)"
else
    [ "$subsystem" = "00000002" ] || fail "subsystem is '$subsystem', expected 00000002 (Windows GUI)"
fi

characteristics=$(awk '$1 == "DllCharacteristics" {print $2; exit}' <<<"$dump")
if [ -z "$characteristics" ]; then
    fail "no DllCharacteristics in the optional header"
else
    (( (0x$characteristics & 0x40) != 0 )) || fail "DllCharacteristics 0x$characteristics lacks DYNAMIC_BASE (0x40)"
    (( (0x$characteristics & 0x100) != 0 )) || fail "DllCharacteristics 0x$characteristics lacks NX_COMPAT (0x100)"
    [ "$format" != pei-x86-64 ] || (( (0x$characteristics & 0x20) != 0 )) ||
        fail "DllCharacteristics 0x$characteristics lacks HIGH_ENTROPY_VA (0x20)"
fi

file_characteristics=$(awk '$1 == "Characteristics" {print $2; exit}' <<<"$dump")
if [ -z "$file_characteristics" ]; then
    fail "no Characteristics in the file header"
elif [ "$format" = pei-i386 ]; then
    (( (file_characteristics & 0x20) == 0 )) ||
        fail "Characteristics $file_characteristics has LARGE_ADDRESS_AWARE (0x20): the simulated machine's 2 GB would be wrong"
fi

# Windows refuses to start a program whose manifest names another processor
# (a side-by-side error), and Wine ignores such a manifest, so the version
# query falls back to 6.2: every architecture the manifest names, its own
# and the Common Controls dependency's, is the image's (or "*").
case "$format" in pei-x86-64) manifest_arch=amd64 ;; *) manifest_arch=X86 ;; esac
manifest_archs=$(grep -a -o 'processorArchitecture="[^"]*"' "$exe" | sort -u | tr '\n' ' ')
[ -n "$manifest_archs" ] || fail "the manifest names no processorArchitecture"
for named in $manifest_archs; do
    [ "$named" = "processorArchitecture=\"$manifest_arch\"" ] || [ "$named" = 'processorArchitecture="*"' ] ||
        fail "the manifest names $named in a $format image"
done

allowed=" kernel32.dll user32.dll advapi32.dll shell32.dll shlwapi.dll setupapi.dll msvcrt.dll gdi32.dll ole32.dll comctl32.dll "
imports=$(awk -F': ' '/^[[:space:]]*DLL Name:/ {print tolower($2)}' <<<"$dump")
[ -n "$imports" ] || fail "no import table found"
for dll in $imports; do
    [[ "$allowed" == *" $dll "* ]] || fail "imports $dll, which is not on the allow-list:$allowed"
done

# Imported functions: "<hint-table address> <hint> <name>" lines of the import tables.
functions=$(awk '/^[[:space:]]*DLL Name:/ {inside = 1} /^$/ {inside = 0}
    inside && NF == 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ {print $3}' <<<"$dump")
if [ "$kind" = check ]; then
    for function in CreateProcessA CreateProcessW ShellExecuteA ShellExecuteExA ShellExecuteExW WinExec \
                    MessageBoxA MessageBoxW MessageBoxExA MessageBoxExW ExitWindowsEx AdjustTokenPrivileges \
                    CreateMutexA CreateMutexW CreateDirectoryA CreateDirectoryW CopyFileA CopyFileW \
                    DeleteFileA DeleteFileW MoveFileA MoveFileExA MoveFileExW RemoveDirectoryA \
                    RegSetValueExA RegSetValueExW RegCreateKeyExA RegCreateKeyExW RegDeleteKeyA RegDeleteValueA \
                    WritePrivateProfileStringA; do
        if grep -qx "$function" <<<"$functions"; then fail "imports $function, which changes the machine"; fi
    done
fi

# The resource tree as objdump prints it: an entry's indentation after its
# offset tells the level (3 blanks type, 5 name, 7 language).
resources=$(awk '
    /Resource Directory section/ { inside = 1; next }
    /Resources start at offset/  { inside = 0 }
    inside && /Entry:/ {
        indent = index($0, "Entry:") - 4
        id = $0; sub(/.*Entry: /, "", id); sub(/, Value:.*/, "", id); sub(/^ID: /, "", id)
        if (indent == 3) type = id
        else if (indent == 5) print type, id
    }' <<<"$dump" | while read -r type name; do
        # Numeric ids in decimal; a named entry keeps its text.
        [[ "$name" == 0x* ]] && name=$(( name ))
        echo "$(( type )):$name"
    done)
has_resource() {  # type [name]
    if [ $# -eq 2 ]; then grep -qx "$1:$2" <<<"$resources"; else grep -q "^$1:" <<<"$resources"; fi
}
has_resource 24 || fail "no manifest resource (type 24)"
has_resource 6 || fail "no string table (type 6)"
if [ "$kind" = setup ]; then
    has_resource 16 || fail "no version resource (type 16)"
    has_resource 14 101 || fail "no icon group 101 (type 14); icon groups: $(grep '^14:' <<<"$resources" | tr '\n' ' ')"
fi

if [ "$failed" -ne 0 ]; then
    echo "resources (type:name): $(tr '\n' ' ' <<<"$resources")" >&2
    exit 1
fi
echo "PASS: $format, subsystem $subsystem, DYNAMIC_BASE+NX_COMPAT, imports: $(tr '\n' ' ' <<<"$imports")($(wc -l <<<"$functions") functions), resources: $(tr '\n' ' ' <<<"$resources")"
