// PBM reading: binary bitmaps ("P4", rows of (width + 7) / 8 bytes, most significant bit
// first) and their plain variant ("P1"). A set bit is black. The picture keeps the width
// the header gives; the padding bits at the end of each row are not shown.
#include "base/Diagnostics.h"
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Netpbm.h"

#include <cstdio>

int DecodePbm(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    ByteCursor in(bytes);
    NETPBM_HEADER h {};
    int rc = ReadNetpbmHeader(ctx, in, NetpbmKind::Bitmap, h);
    if (rc == kMagicError)
        Diagnose("Image file %s not in PBM format", ctx.input_file_name.c_str());
    if (rc != kOk)
        return rc;
    if (rc = SizeNetpbmPicture(in, h, ctx); rc != kOk)
        return rc;
    ctx.bits_per_pixel = 1;
    ctx.compression_name = "None";
    return DecodeNetpbmRaster(in, h, ctx);
}
