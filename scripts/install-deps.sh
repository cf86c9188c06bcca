#!/usr/bin/env bash
# Installs what building and testing both platforms needs, from Debian's
# packages: the native toolchain and GoogleTest, clang with its sanitizer and
# fuzzer runtimes, MinGW-w64 for Setup.exe (i686, and x86-64 for the 64-bit
# test build), Wine with Xvfb to run it, QEMU with debootstrap to make and run
# the emulated machine that runs it where this kernel runs no 32-bit programs
# (tools/wine/guest.sh), and osslsigncode with OpenSSL to sign the release
# (scripts/release.sh).
# Packages already present are left alone.
#
#   scripts/install-deps.sh                 what the builds and tests need
#   scripts/install-deps.sh --performance   that, and what scripts/performance.sh
#                                           measures with (valgrind)
set -euo pipefail

packages=(cmake ninja-build g++ python3 libgtest-dev libbenchmark-dev clang
          g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
          wine wine32:i386 wine64 xvfb x11-utils locales
          qemu-system-x86 qemu-utils debootstrap
          git osslsigncode openssl ca-certificates)
case "${1:-}" in
    "") ;;
    --performance) packages+=(valgrind) ;;
    *) echo "usage: $0 [--performance]" >&2; exit 64 ;;
esac

# libFuzzer and the sanitizer runtimes come with the clang release's own
# runtime package; which release it is, the installed clang tells.
if command -v clang >/dev/null 2>&1; then
    clang_major=$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)
    [ -z "$clang_major" ] || packages+=("libclang-rt-$clang_major-dev")
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# A clang installed just now brings its runtime package only as a
# recommendation: ask for it by name.
if [ -z "${clang_major:-}" ]; then
    clang_major=$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)
    if ! dpkg-query -W -f='${Status}' "libclang-rt-$clang_major-dev" 2>/dev/null | grep -q "install ok installed"; then
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
            "libclang-rt-$clang_major-dev" >/dev/null
    fi
fi
