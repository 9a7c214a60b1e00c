// The small JPEG a camera stores beside the photo in its Exif segment.
#pragma once

#include <cstdint>
#include <span>

// The embedded thumbnail of a JPEG file: the bytes IFD1's JPEGInterchangeFormat (0x0201)
// and JPEGInterchangeFormatLength (0x0202) name inside the first APP1 "Exif" segment, when
// they lie wholly inside that segment and start with a start-of-image marker; empty
// otherwise. Reads only the markers before the first scan; every offset is checked
// against the bytes. The thumbnail is stored the way the photo is (the photo's Exif
// orientation applies to it too) and is often small (160 × 120) or letterboxed.
std::span<const std::uint8_t> ExifThumbnail(std::span<const std::uint8_t> jpeg);
