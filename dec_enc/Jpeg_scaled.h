// Reduced-size JPEG decoding: the library's DCT scaling (1/2, 1/4, 1/8) decodes a photo
// straight to a fraction of its size, touching a fraction of the work of a full decode.
// For thumbnails and for a quick first look at a large photo.
#pragma once

#include "dec_enc/Codec_ctx.h"

#include <atomic>
#include <cstdint>
#include <span>

// The stored size of a JPEG from its frame header (before any Exif orientation), read
// without decoding the scan. kOk, kMagicError when the bytes do not start a JPEG, or
// kDataError when the header cannot be read.
int ReadJpegSize(std::span<const std::uint8_t> bytes, int& width, int& height);

// Decodes at the smallest of the scales 1/8, 1/4, 1/2 and 1 whose picture (each side
// rounded up, as the library does) is still at least min_width × min_height, into the
// context's target (ReserveTarget: the direct target when set, else the decoded pixel
// buffer), 3 bytes a pixel, blue, green, red. ctx.width and ctx.height become the scaled
// size; *scale_denom (when given) the denominator used. Colour spaces as the full reader:
// grey and YCbCr come out as colour, CMYK and YCCK are turned into RGB. The same size
// cap and claim check as the full reader (kImageTooLarge, kDataError); a refusal gives
// the reason in ctx.failure_reason. With cancel, the flag is read between batches of
// rows: a decode cancelled returns kUnknownError with the reason "cancelled" (a
// progressive file is entropy-decoded whole before the first row, so it cancels only
// after that).
//
// The result is the library's DCT-domain reduction: at 1/8 every pixel is the mean of
// its 8 × 8 block. Reduced further by area averaging it matches a full decode reduced
// the same way to within a few levels (jpeg_scaled_test states the tolerance).
int DecodeJpegScaled(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes, int min_width, int min_height,
                     int* scale_denom = nullptr, const std::atomic<bool>* cancel = nullptr);
