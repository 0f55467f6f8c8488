#!/usr/bin/env bash
# Builds what the 32-bit shipping preset ships and writes the release for Windows users to dist/:
# the archive vantrel-<version>-win32.zip with stripped programs, their debug information in
# vantrel-<version>-win32-symbols.zip, the build record vantrel-<version>.buildinfo and SHA256SUMS
# (see scripts/package_release.py). Unsigned, the same commit gives the same bytes on any Debian 12
# machine with the packages that the build record names (scripts/reproduce-release.sh checks it).
# Signs every program and the library when VANTREL_SIGN_CERT and VANTREL_SIGN_KEY name a
# certificate and its key (VANTREL_SIGN_PASSWORD_FILE and VANTREL_SIGN_TIMESTAMP_URL optional);
# without them the release is unsigned, and says so.
# Usage: scripts/release.sh
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
echo "== build win32 (what ships)"
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target vantrel_shipped -j"$(nproc)"
# Debian's own Python, which the build record names: its zipfile and zlib shape the archives.
/usr/bin/python3 scripts/package_release.py build/win32 dist win32
