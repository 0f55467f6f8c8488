#!/usr/bin/env bash
# Starts or stops the private Wine environment of a build folder: a fresh prefix, a persistent
# wineserver and an Xvfb display. Every background process gets /dev/null as its output, or
# the test runner would wait for ever for the end of its pipes.
# Usage: wine-fixture.sh start|stop BUILD_DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
action=$1
mkdir -p "$2/wine/state"
. "$here/wine-env.sh" "$2"

stop_all() {
  if [ -d "$WINEPREFIX" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  if [ -f "$vantrel_state_dir/xvfb.pid" ]; then
    kill "$(cat "$vantrel_state_dir/xvfb.pid")" >/dev/null 2>&1 || true
    rm -f "$vantrel_state_dir/xvfb.pid"
  fi
  rm -f "$vantrel_state_dir/display"
}

case "$action" in
  start)
    stop_all
    rm -rf "$WINEPREFIX"
    # Xvfb picks a free display itself and tells us which.
    exec 3>"$vantrel_state_dir/display.tmp"
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    echo $! >"$vantrel_state_dir/xvfb.pid"
    exec 3>&-
    for _ in $(seq 100); do
      [ -s "$vantrel_state_dir/display.tmp" ] && break
      sleep 0.1
    done
    tr -d '\n' <"$vantrel_state_dir/display.tmp" >"$vantrel_state_dir/display"
    rm -f "$vantrel_state_dir/display.tmp"
    export DISPLAY=":$(cat "$vantrel_state_dir/display")"
    mkdir -p "$WINEPREFIX" "$XDG_DATA_HOME"
    setsid wineserver -p </dev/null >/dev/null 2>&1
    wineboot -i </dev/null >/dev/null 2>&1
    # Wine links Documents, Desktop and the like to the Linux home folder; tests that fall back
    # to the documents folder must write inside the prefix, never into the developer's home.
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
      if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
    done
    # End-to-end tests keep their folders in slots made once here, a slot per test process. The
    # folder dialog finds a path by item identifiers that hold each folder's modification time:
    # no folder above a running test's own may change meanwhile, and the shared temporary folder
    # changes all the time while tests run side by side.
    mkdir -p "$WINEPREFIX"/drive_c/vantrel_e2e/slot{00..15}
    # Xvfb runs no window manager: with Wine's window management on, every hidden or destroyed
    # window waits two seconds for a window manager that never answers.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    # A program that crashes writes its backtrace and ends; Wine's crash dialog would wait for a
    # click that never comes and hold its test until the runner's time limit.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
    echo "wine prefix $WINEPREFIX ready on display $DISPLAY"
    ;;
  stop)
    stop_all
    echo "wine environment stopped"
    ;;
  *)
    echo "usage: wine-fixture.sh start|stop BUILD_DIR" >&2
    exit 2
    ;;
esac
