#include "dec_enc/Codec_ctx.h"

#include "base/Result_codes.h"

#include <cstring>

CODEC_CTX::CODEC_CTX() : decoder_bitmap(std::make_unique<Dib>()) {}

CODEC_CTX::~CODEC_CTX() = default;

namespace {

// The reasons shared by every reader that sizes its picture through the context.
int RefuseSize(CODEC_CTX& ctx, std::int64_t w, std::int64_t h)
{
    if (w < 1 || h < 1)
        return Refuse(ctx, kDataError, "the header gives the picture no width or no height");
    if (PictureBytes(w, h, 3) == SIZE_MAX)
        return Refuse(ctx, kImageTooLarge, "the picture would take more than 1 GiB");
    return kOk;
}

int RefuseMemory(CODEC_CTX& ctx, int rc)
{
    return rc == kMemoryError ? Refuse(ctx, rc, "not enough memory for the picture") : rc;
}

} // namespace

int CODEC_CTX::ReserveDecoded(std::int64_t w, std::int64_t h)
{
    if (int rc = RefuseSize(*this, w, h); rc != kOk)
        return rc;
    return RefuseMemory(*this, decoded.Reserve(PictureBytes(w, h, 3)));
}

int CODEC_CTX::ReserveTarget(std::int64_t w, std::int64_t h)
{
    if (direct_target == nullptr) {
        if (int rc = ReserveDecoded(w, h); rc != kOk)
            return rc;
    } else {
        if (int rc = RefuseSize(*this, w, h); rc != kOk)
            return rc;
        if (int rc = direct_target->SetSize(static_cast<int>(w), static_cast<int>(h), 24); rc != kOk)
            return rc == kImageTooLarge ? Refuse(*this, rc, "the picture would take more than 1 GiB")
                                        : RefuseMemory(*this, rc);
        drew_direct = true;
    }
    width = static_cast<std::int32_t>(w);
    height = static_cast<std::int32_t>(h);
    return kOk;
}

int CODEC_CTX::CopyToDirectTarget()
{
    if (direct_target == nullptr)
        return kOk;
    if (int rc = CopyDecodedTo(*this, *direct_target); rc != kOk)
        return rc;
    drew_direct = true;
    return kOk;
}

int CopyDecodedTo(const CODEC_CTX& ctx, Dib& dib)
{
    const std::size_t picture_bytes = PictureBytes(ctx.width, ctx.height, 3);
    if (picture_bytes == SIZE_MAX)
        return kImageTooLarge;
    if (ctx.decoded.size() < picture_bytes)
        return kDataError;
    if (int rc = dib.SetSize(ctx.width, ctx.height, 24); rc != kOk)
        return rc;
    const std::size_t row_bytes = ctx.RowBytes();
    for (int y = 0; y < ctx.height; ++y) {
        std::uint8_t* line = dib.ScanLine(y);
        std::memcpy(line, ctx.DecodedRow(y), row_bytes);
        std::memset(line + row_bytes, 0, dib.Stride() - row_bytes);
    }
    return kOk;
}

bool CODEC_CTX::HasSourceRows() const
{
    const std::size_t bytes = PictureBytes(width, height, 3);
    if (bytes == SIZE_MAX)
        return false;
    if (source_bitmap != nullptr)
        return source_bitmap->PixelFormat() == 24 && source_bitmap->Width() >= width &&
               source_bitmap->Height() >= height;
    return (edited ? work.size() : decoded.size()) >= bytes;
}

void FillMissingRows(CODEC_CTX& ctx, int first_row)
{
    if (first_row >= ctx.height)
        return;
    const std::size_t row_bytes = ctx.RowBytes();
    std::memset(ctx.DecodedRow(first_row), 0, row_bytes * static_cast<std::size_t>(ctx.height - first_row));
}
