// libFuzzer target for what the thumbnails and the file orders read from files: the Exif
// thumbnail's place, the reduced-size JPEG decode, a JPEG's whole thumbnail route, the
// text keys of a cached thumbnail, and the date a photo was taken. The facts kept whatever the input: the embedded thumbnail lies inside
// the bytes and starts an image, a scaled decode covers the size asked or is the whole
// picture, a thumbnail fits its square, every key ends inside the bytes, a date
// taken is a valid one.
#include "dec_enc/Codec_ctx.h"
#include "base/Result_codes.h"
#include "dec_enc/Exif_date.h"
#include "dec_enc/Exif_thumbnail.h"
#include "dec_enc/Jpeg_scaled.h"
#include "thumbnails/Thumbnail_cache.h"
#include "thumbnails/Thumbnail_maker.h"

#include <cstdint>
#include <span>

namespace {

void Check(bool fact)
{
    if (!fact)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);

    const std::span<const std::uint8_t> embedded = ExifThumbnail(bytes);
    if (!embedded.empty()) {
        Check(embedded.data() >= data && embedded.data() + embedded.size() <= data + size);
        Check(embedded.size() >= 4 && embedded[0] == 0xFF && embedded[1] == 0xD8);
    }

    int w = 0, h = 0;
    if (ReadJpegSize(bytes, w, h) == kOk) {
        CODEC_CTX ctx;
        int denom = 0;
        if (DecodeJpegScaled(ctx, bytes, 16, 12, &denom) == kOk) {
            Check(denom == 1 || denom == 2 || denom == 4 || denom == 8);
            Check((ctx.width >= 16 && ctx.height >= 12) || denom == 1);
            const auto pixels = static_cast<std::size_t>(ctx.width) * static_cast<std::size_t>(ctx.height);
            Check(ctx.decoded.size() >= pixels * 3);
        }
        THUMB_WORKSPACE ws;
        Dib out;
        int iw = 0, ih = 0;
        ThumbRoute route {};
        if (RenderThumbnail("input.jpg", bytes, 128, ws, out, iw, ih, route) == kOk)
            Check(!out.Empty() && out.Width() <= 128 && out.Height() <= 128 && iw >= out.Width() &&
                  ih >= out.Height());
    }

    EXIF_DATE date;
    if (ExifDateTaken(bytes, date))
        Check(date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= 31 && date.hour <= 23);

    for (const PNG_TEXT& t : ReadPngText(bytes))
        Check(t.key.size() + t.value.size() < size);
    return 0;
}
