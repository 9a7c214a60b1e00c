#include "ops/Edgedetection.h"

#include "ops/Simd_level.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define RAVELSCOPE_EDGE_VECTORS 1
#endif

namespace {

// Largest Gx² + Gy²: both gradients reach ±765.
constexpr int kMaxSquare = 2 * 765 * 765;

// trunc(sqrt(m)) mod 256 for every m the operator can produce.
const std::uint8_t* MagnitudeTable()
{
    static const std::vector<std::uint8_t> table = [] {
        std::vector<std::uint8_t> t(kMaxSquare + 1);
        for (int m = 0; m <= kMaxSquare; ++m)
            t[static_cast<std::size_t>(m)] =
                static_cast<std::uint8_t>(m > 0 ? static_cast<int>(std::sqrt(static_cast<double>(m))) & 255 : 0);
        return t;
    }();
    return table.data();
}

// The operator for bytes i .. n − 1 of a row (i + 3 is byte k of pixel x), by table.
void EdgeBytes(const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down, std::uint8_t* d, int i, int n,
               const std::uint8_t* mag)
{
    for (; i < n; ++i) {
        // i and i + 6 are the same byte of x − 1 and x + 1.
        const int gx = (up[i + 6] - up[i]) + (mid[i + 6] - mid[i]) + (down[i + 6] - down[i]);
        const int gy = (up[i] + up[i + 3] + up[i + 6]) - (down[i] + down[i + 3] + down[i + 6]);
        d[i] = mag[gx * gx + gy * gy];
    }
}

#ifdef RAVELSCOPE_EDGE_VECTORS
// 16 bytes at a time in 16-bit lanes; the magnitude is the truncated single-precision
// square root, which equals the table's for every m up to 2 × 765² (m is exact in a
// float, and no m = k² − 1 comes within half a float step of k).
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i Widen16(const std::uint8_t* p)
{
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// trunc(sqrt(gx² + gy²)) mod 256 of pairs (gx, gy) in 32-bit lanes.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i Magnitude(__m256i pairs)
{
    const __m256i m = _mm256_madd_epi16(pairs, pairs);
    return _mm256_and_si256(_mm256_cvttps_epi32(_mm256_sqrt_ps(_mm256_cvtepi32_ps(m))), _mm256_set1_epi32(255));
}

[[gnu::target("avx2")]] void EdgeRowAvx2(const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down,
                                         std::uint8_t* d, int n, const std::uint8_t* mag)
{
    if (n < 16) {
        EdgeBytes(up, mid, down, d, 0, n, mag);
        return;
    }
    for (int i = 0;; i += 16) {
        if (i + 16 > n)
            i = n - 16;
        const __m256i u0 = Widen16(up + i), u3 = Widen16(up + i + 3), u6 = Widen16(up + i + 6);
        const __m256i m0 = Widen16(mid + i), m6 = Widen16(mid + i + 6);
        const __m256i d0 = Widen16(down + i), d3 = Widen16(down + i + 3), d6 = Widen16(down + i + 6);
        const __m256i gx = _mm256_add_epi16(_mm256_add_epi16(_mm256_sub_epi16(u6, u0), _mm256_sub_epi16(m6, m0)),
                                            _mm256_sub_epi16(d6, d0));
        const __m256i gy = _mm256_sub_epi16(_mm256_add_epi16(_mm256_add_epi16(u0, u3), u6),
                                            _mm256_add_epi16(_mm256_add_epi16(d0, d3), d6));
        // gx² + gy² in 32-bit lanes: pairs (gx, gy) multiplied and added.
        const __m256i lo = _mm256_unpacklo_epi16(gx, gy), hi = _mm256_unpackhi_epi16(gx, gy);
        // The unpacks and packs both work within 128-bit halves, so the order comes back.
        const __m256i words = _mm256_packus_epi32(Magnitude(lo), Magnitude(hi));
        const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(words, words), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm256_castsi256_si128(bytes));
        if (i + 16 == n)
            break;
    }
}
#endif

} // namespace

void DetectEdges(const Dib& src, Dib& dst)
{
    const int w = src.Width(), h = src.Height();
    if (w < 3 || h < 3 || dst.Width() != w || dst.Height() != h)
        return;
    const std::uint8_t* mag = MagnitudeTable();
    const int n = (w - 2) * 3;
#ifdef RAVELSCOPE_EDGE_VECTORS
    const bool vectors = ActiveSimdLevel() >= SimdLevel::kAvx2;
#endif
    for (int y = 1; y < h - 1; ++y) {
        const std::uint8_t* up = src.ScanLine(y - 1);
        const std::uint8_t* mid = src.ScanLine(y);
        const std::uint8_t* down = src.ScanLine(y + 1);
        std::uint8_t* d = dst.ScanLine(y) + 3;
#ifdef RAVELSCOPE_EDGE_VECTORS
        if (vectors) {
            EdgeRowAvx2(up, mid, down, d, n, mag);
            continue;
        }
#endif
        EdgeBytes(up, mid, down, d, 0, n, mag);
    }
}
