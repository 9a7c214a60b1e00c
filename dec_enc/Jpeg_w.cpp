// JPEG writing through the IJG API of libjpeg-turbo: a baseline JFIF file, YCbCr, quality
// 75, floating-point DCT, from the 4-byte pixel buffer (blue, green, red, unused), which
// the library takes as it stands (RGB pixels of 4 bytes, red at offset 2).
#include "core/File_io.h"
#include "core/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Jpeg_err.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kRowsPerCall = 16;

int EncodeJpeg(CODEC_CTX& ctx, FILE* file)
{
    JPEG_ERROR err;
    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = InstallJpegErrors(err);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return kUnknownError;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(ctx.width);
    cinfo.image_height = static_cast<JDIMENSION>(ctx.height);
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 75, TRUE);
    cinfo.dct_method = JDCT_FLOAT;
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t stride = static_cast<std::size_t>(ctx.width) * 4;
    JSAMPROW rows[kRowsPerCall];
    while (cinfo.next_scanline < cinfo.image_height) {
        const JDIMENSION first = cinfo.next_scanline;
        const JDIMENSION n = std::min<JDIMENSION>(kRowsPerCall, cinfo.image_height - first);
        for (JDIMENSION i = 0; i < n; ++i)
            rows[i] = ctx.quad.data() + (first + i) * stride;
        jpeg_write_scanlines(&cinfo, rows, n);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return kOk;
}

} // namespace

int WriteJpeg(CODEC_CTX& ctx)
{
    if (ctx.width < 1 || ctx.height < 1 || ctx.quad.size() < PictureBytes(ctx.width, ctx.height, 4))
        return kDataError;
    FilePtr f = OpenForWrite(ctx.output_file_name);
    if (!f)
        return kOpenFileError;
    if (int rc = EncodeJpeg(ctx, f.get()); rc != kOk)
        return rc;
    return FinishWrite(std::move(f));
}
