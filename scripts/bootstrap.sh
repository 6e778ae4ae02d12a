#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, only when missing.
# Safe to run again; needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(
  cmake make ninja-build g++ clang libclang-rt-14-dev
  googletest
  g++-mingw-w64-i686 gcc-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-tools
  wine wine32 xvfb x11-utils xdotool imagemagick
  zlib1g-dev libz-mingw-w64-dev python3
  fonts-wqy-zenhei fonts-wqy-microhei
)

need_i386=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then need_i386=1; fi

missing=()
for p in "${packages[@]}"; do
  arch_p="$p"
  [ "$p" = wine32 ] && arch_p="wine32:i386"
  if ! dpkg-query -W -f='${Status}' "$arch_p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$arch_p")
  fi
done

if [ "$need_i386" = 0 ] && [ "${#missing[@]}" = 0 ]; then
  echo "bootstrap: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
if [ "$need_i386" = 1 ]; then $SUDO dpkg --add-architecture i386; fi
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
echo "bootstrap: installed ${missing[*]}"
