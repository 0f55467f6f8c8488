#!/usr/bin/env bash
# Demo: installs what is missing, builds, and lets TazuHere back up a sample file and a sample
# folder under Wine. Prints the backups it made and saves a screenshot of the result window;
# then TazuHereZip archives the same sample and Info-ZIP unzip lists the archives; last,
# TazuSetting opens in Japanese and English on both its pages and with its history dialog, turns
# TazuHere On in all three places of its registration page and executes, and each window is
# saved as a screenshot; small copies of the English pages go to demo-output/docs/ for the README.
# Runs in a Wine prefix of its own below demo-output/, on the current display or, when there is
# none, on a private Xvfb display. Usage: scripts/demo.sh
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
out="$root/demo-output"

scripts/setup.sh
scripts/build.sh win64

mkdir -p "$out"
export WINEPREFIX="$out/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" >/dev/null 2>&1 || true; fi
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  # Xvfb picks a free display itself and tells us which.
  exec 3>"$out/display.tmp"
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  exec 3>&-
  for _ in $(seq 100); do [ -s "$out/display.tmp" ] && break; sleep 0.1; done
  export DISPLAY=":$(tr -d '\n' <"$out/display.tmp")"
  rm -f "$out/display.tmp"
  echo "== running on a private Xvfb display $DISPLAY"
fi

echo "== preparing the Wine prefix $WINEPREFIX"
setsid wineserver -p </dev/null >/dev/null 2>&1 || true
wineboot -i </dev/null >/dev/null 2>&1
# The result window's font is "ＭＳ Ｐゴシック"; map it to an installed Japanese font so
# Japanese names render. Without a window manager, Wine must not wait for one.
reg="$out/settings.reg"
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  printf '"ＭＳ Ｐゴシック"="Noto Sans CJK JP"\r\n'
  printf '"ＭＳ ゴシック"="Noto Sans CJK JP"\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n'
  printf '"Managed"="N"\r\n'
} | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg"
wine regedit /S "$(winepath -w "$reg")" </dev/null >/dev/null 2>&1

echo "== preparing the programs and a sample"
programs="$out/Tazu"
sample="$out/sample"
rm -rf "$programs" "$sample"
mkdir -p "$programs" "$sample/プロジェクト/資料"
cp build/win64/bin/TazuHere.exe "$programs/"
printf 'Quarterly report\n' >"$sample/報告書.txt"
printf 'Notes of the project\n' >"$sample/プロジェクト/メモ.txt"
printf 'Figures\n' >"$sample/プロジェクト/資料/数字.csv"
# Settings of this demo: the window waits for "Close" so that it can be photographed.
appdata=$(winepath -u "$(wine cmd /c echo %APPDATA% </dev/null 2>/dev/null | tr -d '\r')")
settings="$appdata/zevrald/tazu"
mkdir -p "$settings"
printf '[Env]\r\nLang=ja\r\nAutoClose=0\r\n' | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$settings/tazu.ini"

echo "== running TazuHere on the sample"
xdotool mousemove 0 0 >/dev/null 2>&1 || true
file_win=$(winepath -w "$sample/報告書.txt")
folder_win=$(winepath -w "$sample/プロジェクト")
wine "$programs/TazuHere.exe" "$file_win" "$folder_win" </dev/null >/dev/null 2>&1 &
run_pid=$!

# The run is over when both backups exist; the window then turns green within a second.
backups=()
for _ in $(seq 300); do
  mapfile -t backups < <(find "$sample" -maxdepth 1 -regextype posix-extended \
    -regex '.*_[0-9]{8}_[0-9]{6}(\.txt)?' | sort)
  [ ${#backups[@]} -ge 2 ] && break
  sleep 0.1
done
sleep 1.5

window=""
for id in $(xdotool search --onlyvisible --class tazuhere 2>/dev/null); do
  height=$(xdotool getwindowgeometry "$id" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p')
  if [ -n "$height" ] && [ "$height" -ge 60 ] && [ "$height" -le 200 ]; then window=$id; fi
done
shot="$out/result-window.png"
if [ -n "$window" ]; then
  eval "$(xdotool getwindowgeometry --shell "$window")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shot"
  # Press "Close" (the lower middle of the window) to end the program as a user would.
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT * 38 / 51)) click 1 >/dev/null 2>&1 || true
else
  import -window root "$shot"
  echo "(the result window was not found; the screenshot shows the whole screen)"
fi
for _ in $(seq 50); do kill -0 "$run_pid" 2>/dev/null || break; sleep 0.1; done

echo
echo "Backups made by TazuHere:"
if [ ${#backups[@]} -eq 0 ]; then
  echo "  none (the run failed)"
  exit 1
fi
for b in "${backups[@]}"; do
  if [ -d "$b" ]; then
    echo "  $b/ (folder, $(find "$b" -type f | wc -l) files)"
  else
    echo "  $b"
  fi
done
echo "Screenshot of the result window: $shot"

echo
echo "== running TazuHereZip on the sample (ZIP archives through 7-zip32.dll)"
cp build/win64/bin/TazuHereZip.exe build/win64/bin/7-zip32.dll "$programs/"
# This run closes itself once done.
printf '[Env]\r\nLang=ja\r\nAutoClose=1\r\n' | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$settings/tazu.ini"
timeout 120 wine "$programs/TazuHereZip.exe" "$file_win" "$folder_win" </dev/null >/dev/null 2>&1 || true
mapfile -t archives < <(find "$sample" -maxdepth 1 -name '*.zip' | sort)
if [ ${#archives[@]} -lt 2 ]; then
  echo "  TazuHereZip made ${#archives[@]} of 2 archives"
  exit 1
fi
echo "Archives made by TazuHereZip, as an outside reader (Info-ZIP unzip) lists them:"
for a in "${archives[@]}"; do
  echo
  LC_ALL=C.UTF-8 unzip -l "$a"
done

echo
echo "== opening TazuSetting in both languages"
cp build/win64/bin/TazuSetting.exe build/win64/bin/TazuUAC.exe "$programs/"
history='PathHis1=C:\\Backup\\Projects\\\r\nPathHis2=D:\\Archive\\2024\\\r\n'
# Screenshot of TazuSetting's window (with "history" also of its history dialog; with "execute"
# after TazuHere was turned On in Send To, the context menu and on the desktop and "Execute"
# was pressed) for a language and a page; the program is ended afterwards without saving.
shoot_setting() {
  local lang=$1 tab=$2 name=$3 extra=${4:-}
  printf "[Env]\r\nLang=%s\r\nTab=%s\r\nAutoClose=1\r\n$history" "$lang" "$tab" |
    iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$settings/tazu.ini"
  wine "$programs/TazuSetting.exe" </dev/null >/dev/null 2>&1 &
  local pid=$! window=""
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^TazuSetting$' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 0.1
  done
  if [ -z "$window" ]; then
    echo "  TazuSetting did not open ($lang, page $tab)"
    kill "$pid" 2>/dev/null || true
    return 1
  fi
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$window")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$name.png"
  echo "  $out/$name.png"
  if [ "$extra" = execute ]; then
    # The access key of the TazuHere row leads to its Send To switch; Tab goes on to the
    # context-menu and desktop switches of the row; "Execute" has the access key E.
    xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
    xdotool key --window "$window" alt+h Right Tab Right Tab Right alt+e >/dev/null 2>&1 || true
    # The run waits 500 ms for further clicks, then TazuUAC writes the context-menu entries.
    sleep 6
    eval "$(xdotool getwindowgeometry --shell "$window")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$name-done.png"
    echo "  $out/$name-done.png"
  fi
  if [ "$extra" = history ]; then
    # "Organize the history..." by its access key, which differs between the languages.
    local access=g
    [ "$lang" = ja ] && access=h
    xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
    xdotool key --window "$window" "alt+$access" >/dev/null 2>&1 || true
    sleep 1.5
    local dialog
    dialog=$(xdotool search --onlyvisible --name '^TazuSetting$' 2>/dev/null | grep -v "^$window$" | head -1)
    if [ -n "$dialog" ]; then
      eval "$(xdotool getwindowgeometry --shell "$dialog")"
      import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$name-history.png"
      echo "  $out/$name-history.png"
    else
      echo "  (the history dialog did not open)"
    fi
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
for lang in ja en; do
  shoot_setting "$lang" 0 "setting-$lang-registration" execute
  shoot_setting "$lang" 1 "setting-$lang-backup" history
done

# The README's pictures: the English pages in a few colours (no dithering), without metadata.
mkdir -p "$out/docs"
for page in registration-done backup; do
  src="$out/setting-en-$page.png"
  [ -f "$src" ] || continue
  convert "$src" -strip +dither -colors 64 -define png:compression-level=9 "$out/docs/setting-${page%-done}.png"
  echo "  $out/docs/setting-${page%-done}.png ($(stat -c %s "$out/docs/setting-${page%-done}.png") bytes)"
done
