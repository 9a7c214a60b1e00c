// One file's thumbnail: from the shared cache when a valid one is there, else made from
// the file and stored for the next time (and for the file manager).
//
// Making: for a JPEG, the Exif thumbnail the camera embedded when it has at least the
// thumbnail's pixels and the photo's shape (160 × 120 ones serve only the normal size;
// letterboxed ones never), else the photo decoded at the smallest DCT scale that still
// covers the thumbnail; every other format goes through the open dispatcher into a
// document of the maker's own. The picture is reduced to the thumbnail's size by area
// averaging and turned by the JPEG's Exif orientation. A file the readers refuse gets a
// failure record and is not tried again until it changes; a file that cannot be read now
// (gone, no permission, no memory) gets none.
#pragma once

#include "core/Imageinfo.h"
#include "thumbnails/Thumbnail_cache.h"
#include "thumbnails/Thumbnail_pool.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

// How a thumbnail came about.
enum class ThumbRoute { kNone, kCache, kLargerCache, kFailureRecord, kExifThumbnail, kScaledJpeg, kOpen };

// Scratch memory of one thread's thumbnails, kept between files.
struct THUMB_WORKSPACE {
    std::unique_ptr<TIMAGE_INFO> doc; // the open dispatcher's document (made on first use)
    CODEC_CTX ctx;                    // the scaled JPEG decode's context
    Dib scaled;                       // the decoded picture before reduction
    Dib reduced;                      // reduced, before the orientation
};

// The thumbnail of a file's bytes (name's extension picks the reader) fitted into
// edge × edge, without the cache. image_w × image_h: the picture's own size as shown
// (after the Exif orientation). kOk, a reader's code (with the reason in *reason), or
// kUnknownError with the reason "cancelled" once cancel is seen.
int RenderThumbnail(const std::string& name, std::span<const std::uint8_t> bytes, int edge, THUMB_WORKSPACE& ws,
                    Dib& out, int& image_w, int& image_h, ThumbRoute& route, std::string* reason = nullptr,
                    const std::atomic<bool>* cancel = nullptr);

class THUMBNAIL_MAKER {
public:
    // cache must outlive the maker.
    THUMBNAIL_MAKER(const THUMBNAIL_CACHE& cache, int size);
    // The thumbnail of path (absolute): kReady with the picture, kFailed with the code
    // (kOpenFileError for a file that is not there or not a regular file), or kCancelled.
    THUMB_RESULT Make(const std::string& path, const std::atomic<bool>& cancel);
    ThumbRoute LastRoute() const { return route_; }

private:
    const THUMBNAIL_CACHE& cache_;
    int size_;
    THUMB_WORKSPACE ws_;
    PixelBuffer bytes_;
    ThumbRoute route_ = ThumbRoute::kNone;
};
