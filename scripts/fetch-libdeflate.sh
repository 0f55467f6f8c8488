#!/usr/bin/env bash
# Fetches the source of libdeflate (the whole-buffer deflate engine of 7-zip32.dll) from Debian's
# source package into build/third_party/, once. Nothing of it is kept in the repository: the build
# compiles it with the mingw compilers (archiver/CMakeLists.txt).
# Usage: fetch-libdeflate.sh [ROOT]   (ROOT: the checkout, default the one holding this script)
# Prints the source folder. Adds a deb-src entry for this machine's Debian release when there is
# none (needs root, as setup.sh does). VANTREL_LIBDEFLATE_VERSION asks for one version of the
# source package (as a release's build record names it) instead of the newest of the release.
set -eu
root=$(cd "${1:-$(dirname "$0")/..}" && pwd)
dest="$root/build/third_party"
marker="$dest/libdeflate.ready"
if [ -f "$marker" ] && [ -d "$(cat "$marker")" ]; then
  cat "$marker"
  exit 0
fi

have_deb_src() {
  grep -rqsE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null && return 0
  grep -rqsE '^[[:space:]]*Types:.*deb-src' /etc/apt/sources.list.d/*.sources 2>/dev/null
}

if ! apt-cache showsrc libdeflate >/dev/null 2>&1 || ! apt-cache showsrc libdeflate | grep -q '^Package:'; then
  if ! have_deb_src; then
    if [ "$(id -u)" -ne 0 ]; then
      echo "fetch-libdeflate.sh: no deb-src entry, and adding one needs root" >&2
      exit 1
    fi
    . /etc/os-release
    codename=${VERSION_CODENAME:?no VERSION_CODENAME in /etc/os-release}
    # The same mirrors as the binary entries, for the source packages.
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        > /etc/apt/sources.list.d/vantrel-deb-src.sources
    else
      echo "deb-src http://deb.debian.org/debian $codename main" > /etc/apt/sources.list.d/vantrel-deb-src.list
    fi
  fi
  apt-get update -q >&2
fi

mkdir -p "$dest"
work=$(mktemp -d "$dest/fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT
# dpkg-source unpacks as the calling user; no build dependencies are needed (we build it ourselves).
(cd "$work" && apt-get source -q --only-source "libdeflate${VANTREL_LIBDEFLATE_VERSION:+=$VANTREL_LIBDEFLATE_VERSION}" >&2)
src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'libdeflate-*' | head -n 1)
if [ -z "$src" ] || [ ! -f "$src/libdeflate.h" ]; then
  echo "fetch-libdeflate.sh: apt-get source gave no libdeflate source" >&2
  exit 1
fi
final="$dest/$(basename "$src")"
rm -rf "$final"
mv "$src" "$final"
echo "$final" > "$marker"
echo "$final"
