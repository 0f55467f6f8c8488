#!/usr/bin/env bash
# Runs one test executable under the build folder's private Wine prefix and display, for ctest.
# Usage: wine-test.sh BUILD_DIR TEST_PROGRAM [ARGS...]
#
# Under load Wine now and then ends a program before the program's first line of code ran: a
# failing exit code and no output at all, not even the test runner's opening line. Such a run
# tested nothing, so it is started once more and the log says so. A run that printed anything
# stands as it ended, and a failing run always names its exit code.
set -u
here=$(cd "$(dirname "$0")" && pwd)
program=$(basename "$2")
output=$(mktemp)
trap 'rm -f "$output"' EXIT
for attempt in 1 2; do
  "$here/wine-run.sh" "$@" 2>&1 | tee "$output"
  status=${PIPESTATUS[0]}
  if [ "$status" -eq 0 ] || [ -s "$output" ] || [ "$attempt" -eq 2 ]; then break; fi
  echo "wine-test: $program ended with exit code $status before printing anything;" \
       "Wine did not start it, so it starts once more"
done
if [ "$status" -ne 0 ]; then echo "wine-test: $program ended with exit code $status"; fi
exit "$status"
