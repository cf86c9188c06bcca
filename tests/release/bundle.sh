#!/usr/bin/env bash
# scripts/release.sh run twice on this tree, signing with one certificate
# made for this run, the second run with another umask, time zone and
# output folder:
#   bundle.sh SOURCE_DIR SETUP_EXE SETUP_CHECK_EXE
# - the two runs write the same bytes, folder and zip;
# - the zip holds the folder's five files, in order, and SHA256SUMS their sums;
# - README.txt names the signer; deployment.md is docs/deployment.md;
# - without their signatures the programs are the files under test: the
#   release builds what the build builds.
set -euo pipefail
# shellcheck source=throwaway_cert.sh
source "$(dirname "${BASH_SOURCE[0]}")/throwaway_cert.sh"
source_dir=$1
declare -A built=([Setup.exe]=$2 [SetupCheck.exe]=$3)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

make_throwaway_cert "$work/cert"
release=("$source_dir/scripts/release.sh" --allow-dirty --sign "$work/cert/signer.p12"
         --password-file "$work/cert/password" --ca "$work/cert/signer.pem")
first=$work/first second="$work/second run"
"${release[@]}" --out "$first" >/dev/null
(umask 077 && TZ=Pacific/Kiritimati "${release[@]}" --out "$second" >/dev/null)

zip=$(cd "$first" && echo *.zip)
name=${zip%.zip}
cmp "$first/$zip" "$second/$zip" || fail "two runs wrote different zips"
diff -r "$first/$name" "$second/$name" || fail "two runs wrote different folders"

listing=$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$first/$zip")
expected=$(printf "$name/%s\n" README.txt SHA256SUMS Setup.exe SetupCheck.exe deployment.md)
[ "$listing" = "$expected" ] || fail "the zip holds $(tr '\n' ' ' <<<"$listing")"
python3 -m zipfile -e "$first/$zip" "$work/unzipped"
diff -r "$work/unzipped/$name" "$first/$name" || fail "the zip does not hold the folder's files"
(cd "$first/$name" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not hold the files' sums"
grep -q "^Signed with Authenticode by /CN=Throwaway test signer,"$'\r'"$" "$first/$name/README.txt" ||
    fail "README.txt does not name the signer"
tr -d '\r' <"$first/$name/deployment.md" | cmp - "$source_dir/docs/deployment.md" ||
    fail "deployment.md of the bundle is not docs/deployment.md"

for program in Setup.exe SetupCheck.exe; do
    osslsigncode remove-signature -in "$first/$name/$program" -out "$work/$program" >/dev/null
    cmp "$work/$program" "${built[$program]}" || fail "$program of the release is not the one built"
done
[ "$status" -ne 0 ] || echo "PASS: $name, two runs alike ($(stat -c %s "$first/$zip") bytes of zip), sums right, the programs built"
exit $status
