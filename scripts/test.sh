#!/usr/bin/env bash
# The test command: installs what is missing, builds both presets (the 32-bit shipping build
# and the 64-bit build) and runs every test under Wine with the 64-bit build; then builds the
# release archive and runs the smoke suite of its own 32-bit files in the 32-bit runner (which
# scripts/win32-setup.sh sets up on the first run of a machine).
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh win32 win64
echo "== test win64"
ctest --preset win64 "$@"
echo "== release archive"
scripts/release.sh
echo "== 32-bit runner"
scripts/win32-setup.sh
echo "== smoke32"
tests/smoke32/run_release_smoke.sh
