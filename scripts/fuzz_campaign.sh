#!/usr/bin/env bash
# Long fuzzing: scripts/fuzz_campaign.sh FUZZ_BUILD_DIR SECONDS [NAME ...]
#
# A NAME is a reader's extension (fuzz_open_<ext>) or one of the other parsers' targets:
# frames, rtf, mp3info, keyfile, ini, clipboard, dicom_meta, dicom_pixels, heif (fuzz_<name>); without
# names every reader runs. Each target runs until it has had SECONDS of CPU time (rounds of
# one process each, as /usr/bin/time counts it; CPU=0: SECONDS of wall time) over its kept
# corpus (fuzz/corpus/<dir>), the generated seeds, the hand-made seeds and the regression
# inputs, where <dir> is the extension or the name (mp3 for mp3info, heic for heif). Afterwards the corpus
# is minimised back into fuzz/corpus/<dir>, and one line per run is appended to
# fuzz/campaign.tsv:
#   date  name  seconds  executions  corpus-files  result  cpu-seconds
# A finding stops its target; the input is copied to fuzz/findings/<dir>/ for fixing and then
# for fuzz/regressions/. Limits: inputs up to 1 MiB (4 KiB for the text files keyfile and
# ini), 2 GiB of RSS, no single allocation over the picture cap (1 GiB) plus slack, and
# TIMEOUT seconds per input (default 3: libFuzzer measures wall time, and a niced fuzzer
# waits while other work runs; a reported timeout is then timed alone, where the bar is 1 s).
# PARALLEL=N runs N targets at once (default 1); NICE=N lowers their priority (default 19).
set -uo pipefail
build=$(cd "$1" && pwd)
seconds=$2
shift 2
src=$(cd "$(dirname "$0")/.." && pwd)
log=$src/fuzz/campaign.tsv
[ -f "$log" ] || printf 'date\text\tseconds\texecutions\tcorpus\tresult\tcpu_seconds\n' >"$log"
seeds=$build/seeds
[ -d "$seeds" ] || "$build/fuzz/make_seeds" "$seeds"

exts=("$@")
if [ ${#exts[@]} -eq 0 ]; then
  for t in "$build"/fuzz/fuzz_open_*; do exts+=("${t##*fuzz_open_}"); done
fi

run_one() {
  local name=$1 ext=$1 target=$build/fuzz/fuzz_open_$1 max_len=1048576
  if [ ! -x "$target" ]; then
    target=$build/fuzz/fuzz_$name
    case $name in
      mp3info) ext=mp3 ;;
      heif) ext=heic ;;
      keyfile|ini) max_len=4096 ;;
      clipboard) export QT_QPA_PLATFORM=offscreen ;;
    esac
  fi
  [ -x "$target" ] || { echo "$name: no target $target"; return; }
  local work
  work=$(mktemp -d "/tmp/rvs-campaign-$ext.XXXX")
  mkdir -p "$work/corpus" "$work/artifacts" "$src/fuzz/corpus/$ext"
  local dirs=("$src/fuzz/corpus/$ext")
  for d in "$seeds/$ext" "$src/fuzz/seeds/$ext" "$src/fuzz/regressions/$ext"; do
    [ -d "$d" ] && dirs+=("$d")
  done
  # DICOM files under the other name, and for the checks before the helper.
  case $name in dcm|dicom_meta) dirs+=("$src/fuzz/seeds/dic" "$src/fuzz/corpus/dic") ;; esac
  local dict=()
  [ -f "$src/fuzz/dict/$ext.dict" ] && dict=(-dict="$src/fuzz/dict/$ext.dict")
  local opts=(-max_len=$max_len -len_control=1000 -timeout=${TIMEOUT:-3} -rss_limit_mb=2048 -malloc_limit_mb=1100
              -print_final_stats=1 -artifact_prefix="$work/artifacts/")
  # Rounds until the fuzzer has had SECONDS of processor time (CPU=0: one round of SECONDS
  # wall time, where /usr/bin/time is missing too); each round goes on from the corpus so far.
  local started=$SECONDS cpu=0 execs=0 rc=0 round=0
  while :; do
    round=$((round + 1))
    local timer=()
    [ -x /usr/bin/time ] && timer=(/usr/bin/time -f '%U %S' -o "$work/cpu")
    rm -f "$work/cpu"
    "${timer[@]}" nice -n "${NICE:-19}" "$target" "${dict[@]}" "${opts[@]}" \
      -max_total_time="$((seconds - cpu > 120 ? seconds - cpu : 120))" "$work/corpus" "${dirs[@]}" >"$work/log" 2>&1
    rc=$?
    local n
    n=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/log" | grep -o '[0-9]*$' | tail -n 1)
    execs=$((execs + ${n:-0}))
    [ -f "$work/cpu" ] || break
    cpu=$((cpu + $(awk 'END { printf "%d", $1 + $2 }' "$work/cpu")))
    [ $rc -ne 0 ] || [ "${CPU:-1}" = 0 ] || [ $cpu -ge "$seconds" ] || [ $round -ge 100 ] && break
  done
  local elapsed=$((SECONDS - started))
  local result=clean
  if [ $rc -ne 0 ] || ls "$work/artifacts"/* >/dev/null 2>&1; then
    result=finding
    mkdir -p "$src/fuzz/findings/$ext"
    cp "$work/artifacts"/* "$src/fuzz/findings/$ext/" 2>/dev/null
    tail -n 60 "$work/log" >"$src/fuzz/findings/$ext/last.log"
  fi
  # Minimise everything seen into a fresh corpus directory, then replace the kept one.
  mkdir -p "$work/min"
  "$target" -merge=1 -timeout=5 -rss_limit_mb=2048 "$work/min" "$src/fuzz/corpus/$ext" "$work/corpus" \
    >"$work/merge.log" 2>&1 && { rm -rf "$src/fuzz/corpus/$ext"; mv "$work/min" "$src/fuzz/corpus/$ext"; }
  local files
  files=$(find "$src/fuzz/corpus/$ext" -type f | wc -l)
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$(date -u +%F)" "$name" "$elapsed" "${execs:-0}" "$files" "$result" "$cpu" >>"$log"
  echo "$name: ${execs:-0} executions in ${elapsed}s, corpus $files, $result"
  rm -rf "$work"
}
export -f run_one
export build seconds src log seeds

printf '%s\n' "${exts[@]}" | xargs -P "${PARALLEL:-1}" -I{} bash -c 'run_one "$@"' _ {}
