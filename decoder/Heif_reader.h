// HEIF and HEIC through libheif, inside the decoding helper only: HEVC decoders have the
// longest record of faults on hostile input of any library the program uses.
#pragma once

#include "decoder/Readers.h"

#include <cstdint>
#include <span>

// The primary image, decoded to 8-bit red-green-blue (10-bit samples rounded by libheif),
// alpha laid over white as every reader does. libheif applies the container's rotation and
// mirror ("irot", "imir") and crop once; the Exif orientation the file may also carry is
// left alone. The ICC profile and the nclx code points go to the picture's meta. Depth
// reported: 24, 32 with alpha; compression name "HEVC".
int ReadHeifInHelper(std::span<const std::uint8_t> input, HELPER_PICTURE& out);
