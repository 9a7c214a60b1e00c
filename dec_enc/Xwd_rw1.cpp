// X window dumps (.XWD), file version 7.
//
// Layout: a header of 25 big-endian 32-bit words (header size, version 7, pixmap format,
// depth, width, height, x offset, byte order, bitmap unit, bit order, bitmap pad, bits per
// pixel, bytes per line, visual class, red/green/blue masks, bits per RGB, colour map
// entries, number of colours, window width, height, x, y, border), the window name up to
// the header size, then "number of colours" colour map entries of 12 bytes (pixel value,
// red, green, blue as 16-bit values, flags, pad; big-endian), then the pixel rows, each
// padded to bytes per line.
//
// Read: Z pixmaps (and depth-1 XY bitmaps) of 1, 4, 8, 16, 24 and 32 bits per pixel.
// Pseudo-colour and grey visual classes take their colours from the colour map (a grey
// ramp over the depth for values the map lacks); true-colour and direct-colour classes
// take them from the masks, each channel scaled to 0..255. XY pixmaps are refused.
// Write: 24-bit most-significant-first Z pixmaps from the caller's source bitmap, or from
// the pixels WriterSource() names when there is none.
#include "base/Byte_order.h"
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr std::uint32_t kHeaderBytes = 100;
constexpr std::uint32_t kMsbFirst = 1;

enum Visual : std::uint32_t { kStaticGray = 0, kGrayScale, kStaticColor, kPseudoColor, kTrueColor, kDirectColor };

struct XWD_HEADER {
    std::uint32_t header_size, version, format, depth, width, height, xoffset, byte_order, bitmap_unit,
        bit_order, bitmap_pad, bits_per_pixel, bytes_per_line, visual_class, red_mask, green_mask, blue_mask,
        bits_per_rgb, colormap_entries, ncolors, window_width, window_height, window_x, window_y, border;
};

// The header's 25 words in file order.
constexpr std::uint32_t XWD_HEADER::*kHeaderFields[] = {
    &XWD_HEADER::header_size,  &XWD_HEADER::version,       &XWD_HEADER::format,       &XWD_HEADER::depth,
    &XWD_HEADER::width,        &XWD_HEADER::height,        &XWD_HEADER::xoffset,      &XWD_HEADER::byte_order,
    &XWD_HEADER::bitmap_unit,  &XWD_HEADER::bit_order,     &XWD_HEADER::bitmap_pad,   &XWD_HEADER::bits_per_pixel,
    &XWD_HEADER::bytes_per_line, &XWD_HEADER::visual_class, &XWD_HEADER::red_mask,    &XWD_HEADER::green_mask,
    &XWD_HEADER::blue_mask,    &XWD_HEADER::bits_per_rgb,  &XWD_HEADER::colormap_entries, &XWD_HEADER::ncolors,
    &XWD_HEADER::window_width, &XWD_HEADER::window_height, &XWD_HEADER::window_x,     &XWD_HEADER::window_y,
    &XWD_HEADER::border,
};
static_assert(sizeof kHeaderFields / sizeof kHeaderFields[0] * 4 == kHeaderBytes);

// One colour channel of a mask: where it starts and a table from its value to 0..255.
struct Channel {
    int shift = 0;
    int drop = 0; // low bits dropped from channels wider than 16 bits
    std::vector<std::uint8_t> scale;

    void Build(std::uint32_t mask)
    {
        shift = 0;
        while (((mask >> shift) & 1) == 0)
            ++shift;
        int bits = 0;
        while (shift + bits < 32 && ((mask >> (shift + bits)) != 0))
            ++bits;
        drop = bits > 16 ? bits - 16 : 0;
        bits -= drop;
        const std::uint32_t top = (1u << bits) - 1;
        scale.resize(std::size_t{top} + 1);
        for (std::uint32_t v = 0; v <= top; ++v)
            scale[v] = static_cast<std::uint8_t>(std::uint64_t{v} * 255 / top);
        mask_ = top;
    }
    std::uint8_t Of(std::uint32_t value) const { return scale[(value >> shift >> drop) & mask_]; }

private:
    std::uint32_t mask_ = 0;
};

// Reads the pixel value of column x from a row.
std::uint32_t PixelValue(const XWD_HEADER& h, const std::uint8_t* row, std::size_t x)
{
    const bool msb = h.byte_order == kMsbFirst;
    switch (h.bits_per_pixel) {
    case 1: {
        const int bit = static_cast<int>(x & 7);
        return (row[x >> 3] >> (h.bit_order == kMsbFirst ? 7 - bit : bit)) & 1u;
    }
    case 4: {
        const std::uint8_t b = row[x >> 1];
        return ((x & 1) == 0) == msb ? b >> 4 : b & 0x0Fu;
    }
    case 8:
        return row[x];
    case 16:
        return LoadWord(msb ? kBigEndian : kLittleEndian, row + 2 * x);
    case 24: {
        const std::uint8_t* p = row + 3 * x;
        return msb ? (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2]
                   : (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
    }
    default:
        return LoadDword(msb ? kBigEndian : kLittleEndian, row + 4 * x);
    }
}

class XwdDecoder {
public:
    explicit XwdDecoder(const XWD_HEADER& h) : h_(h) {}

    int Prepare(std::span<const std::uint8_t> colormap)
    {
        pseudo_ = h_.visual_class <= kPseudoColor && h_.bits_per_pixel <= 16;
        if (pseudo_) {
            // Values the map does not name: a grey ramp over the depth.
            const std::uint32_t entries = 1u << h_.bits_per_pixel;
            const std::uint32_t depth = std::clamp<std::uint32_t>(h_.depth, 1, h_.bits_per_pixel);
            const std::uint32_t top = (1u << depth) - 1;
            lut_.resize(std::size_t{entries} * 3);
            for (std::uint32_t v = 0; v < entries; ++v) {
                const auto g = static_cast<std::uint8_t>(std::min(v, top) * 255 / top);
                lut_[v * 3] = lut_[v * 3 + 1] = lut_[v * 3 + 2] = g;
            }
            for (std::size_t i = 0; i + 12 <= colormap.size(); i += 12) {
                const std::uint32_t v = LoadDword(kBigEndian, &colormap[i]);
                if (v >= entries)
                    continue;
                lut_[v * 3] = colormap[i + 8];     // blue, high byte
                lut_[v * 3 + 1] = colormap[i + 6]; // green
                lut_[v * 3 + 2] = colormap[i + 4]; // red
            }
            return kOk;
        }
        red_.Build(h_.red_mask != 0 ? h_.red_mask : 0xFF0000u);
        green_.Build(h_.green_mask != 0 ? h_.green_mask : 0x00FF00u);
        blue_.Build(h_.blue_mask != 0 ? h_.blue_mask : 0x0000FFu);
        // Whole-byte channels of 24- and 32-bit pixels are copied byte by byte.
        const int bytes = static_cast<int>(h_.bits_per_pixel / 8);
        if (bytes >= 3 && red_.scale.size() == 256 && green_.scale.size() == 256 && blue_.scale.size() == 256 &&
            red_.shift % 8 == 0 && green_.shift % 8 == 0 && blue_.shift % 8 == 0 && red_.drop == 0) {
            auto offset = [&](int shift) { return h_.byte_order == kMsbFirst ? bytes - 1 - shift / 8 : shift / 8; };
            auto inside = [&](int shift) { return offset(shift) >= 0 && offset(shift) < bytes; };
            direct_ = inside(red_.shift) && inside(green_.shift) && inside(blue_.shift);
            off_r_ = offset(red_.shift);
            off_g_ = offset(green_.shift);
            off_b_ = offset(blue_.shift);
        }
        return kOk;
    }

    // Decodes the first `pixels` pixels of a row into blue-green-red.
    void Row(const std::uint8_t* in, std::size_t pixels, std::uint8_t* out) const
    {
        if (direct_) {
            const std::size_t step = h_.bits_per_pixel / 8;
            const std::uint8_t* p = in;
            for (std::size_t x = 0; x < pixels; ++x, p += step, out += 3) {
                out[0] = p[off_b_];
                out[1] = p[off_g_];
                out[2] = p[off_r_];
            }
            return;
        }
        if (pseudo_) {
            for (std::size_t x = 0; x < pixels; ++x, out += 3) {
                const std::uint8_t* c = &lut_[std::size_t{PixelValue(h_, in, x)} * 3];
                out[0] = c[0];
                out[1] = c[1];
                out[2] = c[2];
            }
            return;
        }
        for (std::size_t x = 0; x < pixels; ++x, out += 3) {
            const std::uint32_t v = PixelValue(h_, in, x);
            out[0] = blue_.Of(v);
            out[1] = green_.Of(v);
            out[2] = red_.Of(v);
        }
    }

private:
    const XWD_HEADER& h_;
    bool pseudo_ = false;
    bool direct_ = false;
    int off_r_ = 0, off_g_ = 0, off_b_ = 0;
    std::vector<std::uint8_t> lut_; // blue, green, red per pixel value
    Channel red_, green_, blue_;
};

int DecodeXwdBytes(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    ByteCursor in(bytes);
    const auto raw = in.Take(kHeaderBytes);
    if (raw.size() != kHeaderBytes)
        return kMagicError;
    XWD_HEADER h {};
    for (std::size_t i = 0; i < std::size(kHeaderFields); ++i)
        h.*kHeaderFields[i] = LoadDword(kBigEndian, raw.data() + 4 * i);
    if (h.version != 7)
        return kMagicError;
    if (h.header_size < kHeaderBytes || h.header_size > bytes.size())
        return kDataError;
    in.Seek(h.header_size);

    // The colour map must be in the file.
    const std::uint64_t map_bytes = std::uint64_t{h.ncolors} * 12;
    if (map_bytes > in.Left())
        return kDataError;
    const auto colormap = in.Take(static_cast<std::size_t>(map_bytes));

    if (h.width == 0 || h.height == 0)
        return kDataError;
    if (h.width > 0x7FFFFFFF || h.height > 0x7FFFFFFF)
        return kImageTooLarge;
    ctx.bits_per_pixel = 24;

    // Depth-1 XY bitmaps are laid out like 1-bit Z pixmaps.
    if (h.format == 0 && h.depth == 1)
        h.bits_per_pixel = 1;
    else if (h.format != 2)
        return kFormatNotSupported;
    switch (h.bits_per_pixel) {
    case 1: case 4: case 8: case 16: case 24: case 32:
        break;
    default:
        return kBitDepthNotSupported;
    }
    if (h.depth == 0 || h.depth > 32)
        return kBitDepthNotSupported;
    const std::uint64_t pixel_bytes = (std::uint64_t{h.width} * h.bits_per_pixel + 7) / 8;
    if (h.bytes_per_line < pixel_bytes)
        return kDataError;
    // At most eight times what the file holds: a short file reads as far as it goes and
    // the rest shows black.
    if (!ClaimFits(std::uint64_t{h.bytes_per_line} * h.height, in.Left(), expansion::kStoredEighthDiv))
        return kDataError;
    if (int rc = ctx.ReserveDecoded(h.width, h.height); rc != kOk)
        return rc;
    ctx.width = static_cast<std::int32_t>(h.width);
    ctx.height = static_cast<std::int32_t>(h.height);

    XwdDecoder decoder(h);
    if (int rc = decoder.Prepare(colormap); rc != kOk)
        return rc;

    const std::size_t line = h.bytes_per_line;
    for (int y = 0; y < ctx.height; ++y) {
        const auto row = in.Take(line);
        if (row.size() == line) {
            decoder.Row(row.data(), h.width, ctx.DecodedRow(y));
            continue;
        }
        // A torn row keeps the pixels that are there; the rest of the picture is black.
        if (int rc = ctx.raw_rows.Reserve(line); rc != kOk)
            return rc;
        std::memcpy(ctx.raw_rows.data(), row.data(), row.size());
        const std::size_t pixels = std::min<std::size_t>(row.size() * 8 / h.bits_per_pixel, h.width);
        std::uint8_t* out = ctx.DecodedRow(y);
        decoder.Row(ctx.raw_rows.data(), pixels, out);
        std::memset(out + pixels * 3, 0, (h.width - pixels) * 3);
        FillMissingRows(ctx, y + 1);
        break;
    }
    return kOk;
}

} // namespace

int DecodeXwd(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    try {
        return DecodeXwdBytes(ctx, bytes);
    } catch (const std::bad_alloc&) {
        return kMemoryError;
    } catch (...) {
        return kUnknownError;
    }
}

int WriteXwd(CODEC_CTX& ctx)
{
    if (ctx.width < 1 || ctx.height < 1)
        return kDataError;
    if (!ctx.HasSourceRows())
        return kDataError;

    FilePtr f = OpenForWrite(ctx.output_file_name);
    if (!f)
        return kOpenFileError;
    const auto w = static_cast<std::uint32_t>(ctx.width);
    const auto hgt = static_cast<std::uint32_t>(ctx.height);
    const std::size_t pixel_bytes = std::size_t{w} * 3;
    const std::size_t line = (pixel_bytes + 3) / 4 * 4;
    const std::uint32_t words[25] = {kHeaderBytes, 7, 2, 24, w, hgt, 0, 1, 32, 1, 32, 24,
                                     static_cast<std::uint32_t>(line), kTrueColor, 0xFF0000u, 0x00FF00u,
                                     0x0000FFu, 8, 0, 0, w, hgt, 64, 64, 0};
    std::uint8_t header[kHeaderBytes];
    for (std::size_t i = 0; i < 25; ++i)
        StoreDword(kBigEndian, words[i], header + 4 * i);
    std::fwrite(header, 1, sizeof header, f.get());

    std::vector<std::uint8_t> out(line, 0);
    for (int y = 0; y < ctx.height; ++y) {
        const std::uint8_t* p = ctx.SourceRow(y);
        for (std::size_t i = 0; i < pixel_bytes; i += 3) {
            out[i] = p[i + 2];
            out[i + 1] = p[i + 1];
            out[i + 2] = p[i];
        }
        std::fwrite(out.data(), 1, line, f.get());
    }
    return FinishWrite(std::move(f));
}
