// Rows of four-channel pixels as the picture libraries hand them out, turned into the
// document's blue-green-red rows. Alpha is laid over white the way the PNG reader does it
// (libpng's composite: c·a + 255·(255 − a), divided by 255 with rounding).
#pragma once

#include "dec_enc/Codec_ctx.h"

#include <cstddef>
#include <cstdint>

enum class ChannelOrder { Rgba, Bgra, Rgb, Bgr };

// c over white with coverage a, both 0..255.
inline std::uint8_t OverWhite(unsigned c, unsigned a)
{
    const unsigned t = c * a + 255u * (255u - a) + 128u;
    return static_cast<std::uint8_t>((t + (t >> 8)) >> 8);
}

// One row of n pixels in the given order to blue, green, red (alpha laid over white).
// in and out may be the same row for Bgr and Rgb.
void RowToBgr(const std::uint8_t* in, std::uint8_t* out, std::size_t n, ChannelOrder order);

// Sizes the context's target (ReserveTarget) for a w × h picture and fills it from rows of
// pixels `stride` bytes apart. kOk or ReserveTarget's code.
[[nodiscard]] int PutPicture(CODEC_CTX& ctx, const std::uint8_t* pixels, std::size_t stride, std::int64_t w,
                             std::int64_t h, ChannelOrder order);

// The number of pixels of a w × h picture when it stays under the memory cap
// (kMaxPictureBytes at 4 bytes a pixel), else 0.
std::uint64_t PixelsWithinCap(std::uint64_t w, std::uint64_t h);

// Bytes from one row of the target ReserveTarget sized to the next.
inline std::size_t TargetStride(CODEC_CTX& ctx)
{
    return ctx.direct_target != nullptr ? ctx.direct_target->Stride() : ctx.RowBytes();
}

// The blue-green-red rows a writer encodes: the caller's display bitmap when it is set and
// of the context's size, else WriterSource(). first is null when neither holds the picture.
struct WRITER_ROWS {
    const std::uint8_t* first = nullptr;
    std::size_t stride = 0;
};
WRITER_ROWS FindWriterRows(const CODEC_CTX& ctx);

// Writes bytes to ctx.output_file_name: kOk or kOpenFileError.
int WriteWholeOutput(const CODEC_CTX& ctx, const std::uint8_t* data, std::size_t size);
