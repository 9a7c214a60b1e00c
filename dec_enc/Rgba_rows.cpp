#include "dec_enc/Rgba_rows.h"

#include "base/File_io.h"
#include "base/Pixel_buffer.h"
#include "base/Result_codes.h"

void RowToBgr(const std::uint8_t* in, std::uint8_t* out, std::size_t n, ChannelOrder order)
{
    switch (order) {
    case ChannelOrder::Rgba:
        for (std::size_t x = 0; x < n; ++x, in += 4, out += 3) {
            const unsigned a = in[3];
            out[0] = OverWhite(in[2], a);
            out[1] = OverWhite(in[1], a);
            out[2] = OverWhite(in[0], a);
        }
        break;
    case ChannelOrder::Bgra:
        for (std::size_t x = 0; x < n; ++x, in += 4, out += 3) {
            const unsigned a = in[3];
            out[0] = OverWhite(in[0], a);
            out[1] = OverWhite(in[1], a);
            out[2] = OverWhite(in[2], a);
        }
        break;
    case ChannelOrder::Rgb:
        for (std::size_t x = 0; x < n; ++x, in += 3, out += 3) {
            const std::uint8_t r = in[0], g = in[1], b = in[2];
            out[0] = b;
            out[1] = g;
            out[2] = r;
        }
        break;
    case ChannelOrder::Bgr:
        if (in != out)
            for (std::size_t i = 0; i < n * 3; ++i)
                out[i] = in[i];
        break;
    }
}

int PutPicture(CODEC_CTX& ctx, const std::uint8_t* pixels, std::size_t stride, std::int64_t w, std::int64_t h,
               ChannelOrder order)
{
    if (int rc = ctx.ReserveTarget(w, h); rc != kOk)
        return rc;
    for (int y = 0; y < ctx.height; ++y)
        RowToBgr(pixels + static_cast<std::size_t>(y) * stride, ctx.TargetRow(y), static_cast<std::size_t>(w), order);
    return kOk;
}

std::uint64_t PixelsWithinCap(std::uint64_t w, std::uint64_t h)
{
    if (w == 0 || h == 0 || w > (1u << 30) || h > (1u << 30))
        return 0;
    return PictureBytes(static_cast<std::int64_t>(w), static_cast<std::int64_t>(h), 4) == SIZE_MAX ? 0 : w * h;
}

WRITER_ROWS FindWriterRows(const CODEC_CTX& ctx)
{
    if (ctx.width < 1 || ctx.height < 1)
        return {};
    if (const Dib* d = ctx.source_bitmap) {
        if (d->PixelFormat() != 24 || d->Width() != ctx.width || d->Height() != ctx.height)
            return {};
        return {d->ScanLine(0), d->Stride()};
    }
    const PixelBuffer& src = ctx.edited ? ctx.work : ctx.decoded;
    if (src.size() < PictureBytes(ctx.width, ctx.height, 3))
        return {};
    return {src.data(), ctx.RowBytes()};
}

int WriteWholeOutput(const CODEC_CTX& ctx, const std::uint8_t* data, std::size_t size)
{
    FilePtr f = OpenForWrite(ctx.output_file_name);
    if (!f)
        return kOpenFileError;
    if (std::fwrite(data, 1, size, f.get()) != size)
        return kOpenFileError;
    return FinishWrite(std::move(f));
}
