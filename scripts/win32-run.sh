#!/usr/bin/env bash
# Runs one 32-bit Windows program in the 32-bit runner and returns its exit code: 32-bit Wine in
# an i386 chroot under qemu-user (scripts/win32-setup.sh builds it when needed, as root). The
# machine's /tmp and this repository have the same paths inside, so Z:\tmp\... and the build's
# files mean the same files on both sides. One fixed 32-bit prefix, an Xvfb display of its own
# and a wineserver that stays alive between programs until --stop ends them and the mounts.
# Usage: win32-run.sh PROGRAM [ARGUMENTS...]
#        win32-run.sh --stop
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/win32-env.sh"

if [ $# -eq 0 ]; then
  echo "usage: win32-run.sh PROGRAM [ARGUMENTS...] | --stop" >&2
  exit 2
fi
if [ "$1" = --stop ]; then
  stop_session
  say "stopped"
  exit 0
fi

if [ ! -f "$vantrel_stamp" ] || [ "$(cat "$vantrel_stamp")" != "$vantrel_recipe" ]; then
  "$here/win32-setup.sh"
fi
# One caller at a time starts the session; the program itself runs without the lock.
exec 8>"$vantrel_cache/session.lock"
flock 8
start_session
exec 8>&-
program=$1
shift
case "$program" in
  /*) ;;
  *) program="$PWD/$program" ;;
esac
in_chroot wine "$program" "$@"
