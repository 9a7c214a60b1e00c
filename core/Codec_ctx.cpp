#include "core/Codec_ctx.h"

#include "core/Result_codes.h"

#include <cstring>

CODEC_CTX::CODEC_CTX() : decoder_bitmap(std::make_unique<Dib>()) {}

CODEC_CTX::~CODEC_CTX() = default;

int CODEC_CTX::ReserveDecoded(std::int64_t w, std::int64_t h)
{
    if (w < 1 || h < 1)
        return kDataError;
    const std::size_t bytes = PictureBytes(w, h, 3);
    if (bytes == SIZE_MAX)
        return kImageTooLarge;
    return decoded.Reserve(bytes);
}

int CODEC_CTX::ReserveTarget(std::int64_t w, std::int64_t h)
{
    if (direct_target == nullptr) {
        if (int rc = ReserveDecoded(w, h); rc != kOk)
            return rc;
    } else {
        if (w < 1 || h < 1)
            return kDataError;
        if (PictureBytes(w, h, 3) == SIZE_MAX)
            return kImageTooLarge;
        if (int rc = direct_target->SetSize(static_cast<int>(w), static_cast<int>(h), 24); rc != kOk)
            return rc;
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
