#!/usr/bin/env bash
# Runs every fuzz target for a bounded number of executions: the readers over their seeds,
# kept corpora and regression inputs, the writers from nothing: scripts/run_fuzz.sh FUZZ_BUILD_DIR RUNS
set -euo pipefail
build=$1
runs=${2:-2000}
src=$(cd "$(dirname "$0")/.." && pwd)
seeds=$build/seeds
rm -rf "$seeds" && "$build/fuzz/make_seeds" "$seeds"
failed=0
passed=0
for target in "$build"/fuzz/fuzz_open_*; do
  ext=${target##*fuzz_open_}
  work=$(mktemp -d)
  dirs=()
  for d in "$seeds/$ext" "$src/fuzz/seeds/$ext" "$src/fuzz/corpus/$ext" "$src/fuzz/regressions/$ext"; do
    [ -d "$d" ] && dirs+=("$d")
  done
  dict=()
  [ -f "$src/fuzz/dict/$ext.dict" ] && dict=(-dict="$src/fuzz/dict/$ext.dict")
  if "$target" "${dict[@]}" -runs="$runs" -max_len=65536 -timeout=10 -rss_limit_mb=2560 -print_final_stats=0 \
      "$work" "${dirs[@]}" >"$work.log" 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "fuzz_open_$ext FAILED:"
    tail -n 40 "$work.log"
  fi
  rm -rf "$work" "$work.log"
done
# The writers start from nothing; their inputs are pictures of up to 256 Ki pixels, so
# they get a tenth of the readers' runs.
for target in "$build"/fuzz/fuzz_write_*; do
  work=$(mktemp -d)
  if "$target" -runs=$((runs / 10 + 1)) -timeout=10 -rss_limit_mb=2560 -print_final_stats=0 \
      "$work" >"$work.log" 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "${target##*/} FAILED:"
    tail -n 40 "$work.log"
  fi
  rm -rf "$work" "$work.log"
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
