#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine (run as root). Packages already
# present are left alone, so a second run costs nothing.
set -eu
packages=(
  cmake make
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
  googletest
  wine wine64 xvfb x11-utils xdotool imagemagick fonts-noto-cjk
  7zip zip unzip pigz python3
  osslsigncode openssl
  dpkg-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup.sh: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  echo "all build and test packages are installed"
fi
# libdeflate's source for the archiver: fetched from Debian's source package below build/ once,
# compiled by the build, never committed.
"$(dirname "$0")/fetch-libdeflate.sh" >/dev/null
