#!/usr/bin/env bash
# Runs one Windows program under the build folder's private Wine prefix and display.
# Used as the cross-compiling emulator of the tests: wine-run.sh BUILD_DIR PROGRAM [ARGS...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh" "$1"
shift
exec wine "$@"
