#include "ops/Pixel_commands.h"

#include "base/Result_codes.h"
#include "ops/Ops_common.h"
#include "ops/Simd_level.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define RAVELSCOPE_STREAM_STORES 1
#endif

namespace {

#ifdef RAVELSCOPE_STREAM_STORES
// Blocks of 16 pixels (48 bytes, three 16-byte vectors) rearranged with byte shuffles. A
// byte of an output vector comes from at most two input vectors, but a table for all
// three keeps the loop one shape for any arrangement.
struct Shuffle48 {
    __m128i mask[3][3]; // [output vector][input vector]
};

// Output byte i of a block takes input byte from[i].
Shuffle48 MakeShuffle(const std::uint8_t from[48])
{
    Shuffle48 sh;
    for (int r = 0; r < 3; ++r)
        for (int v = 0; v < 3; ++v) {
            alignas(16) std::uint8_t m[16];
            for (int i = 0; i < 16; ++i) {
                const int b = from[16 * r + i] - 16 * v;
                m[i] = static_cast<std::uint8_t>(b >= 0 && b < 16 ? b : 0x80);
            }
            sh.mask[r][v] = _mm_load_si128(reinterpret_cast<const __m128i*>(m));
        }
    return sh;
}

[[gnu::target("ssse3")]] inline void Load48(const std::uint8_t* p, __m128i in[3])
{
    for (int v = 0; v < 3; ++v)
        in[v] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * v));
}

[[gnu::target("ssse3")]] inline void Store48(std::uint8_t* p, const Shuffle48& sh, const __m128i in[3])
{
    for (int r = 0; r < 3; ++r) {
        const __m128i a = _mm_shuffle_epi8(in[0], sh.mask[r][0]);
        const __m128i b = _mm_shuffle_epi8(in[1], sh.mask[r][1]);
        const __m128i c = _mm_shuffle_epi8(in[2], sh.mask[r][2]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * r), _mm_or_si128(_mm_or_si128(a, b), c));
    }
}

// Pixel k of a block becomes pixel 15 − k.
const Shuffle48& ReverseShuffle()
{
    static const Shuffle48 sh = [] {
        std::uint8_t from[48];
        for (int i = 0; i < 48; ++i)
            from[i] = static_cast<std::uint8_t>(3 * (15 - i / 3) + i % 3);
        return MakeShuffle(from);
    }();
    return sh;
}

// Swaps and reverses 16-pixel blocks from both ends of a row towards its middle; returns
// the pixels done at each end.
[[gnu::target("ssse3")]] int MirrorBlocks(std::uint8_t* row, int w)
{
    const Shuffle48& sh = ReverseShuffle();
    int l = 0, r = w;
    for (; r - l >= 32; l += 16, r -= 16) {
        std::uint8_t* a = row + static_cast<std::size_t>(l) * 3;
        std::uint8_t* b = row + static_cast<std::size_t>(r - 16) * 3;
        __m128i left[3], right[3];
        Load48(a, left);
        Load48(b, right);
        Store48(a, sh, right);
        Store48(b, sh, left);
    }
    return l;
}

// Rearranges every whole 16-pixel block of a row in place; returns the pixels done.
[[gnu::target("ssse3")]] int ShuffleBlocks(std::uint8_t* row, int w, const Shuffle48& sh)
{
    int x = 0;
    for (; x + 16 <= w; x += 16) {
        std::uint8_t* p = row + static_cast<std::size_t>(x) * 3;
        __m128i in[3];
        Load48(p, in);
        Store48(p, sh, in);
    }
    return x;
}

// Grey levels of every whole 16-pixel block of a row, read from src and written to dst (the
// same row or another); returns the pixels done.
[[gnu::target("ssse3")]] int GreyBlocks(const std::uint8_t* src, std::uint8_t* dst, int w)
{
    // Byte k of each pixel into one vector: planes[k][v] picks from input vector v.
    static const Shuffle48 planes = [] {
        std::uint8_t from[48];
        for (int k = 0; k < 3; ++k)
            for (int i = 0; i < 16; ++i)
                from[16 * k + i] = static_cast<std::uint8_t>(3 * i + k);
        return MakeShuffle(from);
    }();
    // Output byte i takes grey level i / 3 of the block.
    static const __m128i spread[3] = {
        _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5),
        _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10),
        _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15)};
    const __m128i zero = _mm_setzero_si128();
    const __m128i third = _mm_set1_epi16(static_cast<short>(0xAAAB));
    int x = 0;
    for (; x + 16 <= w; x += 16) {
        const std::size_t at = static_cast<std::size_t>(x) * 3;
        std::uint8_t* p = dst + at;
        __m128i in[3], plane[3];
        Load48(src + at, in);
        for (int k = 0; k < 3; ++k)
            plane[k] = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(in[0], planes.mask[k][0]),
                                                 _mm_shuffle_epi8(in[1], planes.mask[k][1])),
                                    _mm_shuffle_epi8(in[2], planes.mask[k][2]));
        __m128i lo = _mm_unpacklo_epi8(plane[0], zero), hi = _mm_unpackhi_epi8(plane[0], zero);
        for (int k = 1; k < 3; ++k) {
            lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(plane[k], zero));
            hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(plane[k], zero));
        }
        // floor(s / 3) = (s × 0xAAAB) >> 17 for every s below 2^16.
        lo = _mm_srli_epi16(_mm_mulhi_epu16(lo, third), 1);
        hi = _mm_srli_epi16(_mm_mulhi_epu16(hi, third), 1);
        const __m128i grey = _mm_packus_epi16(lo, hi);
        for (int r = 0; r < 3; ++r)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * r), _mm_shuffle_epi8(grey, spread[r]));
    }
    return x;
}
#endif

bool UseShuffles()
{
#ifdef RAVELSCOPE_STREAM_STORES
    return ActiveSimdLevel() >= SimdLevel::kSsse3;
#else
    return false;
#endif
}

} // namespace

void Mirror(Dib& pic)
{
    const int w = pic.Width();
    [[maybe_unused]] const bool shuffles = UseShuffles();
    for (int y = 0; y < pic.Height(); ++y) {
        std::uint8_t* row = pic.ScanLine(y);
        int done = 0;
#ifdef RAVELSCOPE_STREAM_STORES
        if (shuffles)
            done = MirrorBlocks(row, w);
#endif
        for (int l = done, r = w - 1 - done; l < r; ++l, --r) {
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

// Quarter turns go through tiles of 128 source columns by 64 source rows: 64 pixels of 3
// bytes are exactly three cache lines, so every line of either picture is read or written
// whole, once. The tile is turned inside a small buffer, not in place in the destination:
// the destination's columns lie a row stride apart, and strides that are multiples of 4096
// bytes map a whole column to one set of the first-level cache. (Measured on 4096 × 4096:
// 128 × 64 beat 64 × 64, 64 × 128 and 32 × 256.)
constexpr int kTileW = 128; // source columns of a tile: rows of the buffer
constexpr int kTileH = 64;  // source rows of a tile: pixels of a buffer row
// Buffer rows have 4 spare bytes so that pixels can move as 4-byte words.
constexpr std::size_t kTileRow = kTileH * 3 + 4;

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
            for (std::size_t k = 0; k < kTileW * 3; k += 64)
                _mm_prefetch(reinterpret_cast<const char*>(s + kTileW * 3 + k), _MM_HINT_T0);
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
    alignas(64) std::uint8_t buf[kTileW * kTileRow];
    const std::size_t src_bytes = src.Stride() * static_cast<std::size_t>(h);
    for (int y0 = 0; y0 < h; y0 += kTileH)
        for (int x0 = 0; x0 < w; x0 += kTileW) {
            const int tw = std::min(kTileW, w - x0), th = std::min(kTileH, h - y0);
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
                if (th == kTileH && reinterpret_cast<std::uintptr_t>(d) % 16 == 0) {
                    for (std::size_t k = 0; k < kTileH * 3; k += 16)
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

void GrayScale(const Dib& src, Dib& dst)
{
    [[maybe_unused]] const bool shuffles = UseShuffles();
    for (int y = 0; y < src.Height(); ++y) {
        const std::uint8_t* s = src.ScanLine(y);
        std::uint8_t* d = dst.ScanLine(y);
        int x = 0;
#ifdef RAVELSCOPE_STREAM_STORES
        if (shuffles)
            x = GreyBlocks(s, d, src.Width());
#endif
        const std::size_t done = static_cast<std::size_t>(x) * 3;
        for (s += done, d += done; x < src.Width(); ++x, s += 3, d += 3) {
            const auto g = static_cast<std::uint8_t>((s[0] + s[1] + s[2]) / 3);
            d[0] = d[1] = d[2] = g;
        }
    }
}

void GrayScale(Dib& pic) { GrayScale(pic, pic); }

void SwapChannels(Dib& pic, const int order[3])
{
    const int a = order[0], b = order[1], c = order[2];
#ifdef RAVELSCOPE_STREAM_STORES
    [[maybe_unused]] const bool shuffles = UseShuffles();
    Shuffle48 sh{};
    if (shuffles) {
        std::uint8_t from[48];
        for (int i = 0; i < 48; ++i)
            from[i] = static_cast<std::uint8_t>(i - i % 3 + order[i % 3]);
        sh = MakeShuffle(from);
    }
#endif
    for (int y = 0; y < pic.Height(); ++y) {
        std::uint8_t* p = pic.ScanLine(y);
        int x = 0;
#ifdef RAVELSCOPE_STREAM_STORES
        if (shuffles)
            x = ShuffleBlocks(p, pic.Width(), sh);
#endif
        for (p += static_cast<std::size_t>(x) * 3; x < pic.Width(); ++x, p += 3) {
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
