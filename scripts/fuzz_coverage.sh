#!/usr/bin/env bash
# Line coverage of each reader's module reached by the kept fuzz corpora:
#   scripts/fuzz_coverage.sh [COVERAGE_BUILD_DIR]   (default build-cov)
# Builds the fuzz targets with clang's source-based coverage, replays every reader target over
# its corpus, seeds and regression inputs and every writer target over a short run, merges the
# profiles and prints one line per module (an input that fails or takes over 1 s is reported): module, lines, covered lines, percent.
# A module shared by several readers (or by a reader and a writer) counts all of them.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build-cov}
CC=clang CXX=clang++ cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRAVELSCOPE_FUZZ=ON \
  -DRAVELSCOPE_COVERAGE=ON -DRAVELSCOPE_GUI=OFF -DRAVELSCOPE_TESTS=OFF -DRAVELSCOPE_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
prof=$build/profiles
rm -rf "$prof" && mkdir -p "$prof"
seeds=$build/seeds
rm -rf "$seeds" && "$build/fuzz/make_seeds" "$seeds"
objects=()
for target in "$build"/fuzz/fuzz_open_* "$build"/fuzz/fuzz_write_*; do
  name=${target##*/}
  dirs=()
  if [[ $name == fuzz_open_* ]]; then
    ext=${name#fuzz_open_}
    for d in "$seeds/$ext" "$src/fuzz/seeds/$ext" "$src/fuzz/corpus/$ext" "$src/fuzz/regressions/$ext"; do
      [ -d "$d" ] && dirs+=("$d")
    done
    # Every kept input must also take under a second here (no sanitizers, one process).
    LLVM_PROFILE_FILE="$prof/$name.profraw" "$target" -runs=0 -timeout=1 -rss_limit_mb=2048 "${dirs[@]}" \
      >"$prof/$name.log" 2>&1 || { echo "$name: an input failed or took over 1 s:"; tail -n 5 "$prof/$name.log"; }
  else
    work=$(mktemp -d)
    LLVM_PROFILE_FILE="$prof/$name.profraw" "$target" -runs=2000 -seed=1 "$work" >/dev/null 2>&1 || true
    rm -rf "$work"
  fi
  objects+=(-object "$target")
done
llvm-profdata merge -sparse "$prof"/*.profraw -o "$prof/all.profdata"
# The report's file lines: name, regions, missed, cover, functions, missed, executed, lines,
# missed lines, cover, ...
llvm-cov report "${objects[@]:1}" -instr-profile="$prof/all.profdata" \
    "$src/dec_enc" "$src/core/Open_dispatch.cpp" \
    "$src/core/Save_dispatch.cpp" |
  awk -v root="$src/" '$1 ~ /\.cpp$/ { sub(root, "", $1); printf "%-28s %6d %6d %6.1f%%\n", $1, $8, $8 - $9, ($8 ? 100 * ($8 - $9) / $8 : 0) }'
