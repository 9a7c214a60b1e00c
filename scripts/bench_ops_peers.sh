#!/usr/bin/env bash
# ravelscope-cli's picture operations beside the nearest equivalents of ImageMagick 6,
# GraphicsMagick and libvips, each as a whole command (open, operation, save) on the same
# 4096 × 4096 24-bit PPM, PPM out, timed side by side with hyperfine.
#
#   scripts/bench_ops_peers.sh [CLI]     CLI defaults to build/ravelscope-cli
#
# Environment: PEERS_DIR (scratch, default /tmp/rvs-peers; the input picture is made there
# once), RUNS (default 5), OPS (space-separated subset of: copy median3 rotate45 edges
# equalize negative grey). Tables go to $PEERS_DIR/<op>.md and all of them to
# $PEERS_DIR/peers.md. Tools that are not installed are left out.
#
# The peers are not bit-for-bit equivalents: ImageMagick and GraphicsMagick work at 16 bits
# a sample, rotate with interpolation and detect edges with their own kernels; libvips has
# Sobel, not Prewitt. ImageMagick gets memory limits large enough to keep its pixel cache in
# memory (the packaged policy would page a picture of this size to disk).
set -euo pipefail

cli=${1:-build/ravelscope-cli}
dir=${PEERS_DIR:-/tmp/rvs-peers}
runs=${RUNS:-5}
ops=${OPS:-copy median3 rotate45 edges equalize negative grey}

command -v hyperfine >/dev/null || { echo "hyperfine is not installed" >&2; exit 1; }
[ -x "$cli" ] || { echo "$cli: not built" >&2; exit 1; }
have() { command -v "$1" >/dev/null 2>&1; }

mkdir -p "$dir"
in=$dir/in.ppm
if [ ! -f "$in" ]; then
    have convert-im6.q16 || { echo "need ImageMagick 6 to make $in (or put a 4096 x 4096 PPM there)" >&2; exit 1; }
    # A smooth two-colour gradient with noise: photograph-like, not flat.
    convert-im6.q16 -limit memory 2GiB -size 4096x4096 gradient:'#203060-#e0b070' -attenuate 0.4 \
        +noise Gaussian -depth 8 "$in"
fi
im="convert-im6.q16 -limit memory 2GiB -limit map 4GiB"

# One table: ravelscope's options, ImageMagick's, GraphicsMagick's, and the vips command
# line after "vips" with IN and OUT standing for the files.
compare() {
    local name=$1 ours=$2 imop=$3 gmop=$4 vipsop=$5
    local cmds=(-n "ravelscope-cli ${ours:-(no operation)}" "$cli convert $ours $in $dir/out-rs.ppm")
    if have convert-im6.q16; then
        cmds+=(-n "convert-im6.q16 ${imop:-(no operation)}" "$im $in $imop $dir/out-im.ppm")
    fi
    if have gm; then
        cmds+=(-n "gm convert ${gmop:-(no operation)}" "gm convert $in $gmop $dir/out-gm.ppm")
    fi
    if have vips; then
        local v=${vipsop//IN/$in}
        cmds+=(-n "vips ${vipsop/ IN OUT/}" "vips ${v//OUT/$dir/out-vips.ppm}")
    fi
    echo "== $name"
    hyperfine --warmup 1 --runs "$runs" --export-markdown "$dir/$name.md" "${cmds[@]}"
}

for op in $ops; do
    case $op in
    copy) compare copy "" "" "" "copy IN OUT" ;;
    median3) compare median3 "--median 3" "-statistic Median 3x3" "-median 1" "rank IN OUT 3 3 4" ;;
    rotate45) compare rotate45 "--rotate 45" "-rotate 45" "-rotate 45" "rotate IN OUT 45" ;;
    edges) compare edges "--edge" "-edge 1" "-edge 1" "sobel IN OUT" ;;
    equalize) compare equalize "--equalize" "-equalize" "-equalize" "hist_equal IN OUT" ;;
    negative) compare negative "--negative" "-negate" "-negate" "invert IN OUT" ;;
    grey) compare grey "--grayscale" "-colorspace gray" "-colorspace gray" "colourspace IN OUT b-w" ;;
    *) echo "unknown operation $op" >&2; exit 2 ;;
    esac
done

{
    for op in $ops; do
        echo "### $op"
        echo
        cat "$dir/$op.md"
        echo
    done
} >"$dir/peers.md"
echo "tables: $dir/peers.md"
