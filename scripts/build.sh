#!/usr/bin/env bash
# Configures and builds the given presets (default: both). Usage: build.sh [win32] [win64]
set -eu
cd "$(dirname "$0")/.."
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(win32 win64)
for preset in "${presets[@]}"; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
done
