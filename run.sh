#!/usr/bin/env bash
# Installs what is missing, builds, and starts the viewer on the given file, or on the
# first of the bundled sample pictures. Without the viewer in this build, prints what the
# command-line tool reads from the sample pictures instead.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
ensure_packages
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)"
if [ -x build/viewer/ravelscope ]; then
  if [ $# -eq 0 ]; then
    # The directory's first picture in the viewer's own order (names in any case).
    first=$(find build/samples -maxdepth 1 -type f ! -name stamp | sort -f | head -n 1)
    set -- "$first"
  fi
  exec build/viewer/ravelscope "$1"
fi
files=("$@")
[ ${#files[@]} -eq 0 ] && files=(build/samples/*.ppm build/samples/*.pgm build/samples/*.tga \
  build/samples/*.bmp build/samples/*.sun)
echo "The viewer is not part of this build yet; ravelscope-cli info on the sample pictures:"
build/ravelscope-cli info "${files[@]}" || true
