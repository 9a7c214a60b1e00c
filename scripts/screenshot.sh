#!/usr/bin/env bash
# Screenshots of the program's windows under a virtual X server (Xvfb) with a window
# manager (openbox), one name at a time:
#   scripts/screenshot.sh NAME... [--out DIR]     scripts/screenshot.sh all [--out DIR]
#   scripts/screenshot.sh --list
# Each NAME is a row of the table below; it writes NAME.png to DIR (default
# build/screenshots). Needs a build (build/), xvfb-run, openbox, xdotool, ImageMagick and,
# for the media rows, ffmpeg (scripts/deps.sh lists them all). Settings, thumbnails and
# the pictures shown live in a scratch folder, so the user's own are never touched.
#
# The table: NAME, HOW, then what HOW takes. Ways of bringing a window up:
#   viewer PICTURE SCREEN STEPS  the program itself on PICTURE (a fixture below), then the
#                                steps, ';' between them: wait S | key K... | size W H |
#                                shot (the screen) | shot-crop WxH+X+Y | shot-window TITLE
#   test PROGRAM FUNCTION FILE   a window test run on the X server (QT_QPA_PLATFORM=xcb);
#                                the test writes FILE into $RAVELSCOPE_SHOT_DIR
#   helper PROGRAM FILE ARGS...  a small program that shows the window and saves FILE
#                                itself; ARGS may name fixtures
# A row whose window has moved (another program, another test function) is changed here
# and nowhere else.
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$0")/.."

read -r -d '' TABLE <<'ROWS' || true
main_window             viewer  gradient    1280x1024  wait 2; shot-window Ravelscope -- gradient.ppm
fit_to_window           viewer  big3000     1280x1024  wait 2; shot
first_view              viewer  photo4000   1280x1024  wait 2; shot
resized_view            viewer  photo4000   1280x1024  wait 2; size 900 500; wait 1; shot
zoomed_view             viewer  photo4000   1280x1024  wait 2; size 900 500; wait 1; key plus plus plus; wait 1; shot
info                    viewer  oversize    1024x768   wait 2; key shift+i; wait 1; shot-window Image Information
fullscreen              viewer  oversize    1024x768   wait 2; key f; wait 2; shot
fullscreen_step         viewer  oversize    1024x768   wait 2; key f; wait 2; key space; wait 1; shot
media_video             viewer  clip        1280x1024  wait 7; shot-window Ravelscope -- clip.avi
media_mp3               viewer  song        1280x1024  wait 7; shot-window Ravelscope -- song.mp3
unsaved_edits_question  viewer  photo       1024x768   wait 2; key ctrl+m; wait 1; key n; wait 1; shot-crop 500x430+0+0
menu_effects            viewer  photo       1024x768   wait 2; key ctrl+m; wait 1; key alt+i Up Right; wait 1; shot-crop 500x430+0+0
menu_colors             viewer  photo       1024x768   wait 2; key ctrl+m; wait 1; key alt+c Up Up Right; wait 1; shot-crop 500x430+0+0
menu_tools              viewer  photo       1024x768   wait 2; key ctrl+m; wait 1; key alt+t; wait 1; shot-crop 500x430+0+0
batch_dialog            test    viewer/tests/tests_menu_tests  batchStopAndCsvRoundTrip                batch_dialog.png
batch_output_dir        test    viewer/tests/tests_menu_tests  batchOutputDirectoryAndSettings         batch_output_dir.png
about_box               test    viewer/tests/tests_menu_tests  aboutBoxTextsCursorLinkAndPosition      about_box.png
options                 test    viewer/tests/tests_menu_tests  optionsKeepTheChosenColours             options.png
text_viewer             test    viewer/tests/tests_menu_tests  openRtfCoversTheViewUntilAPictureOpens  text_viewer.png
open_dialog             helper  dialogs/tests/file_dialogs_shot  open_dialog.png        open @gradient
open_dialog_video       helper  dialogs/tests/file_dialogs_shot  open_dialog_video.png  open @clip
save_dialog             helper  dialogs/tests/file_dialogs_shot  save_dialog.png        save @gradient
gamma_dialog            helper  viewer/ravelscope_dialog_shots   mn_Colors_Gamma.png    @gradient @out
solarize_dialog         helper  viewer/ravelscope_dialog_shots   mn_Image_Solarize.png  @gradient @out
median_dialog           helper  viewer/ravelscope_dialog_shots   mn_Tests_MedianFilter.png @gradient @out
pixelate_dialog         helper  viewer/ravelscope_dialog_shots   mn_Image_Pixelate.png  @gradient @out
explosion_dialog        helper  viewer/ravelscope_dialog_shots   mn_Image_Explosion.png @gradient @out
rotate_dialog           helper  viewer/ravelscope_dialog_shots   mn_Image_Rotate.png    @gradient @out
histogram_dialog        helper  viewer/ravelscope_dialog_shots   mn_Colors_Histogram.png @gradient @out
associate_window        helper  viewer/tests/system_window_shots associate_window.png   @out
scan_dialog             helper  viewer/tests/system_window_shots scan_dialog.png        @out
thumbnails              helper  widgets/ravelscope_thumbnail_view thumbnails.png        @thumbnail_folder
ROWS

# ---- fixtures: made once a run in the scratch folder, by name ----
fixture() {
  local f
  case $1 in
    gradient) f=$(realpath build/samples/gradient.ppm) ;;
    photo) f=$scratch/pictures/photo.ppm
      [ -f "$f" ] || { convert -size 480x320 gradient:'#204080'-'#f0c040' "$f"
                       convert -size 480x320 gradient:'#a03020'-'#f0f0e0' "$scratch/pictures/second.ppm"; } ;;
    oversize) f=$scratch/fullscreen/b_oversize.ppm
      [ -f "$f" ] || { mkdir -p "$scratch/fullscreen"
        convert -size 640x400 gradient:'#204080'-'#f0c040' "$scratch/fullscreen/a_landscape.ppm"
        convert -size 1600x1300 radial-gradient:'#ffffff'-'#2060a0' "$f"
        convert -size 300x420 gradient:'#a03020'-'#f0f0e0' "$scratch/fullscreen/c_portrait.ppm"; } ;;
    big3000) f=$scratch/big/big.jpg
      [ -f "$f" ] || { mkdir -p "$scratch/big"
        convert -size 3000x2000 gradient:'#203060'-'#e09040' -fill none -stroke white -strokewidth 12 \
          -draw "rectangle 6,6 2993,1993" -strokewidth 4 \
          -draw "line 500,0 500,2000" -draw "line 1000,0 1000,2000" -draw "line 1500,0 1500,2000" \
          -draw "line 2000,0 2000,2000" -draw "line 2500,0 2500,2000" \
          -draw "line 0,500 3000,500" -draw "line 0,1000 3000,1000" -draw "line 0,1500 3000,1500" \
          -stroke none -fill white -pointsize 160 -draw "text 1060,1100 '3000 x 2000'" "$f"; } ;;
    photo4000) f=$scratch/photo/photo.jpg
      [ -f "$f" ] || { mkdir -p "$scratch/photo"
        convert -size 4000x3000 gradient:'#1f4a7a'-'#e8a040' -fill none -stroke white -strokewidth 16 \
          -draw "rectangle 8,8 3991,2991" -strokewidth 6 \
          -draw "line 500,0 500,3000" -draw "line 1000,0 1000,3000" -draw "line 1500,0 1500,3000" \
          -draw "line 2000,0 2000,3000" -draw "line 2500,0 2500,3000" -draw "line 3000,0 3000,3000" \
          -draw "line 3500,0 3500,3000" \
          -draw "line 0,500 4000,500" -draw "line 0,1000 4000,1000" -draw "line 0,1500 4000,1500" \
          -draw "line 0,2000 4000,2000" -draw "line 0,2500 4000,2500" \
          -stroke none -fill white -pointsize 260 -draw "text 1250,1600 '4000 x 3000'" \
          -quality 90 "$f"; } ;;
    clip | song) # both in one folder, as the old media shots had them (browsing enabled)
      f=$scratch/media/$1.$([ "$1" = clip ] && echo avi || echo mp3)
      [ -f "$scratch/media/clip.avi" ] || { mkdir -p "$scratch/media"
        ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=10 \
          -f lavfi -i sine=frequency=440:duration=10 -c:v mjpeg -c:a pcm_s16le -shortest "$scratch/media/clip.avi"
        ffmpeg -hide_banner -loglevel error -y -f lavfi -i sine=frequency=330:duration=200 -c:a libmp3lame \
          -b:a 128k -ar 44100 -write_id3v1 1 -metadata title="Evening <b>Tide</b>" \
          -metadata artist="The Testers" -metadata album="Clips" "$scratch/media/song.mp3"; } ;;
    thumbnail_folder) f="$scratch/Holiday 2024"
      [ -d "$f" ] || { mkdir -p "$f"
        convert -size 1600x1200 gradient:'#1d3c78'-'#f3b33d' "$f/IMG_0001.jpg"
        convert -size 900x1400 gradient:'#0b5d1e'-'#d8f0a8' "$f/IMG_0002 portrait.jpg"
        convert -size 1200x800 radial-gradient:'#fff6d0'-'#c0392b' "$f/IMG_0003.png"
        convert rose: -resize 1000x650 "$f/IMG_0004 rose.jpg"
        convert -size 1280x720 plasma:'#3060c0'-'#f0e0a0' -seed 7 "$f/IMG_0005 plasma.jpg"
        convert -size 640x480 pattern:checkerboard -fill '#a04060' -colorize 40 "$f/IMG_0006.ppm"
        convert logo: "$f/IMG_0007 logo.png"
        convert -size 2000x500 gradient:'#202020'-'#e0e0ff' "$f/IMG_0008 very wide panorama of the bay.jpg"
        convert granite: -resize 800x800 "$f/IMG_0009.tif"
        printf 'this is not a picture' >"$f/IMG_0010 broken.jpg"
        convert -size 1024x768 xc:'#ffd447' -fill '#2d6a4f' -draw 'circle 512,384 512,100' "$f/IMG_0011.bmp"
        convert -size 700x1000 gradient:'#5a189a'-'#ff9e00' "$f/IMG_0012.gif"
        convert -size 1600x1200 radial-gradient:'#90e0ef'-'#03045e' "$f/IMG_0013.jpg"
        convert wizard: "$f/IMG_0014 wizard.png"; } ;;
    out) f=$out ;;
    *) echo "unknown fixture: $1" >&2; exit 2 ;;
  esac
  printf '%s' "$f"
}

# Runs "$@" on a fresh X server of the given size with openbox, in the scratch home.
on_x() {
  local screen=$1; shift
  HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/.config XDG_DATA_HOME=$scratch/home/.local/share \
  XDG_CACHE_HOME=$scratch/home/.cache RAVELSCOPE_SETTINGS_DIR=$scratch/settings \
  SANE_CONFIG_DIR="$scratch/sane:" \
  xvfb-run -a -s "-screen 0 ${screen}x24" bash -c 'openbox >/dev/null 2>&1 & sleep 1; "$@"' on_x "$@"
}

# The viewer rows: the program on a picture, then the steps, inside the X server.
viewer_session() { # picture steps png
  local picture=$1 steps=$2 png=$3
  build/viewer/ravelscope "$picture" &
  local pid=$! main step
  main=$(xdotool search --sync --name "Ravelscope -- " | head -1)
  xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
  IFS=';' read -ra step_list <<<"$steps"
  for step in "${step_list[@]}"; do
    read -r verb args <<<"$step"
    case $verb in
      wait) sleep "$args" ;;
      key) # to the window with the focus: the main window, or the dialog it opened
           # shellcheck disable=SC2086
           xdotool key $args ;;
      size) # shellcheck disable=SC2086
            xdotool windowsize --sync "$main" $args ;;
      shot) import -window root "$png" ;;
      shot-crop) import -window root -crop "$args" "$png" ;;
      shot-window) import -window "$args" "$png" 2>/dev/null || import -window root "$png" ;;
      *) echo "unknown step: $verb" >&2; kill "$pid"; return 2 ;;
    esac
  done
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}
# Inside the X server the script runs itself in this mode (xvfb-run's shell passes no
# exported functions on).
if [ "${1:-}" = --viewer-session ]; then
  shift
  viewer_session "$@"
  exit
fi

shoot() { # one row
  local name=$1 how=$2; shift 2
  case $how in
    viewer)
      local picture screen steps
      picture=$(fixture "$1"); screen=$2; shift 2; steps="$*"
      on_x "$screen" "$self" --viewer-session "$picture" "$steps" "$out/$name.png" ;;
    test)
      local program=build/$1 func=$2 file=$3
      [ -x "$program" ] || cmake --build build --target "$(basename "$program")" >/dev/null
      RAVELSCOPE_SHOT_DIR=$out QT_QPA_PLATFORM=xcb on_x 1280x1024 "$program" "$func" >/dev/null
      [ "$file" = "$name.png" ] || mv "$out/$file" "$out/$name.png" ;;
    helper)
      local program=build/$1 file=$2 a args=()
      shift 2
      [ -x "$program" ] || cmake --build build --target "$(basename "$program")" >/dev/null
      for a in "$@"; do
        case $a in @*) args+=("$(fixture "${a#@}")") ;; *) args+=("$a") ;; esac
      done
      case $program in
        *ravelscope_thumbnail_view)
          on_x 1024x768 bash -c '"$0" "$1" --current 4 --select 1,3,4 >"$2/.log" & pid=$!
            for _ in $(seq 100); do grep -q ready "$2/.log" 2>/dev/null && break; sleep 0.2; done
            sleep 0.5
            win=$(xdotool search --sync --name "Thumbnails -- " | head -1)
            import -window "$win" -frame "$3" 2>/dev/null || import -window root "$3"
            kill "$pid"; rm -f "$2/.log"' "$program" "${args[0]}" "$out" "$out/$file" ;;
        *file_dialogs_shot) on_x 1024x768 "$program" "${args[@]}" "$out/$file" ;;
        *) on_x 1280x1024 "$program" "${args[@]}" >/dev/null ;;
      esac
      [ "$file" = "$name.png" ] || [ ! -f "$out/$file" ] || mv "$out/$file" "$out/$name.png"
      case $program in # the effect dialogs' helper draws all seven: the row keeps its own
        *ravelscope_dialog_shots) rm -f "$out"/mn_*.png ;;
      esac ;;
    *) echo "unknown way: $how" >&2; exit 2 ;;
  esac
  echo "$out/$name.png"
}

out=build/screenshots
names=()
while [ $# -gt 0 ]; do
  case $1 in
    --out) out=$2; shift 2 ;;
    --list) awk '{print $1}' <<<"$TABLE"; exit 0 ;;
    all) mapfile -t names < <(awk '{print $1}' <<<"$TABLE"); shift ;;
    *) names+=("$1"); shift ;;
  esac
done
[ ${#names[@]} -gt 0 ] || { sed -n '2,8p' "$0" >&2; exit 2; }
[ -f build/build.ninja ] || [ -f build/Makefile ] || { echo "build/ is not configured: configure first" >&2; exit 1; }
for tool in xvfb-run openbox xdotool convert import; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/deps.sh lists it)" >&2; exit 1; }
done
mkdir -p "$out"
out=$(realpath "$out")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/settings" "$scratch/pictures" "$scratch/home" "$scratch/sane/dll.d"
echo test >"$scratch/sane/dll.conf"               # SANE's test backend alone, for the scan dialog
echo "resolution 150.0" >"$scratch/sane/test.conf"

for name in "${names[@]}"; do
  row=$(awk -v n="$name" '$1 == n' <<<"$TABLE")
  [ -n "$row" ] || { echo "no such window: $name (scripts/screenshot.sh --list)" >&2; exit 2; }
  read -r _ how rest <<<"$row"
  # Every row starts from the same settings: none of another row's places or choices.
  rm -rf "$scratch/settings" "$scratch/home"
  mkdir -p "$scratch/settings" "$scratch/home"
  printf '[Screen]\nWidth=630\nHeight=514\nTop=0\nLeft=0\n' >"$scratch/settings/RVS.ini"
  # shellcheck disable=SC2086
  if [ "$how" = viewer ]; then
    read -r picture screen steps <<<"$rest"
    shoot "$name" viewer "$picture" "$screen" "$steps"
  else
    shoot "$name" "$how" $rest
  fi
done
