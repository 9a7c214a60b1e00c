// Utah raster run-length files (.RLE) and Scitex CT files (.SCT).
//
// Utah RLE, little-endian: magic 0x52 0xCC; x position, y position, x size, y size (signed
// 16-bit); flags (bit 0 clear first, bit 1 no background, bit 2 alpha, bit 3 comments);
// colour channels; bits per pixel; colour map channels; log2 of the colour map length.
// Then the background colour (one byte a channel, padded to an odd count) or one filler
// byte, the colour map (16-bit entries, channel after channel) and the comments (16-bit
// length, text padded to an even count). Rows run from the bottom of the picture up, as
// operations of an opcode byte and an operand byte; opcode bit 0x40 takes a 16-bit
// operand from the next two bytes instead: 1 skip lines, 2 set colour (255 = alpha),
// 3 skip pixels, 5 byte data (operand + 1 bytes, padded to even), 6 run data (a 16-bit
// value, low byte repeated operand + 1 times), 7 end of image.
// One-channel files show grey; a colour map, when present, maps each channel's values
// (one map channel serves all channels; with one colour channel and three map channels
// the map is a palette).
//
// Scitex CT: an 80-byte name, "CT", header fields up to offset 2048 (at 1025 the number of
// colour separations, at 1056 and 1070 the lines and pixels per line as 14-character
// decimal fields), then the raster: for each line one plane after the other, each plane a
// byte per pixel padded to an even length. Three planes are red, green, blue; a fourth is
// skipped; a one-separation file is grey.
#include "base/Byte_order.h"
#include "base/Diagnostics.h"
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace {


// ---------------------------------------------------------------------------------------
// Utah RLE

enum RleFlags : int { kClearFirst = 1, kNoBackground = 2, kAlpha = 4, kComments = 8 };
enum RleOpcode : int { kSkipLines = 1, kSetColour = 2, kSkipPixels = 3, kByteData = 5, kRunData = 6, kEndOfImage = 7 };
constexpr int kLongForm = 0x40;

struct RLE_HEADER {
    int xpos, ypos, xsize, ysize;
    int flags;
    int ncolors;
    int ncmap;
    int cmaplen; // log2
    std::vector<std::uint8_t> background;
    std::vector<std::uint16_t> cmap; // ncmap × 2^cmaplen entries
};

// Reads the header up to the first row. kMagicError for another signature, kDataError for
// a header that does not fit the file.
int ReadRleSetup(ByteCursor& in, RLE_HEADER& h)
{
    if (in.Get() != 0x52 || in.Get() != 0xCC)
        return kMagicError;
    if (in.Left() < 13)
        return kDataError;
    auto s16 = [&in] { return static_cast<int>(static_cast<std::int16_t>(in.Word(kLittleEndian))); };
    h.xpos = s16();
    h.ypos = s16();
    h.xsize = s16();
    h.ysize = s16();
    h.flags = in.Get();
    h.ncolors = in.Get();
    in.Get(); // bits per pixel: always 8
    h.ncmap = in.Get();
    h.cmaplen = in.Get();
    if (h.cmaplen > 16)
        return kDataError;
    if (h.flags & kNoBackground) {
        in.Skip(1);
    } else {
        const std::size_t n = static_cast<std::size_t>(h.ncolors / 2 * 2 + 1);
        if (in.Left() < n)
            return kDataError;
        auto b = in.Take(n);
        h.background.assign(b.begin(), b.begin() + h.ncolors);
    }
    const std::size_t map_entries = static_cast<std::size_t>(h.ncmap) << h.cmaplen;
    if (h.ncmap > 0) {
        if (in.Left() / 2 < map_entries) {
            Diagnose("Malloc failed for color map of size %d*%d in rle_get_setup", h.ncmap,
                         1 << h.cmaplen);
            return kDataError;
        }
        h.cmap.resize(map_entries);
        for (auto& e : h.cmap)
            e = in.Word(kLittleEndian);
    }
    if (h.flags & kComments) {
        const std::size_t len = in.Word(kLittleEndian);
        const std::size_t padded = len + (len & 1);
        if (in.Left() < padded) {
            Diagnose("Malloc failed for comment buffer of size %d in rle_get_setup",
                         static_cast<int>(len));
            return kDataError;
        }
        in.Skip(padded);
    }
    return kOk;
}

// Decodes file rows into channel rows of the picture's width (index 0 is x position).
class RleRows {
public:
    RleRows(ByteCursor& in, const RLE_HEADER& h) : in_(in), h_(h) {}

    int Init()
    {
        width_ = static_cast<std::size_t>(h_.xsize);
        channels_.assign(static_cast<std::size_t>(h_.ncolors), std::vector<std::uint8_t>(width_, 0));
        if (h_.flags & kAlpha)
            alpha_.assign(width_, 0);
        return kOk;
    }
    const std::vector<std::uint8_t>& Channel(std::size_t c) const { return channels_[c]; }
    // True when the file ended before the end-of-image operation.
    bool Truncated() const { return truncated_; }

    // Decodes the next row. kDataError for an operation that leaves the row.
    int Next()
    {
        if ((h_.flags & kClearFirst) && !h_.background.empty()) {
            for (std::size_t c = 0; c < channels_.size(); ++c)
                std::fill(channels_[c].begin(), channels_[c].end(), h_.background[c]);
            std::fill(alpha_.begin(), alpha_.end(), 0);
        }
        if (skip_ > 0) {
            --skip_;
            return kOk;
        }
        if (ended_)
            return kOk;
        std::vector<std::uint8_t>* row = nullptr;
        std::size_t x = 0;
        for (;;) {
            const int op = in_.Get();
            const int operand_byte = in_.Get();
            if (operand_byte < 0) {
                ended_ = truncated_ = true;
                return kOk;
            }
            std::size_t operand = static_cast<std::size_t>(operand_byte);
            if (op & kLongForm)
                operand = in_.Word(kLittleEndian);
            switch (op & ~kLongForm) {
            case kSkipLines:
                skip_ = operand > 0 ? operand - 1 : 0;
                return kOk;
            case kSetColour:
                row = operand < channels_.size() ? &channels_[operand]
                      : operand == 255 && !alpha_.empty() ? &alpha_
                                                          : nullptr;
                x = 0;
                break;
            case kSkipPixels:
                x += operand;
                break;
            case kByteData: {
                const std::size_t n = operand + 1;
                auto bytes = in_.Take(n + (n & 1));
                if (bytes.size() < n + (n & 1)) {
                    ended_ = truncated_ = true;
                    return kOk;
                }
                if (row != nullptr) {
                    if (x > width_ || n > width_ - x)
                        return kDataError;
                    std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n), row->begin() +
                              static_cast<std::ptrdiff_t>(x));
                }
                x += n;
                break;
            }
            case kRunData: {
                const std::size_t n = operand + 1;
                const int lo = in_.Get();
                if (in_.Get() < 0) {
                    ended_ = truncated_ = true;
                    return kOk;
                }
                if (row != nullptr) {
                    if (x > width_ || n > width_ - x)
                        return kDataError;
                    std::fill_n(row->begin() + static_cast<std::ptrdiff_t>(x), n, static_cast<std::uint8_t>(lo));
                }
                x += n;
                break;
            }
            case kEndOfImage:
                ended_ = true;
                return kOk;
            default:
                Diagnose("rle_getrow: Unrecognized opcode: %d", op & ~kLongForm);
                return kDataError;
            }
        }
    }

private:
    ByteCursor& in_;
    const RLE_HEADER& h_;
    std::size_t width_ = 0;
    std::vector<std::vector<std::uint8_t>> channels_;
    std::vector<std::uint8_t> alpha_;
    std::size_t skip_ = 0;
    bool ended_ = false;
    bool truncated_ = false;
};

int ReadUtahRleBytes(CODEC_CTX& ctx, ByteCursor in)
{
    RLE_HEADER h {};
    if (int rc = ReadRleSetup(in, h); rc != kOk)
        return rc;
    if (h.xsize <= 0 || h.ysize <= 0 || h.ncolors == 0)
        return kDataError;
    // One operation of four bytes covers at most 65536 pixels of a channel; a header that
    // promises more pixels than that for every byte of the file is refused before the
    // picture is allocated.
    if (!ClaimFits(static_cast<std::uint64_t>(h.xsize) * static_cast<std::uint64_t>(h.ysize), in.Size(),
                   expansion::kUtahRuns))
        return kDataError;
    if (int rc = ctx.ReserveDecoded(h.xsize, h.ysize); rc != kOk)
        return rc;
    ctx.width = h.xsize;
    ctx.height = h.ysize;
    ctx.bits_per_pixel = h.ncolors == 1 && h.ncmap < 3 ? 8 : 24;

    RleRows rows(in, h);
    if (int rc = rows.Init(); rc != kOk)
        return rc;
    // Colour map per output channel (red, green, blue), or null.
    const std::size_t map_len = std::size_t{1} << h.cmaplen;
    const bool palette = h.ncolors == 1 && h.ncmap >= 3;
    auto map_of = [&](int c) -> const std::uint16_t* {
        if (h.ncmap == 0)
            return nullptr;
        return h.cmap.data() + (h.ncmap == 1 ? 0 : static_cast<std::size_t>(std::min(c, h.ncmap - 1)) * map_len);
    };
    const std::uint16_t* maps[3] = {map_of(0), map_of(1), map_of(2)};
    const std::size_t width = static_cast<std::size_t>(h.xsize);
    for (int y = ctx.height - 1; y >= 0; --y) {
        if (int rc = rows.Next(); rc != kOk)
            return rc;
        const bool truncated = rows.Truncated(); // the row the file ended in shows as far as it came
        std::uint8_t* out = ctx.DecodedRow(y);
        for (int c = 0; c < 3; ++c) {
            const std::size_t source =
                static_cast<std::size_t>(palette || h.ncolors < 3 ? (h.ncolors == 1 ? 0 : std::min(c, h.ncolors - 1)) : c);
            const std::vector<std::uint8_t>& ch = rows.Channel(source);
            const std::uint16_t* map = maps[c];
            std::uint8_t* o = out + 2 - c; // red at byte 2, blue at byte 0
            if (h.ncolors == 2 && c == 2) {
                for (std::size_t x = 0; x < width; ++x, o += 3)
                    *o = 0;
                continue;
            }
            if (map == nullptr) {
                for (std::size_t x = 0; x < width; ++x, o += 3)
                    *o = ch[x];
            } else {
                for (std::size_t x = 0; x < width; ++x, o += 3)
                    *o = ch[x] < map_len ? static_cast<std::uint8_t>(map[ch[x]] >> 8) : ch[x];
            }
        }
        if (truncated) {
            // The file ended early: the rows above the last one it reached are black.
            std::memset(ctx.DecodedRow(0), 0, ctx.RowBytes() * static_cast<std::size_t>(y));
            break;
        }
    }
    return kOk;
}

// ---------------------------------------------------------------------------------------
// Scitex CT

constexpr std::size_t kSctDataOffset = 2048;

// A 14-character decimal field, leading spaces and a sign allowed; -1 without digits.
std::int64_t SctNumber(const std::uint8_t* field)
{
    std::size_t i = 0;
    while (i < 14 && field[i] == ' ')
        ++i;
    if (i < 14 && field[i] == '+')
        ++i;
    std::int64_t v = -1;
    for (; i < 14 && field[i] >= '0' && field[i] <= '9'; ++i)
        v = std::min<std::int64_t>((v < 0 ? 0 : v) * 10 + (field[i] - '0'), std::int64_t{1} << 40);
    return v;
}

int ReadSctBytes(CODEC_CTX& ctx, std::span<const std::uint8_t> file)
{
    if (file.size() < 82 || file[80] != 'C' || file[81] != 'T')
        return kMagicError;
    if (file.size() < kSctDataOffset)
        return kDataError;
    const std::int64_t height = SctNumber(&file[1056]);
    const std::int64_t width = SctNumber(&file[1070]);
    if (width < 1 || height < 1)
        return kDataError;
    if (PictureBytes(width, height, 3) == SIZE_MAX)
        return kImageTooLarge;
    const auto w = static_cast<std::uint64_t>(width);
    const auto h = static_cast<std::uint64_t>(height);
    const std::uint64_t d = file.size() - kSctDataOffset;
    const std::uint64_t plane = w * h;
    int planes;
    if (file[1025] == 1)
        planes = 1;
    else if ((w % 2 == 0 && d == plane * 3) || (w % 2 == 1 && plane * 3 <= d && d <= plane * 4))
        planes = 3;
    else
        planes = d + 4 >= plane * 4 ? 4 : 3;
    const std::size_t plane_row = static_cast<std::size_t>(w + (w & 1));
    const std::size_t line = plane_row * static_cast<std::size_t>(planes);
    if (!ClaimFits(std::uint64_t{line} * h, d, expansion::kStoredEighthDiv))
        return kDataError;
    if (int rc = ctx.ReserveDecoded(width, height); rc != kOk)
        return rc;
    ctx.width = static_cast<std::int32_t>(width);
    ctx.height = static_cast<std::int32_t>(height);
    ctx.bits_per_pixel = 8;
    ctx.compression_name = "None";

    const std::uint8_t* data = file.data() + kSctDataOffset;
    const std::size_t whole_lines = static_cast<std::size_t>(d / line);
    const std::size_t n = static_cast<std::size_t>(w);
    for (int y = 0; y < ctx.height; ++y) {
        if (static_cast<std::size_t>(y) >= whole_lines) {
            FillMissingRows(ctx, y);
            break;
        }
        const std::uint8_t* src = data + static_cast<std::size_t>(y) * line;
        std::uint8_t* out = ctx.DecodedRow(y);
        if (planes == 1) {
            for (std::size_t x = 0; x < n; ++x, out += 3)
                out[0] = out[1] = out[2] = src[x];
            continue;
        }
        const std::uint8_t* r = src;
        const std::uint8_t* g = src + plane_row;
        const std::uint8_t* b = src + 2 * plane_row;
        for (std::size_t x = 0; x < n; ++x, out += 3) {
            out[0] = b[x];
            out[1] = g[x];
            out[2] = r[x];
        }
    }
    return kOk;
}

template <typename Fn>
int Guarded(Fn fn)
{
    try {
        return fn();
    } catch (const std::bad_alloc&) {
        return kMemoryError;
    } catch (...) {
        return kUnknownError;
    }
}

} // namespace

int DecodeUtahRle(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    return Guarded([&] { return ReadUtahRleBytes(ctx, ByteCursor(bytes)); });
}

int DecodeSct(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    return Guarded([&] { return ReadSctBytes(ctx, bytes); });
}
