#!/usr/bin/env bash
# Signs Windows programs with Authenticode (osslsigncode), in place, and
# verifies them:
#
#   scripts/sign.sh --pkcs12 CERT.p12 [--password-file FILE] [--timestamp URL] [--ca FILE] [PROGRAM...]
#
# --pkcs12         the signer's certificate with its private key (and its
#                  chain, if the issuer's certificates are to travel along)
# --password-file  its password is the first line of FILE; without it, the
#                  environment variable SETUP_SIGN_PASSWORD. Never a word of
#                  the command line, which every user of the machine can read.
# --timestamp      an RFC 3161 time-stamp server to countersign: the
#                  signature then stays valid after the certificate expires
# --ca             CA certificates (PEM) the chains of the signer and of the
#                  time stamp must end in (default: the system's store)
#
# The certificate is checked first: a wrong password or a file without a
# private key ends the run before any program is touched. With no PROGRAM
# that check is all. Each program is signed into a copy beside it, which
# replaces it only once it verifies, so a failure leaves the program as it
# was. A program already signed is signed anew: it carries one signature,
# never a second one beside the first.
#
# SOURCE_DATE_EPOCH, when set, is the signing time the signature states:
# without a time stamp one certificate then gives the same bytes every time.
# The verification does not fetch revocation lists (Windows checks those
# when the program starts); a time stamp is fetched from its server.
# Prints one line per program: "signed PROGRAM (SIZE bytes) by SUBJECT".
set -euo pipefail

usage() { sed -n '2,16p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }
die() { echo "sign.sh: $*" >&2; exit 1; }

pkcs12='' password_file='' timestamp='' ca=''
while [ $# -gt 0 ]; do
    case "$1" in
        --pkcs12) [ $# -ge 2 ] || usage; pkcs12=$2; shift 2 ;;
        --password-file) [ $# -ge 2 ] || usage; password_file=$2; shift 2 ;;
        --timestamp) [ $# -ge 2 ] || usage; timestamp=$2; shift 2 ;;
        --ca) [ $# -ge 2 ] || usage; ca=$2; shift 2 ;;
        --) shift; break ;;
        -*) usage ;;
        *) break ;;
    esac
done
[ -n "$pkcs12" ] || usage
programs=("$@")

[ -f "$pkcs12" ] || die "no certificate file $pkcs12"
if [ -n "$password_file" ]; then
    [ -r "$password_file" ] || die "cannot read the password file $password_file"
    password=''
    IFS= read -r password <"$password_file" || true  # a last line without its line end counts too
    password=${password%$'\r'}
elif [ -n "${SETUP_SIGN_PASSWORD+set}" ]; then
    password=$SETUP_SIGN_PASSWORD
else
    die "no password for $pkcs12: give --password-file FILE or set SETUP_SIGN_PASSWORD"
fi
[ -z "$ca" ] || [ -f "$ca" ] || die "no CA file $ca"
for program in "${programs[@]}"; do
    [ -f "$program" ] || die "no program $program"
done

# The password reaches both tools on their standard input. -legacy also
# opens files exported with the older ciphers (RC2, 3DES), as osslsigncode does.
if ! openssl pkcs12 -legacy -in "$pkcs12" -passin stdin -noout <<<"$password" 2>/dev/null; then
    die "$pkcs12 does not open with the password given (a wrong password, or not a PKCS#12 file)"
fi
if ! openssl pkcs12 -legacy -in "$pkcs12" -passin stdin -nocerts -nodes <<<"$password" 2>/dev/null |
        grep -q -- '-----BEGIN .*PRIVATE KEY-----'; then
    die "$pkcs12 holds no private key: export the certificate together with its private key"
fi

sign_options=(-pkcs12 "$pkcs12" -readpass - -h sha256)
[ -z "$timestamp" ] || sign_options+=(-ts "$timestamp")
[ -z "${SOURCE_DATE_EPOCH:-}" ] || sign_options+=(-time "$SOURCE_DATE_EPOCH")
verify_options=(-ignore-cdp)
[ -z "$ca" ] || verify_options+=(-CAfile "$ca" -TSA-CAfile "$ca")

# osslsigncode writes only a new file: the signed copy goes into a folder of
# its own beside the program, so that the final move is a rename.
work=''
trap '[ -z "$work" ] || rm -rf "$work"' EXIT
for program in "${programs[@]}"; do
    work=$(mktemp -d "$(dirname "$program")/.signing.XXXXXX")
    signed_copy=$work/$(basename "$program")
    if ! output=$(osslsigncode sign "${sign_options[@]}" -in "$program" -out "$signed_copy" <<<"$password" 2>&1); then
        die "signing $program failed: $output"
    fi
    if ! output=$(osslsigncode verify "${verify_options[@]}" -in "$signed_copy" 2>&1); then
        die "the signature of $program does not verify: $(grep -i -E 'error|fail' <<<"$output" | head -n 5)"
    fi
    chmod --reference="$program" "$signed_copy"
    mv -f "$signed_copy" "$program"
    rm -rf "$work"
    work=''
    echo "signed $program ($(stat -c %s "$program") bytes) by $(sed -n 's/^[[:space:]]*Subject: //p' <<<"$output" | head -n 1)"
done
