// The texts of the image information window, each from the document's facts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The window's own name of a format code; "" for codes it does not name (media among them).
const char* InfoFormatName(std::int32_t format_code);
// "640 x 480 Pixels".
std::string InfoImageSizeText(std::int32_t width, std::int32_t height);
// In kilobytes up to 1024 KB, in megabytes beyond: "1024.00 KB (1048576 Bytes)",
// "1.00 MB (1048577 Bytes)". 64-bit throughout, so files of 2 GiB and more do not wrap.
std::string InfoFileSizeText(std::int64_t bytes);
// Month first, no leading zeros: "1/16/2006 / 9:5:2".
std::string InfoDateTimeText(std::int32_t month, std::int32_t day, std::int32_t year, std::int32_t hour,
                             std::int32_t minute, std::int32_t second);
// "24 BPP", or the writer's depth with "(Modified)" after an edit; "" when the document
// has no depth (the window then keeps "---").
std::string InfoColorText(std::int32_t doc_bpp, bool edited, std::int32_t bpp, std::int32_t output_bpp);
// "999 ms.", "1000 ms. (1.00 sec.)"; "" when load timing is off.
std::string InfoLoadTimeText(bool timing, std::int32_t ms);
// The name of an Exif orientation 1..8 (how the camera was held, as the picture is shown
// turned back); "" for 0 (none) and values outside 1..8.
const char* InfoOrientationName(std::int32_t orientation);
// "12 frames, 1.20 sec., loops forever" ("plays once", "plays 3 times"); "" for a still.
std::string InfoAnimationText(std::int32_t frames, std::int64_t duration_ms, std::int32_t loops);
// "10 bits per sample, alpha, ICC profile, 3144 bytes", each part where the file says it;
// "" when it says none.
std::string InfoSamplesText(std::int32_t bits_per_sample, bool alpha, std::size_t icc_bytes);
