#!/usr/bin/env bash
# Installs what the build and the tests need from Debian's packages.
# Quick and silent when everything is already there.
set -euo pipefail

PKGS=(
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  cmake ninja-build make googletest
  wine wine64 xvfb xauth x11-utils xdotool
  fonts-wine fonts-liberation fonts-dejavu-core
  imagemagick python3 python3-pil
  python3-olefile python3-xlrd fp-utils
  nsis zip unzip
  python3-xlwt
)

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get -o DPkg::Lock::Timeout=900 update -qq >/dev/null
$SUDO apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
