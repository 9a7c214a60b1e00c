#!/usr/bin/env bash
# Screenshot of the main window with Fit to Window on, showing a 3000 x 2000 picture whole
# on a 1280 x 1024 virtual screen:
#   scripts/screenshot_fit.sh [OUT.png]
# Default: build/screenshots/fit_to_window.png. Needs a build (build/viewer/ravelscope),
# xvfb-run and ImageMagick (convert, import). The settings go to a scratch directory.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshots/fit_to_window.png}
[ -x build/viewer/ravelscope ] || { echo "build/viewer/ravelscope is missing: build first" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
out=$(realpath "$out")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
printf '[Screen]\nWidth=630\nHeight=514\nTop=0\nLeft=0\n[View]\nFitToWindow=1\n' >"$scratch/RVS.ini"
# A picture that shows its own edges: a frame and a grid of 500-pixel squares.
convert -size 3000x2000 gradient:'#203060'-'#e09040' -fill none -stroke white -strokewidth 12 \
  -draw "rectangle 6,6 2993,1993" -strokewidth 4 \
  -draw "line 500,0 500,2000" -draw "line 1000,0 1000,2000" -draw "line 1500,0 1500,2000" \
  -draw "line 2000,0 2000,2000" -draw "line 2500,0 2500,2000" \
  -draw "line 0,500 3000,500" -draw "line 0,1000 3000,1000" -draw "line 0,1500 3000,1500" \
  -stroke none -fill white -pointsize 160 -draw "text 1060,1100 '3000 x 2000'" "$scratch/big.jpg"

RAVELSCOPE_SETTINGS_DIR="$scratch" PICTURE="$scratch/big.jpg" OUT="$out" \
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  build/viewer/ravelscope "$PICTURE" &
  pid=$!
  sleep 2
  import -window root "$OUT"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
'
echo "$out"
