#!/usr/bin/env bash
# Builds the 32-bit shipping preset and writes the release for Windows users to dist/: the
# archive vantrel-<version>-win32.zip with stripped programs, their debug information in
# vantrel-<version>-win32-symbols.zip, and SHA256SUMS (see scripts/package_release.py).
# Signs every program and the library when VANTREL_SIGN_CERT and VANTREL_SIGN_KEY name a
# certificate and its key (VANTREL_SIGN_PASSWORD_FILE and VANTREL_SIGN_TIMESTAMP_URL optional);
# without them the release is unsigned, and says so.
# Usage: scripts/release.sh
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh win32
python3 scripts/package_release.py build/win32 dist win32
