#!/usr/bin/env bash
# Screenshots of the open dialog (previewing a picture, and a video made with ffmpeg when
# it is installed) and the save dialog, under a virtual X server with a window manager
# (openbox):
#   scripts/screenshot_file_dialogs.sh [PICTURE] [OUT_DIR]
# Defaults: the bundled gradient sample, build/screenshots/. Needs a build of the
# file_dialogs_shot target, xvfb-run and openbox. Settings go to a scratch directory.
set -euo pipefail
cd "$(dirname "$0")/.."
picture=${1:-build/samples/gradient.ppm}
out=${2:-build/screenshots}
shot=build/dialogs/tests/file_dialogs_shot
[ -x "$shot" ] || { echo "$shot is missing: build the file_dialogs_shot target first" >&2; exit 1; }
[ -f "$picture" ] || { echo "$picture is missing" >&2; exit 1; }
for tool in xvfb-run openbox; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/deps.sh lists it)" >&2; exit 1; }
done
# One shot under openbox: shoot WHICH FILE OUT.png
shoot() {
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c 'openbox >/dev/null 2>&1 & sleep 1; "$0" "$@"' "$shot" "$@"
}
mkdir -p "$out"
for which in open save; do
  shoot "$which" "$picture" "$out/${which}_dialog.png"
  echo "$out/${which}_dialog.png"
done
if command -v ffmpeg >/dev/null; then
  clips=$(mktemp -d)
  trap 'rm -rf "$clips"' EXIT
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=2 \
    -c:v mjpeg "$clips/clip.avi"
  shoot open "$clips/clip.avi" "$out/open_dialog_video.png"
  echo "$out/open_dialog_video.png"
fi
