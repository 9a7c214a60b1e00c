// The Exif orientation of a JPEG file: the one camera tag the viewer acts on.
#pragma once

#include <cstdint>
#include <span>

// Orientation 1..8 from the first APP1 "Exif" segment's IFD0 tag 0x0112, or 0 when the
// bytes hold no such segment, the tag is missing, or its value lies outside 1..8. Reads
// only the markers before the first scan; every offset is checked against the bytes.
int ExifOrientation(std::span<const std::uint8_t> jpeg);
