// PCX reading and writing, and the one-page DCX writer.
//
// A PCX file is a 128-byte little-endian header (manufacturer 10, version, encoding 1 =
// run-length coded, bits per pixel per plane, x min, y min, x max, y max, resolutions,
// a 16-colour palette of red-green-blue triples at 16, planes at 65, bytes per plane line
// at 66) followed by the rows: each row holds every plane's line in turn. 256-colour
// files carry their palette in the last 768 bytes of the file.
//
// Read: 8 bits in 1 plane (the 256-colour palette), 8 bits in 3 planes (red, green, blue
// lines) or 4 planes (the fourth, alpha, is dropped), 1 bit in 1 plane (the header's
// first two colours; black and white when they are equal),
// 1 bit in 2 to 4 planes (the plane bits form an index into the header's 16-colour
// palette, plane 0 the lowest bit) and 2 or 4 bits in 1 plane (the header's palette).
// Rows are read with the bytes-per-plane-line stride; padding bytes are not shown.
//
// Written: version 5, run-length coded, 8 bits in 3 planes, bytes per plane line = width.
// A DCX file is the magic 987654321, the offset 12 of its one page, a zero end of the
// page table, then the PCX file.
#include "dec_enc/Pcx_rw.h"

#include "base/Byte_order.h"
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kHeaderBytes = 128;

struct PCX_HEADER {
    int encoding;
    int bits;
    int planes;
    std::int64_t width;
    std::int64_t height;
    std::size_t line_bytes;
};

// Colour of each index for the palette layouts, blue, green, red.
void FillLut(const std::uint8_t* rgb, int entries, std::uint8_t (*lut)[3])
{
    std::memset(lut, 0, 256 * 3);
    for (int i = 0; i < entries; ++i) {
        lut[i][0] = rgb[3 * i + 2];
        lut[i][1] = rgb[3 * i + 1];
        lut[i][2] = rgb[3 * i];
    }
}

// Turns one scan line (every plane's line) into blue-green-red pixels.
void ConvertRow(const PCX_HEADER& h, const std::uint8_t* line, const std::uint8_t (*lut)[3], std::uint8_t* out)
{
    const std::size_t w = static_cast<std::size_t>(h.width);
    const std::size_t n = h.line_bytes;
    if (h.bits == 8 && h.planes >= 3) {
        const std::uint8_t* r = line;
        const std::uint8_t* g = line + n;
        const std::uint8_t* b = line + 2 * n;
        for (std::size_t x = 0; x < w; ++x, out += 3) {
            out[0] = b[x];
            out[1] = g[x];
            out[2] = r[x];
        }
    } else if (h.bits == 8) {
        for (std::size_t x = 0; x < w; ++x, out += 3)
            std::memcpy(out, lut[line[x]], 3);
    } else if (h.planes > 1) {
        for (std::size_t x = 0; x < w; ++x, out += 3) {
            unsigned v = 0;
            for (int p = 0; p < h.planes; ++p)
                v |= ((line[static_cast<std::size_t>(p) * n + x / 8] >> (7 - x % 8)) & 1u) << p;
            std::memcpy(out, lut[v], 3);
        }
    } else {
        const int bits = h.bits;
        const unsigned mask = (1u << bits) - 1u;
        for (std::size_t x = 0; x < w; ++x, out += 3) {
            const std::size_t bit = x * static_cast<std::size_t>(bits);
            const unsigned v = (line[bit / 8] >> (8 - bits - static_cast<int>(bit % 8))) & mask;
            std::memcpy(out, lut[v], 3);
        }
    }
}

// The header the PCX and DCX writers put out.
void StorePcxHeader(std::uint8_t* h, int width, int height)
{
    std::memset(h, 0, kHeaderBytes);
    h[0] = 10;
    h[1] = 5;
    h[2] = 1;
    h[3] = 8;
    StoreWord(kLittleEndian, static_cast<std::uint32_t>(width - 1), h + 8);
    StoreWord(kLittleEndian, static_cast<std::uint32_t>(height - 1), h + 10);
    std::memset(h + 16, 48, 48);
    h[65] = 3;
    StoreWord(kLittleEndian, static_cast<std::uint32_t>(width), h + 66);
    StoreWord(kLittleEndian, 1, h + 68);
    std::memset(h + 70, 48, 58);
}

// Writes the header and the run-length coded planar rows. Returns kOk, or kOpenFileError
// when a row did not reach the file in full.
int WritePcxImage(CODEC_CTX& ctx, FILE* out)
{
    std::uint8_t header[kHeaderBytes];
    StorePcxHeader(header, ctx.width, ctx.height);
    bool ok = std::fwrite(header, 1, kHeaderBytes, out) == kHeaderBytes;
    const std::size_t w = static_cast<std::size_t>(ctx.width);
    const std::size_t row_bytes = w * 3;
    // One row is laid out as planes (its red bytes, then its green, then its blue) in the
    // planar row buffer and encoded into the raw row buffer, so that the index buffer keeps
    // the indices a GIF read left for a later GIF save.
    if (int rc = ctx.raw_rows.Reserve(2 * row_bytes); rc != kOk)
        return rc;
    if (int rc = ctx.planar.Reserve(row_bytes); rc != kOk)
        return rc;
    std::uint8_t* planes = ctx.planar.data();
    for (int y = 0; y < ctx.height; ++y) {
        const std::uint8_t* p = ctx.SourceRow(y);
        for (std::size_t x = 0; x < w; ++x, p += 3) {
            planes[x] = p[2];
            planes[w + x] = p[1];
            planes[2 * w + x] = p[0];
        }
        const std::size_t n = EncodePcxRow(planes, row_bytes, ctx.raw_rows.data());
        ok = std::fwrite(ctx.raw_rows.data(), 1, n, out) == n && ok;
    }
    return ok ? kOk : kOpenFileError;
}

// Checks what both writers need: a size the header can hold and the picture's rows.
int CheckPlanarInput(const CODEC_CTX& ctx)
{
    if (ctx.width < 1 || ctx.height < 1)
        return kMagicError;
    if (ctx.width > 0xFFFF || ctx.height > 0xFFFF)
        return kImageTooLarge;
    if (!ctx.HasSourceRows())
        return kDataError;
    return kOk;
}

} // namespace

std::size_t EncodePcxRow(const std::uint8_t* row, std::size_t n, std::uint8_t* out)
{
    std::uint8_t* o = out;
    const std::size_t grow_end = n >= 2 ? n - 2 : 0; // runs grow only before the last two bytes
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t v = row[i++];
        unsigned run = 1;
        while (i < grow_end && row[i] == v) {
            ++i;
            if (++run == 63) {
                *o++ = 0xFF;
                *o++ = v;
                run = 0;
            }
        }
        if (run > 1 || (run == 1 && v >= 192)) {
            *o++ = static_cast<std::uint8_t>(0xC0 | run);
            *o++ = v;
        } else if (run == 1) {
            *o++ = v;
        }
    }
    return static_cast<std::size_t>(o - out);
}

std::size_t PcxRunDecoder::Fill(std::uint8_t* dst, std::size_t n)
{
    std::size_t i = 0;
    if (run_ > 0) { // a run left over from the previous row
        const std::size_t take = std::min(run_, n);
        std::memset(dst, value_, take);
        i = take;
        run_ -= take;
    }
    const std::uint8_t* p = p_;
    const std::uint8_t* const end = end_;
    // While 64 bytes of room remain, a run is stored as a whole 64-byte block (later bytes
    // overwrite its surplus), which keeps the loop free of calls.
    while (n - i >= 64 && end - p >= 2) {
        const std::uint8_t b = *p;
        if (b < 193) {
            dst[i++] = b;
            ++p;
            continue;
        }
        std::memset(dst + i, p[1], 64);
        i += b & 63u;
        p += 2;
    }
    while (i < n && p < end) {
        const std::uint8_t b = *p;
        if (b < 193) {
            dst[i++] = b;
            ++p;
            continue;
        }
        if (end - p < 2)
            break; // a count byte without its value
        const std::size_t count = b & 63u;
        const std::uint8_t v = p[1];
        p += 2;
        if (count <= n - i) {
            std::memset(dst + i, v, count);
            i += count;
        } else {
            std::memset(dst + i, v, n - i);
            run_ = count - (n - i);
            value_ = v;
            i = n;
        }
    }
    p_ = p;
    return i;
}

int DecodePcx(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    const std::uint8_t* f = bytes.data();
    const std::size_t size = bytes.size();
    if (size < 1 || f[0] != 10)
        return kMagicError;
    if (size < kHeaderBytes)
        return kDataError;
    PCX_HEADER h {};
    h.encoding = f[2];
    h.bits = f[3];
    h.planes = f[65];
    h.width = std::int64_t{LoadWord(kLittleEndian, f + 8)} - LoadWord(kLittleEndian, f + 4) + 1;
    h.height = std::int64_t{LoadWord(kLittleEndian, f + 10)} - LoadWord(kLittleEndian, f + 6) + 1;
    h.line_bytes = LoadWord(kLittleEndian, f + 66);
    ctx.compression_name = h.encoding == 1 ? "RLE" : "None";
    if (h.width > 4096 || h.height > 4096)
        return kImageTooLarge;
    if (h.width < 1 || h.height < 1)
        return kDataError;

    const bool truecolour = h.bits == 8 && (h.planes == 3 || h.planes == 4);
    const bool supported = (h.planes == 1 && (h.bits == 1 || h.bits == 2 || h.bits == 4 || h.bits == 8)) ||
                           (h.bits == 1 && h.planes >= 2 && h.planes <= 4) || truecolour;
    if (!supported)
        return kFormatNotSupported;
    if (h.line_bytes * 8 < static_cast<std::size_t>(h.width) * static_cast<std::size_t>(h.bits))
        return kDataError; // the line cannot hold the row's pixels

    std::uint8_t lut[256][3];
    std::size_t data_end = size;
    if (h.bits == 8 && h.planes == 1) {
        if (size < kHeaderBytes + 768)
            return kDataError; // no room for the palette
        FillLut(f + size - 768, 256, lut);
        std::memcpy(ctx.palette, lut, sizeof lut);
        data_end = size - 768;
    } else if (h.bits == 1 && h.planes == 1) {
        // Two-colour files name their colours in the header's first two entries; most
        // monochrome files leave them equal (often all zero): those are black and white.
        FillLut(f + 16, 2, lut);
        if (std::memcmp(lut[0], lut[1], 3) == 0) {
            std::memset(lut, 0, sizeof lut);
            std::memset(lut[1], 255, 3);
        }
    } else {
        FillLut(f + 16, 16, lut);
    }
    ctx.bits_per_pixel = h.bits * h.planes;

    // A header claiming more rows than the data could expand to is refused before the
    // picture is allocated; a file cut short by less shows black where it ends.
    const std::size_t scan_bytes = h.line_bytes * static_cast<std::size_t>(h.planes);
    const std::uint64_t claimed = std::uint64_t{scan_bytes} * static_cast<std::uint64_t>(h.height);
    const std::uint64_t data = data_end - kHeaderBytes;
    if (!ClaimFits(claimed, data, h.encoding == 1 ? expansion::kPcxRuns : expansion::kStoredHalfDiv))
        return kDataError;

    if (int rc = ctx.ReserveTarget(h.width, h.height); rc != kOk)
        return rc;
    if (int rc = ctx.row.Reserve(scan_bytes); rc != kOk)
        return rc;

    const auto data_bytes = bytes.subspan(kHeaderBytes, data_end - kHeaderBytes);
    PcxRunDecoder runs(data_bytes);
    ByteCursor stored(data_bytes);
    const std::size_t row_bytes = ctx.RowBytes();
    for (int y = 0; y < ctx.height; ++y) {
        std::uint8_t* out = ctx.TargetRow(y);
        const std::uint8_t* line = ctx.row.data();
        bool complete = true;
        if (h.encoding == 1) {
            complete = runs.Fill(ctx.row.data(), scan_bytes) == scan_bytes;
        } else {
            const auto row = stored.Take(scan_bytes);
            line = row.data();
            complete = row.size() == scan_bytes;
        }
        if (!complete) {
            // The data ends inside this row: it and every row after it are black.
            for (int k = y; k < ctx.height; ++k)
                std::memset(ctx.TargetRow(k), 0, row_bytes);
            break;
        }
        ConvertRow(h, line, lut, out);
    }
    return kOk;
}

namespace {

// Writes a PCX file, or a DCX file: a page table of one entry (the PCX image at offset
// 12) in front of the same image.
int WritePlanarFile(CODEC_CTX& ctx, bool dcx)
{
    if (int rc = CheckPlanarInput(ctx); rc != kOk)
        return rc;
    FilePtr f = OpenForWrite(ctx.output_file_name);
    if (!f)
        return kOpenFileError;
    bool ok = true;
    if (dcx) {
        std::uint8_t table[12] = {};
        StoreDword(kLittleEndian, 987654321u, table);
        StoreDword(kLittleEndian, 12, table + 4);
        ok = std::fwrite(table, 1, sizeof table, f.get()) == sizeof table;
    }
    const int rc = WritePcxImage(ctx, f.get());
    const int closed = FinishWrite(std::move(f));
    return rc != kOk ? rc : !ok ? kOpenFileError : closed;
}

} // namespace

int WritePcx(CODEC_CTX& ctx) { return WritePlanarFile(ctx, false); }

int WriteDcx(CODEC_CTX& ctx) { return WritePlanarFile(ctx, true); }
