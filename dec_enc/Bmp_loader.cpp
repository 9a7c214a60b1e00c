#include "dec_enc/Bmp_loader.h"

#include "base/Byte_order.h"
#include "base/Result_codes.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiAlphaBitfields = 6;

// Bytes of one stored row: bits rounded up to whole 32-bit words.
std::uint64_t FileStride(std::int64_t width, int bits)
{
    return (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bits) + 31) / 32 * 4;
}

// One channel of a masked pixel: shift, width and the scale of values of up to 8 bits.
struct Channel {
    int shift = 0;
    int bits = 0;
    std::uint8_t scale[256] = {};

    explicit Channel(std::uint32_t mask)
    {
        if (mask == 0)
            return;
        shift = std::countr_zero(mask);
        bits = std::countr_one(mask >> shift); // a mask with holes counts up to its first gap
        if (bits > 8)
            return;
        // Narrow channels repeat their bit pattern down to the lowest bit (5 bits abcde
        // become abcdeabc), as the usual decoders do.
        for (std::uint32_t v = 0; v < (1u << bits); ++v) {
            std::uint32_t out = 0;
            for (int filled = 0; filled < 8; filled += bits) {
                const int at = 8 - filled - bits;
                out |= at >= 0 ? v << at : v >> -at;
            }
            scale[v] = static_cast<std::uint8_t>(out);
        }
    }
    std::uint8_t Of(std::uint32_t pixel) const
    {
        if (bits == 0)
            return 0;
        const std::uint32_t v = pixel >> shift;
        if (bits > 8)
            return static_cast<std::uint8_t>(v >> (bits - 8));
        return scale[v & ((1u << bits) - 1u)];
    }
};

void PaletteToBgr(const BMP_INFO& info, std::uint8_t (*lut)[3])
{
    for (int i = 0; i < 256; ++i) {
        const std::uint32_t c = info.palette[i];
        lut[i][0] = static_cast<std::uint8_t>(c >> 16);
        lut[i][1] = static_cast<std::uint8_t>(c >> 8);
        lut[i][2] = static_cast<std::uint8_t>(c);
    }
}

void DecodeRawRows(std::span<const std::uint8_t> data, const BMP_INFO& info, std::uint8_t* base,
                   std::size_t stride)
{
    const std::size_t w = static_cast<std::size_t>(info.width);
    const std::size_t file_stride = static_cast<std::size_t>(FileStride(info.width, info.bit_count));
    const std::size_t row_bytes = (w * static_cast<std::size_t>(info.bit_count) + 7) / 8;
    std::uint8_t lut[256][3];
    PaletteToBgr(info, lut);
    const Channel red(info.masks[0]), green(info.masks[1]), blue(info.masks[2]);
    const bool plain32 = info.bit_count == 32 && info.masks[0] == 0xFF0000 && info.masks[1] == 0xFF00 &&
                         info.masks[2] == 0xFF;
    for (int j = 0; j < info.height; ++j) {
        const int y = info.top_down ? j : info.height - 1 - j;
        std::uint8_t* out = base + static_cast<std::size_t>(y) * stride;
        const std::size_t start = static_cast<std::size_t>(j) * file_stride;
        if (start >= data.size() || data.size() - start < row_bytes) {
            std::memset(out, 0, w * 3); // the file ends before this row
            continue;
        }
        const std::uint8_t* in = data.data() + start;
        switch (info.bit_count) {
        case 24:
            std::memcpy(out, in, w * 3);
            break;
        case 32:
            if (plain32) {
                for (std::size_t x = 0; x < w; ++x, in += 4, out += 3) {
                    out[0] = in[0];
                    out[1] = in[1];
                    out[2] = in[2];
                }
                break;
            }
            for (std::size_t x = 0; x < w; ++x, in += 4, out += 3) {
                const std::uint32_t p = LoadDword(kLittleEndian, in);
                out[0] = blue.Of(p);
                out[1] = green.Of(p);
                out[2] = red.Of(p);
            }
            break;
        case 16:
            for (std::size_t x = 0; x < w; ++x, in += 2, out += 3) {
                const std::uint32_t p = LoadWord(kLittleEndian, in);
                out[0] = blue.Of(p);
                out[1] = green.Of(p);
                out[2] = red.Of(p);
            }
            break;
        case 8:
            for (std::size_t x = 0; x < w; ++x, out += 3)
                std::memcpy(out, lut[in[x]], 3);
            break;
        default: { // 1, 2 or 4 bits, leftmost pixel in the high bits
            const int bits = info.bit_count;
            const unsigned mask = (1u << bits) - 1u;
            for (std::size_t x = 0; x < w; ++x, out += 3) {
                const std::size_t bit = x * static_cast<std::size_t>(bits);
                const unsigned v = (in[bit / 8] >> (8 - bits - static_cast<int>(bit % 8))) & mask;
                std::memcpy(out, lut[v], 3);
            }
            break;
        }
        }
    }
}

// BI_RLE8 and BI_RLE4: runs, and escapes 0 0 (end of line), 0 1 (end of bitmap),
// 0 2 dx dy (move) and 0 n (n literal pixels, padded to a 16-bit boundary). Pixels past
// the right edge are dropped; pixels the data skips stay black.
void DecodeRleRows(std::span<const std::uint8_t> data, const BMP_INFO& info, std::uint8_t* base,
                   std::size_t stride)
{
    const std::size_t w = static_cast<std::size_t>(info.width);
    for (int y = 0; y < info.height; ++y)
        std::memset(base + static_cast<std::size_t>(y) * stride, 0, w * 3);
    std::uint8_t lut[256][3];
    PaletteToBgr(info, lut);
    const bool four = info.compression == kBiRle4;
    std::size_t pos = 0, x = 0;
    std::int64_t line = 0; // counted from the first row stored
    auto put = [&](unsigned index) {
        if (x < w && line < info.height) {
            const int y = info.top_down ? static_cast<int>(line) : info.height - 1 - static_cast<int>(line);
            std::memcpy(base + static_cast<std::size_t>(y) * stride + x * 3, lut[index], 3);
        }
        ++x;
    };
    while (pos + 1 < data.size() && line < info.height) {
        const unsigned count = data[pos], value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count && x < w; ++i)
                put(four ? ((i & 1) ? value & 15 : value >> 4) : value);
            continue;
        }
        if (value == 0) {
            x = 0;
            ++line;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (pos + 1 >= data.size())
                break;
            x += data[pos];
            line += data[pos + 1];
            pos += 2;
        } else {
            const std::size_t bytes = four ? (value + 1) / 2 : value;
            if (data.size() - pos < bytes)
                break;
            for (unsigned i = 0; i < value; ++i) {
                const unsigned b = data[pos + (four ? i / 2 : i)];
                if (x >= w)
                    break;
                put(four ? ((i & 1) ? b & 15 : b >> 4) : b);
            }
            pos += (bytes + 1) & ~std::size_t{1};
        }
    }
}

} // namespace

int ParseBmpHeader(std::span<const std::uint8_t> file, BMP_INFO& info, bool packed)
{
    info = BMP_INFO{};
    auto fail = [&info](int code, const char* reason) {
        info.reason = reason;
        return code;
    };
    if (!packed && (file.size() < 2 || file[0] != 'B' || file[1] != 'M'))
        return fail(kMagicError, "no BMP signature");
    const std::size_t hb = packed ? 0 : 14; // where the info header starts
    if (file.size() < hb + 4)
        return fail(kDataError, "the file ends inside its header");
    const std::uint8_t* f = file.data();
    const std::uint32_t header_size = LoadDword(kLittleEndian, f + hb);
    const bool core = header_size == 12;
    if (!core && (header_size < 16 || header_size > 124))
        return fail(kDataError, "an info header of a size no BMP has");
    if (file.size() < hb + std::size_t{header_size})
        return fail(kDataError, "the file ends inside its header");
    const std::uint8_t* h = f + hb;
    std::int64_t width = 0, height = 0;
    std::uint32_t colours_used = 0;
    if (core) {
        width = LoadWord(kLittleEndian, h + 4);
        height = LoadWord(kLittleEndian, h + 6);
        info.bit_count = LoadWord(kLittleEndian, h + 10);
    } else {
        width = static_cast<std::int32_t>(LoadDword(kLittleEndian, h + 4));
        height = static_cast<std::int32_t>(LoadDword(kLittleEndian, h + 8));
        info.bit_count = LoadWord(kLittleEndian, h + 14);
        if (header_size >= 20)
            info.compression = LoadDword(kLittleEndian, h + 16);
        if (header_size >= 36)
            colours_used = LoadDword(kLittleEndian, h + 32);
    }
    if (height < 0) {
        info.top_down = true;
        height = -height;
    }
    if (width < 1 || height < 1)
        return fail(kDataError, "the header gives the picture no width or no height");
    info.width = static_cast<std::int32_t>(width);
    info.height = static_cast<std::int32_t>(height);

    const int bits = info.bit_count;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return fail(kBitDepthNotSupported, "a bit count no BMP has");
    std::size_t table_start = hb + std::size_t{header_size};
    switch (info.compression) {
    case kBiRgb:
        if (bits == 16) {
            info.masks[0] = 0x7C00;
            info.masks[1] = 0x03E0;
            info.masks[2] = 0x001F;
        } else if (bits == 32) {
            info.masks[0] = 0xFF0000;
            info.masks[1] = 0xFF00;
            info.masks[2] = 0xFF;
        }
        break;
    case kBiRle8:
    case kBiRle4:
        if (bits != (info.compression == kBiRle8 ? 8 : 4))
            return fail(kDataError, "run-length coding of the wrong bit count");
        break;
    case kBiBitfields:
    case kBiAlphaBitfields: {
        if (bits != 16 && bits != 32)
            return fail(kDataError, "channel masks at a bit count other than 16 or 32");
        // Masks sit inside headers of 52 bytes and more, else right after the header.
        const std::size_t mask_at = header_size >= 52 ? hb + 40 : table_start;
        if (file.size() < mask_at + 12)
            return fail(kDataError, "the file ends inside its header");
        for (int i = 0; i < 3; ++i)
            info.masks[i] = LoadDword(kLittleEndian, f + mask_at + 4 * static_cast<std::size_t>(i));
        if (header_size < 52)
            table_start += info.compression == kBiAlphaBitfields ? 16 : 12;
        break;
    }
    default:
        return fail(kCompressionNotSupported, info.compression == 4   ? "BMP with a JPEG picture inside"
                                              : info.compression == 5 ? "BMP with a PNG picture inside"
                                                                      : "a BMP compression that is not read");
    }

    if (packed) {
        // The pixels follow the colour table: as many entries as the header names, or
        // as the depth allows.
        std::size_t count = bits <= 8 ? std::size_t{1} << bits : 0;
        if (colours_used != 0 && (bits > 8 || colours_used < count))
            count = std::min<std::size_t>(colours_used, 256);
        info.data_offset = table_start + count * (core ? 3 : 4);
    } else {
        info.data_offset = LoadDword(kLittleEndian, f + 10);
    }
    if (info.data_offset >= file.size())
        return fail(kDataError, "the pixels would start past the end of the file");
    if (bits <= 8) {
        const std::size_t entry = core ? 3 : 4;
        std::size_t count = std::size_t{1} << bits;
        if (colours_used != 0 && colours_used < count)
            count = colours_used;
        // Old writers leave the table shorter than the depth: it ends where the pixels start.
        if (info.data_offset > table_start)
            count = std::min(count, (info.data_offset - table_start) / entry);
        if (table_start + count * entry > file.size())
            return fail(kDataError, "the file ends inside its colour table");
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* e = f + table_start + i * entry;
            info.palette[i] = std::uint32_t{e[2]} | (std::uint32_t{e[1]} << 8) | (std::uint32_t{e[0]} << 16);
        }
        info.palette_size = static_cast<int>(count);
    }

    const bool plain32 = info.masks[0] == 0xFF0000 && info.masks[1] == 0xFF00 && info.masks[2] == 0xFF;
    info.pixel_class = bits == 1 ? 1 : bits <= 4 ? 4 : bits <= 16 ? 15 : bits == 24 ? 24 : plain32 ? 32 : 15;

    const std::uint64_t stride = FileStride(width, bits);
    if (PictureBytes(width, height, 3) == SIZE_MAX || stride * static_cast<std::uint64_t>(height) > (1ull << 32))
        return fail(kImageTooLarge, "the picture would take more than 1 GiB");
    return kOk;
}

bool BmpRowsPresent(std::size_t file_size, const BMP_INFO& info)
{
    if (file_size <= info.data_offset)
        return false;
    const std::uint64_t data = file_size - info.data_offset;
    if (info.compression == kBiRle8 || info.compression == kBiRle4) {
        // Runs cover at most 255 pixels in two bytes and moves skip more, but a picture far
        // larger than its data could ever describe is refused as well.
        const std::uint64_t pixels = static_cast<std::uint64_t>(info.width) * static_cast<std::uint64_t>(info.height);
        return pixels <= data * 2048 + (std::uint64_t{1} << 20);
    }
    const std::uint64_t claimed = FileStride(info.width, info.bit_count) * static_cast<std::uint64_t>(info.height);
    return data >= claimed / 2;
}

void DecodeBmpPixels(std::span<const std::uint8_t> file, const BMP_INFO& info, std::uint8_t* base,
                     std::size_t stride)
{
    const auto data = file.subspan(info.data_offset);
    if (info.compression == kBiRle8 || info.compression == kBiRle4)
        DecodeRleRows(data, info, base, stride);
    else
        DecodeRawRows(data, info, base, stride);
}

int LoadBmp(std::span<const std::uint8_t> file, Dib& dib, BMP_INFO& info, bool packed)
{
    if (int rc = ParseBmpHeader(file, info, packed); rc != kOk)
        return rc;
    if (!BmpRowsPresent(file.size(), info))
        return kDataError;
    if (int rc = dib.SetSize(info.width, info.height, 24); rc != kOk)
        return rc;
    const std::size_t row = static_cast<std::size_t>(info.width) * 3;
    for (int y = 0; y < info.height; ++y)
        std::memset(dib.ScanLine(y) + row, 0, dib.Stride() - row);
    DecodeBmpPixels(file, info, dib.Bits(), dib.Stride());
    return kOk;
}
