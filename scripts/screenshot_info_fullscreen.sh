#!/usr/bin/env bash
# Screenshots of the image information dialog and the full-screen viewer, under a virtual
# X server with a window manager (openbox) on a 1024 x 768 screen:
#   scripts/screenshot_info_fullscreen.sh [OUT_DIR]
# Writes info.png, fullscreen.png (an oversize picture fitted, "2/3") and
# fullscreen_step.png (after Space: a small picture at its size, "3/3") to OUT_DIR
# (default build/screenshots). Needs a build (build/viewer/ravelscope), xvfb-run, openbox,
# xdotool and ImageMagick. Settings go to a scratch directory.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshots}
[ -x build/viewer/ravelscope ] || { echo "build/viewer/ravelscope is missing: build first" >&2; exit 1; }
for tool in xvfb-run openbox xdotool convert import; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/deps.sh lists it)" >&2; exit 1; }
done
mkdir -p "$out"
out=$(realpath "$out")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/settings" "$scratch/pictures"
printf '[Screen]\nWidth=630\nHeight=514\nTop=0\nLeft=0\n' >"$scratch/settings/RVS.ini"
convert -size 640x400 gradient:'#204080'-'#f0c040' "$scratch/pictures/a_landscape.ppm"
convert -size 1600x1300 radial-gradient:'#ffffff'-'#2060a0' "$scratch/pictures/b_oversize.ppm"
convert -size 300x420 gradient:'#a03020'-'#f0f0e0' "$scratch/pictures/c_portrait.ppm"

RAVELSCOPE_SETTINGS_DIR="$scratch/settings" PICTURE="$scratch/pictures/b_oversize.ppm" OUT="$out" \
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
  build/viewer/ravelscope "$PICTURE" &
  pid=$!
  sleep 2
  main=$(xdotool search --sync --name "Ravelscope -- " | head -1)
  xdotool windowactivate --sync "$main"
  xdotool key --window "$main" shift+i
  sleep 1
  import -window "Image Information" "$OUT/info.png" 2>/dev/null || import -window root "$OUT/info.png"
  xdotool key Escape
  sleep 1
  xdotool windowactivate --sync "$main"
  xdotool key --window "$main" f
  sleep 2
  import -window root "$OUT/fullscreen.png"
  xdotool key space
  sleep 1
  import -window root "$OUT/fullscreen_step.png"
  xdotool key Escape
  sleep 1
  kill "$pid" "$wm"
  wait "$pid" 2>/dev/null || true
'
echo "$out/info.png $out/fullscreen.png $out/fullscreen_step.png"
