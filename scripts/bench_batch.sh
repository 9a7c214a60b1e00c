#!/usr/bin/env bash
# Batch conversion of 1000 small pictures (64 x 64 PPM) to PNG on all cores:
# ravelscope-cli's batch mode beside ImageMagick's mogrify and shell loops over single
# conversions. scripts/bench_batch.sh [BUILD_DIR] [WORK_DIR]
# The work directory's file system matters: every save of ours is synced to the disk
# (file and directory), which mogrify does not do; a tmpfs work directory (/dev/shm)
# shows the work without the disk.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cli=$(cd "${1:-$src/build}" && pwd)/ravelscope-cli
work=${2:-/tmp/rvs-batch}
runs=${RUNS:-5}
count=${COUNT:-1000}
jobs=$(nproc)
mkdir -p "$work/in" && cd "$work"

# Photo-like small pictures: gradients with a little noise, each a little different.
if [ "$(find in -name '*.ppm' | wc -l)" -ne "$count" ]; then
  rm -f in/*.ppm
  python3 - "$count" <<'EOF'
import random, sys
random.seed(7)
for i in range(int(sys.argv[1])):
    px = bytearray()
    for y in range(64):
        for x in range(64):
            n = random.randrange(16)
            px += bytes(((x * 4 + n) & 255, (y * 4 + n) & 255, ((x + y) * 2 + i) & 255))
    with open("in/p%04d.ppm" % i, "wb") as f:
        f.write(b"P6\n64 64\n255\n" + px)
EOF
fi

fresh() { echo "rm -rf $work/out && mkdir -p $work/out"; }
echo "## $count pictures of 64 x 64, PPM to PNG, $jobs cores, work directory on $(df --output=fstype "$work" | tail -1)"
hyperfine --warmup 1 --runs "$runs" --style none --export-markdown "$work/table.md" --prepare "$(fresh)" \
  -n "ravelscope-cli convert -o (batch, -j $jobs)" "$cli convert in/*.ppm -o out --to png" \
  -n "mogrify -format png -path" "mogrify -format png -path out in/*.ppm" \
  -n "shell loop over ravelscope-cli convert" \
  "for f in in/*.ppm; do $cli convert \"\$f\" out/\$(basename \"\$f\" .ppm).png; done" \
  -n "xargs -P $jobs over ravelscope-cli convert" \
  "ls in/*.ppm | xargs -P $jobs -I{} sh -c '$cli convert {} out/\$(basename {} .ppm).png'" \
  >/dev/null 2>&1
cat "$work/table.md"
