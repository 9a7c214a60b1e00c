#!/usr/bin/env bash
# Takes a screenshot of the main window showing a picture, under a virtual X server:
#   scripts/screenshot.sh [PICTURE] [OUT.png]
# Defaults: the bundled gradient sample, build/screenshots/main_window.png. Needs a build
# (build/viewer/ravelscope), xvfb-run and ImageMagick's import. The settings go to a
# scratch directory, so the user's own are not touched and no first-start help appears.
set -euo pipefail
cd "$(dirname "$0")/.."
picture=${1:-build/samples/gradient.ppm}
out=${2:-build/screenshots/main_window.png}
[ -x build/viewer/ravelscope ] || { echo "build/viewer/ravelscope is missing: build first" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
picture=$(realpath "$picture")
out=$(realpath "$out")
settings=$(mktemp -d)
trap 'rm -rf "$settings"' EXIT
printf '[Screen]\nWidth=630\nHeight=514\nTop=0\nLeft=0\n' >"$settings/RVS.ini"

RAVELSCOPE_SETTINGS_DIR="$settings" PICTURE="$picture" OUT="$out" \
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  build/viewer/ravelscope "$PICTURE" &
  pid=$!
  sleep 2
  # The window by its title; the whole screen when it cannot be found.
  import -window "Ravelscope -- $(basename "$PICTURE")" "$OUT" 2>/dev/null || import -window root "$OUT"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
'
echo "$out"
