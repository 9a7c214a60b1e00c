// JPEG writing through the IJG API of libjpeg-turbo: a baseline JFIF file, YCbCr, the
// context's quality (1 to 100; 90 unless the caller chose), floating-point DCT. The rows are
// the caller's source bitmap (blue, green, red), which the library takes as they stand; a
// context without one gives its 4-byte pixel buffer (blue, green, red, unused) instead.
// Either way no copy of the picture is made for the save.
//
// The context's meta follows the JFIF segment: the Exif block as an APP1 "Exif" segment,
// the ICC profile in APP2 "ICC_PROFILE" segments of at most 65519 bytes of profile each
// (numbered from 1; a profile that needs more than 255 is left out), the comment as a COM
// segment (cut to 65533 bytes). An Exif block too large for one segment is left out.
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Jpeg_err.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kRowsPerCall = 16;

// Where the rows come from: first byte of row 0, bytes from one row to the next, and the
// library's name for the pixel layout.
struct RowSource {
    const std::uint8_t* first = nullptr;
    std::size_t stride = 0;
    int components = 0;
    J_COLOR_SPACE layout = JCS_UNKNOWN;
};

RowSource FindRows(CODEC_CTX& ctx)
{
    if (const Dib* d = ctx.source_bitmap) {
        if (d->PixelFormat() != 24 || d->Width() != ctx.width || d->Height() != ctx.height)
            return {};
        return {d->ScanLine(0), d->Stride(), 3, JCS_EXT_BGR};
    }
    if (ctx.quad.size() < PictureBytes(ctx.width, ctx.height, 4))
        return {};
    return {ctx.quad.data(), static_cast<std::size_t>(ctx.width) * 4, 4, JCS_EXT_BGRX};
}

constexpr std::size_t kSegmentMax = 65533; // bytes of one marker segment after its length
constexpr std::size_t kIccChunk = kSegmentMax - 14;

// A segment of a head and a body, written byte by byte so that nothing is allocated
// between the library's calls.
void WriteSegment(j_compress_ptr cinfo, int marker, const char* head, std::size_t head_bytes,
                  const std::uint8_t* body, std::size_t body_bytes)
{
    jpeg_write_m_header(cinfo, marker, static_cast<unsigned>(head_bytes + body_bytes));
    for (std::size_t i = 0; i < head_bytes; ++i)
        jpeg_write_m_byte(cinfo, static_cast<std::uint8_t>(head[i]));
    for (std::size_t i = 0; i < body_bytes; ++i)
        jpeg_write_m_byte(cinfo, body[i]);
}

void WriteMeta(j_compress_ptr cinfo, const CODEC_CTX::PICTURE_META& meta)
{
    if (!meta.exif.empty() && meta.exif.size() + 6 <= kSegmentMax)
        WriteSegment(cinfo, JPEG_APP0 + 1, "Exif\0\0", 6, meta.exif.data(), meta.exif.size());
    const std::size_t chunks = (meta.icc_profile.size() + kIccChunk - 1) / kIccChunk;
    if (chunks >= 1 && chunks <= 255)
        for (std::size_t k = 0; k < chunks; ++k) {
            const std::size_t from = k * kIccChunk;
            const std::size_t n = std::min(kIccChunk, meta.icc_profile.size() - from);
            const char head[14] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', '\0',
                                   static_cast<char>(k + 1), static_cast<char>(chunks)};
            WriteSegment(cinfo, JPEG_APP0 + 2, head, sizeof head, meta.icc_profile.data() + from, n);
        }
    if (!meta.comment.empty())
        WriteSegment(cinfo, JPEG_COM, "", 0, reinterpret_cast<const std::uint8_t*>(meta.comment.data()),
                     std::min(kSegmentMax, meta.comment.size()));
}

int EncodeJpeg(CODEC_CTX& ctx, const RowSource& src, FILE* file)
{
    JPEG_ERROR err;
    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = InstallJpegErrors(err);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return std::ferror(file) != 0 ? kOpenFileError : kUnknownError; // a write failed, or the library
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(ctx.width);
    cinfo.image_height = static_cast<JDIMENSION>(ctx.height);
    cinfo.input_components = src.components;
    cinfo.in_color_space = src.layout;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, std::clamp(ctx.quality, 1, 100), TRUE);
    cinfo.dct_method = JDCT_FLOAT;
    jpeg_start_compress(&cinfo, TRUE);
    WriteMeta(&cinfo, ctx.meta);
    JSAMPROW rows[kRowsPerCall];
    while (cinfo.next_scanline < cinfo.image_height) {
        const JDIMENSION first = cinfo.next_scanline;
        const JDIMENSION n = std::min<JDIMENSION>(kRowsPerCall, cinfo.image_height - first);
        for (JDIMENSION i = 0; i < n; ++i)
            rows[i] = const_cast<std::uint8_t*>(src.first + (first + i) * src.stride);
        jpeg_write_scanlines(&cinfo, rows, n);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return kOk;
}

} // namespace

int WriteJpeg(CODEC_CTX& ctx)
{
    if (ctx.width < 1 || ctx.height < 1)
        return kDataError;
    const RowSource src = FindRows(ctx);
    if (src.first == nullptr)
        return kDataError;
    FilePtr f = OpenForWrite(ctx.output_file_name);
    if (!f)
        return kOpenFileError;
    if (int rc = EncodeJpeg(ctx, src, f.get()); rc != kOk)
        return rc;
    return FinishWrite(std::move(f));
}
