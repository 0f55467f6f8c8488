#!/usr/bin/env bash
# Draws the icons of the command programs and of the registration helper TazuUAC (icon
# resource 102) and of TazuSetting (icon 120) at 16, 32, 48 and 256 pixels into resources/icons/,
# and the same command images one size a file into resources/icons/rows/ for the rows of
# TazuSetting's registration page (icons 121 to 140). The icons are committed; run this again
# only to change them.
# Needs ImageMagick. Usage: scripts/make-icons.sh
set -eu
cd "$(dirname "$0")/.."
out=resources/icons
mkdir -p "$out" "$out/rows"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name, background colour, badge: "copy" (two sheets), "zip" (sheets with a zipper),
# "move" (sheet and arrow), "rename" (sheet with a pencil line), "sliders" (three sliders)
draw() {
  local name=$1 colour=$2 badge=$3
  local big="$work/$name-256.png"
  local extra=()
  case "$badge" in
    copy) extra=(-fill white -stroke '#1a1a1a' -strokewidth 6 -draw "roundrectangle 64,44 160,172 10,10"
                 -draw "roundrectangle 100,84 196,212 10,10") ;;
    zip) extra=(-fill white -stroke '#1a1a1a' -strokewidth 6 -draw "roundrectangle 72,40 184,216 10,10"
                -fill '#1a1a1a' -stroke none
                -draw "rectangle 120,40 136,56" -draw "rectangle 120,72 136,88" -draw "rectangle 120,104 136,120"
                -draw "rectangle 112,136 144,176") ;;
    move) extra=(-fill white -stroke '#1a1a1a' -strokewidth 6 -draw "roundrectangle 48,44 144,172 10,10"
                 -fill '#ffd400' -draw "polygon 140,150 196,150 196,120 236,168 196,216 196,186 140,186") ;;
    rename) extra=(-fill white -stroke '#1a1a1a' -strokewidth 6 -draw "roundrectangle 64,40 192,216 10,10"
                   -stroke '#1a1a1a' -strokewidth 10 -draw "line 92,100 164,100" -draw "line 92,140 164,140"
                   -stroke '#ffd400' -strokewidth 16 -draw "line 120,196 212,104") ;;
    sliders) extra=(-stroke white -strokewidth 14 -draw "line 56,72 200,72" -draw "line 56,128 200,128"
                    -draw "line 56,184 200,184" -stroke '#1a1a1a' -strokewidth 6 -fill '#ffd400'
                    -draw "circle 96,72 96,94" -draw "circle 168,128 168,150" -draw "circle 120,184 120,206") ;;
    # TazuUAC: a shield with a check mark, for the helper that works with administrator rights.
    shield) extra=(-fill '#ffd400' -stroke '#1a1a1a' -strokewidth 8
                   -draw "path 'M 128,36 L 208,68 L 208,128 Q 208,192 128,224 Q 48,192 48,128 L 48,68 Z'"
                   -fill none -stroke '#1a1a1a' -strokewidth 18 -draw "stroke-linejoin round stroke-linecap round polyline 88,128 118,160 172,96") ;;
  esac
  convert -size 256x256 xc:none -fill "$colour" -stroke none -draw "roundrectangle 8,8 248,248 40,40" \
    "${extra[@]}" -depth 8 "PNG32:$big"
  local sizes=()
  for s in 16 32 48; do
    convert "$big" -resize ${s}x${s} -depth 8 "PNG32:$work/$name-$s.png"
    sizes+=("$work/$name-$s.png")
  done
  # The 256-pixel image is stored as PNG inside the icon file, as the system expects.
  convert "${sizes[@]}" "$big" -depth 8 "$out/$name.ico"
  echo "$out/$name.ico"
  if [ "${4:-}" = rows ]; then
    for s in 16 32 48; do
      convert "$work/$name-$s.png" -depth 8 "$out/rows/$name-$s.ico"
    done
    convert "$big" -depth 8 "$out/rows/$name-256.ico"
    echo "$out/rows/$name-*.ico"
  fi
}

draw here '#1e90ff' copy rows
draw here_zip '#1e90ff' zip rows
draw there '#2e8b57' move rows
draw there_zip '#2e8b57' zip rows
draw rename '#ff8c00' rename rows
draw setting '#6a5acd' sliders

# The registration helper TazuUAC.
draw uac '#5a5a8c' shield
