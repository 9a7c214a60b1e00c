// Readers of six simple formats that fill the decoded pixel buffer and copy it into the
// direct target when the caller gives one: GIMP patterns, VICAR, Nokia operator logos, DICOM
// files of one fixed layout, MTV ray tracer pictures and fuzzy bitmaps (FBM).
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Raster_rows.h"

#include <cstring>
#include <string_view>

namespace {

// Checks the claimed raster against the bytes after `data_at`, sizes the decoded buffer
// and records the picture's facts.
int StartPicture(CODEC_CTX& ctx, const ByteCursor& in, std::int64_t w, std::int64_t h, std::size_t src_bpp,
                 std::size_t data_at, int bits_per_pixel)
{
    if (w < 1 || h < 1)
        return kDataError;
    const std::size_t bytes = PictureBytes(w, h, static_cast<std::int64_t>(src_bpp));
    if (bytes == SIZE_MAX || PictureBytes(w, h, 3) == SIZE_MAX)
        return kImageTooLarge;
    if (!ClaimFits(bytes, in.Size() > data_at ? in.Size() - data_at : 0, expansion::kStoredHalf, kSmallRaster))
        return kDataError;
    if (int rc = ctx.ReserveDecoded(w, h); rc != kOk)
        return rc;
    ctx.width = static_cast<std::int32_t>(w);
    ctx.height = static_cast<std::int32_t>(h);
    ctx.bits_per_pixel = bits_per_pixel;
    ctx.compression_name = "None";
    return kOk;
}

// A decimal number at the start of `s` (leading spaces skipped); -1 when there is none or
// it passes 2^31 - 1.
std::int64_t Decimal(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    if (i == s.size() || s[i] < '0' || s[i] > '9')
        return -1;
    std::int64_t v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > 0x7FFFFFFF)
            return -1;
    }
    return v;
}

std::string_view Text(const ByteCursor& in, std::size_t at, std::size_t n)
{
    const auto b = in.Bytes();
    if (at >= b.size())
        return {};
    n = std::min(n, b.size() - at);
    return {reinterpret_cast<const char*>(b.data() + at), n};
}

} // namespace

// GIMP patterns: big-endian header size, version, width, height, bytes per pixel and
// magic, then rows from the header size on: grey (1), grey and alpha (2), red-green-blue
// (3) or red-green-blue-alpha (4). Alpha is dropped.
int DecodeGimpPattern(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    ByteCursor in(bytes);
    const std::uint32_t header = in.Dword(kBigEndian);
    in.Skip(4);
    const std::uint32_t width = in.Dword(kBigEndian);
    const std::uint32_t height = in.Dword(kBigEndian);
    const std::uint32_t bpp = in.Dword(kBigEndian);
    if (in.Size() < 24 || header < 24)
        return kDataError;
    if (bpp < 1 || bpp > 4)
        return kBitDepthNotSupported;
    if (int rc = StartPicture(ctx, in, width, height, bpp, header, static_cast<int>(bpp * 8)); rc != kOk)
        return rc;
    in.Seek(header);
    const std::size_t w = width;
    DecodeRows(ctx, in, w * bpp, static_cast<int>(bpp * 8), false, [&](const std::uint8_t* src, std::uint8_t* dst) {
        if (bpp == 3) {
            RgbToBgr(src, w, dst);
            return;
        }
        for (std::size_t x = 0; x < w; ++x, src += bpp, dst += 3) {
            if (bpp <= 2) {
                dst[0] = dst[1] = dst[2] = src[0];
            } else {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
            }
        }
    });
    return ctx.CopyToDirectTarget();
}

// VICAR: a text label of KEY=VALUE words separated by spaces (values may be quoted),
// giving the label size (LBLSIZE, the offset of the data), the width (N1, or NS) and the
// height (N2, or NL); then rows of one grey byte a pixel. Only byte data is read.
int DecodeVicar(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    ByteCursor in(bytes);
    const std::string_view label = Text(in, 0, in.Size());
    std::int64_t lblsize = -1, n1 = -1, n2 = -1, ns = -1, nl = -1;
    std::size_t limit = label.size();
    std::size_t i = 0;
    while (i < limit && !(lblsize >= 0 && n1 > 0 && n2 > 0)) {
        while (i < limit && (label[i] == ' ' || label[i] == '\0'))
            ++i;
        const std::size_t key_start = i;
        while (i < limit && label[i] != '=' && label[i] != ' ')
            ++i;
        if (i >= limit || label[i] != '=')
            continue; // a word without a value
        const std::string_view key = label.substr(key_start, i - key_start);
        ++i;
        std::string_view value;
        if (i < limit && label[i] == '\'') {
            const std::size_t close = label.find('\'', i + 1);
            const std::size_t end = close == std::string_view::npos || close >= limit ? limit : close + 1;
            value = label.substr(i, end - i);
            i = end;
        } else {
            const std::size_t start = i;
            while (i < limit && label[i] != ' ')
                ++i;
            value = label.substr(start, i - start);
        }
        if (key == "LBLSIZE") {
            lblsize = Decimal(value);
            if (lblsize > 0 && static_cast<std::uint64_t>(lblsize) < limit)
                limit = static_cast<std::size_t>(lblsize);
        } else if (key == "N1") {
            n1 = Decimal(value);
        } else if (key == "N2") {
            n2 = Decimal(value);
        } else if (key == "NS") {
            ns = Decimal(value);
        } else if (key == "NL") {
            nl = Decimal(value);
        } else if (key == "FORMAT" && value != "'BYTE'") {
            return kBitDepthNotSupported;
        }
    }
    // ImageMagick writes N1=0 N2=0 and the size in NS and NL.
    if (n1 <= 0)
        n1 = ns;
    if (n2 <= 0)
        n2 = nl;
    if (lblsize < 1 || n1 < 0 || n2 < 0)
        return kDataError;
    if (int rc = StartPicture(ctx, in, n1, n2, 1, static_cast<std::size_t>(lblsize), 24); rc != kOk)
        return rc;
    in.Seek(static_cast<std::size_t>(lblsize));
    const auto w = static_cast<std::size_t>(n1);
    DecodeRows(ctx, in, w, 8, false, [w](const std::uint8_t* src, std::uint8_t* dst) { GreyToBgr(src, w, dst); });
    return ctx.CopyToDirectTarget();
}

// Nokia operator logos: "NOL", width and height at offset 10, then from offset 19 one
// character a pixel: "0" is black, anything else white.
int DecodeNokiaLogo(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    ByteCursor in(bytes);
    if (in.Size() < 3 || std::memcmp(in.Bytes().data(), "NOL", 3) != 0)
        return kDataError;
    in.Seek(10);
    const std::uint16_t width = in.Word(kLittleEndian);
    const std::uint16_t height = in.Word(kLittleEndian);
    constexpr std::size_t kDataAt = 19;
    if (int rc = StartPicture(ctx, in, width, height, 1, kDataAt, 1); rc != kOk)
        return rc;
    in.Seek(kDataAt);
    const std::size_t w = width;
    DecodeRows(ctx, in, w, 8, false, [w](const std::uint8_t* src, std::uint8_t* dst) {
        for (std::size_t x = 0; x < w; ++x, dst += 3)
            dst[0] = dst[1] = dst[2] = src[x] == '0' ? 0 : 255;
    });
    return ctx.CopyToDirectTarget();
}

// DICOM of one fixed layout: implicit little-endian elements with Rows (0028,0010) at
// offset 794, Columns (0028,0011) at 804 and Pixel Data (7FE0,0010) at 914, so that the
// height is at 802, the width at 812 and 8-bit grey rows start at 922. Files of any other
// layout are refused rather than shown as garbage.
int DecodeDicom(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    ByteCursor in(bytes);
    static const std::uint8_t kRows[] = {0x28, 0x00, 0x10, 0x00};
    static const std::uint8_t kColumns[] = {0x28, 0x00, 0x11, 0x00};
    static const std::uint8_t kPixels[] = {0xE0, 0x7F, 0x10, 0x00};
    const std::uint8_t* p = in.Bytes().data();
    if (in.Size() < 922 || std::memcmp(p + 794, kRows, 4) != 0 || std::memcmp(p + 804, kColumns, 4) != 0 ||
        std::memcmp(p + 914, kPixels, 4) != 0)
        return kMagicError;
    in.Seek(802);
    const std::uint16_t height = in.Word(kLittleEndian);
    in.Seek(812);
    const std::uint16_t width = in.Word(kLittleEndian);
    if (width > 4096 || height >= 4097)
        return kMagicError;
    // The pixel data must be 8-bit: its length is one byte a pixel (or undefined).
    in.Seek(918);
    const std::uint32_t length = in.Dword(kLittleEndian);
    if (length != 0xFFFFFFFFu && length != std::uint32_t {width} * height && length != std::uint32_t {width} * height + 1)
        return kBitDepthNotSupported;
    if (int rc = StartPicture(ctx, in, width, height, 1, 922, 8); rc != kOk)
        return rc;
    in.Seek(922);
    const std::size_t w = width;
    DecodeRows(ctx, in, w, 8, false, [w](const std::uint8_t* src, std::uint8_t* dst) { GreyToBgr(src, w, dst); });
    return ctx.CopyToDirectTarget();
}

// MTV: a first line "width height" (at most 500 characters), then red-green-blue rows,
// top first.
int DecodeMtv(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    ByteCursor in(bytes);
    const std::string_view head = Text(in, 0, 501);
    const std::size_t eol = head.find('\n');
    if (eol == std::string_view::npos)
        return kMagicError;
    const std::string_view line = head.substr(0, eol);
    const std::int64_t w = Decimal(line);
    std::size_t i = line.find_first_not_of(' ');
    i = line.find_first_not_of("0123456789", i == std::string_view::npos ? line.size() : i);
    const std::int64_t h = i == std::string_view::npos ? -1 : Decimal(line.substr(i));
    if (w < 0 || h < 0) {
        // A signed number is still a number, just not a size.
        const std::size_t sign = line.find('-');
        return sign != std::string_view::npos && sign + 1 < line.size() && line[sign + 1] >= '0' &&
                       line[sign + 1] <= '9'
                   ? kDataError
                   : kMagicError;
    }
    if (w == 0 || h == 0)
        return kDataError;
    const std::size_t data_at = eol + 1;
    if (int rc = StartPicture(ctx, in, w, h, 3, data_at, 24); rc != kOk)
        return rc;
    in.Seek(data_at);
    DecodeRows(ctx, in, ctx.RowBytes(), 24, false, [&](const std::uint8_t* src, std::uint8_t* dst) {
        RgbToBgr(src, static_cast<std::size_t>(ctx.width), dst);
    });
    return ctx.CopyToDirectTarget();
}

// FBM: a 256-byte header of decimal text fields (magic "%bitmap", columns, rows, planes,
// bits, physical bits, row length, plane length, ...), then the red, green and blue planes;
// the first row of a plane is the bottom row of the picture. Only 3 planes of 8 bits.
int DecodeFbm(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    ByteCursor in(bytes);
    constexpr std::size_t kDataAt = 256;
    const std::string_view magic = Text(in, 0, 8);
    if (magic.substr(0, 7) != "%bitmap" || (magic.size() == 8 && magic[7] != '\0' && magic[7] != ' '))
        return kMagicError;
    const std::int64_t cols = Decimal(Text(in, 8, 8));
    const std::int64_t rows = Decimal(Text(in, 16, 8));
    const std::int64_t planes = Decimal(Text(in, 24, 8));
    const std::int64_t bits = Decimal(Text(in, 32, 8));
    std::int64_t row_len = Decimal(Text(in, 48, 12));
    std::int64_t plane_len = Decimal(Text(in, 60, 12));
    if (planes != 3 || bits != 8)
        return kDataError;
    if (cols < 1 || rows < 1)
        return kDataError;
    // Rows may be padded: the header's row and plane lengths count when they are at least
    // what the picture needs.
    if (row_len < cols)
        row_len = cols;
    if (plane_len < row_len * rows)
        plane_len = row_len * rows;
    const std::size_t plane = static_cast<std::size_t>(plane_len);
    if (plane > kMaxPictureBytes)
        return kImageTooLarge;
    if (int rc = StartPicture(ctx, in, cols, rows, 3, kDataAt, 24); rc != kOk)
        return rc;
    const std::size_t stride = static_cast<std::size_t>(row_len);
    const std::size_t w = static_cast<std::size_t>(cols);
    const std::uint8_t* base = in.Bytes().data();
    const std::size_t size = in.Size();
    for (int i = 0; i < ctx.height; ++i) {
        std::uint8_t* dst = ctx.DecodedRow(ctx.height - 1 - i);
        const std::size_t r = kDataAt + static_cast<std::size_t>(i) * stride;
        const std::size_t last = r + 2 * plane + w; // one past the blue row
        if (last > size) {
            std::memset(dst, 0, ctx.RowBytes());
            continue;
        }
        for (std::size_t x = 0; x < w; ++x, dst += 3) {
            dst[0] = base[r + 2 * plane + x];
            dst[1] = base[r + plane + x];
            dst[2] = base[r + x];
        }
    }
    return ctx.CopyToDirectTarget();
}
