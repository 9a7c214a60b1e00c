#!/usr/bin/env bash
# Decoding a 12-megapixel photo (4000 x 3000) in WebP, AVIF, HEIC and JPEG XL through
# ravelscope-cli beside each format's own command-line decoder, in one run:
#   scripts/bench_modern_peers.sh [BUILD_DIR] [WORK_DIR]
# Every command writes the whole picture uncompressed: ours and dwebp and djxl a PPM;
# avifdec and heif-convert write no PPM, so they write Y4M, their cheapest output (which
# skips the conversion to RGB that a PPM needs), and avifdec also an uncompressed PNG
# (with the conversion). Prints hyperfine's tables and our mean time over the tool's.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cli=$(cd "${1:-$src/build}" && pwd)/ravelscope-cli
work=${2:-/tmp/rvs-modern-peers}
mkdir -p "$work" && cd "$work"
im=convert-im6.q16
runs=${RUNS:-10}

# A photo-like picture: plasma, blurred a little as a camera's lens would.
[ -f photo.png ] || $im -size 4000x3000 -seed 11 plasma:fractal -blur 0x1 -depth 8 photo.png
[ -f photo.webp ] || cwebp -quiet -q 85 photo.png -o photo.webp
[ -f photo.avif ] || avifenc -s 6 -j 2 photo.png photo.avif >/dev/null
[ -f photo.heic ] || heif-enc -q 85 photo.png -o photo.heic >/dev/null
[ -f photo.jxl ] || cjxl -q 85 photo.png photo.jxl 2>/dev/null

hf() {
  hyperfine -N --warmup 1 --runs "$runs" --style none --export-json "$work/t.json" \
    --export-markdown "$work/table.md" "$@" >/dev/null 2>&1
  cat "$work/table.md"
  python3 -c "import json; r = json.load(open('$work/t.json'))['results']; \
print('ours / tool: %.3f' % (r[0]['mean'] / r[1]['mean']))"
}

echo "## photo.webp to PPM"
hf -n ours "$cli convert photo.webp o.ppm" -n dwebp "dwebp -quiet photo.webp -ppm -o d.ppm"
echo "## photo.avif to PPM (avifdec: Y4M, one thread as ours)"
hf -n ours "$cli convert photo.avif o.ppm" -n avifdec "avifdec -j 1 photo.avif d.y4m"
echo "## photo.avif to PPM (avifdec: PNG without compression, one thread as ours)"
hf -n ours "$cli convert photo.avif o.ppm" -n avifdec "avifdec -j 1 --png-compress 0 photo.avif d.png"
echo "## photo.heic to PPM (heif-convert: Y4M)"
hf -n ours "$cli convert photo.heic o.ppm" -n heif-convert "heif-convert --quiet photo.heic d.y4m"
echo "## photo.jxl to PPM"
hf -n ours "$cli convert photo.jxl o.ppm" -n djxl "djxl photo.jxl d.ppm --quiet"
