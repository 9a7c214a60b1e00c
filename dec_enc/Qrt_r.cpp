// QRT ray tracer picture reading: width and height as 16-bit numbers, then for each row,
// top first, a 16-bit row number and the row's red, green and blue bytes as three runs.
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Raster_rows.h"

int DecodeQrt(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    ByteCursor in(bytes);
    const std::uint16_t width = in.Word(kLittleEndian);
    const std::uint16_t height = in.Word(kLittleEndian);
    if (width == 0 || height == 0 || in.Size() < 4)
        return kDataError;
    const std::size_t w = width;
    const std::size_t row_bytes = 2 + 3 * w;
    if (!ClaimFits(row_bytes * height, in.Left(), expansion::kStoredHalf, kSmallRaster))
        return kDataError;
    if (int rc = ctx.ReserveDecoded(width, height); rc != kOk)
        return rc;
    ctx.width = width;
    ctx.height = height;
    ctx.bits_per_pixel = 24;
    DecodeRows(ctx, in, row_bytes, 0, false, [w](const std::uint8_t* src, std::uint8_t* dst) {
        const std::uint8_t* r = src + 2;
        for (std::size_t x = 0; x < w; ++x, dst += 3) {
            dst[0] = r[x + 2 * w];
            dst[1] = r[x + w];
            dst[2] = r[x];
        }
    });
    return kOk;
}
