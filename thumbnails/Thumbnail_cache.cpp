#include "thumbnails/Thumbnail_cache.h"

#include "base/Byte_order.h"
#include "dec_enc/Codec_ctx.h"
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "platform/Xdg_dirs.h"
#include "thumbnails/Md5.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <filesystem>

const THUMB_SIZE_INFO kThumbSizes[kThumbSizeCount] = {
    {"normal", 128}, {"large", 256}, {"x-large", 512}, {"xx-large", 1024}};

namespace {

// A thumbnail file larger than this is not read: the largest size's PNG is a few MiB.
constexpr std::int64_t kMaxThumbnailFileBytes = 64 << 20;
constexpr const char* kSoftware = "Ravelscope";

// Bytes g_filename_to_uri leaves as they are in a path.
bool KeptInUri(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::strchr("-_.!~*'()/&=:@+$,", c) != nullptr && c != '\0';
}

bool ParseInteger(const std::string& text, std::int64_t& value)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

// The text of key, or null.
const std::string* TextOf(const std::vector<PNG_TEXT>& texts, const char* key)
{
    for (const PNG_TEXT& t : texts)
        if (t.key == key)
            return &t.value;
    return nullptr;
}

// True when the keys stand for the file as it is now.
bool KeysMatch(const std::vector<PNG_TEXT>& texts, const THUMB_SOURCE& source)
{
    const std::string* uri = TextOf(texts, "Thumb::URI");
    const std::string* mtime = TextOf(texts, "Thumb::MTime");
    if (uri == nullptr || mtime == nullptr || *uri != source.uri)
        return false;
    std::int64_t v = 0;
    if (!ParseInteger(*mtime, v) || v != source.mtime)
        return false;
    if (const std::string* size = TextOf(texts, "Thumb::Size"))
        return ParseInteger(*size, v) && v == source.size;
    return true;
}

// Loads a small file whole; false when it is missing, not a regular file or too large.
bool LoadSmallFile(const std::string& path, PixelBuffer& bytes)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxThumbnailFileBytes)
        return false;
    return LoadWholeFile(path, bytes) == kOk;
}

// Makes the folder and any missing parents, the ones made here with mode 0700.
bool MakeFolders(const std::string& folder, std::string* reason)
{
    std::string prefix;
    std::size_t at = 0;
    while (at < folder.size()) {
        const std::size_t next = folder.find('/', at + 1);
        prefix = folder.substr(0, next);
        at = next == std::string::npos ? folder.size() : next;
        if (prefix.empty())
            continue;
        if (mkdir(prefix.c_str(), 0700) == 0) {
            chmod(prefix.c_str(), 0700); // whatever the umask took away
        } else if (errno != EEXIST) {
            if (reason != nullptr)
                *reason = prefix + ": " + std::strerror(errno);
            return false;
        }
    }
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (reason != nullptr)
            *reason = folder + ": not a folder";
        return false;
    }
    return true;
}

void SilentWarning(png_structp, png_const_charp) {}
void JumpOnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// Writes an 8-bit RGB PNG of rows (blue, green, red in memory) with the text chunks.
// kOk, or kOpenFileError / kUnknownError. Holds nothing with a destructor across the
// jump point.
int EncodeThumbnailPng(FILE* file, int width, int height, png_bytep* rows, png_text* texts, int text_count)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpOnError, SilentWarning);
    if (png == nullptr)
        return kMemoryError;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return kMemoryError;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return std::ferror(file) != 0 ? kOpenFileError : kUnknownError;
    }
    png_init_io(png, file);
    // Level 3 packs a thumbnail nearly as small as the default and in half the time.
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_text(png, info, texts, text_count);
    png_write_info(png, info);
    png_set_bgr(png);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return kOk;
}

int EncodeThumbnailPng(FILE* file, const Dib& picture, const std::vector<PNG_TEXT>& texts)
{
    std::vector<png_text> chunks(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        chunks[i].compression = PNG_TEXT_COMPRESSION_NONE;
        chunks[i].key = const_cast<char*>(texts[i].key.c_str());
        chunks[i].text = const_cast<char*>(texts[i].value.c_str());
        chunks[i].text_length = texts[i].value.size();
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(picture.Height()));
    for (int y = 0; y < picture.Height(); ++y)
        rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(picture.ScanLine(y));
    return EncodeThumbnailPng(file, picture.Width(), picture.Height(), rows.data(), chunks.data(),
                              static_cast<int>(chunks.size()));
}

// Writes the PNG to a temporary file beside target and renames it over target.
int WriteAtomically(const std::string& target, const Dib& picture, const std::vector<PNG_TEXT>& texts,
                    std::string* reason)
{
    const std::filesystem::path t(target);
    std::filesystem::path name(".");
    name += t.filename();
    name += ".XXXXXX";
    std::string temp = (t.parent_path() / name).string();
    const int fd = mkstemp(temp.data()); // mode 0600
    if (fd < 0) {
        if (reason != nullptr)
            *reason = target + ": " + std::strerror(errno);
        return kOpenFileError;
    }
    fchmod(fd, 0600);
    FilePtr file(fdopen(fd, "wb"));
    if (!file) {
        close(fd);
        unlink(temp.c_str());
        return kOpenFileError;
    }
    int rc = EncodeThumbnailPng(file.get(), picture, texts);
    const int finished = FinishWrite(std::move(file));
    if (rc == kOk)
        rc = finished;
    if (rc == kOk && rename(temp.c_str(), target.c_str()) != 0)
        rc = kOpenFileError;
    if (rc != kOk) {
        if (reason != nullptr)
            *reason = target + ": " + std::strerror(errno);
        unlink(temp.c_str());
    }
    return rc;
}

} // namespace

std::string CanonicalFileUri(const std::string& absolute_path)
{
    if (absolute_path.empty() || absolute_path[0] != '/')
        return {};
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= absolute_path.size()) {
        std::size_t next = absolute_path.find('/', at);
        if (next == std::string::npos)
            next = absolute_path.size();
        const std::string part = absolute_path.substr(at, next - at);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = next + 1;
    }
    std::string path;
    for (const std::string& p : parts) {
        path += '/';
        path += p;
    }
    if (path.empty())
        path.push_back('/');
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (KeptInUri(c)) {
            uri += ch;
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

void ThumbnailFit(int w, int h, int edge, int& out_w, int& out_h)
{
    out_w = w;
    out_h = h;
    if (w <= edge && h <= edge)
        return;
    const auto scaled = [edge](int side, int longer) {
        const std::int64_t v = (static_cast<std::int64_t>(side) * edge * 2 + longer) / (2 * std::int64_t{longer});
        return static_cast<int>(std::max<std::int64_t>(1, v));
    };
    if (w >= h) {
        out_w = edge;
        out_h = scaled(h, w);
    } else {
        out_h = edge;
        out_w = scaled(w, h);
    }
}

bool ReadThumbSource(const std::string& absolute_path, THUMB_SOURCE& out)
{
    struct stat st {};
    if (absolute_path.empty() || absolute_path[0] != '/' || stat(absolute_path.c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode))
        return false;
    out.path = absolute_path;
    out.uri = CanonicalFileUri(absolute_path);
    out.mtime = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    out.size = static_cast<std::int64_t>(st.st_size);
    return true;
}

std::vector<PNG_TEXT> ReadPngText(std::span<const std::uint8_t> png)
{
    static constexpr std::uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    std::vector<PNG_TEXT> texts;
    if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0)
        return texts;
    ByteCursor in(png.subspan(8));
    while (in.Left() >= 12) {
        const std::uint32_t length = in.Dword(kBigEndian);
        const std::span<const std::uint8_t> type = in.Take(4);
        if (length > in.Left() || in.Left() - length < 4)
            break;
        const std::span<const std::uint8_t> data = in.Take(length);
        in.Skip(4); // CRC
        if (std::memcmp(type.data(), "IEND", 4) == 0)
            break;
        if (std::memcmp(type.data(), "tEXt", 4) != 0)
            continue;
        const auto* text = reinterpret_cast<const char*>(data.data());
        const void* nul = std::memchr(text, 0, data.size());
        if (nul == nullptr)
            continue;
        const std::size_t key_length = static_cast<std::size_t>(static_cast<const char*>(nul) - text);
        texts.push_back({std::string(text, key_length),
                         std::string(text + key_length + 1, data.size() - key_length - 1)});
    }
    return texts;
}

THUMBNAIL_CACHE::THUMBNAIL_CACHE(std::string root, std::string refusal)
    : root_(std::move(root)), refusal_(std::move(refusal))
{
    while (root_.size() > 1 && root_.back() == '/')
        root_.pop_back();
    if (!root_.empty()) {
        std::error_code ec;
        real_root_ = std::filesystem::weakly_canonical(root_, ec).string();
    }
}

THUMBNAIL_CACHE THUMBNAIL_CACHE::FromEnvironment()
{
    const XDG_DIR cache = UserDirectory(XdgDir::kCache);
    if (cache.Ok())
        return THUMBNAIL_CACHE(cache.path + "/thumbnails");
    return THUMBNAIL_CACHE({}, "thumbnails are not stored: " + cache.error);
}

std::string THUMBNAIL_CACHE::ThumbnailPath(const std::string& uri, int size) const
{
    return root_ + "/" + kThumbSizes[size].folder + "/" + Md5Hex(uri) + ".png";
}

std::string THUMBNAIL_CACHE::FailurePath(const std::string& uri) const
{
    return root_ + "/fail/ravelscope/" + Md5Hex(uri) + ".png";
}

bool THUMBNAIL_CACHE::Storable(const THUMB_SOURCE& source) const
{
    if (!Usable())
        return false;
    const auto inside = [](const std::string& path, const std::string& folder) {
        return !folder.empty() && path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
               path[folder.size()] == '/';
    };
    if (inside(source.path, root_) || inside(source.path, real_root_))
        return false;
    std::error_code ec;
    const std::string real = std::filesystem::weakly_canonical(source.path, ec).string();
    return ec || !(inside(real, real_root_) || inside(real, root_));
}

THUMBNAIL_CACHE::Lookup THUMBNAIL_CACHE::Find(const THUMB_SOURCE& source, int size, Dib& picture) const
{
    if (!Usable())
        return Lookup::kMissing;
    PixelBuffer bytes;
    if (!LoadSmallFile(ThumbnailPath(source.uri, size), bytes))
        return Lookup::kMissing;
    const std::span<const std::uint8_t> png(bytes.data(), bytes.size());
    if (!KeysMatch(ReadPngText(png), source))
        return Lookup::kStale;
    CODEC_CTX ctx;
    ctx.direct_target = &picture;
    if (DecodePng(ctx, png) != kOk || !ctx.drew_direct)
        return Lookup::kStale;
    return Lookup::kValid;
}

bool THUMBNAIL_CACHE::Failed(const THUMB_SOURCE& source) const
{
    PixelBuffer bytes;
    if (!Usable() || !LoadSmallFile(FailurePath(source.uri), bytes))
        return false;
    return KeysMatch(ReadPngText({bytes.data(), bytes.size()}), source);
}

int THUMBNAIL_CACHE::Store(const THUMB_SOURCE& source, int size, const Dib& picture, int image_w, int image_h,
                           std::string* reason) const
{
    if (!Storable(source)) {
        if (reason != nullptr)
            *reason = Usable() ? "a file of the thumbnail cache itself" : refusal_;
        return kOpenFileError;
    }
    const int edge = kThumbSizes[size].edge;
    if (picture.PixelFormat() != 24 || picture.Empty() || picture.Width() > edge || picture.Height() > edge)
        return kDataError;
    if (!MakeFolders(root_ + "/" + kThumbSizes[size].folder, reason))
        return kOpenFileError;
    const std::vector<PNG_TEXT> texts = {
        {"Thumb::URI", source.uri},
        {"Thumb::MTime", std::to_string(source.mtime)},
        {"Thumb::Size", std::to_string(source.size)},
        {"Thumb::Image::Width", std::to_string(image_w)},
        {"Thumb::Image::Height", std::to_string(image_h)},
        {"Software", kSoftware},
    };
    return WriteAtomically(ThumbnailPath(source.uri, size), picture, texts, reason);
}

int THUMBNAIL_CACHE::StoreFailure(const THUMB_SOURCE& source, std::string* reason) const
{
    if (!Storable(source)) {
        if (reason != nullptr)
            *reason = Usable() ? "a file of the thumbnail cache itself" : refusal_;
        return kOpenFileError;
    }
    if (!MakeFolders(root_ + "/fail/ravelscope", reason))
        return kOpenFileError;
    Dib dot;
    if (int rc = dot.SetSize(1, 1, 24); rc != kOk)
        return rc;
    std::memset(dot.Bits(), 0, dot.Stride());
    const std::vector<PNG_TEXT> texts = {
        {"Thumb::URI", source.uri},
        {"Thumb::MTime", std::to_string(source.mtime)},
        {"Software", kSoftware},
    };
    return WriteAtomically(FailurePath(source.uri), dot, texts, reason);
}
