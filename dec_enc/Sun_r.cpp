// Sun raster reading: eight big-endian 32-bit words (magic 0x59A66A95, width, height,
// depth, data length, type, colour map type, colour map length), the colour map, then
// rows padded to an even number of bytes. Depths 1, 8, 24 and 32; types 0 and 1 (plain,
// blue-green-red), 3 (plain, red-green-blue) and 2 (run-length coded); colour maps of
// three planes (red, green, blue) apply to 1- and 8-bit pictures. Without a map, 8-bit
// pictures are grey and a set bit of a 1-bit picture is black.
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Raster_rows.h"

#include <cstring>

namespace {

constexpr std::uint32_t kMagic = 0x59A66A95u;
constexpr std::uint32_t kTypeRle = 2;
constexpr std::uint32_t kTypeRgb = 3;

// Expands the run-length code (0x80 n v: n + 1 copies of v; 0x80 0: one 0x80) into `out`,
// stopping when it is full or the input ends. Returns the bytes produced.
std::size_t ExpandSunRle(ByteCursor& in, std::uint8_t* out, std::size_t size)
{
    std::size_t filled = 0;
    while (filled < size) {
        const int c = in.Get();
        if (c < 0)
            break;
        if (c != 0x80) {
            out[filled++] = static_cast<std::uint8_t>(c);
            continue;
        }
        const int n = in.Get();
        if (n < 0)
            break;
        if (n == 0) {
            out[filled++] = 0x80;
            continue;
        }
        const int v = in.Get();
        if (v < 0)
            break;
        const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(n) + 1, size - filled);
        std::memset(out + filled, v, count);
        filled += count;
    }
    return filled;
}

} // namespace

int DecodeSun(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    ByteCursor in(bytes);
    if (in.Dword(kBigEndian) != kMagic)
        return kDataError;
    const std::uint32_t width = in.Dword(kBigEndian);
    const std::uint32_t height = in.Dword(kBigEndian);
    const std::uint32_t depth = in.Dword(kBigEndian);
    in.Skip(4); // data length: 0 in old files, not needed
    const std::uint32_t type = in.Dword(kBigEndian);
    const std::uint32_t map_type = in.Dword(kBigEndian);
    const std::uint32_t map_length = in.Dword(kBigEndian);
    if (in.Pos() < 32)
        return kDataError;
    if (depth != 1 && depth != 8 && depth != 24 && depth != 32)
        return kBitDepthNotSupported;
    if (type > kTypeRgb)
        return kCompressionNotSupported;
    if (map_type > 2 || map_length > in.Left())
        return kDataError;
    if (width == 0 || height == 0 || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu)
        return kDataError;

    // Colour map: map_length / 3 entries, all reds, then greens, then blues. Raw maps
    // (type 2) are skipped.
    std::uint8_t map[256 * 3] = {}; // blue, green, red per index
    std::size_t colours = 0;
    if (map_type == 1) {
        colours = std::min<std::size_t>(map_length / 3, 256);
        const std::uint8_t* m = in.Bytes().data() + in.Pos();
        const std::size_t plane = map_length / 3;
        for (std::size_t i = 0; i < colours; ++i) {
            map[i * 3 + 2] = m[i];
            map[i * 3 + 1] = m[plane + i];
            map[i * 3] = m[2 * plane + i];
        }
    }
    in.Skip(map_length);

    const std::size_t bits_per_row = std::size_t {width} * depth;
    const std::size_t row_bytes = (bits_per_row + 15) / 16 * 2;
    if (PictureBytes(width, height, 3) == SIZE_MAX || row_bytes > kMaxPictureBytes)
        return kImageTooLarge;
    const std::size_t raster = row_bytes * height;
    if (raster / height != row_bytes ||
        !ClaimFits(raster, in.Left(), type == kTypeRle ? expansion::kRunLengthHalf : expansion::kStoredHalf,
                   kSmallRaster))
        return kDataError;
    if (int rc = ctx.ReserveDecoded(width, height); rc != kOk)
        return rc;
    ctx.width = static_cast<std::int32_t>(width);
    ctx.height = static_cast<std::int32_t>(height);
    ctx.bits_per_pixel = static_cast<std::int32_t>(depth);
    ctx.compression_name = type == kTypeRle ? "RLE" : "None";

    ByteCursor rows = in;
    if (type == kTypeRle) {
        if (int rc = ctx.expanded.Reserve(raster); rc != kOk)
            return rc;
        const std::size_t got = ExpandSunRle(in, ctx.expanded.data(), raster);
        rows = ByteCursor(std::span<const std::uint8_t>(ctx.expanded.data(), got));
    }

    const std::size_t w = width;
    const bool rgb = type == kTypeRgb;
    switch (depth) {
    case 1: {
        // Index 0 is white and 1 black unless a map says otherwise.
        const std::uint8_t* set = colours >= 2 ? map + 3 : nullptr;
        DecodeRows(ctx, rows, row_bytes, 1, false, [&](const std::uint8_t* src, std::uint8_t* dst) {
            if (set == nullptr) {
                BitsToBgr(src, ctx.width, 0, 255, dst);
                return;
            }
            for (std::size_t x = 0; x < w; ++x, dst += 3)
                std::memcpy(dst, (src[x >> 3] >> (7 - (x & 7))) & 1 ? map + 3 : map, 3);
        });
        break;
    }
    case 8:
        DecodeRows(ctx, rows, row_bytes, 8, false, [&](const std::uint8_t* src, std::uint8_t* dst) {
            if (colours == 0) {
                GreyToBgr(src, w, dst);
                return;
            }
            // Indices past the map are black (the map's unused entries are zero).
            for (std::size_t x = 0; x < w; ++x, dst += 3)
                std::memcpy(dst, map + std::size_t {src[x]} * 3, 3);
        });
        break;
    case 24:
        DecodeRows(ctx, rows, row_bytes, 24, false, [&](const std::uint8_t* src, std::uint8_t* dst) {
            if (rgb)
                RgbToBgr(src, w, dst);
            else
                std::memcpy(dst, src, w * 3);
        });
        break;
    default: // 32: an unused byte, then blue-green-red (red-green-blue for type 3)
        DecodeRows(ctx, rows, row_bytes, 32, false, [&](const std::uint8_t* src, std::uint8_t* dst) {
            for (std::size_t x = 0; x < w; ++x, src += 4, dst += 3) {
                dst[0] = rgb ? src[3] : src[1];
                dst[1] = src[2];
                dst[2] = rgb ? src[1] : src[3];
            }
        });
        break;
    }
    return ctx.CopyToDirectTarget();
}
