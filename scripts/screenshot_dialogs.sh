#!/usr/bin/env bash
# Screenshots of the editing dialogs (Gamma, Solarize, Median, Pixelate, Explosion, Rotate,
# Histogram) over a picture, under a virtual X server:
#   scripts/screenshot_dialogs.sh [PICTURE] [OUT_DIR]
# Defaults: the bundled gradient sample, build/screenshots/dialogs/. Builds the
# ravelscope_dialog_shots helper in build/ (configured with the GUI) and writes one PNG a
# dialog, named after its command. The settings go to a scratch directory.
set -euo pipefail
cd "$(dirname "$0")/.."
picture=${1:-build/samples/gradient.ppm}
out=${2:-build/screenshots/dialogs}
[ -f build/build.ninja ] || [ -f build/Makefile ] || { echo "build/ is not configured: configure first" >&2; exit 1; }
cmake --build build --target ravelscope_dialog_shots ravelscope_help >/dev/null
mkdir -p "$out"
picture=$(realpath "$picture")
out=$(realpath "$out")
xvfb-run -a -s "-screen 0 1280x1024x24" build/viewer/ravelscope_dialog_shots "$picture" "$out"
