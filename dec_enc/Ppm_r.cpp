// PPM reading: binary pixmaps ("P6") and their plain variant ("P3"), red, green, blue per
// pixel; samples scaled from 0..maxval to 0..255, two big-endian bytes each when maxval is
// above 255. Rows go straight into the caller's direct target when it gives one.
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Netpbm.h"

int DecodePpm(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    ByteCursor in(bytes);
    NETPBM_HEADER h {};
    int rc = ReadNetpbmHeader(ctx, in, NetpbmKind::Pixmap, h);
    if (rc != kOk)
        return rc;
    ctx.compression_name = "None";
    ctx.bits_per_pixel = 24;
    if (h.width > 4096 && h.height > 4096)
        return Refuse(ctx, kImageTooLarge, kReasonOver4096);
    if (rc = SizeNetpbmPicture(in, h, ctx); rc != kOk)
        return rc;
    return DecodeNetpbmRaster(in, h, ctx);
}
