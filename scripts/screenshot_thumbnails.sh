#!/usr/bin/env bash
# A picture of the thumbnail view on its own over a folder of pictures, some selected and
# one the readers refuse, under a virtual X server with a window manager (openbox):
#   scripts/screenshot_thumbnails.sh [OUT_DIR]
# Writes thumbnails.png to OUT_DIR (default build/screenshots). Needs a build
# (build/widgets/ravelscope_thumbnail_view), xvfb-run, openbox, xdotool and ImageMagick.
# The thumbnail cache is a scratch folder.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshots}
view=build/widgets/ravelscope_thumbnail_view
[ -x "$view" ] || { echo "$view is missing: build the target ravelscope_thumbnail_view first" >&2; exit 1; }
for tool in xvfb-run openbox xdotool convert import; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/deps.sh lists it)" >&2; exit 1; }
done
mkdir -p "$out"
out=$(realpath "$out")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
pics="$scratch/Holiday 2024"
mkdir -p "$pics" "$scratch/cache"
convert -size 1600x1200 gradient:'#1d3c78'-'#f3b33d' "$pics/IMG_0001.jpg"
convert -size 900x1400 gradient:'#0b5d1e'-'#d8f0a8' "$pics/IMG_0002 portrait.jpg"
convert -size 1200x800 radial-gradient:'#fff6d0'-'#c0392b' "$pics/IMG_0003.png"
convert rose: -resize 1000x650 "$pics/IMG_0004 rose.jpg"
convert -size 1280x720 plasma:'#3060c0'-'#f0e0a0' -seed 7 "$pics/IMG_0005 plasma.jpg"
convert -size 640x480 pattern:checkerboard -fill '#a04060' -colorize 40 "$pics/IMG_0006.ppm"
convert logo: "$pics/IMG_0007 logo.png"
convert -size 2000x500 gradient:'#202020'-'#e0e0ff' "$pics/IMG_0008 very wide panorama of the bay.jpg"
convert granite: -resize 800x800 "$pics/IMG_0009.tif"
printf 'this is not a picture' >"$pics/IMG_0010 broken.jpg"
convert -size 1024x768 xc:'#ffd447' -fill '#2d6a4f' -draw 'circle 512,384 512,100' "$pics/IMG_0011.bmp"
convert -size 700x1000 gradient:'#5a189a'-'#ff9e00' "$pics/IMG_0012.gif"
convert -size 1600x1200 radial-gradient:'#90e0ef'-'#03045e' "$pics/IMG_0013.jpg"
convert wizard: "$pics/IMG_0014 wizard.png"

XDG_CACHE_HOME="$scratch/cache" PICS="$pics" OUT="$out" VIEW="$view" \
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
  "$VIEW" "$PICS" --current 4 --select 1,3,4 >"$OUT/.thumbnails.log" &
  pid=$!
  for _ in $(seq 100); do grep -q ready "$OUT/.thumbnails.log" 2>/dev/null && break; sleep 0.2; done
  sleep 0.5
  win=$(xdotool search --sync --name "Thumbnails -- " | head -1)
  import -window "$win" -frame "$OUT/thumbnails.png" 2>/dev/null || import -window root "$OUT/thumbnails.png"
  kill "$pid" "$wm"
  wait "$pid" 2>/dev/null || true
'
rm -f "$out/.thumbnails.log"
echo "$out/thumbnails.png"
