# Sourced by the 32-bit runner's scripts (win32-setup.sh, win32-run.sh): where the runner lives
# and how its chroot is entered. Everything lives in one cache folder outside the repository so
# that every clone on the machine shares it; VANTREL_WIN32_CACHE moves it.
vantrel_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
vantrel_cache=${VANTREL_WIN32_CACHE:-/var/cache/vantrel-win32}
vantrel_root="$vantrel_cache/chroot"
vantrel_qemu="$vantrel_cache/qemu/usr/bin/qemu-i386"
vantrel_state="$vantrel_cache/state"
# Written last by win32-setup.sh; its text names the recipe, so a changed recipe rebuilds.
vantrel_stamp="$vantrel_cache/complete"
vantrel_recipe="vantrel-win32 runner 2: bookworm i386 minbase, trixie qemu-user, wine32, win32 prefix without crash dialog"
# The prefix inside the chroot; its own path there, not the machine's.
vantrel_prefix=/opt/vantrel/prefix
vantrel_binfmt_name=vantrel-i386
vantrel_binfmt_dir=/proc/sys/fs/binfmt_misc

say() { echo "win32 runner: $*" >&2; }

# The kernel runs no 32-bit code itself: every i386 ELF file goes to the emulator. The F flag
# opens the emulator now, so it also runs inside the chroot, where its path does not exist. The
# magic matches 32-bit x86 executables only; the machine's own programs are untouched.
register_binfmt() {
  if ! mountpoint -q "$vantrel_binfmt_dir"; then
    say "mounting binfmt_misc on $vantrel_binfmt_dir"
    mount -t binfmt_misc binfmt_misc "$vantrel_binfmt_dir"
  fi
  local entry="$vantrel_binfmt_dir/$vantrel_binfmt_name"
  # An entry of another cache on this machine serves as well: the kernel holds its emulator open.
  if [ -f "$entry" ] && grep -qx 'enabled' "$entry" &&
    [ -x "$(sed -n 's/^interpreter //p' "$entry")" ]; then
    return 0
  fi
  [ -f "$entry" ] && echo -1 >"$entry"
  say "registering $vantrel_qemu for i386 programs (binfmt_misc entry $vantrel_binfmt_name)"
  printf '%s' ":$vantrel_binfmt_name:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$vantrel_qemu:F" \
    >"$vantrel_binfmt_dir/register"
}

# The machine's /tmp and the repository appear at the same paths inside, so a Z:\tmp\... or a
# build output path means the same file on both sides.
bind_here() {
  local source=$1 target="$vantrel_root$1"
  mountpoint -q "$target" && return 0
  mkdir -p "$target"
  mount --bind "$source" "$target"
}

mount_chroot() {
  bind_here /proc
  bind_here /dev
  bind_here /tmp
  bind_here "$vantrel_repo"
}

# Unmounts everything below the chroot, deepest first.
unmount_chroot() {
  local target
  awk -v root="$vantrel_root" 'index($2, root "/") == 1 { print $2 }' /proc/mounts | sort -r |
    while read -r target; do
      umount "$target" 2>/dev/null || umount -l "$target"
    done
}

# Runs a command inside the chroot in the caller's folder (when the chroot sees it) with a clean
# environment: the runner's Wine prefix and display, nothing of the machine's Wine settings.
in_chroot() {
  local cwd=/
  [ -d "$vantrel_root$PWD" ] && cwd=$PWD
  local display=
  [ -f "$vantrel_state/display" ] && display=":$(cat "$vantrel_state/display")"
  chroot "$vantrel_root" /usr/bin/env -i -C "$cwd" \
    PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=/root USER=root LANG=C.UTF-8 \
    WINEPREFIX="$vantrel_prefix" WINEARCH=win32 WINEDEBUG=-all XDG_DATA_HOME="$vantrel_prefix/xdg-data" \
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" DISPLAY="$display" "$@"
}

# The runner's session: the binds, an Xvfb display of its own (the machine's Xvfb, which the
# chroot's Wine reaches through the shared /tmp/.X11-unix) and a persistent wineserver.
session_running() {
  [ -f "$vantrel_state/xvfb.pid" ] && kill -0 "$(cat "$vantrel_state/xvfb.pid")" 2>/dev/null &&
    [ -S "/tmp/.X11-unix/X$(cat "$vantrel_state/display" 2>/dev/null)" ]
}

start_session() {
  local fresh=
  register_binfmt
  mount_chroot
  # Test programs keep their folders in slots made once (see wine-fixture.sh for why).
  if [ -d "$vantrel_root$vantrel_prefix/drive_c" ]; then
    mkdir -p "$vantrel_root$vantrel_prefix"/drive_c/vantrel_e2e/slot{00..15}
    # Wine's Recycle Bin is the freedesktop trash below XDG_DATA_HOME: inside the prefix, as in
    # the 64-bit fixture.
    mkdir -p "$vantrel_root$vantrel_prefix/xdg-data"
  fi
  mkdir -p "$vantrel_state"
  if ! session_running; then
    rm -f "$vantrel_state/display" "$vantrel_state/xvfb.pid"
    # Xvfb picks a free display itself and tells us which; its output goes to /dev/null, or a
    # caller that reads our output would wait for ever for the end of the pipe.
    exec 3>"$vantrel_state/display.tmp"
    # (Without the lock files of our callers, which would stay held as long as it runs.)
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 8>&- 9>&- &
    echo $! >"$vantrel_state/xvfb.pid"
    exec 3>&-
    local _
    for _ in $(seq 100); do
      [ -s "$vantrel_state/display.tmp" ] && break
      sleep 0.1
    done
    tr -d '\n' <"$vantrel_state/display.tmp" >"$vantrel_state/display"
    rm -f "$vantrel_state/display.tmp"
    # Programs start only once the display answers: a window made before that fails.
    for _ in $(seq 100); do
      [ -S "/tmp/.X11-unix/X$(cat "$vantrel_state/display")" ] && break
      sleep 0.1
    done
    session_running || { say "Xvfb did not start"; return 1; }
    fresh=1
  fi
  # Kept alive between programs: a cold start under emulation costs seconds each time.
  # (It goes to the background itself, and does nothing when one already serves the prefix.)
  in_chroot setsid wineserver -p </dev/null >/dev/null 2>&1 8>&- 9>&- || true
  # Wine's own services start with the first program and outlive it: started here, they hold
  # no caller's output open.
  if [ -n "${fresh:-}" ]; then
    in_chroot wineboot </dev/null >/dev/null 2>&1 8>&- 9>&- || true
  fi
}

stop_session() {
  if [ -x "$vantrel_root/usr/bin/wineserver" ] && mountpoint -q "$vantrel_root/tmp"; then
    in_chroot wineserver -k </dev/null >/dev/null 2>&1 || true
  fi
  if [ -f "$vantrel_state/xvfb.pid" ]; then
    kill "$(cat "$vantrel_state/xvfb.pid")" 2>/dev/null || true
    rm -f "$vantrel_state/xvfb.pid"
  fi
  rm -f "$vantrel_state/display"
  [ -d "$vantrel_root" ] && unmount_chroot
  return 0
}
