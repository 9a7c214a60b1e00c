#!/usr/bin/env bash
# PNG, JPEG and TIFF through ravelscope-cli beside the peers, in one run, on a 4096 x 4096
# picture: scripts/bench_codecs_peers.sh [BUILD_DIR] [WORK_DIR]
# Prints hyperfine's tables, and for the encoders the size of every peer's file. With
# BEFORE=/path/to/an/older/ravelscope-cli its rows stand beside ours in the same run.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cli=$(cd "${1:-$src/build}" && pwd)/ravelscope-cli
work=${2:-/tmp/rvs-codec-peers}
mkdir -p "$work" && cd "$work"
im=convert-im6.q16
runs=${RUNS:-8}

# A photo-like picture (plasma) and noise, both 4096 x 4096.
[ -f photo.ppm ] || $im -size 4096x4096 -seed 7 plasma:fractal -depth 8 photo.ppm
[ -f noise.ppm ] || $im -size 4096x4096 -seed 7 xc: +noise Random -depth 8 noise.ppm
[ -f photo.png ] || $im photo.ppm photo.png
[ -f photo.tif ] || $im photo.ppm -compress lzw photo.tif
[ -f noise.jpg ] || cjpeg -dct float -quality 75 -outfile noise.jpg noise.ppm
[ -f photo.jpg ] || cjpeg -dct float -quality 75 -outfile photo.jpg photo.ppm

pil() { echo "/usr/bin/python3 -c \"from PIL import Image; Image.open('$1').save('$2')\""; }
rows() { # rows COMMAND: our row in `ours`, and the older build's beside it with BEFORE
  ours=(-n ours "$1")
  if [ -n "${BEFORE:-}" ]; then ours+=(-n before "${1//$cli/$BEFORE}"); fi
}
hf() {
  hyperfine -N --warmup 1 --runs "$runs" --style none --export-markdown "$work/table.md" "$@" >/dev/null 2>&1
  cat "$work/table.md"
}

for in in photo.png photo.tif; do
  echo "## $in to PPM"
  rows "$cli convert $in o.ppm"; hf "${ours[@]}" -n vips "vips copy $in v.ppm" -n ImageMagick "$im $in m.ppm" \
     -n GraphicsMagick "gm convert $in g.ppm" -n Pillow "$(pil $in p.ppm)"
done
for in in noise.jpg photo.jpg; do
  echo "## $in to PPM"
  rows "$cli convert $in o.ppm"; hf "${ours[@]}" -n "djpeg -dct float" "djpeg -dct float -outfile d.ppm $in" \
     -n vips "vips copy $in v.ppm"
done
for in in noise.ppm photo.ppm; do
  echo "## $in to JPEG"
  rows "$cli convert $in o.jpg"; hf "${ours[@]}" -n "cjpeg -dct float -quality 75" "cjpeg -dct float -quality 75 -outfile c.jpg $in"
done
echo "## photo.ppm to PNG"
rows "$cli convert photo.ppm o.png"; hf "${ours[@]}" -n vips "vips copy photo.ppm v.png" -n ImageMagick "$im photo.ppm m.png" \
   -n GraphicsMagick "gm convert photo.ppm g.png" -n Pillow "$(pil photo.ppm p.png)" -n pnmtopng "sh -c 'pnmtopng photo.ppm > n.png'"
ls -l o.png v.png m.png g.png p.png n.png | awk '{print $5, $9}'
echo "## photo.ppm to LZW TIFF"
rows "$cli convert photo.ppm o.tif"; hf "${ours[@]}" -n vips "vips copy photo.ppm v.tif[compression=lzw]" \
   -n ImageMagick "$im photo.ppm -compress lzw m.tif" -n GraphicsMagick "gm convert photo.ppm -compress lzw g.tif" \
   -n Pillow "/usr/bin/python3 -c \"from PIL import Image; Image.open('photo.ppm').save('p.tif', compression='tiff_lzw')\"" \
   -n pnmtotiff "sh -c 'pnmtotiff -lzw photo.ppm > n.tif'"
ls -l o.tif v.tif m.tif g.tif p.tif n.tif | awk '{print $5, $9}'
