#!/usr/bin/env bash
# Process start to the picture's window on screen, for a 4000 x 3000 JPEG, under a virtual
# X server without a window manager: Ravelscope against the other viewers installed here
# (feh, gpicview; each is skipped when missing). Prints the median of ROUNDS runs in ms.
#   scripts/bench_first_paint.sh [ROUNDS]
# Needs a build (build/viewer/ravelscope), xvfb-run, xdotool and ImageMagick's convert.
# "On screen" is the first moment xdotool finds the program's window mapped; the poll
# costs a few milliseconds, the same for every program.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-7}
[ -x build/viewer/ravelscope ] || { echo "build/viewer/ravelscope is missing: build first" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
printf '[Screen]\nWidth=630\nHeight=514\nTop=0\nLeft=0\n' >"$scratch/RVS.ini"
convert -size 4000x3000 plasma:fractal -seed 7 -quality 90 "$scratch/photo.jpg" 2>/dev/null ||
  convert -size 4000x3000 gradient:navy-orange -quality 90 "$scratch/photo.jpg"

RAVELSCOPE_SETTINGS_DIR="$scratch" PHOTO="$scratch/photo.jpg" ROUNDS="$rounds" \
RAVELSCOPE="$(realpath build/viewer/ravelscope)" \
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  # ms from launching "$@" until a visible window of its process exists.
  measure() {
    local t0 pid
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1 &
    pid=$!
    until xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; do
      kill -0 "$pid" 2>/dev/null || { echo "exited"; return; }
    done
    echo $(( ($(date +%s%N) - t0) / 1000000 ))
    kill "$pid"; wait "$pid" 2>/dev/null || true
  }
  median() { grep -E "^[0-9]+$" | sort -n | awk "{ v[NR] = \$1 } END { print v[int((NR + 1) / 2)] }"; }
  run() {
    local name=$1; shift
    command -v "$1" >/dev/null || { printf "%-12s not installed\n" "$name"; return; }
    measure "$@" >/dev/null # warms the page cache
    local times=""
    for _ in $(seq "$ROUNDS"); do times+="$(measure "$@")"$'\''\n'\''; done
    printf "%-12s %6s ms (runs: %s)\n" "$name" "$(printf "%s" "$times" | median)" "$(printf "%s" "$times" | tr "\n" " ")"
  }
  echo "4000 x 3000 JPEG, process start to window on screen, median of $ROUNDS"
  run ravelscope "$RAVELSCOPE" "$PHOTO"
  run feh feh "$PHOTO"
  run gpicview gpicview "$PHOTO"
'
