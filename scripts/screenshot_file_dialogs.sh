#!/usr/bin/env bash
# Screenshots of the open dialog (previewing a picture) and the save dialog, under a
# virtual X server:
#   scripts/screenshot_file_dialogs.sh [PICTURE] [OUT_DIR]
# Defaults: the bundled gradient sample, build/screenshots/. Needs a build of the
# file_dialogs_shot target and xvfb-run. Settings go to a scratch directory.
set -euo pipefail
cd "$(dirname "$0")/.."
picture=${1:-build/samples/gradient.ppm}
out=${2:-build/screenshots}
shot=build/dialogs/tests/file_dialogs_shot
[ -x "$shot" ] || { echo "$shot is missing: build the file_dialogs_shot target first" >&2; exit 1; }
[ -f "$picture" ] || { echo "$picture is missing" >&2; exit 1; }
mkdir -p "$out"
for which in open save; do
  xvfb-run -a -s "-screen 0 1024x768x24" "$shot" "$which" "$picture" "$out/${which}_dialog.png"
  echo "$out/${which}_dialog.png"
done
