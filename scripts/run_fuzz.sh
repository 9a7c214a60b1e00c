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
  run "$target" "$runs" "${args[@]}"
done
# The text viewer's reader, from its hand-made seeds.
if [ -x "$build/fuzz/fuzz_rtf" ]; then
  run "$build/fuzz/fuzz_rtf" "$runs" -max_len=65536 -dict="$src/fuzz/dict/rtf.dict" "$src/fuzz/seeds/rtf"
fi
# The MPEG audio walk over its hand-made seeds and kept inputs.
if [ -x "$build/fuzz/fuzz_mp3info" ]; then
  args=(-max_len=65536)
  for d in "$src/fuzz/seeds/mp3" "$src/fuzz/corpus/mp3" "$src/fuzz/regressions/mp3"; do
    [ -d "$d" ] && args+=("$d")
  done
  run "$build/fuzz/fuzz_mp3info" "$runs" "${args[@]}"
fi
# The key-file editing of mimeapps.list and desktop entries, from its hand-made seeds.
if [ -x "$build/fuzz/fuzz_keyfile" ]; then
  run "$build/fuzz/fuzz_keyfile" "$runs" -max_len=4096 "$src/fuzz/seeds/keyfile"
fi
# The settings file, from its hand-made seeds (the first-start line with its NUL byte among them).
if [ -x "$build/fuzz/fuzz_ini" ]; then
  run "$build/fuzz/fuzz_ini" "$runs" -max_len=4096 "$src/fuzz/seeds/ini"
fi
# The thumbnails' Exif thumbnail, scaled JPEG decode and cached keys, from their seeds.
if [ -x "$build/fuzz/fuzz_thumbnail" ]; then
  args=(-max_len=65536 "$src/fuzz/seeds/thumbnail")
  [ -d "$seeds/jpg" ] && args+=("$seeds/jpg")
  run "$build/fuzz/fuzz_thumbnail" "$runs" "${args[@]}"
fi
# Paste's reading of the clipboard's PNG and BMP bytes (built only where Qt's GUI module is).
if [ -x "$build/fuzz/fuzz_clipboard" ]; then
  QT_QPA_PLATFORM=offscreen run "$build/fuzz/fuzz_clipboard" "$runs" -max_len=65536 "$src/fuzz/seeds/clipboard"
fi
# The writers start from nothing; their inputs are pictures of up to 256 Ki pixels, so
# they get a tenth of the readers' runs.
for target in "$build"/fuzz/fuzz_write_*; do
  run "$target" $((runs / 10 + 1))
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
