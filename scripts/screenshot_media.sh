#!/usr/bin/env bash
# Takes screenshots of the media panel under a virtual X server: one playing a video (an
# MJPEG AVI with sound) and one playing a tagged MP3, both made here by ffmpeg:
#   scripts/screenshot_media.sh [OUT_DIR]
# Default: build/screenshots (media_video.png, media_mp3.png). Needs a build
# (build/viewer/ravelscope), ffmpeg, xvfb-run and ImageMagick's import. The settings go
# to a scratch directory, so the user's own are not touched.
set -euo pipefail
cd "$(dirname "$0")/.."
out_dir=${1:-build/screenshots}
[ -x build/viewer/ravelscope ] || { echo "build/viewer/ravelscope is missing: build first" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing" >&2; exit 1; }
mkdir -p "$out_dir"
out_dir=$(realpath "$out_dir")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '[Screen]\nWidth=630\nHeight=514\nTop=0\nLeft=0\n' >"$work/RVS.ini"

ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=10 \
  -f lavfi -i sine=frequency=440:duration=10 -c:v mjpeg -c:a pcm_s16le -shortest "$work/clip.avi"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i sine=frequency=330:duration=200 -c:a libmp3lame -b:a 128k \
  -ar 44100 -write_id3v1 1 -metadata title="Evening <b>Tide</b>" -metadata artist="The Testers" \
  -metadata album="Clips" "$work/song.mp3"

shot() { # media file, output png
  RAVELSCOPE_SETTINGS_DIR="$work" MEDIA="$1" OUT="$2" \
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    build/viewer/ravelscope "$MEDIA" &
    pid=$!
    sleep 7
    import -window "Ravelscope -- $(basename "$MEDIA")" "$OUT" 2>/dev/null || import -window root "$OUT"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
  '
  echo "$2"
}
shot "$work/clip.avi" "$out_dir/media_video.png"
shot "$work/song.mp3" "$out_dir/media_mp3.png"
