#include "dec_enc/Rcd.h"

#include "base/Diagnostics.h"
#include "base/Result_codes.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr int kPlane = TRCD::kSide * TRCD::kSide; // 1089

inline int At(int i0, int i1, int i2) { return i0 * kPlane + i1 * TRCD::kSide + i2; }

} // namespace

void TRCD::BuildHistogram(const std::uint8_t* src, std::size_t pixels)
{
    int squares[256];
    for (int i = 0; i < 256; ++i)
        squares[i] = i * i;
    for (std::size_t p = 0; p < pixels; ++p, src += 3) {
        const int c0 = src[0], c1 = src[1], c2 = src[2];
        const int cell = At((c0 >> 3) + 1, (c1 >> 3) + 1, (c2 >> 3) + 1);
        w_[cell] += 1;
        s0_[cell] += c0;
        s1_[cell] += c1;
        s2_[cell] += c2;
        q_[cell] += static_cast<float>(squares[c0] + squares[c1] + squares[c2]);
    }
    Diagnose("Histogram done");
}

void TRCD::CumulateMoments()
{
    for (int i0 = 1; i0 < kSide; ++i0) {
        std::int64_t area_w[kSide] = {}, area0[kSide] = {}, area1[kSide] = {}, area2[kSide] = {};
        float area_q[kSide] = {};
        for (int i1 = 1; i1 < kSide; ++i1) {
            std::int64_t line_w = 0, line0 = 0, line1 = 0, line2 = 0;
            float line_q = 0.0f;
            for (int i2 = 1; i2 < kSide; ++i2) {
                const int ind = At(i0, i1, i2), prev = ind - kPlane;
                line_w += w_[ind];
                line0 += s0_[ind];
                line1 += s1_[ind];
                line2 += s2_[ind];
                line_q += q_[ind];
                area_w[i2] += line_w;
                area0[i2] += line0;
                area1[i2] += line1;
                area2[i2] += line2;
                area_q[i2] += line_q;
                w_[ind] = w_[prev] + area_w[i2];
                s0_[ind] = s0_[prev] + area0[i2];
                s1_[ind] = s1_[prev] + area1[i2];
                s2_[ind] = s2_[prev] + area2[i2];
                q_[ind] = q_[prev] + area_q[i2];
            }
        }
    }
    Diagnose("Moments done");
}

std::int64_t TRCD::BoxSum(const COLOR_BOX& b, const std::int64_t* t) const
{
    return t[At(b.blue_hi, b.green_hi, b.red_hi)] - t[At(b.blue_hi, b.green_hi, b.red_lo)] -
           t[At(b.blue_hi, b.green_lo, b.red_hi)] + t[At(b.blue_hi, b.green_lo, b.red_lo)] -
           t[At(b.blue_lo, b.green_hi, b.red_hi)] + t[At(b.blue_lo, b.green_hi, b.red_lo)] +
           t[At(b.blue_lo, b.green_lo, b.red_hi)] - t[At(b.blue_lo, b.green_lo, b.red_lo)];
}

float TRCD::BoxSumQ(const COLOR_BOX& b) const
{
    const float* t = q_;
    float s = t[At(b.blue_hi, b.green_hi, b.red_hi)];
    s -= t[At(b.blue_hi, b.green_hi, b.red_lo)];
    s -= t[At(b.blue_hi, b.green_lo, b.red_hi)];
    s += t[At(b.blue_hi, b.green_lo, b.red_lo)];
    s -= t[At(b.blue_lo, b.green_hi, b.red_hi)];
    s += t[At(b.blue_lo, b.green_hi, b.red_lo)];
    s += t[At(b.blue_lo, b.green_lo, b.red_hi)];
    s -= t[At(b.blue_lo, b.green_lo, b.red_lo)];
    return s;
}

std::int64_t TRCD::BoxBase(const COLOR_BOX& b, int axis, const std::int64_t* t) const
{
    switch (axis) {
    case 0:
        return -t[At(b.blue_lo, b.green_hi, b.red_hi)] + t[At(b.blue_lo, b.green_hi, b.red_lo)] +
               t[At(b.blue_lo, b.green_lo, b.red_hi)] - t[At(b.blue_lo, b.green_lo, b.red_lo)];
    case 1:
        return -t[At(b.blue_hi, b.green_lo, b.red_hi)] + t[At(b.blue_hi, b.green_lo, b.red_lo)] +
               t[At(b.blue_lo, b.green_lo, b.red_hi)] - t[At(b.blue_lo, b.green_lo, b.red_lo)];
    default:
        return -t[At(b.blue_hi, b.green_hi, b.red_lo)] + t[At(b.blue_hi, b.green_lo, b.red_lo)] +
               t[At(b.blue_lo, b.green_hi, b.red_lo)] - t[At(b.blue_lo, b.green_lo, b.red_lo)];
    }
}

std::int64_t TRCD::BoxTop(const COLOR_BOX& b, int axis, int p, const std::int64_t* t) const
{
    switch (axis) {
    case 0:
        return t[At(p, b.green_hi, b.red_hi)] - t[At(p, b.green_hi, b.red_lo)] - t[At(p, b.green_lo, b.red_hi)] +
               t[At(p, b.green_lo, b.red_lo)];
    case 1:
        return t[At(b.blue_hi, p, b.red_hi)] - t[At(b.blue_hi, p, b.red_lo)] - t[At(b.blue_lo, p, b.red_hi)] +
               t[At(b.blue_lo, p, b.red_lo)];
    default:
        return t[At(b.blue_hi, b.green_hi, p)] - t[At(b.blue_hi, b.green_lo, p)] - t[At(b.blue_lo, b.green_hi, p)] +
               t[At(b.blue_lo, b.green_lo, p)];
    }
}

float TRCD::BoxVariance(const COLOR_BOX& b) const
{
    const float s0 = static_cast<float>(BoxSum(b, s0_));
    const float s1 = static_cast<float>(BoxSum(b, s1_));
    const float s2 = static_cast<float>(BoxSum(b, s2_));
    const float w = static_cast<float>(BoxSum(b, w_));
    const float q = BoxSumQ(b);
    return std::fabs(q - (s0 * s0 + s1 * s1 + s2 * s2) / w);
}

float TRCD::FindBestCut(const COLOR_BOX& b, int axis, int first, int last, int& cut, std::int64_t whole0,
                        std::int64_t whole1, std::int64_t whole2, std::int64_t whole_w) const
{
    const std::int64_t base0 = BoxBase(b, axis, s0_), base1 = BoxBase(b, axis, s1_);
    const std::int64_t base2 = BoxBase(b, axis, s2_), base_w = BoxBase(b, axis, w_);
    float best = 0.0f;
    cut = -1;
    for (int p = first; p < last; ++p) {
        const std::int64_t l0 = base0 + BoxTop(b, axis, p, s0_), l1 = base1 + BoxTop(b, axis, p, s1_);
        const std::int64_t l2 = base2 + BoxTop(b, axis, p, s2_), lw = base_w + BoxTop(b, axis, p, w_);
        if (lw == 0)
            continue;
        const double d0 = static_cast<double>(l0), d1 = static_cast<double>(l1), d2 = static_cast<double>(l2);
        float score = static_cast<float>((d0 * d0 + d1 * d1 + d2 * d2) / static_cast<double>(lw));
        const std::int64_t u0 = whole0 - l0, u1 = whole1 - l1, u2 = whole2 - l2, uw = whole_w - lw;
        if (uw == 0)
            continue;
        const double e0 = static_cast<double>(u0), e1 = static_cast<double>(u1), e2 = static_cast<double>(u2);
        score = static_cast<float>(static_cast<double>(score) + (e0 * e0 + e1 * e1 + e2 * e2) / static_cast<double>(uw));
        if (score > best) {
            best = score;
            cut = p;
        }
    }
    return best;
}

bool TRCD::SplitBox(COLOR_BOX& a, COLOR_BOX& b)
{
    const std::int64_t whole0 = BoxSum(a, s0_), whole1 = BoxSum(a, s1_), whole2 = BoxSum(a, s2_);
    const std::int64_t whole_w = BoxSum(a, w_);
    int c0 = -1, c1 = -1, c2 = -1;
    const float m0 = FindBestCut(a, 0, a.blue_lo + 1, a.blue_hi, c0, whole0, whole1, whole2, whole_w);
    const float m1 = FindBestCut(a, 1, a.green_lo + 1, a.green_hi, c1, whole0, whole1, whole2, whole_w);
    const float m2 = FindBestCut(a, 2, a.red_lo + 1, a.red_hi, c2, whole0, whole1, whole2, whole_w);
    int axis;
    if (m0 >= m1 && m0 >= m2) {
        axis = 0;
        if (c0 < 0)
            return false;
    } else if (m1 >= m0 && m1 >= m2) {
        axis = 1;
    } else {
        axis = 2;
    }
    b.blue_hi = a.blue_hi;
    b.green_hi = a.green_hi;
    b.red_hi = a.red_hi;
    switch (axis) {
    case 0:
        b.blue_lo = a.blue_hi = c0;
        b.green_lo = a.green_lo;
        b.red_lo = a.red_lo;
        break;
    case 1:
        b.green_lo = a.green_hi = c1;
        b.blue_lo = a.blue_lo;
        b.red_lo = a.red_lo;
        break;
    default:
        b.red_lo = a.red_hi = c2;
        b.blue_lo = a.blue_lo;
        b.green_lo = a.green_lo;
        break;
    }
    a.volume = (a.blue_hi - a.blue_lo) * (a.green_hi - a.green_lo) * (a.red_hi - a.red_lo);
    b.volume = (b.blue_hi - b.blue_lo) * (b.green_hi - b.green_lo) * (b.red_hi - b.red_lo);
    return true;
}

void TRCD::LabelBox(const COLOR_BOX& b, std::uint8_t label, std::uint8_t* tag)
{
    for (int i0 = b.blue_lo + 1; i0 <= b.blue_hi; ++i0)
        for (int i1 = b.green_lo + 1; i1 <= b.green_hi; ++i1)
            for (int i2 = b.red_lo + 1; i2 <= b.red_hi; ++i2)
                tag[At(i0, i1, i2)] = label;
}

std::int32_t TRCD::ReduceColorDepth(CODEC_CTX& ctx)
{
    const PixelBuffer& source = ctx.edited ? ctx.work : ctx.decoded;
    const std::size_t pixels = static_cast<std::size_t>(std::max(ctx.width, 0)) *
                               static_cast<std::size_t>(std::max(ctx.height, 0));
    if (pixels > 0 && PictureBytes(ctx.width, ctx.height, 3) == SIZE_MAX)
        return kImageTooLarge;
    if (source.size() < pixels * 3)
        return kDataError;
    if (int rc = ctx.index.Reserve(pixels); rc != kOk)
        return rc;
    std::vector<std::uint8_t> tag;
    try {
        tag.assign(kCells, 0);
    } catch (const std::bad_alloc&) {
        Diagnose("Not enough space");
        return kMemoryError;
    }

    std::memset(q_, 0, sizeof q_);
    std::memset(w_, 0, sizeof w_);
    std::memset(s0_, 0, sizeof s0_);
    std::memset(s1_, 0, sizeof s1_);
    std::memset(s2_, 0, sizeof s2_);
    std::memset(palette0_, 0, sizeof palette0_);
    std::memset(palette1_, 0, sizeof palette1_);
    std::memset(palette2_, 0, sizeof palette2_);
    pixel_count_ = pixels;
    colour_count_ = 256;
    const std::uint8_t* src = source.data();
    BuildHistogram(src, pixels);
    CumulateMoments();

    COLOR_BOX box[256] {};
    float var[256] = {};
    box[0] = {0, 32, 0, 32, 0, 32, 32 * 32 * 32};
    int next = 0;
    for (int i = 1; i < colour_count_; ++i) {
        if (SplitBox(box[next], box[i])) {
            var[next] = box[next].volume > 1 ? BoxVariance(box[next]) : 0.0f;
            var[i] = box[i].volume > 1 ? BoxVariance(box[i]) : 0.0f;
        } else {
            var[next] = 0.0f;
            --i;
        }
        next = 0;
        float largest = var[0];
        for (int k = 1; k <= i; ++k)
            if (var[k] > largest) {
                largest = var[k];
                next = k;
            }
        if (largest <= 0.0f) {
            colour_count_ = i + 1;
            Diagnose("Only got %d boxes", colour_count_);
            break;
        }
    }
    Diagnose("Partition done");

    for (int k = 0; k < colour_count_; ++k) {
        LabelBox(box[k], static_cast<std::uint8_t>(k), tag.data());
        const std::int64_t w = BoxSum(box[k], w_);
        if (w != 0) {
            palette0_[k] = static_cast<std::uint8_t>(BoxSum(box[k], s0_) / w);
            palette1_[k] = static_cast<std::uint8_t>(BoxSum(box[k], s1_) / w);
            palette2_[k] = static_cast<std::uint8_t>(BoxSum(box[k], s2_) / w);
        } else {
            Diagnose("bogus box %d", k);
            palette0_[k] = palette1_[k] = palette2_[k] = 0;
        }
    }

    std::uint8_t* index = ctx.index.data();
    const std::uint8_t* t = tag.data();
    for (std::size_t p = 0; p < pixels; ++p, src += 3)
        index[p] = t[At((src[0] >> 3) + 1, (src[1] >> 3) + 1, (src[2] >> 3) + 1)];
    for (int k = 0; k < colour_count_; ++k) {
        ctx.palette[3 * k] = palette0_[k];
        ctx.palette[3 * k + 1] = palette1_[k];
        ctx.palette[3 * k + 2] = palette2_[k];
    }
    return kOk;
}
