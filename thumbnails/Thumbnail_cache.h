// The thumbnail cache shared with the desktop's file manager and other programs, as the
// freedesktop thumbnail standard lays it out.
//
// $XDG_CACHE_HOME/thumbnails (~/.cache/thumbnails when the variable is unset or not an
// absolute path) holds a folder per size: normal (128), large (256), x-large (512) and
// xx-large (1024). A thumbnail is a PNG that fits the size's square, named by the MD5 of
// the file's canonical file:// URI (32 lower-case hexadecimal digits and ".png"), with
// the tEXt keys Thumb::URI and Thumb::MTime (the file's modification time in whole
// seconds); ours also carry Thumb::Size, Thumb::Image::Width, Thumb::Image::Height and
// Software. It stands for the file while its URI and MTime match the file and its Size,
// when present, equals the file's size; otherwise it is stale and made again. A file
// that could not be thumbnailed is recorded as fail/ravelscope/<md5>.png, a 1 × 1 PNG with
// the URI and MTime, and is not tried again until it changes.
//
// Writing: a temporary file in the thumbnail's own folder, renamed over the name once
// complete, so nobody reads half a thumbnail; files get mode 0600, folders made here
// 0700. There is no fsync: a thumbnail lost to a crash is simply made again, and a
// broken one reads as missing. Files inside the cache folder are never given thumbnails.
// Without a cache folder (neither variable usable) nothing is written anywhere.
//
// A THUMBNAIL_CACHE is not changed after construction: any number of threads may call
// its const members at once.
#pragma once

#include "platform/Dib.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

enum ThumbSize : int { kThumbNormal = 0, kThumbLarge = 1, kThumbXLarge = 2, kThumbXXLarge = 3 };
inline constexpr int kThumbSizeCount = 4;

struct THUMB_SIZE_INFO {
    const char* folder;
    int edge; // the square a thumbnail of this size fits in
};
extern const THUMB_SIZE_INFO kThumbSizes[kThumbSizeCount];

// The file:// URI of an absolute path as GLib's g_filename_to_uri writes it (and GIO
// hashes it): "." and ".." segments and repeated or trailing slashes removed, every
// byte percent-encoded (upper-case hexadecimal) except letters, digits, "-_.!~*'()" and
// "/&=:@+$,". Empty for a relative path. Symbolic links are not resolved.
std::string CanonicalFileUri(const std::string& absolute_path);

// The size of a w × h picture's thumbnail in an edge × edge square: the picture's own
// size when it fits, else the longer side becomes edge and the shorter keeps the
// proportion, rounded, at least 1.
void ThumbnailFit(int w, int h, int edge, int& out_w, int& out_h);

// What a thumbnail is checked against.
struct THUMB_SOURCE {
    std::string path;       // absolute
    std::string uri;        // CanonicalFileUri(path)
    std::int64_t mtime = 0; // modification time, whole seconds
    std::int64_t size = 0;  // bytes
};
// The facts of a regular file (following links); false for a relative path and anything
// that is not a readable regular file.
bool ReadThumbSource(const std::string& absolute_path, THUMB_SOURCE& out);

struct PNG_TEXT {
    std::string key;
    std::string value;
};
// The tEXt chunks of a PNG's bytes, in file order: keyword and text, each up to its
// chunk's end (a chunk without the NUL separator is skipped). Stops at IEND, at a chunk
// that runs past the bytes, and when the bytes are not a PNG. CRCs are not checked.
std::vector<PNG_TEXT> ReadPngText(std::span<const std::uint8_t> png);

class THUMBNAIL_CACHE {
public:
    // root: the thumbnails folder itself ($XDG_CACHE_HOME/thumbnails); empty: none.
    explicit THUMBNAIL_CACHE(std::string root, std::string refusal = {});
    // The folder from $XDG_CACHE_HOME, else $HOME/.cache; without either (or when they are
    // not absolute paths) a cache that stores nothing, with the reason in Refusal().
    static THUMBNAIL_CACHE FromEnvironment();

    bool Usable() const { return !root_.empty(); }
    const std::string& Root() const { return root_; }
    const std::string& Refusal() const { return refusal_; }

    std::string ThumbnailPath(const std::string& uri, int size) const;
    std::string FailurePath(const std::string& uri) const;
    // False for files inside the cache folder: they get no thumbnail and no failure record.
    bool Storable(const THUMB_SOURCE& source) const;

    enum class Lookup { kMissing, kStale, kValid };
    // The thumbnail of size for source: kValid with its picture (24 bits; transparent
    // pixels laid over white), kStale when the file has changed since it was made (or the
    // thumbnail cannot be decoded), kMissing when there is none.
    Lookup Find(const THUMB_SOURCE& source, int size, Dib& picture) const;
    // True when a failure record of ours stands for source as it is now.
    bool Failed(const THUMB_SOURCE& source) const;

    // Writes picture (24 bits, at most the size's edge on each side) as source's
    // thumbnail of size; image_w × image_h is the picture it was made from. kOk,
    // kOpenFileError when the cache is not usable, the source not storable or the file
    // cannot be written (the reason in *reason when given), kDataError for a picture of
    // the wrong depth or size.
    int Store(const THUMB_SOURCE& source, int size, const Dib& picture, int image_w, int image_h,
              std::string* reason = nullptr) const;
    // Records that source could not be thumbnailed.
    int StoreFailure(const THUMB_SOURCE& source, std::string* reason = nullptr) const;

private:
    std::string root_;
    std::string real_root_; // root_ with its links resolved
    std::string refusal_;
};
