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
// What the file carries beside its pixels goes to the context's meta: the Exif block (the
// first APP1 "Exif" segment, from its TIFF header on), the ICC profile (the APP2
// "ICC_PROFILE" segments put together in the order of their sequence numbers; a set with a
// number missing or twice is dropped) and the first comment (COM).
//
// The library reports errors by a long jump (Jpeg_err.h); DecodeJpegBytes holds no object with
// a destructor across it. A library error's own message becomes the failure reason.
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Jpeg_err.h"
#include "dec_enc/Jpeg_rows.h"
#include "dec_enc/Jpeg_source.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kIccHead = 14; // "ICC_PROFILE\0", sequence number, count

bool IsIccSegment(const jpeg_saved_marker_ptr m)
{
    return m->marker == JPEG_APP0 + 2 && m->data_length > kIccHead &&
           std::memcmp(m->data, "ICC_PROFILE\0", 12) == 0;
}

// Copies the saved markers into meta. Runs between library calls: nothing here jumps.
void CollectMeta(j_decompress_ptr cinfo, CODEC_CTX::PICTURE_META& meta)
{
    std::vector<jpeg_saved_marker_ptr> icc(256, nullptr);
    int icc_count = -1;
    bool icc_ok = true;
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m != nullptr; m = m->next) {
        const std::size_t n = m->data_length;
        if (m->marker == JPEG_APP0 + 1 && meta.exif.empty() && n > 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0) {
            meta.exif.assign(m->data + 6, m->data + n);
        } else if (m->marker == JPEG_COM && meta.comment.empty() && n > 0) {
            meta.comment.assign(reinterpret_cast<const char*>(m->data), n);
        } else if (IsIccSegment(m)) {
            const int seq = m->data[12], count = m->data[13];
            if (icc_count < 0)
                icc_count = count;
            if (seq < 1 || seq > count || count != icc_count || icc[static_cast<std::size_t>(seq)] != nullptr)
                icc_ok = false;
            else
                icc[static_cast<std::size_t>(seq)] = m;
        }
    }
    if (icc_count < 1 || !icc_ok)
        return;
    for (int seq = 1; seq <= icc_count; ++seq)
        if (icc[static_cast<std::size_t>(seq)] == nullptr)
            return;
    for (int seq = 1; seq <= icc_count; ++seq) {
        const jpeg_saved_marker_ptr m = icc[static_cast<std::size_t>(seq)];
        meta.icc_profile.insert(meta.icc_profile.end(), m->data + kIccHead, m->data + m->data_length);
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
        if (ctx.failure_reason.empty()) {
            char message[JMSG_LENGTH_MAX] = {};
            if (rc == kUnknownError)
                (*err.pub.format_message)(reinterpret_cast<j_common_ptr>(&cinfo), message);
            ctx.failure_reason = precision ? "samples of 12 bits are not read" : message;
        }
        jpeg_destroy_decompress(&cinfo);
        // A picture that breaks off shows no half-written rows.
        if (started)
            for (int y = 0; y < ctx.height; ++y)
                std::memset(ctx.TargetRow(y), 0, ctx.RowBytes());
        return precision ? kBitDepthNotSupported : rc;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kJpegMaxLibraryMemory;
    JpegByteSource source;
    AttachJpegBytes(&cinfo, source, bytes, &ctx);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_save_markers(&cinfo, JPEG_COM, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    CollectMeta(&cinfo, ctx.meta);

    const JDIMENSION w = cinfo.image_width, h = cinfo.image_height;
    if (w > 4096 && h > 4096)
        rc = Refuse(ctx, kImageTooLarge, kReasonOver4096);
    else if (PictureBytes(w, h, 4) == SIZE_MAX)
        rc = Refuse(ctx, kImageTooLarge, "the picture would take more than 1 GiB");
    else if (!cinfo.arith_code && !ClaimFits(static_cast<std::uint64_t>(w) * h, bytes.size(), expansion::kJpegHuffman))
        rc = Refuse(ctx, kDataError, kReasonTooShort);
    else if (cinfo.jpeg_color_space == JCS_UNKNOWN)
        rc = Refuse(ctx, kFormatNotSupported, "a colour space that is not read");
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
        sized = ctx.quad_row.Reserve(pixels * 4 * kJpegRowsPerCall);
    if (sized != kOk) {
        rc = sized;
        std::longjmp(err.jump, 1);
    }

    started = true;
    JSAMPROW rows[kJpegRowsPerCall];
    while (cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION first = cinfo.output_scanline;
        const JDIMENSION want = std::min<JDIMENSION>(kJpegRowsPerCall, cinfo.output_height - first);
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
        return Refuse(ctx, kMagicError, "no JPEG start-of-image marker");
    return DecodeJpegBytes(ctx, bytes);
}
