// The bitmap loader behind the BMP reader: Windows and OS/2 bitmap files ("BM", a 14-byte
// file header, then a 12-byte core header or an info header of 16 to 124 bytes).
//
// Handled: 1, 2, 4 and 8 bits per pixel through a colour table (which may be shorter than
// the depth allows; indices past it are black), 16 and 32 bits per pixel plain or with
// channel masks (BI_BITFIELDS, BI_ALPHABITFIELDS; alpha is dropped), 24 bits per pixel,
// BI_RLE8 and BI_RLE4, rows bottom-up or top-down. Every field is checked against the
// file's size before it is used. Pixels come out as blue, green, red bytes.
#pragma once

#include "platform/Dib.h"

#include <cstddef>
#include <cstdint>
#include <span>

struct BMP_INFO {
    std::int32_t width = 0;
    std::int32_t height = 0; // always positive; top_down tells the row order
    bool top_down = false;
    int bit_count = 0;             // 1, 2, 4, 8, 16, 24 or 32
    std::uint32_t compression = 0; // 0 plain, 1 RLE8, 2 RLE4, 3 or 6 channel masks
    std::uint32_t masks[3] = {};   // red, green, blue (16 and 32 bits per pixel)
    std::size_t data_offset = 0;
    std::uint32_t palette[256] = {}; // 0x00BBGGRR; entries past palette_size are black
    int palette_size = 0;
    // The pixel-format class the loaded bitmap reports: 1 and 4 for 1- and 4-bit tables
    // (2-bit tables widen to 4), 15 for 8-bit tables, 16-bit pixels and custom masks,
    // 24, and 32 for plain 32-bit pixels.
    int pixel_class = 0;
    // Why ParseBmpHeader refused the file, in words for the person who asked.
    const char* reason = "";
};

// Reads and checks the headers and the colour table. Returns kOk, kMagicError (no "BM"),
// kDataError (fields that contradict each other or the file's size),
// kBitDepthNotSupported, kCompressionNotSupported (embedded JPEG or PNG, Huffman) or
// kImageTooLarge (pixel rows past kMaxPictureBytes). A packed bitmap (the clipboard's
// layout, and .DIB files of some writers) has no file header: the info header starts the
// data and the pixels follow the colour table.
int ParseBmpHeader(std::span<const std::uint8_t> file, BMP_INFO& info, bool packed = false);

// False when the file holds less than half of the plain rows its header claims, or
// run-length data that could not describe a picture of that size (more than 2048 pixels
// a byte past the first million): such a header is refused before anything is allocated
// for the picture. A file cut shorter than its rows by less shows black where it ends.
bool BmpRowsPresent(std::size_t file_size, const BMP_INFO& info);

// Decodes the pixels into width × height rows of blue, green, red bytes, row y (top to
// bottom) at base + y × stride. Rows the file does not hold, and pixels that run-length
// data skips, are black.
void DecodeBmpPixels(std::span<const std::uint8_t> file, const BMP_INFO& info, std::uint8_t* base,
                     std::size_t stride);

// Parses, checks and decodes a whole file into a 24-bit bitmap.
int LoadBmp(std::span<const std::uint8_t> file, Dib& dib, BMP_INFO& info, bool packed = false);
