#!/usr/bin/env bash
# Peak memory (GNU time's maximum resident set) of ravelscope-cli convert on a 4096 x 4096
# picture between the streamed formats, and of a 40000 x 40000 PPM to PNG:
#   scripts/bench_convert_memory.sh [BUILD_DIR] [WORK_DIR]
# Prints one line a pair: the peak in MiB and as a multiple of the picture's 48 MiB.
# BIG=0 leaves out the 40000 x 40000 picture (a 4.8 GB file).
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cli=$(cd "${1:-$src/build}" && pwd)/ravelscope-cli
work=${2:-/tmp/rvs-convert-memory}
mkdir -p "$work" && cd "$work"
im=convert-im6.q16

[ -f photo.ppm ] || $im -size 4096x4096 -seed 7 plasma:fractal -depth 8 photo.ppm
for f in bmp tga png jpg tif; do [ -f "photo.$f" ] || "$cli" convert photo.ppm "photo.$f"; done

peak() { # prints the peak resident set in KiB of the command
  /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1
}
picture_kib=$((4096 * 4096 * 3 / 1024))
for in in ppm bmp tga png jpg tif; do
  for out in ppm bmp tga png; do
    kib=$(peak "$cli" convert "photo.$in" "out.$out")
    awk -v i="$in" -v o="$out" -v k="$kib" -v p="$picture_kib" \
      'BEGIN { printf "%s -> %s: %.1f MiB, %.2fx the picture\n", i, o, k / 1024, k / p }'
  done
done
rm -f out.*

if [ "${BIG:-1}" != 0 ]; then
  if [ ! -f big.ppm ]; then
    # 40000 x 40000: the plasma's raster over and over.
    { printf 'P6\n40000 40000\n255\n'
      for _ in $(seq 100); do tail -c $((4096 * 4096 * 3)) photo.ppm; done | head -c $((40000 * 40000 * 3)) || true
    } > big.ppm
  fi
  /usr/bin/time -f "40000 x 40000 ppm -> png: %M KiB peak, %e s" "$cli" convert big.ppm big.png
  ls -l big.png | awk '{ print "  big.png:", $5, "bytes" }'
  rm -f big.png
fi
