// The camera orientation step of an open: JPEG files are shown the way they were taken.
#pragma once

#include <cstdint>
#include <span>

class TIMAGE_INFO;

// Reads the Exif orientation of the file's bytes (0 when it has none) into the
// document's orientation field and turns the picture just read to match: the context's
// decoded pixels, or with direct set the display bitmap the reader drew; the context's
// width and height follow. Orientation 1, none or an unknown value leaves the pixels
// untouched. A turned picture's Exif block (the context's meta) gets orientation 1 and
// loses its thumbnail. Returns kOk, or a sizing code (the picture is left as read then).
std::int32_t OrientOpenedPicture(TIMAGE_INFO& doc, std::span<const std::uint8_t> bytes, bool direct);
