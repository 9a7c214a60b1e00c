// FITS files (.FIT): the primary array, shown as grey.
//
// The header is text in 80-character cards: a keyword, optionally "=" and a value, an
// optional "/" comment; it ends at the card "END" and the data starts at the next
// multiple of 2880 bytes. Keywords used: SIMPLE (T), BITPIX (8 unsigned, 16 and 32 signed
// big-endian integers, -32 and -64 big-endian IEEE floats), NAXIS (1 to 4), NAXIS1
// (width), NAXIS2 (height), NAXIS3 (planes; the last one is shown), DATAMIN and DATAMAX
// (the grey range; computed from the plane when both are 0), BZERO and BSCALE (physical
// value = sample × BSCALE + BZERO). Keywords are matched in any case, except BSCALE,
// which must be upper case. The first data row is the bottom row of the picture.
//
// Grey = (value − DATAMIN) × scale, clipped to 0..255, where the range is stretched to
// 0..255 when it is at most 1 or wider than 255, and taken as it is otherwise. Samples that
// are not numbers show black.
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kCard = 80;
constexpr std::size_t kBlock = 2880;

struct FITS_HEADER {
    bool simple = false;
    int bitpix = 8;
    std::int64_t naxis = 0;
    std::int64_t naxis1 = 1, naxis2 = 1, naxis3 = 1;
    double datamin = 0, datamax = 0;
    double bzero = 0, bscale = 1;
    std::size_t data_start = 0;
};

bool IsKeywordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '-'; }
bool IsValueChar(unsigned char c) { return std::isalnum(c) || c == '+' || c == '-' || c == '.'; }

bool SameNoCase(const std::string& a, const char* b)
{
    const std::size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != b[i])
            return false;
    return true;
}

std::int64_t IntValue(const std::string& v)
{
    char* end = nullptr;
    const double d = std::strtod(v.c_str(), &end);
    if (end == v.c_str() || !std::isfinite(d))
        return 0;
    return static_cast<std::int64_t>(std::clamp(d, -1e15, 1e15));
}

double RealValue(const std::string& v)
{
    std::string s = v;
    for (char& c : s)
        if (c == 'D' || c == 'd') // Fortran exponents
            c = 'E';
    char* end = nullptr;
    const double d = std::strtod(s.c_str(), &end);
    return end == s.c_str() || !std::isfinite(d) ? 0.0 : d;
}

// Reads the cards up to END. kMagicError when the file does not start with SIMPLE,
// kDataError when END is missing.
int ParseHeader(std::span<const std::uint8_t> file, FITS_HEADER& h)
{
    bool first = true;
    for (std::size_t card = 0; card + kCard <= file.size(); card += kCard) {
        const std::uint8_t* c = file.data() + card;
        std::size_t i = 0;
        while (i < kCard && c[i] == ' ')
            ++i;
        std::string key;
        while (i < kCard && IsKeywordChar(c[i]))
            key += static_cast<char>(c[i++]);
        if (first) {
            if (!SameNoCase(key, "SIMPLE"))
                return kMagicError;
            first = false;
        }
        if (SameNoCase(key, "END")) {
            h.data_start = (card + kCard + kBlock - 1) / kBlock * kBlock;
            return kOk;
        }
        while (i < kCard && c[i] == ' ')
            ++i;
        if (i >= kCard || c[i] != '=')
            continue; // COMMENT, HISTORY and blank cards
        ++i;
        while (i < kCard && c[i] == ' ')
            ++i;
        std::string value;
        while (i < kCard && IsValueChar(c[i]))
            value += static_cast<char>(c[i++]);
        if (SameNoCase(key, "SIMPLE"))
            h.simple = !value.empty() && (value[0] == 'T' || value[0] == 't');
        else if (SameNoCase(key, "BITPIX"))
            h.bitpix = static_cast<int>(std::clamp<std::int64_t>(IntValue(value), -1000, 1000));
        else if (SameNoCase(key, "NAXIS"))
            h.naxis = IntValue(value);
        else if (SameNoCase(key, "NAXIS1"))
            h.naxis1 = IntValue(value);
        else if (SameNoCase(key, "NAXIS2"))
            h.naxis2 = IntValue(value);
        else if (SameNoCase(key, "NAXIS3"))
            h.naxis3 = IntValue(value);
        else if (SameNoCase(key, "DATAMIN"))
            h.datamin = RealValue(value);
        else if (SameNoCase(key, "DATAMAX"))
            h.datamax = RealValue(value);
        else if (SameNoCase(key, "BZERO"))
            h.bzero = RealValue(value);
        else if (key == "BSCALE")
            h.bscale = RealValue(value);
    }
    return first ? kMagicError : kDataError;
}

// The sample at index i of a plane, as its physical value; NaN for missing data.
double Sample(const std::uint8_t* p, int bitpix)
{
    switch (bitpix) {
    case 8:
        return p[0];
    case 16:
        return static_cast<std::int16_t>((p[0] << 8) | p[1]);
    case 32:
        return static_cast<std::int32_t>((std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                                         (std::uint32_t{p[2]} << 8) | p[3]);
    case -32: {
        const std::uint32_t bits = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                                   (std::uint32_t{p[2]} << 8) | p[3];
        return std::bit_cast<float>(bits);
    }
    default: {
        std::uint64_t bits = 0;
        for (int k = 0; k < 8; ++k)
            bits = bits << 8 | p[k];
        return std::bit_cast<double>(bits);
    }
    }
}

int ReadFitsBytes(CODEC_CTX& ctx, std::span<const std::uint8_t> file)
{
    if (file.empty())
        return kMagicError;
    FITS_HEADER h;
    if (int rc = ParseHeader(file, h); rc != kOk)
        return rc;
    if (!h.simple || h.naxis < 1 || h.naxis > 4)
        return kFormatNotSupported;
    if (h.bitpix != 8 && h.bitpix != 16 && h.bitpix != 32 && h.bitpix != -32 && h.bitpix != -64)
        return kBitDepthNotSupported;
    const std::int64_t width = h.naxis1;
    const std::int64_t height = h.naxis >= 2 ? h.naxis2 : 1;
    const std::int64_t planes = h.naxis >= 3 ? h.naxis3 : 1;
    if (width < 1 || height < 1 || planes < 1)
        return kFormatNotSupported;
    if (PictureBytes(width, height, 3) == SIZE_MAX)
        return kImageTooLarge;
    const std::size_t sample_bytes = static_cast<std::size_t>(std::abs(h.bitpix) / 8);
    const std::uint64_t plane_bytes =
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * sample_bytes;
    const std::uint64_t available = file.size() > h.data_start ? file.size() - h.data_start : 0;
    if (plane_bytes / 8 > available || static_cast<std::uint64_t>(planes - 1) > available / plane_bytes)
        return kDataError;
    if (int rc = ctx.ReserveDecoded(width, height); rc != kOk)
        return rc;
    ctx.width = static_cast<std::int32_t>(width);
    ctx.height = static_cast<std::int32_t>(height);
    ctx.bits_per_pixel = h.bitpix;
    ctx.compression_name = "None";

    // The last plane is the one shown; the samples the file lacks are missing.
    const std::uint64_t plane_start = h.data_start + static_cast<std::uint64_t>(planes - 1) * plane_bytes;
    const std::uint64_t have = plane_start >= file.size() ? 0 : file.size() - plane_start;
    const std::size_t count = static_cast<std::size_t>(width * height);
    const std::size_t present = static_cast<std::size_t>(std::min<std::uint64_t>(have / sample_bytes, count));
    const std::uint8_t* data = file.data() + (present > 0 ? plane_start : 0);
    auto physical = [&](std::size_t i) { return Sample(data + i * sample_bytes, h.bitpix) * h.bscale + h.bzero; };

    // Integer samples of 8 and 16 bits go through a table of their greys.
    const bool small = h.bitpix == 8 || h.bitpix == 16;
    auto raw = [&](std::size_t i) -> std::uint32_t {
        const std::uint8_t* p = data + i * sample_bytes;
        return h.bitpix == 8 ? p[0] : static_cast<std::uint32_t>((p[0] << 8) | p[1]);
    };
    auto raw_physical = [&](std::uint32_t v) {
        // Both arms are doubles: a signed 16-bit sample must not pass through unsigned.
        const double s = h.bitpix == 8 ? static_cast<double>(v)
                                       : static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(v)));
        return s * h.bscale + h.bzero;
    };

    double lo = h.datamin, hi = h.datamax;
    if (lo == 0 && hi == 0) {
        lo = std::numeric_limits<double>::infinity();
        hi = -lo;
        if (small) {
            std::vector<bool> seen(std::size_t{1} << (8 * sample_bytes), false);
            for (std::size_t i = 0; i < present; ++i)
                seen[raw(i)] = true;
            for (std::uint32_t v = 0; v < seen.size(); ++v)
                if (seen[v]) {
                    lo = std::min(lo, raw_physical(v));
                    hi = std::max(hi, raw_physical(v));
                }
        } else {
            for (std::size_t i = 0; i < present; ++i) {
                const double v = physical(i);
                if (std::isfinite(v)) {
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
            }
        }
        if (!(lo <= hi))
            lo = hi = 0;
    }
    const double range = hi - lo;
    const double scale = range <= 0 ? 0.0 : range <= 1 || range > 255 ? 255.0 / range : 1.0;
    auto grey_of = [&](double v) -> std::uint8_t {
        const double g = (v - lo) * scale;
        return !(g > 0) ? 0 : g >= 255 ? 255 : static_cast<std::uint8_t>(g);
    };
    std::vector<std::uint8_t> table;
    if (small) {
        table.resize(std::size_t{1} << (8 * sample_bytes));
        for (std::uint32_t v = 0; v < table.size(); ++v)
            table[v] = grey_of(raw_physical(v));
    }

    const auto w = static_cast<std::size_t>(width);
    for (std::size_t r = 0; r < static_cast<std::size_t>(height); ++r) {
        const int y = ctx.height - 1 - static_cast<int>(r);
        std::uint8_t* out = ctx.DecodedRow(y);
        const std::size_t first = r * w;
        const std::size_t in_row = present > first ? std::min(w, present - first) : 0;
        for (std::size_t x = 0; x < in_row; ++x, out += 3)
            out[0] = out[1] = out[2] = small ? table[raw(first + x)] : grey_of(physical(first + x));
        std::memset(out, 0, (w - in_row) * 3);
    }
    return ctx.CopyToDirectTarget();
}

} // namespace

int DecodeFits(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    try {
        return ReadFitsBytes(ctx, bytes);
    } catch (const std::bad_alloc&) {
        return kMemoryError;
    } catch (...) {
        return kUnknownError;
    }
}
