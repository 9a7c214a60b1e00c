#!/usr/bin/env bash
# Runs every fuzz target for a bounded number of executions: the readers over their seeds,
# kept corpora and regression inputs, the writers from nothing:
#   scripts/run_fuzz.sh FUZZ_BUILD_DIR RUNS
set -euo pipefail
build=$1
runs=${2:-2000}
src=$(cd "$(dirname "$0")/.." && pwd)
seeds=$build/seeds
rm -rf "$seeds" && "$build/fuzz/make_seeds" "$seeds" >/dev/null 2>&1
failed=0
passed=0

# run TARGET RUNS [FLAGS AND INPUT DIRECTORIES ...]: one bounded run in a fresh working corpus.
run() {
  local target=$1 n=$2
  shift 2
  local work
  work=$(mktemp -d)
  # The working corpus comes first: libFuzzer adds what it finds to the first directory.
  if "$target" -runs="$n" -timeout=10 -rss_limit_mb=2560 -print_final_stats=0 "$work" "$@" >"$work.log" 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "${target##*/} FAILED:"
    tail -n 40 "$work.log"
  fi
  rm -rf "$work" "$work.log"
}

for target in "$build"/fuzz/fuzz_open_*; do
  ext=${target##*fuzz_open_}
  args=(-max_len=65536)
  [ -f "$src/fuzz/dict/$ext.dict" ] && args+=(-dict="$src/fuzz/dict/$ext.dict")
  for d in "$seeds/$ext" "$src/fuzz/seeds/$ext" "$src/fuzz/corpus/$ext" "$src/fuzz/regressions/$ext"; do
    [ -d "$d" ] && args+=("$d")
  done
  [ "$ext" = dcm ] && args+=("$src/fuzz/seeds/dic" "$src/fuzz/corpus/dic") # DICOM under its other name
  run "$target" "$runs" "${args[@]}"
done
# The row sources of the streaming conversion, over the same seeds as their readers.
for target in "$build"/fuzz/fuzz_rows_*; do
  ext=${target##*fuzz_rows_}
  args=(-max_len=65536)
  [ -f "$src/fuzz/dict/$ext.dict" ] && args+=(-dict="$src/fuzz/dict/$ext.dict")
  for d in "$seeds/$ext" "$src/fuzz/seeds/$ext" "$src/fuzz/corpus/$ext" "$src/fuzz/regressions/$ext"; do
    [ -d "$d" ] && args+=("$d")
  done
  run "$target" "$runs" "${args[@]}"
done
# The other parsers' targets: fuzz_NAME over its seeds, its corpus kept by the long runs
# (scripts/fuzz_campaign.sh) and its regression inputs, fuzz/{seeds,corpus,regressions}/DIR:
# other NAME DIR MAX_LEN [MORE FLAGS AND DIRECTORIES ...]
other() {
  local name=$1 dir=$2 max_len=$3
  shift 3
  [ -x "$build/fuzz/fuzz_$name" ] || return 0
  local args=(-max_len="$max_len" "$@")
  for d in "$src/fuzz/seeds/$dir" "$src/fuzz/corpus/$dir" "$src/fuzz/regressions/$dir"; do
    [ -d "$d" ] && args+=("$d")
  done
  run "$build/fuzz/fuzz_$name" "$runs" "${args[@]}"
}
other frames frames 65536                             # every frame of an animation
other rtf rtf 65536 -dict="$src/fuzz/dict/rtf.dict"   # the text viewer's reader
other mp3info mp3 65536                               # the MPEG audio walk
other keyfile keyfile 4096                            # mimeapps.list and desktop entries
other ini ini 4096                                    # the settings file
# DICOM's checks before the decoding helper, and the mapping of a frame's samples in it.
other dicom_meta dicom_meta 65536 "$src/fuzz/seeds/dic" "$src/fuzz/corpus/dic"
other dicom_pixels dicom_pixels 65536 "$seeds/dicom_pixels"
# The thumbnails' Exif thumbnail, scaled JPEG decode and cached keys, also from the JPEG seeds.
thumbnail_dirs=()
[ -d "$seeds/jpg" ] && thumbnail_dirs+=("$seeds/jpg")
other thumbnail thumbnail 65536 "${thumbnail_dirs[@]}"
other heif heic 65536                                 # HEIF as the decoding helper reads it
# Paste's reading of the clipboard's PNG and BMP bytes (built only where Qt's GUI module is).
QT_QPA_PLATFORM=offscreen other clipboard clipboard 65536
# The writers start from nothing; their inputs are pictures of up to 256 Ki pixels, so
# they get a tenth of the readers' runs.
for target in "$build"/fuzz/fuzz_write_*; do
  run "$target" $((runs / 10 + 1))
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
