#!/usr/bin/env bash
# Screenshots of the first view of a 4000 x 3000 photo, under a virtual X server with a
# window manager (openbox) on a 1280 x 1024 screen, with settings that never chose Fit to
# Window:
#   scripts/screenshot_first_view.sh [OUT_DIR]
# Writes to OUT_DIR (default build/screenshots):
#   first_view.png    the window as the photo opens
#   resized_view.png  after the window was made 900 x 500 by the window manager: the
#                     photo fitted again into the window's new size
#   zoomed_view.png   after three Zoom In (+): the photo larger than the view, with scroll bars
# Needs a build (build/viewer/ravelscope), xvfb-run, openbox, xdotool and ImageMagick.
# Settings go to a scratch directory.
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
# A photo-sized picture that shows its own edges: a frame, a grid of 500-pixel squares and
# its size written in the middle.
convert -size 4000x3000 gradient:'#1f4a7a'-'#e8a040' -fill none -stroke white -strokewidth 16 \
  -draw "rectangle 8,8 3991,2991" -strokewidth 6 \
  -draw "line 500,0 500,3000" -draw "line 1000,0 1000,3000" -draw "line 1500,0 1500,3000" \
  -draw "line 2000,0 2000,3000" -draw "line 2500,0 2500,3000" -draw "line 3000,0 3000,3000" \
  -draw "line 3500,0 3500,3000" \
  -draw "line 0,500 4000,500" -draw "line 0,1000 4000,1000" -draw "line 0,1500 4000,1500" \
  -draw "line 0,2000 4000,2000" -draw "line 0,2500 4000,2500" \
  -stroke none -fill white -pointsize 260 -draw "text 1250,1600 '4000 x 3000'" \
  -quality 90 "$scratch/pictures/photo.jpg"

RAVELSCOPE_SETTINGS_DIR="$scratch/settings" PICTURE="$scratch/pictures/photo.jpg" OUT="$out" \
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
  build/viewer/ravelscope "$PICTURE" &
  pid=$!
  main=$(xdotool search --sync --name "Ravelscope -- " | head -1)
  sleep 2
  import -window root "$OUT/first_view.png"
  xdotool windowsize --sync "$main" 900 500
  sleep 1
  import -window root "$OUT/resized_view.png"
  xdotool windowactivate --sync "$main"
  xdotool key --window "$main" plus plus plus
  sleep 1
  import -window root "$OUT/zoomed_view.png"
  kill "$pid" "$wm"
  wait "$pid" 2>/dev/null || true
'
echo "$out/first_view.png $out/resized_view.png $out/zoomed_view.png"
