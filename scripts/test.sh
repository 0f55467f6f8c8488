#!/usr/bin/env bash
# The test command: installs what is missing, builds both presets (the 32-bit shipping build
# and the 64-bit build) and runs every test under Wine with the 64-bit build.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh win32 win64
echo "== test win64"
ctest --preset win64 "$@"
