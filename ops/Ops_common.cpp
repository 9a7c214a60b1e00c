#include "ops/Ops_common.h"

#include "base/Result_codes.h"
#include "ops/Simd_level.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define RAVELSCOPE_BYTE_PERMUTES 1
#endif

namespace {

#ifdef RAVELSCOPE_BYTE_PERMUTES
// The three tables in 64-byte vectors, looked up 64 bytes at a time: a two-register byte
// permute covers 128 entries, the index's top bit picks the upper or lower half, and the
// byte's position in its pixel picks the table. A row's byte 64j + i belongs to channel
// (j + i) mod 3, as 64 = 1 mod 3.
struct VectorTables {
    __m512i part[3][4];
    __mmask64 channel[3][3]; // [j mod 3][channel]
};

[[gnu::target("avx512f,avx512bw,avx512vbmi")]] void LoadTables(const std::uint8_t (*table)[256], VectorTables& vt)
{
    for (int k = 0; k < 3; ++k)
        for (int q = 0; q < 4; ++q)
            vt.part[k][q] = _mm512_loadu_si512(table[k] + 64 * q);
    for (int j = 0; j < 3; ++j)
        for (int k = 0; k < 3; ++k) {
            std::uint64_t m = 0;
            for (int i = 0; i < 64; ++i)
                if ((j + i) % 3 == k)
                    m |= std::uint64_t{1} << i;
            vt.channel[j][k] = m;
        }
}

[[gnu::target("avx512f,avx512bw,avx512vbmi")]] void ApplyRowVbmi(const std::uint8_t* s, std::uint8_t* d, std::size_t n,
                                                                 const VectorTables& vt)
{
    int j = 0;
    for (std::size_t k = 0; k < n; k += 64, j = j == 2 ? 0 : j + 1) {
        const __mmask64 live = n - k >= 64 ? ~__mmask64{0} : (__mmask64{1} << (n - k)) - 1;
        const __m512i x = _mm512_maskz_loadu_epi8(live, s + k);
        const __mmask64 upper = _mm512_movepi8_mask(x);
        __m512i out = _mm512_setzero_si512();
        for (int c = 0; c < 3; ++c) {
            const __m512i lo = _mm512_permutex2var_epi8(vt.part[c][0], x, vt.part[c][1]);
            const __m512i hi = _mm512_permutex2var_epi8(vt.part[c][2], x, vt.part[c][3]);
            out = _mm512_mask_blend_epi8(vt.channel[j][c], out, _mm512_mask_blend_epi8(upper, lo, hi));
        }
        _mm512_mask_storeu_epi8(d + k, live, out);
    }
}

[[gnu::target("avx512f,avx512bw,avx512vbmi")]] void ApplyTablesVbmi(const Dib& src, Dib& dst,
                                                                    const std::uint8_t (*table)[256], int x0, int y0,
                                                                    int x1, int y1)
{
    VectorTables vt;
    LoadTables(table, vt);
    const std::size_t n = static_cast<std::size_t>(x1 - x0) * 3;
    for (int y = y0; y < y1; ++y)
        ApplyRowVbmi(src.ScanLine(y) + static_cast<std::size_t>(x0) * 3, dst.ScanLine(y) + static_cast<std::size_t>(x0) * 3,
                     n, vt);
}
#endif

} // namespace

int EnsureBitmap(Dib& dst, int w, int h)
{
    if (dst.Width() == w && dst.Height() == h && dst.PixelFormat() == 24)
        return kOk;
    return dst.SetSize(w, h, 24);
}

int CopyBitmap(const Dib& src, Dib& dst)
{
    if (&src == &dst)
        return kOk;
    if (const int rc = EnsureBitmap(dst, src.Width(), src.Height()); rc != kOk)
        return rc;
    const std::size_t n = static_cast<std::size_t>(src.Width()) * 3;
    for (int y = 0; y < src.Height(); ++y)
        std::memcpy(dst.ScanLine(y), src.ScanLine(y), n);
    return kOk;
}

void FillBitmap(Dib& dst, std::uint8_t b, std::uint8_t g, std::uint8_t r)
{
    for (int y = 0; y < dst.Height(); ++y) {
        std::uint8_t* p = dst.ScanLine(y);
        for (int x = 0; x < dst.Width(); ++x, p += 3) {
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    }
}

void ApplyTables(const Dib& src, Dib& dst, const std::uint8_t (*table)[256], int x0, int y0, int x1, int y1)
{
    if (x0 >= x1 || y0 >= y1)
        return;
#ifdef RAVELSCOPE_BYTE_PERMUTES
    if (ActiveSimdLevel() >= SimdLevel::kAvx512) {
        ApplyTablesVbmi(src, dst, table, x0, y0, x1, y1);
        return;
    }
#endif
    const std::uint8_t* t0 = table[0];
    const std::uint8_t* t1 = table[1];
    const std::uint8_t* t2 = table[2];
    for (int y = y0; y < y1; ++y) {
        const std::uint8_t* s = src.ScanLine(y) + static_cast<std::size_t>(x0) * 3;
        std::uint8_t* d = dst.ScanLine(y) + static_cast<std::size_t>(x0) * 3;
        for (int x = x0; x < x1; ++x, s += 3, d += 3) {
            d[0] = t0[s[0]];
            d[1] = t1[s[1]];
            d[2] = t2[s[2]];
        }
    }
}
