#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when any is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang clang-format libclang-rt-14-dev libclang-14-dev graphviz
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 wine
    lld llvm
    python3 zip unzip
    libtag1-dev lame sox libsox-fmt-mp3 id3v2 socat xvfb tmux
    libc6:i386
)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

# The 32-bit Windows build's tests run on Wine's 32-bit side, an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    $SUDO apt-get update -q
fi

install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        $SUDO apt-get update -q
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
    fi
}

install_missing "${packages[@]}"

# wine32 only where the kernel runs 32-bit programs: some virtual machines do not, and there
# Debian's `wine` command would pick the 32-bit loader it cannot start, for 64-bit programs
# too. Without it the 32-bit Wine tests report themselves skipped.
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    install_missing wine32:i386
else
    echo "This machine runs no 32-bit programs: wine32 is left out, the i686 Wine tests skip."
fi
