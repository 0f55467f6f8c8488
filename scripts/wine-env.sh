# Sourced by the Wine scripts: the private Wine environment of one build folder.
# Usage: . scripts/wine-env.sh BUILD_DIR
vantrel_build_dir=$(cd "$1" && pwd)
export WINEPREFIX="$vantrel_build_dir/wine/prefix"
export WINEDEBUG=-all
# No Mono or Gecko download prompts in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine's Recycle Bin is the freedesktop trash below XDG_DATA_HOME: it stays inside the prefix,
# never in the developer's home, and goes with the prefix.
export XDG_DATA_HOME="$WINEPREFIX/xdg-data"
vantrel_state_dir="$vantrel_build_dir/wine/state"
if [ -f "$vantrel_state_dir/display" ]; then
  export DISPLAY=":$(cat "$vantrel_state_dir/display")"
fi
