#!/usr/bin/env bash
# Sets up the 32-bit runner that scripts/win32-run.sh uses, once per machine (run as root):
# - qemu-user of the next Debian release, fetched with apt-get download into an apt state of its
#   own and unpacked, nothing installed (this release's qemu crashes Wine and is far slower);
# - binfmt_misc mounted and an entry that hands i386 programs to that qemu;
# - an i386 Debian chroot of this machine's release with 32-bit Wine;
# - a 32-bit Wine prefix in it.
# All of it lives in /var/cache/vantrel-win32 (VANTREL_WIN32_CACHE), outside the repository, so
# later clones start in seconds. A cache without its completion stamp is rebuilt from nothing.
# The Debian mirror is the one this machine's apt uses.
# Usage: win32-setup.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/win32-env.sh"

if [ "$(id -u)" -ne 0 ]; then
  echo "win32-setup.sh: the 32-bit runner needs root (chroot, mounts, binfmt_misc)" >&2
  exit 1
fi

mkdir -p "$(dirname "$vantrel_cache")"
exec 9>"$vantrel_cache.lock"
flock 9

if [ -f "$vantrel_stamp" ] && [ "$(cat "$vantrel_stamp")" = "$vantrel_recipe" ] && [ -x "$vantrel_qemu" ]; then
  register_binfmt
  say "ready in $vantrel_cache"
  exit 0
fi

started=$(date +%s)
apt_wait=(-o DPkg::Lock::Timeout=900)
host_missing=()
for tool in debootstrap:debootstrap Xvfb:xvfb python3:python3; do
  command -v "${tool%%:*}" >/dev/null || host_missing+=("${tool#*:}")
done
if [ ${#host_missing[@]} -gt 0 ]; then
  say "installing on this machine: ${host_missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get "${apt_wait[@]}" install -y -q --no-install-recommends "${host_missing[@]}"
fi

. /etc/os-release
release=${VERSION_CODENAME:?no VERSION_CODENAME in /etc/os-release}
next_release=trixie
mirror=$(apt-get indextargets --no-release-info --format '$(IDENTIFIER) $(TARGET_OF) $(RELEASE) $(REPO_URI)' |
  awk -v r="$release" '$1 == "Packages" && $2 == "deb" && $3 == r { print $4; exit }')
if [ -z "$mirror" ]; then
  echo "win32-setup.sh: this machine's apt has no deb entry for $release" >&2
  exit 1
fi

if [ -e "$vantrel_cache" ]; then
  say "the cache $vantrel_cache is incomplete or from another recipe: rebuilding it"
  stop_session
  if awk -v root="$vantrel_cache" 'index($2, root "/") == 1 { found = 1 } END { exit !found }' /proc/mounts; then
    echo "win32-setup.sh: something is still mounted below $vantrel_cache; not deleting it" >&2
    exit 1
  fi
  rm -rf --one-file-system "$vantrel_cache"
fi
mkdir -p "$vantrel_cache"

say "fetching qemu-user of $next_release from $mirror (apt state in $vantrel_cache/apt, nothing installed)"
apt_state="$vantrel_cache/apt"
mkdir -p "$apt_state/lists/partial" "$apt_state/archives/partial" "$apt_state/parts" "$apt_state/download"
: >"$apt_state/status"
echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $next_release main" >"$apt_state/sources.list"
apt_own=(-o Dir::Etc::SourceList="$apt_state/sources.list" -o Dir::Etc::SourceParts="$apt_state/parts"
  -o Dir::Etc::Preferences=/dev/null -o Dir::Etc::PreferencesParts="$apt_state/parts"
  -o Dir::State::Lists="$apt_state/lists" -o Dir::State::status="$apt_state/status"
  -o Dir::Cache="$apt_state" -o Dir::Cache::Archives="$apt_state/archives"
  -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
apt-get -q "${apt_own[@]}" update >/dev/null
(cd "$apt_state/download" && apt-get -q "${apt_own[@]}" download qemu-user >/dev/null)
# Of the package's emulators only the i386 one is kept; the apt state served this download only.
dpkg-deb -x "$apt_state"/download/qemu-user_*.deb "$apt_state/unpacked"
mkdir -p "$(dirname "$vantrel_qemu")"
mv "$apt_state/unpacked/usr/bin/qemu-i386" "$vantrel_qemu"
rm -rf "$apt_state"
# The emulator runs inside the chroot too, where no x86-64 loader exists: it must be static.
if ! python3 -c 'import struct, sys
elf = open(sys.argv[1], "rb").read()
offset, size, count = struct.unpack_from("<Q", elf, 32)[0], *struct.unpack_from("<HH", elf, 54)
sys.exit(any(struct.unpack_from("<I", elf, offset + i * size)[0] == 3 for i in range(count)))' "$vantrel_qemu"; then
  echo "win32-setup.sh: $vantrel_qemu is not statically linked; it cannot run inside the chroot" >&2
  exit 1
fi
say "$("$vantrel_qemu" --version | head -1)"
register_binfmt

say "building the i386 $release chroot in $vantrel_root (debootstrap, a few minutes)"
debootstrap --arch=i386 --variant=minbase "$release" "$vantrel_root" "$mirror" >"$vantrel_cache/debootstrap.log" 2>&1 ||
  { tail -20 "$vantrel_cache/debootstrap.log" >&2; exit 1; }

say "installing 32-bit Wine in the chroot"
mount_chroot
in_chroot apt-get -q update >/dev/null
in_chroot env DEBIAN_FRONTEND=noninteractive apt-get -q install -y --no-install-recommends wine wine32 \
  >"$vantrel_cache/wine-install.log" 2>&1 || { tail -20 "$vantrel_cache/wine-install.log" >&2; exit 1; }
in_chroot apt-get clean

say "booting the 32-bit Wine prefix"
mkdir -p "$vantrel_root$vantrel_prefix"
start_session
in_chroot wineboot -i </dev/null >/dev/null 2>&1
# Wine links Documents, Desktop and the like to the home folder; here they stay in the prefix.
for link in "$vantrel_root$vantrel_prefix"/drive_c/users/*/*; do
  if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
done
# Xvfb runs no window manager: with Wine's window management on, every hidden or destroyed
# window waits two seconds for a window manager that never answers.
in_chroot wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
# A program that crashes writes its backtrace and ends; Wine's crash dialog would wait for a
# click that never comes and hold the whole run.
in_chroot wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
stop_session

echo "$vantrel_recipe" >"$vantrel_stamp"
say "ready in $vantrel_cache after $(( $(date +%s) - started )) s ($(du -sh --one-file-system "$vantrel_cache" | cut -f1))"
