#!/usr/bin/env bash
# Thumbnails of 12-megapixel photos, ours against gdk-pixbuf-thumbnailer in the same run:
#   scripts/bench_thumbnails.sh [COUNT]        (COUNT: $THUMB_BENCH_COUNT, default 1000)
# 1. Cold cache, the whole folder and the first screenful (40): our pool (one worker per
#    core but one, and one per core) against gdk-pixbuf-thumbnailer run file by file and
#    one per core, all at the normal size (128). Then the same photos as a camera writes
#    them, with a 160 x 120 thumbnail in their Exif segment.
# 2. Warm cache: our pool over the same folder again.
# 3. The view (offscreen) over the folder, warm and cold: the visible thumbnails present at
#    its first paint, the time to the first complete screen, the longest stall.
# 4. The view over a folder of 10,000 files (hard links to ten 1600 x 1200 photos), cold:
#    the longest stall of the event loop while it opens and while it pages to the end.
# The photos are made once (ImageMagick; it takes a while) and kept in build/bench_photos.
# Times are wall-clock and, in brackets, CPU (user + system) of the whole run; the build
# machine is shared, so the CPU figures are the steadier ones.
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-${THUMB_BENCH_COUNT:-1000}}
view=build/widgets/ravelscope_thumbnail_view
[ -x "$view" ] || { echo "$view is missing: build the target ravelscope_thumbnail_view first" >&2; exit 1; }
if ! command -v gdk-pixbuf-thumbnailer >/dev/null; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get install -y -qq --no-install-recommends libgdk-pixbuf2.0-bin >/dev/null
fi
for tool in convert /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done

# The photos: six 4000 x 3000 bases (a fractal with grain, 4:2:0, quality 90: 3 to 5 MB
# like a camera's), copied to COUNT files.
mkdir -p build/bench_photos/bases
store=$(realpath build/bench_photos)
photos=$store/12mp_$count
camera=$store/12mp_exif_$count
for i in 1 2 3 4 5 6; do
  base=$store/bases/base_$i.jpg
  [ -f "$base" ] || nice convert -size 4000x3000 -seed "$i" plasma:fractal -attenuate 0.25 +noise Gaussian \
    -sampling-factor 2x2 -quality 90 "$base"
  # The same photo with a camera's Exif segment: IFD1 holding a 160 x 120 JPEG thumbnail.
  [ -f "$store/bases/exif_$i.jpg" ] || {
    convert "$base" -resize 160x120 -quality 80 "$store/bases/thumb_$i.jpg"
    python3 - "$base" "$store/bases/thumb_$i.jpg" "$store/bases/exif_$i.jpg" <<'PY'
import struct, sys
photo, thumb = open(sys.argv[1], 'rb').read(), open(sys.argv[2], 'rb').read()
tiff = b'MM' + struct.pack('>HI', 42, 8) + struct.pack('>H', 0) + struct.pack('>I', 14)
tiff += struct.pack('>H', 2) + struct.pack('>HHII', 0x0201, 4, 1, 14 + 2 + 24 + 4)
tiff += struct.pack('>HHII', 0x0202, 4, 1, len(thumb)) + struct.pack('>I', 0) + thumb
segment = b'Exif\0\0' + tiff
open(sys.argv[3], 'wb').write(b'\xff\xd8\xff\xe1' + struct.pack('>H', len(segment) + 2) + segment + photo[2:])
PY
  }
done
for set in "$photos:base" "$camera:exif"; do
  dir=${set%%:*} kind=${set##*:}
  [ -f "$dir/.complete" ] && continue
  rm -rf "$dir" && mkdir -p "$dir"
  for n in $(seq -w 1 "$count"); do cp "$store/bases/${kind}_$(( (10#$n % 6) + 1 )).jpg" "$dir/photo_$n.jpg"; done
  touch "$dir/.complete"
done
big=$store/10000
if [ ! -f "$big/.complete" ]; then
  rm -rf "$big" && mkdir -p "$big" "$store/small"
  for i in $(seq 0 9); do
    [ -f "$store/small/s$i.jpg" ] || convert -size 1600x1200 -seed "$i" plasma:fractal -quality 85 "$store/small/s$i.jpg"
  done
  for n in $(seq -w 0 9999); do ln "$store/small/s$(( 10#$n % 10 )).jpg" "$big/img_$n.jpg"; done
  touch "$big/.complete"
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cores=$(nproc)
ours_threads=$(( cores > 2 ? cores - 1 : 1 ))

# "WALL (CPU)" of a command, in seconds.
timed() {
  /usr/bin/time -f "%e (%U + %S)" -o "$scratch/time" "$@" >"$scratch/out" 2>&1 || { cat "$scratch/out"; exit 1; }
  awk '{ gsub(/[()+]/, " "); printf "%.1f s (CPU %.1f s)", $1, $2 + $3 }' "$scratch/time"
}

folder=$photos
list() { find "$folder" -name '*.jpg' | sort; }
first40() { list | head -n 40 || true; } # head ends the pipe early

echo "== $count photos of 4000 x 3000, $(du -sh "$photos" | cut -f1), $cores cores =="
echo "-- cold cache, normal size (128) --"
for threads in "$ours_threads" "$cores"; do
  rm -rf "$scratch/ours"
  mkdir -p "$scratch/ours/first" && for f in $(first40); do ln -s "$f" "$scratch/ours/first/"; done
  t40=$(XDG_CACHE_HOME="$scratch/ours/cache40" timed "$view" --make "$scratch/ours/first" --threads "$threads")
  tall=$(XDG_CACHE_HOME="$scratch/ours/cache" timed "$view" --make "$photos" --threads "$threads" --first 40)
  line=$(head -1 "$scratch/out")
  echo "ours, $threads worker(s):       first 40 $t40   all $tall"
  echo "    ($line)"
done
# The file manager's thumbnailer is one process a file; one at a time, then one per core.
gdk() { while read -r f; do gdk-pixbuf-thumbnailer -s 128 "$f" "$scratch/gdk/$(basename "$f").png"; done; }
export -f gdk; export scratch
mkdir -p "$scratch/gdk"
t40=$(first40 | timed bash -c gdk)
tall=$(list | timed bash -c gdk)
echo "gdk-pixbuf-thumbnailer, serial:  first 40 $t40   all $tall"
t40=$(first40 | timed xargs -P "$cores" -n 1 sh -c 'gdk-pixbuf-thumbnailer -s 128 "$0" "$scratch/gdk/p$$.png"')
tall=$(list | timed xargs -P "$cores" -n 1 sh -c 'gdk-pixbuf-thumbnailer -s 128 "$0" "$scratch/gdk/p$$.png"')
echo "gdk-pixbuf-thumbnailer, $cores at once: first 40 $t40   all $tall"

echo "-- cold cache, the same photos with a 160 x 120 Exif thumbnail --"
folder=$camera
rm -rf "$scratch/camera"
mkdir -p "$scratch/camera/first" && for f in $(first40); do ln -s "$f" "$scratch/camera/first/"; done
t40=$(XDG_CACHE_HOME="$scratch/camera/cache40" timed "$view" --make "$scratch/camera/first" --threads "$ours_threads")
tall=$(XDG_CACHE_HOME="$scratch/camera/cache" timed "$view" --make "$camera" --threads "$ours_threads" --first 40)
echo "ours, $ours_threads worker(s):       first 40 $t40   all $tall"
echo "    ($(head -1 "$scratch/out"))"
t40=$(first40 | timed bash -c gdk)
tall=$(list | timed bash -c gdk)
echo "gdk-pixbuf-thumbnailer, serial:  first 40 $t40   all $tall"
folder=$photos

echo "-- warm cache --"
twarm=$(XDG_CACHE_HOME="$scratch/ours/cache" timed "$view" --make "$photos" --threads "$ours_threads" --first 40)
echo "ours, $ours_threads worker(s): $twarm    ($(head -1 "$scratch/out"))"

echo "-- the view, offscreen, 1000 x 700 --"
XDG_CACHE_HOME="$scratch/ours/cache" QT_QPA_PLATFORM=offscreen "$view" --bench-view "$photos" 2>/dev/null |
  sed 's/^/warm: /'
XDG_CACHE_HOME="$scratch/cold" QT_QPA_PLATFORM=offscreen "$view" --bench-view "$photos" 2>/dev/null | sed 's/^/cold: /'
XDG_CACHE_HOME="$scratch/big" QT_QPA_PLATFORM=offscreen "$view" --bench-view "$big" 2>/dev/null |
  sed 's/^/10,000 files, cold: /'
XDG_CACHE_HOME="$scratch/big" QT_QPA_PLATFORM=offscreen "$view" --bench-view "$big" 2>/dev/null |
  sed 's/^/10,000 files, warm: /'
