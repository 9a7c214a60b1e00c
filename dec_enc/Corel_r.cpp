// Corel Photo-Paint reading: a TIFF-like start ("II*", 0, then the offset o of the
// directory), the width at o + 34 and the height at o + 46 (32-bit numbers), and
// red-green-blue rows from offset 124, bottom row first.
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Raster_rows.h"

int DecodeCorel(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    ByteCursor in(bytes);
    if (in.Dword(kLittleEndian) != 2771273u)
        return kOpenFileError;
    const std::uint32_t o = in.Dword(kLittleEndian);
    if (!in.Seek(std::size_t {o} + 34) || in.Left() < 16)
        return kDataError;
    const std::uint32_t width = in.Dword(kLittleEndian);
    in.Skip(8);
    const std::uint32_t height = in.Dword(kLittleEndian);
    ctx.compression_name = "None";
    ctx.bits_per_pixel = 24;
    if (width == 0 || height == 0)
        return kDataError;
    constexpr std::size_t kDataAt = 124;
    const std::size_t raster = PictureBytes(width, height, 3);
    if (raster == SIZE_MAX)
        return kImageTooLarge;
    if (!ClaimFits(raster, in.Size() > kDataAt ? in.Size() - kDataAt : 0, expansion::kStoredHalf, kSmallRaster))
        return kDataError;
    if (int rc = ctx.ReserveDecoded(width, height); rc != kOk)
        return rc;
    ctx.width = static_cast<std::int32_t>(width);
    ctx.height = static_cast<std::int32_t>(height);
    in.Seek(kDataAt);
    DecodeRows(ctx, in, ctx.RowBytes(), 24, true, [&](const std::uint8_t* src, std::uint8_t* dst) {
        RgbToBgr(src, static_cast<std::size_t>(ctx.width), dst);
    });
    return kOk;
}
