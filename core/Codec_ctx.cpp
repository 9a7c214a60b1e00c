#include "core/Codec_ctx.h"

#include "core/Imageinfo.h"
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

const std::uint8_t* CODEC_CTX::WriterSource() const
{
    return document != nullptr && document->edited != 0 ? work.data() : decoded.data();
}

Dib* CODEC_CTX::DirectTarget()
{
    return document != nullptr && document->direct_decode != 0 ? DisplayBitmap() : nullptr;
}

Dib* CODEC_CTX::DisplayBitmap()
{
    if (document == nullptr)
        return nullptr;
    if (!document->display)
        document->display = std::make_unique<Dib>();
    return document->display.get();
}

int CODEC_CTX::SizeDisplayBitmap()
{
    Dib* dib = DisplayBitmap();
    return dib == nullptr ? kOk : dib->SetSize(width, height, 24);
}

void FillMissingRows(CODEC_CTX& ctx, int first_row)
{
    if (first_row >= ctx.height)
        return;
    const std::size_t row_bytes = ctx.RowBytes();
    std::memset(ctx.DecodedRow(first_row), 0, row_bytes * static_cast<std::size_t>(ctx.height - first_row));
}
