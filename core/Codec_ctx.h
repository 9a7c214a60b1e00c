// The decoder context: the one working record that readers fill and writers drain.
//
// Every picture-sized buffer is sized to the picture when a codec asks for it and keeps
// its capacity afterwards; nothing is allocated up front. A request that would pass
// kMaxPictureBytes is refused with kImageTooLarge before any memory is touched.
#pragma once

#include "core/Pixel_buffer.h"
#include "platform/Dib.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TIMAGE_INFO;

struct CODEC_CTX {
    CODEC_CTX();
    ~CODEC_CTX();
    CODEC_CTX(const CODEC_CTX&) = delete;
    CODEC_CTX& operator=(const CODEC_CTX&) = delete;

    std::unique_ptr<Dib> decoder_bitmap; // the bitmap the BMP reader loads its file into
    std::string input_file_name;
    std::string output_file_name;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t bits_per_pixel = 0;      // the source's depth as the reader reports it
    std::int32_t out_bits_per_pixel = 24; // the depth a writer is to produce
    PixelBuffer work;                     // the edited picture (blue, green, red)
    PixelBuffer decoded;                  // the picture as read: 3 bytes a pixel, blue, green, red
    PixelBuffer quad;                     // 4 bytes a pixel: blue, green, red, unused (JPEG)
    std::vector<std::uint8_t*> row_pointers; // one per row: red-green-blue rows for the PNG writer
    double rotation_angle = 0.0;
    CODEC_CTX* prev_state = nullptr; // undo chain links
    CODEC_CTX* next_state = nullptr;
    std::vector<std::int16_t> row_lengths; // encoded row lengths (MSP)
    PixelBuffer unpack;                    // one byte a pixel from bit unpacking
    PixelBuffer raw_rows;                  // undecoded rows or a whole undecoded raster
    PixelBuffer row;                       // staging for one 24-bit row
    PixelBuffer index;                     // one palette index a pixel; general row staging
    PixelBuffer quad_row;                  // one row of 4-byte pixels (SGI)
    PixelBuffer file;                      // a whole file read into memory
    PixelBuffer expanded;                  // run-length-decoded data
    bool right_to_left = false;            // TGA writer: store rows right to left
    bool top_to_bottom = false;            // TGA writer: store rows top to bottom
    std::vector<std::uint32_t> rle_starts; // per row and channel (SGI)
    std::vector<std::uint32_t> rle_lengths;
    std::string compression_name;
    std::uint8_t palette[256 * 3] = {};

    // Planar rows for the PCX and DCX writers (red row, green row, blue row per picture
    // row), kept apart so that preparing a save never overwrites the picture as read.
    PixelBuffer planar;
    // Red-green-blue rows that row_pointers address while a PNG save runs.
    PixelBuffer save_rows;
    // True while the index buffer and palette describe the current picture (after a GIF
    // read or a colour reduction, until the next open or edit).
    bool index_matches_picture = false;
    // Multi-page containers (DCX): the page a reader opens (0: the first), and the offsets
    // of every page of the file last read, for stepping through them.
    std::int32_t page_index = 0;
    std::vector<std::uint32_t> page_offsets;
    // The document this context belongs to; null for a free-standing context (tests,
    // fuzzing). Readers reach the direct-decode flag and the display bitmap through it.
    TIMAGE_INFO* document = nullptr;

    // Sizes the decoded pixel buffer for a width × height picture. Returns kDataError for
    // a size below 1, kImageTooLarge past the cap, kMemoryError, or kOk.
    [[nodiscard]] int ReserveDecoded(std::int64_t w, std::int64_t h);
    std::uint8_t* DecodedRow(int y) { return decoded.data() + static_cast<std::size_t>(y) * RowBytes(); }
    std::size_t RowBytes() const { return static_cast<std::size_t>(width) * 3; }

    // The pixels a writer saves: the working pixel buffer while the document is edited,
    // else the decoded pixel buffer.
    const std::uint8_t* WriterSource() const;

    // The display bitmap when the document's direct-decode flag is set, else null.
    Dib* DirectTarget();
    // The document's display bitmap (created when missing), or null without a document.
    Dib* DisplayBitmap();
    // Sizes the display bitmap to width × height at 24 bits, for readers that draw it.
    [[nodiscard]] int SizeDisplayBitmap();
};

// Fills a 3-byte-per-pixel row with the colour a truncated file leaves: black.
void FillMissingRows(CODEC_CTX& ctx, int first_row);
