#include "ops/Pixel_commands.h"

#include "core/Result_codes.h"
#include "ops/Ops_common.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define RAVELSCOPE_STREAM_STORES 1
#endif

void Mirror(Dib& pic)
{
    const int w = pic.Width();
    for (int y = 0; y < pic.Height(); ++y) {
        std::uint8_t* row = pic.ScanLine(y);
        for (int l = 0, r = w - 1; l < r; ++l, --r) {
            std::uint8_t* a = row + static_cast<std::size_t>(l) * 3;
            std::uint8_t* b = row + static_cast<std::size_t>(r) * 3;
            std::swap(a[0], b[0]);
            std::swap(a[1], b[1]);
            std::swap(a[2], b[2]);
        }
    }
}

void FlipVertical(Dib& pic)
{
    const std::size_t n = static_cast<std::size_t>(pic.Width()) * 3;
    for (int t = 0, b = pic.Height() - 1; t < b; ++t, --b)
        std::swap_ranges(pic.ScanLine(t), pic.ScanLine(t) + n, pic.ScanLine(b));
}

namespace {

// Quarter turns go through 64 × 64 pixel tiles: 64 pixels of 3 bytes are exactly three
// cache lines, so every line of either picture is read or written whole, once. The tile is
// turned inside a small buffer, not in place in the destination: the destination's
// columns lie a row stride apart, and strides that are multiples of 4096 bytes map a whole
// column to one set of the first-level cache.
constexpr int kTile = 64;
// Buffer rows have 4 spare bytes so that pixels can move as 4-byte words.
constexpr std::size_t kTileRow = kTile * 3 + 4;
constexpr std::size_t kTileBytes = kTile * 3;

inline std::uint32_t Load4(const std::uint8_t* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void Store4(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

// Turns the tile of src with corner (x0, y0), tw × th pixels, into buf: buffer row i holds
// the turned row of destination pixels that source column x0 + i (left: x0 + tw − 1 − i)
// becomes. wide: the tile may read one byte past each of its pixels.
void TurnTile(const Dib& src, int x0, int y0, int tw, int th, bool left, bool wide, std::uint8_t* buf)
{
    // Column j of the buffer comes from source row y0 + j (right: y0 + th − 1 − j);
    // ascending j lets each 4-byte store's spare byte be overwritten by the next one.
    for (int j = 0; j < th; ++j) {
        const int y = left ? y0 + j : y0 + th - 1 - j;
        const std::uint8_t* s = src.ScanLine(y) + static_cast<std::size_t>(x0) * 3;
        std::uint8_t* d = buf + static_cast<std::size_t>(j) * 3;
        if (left)
            d += static_cast<std::size_t>(tw - 1) * kTileRow;
        const std::ptrdiff_t step = left ? -static_cast<std::ptrdiff_t>(kTileRow) : static_cast<std::ptrdiff_t>(kTileRow);
#ifdef RAVELSCOPE_STREAM_STORES
        // The next tile along reads the three lines after these.
        if (wide)
            for (std::size_t k = 0; k < kTileBytes; k += 64)
                _mm_prefetch(reinterpret_cast<const char*>(s + kTileBytes + k), _MM_HINT_T0);
#endif
        if (wide) {
            for (int x = 0; x < tw; ++x, s += 3, d += step)
                Store4(d, Load4(s));
        } else {
            for (int x = 0; x < tw; ++x, s += 3, d += step) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
        }
    }
}

int QuarterTurn(const Dib& src, Dib& dst, bool left)
{
    const int w = src.Width(), h = src.Height();
    if (&src == &dst)
        return kDataError;
    if (const int rc = EnsureBitmap(dst, h, w); rc != kOk)
        return rc;
    alignas(64) std::uint8_t buf[kTile * kTileRow];
    const std::size_t src_bytes = src.Stride() * static_cast<std::size_t>(h);
    for (int y0 = 0; y0 < h; y0 += kTile)
        for (int x0 = 0; x0 < w; x0 += kTile) {
            const int tw = std::min(kTile, w - x0), th = std::min(kTile, h - y0);
            // The byte after the tile's last pixel of its last row must lie inside src.
            const std::size_t end = static_cast<std::size_t>(y0 + th - 1) * src.Stride() +
                                    static_cast<std::size_t>(x0 + tw) * 3;
            TurnTile(src, x0, y0, tw, th, left, end < src_bytes, buf);
            // Left: source column x goes to row w − 1 − x from column y0; right: to row x
            // from column h − y0 − th.
            const std::size_t col = static_cast<std::size_t>(left ? y0 : h - y0 - th) * 3;
            const int row0 = left ? w - x0 - tw : x0;
            for (int i = 0; i < tw; ++i) {
                std::uint8_t* d = dst.ScanLine(row0 + i) + col;
                const std::uint8_t* b = buf + static_cast<std::size_t>(i) * kTileRow;
#ifdef RAVELSCOPE_STREAM_STORES
                // Whole aligned tile rows bypass the cache: nothing reads them back soon, and
                // the lines would only evict the source's.
                if (th == kTile && reinterpret_cast<std::uintptr_t>(d) % 16 == 0) {
                    for (std::size_t k = 0; k < kTileBytes; k += 16)
                        _mm_stream_si128(reinterpret_cast<__m128i*>(d + k),
                                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + k)));
                    continue;
                }
#endif
                std::memcpy(d, b, static_cast<std::size_t>(th) * 3);
            }
        }
#ifdef RAVELSCOPE_STREAM_STORES
    _mm_sfence();
#endif
    return kOk;
}

} // namespace

int RotateLeft(const Dib& src, Dib& dst) { return QuarterTurn(src, dst, true); }
int RotateRight(const Dib& src, Dib& dst) { return QuarterTurn(src, dst, false); }

void Negative(Dib& pic)
{
    const std::size_t n = static_cast<std::size_t>(pic.Width()) * 3;
    for (int y = 0; y < pic.Height(); ++y) {
        std::uint8_t* p = pic.ScanLine(y);
        for (std::size_t i = 0; i < n; ++i)
            p[i] = static_cast<std::uint8_t>(255 - p[i]);
    }
}

void GrayScale(Dib& pic)
{
    for (int y = 0; y < pic.Height(); ++y) {
        std::uint8_t* p = pic.ScanLine(y);
        for (int x = 0; x < pic.Width(); ++x, p += 3) {
            const auto g = static_cast<std::uint8_t>((p[0] + p[1] + p[2]) / 3);
            p[0] = p[1] = p[2] = g;
        }
    }
}

void SwapChannels(Dib& pic, const int order[3])
{
    const int a = order[0], b = order[1], c = order[2];
    for (int y = 0; y < pic.Height(); ++y) {
        std::uint8_t* p = pic.ScanLine(y);
        for (int x = 0; x < pic.Width(); ++x, p += 3) {
            const std::uint8_t old[3] = {p[0], p[1], p[2]};
            p[0] = old[a];
            p[1] = old[b];
            p[2] = old[c];
        }
    }
}

bool SwapOrder(const char* name, int order[3])
{
    if (name == nullptr || std::strlen(name) != 3)
        return false;
    bool seen[3] = {};
    for (int i = 0; i < 3; ++i) {
        const char ch = name[i];
        const int k = ch == 'R' ? 0 : ch == 'G' ? 1 : ch == 'B' ? 2 : -1;
        if (k < 0 || seen[k])
            return false;
        seen[k] = true;
        order[i] = k;
    }
    return !(order[0] == 0 && order[1] == 1 && order[2] == 2);
}
