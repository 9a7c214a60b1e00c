#!/usr/bin/env bash
# Prints a digest line per open of every file of the fuzz corpora, the fuzz regressions
# and the sample corpus (result code, size, depth, format, hash of the display pixels),
# decoded by the library of one build; each file opens with the extension its directory
# is named after. Run it over the build before and after a refactor
# of the readers and compare the outputs: any difference is a change of behaviour.
#   scripts/decode_digest.sh SOURCE_DIR BUILD_DIR > digest.tsv
# SOURCE_DIR is the tree BUILD_DIR was configured from (its headers); the digest tool
# itself comes from this script's tree.
set -euo pipefail
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)
corpus=${RAVELSCOPE_CORPUS:-/work/shared/corpus}
tool=$(mktemp)
scratch=$(mktemp -d)
trap 'rm -rf "$tool" "$scratch"' EXIT
c++ -std=c++20 -O2 -I"$src" "$here/tools/decode_digest.cpp" "$build/libravelscope_core.a" \
  -lpng -ljpeg -ltiff -lz -lpthread -o "$tool"
{
  find "$here/fuzz/corpus" "$here/fuzz/regressions" -type f
  [ -d "$corpus" ] && find "$corpus" -mindepth 2 -type f
} | LC_ALL=C sort | "$tool" "$scratch" 2>/dev/null | sed "s|$here/||; s|$corpus/|corpus/|"
