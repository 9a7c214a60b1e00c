// TARGA files: an 18-byte little-endian header (image ID length, colour-map type, image
// type, colour-map first entry, length and entry size, x and y origin, width, height, bits
// per pixel, descriptor), the image ID, the colour map, then the pixels.
//
// Reading: image types 1 (colour-mapped), 2 (true colour) and 3 (grey), and their
// run-length coded forms 9, 10 and 11, whose packets (a byte: bit 7 set = one pixel
// repeated, clear = literal pixels; count in bits 0-6, plus one) may run on from one row
// into the next. Colour-mapped pictures have 8-bit indices into a map of 15/16, 24 or
// 32-bit entries placed by the header's first-entry field; grey pictures have 8 bits, or
// 16 with an alpha byte that is dropped. True colour pixels are 16-bit words (5 bits each
// of blue, green, red from bit 0; bit 15 ignored; each scaled by 8), blue-green-red bytes,
// or blue-green-red-alpha bytes (alpha dropped). Descriptor bit 5 set: top row first;
// bit 4 set: pixels right to left. A picture of more than 4096 pixels both ways is refused.
//
// Writing: no ID, no colour map, image type 2, 24 bits per pixel, blue-green-red rows,
// bottom row first unless the top-to-bottom option is set (descriptor bit 5), pixels left
// to right unless the right-to-left option is set (descriptor bit 4). No footer.
#include "base/Byte_order.h"
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Bytes per file pixel of each depth class.
int TgaPixelBytes(int bits) { return bits == 15 ? 2 : bits / 8; }

struct TGA_LAYOUT {
    int type = 0;         // 1-3 uncompressed, 9-11 run-length coded
    int pixel_bytes = 0;  // 1, 2, 3 or 4
    bool grey = false;    // types 3 and 11
    bool mapped = false;  // types 1 and 9
    bool top_first = false;
    bool right_to_left = false;
    std::uint8_t lut[256][3] = {}; // colour-mapped pixels: index → blue, green, red
};

// One colour-map entry of 15/16, 24 or 32 bits as blue, green, red.
void MapEntryToBgr(const std::uint8_t* e, int entry_bytes, std::uint8_t* out)
{
    if (entry_bytes == 2) {
        const auto w = static_cast<unsigned>(e[0] | (e[1] << 8));
        out[0] = static_cast<std::uint8_t>((w & 31) << 3);
        out[1] = static_cast<std::uint8_t>(((w >> 5) & 31) << 3);
        out[2] = static_cast<std::uint8_t>(((w >> 10) & 31) << 3);
    } else {
        out[0] = e[0];
        out[1] = e[1];
        out[2] = e[2];
    }
}

// Converts one row of file pixels to blue, green, red.
void TgaRowToBgr(const TGA_LAYOUT& t, const std::uint8_t* src, std::size_t width, std::uint8_t* out)
{
    std::uint8_t* const start = out;
    if (t.mapped) {
        for (std::size_t x = 0; x < width; ++x, out += 3) {
            const std::uint8_t* c = t.lut[src[x]];
            out[0] = c[0];
            out[1] = c[1];
            out[2] = c[2];
        }
    } else if (t.grey) {
        // Grey with alpha (16 bits) keeps the grey byte.
        for (std::size_t x = 0; x < width; ++x, out += 3, src += t.pixel_bytes)
            out[0] = out[1] = out[2] = src[0];
    } else if (t.pixel_bytes == 2) {
        for (std::size_t x = 0; x < width; ++x, out += 3, src += 2) {
            const auto w = static_cast<unsigned>(src[0] | (src[1] << 8));
            out[0] = static_cast<std::uint8_t>((w & 31) << 3);
            out[1] = static_cast<std::uint8_t>(((w >> 5) & 31) << 3);
            out[2] = static_cast<std::uint8_t>(((w >> 10) & 31) << 3);
        }
    } else if (t.pixel_bytes == 3) {
        std::memcpy(out, src, width * 3);
    } else {
        for (std::size_t x = 0; x < width; ++x, out += 3, src += 4) {
            out[0] = src[0];
            out[1] = src[1];
            out[2] = src[2];
        }
    }
    if (t.right_to_left) {
        for (std::size_t a = 0, b = width - 1; a < b; ++a, --b)
            for (std::size_t k = 0; k < 3; ++k)
                std::swap(start[3 * a + k], start[3 * b + k]);
    }
}

// Run-length packets may run on from one row into the next; the state carries over.
struct TGA_RLE_STATE {
    int left = 0;      // pixels left in the current packet
    bool run = false;  // repeat packet
    std::uint8_t pixel[4] = {};
};

// Fills one row of file pixels from the packets; false when the data ran out (the rest of
// the row is zero).
bool DecodeTgaRleRow(ByteCursor& in, TGA_RLE_STATE& s, int pixel_bytes, std::size_t width, std::uint8_t* row)
{
    const auto pb = static_cast<std::size_t>(pixel_bytes);
    std::size_t x = 0;
    while (x < width) {
        if (s.left == 0) {
            const int h = in.Get();
            if (h < 0 || in.Left() < pb)
                break;
            s.left = (h & 0x7F) + 1;
            s.run = (h & 0x80) != 0;
            if (s.run)
                in.Read(s.pixel, pb);
        }
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(s.left), width - x);
        if (s.run) {
            for (std::size_t i = 0; i < n; ++i)
                std::memcpy(row + (x + i) * pb, s.pixel, pb);
        } else {
            const std::size_t got = in.Read(row + x * pb, n * pb);
            if (got < n * pb) {
                std::memset(row + x * pb + got, 0, (width - x) * pb - got);
                return false;
            }
        }
        s.left -= static_cast<int>(n);
        x += n;
    }
    if (x < width) {
        std::memset(row + x * pb, 0, (width - x) * pb);
        return false;
    }
    return true;
}

} // namespace

int DecodeTga(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    ByteCursor in(bytes);
    const auto head = in.Take(18);
    if (head.size() != 18)
        return Refuse(ctx, kDataError, kReasonHeaderCut);
    const std::uint8_t* h = head.data();
    const int id_length = h[0];
    const int map_type = h[1];
    const std::uint32_t map_first = LoadWord(kLittleEndian, h + 3);
    const std::uint32_t map_length = LoadWord(kLittleEndian, h + 5);
    const int map_bits = h[7];
    const std::int64_t width = LoadWord(kLittleEndian, h + 12);
    const std::int64_t height = LoadWord(kLittleEndian, h + 14);
    const int bits = h[16];

    TGA_LAYOUT t;
    t.type = h[2];
    t.top_first = (h[17] & 0x20) != 0;
    t.right_to_left = (h[17] & 0x10) != 0;
    const bool rle = t.type >= 9 && t.type <= 11;
    if (!rle && (t.type < 1 || t.type > 3))
        return Refuse(ctx, kFormatNotSupported, "TGA image type " + std::to_string(t.type) + " is not read");
    ctx.compression_name = rle ? "RLE" : "None";
    t.mapped = t.type == 1 || t.type == 9;
    t.grey = t.type == 3 || t.type == 11;
    if (width > 4096 && height > 4096)
        return Refuse(ctx, kImageTooLarge, kReasonOver4096);
    if (width < 1 || height < 1)
        return Refuse(ctx, kDataError, "the header gives the picture no width or no height");

    // Depth class: up to 8 → 8, 9-16 → 16, 17-24 → 24, above → 32.
    ctx.bits_per_pixel = bits <= 8 ? 8 : bits <= 16 ? 16 : bits <= 24 ? 24 : 32;
    const bool depth_ok = t.mapped ? bits == 8 : t.grey ? (bits == 8 || bits == 16)
                                                         : (bits == 15 || bits == 16 || bits == 24 || bits == 32);
    if (!depth_ok)
        return Refuse(ctx, kBitDepthNotSupported, std::to_string(bits) + " bits per pixel in a TGA of image type " +
                                                      std::to_string(t.type));
    t.pixel_bytes = TgaPixelBytes(bits);

    // The image ID and the colour map precede the pixels.
    in.Skip(static_cast<std::size_t>(id_length));
    std::int64_t data_start = 18 + id_length;
    if (map_type == 1) {
        const int entry_bytes = map_bits == 15 ? 2 : map_bits / 8;
        if (entry_bytes < 2 || entry_bytes > 4)
            return Refuse(ctx, kFormatNotSupported,
                          "colour map entries of " + std::to_string(map_bits) + " bits are not read");
        const auto map = in.Take(static_cast<std::size_t>(map_length) * static_cast<std::size_t>(entry_bytes));
        if (map.size() != static_cast<std::size_t>(map_length) * static_cast<std::size_t>(entry_bytes))
            return Refuse(ctx, kDataError, "the file ends inside its colour map");
        data_start += static_cast<std::int64_t>(map.size());
        if (t.mapped) {
            // Indices outside the map stay black.
            for (std::uint32_t i = 0; i < map_length && map_first + i < 256; ++i)
                MapEntryToBgr(map.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(entry_bytes),
                              entry_bytes, t.lut[map_first + i]);
            std::memcpy(ctx.palette, t.lut, sizeof ctx.palette);
        }
    } else if (t.mapped) {
        return Refuse(ctx, kDataError, "a colour-mapped picture without a colour map");
    }

    // The pixels must be able to be in the file: run-length coded, every 128 pixels take
    // at least a packet byte and a pixel; uncompressed, a file cut short may show its
    // first rows, but not less than a 128th of the raster.
    const auto pixels = static_cast<std::uint64_t>(width * height);
    const auto pb = static_cast<std::uint64_t>(t.pixel_bytes);
    const std::int64_t signed_left = static_cast<std::int64_t>(bytes.size()) - data_start;
    const auto left = static_cast<std::uint64_t>(signed_left);
    if (signed_left < 0 || !(rle ? ClaimFits((pixels + 127) / 128 * (1 + pb), left, expansion::kWhole)
                                 : ClaimFits(pixels * pb, left, expansion::kStoredTga)))
        return Refuse(ctx, kDataError, kReasonTooShort);

    if (int rc = ctx.ReserveTarget(width, height); rc != kOk)
        return rc;
    auto dest_row = [&](int r) {
        const int y = t.top_first ? r : ctx.height - 1 - r;
        return ctx.TargetRow(y);
    };

    const auto w = static_cast<std::size_t>(width);
    const std::size_t file_row = w * static_cast<std::size_t>(t.pixel_bytes);
    int r = 0;
    if (!rle && t.pixel_bytes == 3 && !t.right_to_left) {
        // Blue-green-red rows are copied as they are.
        for (; r < ctx.height; ++r)
            if (in.Read(dest_row(r), w * 3) != w * 3)
                break;
    } else {
        if (int rc = ctx.raw_rows.Reserve(file_row); rc != kOk)
            return rc;
        std::uint8_t* raw = ctx.raw_rows.data();
        if (rle) {
            TGA_RLE_STATE state;
            for (; r < ctx.height; ++r) {
                const bool whole = DecodeTgaRleRow(in, state, t.pixel_bytes, w, raw);
                TgaRowToBgr(t, raw, w, dest_row(r));
                if (!whole) {
                    ++r; // the torn row keeps what it has, its missing pixels black
                    break;
                }
            }
        } else {
            for (; r < ctx.height; ++r) {
                const auto row = in.Take(file_row);
                if (row.size() != file_row)
                    break;
                TgaRowToBgr(t, row.data(), w, dest_row(r));
            }
        }
    }
    // A short file ends in black.
    for (; r < ctx.height; ++r)
        std::memset(dest_row(r), 0, w * 3);
    return kOk;
}

int WriteTga(CODEC_CTX& ctx)
{
    // The header holds 16-bit sizes: a larger picture cannot be stored.
    if (ctx.width < 1 || ctx.height < 1)
        return kDataError;
    if (ctx.width > 0xFFFF || ctx.height > 0xFFFF)
        return Refuse(ctx, kImageTooLarge, "a TGA file holds at most 65535 pixels a side");
    if (!ctx.HasSourceRows())
        return kDataError;
    FilePtr f = OpenForWrite(ctx.output_file_name);
    if (!f)
        return kOpenFileError;
    std::uint8_t header[18] = {};
    header[2] = 2;
    StoreWord(kLittleEndian, static_cast<std::uint32_t>(ctx.width), header + 12);
    StoreWord(kLittleEndian, static_cast<std::uint32_t>(ctx.height), header + 14);
    header[16] = 24;
    header[17] = static_cast<std::uint8_t>((ctx.top_to_bottom ? 0x20 : 0) | (ctx.right_to_left ? 0x10 : 0));
    std::fwrite(header, 1, sizeof header, f.get());

    const std::size_t row_bytes = static_cast<std::size_t>(ctx.width) * 3;
    std::vector<std::uint8_t> mirrored(ctx.right_to_left ? row_bytes : 0);
    for (int j = 0; j < ctx.height; ++j) {
        const int y = ctx.top_to_bottom ? j : ctx.height - 1 - j;
        const std::uint8_t* row = ctx.SourceRow(y);
        if (ctx.right_to_left) {
            for (std::size_t x = 0; x < row_bytes; x += 3) {
                const std::uint8_t* p = row + row_bytes - 3 - x;
                mirrored[x] = p[0];
                mirrored[x + 1] = p[1];
                mirrored[x + 2] = p[2];
            }
            row = mirrored.data();
        }
        std::fwrite(row, 1, row_bytes, f.get());
    }
    return FinishWrite(std::move(f));
}
