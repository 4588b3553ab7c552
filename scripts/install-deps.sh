#!/usr/bin/env bash
# Installs the system packages the build and the tests need. Idempotent and
# quiet: when everything is present it only checks and prints nothing.
set -euo pipefail

PACKAGES=(
  cmake ninja-build make ccache python3 clang-format
  g++ clang libclang-rt-14-dev libgtest-dev googletest
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libz-mingw-w64-dev zlib1g-dev libdeflate-dev libtomlplusplus-dev
  wine wine64 wine32:i386
  xvfb xauth x11-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing missing packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
