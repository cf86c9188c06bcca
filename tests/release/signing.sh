#!/usr/bin/env bash
# scripts/sign.sh on copies of the built programs, with a certificate made
# for this run:
#   signing.sh SOURCE_DIR SETUP_EXE SETUP_CHECK_EXE OUT_DIR
# - both signed programs verify (osslsigncode, against the certificate);
# - without the signature each is the unsigned file, byte for byte;
# - signed again (the password now from the environment), each is the same
#   file: one signature, not a second beside the first;
# - time-stamped by a local server, it verifies the same way;
# - a certificate that cannot sign ends the run with a clear message and
#   leaves the program as it was, with nothing beside it.
# The signed copies stay in OUT_DIR for the Wine tests.
set -euo pipefail
# shellcheck source=throwaway_cert.sh
source "$(dirname "${BASH_SOURCE[0]}")/throwaway_cert.sh"
source_dir=$1 out=$4
declare -A unsigned=([Setup.exe]=$2 [SetupCheck.exe]=$3)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

cert=$work/cert
make_throwaway_cert "$cert"
sign=("$source_dir/scripts/sign.sh" --pkcs12 "$cert/signer.p12" --ca "$cert/signer.pem")
export SOURCE_DATE_EPOCH=1700000000

rm -rf "$out"
mkdir -p "$out"
cp "${unsigned[@]}" "$out/"
"${sign[@]}" --password-file "$cert/password" "$out/Setup.exe" "$out/SetupCheck.exe"
for program in Setup.exe SetupCheck.exe; do
    osslsigncode verify -CAfile "$cert/signer.pem" -ignore-cdp -in "$out/$program" >"$work/verify.txt" 2>&1 ||
        fail "$program: the signature does not verify: $(grep -i error "$work/verify.txt")"
    osslsigncode remove-signature -in "$out/$program" -out "$work/stripped-$program" >/dev/null
    cmp "$work/stripped-$program" "${unsigned[$program]}" ||
        fail "$program: apart from its signature the signed file is not the unsigned one"
    cp "$out/$program" "$work/again-$program"
    SETUP_SIGN_PASSWORD=$(cat "$cert/password") "${sign[@]}" "$work/again-$program" >/dev/null
    cmp "$out/$program" "$work/again-$program" ||
        fail "$program: signed twice it is not the file signed once: $(osslsigncode verify -CAfile "$cert/signer.pem" \
              -in "$work/again-$program" 2>&1 | grep 'Number of verified signatures')"
    echo "$program: $(stat -c %s "${unsigned[$program]}") bytes unsigned, $(stat -c %s "$out/$program") signed"
done

# Time-stamped by a server of this run: the time stamp verifies too, against
# the CA file that --ca gives for both chains.
start_throwaway_tsa "$cert"
trap 'kill "$tsa_pid" 2>/dev/null; rm -rf "$work"' EXIT
cat "$cert/signer.pem" "$cert/tsa.pem" >"$cert/both.pem"
cp "${unsigned[Setup.exe]}" "$work/stamped.exe"
"$source_dir/scripts/sign.sh" --pkcs12 "$cert/signer.p12" --password-file "$cert/password" --ca "$cert/both.pem" \
    --timestamp "$tsa_url" "$work/stamped.exe" >/dev/null
osslsigncode verify -CAfile "$cert/signer.pem" -TSA-CAfile "$cert/tsa.pem" -ignore-cdp -in "$work/stamped.exe" \
    >"$work/verify.txt" 2>&1 && grep -q 'Timestamp Server Signature verification: ok' "$work/verify.txt" ||
    fail "the time-stamped Setup.exe does not verify: $(grep -i -E 'error|timestamp' "$work/verify.txt")"
osslsigncode remove-signature -in "$work/stamped.exe" -out "$work/stamped-stripped.exe" >/dev/null
cmp "$work/stamped-stripped.exe" "${unsigned[Setup.exe]}" || fail "apart from its time-stamped signature Setup.exe changed"
echo "Setup.exe time-stamped: $(stat -c %s "$work/stamped.exe") bytes"

# case | certificate | password | what sign.sh must say
printf 'not the password\n' >"$work/wrong-password"
cases=(
    "wrong password in a file|signer.p12|--password-file $work/wrong-password|does not open with the password given"
    "wrong password in the environment|signer.p12|env|does not open with the password given"
    "certificate without its private key|nokey.p12|--password-file $cert/password|holds no private key"
    "no password at all|signer.p12||no password for"
    "a signer the system's CA store does not know|signer.p12|--password-file $cert/password|does not verify"
)
for row in "${cases[@]}"; do
    IFS='|' read -r name certificate password message <<<"$row"
    folder=$work/case
    rm -rf "$folder"
    mkdir "$folder"
    cp "${unsigned[Setup.exe]}" "${unsigned[SetupCheck.exe]}" "$folder/"
    read -r -a password_words <<<"$password"
    environment=(env -u SETUP_SIGN_PASSWORD)
    if [ "$password" = env ]; then environment=(env SETUP_SIGN_PASSWORD=wrong); password_words=(); fi
    if "${environment[@]}" "$source_dir/scripts/sign.sh" --pkcs12 "$cert/$certificate" "${password_words[@]}" \
            "$folder/Setup.exe" "$folder/SetupCheck.exe" >/dev/null 2>"$work/error.txt"; then
        fail "$name: signing succeeded"
    fi
    grep -q -- "$message" "$work/error.txt" || fail "$name: the message is not \"$message\": $(cat "$work/error.txt")"
    [ "$(ls -A "$folder")" = "$(printf 'Setup.exe\nSetupCheck.exe')" ] || fail "$name: left $(ls -A "$folder" | tr '\n' ' ')"
    cmp -s "$folder/Setup.exe" "${unsigned[Setup.exe]}" && cmp -s "$folder/SetupCheck.exe" "${unsigned[SetupCheck.exe]}" ||
        fail "$name: a program was changed"
done
[ "$status" -ne 0 ] || echo "PASS: signed, verified, unchanged apart from the signature, signed twice alike; ${#cases[@]} failures clear and harmless"
exit $status
