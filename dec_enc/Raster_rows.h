// Shared pieces of the small raster readers: loading the file, checking that a header's
// claimed raster can be in it and converting rows to blue-green-red.
#pragma once

#include "base/Byte_order.h"
#include "dec_enc/Codec_ctx.h"
#include "base/File_io.h"
#include "base/Result_codes.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

// Claims of raster data up to this size always pass ClaimFits in the small readers, so a
// short tail shows as black rows instead of a refusal.
inline constexpr std::uint64_t kSmallRaster = 64 * 1024;

// Bits, most significant first: a set bit gives `set`, a clear one `clear` (both 0 or 255).
void BitsToBgr(const std::uint8_t* bits, int width, std::uint8_t set, std::uint8_t clear, std::uint8_t* dst);
void RgbToBgr(const std::uint8_t* rgb, std::size_t pixels, std::uint8_t* dst);
void GreyToBgr(const std::uint8_t* grey, std::size_t pixels, std::uint8_t* dst);

// Decodes height rows of src_row_bytes each from the cursor, bottom row first when
// bottom_up. A row cut short by the end of the data is converted with zero bytes in place
// of the missing ones and then blacked out from the first pixel that had no data (pixels
// of src_bits bits each; 0: the whole row); later rows are black.
template <typename Convert>
void DecodeRows(CODEC_CTX& ctx, ByteCursor& in, std::size_t src_row_bytes, int src_bits, bool bottom_up,
                Convert convert)
{
    for (int i = 0; i < ctx.height; ++i) {
        const int y = bottom_up ? ctx.height - 1 - i : i;
        auto s = in.Take(src_row_bytes);
        if (s.size() == src_row_bytes) {
            convert(s.data(), ctx.DecodedRow(y));
            continue;
        }
        std::uint8_t* dst = ctx.DecodedRow(y);
        const bool staged = ctx.row.Reserve(src_row_bytes) == kOk;
        if (staged) {
            std::fill(ctx.row.data(), ctx.row.data() + src_row_bytes, std::uint8_t{0});
            std::copy(s.begin(), s.end(), ctx.row.data());
            convert(ctx.row.data(), dst);
        }
        const std::size_t have = staged && src_bits > 0 ? s.size() * 8 / static_cast<std::size_t>(src_bits) : 0;
        const std::size_t from = std::min(have, static_cast<std::size_t>(ctx.width)) * 3;
        std::fill(dst + from, dst + ctx.RowBytes(), std::uint8_t{0});
        for (int j = i + 1; j < ctx.height; ++j) {
            std::uint8_t* r = ctx.DecodedRow(bottom_up ? ctx.height - 1 - j : j);
            std::fill(r, r + ctx.RowBytes(), std::uint8_t{0});
        }
        return;
    }
}
