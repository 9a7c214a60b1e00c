#!/usr/bin/env bash
# Takes pictures of the file association window and the scan dialog under a virtual X
# server, the scan dialog filled from SANE's test backend:
#   scripts/screenshot_system.sh [OUT_DIR]
# Default: build/screenshots. Needs a build (build/viewer/tests/system_window_shots) and
# xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshots}
shots=build/viewer/tests/system_window_shots
[ -x "$shots" ] || { echo "$shots is missing: build the target system_window_shots first" >&2; exit 1; }
mkdir -p "$out"
out=$(realpath "$out")
sane=$(mktemp -d)
trap 'rm -rf "$sane"' EXIT
echo test >"$sane/dll.conf"
mkdir "$sane/dll.d" # empty: no backend the system adds
echo "resolution 150.0" >"$sane/test.conf"
SANE_CONFIG_DIR="$sane:" xvfb-run -a -s "-screen 0 1280x1024x24" "$shots" "$out"
echo "$out/associate_window.png"
echo "$out/scan_dialog.png"
