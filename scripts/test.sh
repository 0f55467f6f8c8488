#!/usr/bin/env bash
# The test command: installs what is missing, builds both presets (the 32-bit shipping build
# and the 64-bit build) and runs every test under Wine with the 64-bit build; then builds the
# release archive and runs the smoke suite of its own 32-bit files in the 32-bit runner. With
# VANTREL_REPRODUCE=1 it then rebuilds the release from a fresh clone of HEAD and compares.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
# The 32-bit runner is built (once per machine, mostly downloads and emulated package set-up)
# while the presets build and the 64-bit tests run; on later runs it is ready in a second.
mkdir -p build
scripts/win32-setup.sh >build/win32-setup.log 2>&1 &
runner=$!
scripts/build.sh win32 win64
echo "== test win64"
status=0
ctest --preset win64 "$@" || status=$?
echo "== 32-bit runner"
runner_status=0
wait "$runner" || runner_status=$?
cat build/win32-setup.log
[ "$status" -eq 0 ] || exit "$status"
[ "$runner_status" -eq 0 ] || exit "$runner_status"
echo "== release archive"
scripts/release.sh
echo "== smoke32"
tests/smoke32/run_release_smoke.sh
# Only on request (one more release build, in a fresh clone of HEAD in another folder): the check
# that the release just made in dist/ is what that clone builds, byte for byte.
if [ "${VANTREL_REPRODUCE:-}" = 1 ]; then
  echo "== reproduce"
  scripts/reproduce-release.sh
fi
