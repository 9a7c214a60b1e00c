#!/usr/bin/env bash
# Screenshots of the Tests menu's windows, drawn by their window tests under a virtual X
# server:  scripts/screenshot_tests_menu.sh [WINDOW...] 
# WINDOW: batch (with a run's log and summary), outdir (the output-directory chooser),
# about, options, text (the text viewer over the main window); all of them by default.
# The PNGs go to build/screenshots/. Needs a build (build/viewer/tests/tests_menu_tests)
# and xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."
exe=build/viewer/tests/tests_menu_tests
[ -x "$exe" ] || { echo "$exe is missing: build the tests_menu_tests target first" >&2; exit 1; }
out=$(realpath -m build/screenshots)
mkdir -p "$out"
windows=("$@")
[ ${#windows[@]} -gt 0 ] || windows=(batch outdir about options text)
tests=()
for w in "${windows[@]}"; do
  case $w in
    batch) tests+=(batchStopAndCsvRoundTrip) ;;
    outdir) tests+=(batchOutputDirectoryAndSettings) ;;
    about) tests+=(aboutBoxTextsCursorLinkAndPosition) ;;
    options) tests+=(optionsKeepTheChosenColours) ;;
    text) tests+=(openRtfCoversTheViewUntilAPictureOpens) ;;
    *) echo "unknown window: $w" >&2; exit 2 ;;
  esac
done
settings=$(mktemp -d)
trap 'rm -rf "$settings"' EXIT
RAVELSCOPE_SHOT_DIR="$out" RAVELSCOPE_SETTINGS_DIR="$settings" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$exe" "${tests[@]}" >/dev/null
ls "$out"/{batch_dialog,batch_output_dir,about_box,options,text_viewer}.png 2>/dev/null || true
