// Pixar picture reading: height and width as 16-bit numbers at offset 416, red-green-blue
// rows from offset 1024, top row first.
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Raster_rows.h"

int DecodePixar(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    ByteCursor in(bytes);
    constexpr std::size_t kDataAt = 1024;
    if (in.Size() < 420)
        return kDataError;
    in.Seek(416);
    const auto height = static_cast<std::int16_t>(in.Word(kLittleEndian));
    const auto width = static_cast<std::int16_t>(in.Word(kLittleEndian));
    if (width < 1 || height < 1)
        return kDataError;
    const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
    if (!ClaimFits(row_bytes * static_cast<std::size_t>(height), in.Size() > kDataAt ? in.Size() - kDataAt : 0,
                   expansion::kStoredHalf, kSmallRaster))
        return kDataError;
    if (int rc = ctx.ReserveDecoded(width, height); rc != kOk)
        return rc;
    ctx.width = width;
    ctx.height = height;
    ctx.bits_per_pixel = 24;
    ctx.compression_name = "None";
    in.Seek(kDataAt);
    DecodeRows(ctx, in, row_bytes, 24, false, [&](const std::uint8_t* src, std::uint8_t* dst) {
        RgbToBgr(src, static_cast<std::size_t>(ctx.width), dst);
    });
    return kOk;
}
