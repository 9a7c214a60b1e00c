// The Exif block of a JPEG file: the orientation, the one camera tag the viewer acts on,
// and the two changes a save makes to a block it carries on.
#pragma once

#include <cstdint>
#include <span>

// Orientation 1..8 from the first APP1 "Exif" segment's IFD0 tag 0x0112, or 0 when the
// bytes hold no such segment, the tag is missing, or its value lies outside 1..8. Reads
// only the markers before the first scan; every offset is checked against the bytes.
int ExifOrientation(std::span<const std::uint8_t> jpeg);

// The same tag in an Exif block from its TIFF header on (CODEC_CTX::meta.exif); 0 without.
int ExifBlockOrientation(std::span<const std::uint8_t> tiff);

// Sets IFD0's orientation tag to 1 (the pixels as stored are the picture as shown), for a
// block whose picture was turned. True when it changed a value.
bool ResetExifOrientation(std::span<std::uint8_t> tiff);

// Unlinks IFD1, the thumbnail, from IFD0 (its bytes stay, unreferenced), for a block whose
// picture changed since the thumbnail was made. True when there was one.
bool DropExifThumbnail(std::span<std::uint8_t> tiff);
