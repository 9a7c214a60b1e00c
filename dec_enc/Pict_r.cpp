// Macintosh PICT files (.PCT), versions 1 and 2, big-endian: a 512-byte header (skipped),
// the picture size word, the frame rectangle (top, left, bottom, right; signed 16-bit),
// then the version opcode 0x11 with version 1, or 0x0011 0x02FF for version 2. Version 1
// opcodes are bytes; version 2 opcodes are words at even file offsets. The opcode stream
// ends at 0xFF / 0x00FF or at the end of the file.
//
// Only the bitmap opcodes are drawn: BitsRect/BitsRgn and PackBitsRect/PackBitsRgn (0x90,
// 0x91, 0x98, 0x99) with bit maps or indexed pixel maps of 1, 2, 4 or 8 bits, and
// DirectBitsRect (0x9A) with 16-bit (x1555, each component scaled by 8) or 32-bit pixels; every other opcode is
// skipped by its length. Rows of 8 or more bytes are PackBits coded (flag byte f: bit 7
// set, the next unit repeated 257 - f times; clear, f + 1 literal units; units are bytes,
// or words for 16-bit pixels), each row led by its byte count (a word when the row bytes
// pass 250, else a byte). 32-bit rows hold the red, green and blue planes of the row (an
// alpha plane first when the map has four components), or, unpacked (pack type 1 or 2),
// interleaved pixels. Source rectangles are clipped to their bounds and destination
// rectangles to the frame; the transfer mode is ignored. What no bitmap covers is white.
#include "base/Byte_order.h"
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"

#include <algorithm>
#include <cstring>
#include <vector>


namespace {

struct PICT_RECT {
    int top = 0, left = 0, bottom = 0, right = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

struct PICT_COLOR {
    std::uint8_t b = 0, g = 0, r = 0;
};

struct PICT_READER {
    ByteCursor in;
    CODEC_CTX* ctx = nullptr;
    PICT_RECT frame;
    int version = 0;
    int depth = 0; // last pixel depth unpacked
    std::vector<std::uint8_t> rows; // unpacked rows of the current bitmap opcode
    PICT_COLOR table[256];
};

std::uint16_t Word(ByteCursor& in) { return in.Word(kBigEndian); }

PICT_RECT ReadRect(ByteCursor& in)
{
    PICT_RECT r;
    r.top = static_cast<std::int16_t>(Word(in));
    r.left = static_cast<std::int16_t>(Word(in));
    r.bottom = static_cast<std::int16_t>(Word(in));
    r.right = static_cast<std::int16_t>(Word(in));
    return r;
}

PICT_RECT Intersect(const PICT_RECT& a, const PICT_RECT& b)
{
    return {std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom),
            std::min(a.right, b.right)};
}

// A region or polygon: a size word that counts itself, then the rest.
int SkipSized(ByteCursor& in)
{
    const std::uint16_t size = Word(in);
    if (size < 2)
        return kDataError;
    in.Skip(size - 2u);
    return kOk;
}

struct PIXMAP {
    int pack_type = 0;
    int pixel_size = 0;
    int components = 0;
};

PIXMAP ReadPixmapHeader(ByteCursor& in)
{
    PIXMAP p;
    in.Skip(2); // version
    p.pack_type = Word(in);
    in.Skip(4 + 4 + 4 + 2); // pack size, resolutions, pixel type
    p.pixel_size = Word(in);
    p.components = Word(in);
    in.Skip(2 + 4 + 4 + 4); // component size, plane bytes, colour table, reserved
    return p;
}

void ReadColorTable(ByteCursor& in, PICT_COLOR* table)
{
    in.Skip(4); // seed
    const std::uint16_t flags = Word(in);
    const int size = Word(in);
    for (int i = 0; i <= size && !in.AtEnd(); ++i) {
        const int value = Word(in);
        const int r = Word(in), g = Word(in), b = Word(in);
        const int index = (flags & 0x8000) ? i : value;
        if (index <= size && index < 256)
            table[index] = {static_cast<std::uint8_t>(b >> 8), static_cast<std::uint8_t>(g >> 8),
                            static_cast<std::uint8_t>(r >> 8)};
    }
}

// PackBits with units of unit bytes into exactly out.size() bytes; kDataError when a run
// passes the row's end. Data that ends early leaves zeros.
int UnpackBits(std::span<const std::uint8_t> src, std::span<std::uint8_t> out, std::size_t unit)
{
    std::size_t i = 0, o = 0;
    while (i < src.size() && o < out.size()) {
        const int f = src[i++];
        if (f & 0x80) {
            const std::size_t n = static_cast<std::size_t>(257 - f) * unit;
            if (f == 0x80)
                continue; // no-op flag
            if (n > out.size() - o)
                return kDataError;
            if (src.size() - i < unit)
                break;
            for (std::size_t k = 0; k < n; k += unit)
                std::memcpy(out.data() + o + k, src.data() + i, unit);
            i += unit;
            o += n;
        } else {
            const std::size_t n = static_cast<std::size_t>(f + 1) * unit;
            if (n > out.size() - o)
                return kDataError;
            const std::size_t got = std::min(n, src.size() - i);
            std::memcpy(out.data() + o, src.data() + i, got);
            i += got;
            o += got;
        }
    }
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(o), out.end(), 0);
    return kOk;
}

// Reads the rows of a bitmap opcode into r.rows: height rows of row_length bytes (after
// expansion of 1-, 2- and 4-bit pixels to one byte each). file_row_bytes is the row-bytes
// field; raw rows are read when it is below 8 or the pack type says unpacked.
int UnpackRows(PICT_READER& r, const PICT_RECT& bounds, int file_row_bytes, int depth, bool raw,
               std::size_t raw_bytes, std::size_t row_length, std::size_t unit)
{
    const int height = bounds.Height();
    if (height < 0 || bounds.Width() < 0)
        return kDataError;
    const auto rows = static_cast<std::size_t>(height);
    const bool unpacked = raw || file_row_bytes < 8;
    const std::size_t raw_n = raw ? raw_bytes : static_cast<std::size_t>(file_row_bytes);
    // Rows that cannot be in the file are refused before they are sized: a packed row
    // takes a count byte and expands at most 128 units for every 2 bytes.
    const std::size_t total = PictureBytes(static_cast<std::int64_t>(rows), static_cast<std::int64_t>(row_length), 1);
    const std::size_t stored_total = rows * ((row_length * static_cast<std::size_t>(depth < 8 ? depth : 8) + 7) / 8);
    if (rows > 0 && row_length > 0) {
        if (total == SIZE_MAX)
            return kImageTooLarge;
        if (!unpacked && (!ClaimFits(rows, r.in.Left(), expansion::kWhole) ||
                          !ClaimFits(stored_total / unit, r.in.Left(), expansion::kPackBits)))
            return kDataError;
        if (unpacked && !ClaimFits(total, r.in.Left() + raw_n, expansion::kStoredEighthDiv))
            return kDataError;
    }
    const std::size_t expanded = depth < 8 ? row_length : 0;
    const std::size_t stored = depth < 8 ? (row_length * static_cast<std::size_t>(depth) + 7) / 8 : row_length;
    r.rows.assign(rows * row_length, 0);
    // Packed rows expand to the row bytes, which may pad the pixels.
    const std::size_t target = std::max(stored, static_cast<std::size_t>(file_row_bytes));
    std::vector<std::uint8_t> line(std::max(target, unpacked ? raw_n : 0));
    for (std::size_t y = 0; y < rows; ++y) {
        if (unpacked) {
            std::fill(line.begin(), line.end(), 0);
            r.in.Read(line.data(), raw_n);
        } else {
            const std::size_t count =
                file_row_bytes > 250 ? Word(r.in) : static_cast<std::size_t>(std::max(r.in.Get(), 0));
            const auto packed = r.in.Take(count);
            if (int rc = UnpackBits(packed, std::span<std::uint8_t>(line.data(), target), unit); rc != kOk)
                return rc;
        }
        std::uint8_t* out = r.rows.data() + y * row_length;
        if (expanded != 0) {
            const int per_byte = 8 / depth;
            const int mask = (1 << depth) - 1;
            for (std::size_t x = 0; x < row_length; ++x) {
                const int shift = 8 - depth * (1 + static_cast<int>(x % static_cast<std::size_t>(per_byte)));
                out[x] = static_cast<std::uint8_t>((line[x / static_cast<std::size_t>(per_byte)] >> shift) & mask);
            }
        } else if (row_length != 0) {
            std::memcpy(out, line.data(), row_length);
        }
        if (r.in.AtEnd() && y + 1 < rows)
            break; // the rest stays zero
    }
    r.depth = depth;
    return kOk;
}

enum class PixelKind { Indexed, Direct16, Planar32, Interleaved32 };

// Copies the unpacked rows into the picture: the source rectangle clipped to the bounds,
// the destination clipped to the frame.
void CopyIntoPicture(PICT_READER& r, const PICT_RECT& bounds, const PICT_RECT& src, const PICT_RECT& dst,
                     std::size_t row_length, PixelKind kind, int planes, int pixel_bytes)
{
    const PICT_RECT s = Intersect(src, bounds);
    // The destination moves with the part of the source that survives the clip.
    PICT_RECT d{dst.top + (s.top - src.top), dst.left + (s.left - src.left), 0, 0};
    d.bottom = d.top + s.Height();
    d.right = d.left + s.Width();
    const PICT_RECT dc = Intersect(d, r.frame);
    const int h = std::min(s.Height(), dc.Height());
    const int w = std::min(s.Width(), dc.Width());
    if (h <= 0 || w <= 0)
        return;
    const int sy0 = s.top - bounds.top + (dc.top - d.top);
    const int sx0 = s.left - bounds.left + (dc.left - d.left);
    const int bw = bounds.Width();
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = r.rows.data() + static_cast<std::size_t>(sy0 + y) * row_length;
        std::uint8_t* out = r.ctx->DecodedRow(dc.top - r.frame.top + y) + 3 * static_cast<std::size_t>(dc.left - r.frame.left);
        for (int x = 0; x < w; ++x, out += 3) {
            const auto sx = static_cast<std::size_t>(sx0 + x);
            switch (kind) {
            case PixelKind::Indexed: {
                const PICT_COLOR& c = r.table[row[sx]];
                out[0] = c.b;
                out[1] = c.g;
                out[2] = c.r;
                break;
            }
            case PixelKind::Direct16: {
                // Each 5-bit component becomes the high bits of a byte (31 → 248).
                const unsigned v = static_cast<unsigned>((row[2 * sx] << 8) | row[2 * sx + 1]);
                out[0] = static_cast<std::uint8_t>((v & 31) << 3);
                out[1] = static_cast<std::uint8_t>(((v >> 5) & 31) << 3);
                out[2] = static_cast<std::uint8_t>(((v >> 10) & 31) << 3);
                break;
            }
            case PixelKind::Planar32: {
                const std::size_t first = static_cast<std::size_t>(planes - 3) * static_cast<std::size_t>(bw);
                out[2] = row[first + sx];
                out[1] = row[first + static_cast<std::size_t>(bw) + sx];
                out[0] = row[first + 2 * static_cast<std::size_t>(bw) + sx];
                break;
            }
            case PixelKind::Interleaved32: {
                const std::uint8_t* p = row + sx * static_cast<std::size_t>(pixel_bytes) + (pixel_bytes == 4 ? 1 : 0);
                out[2] = p[0];
                out[1] = p[1];
                out[0] = p[2];
                break;
            }
            }
        }
    }
}

// A direct pixel map of 16 or 32 bits, after its pixel map header.
int ReadDirectPixels(PICT_READER& r, const PICT_RECT& bounds, int file_row_bytes, const PIXMAP& pm, bool region)
{
    const PICT_RECT src = ReadRect(r.in);
    const PICT_RECT dst = ReadRect(r.in);
    r.in.Skip(2); // mode
    if (region)
        if (int rc = SkipSized(r.in); rc != kOk)
            return rc;
    const int bw = bounds.Width();
    if (bw < 0 || bounds.Height() < 0)
        return kDataError;
    const auto w = static_cast<std::size_t>(bw);
    if (pm.pixel_size == 16) {
        const bool raw = pm.pack_type == 1 || pm.pack_type == 2;
        if (int rc = UnpackRows(r, bounds, file_row_bytes, 16, raw, static_cast<std::size_t>(file_row_bytes), w * 2, 2);
            rc != kOk)
            return rc;
        CopyIntoPicture(r, bounds, src, dst, w * 2, PixelKind::Direct16, 0, 2);
    } else if (pm.pixel_size == 32) {
        int rc;
        if (pm.pack_type == 1) { // unpacked x-red-green-blue pixels
            rc = UnpackRows(r, bounds, file_row_bytes, 32, true, static_cast<std::size_t>(file_row_bytes), w * 4, 1);
            if (rc == kOk)
                CopyIntoPicture(r, bounds, src, dst, w * 4, PixelKind::Interleaved32, 0, 4);
        } else if (pm.pack_type == 2) { // red-green-blue, pad byte dropped
            rc = UnpackRows(r, bounds, file_row_bytes, 32, true, w * 3, w * 3, 1);
            if (rc == kOk)
                CopyIntoPicture(r, bounds, src, dst, w * 3, PixelKind::Interleaved32, 0, 3);
        } else {
            const int planes = pm.components == 4 ? 4 : 3;
            const std::size_t length = w * static_cast<std::size_t>(planes);
            rc = UnpackRows(r, bounds, file_row_bytes, 32, false, 0, length, 1);
            if (rc == kOk)
                CopyIntoPicture(r, bounds, src, dst, length, PixelKind::Planar32, planes, 0);
        }
        if (rc != kOk)
            return rc;
    } else {
        return kDataError;
    }
    r.depth = pm.pixel_size;
    return kOk;
}

// 0x90, 0x91, 0x98, 0x99: a bit map or an indexed pixel map.
int ReadBits(PICT_READER& r, bool region)
{
    const int row_bytes = Word(r.in);
    const PICT_RECT bounds = ReadRect(r.in);
    if (row_bytes & 0x8000) {
        const PIXMAP pm = ReadPixmapHeader(r.in);
        if (pm.pixel_size == 16 || pm.pixel_size == 32) {
            // Direct pixels in a plain bits opcode carry a colour table too, unused.
            ReadColorTable(r.in, r.table);
            return ReadDirectPixels(r, bounds, row_bytes & 0x3FFF, pm, region);
        }
        if (pm.pixel_size != 1 && pm.pixel_size != 2 && pm.pixel_size != 4 && pm.pixel_size != 8)
            return kDataError;
        std::fill(std::begin(r.table), std::end(r.table), PICT_COLOR{});
        ReadColorTable(r.in, r.table);
        const PICT_RECT src = ReadRect(r.in);
        const PICT_RECT dst = ReadRect(r.in);
        r.in.Skip(2);
        if (region)
            if (int rc = SkipSized(r.in); rc != kOk)
                return rc;
        if (bounds.Width() < 0)
            return kDataError;
        const auto w = static_cast<std::size_t>(bounds.Width());
        if (int rc = UnpackRows(r, bounds, row_bytes & 0x3FFF, pm.pixel_size, false, 0, w, 1); rc != kOk)
            return rc;
        CopyIntoPicture(r, bounds, src, dst, w, PixelKind::Indexed, 0, 0);
        return kOk;
    }
    // A bit map: 0 white, 1 black.
    std::fill(std::begin(r.table), std::end(r.table), PICT_COLOR{});
    r.table[0] = {255, 255, 255};
    const PICT_RECT src = ReadRect(r.in);
    const PICT_RECT dst = ReadRect(r.in);
    r.in.Skip(2);
    if (region)
        if (int rc = SkipSized(r.in); rc != kOk)
            return rc;
    if (bounds.Width() < 0)
        return kDataError;
    const auto w = static_cast<std::size_t>(bounds.Width());
    if (int rc = UnpackRows(r, bounds, row_bytes, 1, false, 0, w, 1); rc != kOk)
        return rc;
    CopyIntoPicture(r, bounds, src, dst, w, PixelKind::Indexed, 0, 0);
    return kOk;
}

// 0x9A, 0x9B: direct pixels.
int ReadDirectBits(PICT_READER& r, bool region)
{
    r.in.Skip(4); // base address
    const int row_bytes = Word(r.in);
    const PICT_RECT bounds = ReadRect(r.in);
    const PIXMAP pm = ReadPixmapHeader(r.in);
    return ReadDirectPixels(r, bounds, row_bytes & 0x3FFF, pm, region);
}

// 0x12 to 0x14: pixel patterns are read past.
int SkipPattern(PICT_READER& r)
{
    const int type = Word(r.in);
    if (type == 1) {
        r.in.Skip(8);
        const int row_bytes = Word(r.in);
        const PICT_RECT bounds = ReadRect(r.in);
        const PIXMAP pm = ReadPixmapHeader(r.in);
        PICT_COLOR scratch[256];
        ReadColorTable(r.in, scratch);
        if (pm.pixel_size != 1 && pm.pixel_size != 2 && pm.pixel_size != 4 && pm.pixel_size != 8)
            return kDataError;
        const int saved = r.depth;
        if (bounds.Width() < 0)
            return kDataError;
        const int rc = UnpackRows(r, bounds, row_bytes & 0x3FFF, pm.pixel_size, false, 0,
                                  static_cast<std::size_t>(bounds.Width()), 1);
        r.depth = saved;
        return rc;
    }
    if (type == 2)
        r.in.Skip(8 + 5);
    return kOk;
}

// Fixed data lengths of opcodes 0x00 to 0xA1; the special handlers are below zero.
enum : int {
    kLenWord = -1,   // a length word follows
    kSized = -2,     // region or polygon
    kText4 = -3,     // skip 4, then a text
    kText1 = -4,     // skip 1, then a text
    kText2 = -5,     // skip 2, then a text
    kPattern = -6,   // pixel pattern
    kBitsRect = -7,  // bits, rectangle form
    kBitsRgn = -8,   // bits, region form
    kDirect = -9,    // direct bits
    kLongComment = -10,
    kDirectRgn = -11,
};

int OpcodeLength(int op)
{
    static const signed char k02to11[] = {8, 2, 1, 2, 4, 4, 2, 8, 8, 4, 4, 2, 4, 4, 8, 1};
    if (op == 0x00)
        return 0;
    if (op == 0x01)
        return kSized;
    if (op <= 0x11)
        return k02to11[op - 2];
    if (op <= 0x14)
        return kPattern;
    if (op <= 0x16)
        return 2;
    if (op <= 0x19)
        return 0;
    if (op <= 0x1B)
        return 6;
    if (op == 0x1C || op == 0x1E)
        return 0;
    if (op == 0x1D || op == 0x1F)
        return 6;
    if (op <= 0x23) {
        static const signed char k20[] = {8, 4, 6, 2};
        return k20[op - 0x20];
    }
    if (op <= 0x27)
        return kLenWord;
    if (op == 0x28)
        return kText4;
    if (op <= 0x2A)
        return kText1;
    if (op == 0x2B)
        return kText2;
    if (op <= 0x2F)
        return kLenWord;
    if (op >= 0x90 && op <= 0x9F) {
        switch (op) {
        case 0x90:
        case 0x98:
            return kBitsRect;
        case 0x91:
        case 0x99:
            return kBitsRgn;
        case 0x9A:
            return kDirect;
        case 0x9B:
            return kDirectRgn;
        default:
            return kLenWord;
        }
    }
    if (op == 0xA0)
        return 2;
    if (op == 0xA1)
        return kLongComment;
    if (op < 0x90) {
        const int group = (op >> 4) & 0xF; // 3 rect, 4 rrect, 5 oval, 6 arc, 7 poly, 8 rgn
        const bool same = (op & 0x0F) >= 8;
        if (group == 7 || group == 8)
            return same ? 0 : kSized;
        if (same)
            return group == 6 ? 4 : 0;
        return group == 6 ? 12 : 8;
    }
    return 0;
}

// Opcodes past 0xA1 (version 2 words, or bytes in version 1).
void SkipHighOpcode(ByteCursor& in, int op)
{
    if (op <= 0xAF)
        in.Skip(Word(in));
    else if (op <= 0xCF)
        return;
    else if (op <= 0xFE)
        in.Skip(in.Dword(kBigEndian));
    else if (op == 0x0C00)
        in.Skip(24);
    else if (op <= 0x7FFF)
        in.Skip(static_cast<std::size_t>((op >> 7) & 0xFF));
    else if (op <= 0x80FF)
        return;
    else
        in.Skip(in.Dword(kBigEndian));
}

int RunOpcodes(PICT_READER& r)
{
    ByteCursor& in = r.in;
    for (;;) {
        if (r.version == 2 && (in.Pos() & 1))
            in.Skip(1);
        if (in.AtEnd())
            return kOk; // no end-of-picture opcode: what was drawn stays
        const int op = r.version == 2 ? Word(in) : in.Get();
        if (op == 0xFF)
            return kOk;
        if (op > 0xA1) {
            SkipHighOpcode(in, op);
            continue;
        }
        const int len = OpcodeLength(op);
        int rc = kOk;
        switch (len) {
        case kLenWord:
            in.Skip(Word(in));
            break;
        case kSized:
            rc = SkipSized(in);
            break;
        case kText4:
        case kText1:
        case kText2:
            in.Skip(len == kText4 ? 4 : len == kText1 ? 1 : 2);
            in.Skip(static_cast<std::size_t>(std::max(in.Get(), 0)));
            break;
        case kPattern:
            rc = SkipPattern(r);
            break;
        case kBitsRect:
        case kBitsRgn:
            rc = ReadBits(r, len == kBitsRgn);
            break;
        case kDirect:
        case kDirectRgn:
            rc = ReadDirectBits(r, len == kDirectRgn);
            break;
        case kLongComment:
            in.Skip(2);
            in.Skip(Word(in));
            break;
        default:
            in.Skip(static_cast<std::size_t>(len));
            break;
        }
        if (rc != kOk)
            return rc;
    }
}

} // namespace

int DecodePict(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    PICT_READER r;
    r.ctx = &ctx;
    r.in = ByteCursor(bytes);
    r.in.Seek(512 + 2);
    r.frame = ReadRect(r.in);
    const std::int64_t width = static_cast<std::uint16_t>(r.frame.right - r.frame.left);
    const std::int64_t height = static_cast<std::uint16_t>(r.frame.bottom - r.frame.top);
    r.frame.right = r.frame.left + static_cast<int>(width);
    r.frame.bottom = r.frame.top + static_cast<int>(height);
    if (r.in.AtEnd() || width == 0 || height == 0)
        return kDataError;
    // Frames are in points, so real pictures are small; a large frame must have the bytes to
    // draw it (1-bit PackBits, the densest coding, gives about 512 pixels a byte). A white
    // canvas of hundreds of megapixels from a file of a few hundred bytes is refused.
    if (width * height > std::max<std::int64_t>(std::int64_t{4096} * 4096,
                                                std::int64_t{1024} * static_cast<std::int64_t>(bytes.size())))
        return kDataError;

    int c;
    while ((c = r.in.Get()) == 0) {
    }
    if (c == 0x11)
        r.version = r.in.Get();
    if (r.version == 2)
        r.in.Get(); // 0xFF
    else if (r.version != 1)
        return kFormatNotSupported;

    // The picture starts white; only bitmap opcodes draw.
    if (int rc = ctx.ReserveDecoded(width, height); rc != kOk)
        return rc;
    ctx.width = static_cast<std::int32_t>(width);
    ctx.height = static_cast<std::int32_t>(height);
    std::memset(ctx.decoded.data(), 0xFF, ctx.decoded.size());
    if (int rc = RunOpcodes(r); rc != kOk)
        return rc;
    ctx.compression_name = "RLE";
    // A picture without bitmaps (only vector drawing) shows its white frame at 24 bits.
    ctx.bits_per_pixel = r.depth != 0 ? r.depth : 24;
    return kOk;
}
