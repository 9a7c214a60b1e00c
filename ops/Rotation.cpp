#include "ops/Rotation.h"

#include "dec_enc/Codec_ctx.h"
#include "base/Result_codes.h"
#include "ops/Simd_level.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

struct Turn {
    float s = 0, c = 0;
    int w = 0, h = 0; // canvas
};

// The full rotation keeps the angle in double precision, the preview in single.
Turn FullTurn(int w, int h, double angle)
{
    double theta = -angle;
    while (theta >= 360.0)
        theta -= 360.0;
    const double rad = theta * 0.0174532925;
    Turn t;
    t.s = static_cast<float>(std::sin(rad));
    t.c = static_cast<float>(std::cos(rad));
    const float abs_sin = static_cast<float>(std::fabs(std::cos(1.570796327 - rad)));
    const float abs_cos = std::fabs(t.c);
    t.w = static_cast<int>(abs_cos * static_cast<float>(w) + abs_sin * static_cast<float>(h));
    t.h = static_cast<int>(abs_sin * static_cast<float>(w) + abs_cos * static_cast<float>(h));
    return t;
}

Turn PreviewTurn(int w, int h, float angle)
{
    float theta = -angle;
    while (theta >= 360.0f)
        theta -= 360.0f;
    const float rad = theta * 0.0174532925f;
    Turn t;
    t.s = static_cast<float>(std::sin(rad));
    t.c = static_cast<float>(std::cos(rad));
    const float abs_sin = static_cast<float>(std::fabs(std::cos(1.570796327 - static_cast<double>(rad))));
    const float abs_cos = std::fabs(t.c);
    t.w = static_cast<int>(abs_cos * static_cast<float>(w) + abs_sin * static_cast<float>(h));
    t.h = static_cast<int>(abs_sin * static_cast<float>(w) + abs_cos * static_cast<float>(h));
    return t;
}

// Fills n pixels with one colour.
void FillPixels(std::uint8_t* d, int n, const std::uint8_t bg[3])
{
    if (bg[0] == bg[1] && bg[1] == bg[2]) {
        std::memset(d, bg[0], static_cast<std::size_t>(n) * 3);
        return;
    }
    for (int x = 0; x < n; ++x, d += 3) {
        d[0] = bg[0];
        d[1] = bg[1];
        d[2] = bg[2];
    }
}

// The mapping of one canvas row: source column trunc(c × fx + sy + cx + half) and row
// trunc(cyy − s × fx + cy + half) for fx = x − cx, then moved to the source's corner.
struct RowMap {
    float c, s, sy, cyy, fcx, fcy, half;
    int cx, ox, oy;
};

// Copies canvas pixels x .. x1 − 1 of a row whose whole run lies inside the source.
void CopyRun(const RowMap& m, const std::uint8_t* src, std::size_t src_stride, std::uint8_t* d, int x, int x1)
{
    for (; x < x1; ++x) {
        const float fx = static_cast<float>(x - m.cx);
        const float u = m.c * fx + m.sy + m.fcx;
        const float v = m.cyy - m.s * fx + m.fcy;
        const int px = static_cast<int>(u + m.half);
        const int py = static_cast<int>(v + m.half);
        const std::uint8_t* s =
            src + static_cast<std::size_t>(py - m.oy) * src_stride + static_cast<std::size_t>(px - m.ox) * 3;
        std::uint8_t* q = d + static_cast<std::size_t>(x) * 3;
        q[0] = s[0];
        q[1] = s[1];
        q[2] = s[2];
    }
}

#if defined(__x86_64__) || defined(__i386__)
// The same for 8 pixels at a time: the float steps are the scalar ones, lane by lane (no
// fused multiply-add), so the sampled pixels are the same. Offsets fit 32 bits: a picture
// is at most kMaxPictureBytes. Returns the first pixel not done.
[[gnu::target("avx2")]] int CopyRunAvx2(const RowMap& m, const std::uint8_t* src, std::size_t src_stride,
                                        std::uint8_t* d, int x, int x1)
{
    const __m256 c = _mm256_set1_ps(m.c), s = _mm256_set1_ps(m.s), sy = _mm256_set1_ps(m.sy);
    const __m256 cyy = _mm256_set1_ps(m.cyy), fcx = _mm256_set1_ps(m.fcx), fcy = _mm256_set1_ps(m.fcy);
    const __m256 half = _mm256_set1_ps(m.half);
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i ox = _mm256_set1_epi32(m.ox), oy = _mm256_set1_epi32(m.oy);
    const __m256i stride = _mm256_set1_epi32(static_cast<int>(src_stride)), three = _mm256_set1_epi32(3);
    for (; x + 8 <= x1; x += 8) {
        const __m256 fx = _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(x - m.cx), lane));
        const __m256 u = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(c, fx), sy), fcx);
        const __m256 v = _mm256_add_ps(_mm256_sub_ps(cyy, _mm256_mul_ps(s, fx)), fcy);
        const __m256i px = _mm256_sub_epi32(_mm256_cvttps_epi32(_mm256_add_ps(u, half)), ox);
        const __m256i py = _mm256_sub_epi32(_mm256_cvttps_epi32(_mm256_add_ps(v, half)), oy);
        alignas(32) std::int32_t at[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(at),
                           _mm256_add_epi32(_mm256_mullo_epi32(py, stride), _mm256_mullo_epi32(px, three)));
        std::uint8_t* q = d + static_cast<std::size_t>(x) * 3;
        for (int k = 0; k < 8; ++k)
            std::memcpy(q + 3 * k, src + at[k], 3);
    }
    return x;
}
#endif

// Inverse mapping shared by both forms. Rows are addressed through strides.
//
// Along a canvas row the sampled source column and row are monotone in x (every step of
// their float arithmetic is), so each of the four limits holds on a prefix or a suffix of
// the row and the covered pixels are one run. The run's ends are found by bisection on
// the exact per-pixel test; the pixels in it need no test.
//
// The canvas is walked in 64 × 64 blocks: a block reads a compact patch of the source that
// stays in the cache, where a whole canvas row would read one pixel from each of thousands
// of source rows.
void Sample(const std::uint8_t* src, std::size_t src_stride, int w, int h, std::uint8_t* dst, std::size_t dst_stride,
            const Turn& t, bool round, const std::uint8_t bg[3])
{
    const int cx = t.w / 2, cy = t.h / 2;
    const int ox = (t.w - w) / 2, oy = (t.h - h) / 2;
    const float half = round ? 0.5f : 0.0f;
    const float fcx = static_cast<float>(cx), fcy = static_cast<float>(cy);
    constexpr int kBlock = 64;
    [[maybe_unused]] const bool vectors = ActiveSimdLevel() >= SimdLevel::kAvx2;
    struct Row {
        float sy, cyy;
        int lo, hi; // the covered run [lo, hi)
    };
    Row rows[kBlock];
    for (int y0 = 0; y0 < t.h; y0 += kBlock) {
        const int y1 = std::min(t.h, y0 + kBlock);
        int first = t.w, last = 0;
        for (int y = y0; y < y1; ++y) {
            Row& r = rows[y - y0];
            r.sy = t.s * static_cast<float>(y - cy);
            r.cyy = t.c * static_cast<float>(y - cy);
            const auto col = [&](int x) { return static_cast<int>(t.c * static_cast<float>(x - cx) + r.sy + fcx + half); };
            const auto row = [&](int x) { return static_cast<int>(r.cyy - t.s * static_cast<float>(x - cx) + fcy + half); };
            // Strict lower limits: the first source row and column are never sampled.
            const auto limit = [&](int k, int x) {
                switch (k) {
                case 0: return ox < col(x);
                case 1: return col(x) < ox + w;
                case 2: return oy < row(x);
                default: return row(x) < oy + h;
                }
            };
            r.lo = 0;
            r.hi = t.w;
            for (int k = 0; k < 4 && r.lo < r.hi; ++k) {
                const bool at0 = limit(k, 0);
                if (at0 == limit(k, t.w - 1)) {
                    if (!at0)
                        r.lo = r.hi = 0;
                    continue;
                }
                // The first x whose test differs from x = 0's.
                int a = 0, b = t.w - 1;
                while (b - a > 1) {
                    const int m = a + (b - a) / 2;
                    (limit(k, m) == at0 ? a : b) = m;
                }
                if (at0)
                    r.hi = std::min(r.hi, b);
                else
                    r.lo = std::max(r.lo, b);
            }
            if (r.lo >= r.hi)
                r.lo = r.hi = 0;
            std::uint8_t* d = dst + static_cast<std::size_t>(y) * dst_stride;
            FillPixels(d, r.lo, bg);
            FillPixels(d + static_cast<std::size_t>(r.hi) * 3, t.w - r.hi, bg);
            if (r.lo < r.hi) {
                first = std::min(first, r.lo);
                last = std::max(last, r.hi);
            }
        }
        RowMap m{t.c, t.s, 0.0f, 0.0f, fcx, fcy, half, cx, ox, oy};
        for (int x0 = first; x0 < last; x0 += kBlock)
            for (int y = y0; y < y1; ++y) {
                const Row& r = rows[y - y0];
                m.sy = r.sy;
                m.cyy = r.cyy;
                const int x1 = std::min(r.hi, x0 + kBlock);
                std::uint8_t* d = dst + static_cast<std::size_t>(y) * dst_stride;
                int x = std::max(r.lo, x0);
#if defined(__x86_64__) || defined(__i386__)
                if (vectors)
                    x = CopyRunAvx2(m, src, src_stride, d, x, x1);
#endif
                CopyRun(m, src, src_stride, d, x, x1);
            }
    }
}

} // namespace

void RotatedSize(int w, int h, double angle, int& out_w, int& out_h)
{
    const Turn t = FullTurn(w, h, angle);
    out_w = t.w;
    out_h = t.h;
}

int RotateBitmap(const Dib& src, Dib& dst, double angle, const std::uint8_t background[3])
{
    const Turn t = FullTurn(src.Width(), src.Height(), angle);
    if (t.w < 1 || t.h < 1)
        return kDataError;
    if (const int rc = dst.SetSize(t.w, t.h, 24); rc != kOk)
        return rc;
    Sample(src.Bits(), src.Stride(), src.Width(), src.Height(), dst.Bits(), dst.Stride(), t, false, background);
    return kOk;
}

int RotatePicture(const CODEC_CTX& current, CODEC_CTX& next, const std::uint8_t background[3])
{
    const Turn t = FullTurn(current.width, current.height, current.rotation_angle);
    if (t.w < 1 || t.h < 1 || next.ReserveDecoded(t.w, t.h) != kOk)
        return -1;
    next.width = t.w;
    next.height = t.h;
    next.rotation_angle = current.rotation_angle;
    Sample(current.decoded.data(), current.RowBytes(), current.width, current.height, next.decoded.data(),
           next.RowBytes(), t, false, background);
    return 0;
}

int RotatePreview(const Dib& src, Dib& preview, float angle, const std::uint8_t background[3])
{
    const Turn t = PreviewTurn(src.Width(), src.Height(), angle);
    if (t.w < 1 || t.h < 1)
        return kDataError;
    if (const int rc = preview.SetSize(t.w, t.h, 24); rc != kOk)
        return rc;
    Sample(src.Bits(), src.Stride(), src.Width(), src.Height(), preview.Bits(), preview.Stride(), t, true,
           background);
    return kOk;
}

int ShrinkForPreview(Dib& dst, const Dib& src, float fx, float fy)
{
    const int w = static_cast<int>(static_cast<double>(fx) * src.Width());
    const int h = static_cast<int>(static_cast<double>(fy) * src.Height());
    if (w < 1 || h < 1 || !(fx > 0.0f) || !(fy > 0.0f))
        return kDataError;
    if (const int rc = dst.SetSize(w, h, 24); rc != kOk)
        return rc;
    for (int y = 0; y < h; ++y) {
        int sy = static_cast<int>(y / static_cast<double>(fy));
        sy = sy < src.Height() ? sy : src.Height() - 1;
        const std::uint8_t* s = src.ScanLine(sy);
        std::uint8_t* d = dst.ScanLine(y);
        for (int x = 0; x < w; ++x, d += 3) {
            int sx = static_cast<int>(x / static_cast<double>(fx));
            sx = sx < src.Width() ? sx : src.Width() - 1;
            std::memcpy(d, s + static_cast<std::size_t>(sx) * 3, 3);
        }
    }
    return kOk;
}
