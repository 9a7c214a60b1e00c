// The decoder context: the one working record that readers fill and writers drain.
//
// Every picture-sized buffer is sized to the picture when a codec asks for it and keeps
// its capacity afterwards; nothing is allocated up front. A request that would pass
// kMaxPictureBytes is refused with kImageTooLarge before any memory is touched.
#pragma once

#include "base/File_io.h"
#include "base/Pixel_buffer.h"
#include "platform/Dib.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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
    std::vector<std::uint8_t*> row_pointers; // one per row: where the PNG reader puts it
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
    // Colour table of the palette formats, one entry of blue, green, red per index (the
    // pixel layout's order), whatever order the file keeps it in.
    std::uint8_t palette[256 * 3] = {};

    // One planar row for the PCX and DCX writers (red bytes, green bytes, blue bytes), kept
    // apart so that a save never overwrites the picture as read.
    PixelBuffer planar;
    // Filtered rows of the PNG writer.
    PixelBuffer save_rows;
    // True while the index buffer and palette describe the current picture (after a GIF
    // read or a colour reduction, until the next open or edit).
    bool index_matches_picture = false;

    // Set by the caller before a reader runs (the open dispatcher; null in a free-standing
    // context): the bitmap the reader draws the picture into instead of the decoded pixel
    // buffer. Readers reach it through ReserveTarget and TargetRow, or copy their decoded
    // rows into it with CopyToDirectTarget.
    Dib* direct_target = nullptr;
    // Set by a reader: the picture is in direct_target (the caller clears it first).
    bool drew_direct = false;
    // Set by a reader that loads its picture as a whole bitmap while a direct target is
    // set (BMP): that bitmap, for the caller to install in place of the direct target.
    std::unique_ptr<Dib> handed_back;

    // Set by the caller while a reader decodes the bytes of a mapped file (null otherwise):
    // readers that go through their bytes front to back call ReleaseInputBefore now and
    // then with the first byte they still need, and the pages before it are given back.
    MappedFile* input_map = nullptr;
    void ReleaseInputBefore(const std::uint8_t* p) const
    {
        if (input_map != nullptr)
            input_map->ReleaseBefore(p);
    }

    // Set by the caller before a writer or colour reduction runs (the save dispatcher and
    // the edit commit): the working pixel buffer, not the decoded one, holds the picture.
    bool edited = false;
    // Set by an editor that changes the display bitmap without copying it here: the
    // working pixel buffer is behind the picture shown, and the next save copies the
    // display bitmap into it before a writer runs.
    bool work_behind = false;
    // Set by the caller before a writer runs: the display bitmap, whose rows the writers
    // encode as they stand (SourceRow); null: they take the context's own buffers.
    const Dib* source_bitmap = nullptr;
    // Set by the caller before a lossy writer runs: the quality, 1 (smallest) to 100 (best),
    // and whether a writer that can should keep every pixel exactly instead.
    std::int32_t quality = 90;
    bool lossless = false;
    // The AVIF encoder's speed, 0 (slowest, smallest) to 10 (fastest).
    std::int32_t speed = 6;
    // Why the last reader or writer failed, in words for the person who asked ("the file
    // ends early"); empty when the result code says all there is. Shown after the result
    // text: "Data Error. (the file ends early)". A reader clears it when it starts.
    std::string failure_reason;
    // What the file carries beside its pixels, kept so a save can carry it on and the
    // colours can be shown as the file means them.
    struct PICTURE_META {
        std::vector<std::uint8_t> icc_profile; // the embedded ICC profile, whole
        std::vector<std::uint8_t> exif;        // the Exif block from its TIFF header on
        std::string comment;                   // the file's comment (JPEG COM, PNG tEXt)
        // Coding-independent code points (ITU-T H.273) where the file states them (an AVIF
        // or HEIF "nclx" colour box, a JPEG XL colour encoding): -1 when it does not.
        std::int32_t colour_primaries = -1;
        std::int32_t transfer_characteristics = -1;
        std::int32_t matrix_coefficients = -1;
        bool full_range = true;
        // The samples as stored (8, 10, 12, 16), before the reader rounded them to 8 bits;
        // 0 when the reader does not say.
        std::int32_t bits_per_sample = 0;
        bool alpha = false;            // the picture has an alpha channel, laid over white
        std::int32_t frame_count = 0;  // frames of an animation; 0: a still picture
        std::int64_t duration_ms = 0;  // the animation's frame delays added up, as stored
        std::int32_t loop_count = -1;  // how often the animation plays; 0 forever, -1 unknown
        void Clear()
        {
            icc_profile.clear();
            exif.clear();
            comment.clear();
            colour_primaries = transfer_characteristics = matrix_coefficients = -1;
            full_range = true;
            bits_per_sample = 0;
            alpha = false;
            frame_count = 0;
            duration_ms = 0;
            loop_count = -1;
        }
    } meta;
    // Multi-page containers (DCX): the page a reader opens (0: the first), and the offsets
    // of every page of the file last read, for stepping through them.
    std::int32_t page_index = 0;
    std::vector<std::uint32_t> page_offsets;

    // Sizes the decoded pixel buffer for a width × height picture. Returns kDataError for
    // a size below 1, kImageTooLarge past the cap, kMemoryError, or kOk.
    [[nodiscard]] int ReserveDecoded(std::int64_t w, std::int64_t h);
    std::uint8_t* DecodedRow(int y) { return decoded.data() + static_cast<std::size_t>(y) * RowBytes(); }
    const std::uint8_t* DecodedRow(int y) const
    {
        return decoded.data() + static_cast<std::size_t>(y) * RowBytes();
    }
    std::size_t RowBytes() const { return static_cast<std::size_t>(width) * 3; }

    // The picture's target for a w × h picture: the direct target sized to it at 24 bits
    // (and drew_direct set) when the caller gave one, else the decoded pixel buffer. Sets
    // width and height on success. Returns kOk, or the code of ReserveDecoded.
    [[nodiscard]] int ReserveTarget(std::int64_t w, std::int64_t h);
    // Row y of the target ReserveTarget sized: width × 3 bytes, blue, green, red.
    std::uint8_t* TargetRow(int y)
    {
        return direct_target != nullptr ? direct_target->ScanLine(y) : DecodedRow(y);
    }
    // For readers that decode into the decoded pixel buffer: copies it into the direct
    // target when the caller gave one (and sets drew_direct). Returns kOk or the bitmap's
    // sizing code.
    [[nodiscard]] int CopyToDirectTarget();

    // The pixels a writer saves: the working pixel buffer while edited, else the decoded
    // pixel buffer.
    const std::uint8_t* WriterSource() const { return edited ? work.data() : decoded.data(); }
    // Row y of the picture a writer saves, width × 3 bytes, blue, green, red: the source
    // bitmap's scan line when the caller gave one (the picture shown), else the row of
    // WriterSource(). Writers read their rows here, so a save makes no copy of the picture.
    const std::uint8_t* SourceRow(int y) const
    {
        return source_bitmap != nullptr ? source_bitmap->ScanLine(y)
                                        : WriterSource() + static_cast<std::size_t>(y) * RowBytes();
    }
    // Whether SourceRow can serve a width × height picture: a 24-bit source bitmap at least
    // that large, or without one a source buffer that holds the picture.
    bool HasSourceRows() const;
};

// Records why a codec failed and returns its code: `return Refuse(ctx, kDataError, "the file
// ends early");`.
inline int Refuse(CODEC_CTX& ctx, int code, std::string reason)
{
    ctx.failure_reason = std::move(reason);
    return code;
}

// Reasons many readers give, worded once.
inline constexpr const char* kReasonEndsEarly = "the file ends early";
inline constexpr const char* kReasonHeaderCut = "the file ends inside its header";
inline constexpr const char* kReasonTooShort = "the file is too short for the picture its header describes";
inline constexpr const char* kReasonOver4096 = "the picture is wider and taller than 4096 pixels";

// Fills a 3-byte-per-pixel row with the colour a truncated file leaves: black.
void FillMissingRows(CODEC_CTX& ctx, int first_row);

// Sizes `dib` to the context's picture at 24 bits and copies the decoded rows into it,
// padding bytes zero. Returns kOk, kDataError when the decoded pixel buffer holds less
// than the picture, or the bitmap's sizing code.
[[nodiscard]] int CopyDecodedTo(const CODEC_CTX& ctx, Dib& dib);
