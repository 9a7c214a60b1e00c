// Reduced-size JPEG decoding through libjpeg-turbo's DCT scaling, integer DCT.
//
// The checks before decoding are the full reader's (dec_enc/Jpeg_r.cpp): a start-of-image
// marker, pictures wider and taller than 4096 refused, a header claiming more blocks than
// the file could encode refused, an unknown colour space not supported. The library
// reports errors by a long jump (Jpeg_err.h); the functions that set the jump point hold
// no object with a destructor across it.
#include "dec_enc/Jpeg_scaled.h"

#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Jpeg_err.h"
#include "dec_enc/Jpeg_rows.h"

#include <algorithm>
#include <cstring>

namespace {

// The reasons of the refusals shared with the full reader; kOk when the header passes.
int CheckHeader(CODEC_CTX& ctx, const jpeg_decompress_struct& cinfo, std::size_t file_bytes)
{
    const JDIMENSION w = cinfo.image_width, h = cinfo.image_height;
    if ((w > 4096 && h > 4096) || PictureBytes(w, h, 4) == SIZE_MAX)
        return Refuse(ctx, kImageTooLarge, "wider and taller than 4096 pixels");
    if (!cinfo.arith_code &&
        !ClaimFits(static_cast<std::uint64_t>(w) * h, file_bytes, expansion::kJpegHuffman))
        return Refuse(ctx, kDataError, "the header claims more than the file holds");
    if (cinfo.jpeg_color_space == JCS_UNKNOWN)
        return Refuse(ctx, kFormatNotSupported, "an unknown colour space");
    return kOk;
}

int ScaledDecode(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes, int min_width, int min_height,
                 int* scale_denom, const std::atomic<bool>* cancel)
{
    JPEG_ERROR err;
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = InstallJpegErrors(err);
    volatile int rc = kUnknownError; // a library error, unless set before the jump
    if (setjmp(err.jump)) {
        const bool precision = err.pub.msg_code == JERR_BAD_PRECISION;
        if (rc == kUnknownError && ctx.failure_reason.empty()) {
            char message[JMSG_LENGTH_MAX] = {};
            err.pub.format_message(reinterpret_cast<j_common_ptr>(&cinfo), message);
            ctx.failure_reason = message;
        }
        jpeg_destroy_decompress(&cinfo);
        if (precision)
            return Refuse(ctx, kBitDepthNotSupported, "12-bit samples");
        return rc;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kJpegMaxLibraryMemory;
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    if (const int refused = CheckHeader(ctx, cinfo, bytes.size()); refused != kOk) {
        jpeg_destroy_decompress(&cinfo);
        return refused;
    }

    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.scale_num = 1;
    cinfo.scale_denom = 1;
    for (const unsigned denom : {8u, 4u, 2u}) {
        const std::int64_t w = (cinfo.image_width + denom - 1) / denom;
        const std::int64_t h = (cinfo.image_height + denom - 1) / denom;
        if (w >= min_width && h >= min_height) {
            cinfo.scale_denom = denom;
            break;
        }
    }
    if (scale_denom != nullptr)
        *scale_denom = static_cast<int>(cinfo.scale_denom);
    ctx.bits_per_pixel = cmyk ? 32 : cinfo.num_components == 1 ? 8 : 24;
    jpeg_start_decompress(&cinfo);

    const std::size_t pixels = cinfo.output_width;
    int sized = ctx.ReserveTarget(cinfo.output_width, cinfo.output_height);
    if (sized == kOk && cmyk)
        sized = ctx.quad_row.Reserve(pixels * 4 * kJpegRowsPerCall);
    if (sized != kOk) {
        rc = sized;
        std::longjmp(err.jump, 1);
    }
    JSAMPROW rows[kJpegRowsPerCall];
    while (cinfo.output_scanline < cinfo.output_height) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            ctx.failure_reason = "cancelled";
            rc = kUnknownError;
            std::longjmp(err.jump, 1);
        }
        const JDIMENSION first = cinfo.output_scanline;
        const JDIMENSION want = std::min<JDIMENSION>(kJpegRowsPerCall, cinfo.output_height - first);
        for (JDIMENSION i = 0; i < want; ++i)
            rows[i] = cmyk ? ctx.quad_row.data() + i * pixels * 4 : ctx.TargetRow(static_cast<int>(first + i));
        const JDIMENSION got = jpeg_read_scanlines(&cinfo, rows, want);
        if (got == 0) { // the memory source never suspends; nothing back means a broken stream
            ctx.failure_reason = "the scan gives no rows";
            std::longjmp(err.jump, 1);
        }
        if (cmyk)
            for (JDIMENSION i = 0; i < got; ++i)
                CmykToBgr(rows[i], ctx.TargetRow(static_cast<int>(first + i)), pixels,
                             cinfo.saw_Adobe_marker != 0);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return kOk;
}

int HeaderSize(std::span<const std::uint8_t> bytes, int& width, int& height)
{
    JPEG_ERROR err;
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = InstallJpegErrors(err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return kDataError;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    width = static_cast<int>(std::min<JDIMENSION>(cinfo.image_width, 1u << 30));
    height = static_cast<int>(std::min<JDIMENSION>(cinfo.image_height, 1u << 30));
    jpeg_destroy_decompress(&cinfo);
    return width > 0 && height > 0 ? kOk : kDataError;
}

bool StartsJpeg(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8;
}

} // namespace

int ReadJpegSize(std::span<const std::uint8_t> bytes, int& width, int& height)
{
    width = height = 0;
    if (!StartsJpeg(bytes))
        return kMagicError;
    return HeaderSize(bytes, width, height);
}

int DecodeJpegScaled(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes, int min_width, int min_height,
                     int* scale_denom, const std::atomic<bool>* cancel)
{
    ctx.failure_reason.clear();
    if (!StartsJpeg(bytes))
        return kMagicError;
    return ScaledDecode(ctx, bytes, min_width, min_height, scale_denom, cancel);
}
