#!/usr/bin/env bash
# Screenshots of the question before an edited picture is left and of the menus that now
# show the Tests menu's working commands, under a virtual X server with a window manager
# (openbox):
#   scripts/screenshot_unsaved_edits.sh [OUT_DIR]
# Writes unsaved_edits_question.png (a mirrored photo, then N), menu_effects.png
# (Image > Effects), menu_colors.png (Colors with Swap Color RGB open) and menu_tools.png
# to OUT_DIR (default build/screenshots). Needs a build (build/viewer/ravelscope),
# xvfb-run, openbox, xdotool and ImageMagick. Settings go to a scratch directory.
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
convert -size 480x320 gradient:'#204080'-'#f0c040' "$scratch/pictures/photo.ppm"
convert -size 480x320 gradient:'#a03020'-'#f0f0e0' "$scratch/pictures/second.ppm"

RAVELSCOPE_SETTINGS_DIR="$scratch/settings" PICTURE="$scratch/pictures/photo.ppm" OUT="$out" \
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
  build/viewer/ravelscope "$PICTURE" &
  pid=$!
  sleep 2
  main=$(xdotool search --sync --name "Ravelscope -- " | head -1)
  xdotool windowactivate --sync "$main"
  shot() { sleep 1; import -window root -crop 500x430+0+0 "$OUT/$1"; }
  xdotool key --window "$main" ctrl+m
  sleep 1
  xdotool key --window "$main" n
  shot unsaved_edits_question.png
  xdotool key Escape
  sleep 1
  xdotool windowactivate --sync "$main"
  xdotool key alt+i Up Right
  shot menu_effects.png
  xdotool key Escape Escape Escape
  sleep 1
  xdotool key alt+c Up Up Right
  shot menu_colors.png
  xdotool key Escape Escape Escape
  sleep 1
  xdotool key alt+t
  shot menu_tools.png
  xdotool key Escape
  sleep 1
  kill "$pid" "$wm"
  wait "$pid" 2>/dev/null || true
'
echo "$out/unsaved_edits_question.png $out/menu_effects.png $out/menu_colors.png $out/menu_tools.png"
