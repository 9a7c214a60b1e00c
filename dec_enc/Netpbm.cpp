// Netpbm layout: two magic characters ("P1"-"P6"), then decimal numbers separated by
// whitespace or "#" comments: width, height and, except for bitmaps, the maximum sample
// value. The raster starts after the one whitespace character that ends the last number.
//   P4/P1 bitmap: rows of (width + 7) / 8 bytes, most significant bit first, 1 = black.
//   P5/P2 greymap and P6/P3 pixmap: one sample (maxval < 256) or two big-endian samples
//   bytes (maxval >= 256) per channel, red, green, blue for pixmaps.
// The plain variants hold the same samples as decimal text.
#include "dec_enc/Netpbm.h"

#include "base/File_io.h"
#include "base/Pixel_ops.h"
#include "base/Result_codes.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool IsNetpbmSpace(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Scales samples of 0..maxval to 0..255, rounding; values past maxval saturate.
std::uint8_t ScaleSample(std::uint32_t v, std::uint32_t maxval)
{
    if (v >= maxval)
        return 255;
    return static_cast<std::uint8_t>((v * 255u + maxval / 2) / maxval);
}

// Reads one ASCII sample of a plain raster; -1 at the end or on a stray character.
std::int64_t ReadPlainSample(ByteCursor& in, bool bit)
{
    for (;;) {
        const int c = in.Get();
        if (c < 0)
            return -1;
        if (c == '#') {
            int d;
            while ((d = in.Get()) >= 0 && d != '\n') {
            }
            continue;
        }
        if (IsNetpbmSpace(c) || c == ',')
            continue;
        if (!std::isdigit(c))
            return -1;
        if (bit) // plain bitmaps may run their digits together
            return c - '0';
        std::int64_t v = c - '0';
        while (std::isdigit(in.Peek()))
            v = std::min<std::int64_t>(v * 10 + (in.Get() - '0'), 1 << 20);
        if (IsNetpbmSpace(in.Peek()))
            in.Get();
        return v;
    }
}

// Writes one decoded row of samples (channels 1 or 3, 0..255 each) as blue-green-red.
void PutRow(const std::uint8_t* samples, int channels, std::size_t width, std::uint8_t* out)
{
    if (channels == 1) {
        for (std::size_t x = 0; x < width; ++x, out += 3)
            out[0] = out[1] = out[2] = samples[x];
    } else {
        SwapRedBlue(samples, out, width);
    }
}

// Plain rasters: returns the number of complete rows.
template <typename DestRow>
int DecodePlainRows(ByteCursor& in, const NETPBM_HEADER& h, std::vector<std::uint8_t>& samples, std::size_t width,
                    int height, DestRow dest_row)
{
    const bool bits = h.kind == NetpbmKind::Bitmap;
    const int channels = h.kind == NetpbmKind::Pixmap ? 3 : 1;
    for (int y = 0; y < height; ++y) {
        for (std::uint8_t& s : samples) {
            const std::int64_t v = ReadPlainSample(in, bits);
            if (v < 0)
                return y;
            s = bits ? static_cast<std::uint8_t>(v != 0 ? 0 : 255)
                     : ScaleSample(static_cast<std::uint32_t>(v), static_cast<std::uint32_t>(h.maxval));
        }
        PutRow(samples.data(), channels, width, dest_row(y));
    }
    return height;
}

// Binary rasters are converted where they lie; a torn last row is completed in the raw
// row buffer first.
template <typename DestRow>
int DecodeBinaryRows(ByteCursor& in, const NETPBM_HEADER& h, CODEC_CTX& ctx, std::vector<std::uint8_t>& samples,
                     std::size_t width, int height, DestRow dest_row, int& rows_done)
{
    const int channels = h.kind == NetpbmKind::Pixmap ? 3 : 1;
    const std::size_t bytes_per_sample = h.maxval > 255 ? 2 : 1;
    const std::size_t in_row = h.kind == NetpbmKind::Bitmap
                                   ? (width + 7) / 8
                                   : width * static_cast<std::size_t>(channels) * bytes_per_sample;
    if (int rc = ctx.raw_rows.Reserve(in_row); rc != kOk)
        return rc;
    std::uint8_t lut[256];
    for (std::uint32_t v = 0; v < 256; ++v)
        lut[v] = h.maxval > 255 ? 0 : ScaleSample(v, static_cast<std::uint32_t>(h.maxval));
    for (; rows_done < height; ++rows_done) {
        const auto got = in.Take(in_row);
        if (got.empty())
            break;
        const std::uint8_t* src = got.data();
        if (got.size() < in_row) {
            // A torn last row keeps the whole pixels that arrived; the rest is black (a torn
            // pixel counts as missing).
            const std::size_t unit = h.kind == NetpbmKind::Bitmap ? 1 : static_cast<std::size_t>(channels) * bytes_per_sample;
            const std::size_t kept = got.size() / unit * unit;
            std::memcpy(ctx.raw_rows.data(), got.data(), kept);
            std::memset(ctx.raw_rows.data() + kept, h.kind == NetpbmKind::Bitmap ? 0xFF : 0x00, in_row - kept);
            src = ctx.raw_rows.data();
        }
        std::uint8_t* out = dest_row(rows_done);
        ctx.ReleaseInputBefore(got.data());
        if (h.kind == NetpbmKind::Bitmap) {
            for (std::size_t x = 0; x < width; ++x, out += 3)
                out[0] = out[1] = out[2] = (src[x >> 3] & (0x80 >> (x & 7))) ? 0 : 255;
        } else if (bytes_per_sample == 1 && h.maxval == 255 && channels == 3) {
            SwapRedBlue(src, out, width);
        } else {
            if (bytes_per_sample == 1) {
                for (std::size_t i = 0; i < samples.size(); ++i)
                    samples[i] = lut[src[i]];
            } else {
                for (std::size_t i = 0; i < samples.size(); ++i)
                    samples[i] = ScaleSample((std::uint32_t{src[2 * i]} << 8) | src[2 * i + 1],
                                             static_cast<std::uint32_t>(h.maxval));
            }
            PutRow(samples.data(), channels, width, out);
        }
        if (got.size() < in_row) {
            ++rows_done;
            break;
        }
    }
    return kOk;
}

} // namespace

std::int64_t ReadNetpbmNumber(ByteCursor& in)
{
    for (;;) {
        int c = in.Get();
        if (c == '#') {
            while ((c = in.Get()) >= 0 && c != '\n') {
            }
            continue;
        }
        if (c < 0)
            return 0;
        if (IsNetpbmSpace(c) || c == ',')
            continue;
        if (!std::isdigit(c))
            return -1;
        std::int64_t v = c - '0';
        while (std::isdigit(in.Peek()))
            v = std::min(v * 10 + (in.Get() - '0'), kNetpbmNumberCap);
        // The one whitespace character after a number is consumed; anything else stays.
        if (IsNetpbmSpace(in.Peek()))
            in.Get();
        return v;
    }
}

int ReadNetpbmHeader(CODEC_CTX& ctx, ByteCursor& in, NetpbmKind kind, NETPBM_HEADER& h)
{
    const int m0 = in.Get();
    const int m1 = in.Get();
    const char binary = kind == NetpbmKind::Bitmap ? '4' : kind == NetpbmKind::Greymap ? '5' : '6';
    const char plain = static_cast<char>(binary - 3);
    if (m0 != 'P' || (m1 != binary && m1 != plain))
        return Refuse(ctx, kMagicError, std::string("no P") + plain + " or P" + binary + " signature");
    h.kind = kind;
    h.plain = m1 == plain;
    h.width = ReadNetpbmNumber(in);
    h.height = ReadNetpbmNumber(in);
    h.maxval = 1;
    if (kind != NetpbmKind::Bitmap) {
        const std::int64_t maxval = ReadNetpbmNumber(in);
        if (maxval < 1 || maxval > 65535)
            return Refuse(ctx, kDataError, maxval < 0                   ? "a header field that is not a number"
                                           : maxval == 0 && in.AtEnd() ? kReasonHeaderCut
                                                                       : "a maximum sample value outside 1 to 65535");
        h.maxval = static_cast<int>(maxval);
    }
    return kOk;
}

int SizeNetpbmPicture(ByteCursor& in, const NETPBM_HEADER& h, CODEC_CTX& ctx)
{
    if (h.width < 1 || h.height < 1)
        return Refuse(ctx, kDataError, h.width < 0 || h.height < 0 ? "a header field that is not a number"
                                       : in.AtEnd()                 ? kReasonHeaderCut
                                                                    : "the header gives the picture no width or no height");
    if (PictureBytes(h.width, h.height, 3) == SIZE_MAX)
        return Refuse(ctx, kImageTooLarge, "the picture would take more than 1 GiB");
    // The least the raster can take: a bit per pixel for bitmaps, a byte (two past 255)
    // per sample, two characters per sample in the plain variants but for run-together
    // bitmap digits.
    const std::uint64_t samples = static_cast<std::uint64_t>(h.width) * static_cast<std::uint64_t>(h.height) *
                                  (h.kind == NetpbmKind::Pixmap ? 3u : 1u);
    std::uint64_t claimed = samples * (h.maxval > 255 ? 2u : 1u);
    if (h.kind == NetpbmKind::Bitmap && !h.plain)
        claimed = static_cast<std::uint64_t>((h.width + 7) / 8) * static_cast<std::uint64_t>(h.height);
    else if (h.plain && h.kind != NetpbmKind::Bitmap)
        claimed = samples * 2;
    if (!ClaimFits(claimed, in.Left(), expansion::kStoredEighthDiv))
        return Refuse(ctx, kDataError, kReasonTooShort);
    return ctx.ReserveTarget(h.width, h.height);
}

int DecodeNetpbmRaster(ByteCursor& in, const NETPBM_HEADER& h, CODEC_CTX& ctx)
{
    const auto width = static_cast<std::size_t>(ctx.width);
    const int height = ctx.height;
    const int channels = h.kind == NetpbmKind::Pixmap ? 3 : 1;
    const std::size_t out_row = width * 3;
    auto dest_row = [&](int y) { return ctx.TargetRow(y); };
    int rows_done = 0;

    // The common case: the raster is reordered into the buffer it ends in in one pass. That
    // takes one block of rows without padding: the decoded buffer, or a direct target
    // whose rows need none.
    Dib* direct = ctx.direct_target;
    std::uint8_t* block = direct == nullptr ? ctx.decoded.data()
                          : direct->Stride() == out_row ? direct->ScanLine(0)
                                                        : nullptr;
    if (!h.plain && h.kind == NetpbmKind::Pixmap && h.maxval == 255 && block != nullptr) {
        const std::size_t total = out_row * static_cast<std::size_t>(height);
        const auto got = in.Take(total);
        const std::size_t whole = got.size() / 3 * 3; // a torn last pixel counts as missing
        // In pieces of 4 MiB, giving back the file's pages behind each.
        constexpr std::size_t kPiece = std::size_t{4} << 20;
        for (std::size_t done = 0; done < whole; done += kPiece) {
            const std::size_t n = std::min(kPiece, whole - done);
            SwapRedBlue(got.data() + done, block + done, n / 3);
            ctx.ReleaseInputBefore(got.data() + done + n);
        }
        std::memset(block + whole, 0, total - whole);
        return kOk;
    }

    std::vector<std::uint8_t> samples(width * static_cast<std::size_t>(channels));
    if (h.plain)
        rows_done = DecodePlainRows(in, h, samples, width, height, dest_row);
    else if (int rc = DecodeBinaryRows(in, h, ctx, samples, width, height, dest_row, rows_done); rc != kOk)
        return rc;

    for (int y = rows_done; y < height; ++y)
        std::memset(dest_row(y), 0, out_row);
    return kOk;
}
