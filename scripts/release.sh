#!/usr/bin/env bash
# Builds the 32-bit shipping preset and writes the release archive for Windows users to
# dist/vantrel-<version>-win32.zip (see scripts/package_release.py for what it holds).
# Usage: scripts/release.sh
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh win32
python3 scripts/package_release.py build/win32 dist win32
