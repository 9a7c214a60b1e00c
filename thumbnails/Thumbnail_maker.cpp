#include "thumbnails/Thumbnail_maker.h"

#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Exif.h"
#include "dec_enc/Exif_thumbnail.h"
#include "dec_enc/Jpeg_scaled.h"
#include "ops/Area_average.h"
#include "base/Orientation.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The Exif segment comes before the scan; cameras keep it well inside this.
constexpr std::size_t kHeadBytes = 256 * 1024;
// A document holding more than this after an open is dropped rather than kept for the next.
constexpr std::size_t kKeepDocumentBytes = std::size_t{64} << 20;

bool Cancelled(const std::atomic<bool>* cancel)
{
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

int CancelledCode(std::string* reason)
{
    if (reason != nullptr)
        *reason = "cancelled";
    return kUnknownError;
}

// True when a w × h thumbnail has the shape of a photo_w × photo_h photo: its sides
// differ by less than 1.5 pixels from the photo's proportion.
bool SameShape(int w, int h, int photo_w, int photo_h)
{
    const std::int64_t cross = static_cast<std::int64_t>(w) * photo_h - static_cast<std::int64_t>(h) * photo_w;
    return 2 * std::abs(cross) < 3 * static_cast<std::int64_t>(std::max(photo_w, photo_h));
}

// Reduces src to w × h (or takes it as it is at that size), then turns it into out.
int ReduceAndOrient(Dib& src, int w, int h, int orientation, THUMB_WORKSPACE& ws, Dib& out)
{
    const Dib* reduced = &src;
    if (src.Width() != w || src.Height() != h) {
        if (int rc = ReduceByArea(src, w, h, ws.reduced); rc != kOk)
            return rc;
        reduced = &ws.reduced;
    }
    int ow = 0, oh = 0;
    OrientedSize(orientation, w, h, ow, oh);
    if (int rc = out.SetSize(ow, oh, 24); rc != kOk)
        return rc;
    OrientPixels(orientation, reduced->Bits(), reduced->Stride(), w, h, out.Bits(), out.Stride());
    return kOk;
}

// The JPEG route: kOk, or a code after which the open dispatcher is tried.
int RenderJpeg(std::span<const std::uint8_t> bytes, int edge, THUMB_WORKSPACE& ws, Dib& out, int& image_w,
               int& image_h, ThumbRoute& route, std::string* reason, const std::atomic<bool>* cancel)
{
    int w = 0, h = 0;
    if (int rc = ReadJpegSize(bytes, w, h); rc != kOk)
        return rc;
    const int orientation = ExifOrientation(bytes.first(std::min(bytes.size(), kHeadBytes)));
    OrientedSize(orientation, w, h, image_w, image_h);
    int tw = 0, th = 0;
    ThumbnailFit(image_w, image_h, edge, tw, th);
    int sw = 0, sh = 0; // the thumbnail's size in the stored orientation
    OrientedSize(orientation, tw, th, sw, sh);

    CODEC_CTX& ctx = ws.ctx;
    ctx.direct_target = &ws.scaled;
    ctx.drew_direct = false;
    int rc = kDataError;
    const std::span<const std::uint8_t> embedded = ExifThumbnail(bytes.first(std::min(bytes.size(), kHeadBytes)));
    int ew = 0, eh = 0;
    if (!embedded.empty() && ReadJpegSize(embedded, ew, eh) == kOk && ew >= sw && eh >= sh &&
        SameShape(ew, eh, w, h)) {
        rc = DecodeJpegScaled(ctx, embedded, sw, sh);
        route = ThumbRoute::kExifThumbnail;
    }
    if (rc != kOk) {
        rc = DecodeJpegScaled(ctx, bytes, sw, sh, nullptr, cancel);
        route = ThumbRoute::kScaledJpeg;
    }
    ctx.direct_target = nullptr;
    if (Cancelled(cancel))
        return CancelledCode(reason);
    if (rc != kOk) {
        if (reason != nullptr)
            *reason = ctx.failure_reason;
        return rc;
    }
    return ReduceAndOrient(ws.scaled, sw, sh, orientation, ws, out);
}

} // namespace

int RenderThumbnail(const std::string& name, std::span<const std::uint8_t> bytes, int edge, THUMB_WORKSPACE& ws,
                    Dib& out, int& image_w, int& image_h, ThumbRoute& route, std::string* reason,
                    const std::atomic<bool>* cancel)
{
    route = ThumbRoute::kNone;
    if (Cancelled(cancel))
        return CancelledCode(reason);
    if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
        const int rc = RenderJpeg(bytes, edge, ws, out, image_w, image_h, route, reason, cancel);
        // A JPEG that fails here goes through the open path, which gives the answer the
        // viewer would (a name of another format on JPEG bytes included).
        if (rc == kOk || Cancelled(cancel))
            return rc;
    }
    route = ThumbRoute::kOpen;
    if (!ws.doc)
        ws.doc = std::make_unique<TIMAGE_INFO>();
    TIMAGE_INFO& doc = *ws.doc;
    doc.load_timing = 0;
    int rc = doc.OpenBytes(name, bytes);
    if (rc == kOk && (doc.state != kPictureOpen || !doc.display || doc.display->Empty()))
        rc = kFormatNotSupported; // a media file: not a picture
    if (rc != kOk) {
        if (reason != nullptr)
            *reason = doc.context->failure_reason;
    } else if (Cancelled(cancel)) {
        rc = CancelledCode(reason);
    } else {
        Dib& picture = *doc.display;
        image_w = picture.Width();
        image_h = picture.Height();
        int tw = 0, th = 0;
        ThumbnailFit(image_w, image_h, edge, tw, th);
        rc = ReduceAndOrient(picture, tw, th, 1, ws, out);
    }
    const Dib* shown = doc.display.get();
    if (shown != nullptr && shown->Stride() * static_cast<std::size_t>(shown->Height()) > kKeepDocumentBytes)
        ws.doc.reset();
    return rc;
}

THUMBNAIL_MAKER::THUMBNAIL_MAKER(const THUMBNAIL_CACHE& cache, int size) : cache_(cache), size_(size) {}

THUMB_RESULT THUMBNAIL_MAKER::Make(const std::string& path, const std::atomic<bool>& cancel)
{
    THUMB_RESULT result;
    result.path = path;
    route_ = ThumbRoute::kNone;
    THUMB_SOURCE source;
    if (!ReadThumbSource(path, source)) {
        result.code = kOpenFileError;
        result.reason = "not a readable file";
        return result;
    }
    auto picture = std::make_unique<Dib>();
    // A valid thumbnail of the size asked, or of a larger one reduced.
    const int edge = kThumbSizes[size_].edge;
    for (int size = size_; size < kThumbSizeCount; ++size) {
        if (cache_.Find(source, size, *picture) != THUMBNAIL_CACHE::Lookup::kValid)
            continue;
        route_ = size == size_ ? ThumbRoute::kCache : ThumbRoute::kLargerCache;
        int tw = 0, th = 0;
        ThumbnailFit(picture->Width(), picture->Height(), edge, tw, th);
        if (tw != picture->Width() || th != picture->Height()) {
            auto smaller = std::make_unique<Dib>();
            if (ReduceByArea(*picture, tw, th, *smaller) != kOk)
                continue;
            picture = std::move(smaller);
        }
        result.status = THUMB_RESULT::Status::kReady;
        result.picture = std::move(picture);
        result.from_cache = true;
        return result;
    }
    if (cache_.Failed(source)) {
        route_ = ThumbRoute::kFailureRecord;
        result.code = kOk;
        result.reason = "failed before";
        return result;
    }
    if (cancel.load(std::memory_order_relaxed)) {
        result.status = THUMB_RESULT::Status::kCancelled;
        return result;
    }

    int rc = LoadWholeFile(path, bytes_);
    int image_w = 0, image_h = 0;
    if (rc == kOk)
        rc = RenderThumbnail(path, {bytes_.data(), bytes_.size()}, edge, ws_, *picture, image_w, image_h, route_,
                             &result.reason, &cancel);
    if (cancel.load(std::memory_order_relaxed)) {
        result.status = THUMB_RESULT::Status::kCancelled;
        result.reason.clear();
        return result;
    }
    if (rc != kOk) {
        result.code = rc;
        // Refusals are recorded; a file that cannot be read or memory that cannot be had
        // may be fine the next time.
        if (rc != kOpenFileError && rc != kMemoryError)
            cache_.StoreFailure(source);
        return result;
    }
    if (cache_.Storable(source))
        cache_.Store(source, size_, *picture, image_w, image_h);
    result.status = THUMB_RESULT::Status::kReady;
    result.picture = std::move(picture);
    return result;
}
