#!/usr/bin/env bash
# The smoke suite of the release archive: unpacks the zip that scripts/release.sh made into a
# folder below /tmp, runs release_smoke32.exe of the 32-bit build in the 32-bit runner on the
# unpacked programs, then lets Info-ZIP unzip and Python's zipfile read the archives that the
# ZIP scenario made. Ends the runner's programs when done.
# Usage: run_release_smoke.sh [ZIP] [gtest options...]   (ZIP: dist/vantrel-<version>-win32.zip)
set -eu
repo=$(cd "$(dirname "$0")/../.." && pwd)
build="$repo/build/win32"
zip=
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then
  zip=$1
  shift
fi
if [ -z "$zip" ]; then
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
  zip="$repo/dist/vantrel-$version-win32.zip"
fi
[ -f "$zip" ] || { echo "run_release_smoke.sh: no release archive $zip (scripts/release.sh makes it)" >&2; exit 1; }
exe="$build/tests-bin/release_smoke32.exe"
[ -f "$exe" ] || { echo "run_release_smoke.sh: $exe is not built (cmake --build --preset win32)" >&2; exit 1; }

work=$(mktemp -d /tmp/vantrel-smoke32.XXXXXX)
cleanup() {
  "$repo/scripts/win32-run.sh" --stop >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
unzip -q "$zip" -d "$work/release"
mkdir "$work/check"
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

echo "== smoke32: $(basename "$zip") in the 32-bit runner"
status=0
"$repo/scripts/win32-run.sh" "$exe" "$@" "$(windows_path "$work/release/Tazu")" "$(windows_path "$work/check")" ||
  status=$?
if [ -d "$work/check/zip" ]; then
  python3 "$repo/tests/smoke32/outside_readers.py" "$work/check/zip" || status=1
fi
exit $status
