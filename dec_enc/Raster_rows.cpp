#include "dec_enc/Raster_rows.h"

#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"

#include <cstring>

int ReadWith(CODEC_CTX& ctx, DecoderFn decode)
{
    if (int rc = LoadWholeFile(ctx.input_file_name, ctx.file); rc != kOk)
        return rc;
    return decode(ctx, std::span<const std::uint8_t>(ctx.file.data(), ctx.file.size()));
}

void BitsToBgr(const std::uint8_t* bits, int width, std::uint8_t set, std::uint8_t clear, std::uint8_t* dst)
{
    for (int x = 0; x < width; ++x, dst += 3) {
        const std::uint8_t v = (bits[x >> 3] >> (7 - (x & 7))) & 1 ? set : clear;
        dst[0] = v;
        dst[1] = v;
        dst[2] = v;
    }
}

void RgbToBgr(const std::uint8_t* rgb, std::size_t pixels, std::uint8_t* dst)
{
    for (std::size_t i = 0; i < pixels; ++i, rgb += 3, dst += 3) {
        dst[0] = rgb[2];
        dst[1] = rgb[1];
        dst[2] = rgb[0];
    }
}

void GreyToBgr(const std::uint8_t* grey, std::size_t pixels, std::uint8_t* dst)
{
    for (std::size_t i = 0; i < pixels; ++i, dst += 3)
        dst[0] = dst[1] = dst[2] = grey[i];
}
