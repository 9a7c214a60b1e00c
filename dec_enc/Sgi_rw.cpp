// Silicon Graphics image files (.SGI, .RGB): a 512-byte big-endian header (magic 474,
// storage 0 = verbatim or 1 = run-length coded, bytes per channel 1 or 2, dimension,
// x size, y size, z size = channels, minimum, maximum, reserved, name, colour-map id),
// then channel planes whose rows run bottom to top.
//
// Verbatim files hold the planes one after another, each y-size rows of x-size samples.
// Run-length coded files hold a table of row offsets and a table of row lengths (32-bit,
// y size × channels entries each, channel-major), then the rows: a count unit c (a byte,
// or a 16-bit word with 2 bytes per channel), n = c & 0x7F, n = 0 ends the row; bit 7 set:
// n literal samples follow; clear: the next sample is repeated n times. A run past the
// row's end is an error.
//
// Channels 0, 1, 2 are red, green, blue; a fourth (alpha) is not shown. One or two
// channels are grey (with alpha). Samples of 2 bytes show their high byte. Dimension 1
// files are a single row. A picture of more than 4096 pixels both ways is refused.
#include "base/Byte_order.h"
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kSgiHeaderBytes = 512;
constexpr std::uint32_t kSgiMagic = 474;

// Decodes one run-length coded row of channel c into the picture row; kDataError when a
// run passes the row's end. Pixels the data leaves out stay as they are (black).
template <int SampleBytes, bool Grey>
int DecodeSgiRleRow(std::span<const std::uint8_t> data, std::size_t width, int c, std::uint8_t* out)
{
    const std::uint8_t* p = data.data();
    const std::uint8_t* const end = p + data.size();
    std::uint8_t* o = Grey ? out : out + (2 - c);
    auto put = [&](std::size_t x, std::uint8_t v) {
        if constexpr (Grey)
            o[3 * x] = o[3 * x + 1] = o[3 * x + 2] = v;
        else
            o[3 * x] = v;
    };
    std::size_t x = 0;
    while (end - p >= SampleBytes) {
        const auto count = static_cast<unsigned>(SampleBytes == 2 ? (p[0] << 8) | p[1] : p[0]);
        p += SampleBytes;
        const std::size_t n = count & 0x7F;
        if (n == 0)
            break;
        if (n > width - x)
            return kDataError;
        if (count & 0x80) {
            const std::size_t avail = std::min<std::size_t>(n, static_cast<std::size_t>(end - p) / SampleBytes);
            for (std::size_t i = 0; i < avail; ++i, p += SampleBytes)
                put(x + i, *p); // the high byte of a 2-byte sample
            x += avail;
            if (avail < n)
                break;
        } else {
            if (end - p < SampleBytes)
                break;
            const std::uint8_t v = *p;
            p += SampleBytes;
            for (std::size_t i = 0; i < n; ++i)
                put(x + i, v);
            x += n;
        }
    }
    return kOk;
}

int DecodeSgiRleRow(std::span<const std::uint8_t> data, int sample_bytes, std::size_t width, int shown, int c,
                    std::uint8_t* out)
{
    if (sample_bytes == 1)
        return shown == 1 ? DecodeSgiRleRow<1, true>(data, width, c, out)
                          : DecodeSgiRleRow<1, false>(data, width, c, out);
    return shown == 1 ? DecodeSgiRleRow<2, true>(data, width, c, out) : DecodeSgiRleRow<2, false>(data, width, c, out);
}

} // namespace

int DecodeSgi(CODEC_CTX& ctx, std::span<const std::uint8_t> file)
{
    ByteCursor in(file);
    if (in.Word(kBigEndian) != kSgiMagic)
        return kMagicError;
    if (file.size() < kSgiHeaderBytes)
        return kDataError;
    const int storage = file[2];
    const int sample_bytes = file[3];
    const std::uint32_t dimension = LoadWord(kBigEndian, file.data() + 4);
    const std::int64_t width = LoadWord(kBigEndian, file.data() + 6);
    std::int64_t height = LoadWord(kBigEndian, file.data() + 8);
    std::int64_t channels = LoadWord(kBigEndian, file.data() + 10);
    if (dimension == 1)
        height = channels = 1;
    else if (dimension == 2)
        channels = 1;
    if (width > 4096 && height > 4096)
        return kImageTooLarge;
    if (width < 1 || height < 1 || channels < 1)
        return kDataError;
    ctx.bits_per_pixel = static_cast<std::int32_t>(std::min<std::int64_t>(channels, 4) * 8 * sample_bytes);
    if (sample_bytes != 1 && sample_bytes != 2)
        return kBitDepthNotSupported;
    const int shown = channels >= 3 ? 3 : 1;
    const auto w = static_cast<std::size_t>(width);
    const auto rows = static_cast<std::size_t>(height);
    const auto sb = static_cast<std::size_t>(sample_bytes);
    const bool rle = storage != 0;
    ctx.compression_name = rle ? "RLE" : "None";

    // The claimed data must be in the file before the picture is sized.
    const std::size_t entries = rows * static_cast<std::size_t>(channels);
    if (rle) {
        if ((file.size() - kSgiHeaderBytes) / 8 < entries)
            return kDataError;
    } else if ((file.size() - kSgiHeaderBytes) / sb / w / rows < static_cast<std::size_t>(shown)) {
        return kDataError;
    }
    if (int rc = ctx.ReserveDecoded(width, height); rc != kOk)
        return rc;
    ctx.width = static_cast<std::int32_t>(width);
    ctx.height = static_cast<std::int32_t>(height);

    // Row by row, every channel of a row while the row is in cache; pixels the data
    // leaves out stay black.
    for (std::size_t r = 0; r < rows; ++r) {
        std::uint8_t* const row = ctx.DecodedRow(ctx.height - 1 - static_cast<int>(r));
        std::memset(row, 0, w * 3);
        for (int c = 0; c < shown; ++c) {
            std::uint8_t* out = row;
            const std::size_t entry = static_cast<std::size_t>(c) * rows + r;
            if (rle) {
                const std::uint32_t start = LoadDword(kBigEndian, file.data() + kSgiHeaderBytes + 4 * entry);
                const std::uint32_t length =
                    LoadDword(kBigEndian, file.data() + kSgiHeaderBytes + 4 * entries + 4 * entry);
                if (start < kSgiHeaderBytes || start > file.size())
                    return kDataError;
                const std::size_t n = std::min<std::size_t>(length, file.size() - start);
                if (int rc = DecodeSgiRleRow(file.subspan(start, n), sample_bytes, w, shown, c, out); rc != kOk)
                    return rc;
            } else {
                const std::uint8_t* src = file.data() + kSgiHeaderBytes + entry * w * sb;
                if (shown == 1) {
                    for (std::size_t x = 0; x < w; ++x, out += 3, src += sb)
                        out[0] = out[1] = out[2] = *src;
                } else {
                    for (std::size_t x = 0; x < w; ++x, out += 3, src += sb)
                        out[2 - c] = *src;
                }
            }
        }
    }
    return kOk;
}
