#include "core/Open_orientation.h"

#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "dec_enc/Exif.h"
#include "base/Orientation.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The Exif segment comes before the scan; cameras keep it well inside this.
constexpr std::size_t kHeadBytes = 256 * 1024;

} // namespace

std::int32_t OrientOpenedPicture(TIMAGE_INFO& doc, std::span<const std::uint8_t> bytes, bool direct)
{
    CODEC_CTX& ctx = *doc.context;
    doc.orientation = ExifOrientation(bytes.first(std::min(bytes.size(), kHeadBytes)));
    const int o = doc.orientation;
    if (o < 2 || o > 8)
        return kOk;
    int w = 0, h = 0;
    OrientedSize(o, ctx.width, ctx.height, w, h);
    if (direct) {
        Dib* display = doc.display.get();
        if (display == nullptr || display->Width() != ctx.width || display->Height() != ctx.height ||
            display->PixelFormat() != 24)
            return kDataError;
        PixelBuffer copy;
        if (int rc = copy.Reserve(display->Stride() * static_cast<std::size_t>(ctx.height)); rc != kOk)
            return rc;
        std::memcpy(copy.data(), display->Bits(), copy.size());
        const std::size_t stride = display->Stride();
        if (int rc = display->SetSize(w, h, 24); rc != kOk)
            return rc;
        OrientPixels(o, copy.data(), stride, ctx.width, ctx.height, display->Bits(), display->Stride());
    } else {
        PixelBuffer turned;
        if (int rc = turned.Reserve(PictureBytes(w, h, 3)); rc != kOk)
            return rc;
        OrientPixels(o, ctx.decoded.data(), ctx.RowBytes(), ctx.width, ctx.height, turned.data(),
                     static_cast<std::size_t>(w) * 3);
        ctx.decoded = std::move(turned);
    }
    ctx.width = w;
    ctx.height = h;
    // The pixels are now the picture as shown: the Exif block says so, and its thumbnail,
    // stored the other way, goes.
    ResetExifOrientation(ctx.meta.exif);
    DropExifThumbnail(ctx.meta.exif);
    return kOk;
}
