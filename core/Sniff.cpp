#include "core/Sniff.h"

#include "base/File_io.h"
#include "core/Imageinfo.h"

#include <algorithm>
#include <cstring>

namespace {

bool Starts(std::span<const std::uint8_t> b, const char* magic, std::size_t n, std::size_t at = 0)
{
    return b.size() >= at + n && std::memcmp(b.data() + at, magic, n) == 0;
}

std::uint32_t Be32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::uint32_t Le32(const std::uint8_t* p)
{
    return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

bool IsUpper(std::uint8_t c) { return c >= 'A' && c <= 'Z'; }

// A data set without preamble: a little-endian element of group 0x0008 (or 0x0002) first,
// with an explicit value representation of two capitals or an implicit length.
bool BareDicom(std::span<const std::uint8_t> b)
{
    if (b.size() < 8 || !((b[0] == 0x08 || b[0] == 0x02) && b[1] == 0x00 && b[3] == 0x00))
        return false;
    return (IsUpper(b[4]) && IsUpper(b[5])) || (b[6] == 0 && b[7] == 0);
}

// An ISO base media file ("ftyp" box first): AVIF or HEIF by its brands. The major brand
// decides where it names one; a general brand (mif1, msf1) is followed by the compatible
// brands, where "avif" or "avis" makes it AVIF.
std::int32_t IsoBrandFormat(std::span<const std::uint8_t> b)
{
    if (!Starts(b, "ftyp", 4, 4))
        return -1;
    const std::uint32_t box = Be32(b.data());
    const std::size_t end = std::min<std::size_t>(b.size(), box >= 16 ? box : 16);
    auto brand_is = [&](std::size_t at, const char* name) { return Starts(b, name, 4, at); };
    if (brand_is(8, "avif") || brand_is(8, "avis"))
        return kFmtAvif;
    if (brand_is(8, "heic") || brand_is(8, "heix") || brand_is(8, "hevc") || brand_is(8, "hevx"))
        return kFmtHeif;
    if (!brand_is(8, "mif1") && !brand_is(8, "msf1"))
        return -1;
    for (std::size_t at = 16; at + 4 <= end; at += 4)
        if (brand_is(at, "avif") || brand_is(at, "avis"))
            return kFmtAvif;
    return kFmtHeif;
}

// Common formats that are not read, by their first bytes. A format that gains a reader
// leaves this table (WebP, AVIF, HEIF and JPEG XL have theirs).
struct FOREIGN_FORMAT {
    const char* name;
    const char* magic;
    std::size_t length;
    std::size_t at = 0;
};

constexpr FOREIGN_FORMAT kForeign[] = {
    {"JPEG 2000", "\0\0\0\x0CjP  \r\n\x87\n", 12},
    {"JPEG 2000", "\xFF\x4F\xFF\x51", 4},
    {"Photoshop", "8BPS", 4},
    {"OpenEXR", "\x76\x2F\x31\x01", 4},
    {"Radiance HDR", "#?RADIANCE", 10},
    {"DirectDraw Surface", "DDS ", 4},
    {"Windows icon", "\0\0\1\0", 4},
    {"PDF", "%PDF-", 5},
    {"SVG", "<svg", 4},
};

} // namespace

const char* ForeignFormatName(std::span<const std::uint8_t> b)
{
    for (const FOREIGN_FORMAT& f : kForeign)
        if (Starts(b, f.magic, f.length, f.at))
            return f.name;
    return nullptr;
}

std::string NotReadReason(const char* foreign_name)
{
    return std::string(foreign_name) + " is not a format Ravelscope reads";
}

std::int32_t SniffFormat(std::span<const std::uint8_t> b)
{
    if (Starts(b, "\x89PNG\r\n\x1a\n", 8))
        return kFmtPng;
    if (Starts(b, "\xFF\xD8\xFF", 3))
        return kFmtJpeg;
    if (Starts(b, "GIF87a", 6) || Starts(b, "GIF89a", 6))
        return kFmtGif;
    if (Starts(b, "II*\0", 4) || Starts(b, "MM\0*", 4))
        return kFmtTiff;
    if (Starts(b, "RIFF", 4) && Starts(b, "WEBP", 4, 8))
        return kFmtWebp;
    if (const std::int32_t iso = IsoBrandFormat(b); iso >= 0)
        return iso;
    if (Starts(b, "\xFF\x0A", 2) || Starts(b, "\0\0\0\x0CJXL \r\n\x87\n", 12))
        return kFmtJxl;
    if (Starts(b, "DICM", 4, 128) || BareDicom(b))
        return kFmtDicom;
    if (Starts(b, "\xB1\x68\xDE\x3A", 4))
        return kFmtDcx;
    if (Starts(b, "\x59\xA6\x6A\x95", 4))
        return kFmtSun;
    if (Starts(b, "SIMPLE  =", 9))
        return kFmtFits;
    if (Starts(b, "Paint Shop Pro Image File\n\x1a", 27))
        return kFmtPsp;
    if (b.size() >= 18 && b[0] == 'B' && b[1] == 'M') {
        const std::uint32_t dib = Le32(b.data() + 14); // the size of the info header
        if (dib == 12 || dib == 40 || dib == 52 || dib == 56 || dib == 64 || dib == 108 || dib == 124)
            return kFmtBmp;
    }
    if (b.size() >= 3 && b[0] == 'P' && b[1] >= '1' && b[1] <= '6' &&
        (b[2] == ' ' || b[2] == '\t' || b[2] == '\r' || b[2] == '\n' || b[2] == '#')) {
        const int kind = (b[1] - '1') % 3; // P1/P4 bitmap, P2/P5 greymap, P3/P6 pixmap
        return kind == 0 ? kFmtPbm : kind == 1 ? kFmtPgm : kFmtPpm;
    }
    if (b.size() >= 4 && b[0] == 0x01 && b[1] == 0xDA && b[2] <= 1 && (b[3] == 1 || b[3] == 2))
        return kFmtSgi;
    if (b.size() >= 8) {
        const std::uint32_t header_be = Be32(b.data()), header_le = Le32(b.data());
        if ((Be32(b.data() + 4) == 7 && header_be >= 100 && header_be < 4096) ||
            (Le32(b.data() + 4) == 7 && header_le >= 100 && header_le < 4096))
            return kFmtXwd;
    }
    if (b.size() >= 128 && b[0] == 0x0A && (b[1] <= 5 && b[1] != 1) && b[2] <= 1 &&
        (b[3] == 1 || b[3] == 2 || b[3] == 4 || b[3] == 8))
        return kFmtPcx;
    return -1;
}

std::int32_t SniffFile(const std::string& path, const char** foreign)
{
    if (foreign != nullptr)
        *foreign = nullptr;
    FilePtr f = OpenForRead(path);
    if (!f)
        return -1;
    std::uint8_t head[kSniffBytes];
    const std::size_t n = std::fread(head, 1, sizeof head, f.get());
    const std::span<const std::uint8_t> bytes(head, n);
    if (foreign != nullptr)
        *foreign = ForeignFormatName(bytes);
    return SniffFormat(bytes);
}
