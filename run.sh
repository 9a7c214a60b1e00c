#!/usr/bin/env bash
# Installs what is missing, builds, and starts the viewer on the bundled sample pictures
# (or on the files given). Without the viewer in this build, prints what the command-line
# tool reads from them instead.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
ensure_packages
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)"
files=("$@")
[ ${#files[@]} -eq 0 ] && files=(build/samples/*.ppm build/samples/*.pgm build/samples/*.tga \
  build/samples/*.bmp build/samples/*.sun)
if [ -x build/viewer/ravelscope ]; then
  exec build/viewer/ravelscope "${files[0]}"
fi
echo "The viewer is not part of this build yet; ravelscope-cli info on the sample pictures:"
build/ravelscope-cli info "${files[@]}" || true
