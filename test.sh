#!/usr/bin/env bash
# Installs what is missing, builds, runs every test (plain build, sanitizer build, bounded
# fuzzing) and prints the summary.
set -uo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
ensure_packages || { echo "package installation failed"; exit 1; }

jobs=$(nproc)
# Warnings are errors in every build, here as in CI, so a warning never passes locally.
werror=ON
passed=0
failed=0

# Runs ctest in a build directory (further arguments go to ctest) and adds its counts to
# the totals.
run_ctest() {
  local dir=$1 log
  shift
  log=$(mktemp)
  (cd "$dir" && ctest --output-on-failure -j "$jobs" "$@" 2>&1) | tee "$log" | tail -n 30
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
  else
    local total bad
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    # The summary above cuts the output of the failing tests: show each one's last lines.
    if [ "$bad" -gt 0 ]; then
      awk 'function flush() { for (k = (n > 80 ? n - 80 : 0); k < n; k++) print buf[k % 80]; n = 0 }
           /\*\*\*(Failed|Timeout|Exception)/ {flush(); show=1; print "--- " $0; next}
           /^ *Start +[0-9]+:|^ *[0-9]+\/[0-9]+ Test +#/ {flush(); show=0}
           show {buf[n % 80] = $0; n++}
           END {flush()}' "$log"
    fi
  fi
  rm -f "$log"
}

step() { echo; echo "== $*"; }

step "build (release)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DRAVELSCOPE_WERROR=$werror >/dev/null &&
  cmake --build build -j "$jobs" && cmake --build build --target bench -j "$jobs" ||
  { echo "build failed"; echo "test: 0 passed, 1 failed"; exit 1; }
step "tests (release)"
run_ctest build -LE tsan
step "tests (thread sanitizer: the preload worker's hand-over)"
run_ctest build -L tsan

step "build (address and undefined-behaviour sanitizers)"
if cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVELSCOPE_SANITIZE=ON \
     -DRAVELSCOPE_GUI=OFF -DRAVELSCOPE_BENCH=OFF -DRAVELSCOPE_WERROR=$werror >/dev/null &&
   cmake --build build-asan -j "$jobs"; then
  step "tests (sanitizers)"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-asan
else
  echo "sanitizer build failed"; failed=$((failed + 1))
fi

step "fuzz targets (bounded runs)"
if command -v clang++ >/dev/null; then
  if CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
       -DRAVELSCOPE_FUZZ=ON -DRAVELSCOPE_GUI=OFF -DRAVELSCOPE_TESTS=OFF -DRAVELSCOPE_BENCH=OFF \
       -DRAVELSCOPE_WERROR=$werror >/dev/null &&
     { cmake --build build-fuzz -j "$jobs" >build-fuzz/build.log 2>&1 ||
       { grep -E -A4 'error' build-fuzz/build.log | head -n 60; false; }; }; then
    if scripts/run_fuzz.sh build-fuzz "${FUZZ_RUNS:-3000}"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
  else
    echo "fuzz build failed"; failed=$((failed + 1))
  fi
else
  echo "clang++ not found: fuzz targets skipped"
fi

echo
echo "summary: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
