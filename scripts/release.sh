#!/usr/bin/env bash
# Builds the release bundle of the checked-out commit from scratch: a folder
# and a zip holding Setup.exe, SetupCheck.exe, README.txt (for package
# authors and support staff), deployment.md (docs/deployment.md, for the
# administrators of deployment systems) and SHA256SUMS.
#
#   scripts/release.sh [--sign CERT.p12 [--password-file FILE] [--timestamp URL] [--ca FILE]]
#                      [--out DIR] [--allow-dirty]
#
# --sign         sign both programs with Authenticode and verify them
#                (scripts/sign.sh: the password comes from FILE or from
#                SETUP_SIGN_PASSWORD, never from the command line)
# --out          where the bundle goes (default: build/release)
# --allow-dirty  build a tree with uncommitted changes; README.txt says so
#
# The programs are built in a new folder, never an earlier build's. Every
# date in the bundle is the commit's (or SOURCE_DATE_EPOCH), so two runs on
# one commit write the same bytes; signed, they do so too unless a time
# stamp is asked for, whose server answers anew each time.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { sed -n '2,15p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2; exit 2; }
die() { echo "release.sh: $*" >&2; exit 1; }

out=build/release allow_dirty=0 sign=0 sign_options=() timestamp=''
while [ $# -gt 0 ]; do
    case "$1" in
        --sign) [ $# -ge 2 ] || usage; sign=1; sign_options+=(--pkcs12 "$2"); shift 2 ;;
        --password-file|--ca) [ $# -ge 2 ] || usage; sign_options+=("$1" "$2"); shift 2 ;;
        --timestamp) [ $# -ge 2 ] || usage; timestamp=$2; sign_options+=("$1" "$2"); shift 2 ;;
        --out) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
        --allow-dirty) allow_dirty=1; shift ;;
        *) usage ;;
    esac
done
[ "$sign" -eq 1 ] || [ ${#sign_options[@]} -eq 0 ] || die "--password-file, --timestamp and --ca go with --sign"

commit=$(git rev-parse HEAD) || die "not a git checkout: the bundle names the commit it is built from"
commit_text=$commit
if [ -n "$(git status --porcelain)" ]; then
    [ "$allow_dirty" -eq 1 ] || die "the tree has uncommitted changes (git status); commit them, or give --allow-dirty"
    commit_text="$commit with uncommitted changes"
fi
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct HEAD)}
date=$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%d)
version=$(awk '/^#define SETUP_VERSION_(MAJOR|MINOR|PATCH|BUILD) / {v = v (v == "" ? "" : ".") $3} END {print v}' \
    resources/program_version.h)
product=$(sed -n 's/^ *VALUE "ProductName", "\(.*\)".*/\1/p' resources/setup.rc)
{ [ -n "$version" ] && [ -n "$product" ]; } || die "no version in resources/program_version.h or no ProductName in resources/setup.rc"
name=touchpad-setup-$version

# A wrong password should not cost a build first.
[ "$sign" -eq 0 ] || scripts/sign.sh "${sign_options[@]}"

mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build=$work/build
cmake --preset windows -B "$build" -DSETUP_WINE_TESTS=OFF >/dev/null
cmake --build "$build" --target Setup SetupCheck -j "$(nproc)" >/dev/null

bundle=$work/$name
mkdir "$bundle"
programs=(Setup.exe SetupCheck.exe)
for program in "${programs[@]}"; do
    cp "$build/$program" "$bundle/"
done
unsigned_sums=$(cd "$bundle" && sha256sum "${programs[@]}")

signature="Not signed: Windows names no publisher for these programs (\"Unknown publisher\"
when Setup.exe asks for elevation), and SmartScreen or an application-control
policy may stop them."
if [ "$sign" -eq 1 ]; then
    signed=$(scripts/sign.sh "${sign_options[@]}" "$bundle/Setup.exe" "$bundle/SetupCheck.exe")
    signer=$(sed -n 's/^signed .* by //p' <<<"$signed" | head -n 1)
    # The limit the build checks holds for the file that ships.
    for program in "${programs[@]}"; do
        limit_name=SETUP_EXE_SIZE_LIMIT
        [ "$program" = Setup.exe ] || limit_name=SETUP_CHECK_EXE_SIZE_LIMIT
        limit=$(sed -n "s/^$limit_name:INTERNAL=//p" "$build/CMakeCache.txt")
        cmake -DFILE="$bundle/$program" -DLIMIT="$limit" -P cmake/check_size.cmake
    done
    when="without a time stamp: the signature is valid while the certificate is"
    [ -z "$timestamp" ] || when="time-stamped by $timestamp"
    signature="Signed with Authenticode by $signer,
$when.
Without their signatures (osslsigncode remove-signature) the programs are
the bytes a build of the commit gives:
$unsigned_sums"
fi

# README.txt is read on Windows: CR LF line ends.
sed 's/$/\r/' >"$bundle/README.txt" <<EOF
$product $version
Built from commit $commit_text ($date).

Setup.exe       the front end of the touch-pad driver package. It goes in the
                package's root folder, beside Setup.ini (the settings file
                takes the program's name), the INF files, the driver folders
                and the installer engine (DPInst.exe by default).
                Setup.exe /s installs silently; Setup.exe /? shows the options.
SetupCheck.exe  for support staff. Run in a console beside Setup.exe on a
                customer's machine, with the command line Setup.exe would get
                (SetupCheck.exe /s), it says what Setup.exe would do there,
                and changes nothing: it starts no program, writes no file or
                registry value and shows no box. --json prints it for scripts.
deployment.md   for administrators of update tools and deployment systems
                (Configuration Manager, Intune, Group Policy start-up
                scripts, PDQ-style tools): the command lines, what each exit
                code means, the runs that end with 0 having installed
                nothing, the boxes a silent run can wait on, the detection
                rule and the logs.
SHA256SUMS      the SHA-256 of the other files. On Windows:
                certutil -hashfile Setup.exe SHA256

$signature
EOF
sed 's/$/\r/' docs/deployment.md >"$bundle/deployment.md"

(cd "$bundle" && sha256sum README.txt deployment.md "${programs[@]}" >SHA256SUMS)
chmod 644 "$bundle"/*
touch -d "@$SOURCE_DATE_EPOCH" "$bundle"/*

# Names in order, the commit's date, the same attributes for every file, and
# stored rather than compressed: the archive's bytes depend on the files alone.
python3 - "$work" "$name" "$SOURCE_DATE_EPOCH" <<'EOF'
import os, sys, time, zipfile
work, name, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
stamp = time.gmtime(max(epoch, 315532800))[:6]  # a zip holds no date before 1980
with zipfile.ZipFile(os.path.join(work, name + ".zip"), "w", zipfile.ZIP_STORED) as archive:
    for file in sorted(os.listdir(os.path.join(work, name))):
        entry = zipfile.ZipInfo(name + "/" + file, stamp)
        entry.create_system = 3  # Unix: external_attr holds the mode
        entry.external_attr = 0o100644 << 16
        with open(os.path.join(work, name, file), "rb") as source:
            archive.writestr(entry, source.read())
EOF

rm -rf "${out:?}/$name" "$out/$name.zip"
mv "$bundle" "$work/$name.zip" "$out/"
echo "$out/$name/"
echo "$out/$name.zip"
(cd "$out/$name" && cat SHA256SUMS)
