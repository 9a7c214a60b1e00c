// JPEG reading through the IJG API of libjpeg-turbo, floating-point DCT.
//
// Any file that starts with a start-of-image marker is read: JFIF, Exif (camera files)
// and files with neither. Samples of 12 bits are refused as a depth the library lacks. The
// library converts every colour space it knows to blue, green, red pixels (greyscale and
// YCbCr alike); CMYK and YCCK come out as CMYK and are turned into RGB here (Adobe files
// store the inks inverted). Rows go straight into the decoded pixel buffer, or into the
// caller's direct target. Depth reported: 24 for colour, 8 for grey, 32 for CMYK.
// Pictures wider and taller than 4096 are refused; so is a header that claims more blocks
// than the file could encode. A file that ends early keeps what the library makes of the
// missing blocks (it continues the last colours).
//
// The library reports errors by a long jump (Jpeg_err.h); DecodeJpegBytes holds no object with
// a destructor across it.
#include "core/File_io.h"
#include "core/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Jpeg_err.h"
#include "dec_enc/Jpeg_source.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr long kMaxLibraryMemory = 1L << 30;
constexpr int kRowsPerCall = 16;

// In place: C, M, Y, K to blue, green, red, unused.
void CmykToBgr(const std::uint8_t* in, std::uint8_t* out, std::size_t pixels, bool inverted)
{
    for (std::size_t i = 0; i < pixels; ++i, in += 4, out += 3) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        const auto r = static_cast<std::uint8_t>((c * k + 127) / 255);
        const auto g = static_cast<std::uint8_t>((m * k + 127) / 255);
        const auto b = static_cast<std::uint8_t>((y * k + 127) / 255);
        out[0] = b;
        out[1] = g;
        out[2] = r;
    }
}

int DecodeJpegBytes(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    JPEG_ERROR err;
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = InstallJpegErrors(err);
    volatile int rc = kUnknownError;
    volatile bool started = false;
    if (setjmp(err.jump)) {
        const bool precision = err.pub.msg_code == JERR_BAD_PRECISION;
        jpeg_destroy_decompress(&cinfo);
        // A picture that breaks off shows no half-written rows.
        if (started)
            for (int y = 0; y < ctx.height; ++y)
                std::memset(ctx.TargetRow(y), 0, ctx.RowBytes());
        return precision ? kBitDepthNotSupported : rc;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kMaxLibraryMemory;
    JpegByteSource source;
    AttachJpegBytes(&cinfo, source, bytes, &ctx);
    jpeg_read_header(&cinfo, TRUE);

    const JDIMENSION w = cinfo.image_width, h = cinfo.image_height;
    if (w > 4096 && h > 4096)
        rc = kImageTooLarge;
    else if (PictureBytes(w, h, 4) == SIZE_MAX)
        rc = kImageTooLarge;
    else if (!cinfo.arith_code && !ClaimFits(static_cast<std::uint64_t>(w) * h, bytes.size(), expansion::kJpegHuffman))
        rc = kDataError;
    else if (cinfo.jpeg_color_space == JCS_UNKNOWN)
        rc = kFormatNotSupported;
    if (rc != kUnknownError) {
        jpeg_destroy_decompress(&cinfo);
        return rc;
    }

    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    cinfo.dct_method = JDCT_FLOAT;
    ctx.bits_per_pixel = cmyk ? 32 : cinfo.num_components == 1 ? 8 : 24;
    jpeg_start_decompress(&cinfo);

    ctx.width = static_cast<std::int32_t>(cinfo.output_width);
    ctx.height = static_cast<std::int32_t>(cinfo.output_height);
    const std::size_t pixels = cinfo.output_width;
    // Rows land in the buffer they end in: the direct target or the decoded pixel buffer.
    // CMYK rows pass through a staging row first.
    int sized = ctx.ReserveTarget(ctx.width, ctx.height);
    if (sized == kOk && cmyk)
        sized = ctx.quad_row.Reserve(pixels * 4 * kRowsPerCall);
    if (sized != kOk) {
        rc = sized;
        std::longjmp(err.jump, 1);
    }

    started = true;
    JSAMPROW rows[kRowsPerCall];
    while (cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION first = cinfo.output_scanline;
        const JDIMENSION want = std::min<JDIMENSION>(kRowsPerCall, cinfo.output_height - first);
        for (JDIMENSION i = 0; i < want; ++i) {
            const int y = static_cast<int>(first + i);
            rows[i] = cmyk ? ctx.quad_row.data() + i * pixels * 4 : ctx.TargetRow(y);
        }
        const JDIMENSION got = jpeg_read_scanlines(&cinfo, rows, want);
        if (got == 0) // a suspending source never comes back with nothing for a stdio file
            std::longjmp(err.jump, 1);
        if (cmyk)
            for (JDIMENSION i = 0; i < got; ++i)
            {
                const int y = static_cast<int>(first + i);
                CmykToBgr(rows[i], ctx.TargetRow(y), pixels, cinfo.saw_Adobe_marker != 0);
            }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return kOk;
}

} // namespace

int DecodeJpeg(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return kMagicError;
    return DecodeJpegBytes(ctx, bytes);
}
