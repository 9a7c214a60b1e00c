// The picture operations: worked values, edge sizes, and the fast paths against
// straightforward per-pixel implementations on random pictures.
#include "core/Commit_edit.h"
#include "base/Result_codes.h"
#include "ops/Edgedetection.h"
#include "ops/Explssn.h"
#include "ops/Hist_equal.h"
#include "ops/Medfltr.h"
#include "ops/Ops_common.h"
#include "ops/Pixel_commands.h"
#include "ops/Pixelize.h"
#include "ops/Rotation.h"
#include "ops/Simd_level.h"
#include "ops/Solarized.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace {

// A w × h 24-bit bitmap from packed blue-green-red bytes.
void Fill(Dib& d, int w, int h, const Bytes& bgr)
{
    ASSERT_EQ(d.SetSize(w, h, 24), kOk);
    for (int y = 0; y < h; ++y)
        for (int i = 0; i < w * 3; ++i)
            d.ScanLine(y)[i] = bgr[static_cast<std::size_t>(y * w * 3 + i)];
}

Bytes Packed(const Dib& d)
{
    Bytes out;
    for (int y = 0; y < d.Height(); ++y)
        out.insert(out.end(), d.ScanLine(y), d.ScanLine(y) + d.Width() * 3);
    return out;
}

std::uint8_t At(const Dib& d, int x, int y, int k) { return d.ScanLine(y)[x * 3 + k]; }

Bytes RandomBytes(std::mt19937& rng, std::size_t n, int levels = 256)
{
    Bytes b(n);
    for (auto& v : b)
        v = static_cast<std::uint8_t>(rng() % static_cast<unsigned>(levels));
    return b;
}

// Sizes chosen to hit 1 × 1, single rows and columns and sizes below the windows.
std::vector<std::pair<int, int>> RandomSizes(std::mt19937& rng)
{
    std::vector<std::pair<int, int>> s = {{1, 1}, {1, 7}, {7, 1}, {2, 2}, {3, 3}, {2, 9}};
    for (int i = 0; i < 10; ++i)
        s.emplace_back(1 + static_cast<int>(rng() % 40), 1 + static_cast<int>(rng() % 40));
    return s;
}

// Larger sizes for the loops that work in tiles or vectors: whole and partial 64-pixel
// tiles, rows longer than the widest vector, odd remainders.
std::vector<std::pair<int, int>> WideSizes(std::mt19937& rng)
{
    std::vector<std::pair<int, int>> s = {{64, 64}, {128, 65}, {67, 129}, {200, 3}, {3, 200}, {150, 1}};
    for (int i = 0; i < 4; ++i)
        s.emplace_back(1 + static_cast<int>(rng() % 300), 1 + static_cast<int>(rng() % 300));
    return s;
}

// Runs check once per instruction set level this processor has, the operations capped to it.
template <class F>
void AtEveryLevel(F check)
{
    for (int l = 0; l <= static_cast<int>(DetectedSimdLevel()); ++l) {
        SCOPED_TRACE("level " + std::to_string(l));
        CapSimdLevel(static_cast<SimdLevel>(l));
        check();
    }
    CapSimdLevel(DetectedSimdLevel());
}

// Both lists, for fast paths checked against a per-pixel reference.
std::vector<std::pair<int, int>> AllSizes(std::mt19937& rng)
{
    auto s = RandomSizes(rng);
    const auto wide = WideSizes(rng);
    s.insert(s.end(), wide.begin(), wide.end());
    return s;
}

} // namespace

TEST(PointOps, GammaWorkedValues)
{
    struct Case {
        double gamma;
        int in, want;
    };
    const Case cases[] = {{3.0, 0, 0},    {3.0, 1, 40},   {3.0, 64, 161},  {3.0, 128, 203},
                          {3.0, 200, 235}, {3.0, 254, 255}, {3.0, 255, 255}, {0.06, 175, 0},
                          {0.06, 176, 1}, {0.06, 200, 4},  {0.06, 230, 46}, {0.06, 250, 183},
                          {0.06, 255, 255}, {1.0, 77, 77}};
    for (const Case& c : cases) {
        SCOPED_TRACE("gamma " + std::to_string(c.gamma) + " in " + std::to_string(c.in));
        Dib src, dst;
        Fill(src, 1, 1, {static_cast<std::uint8_t>(c.in), static_cast<std::uint8_t>(c.in), static_cast<std::uint8_t>(c.in)});
        ASSERT_EQ(GammaCorrect(src, dst, c.gamma), kOk);
        EXPECT_EQ(At(dst, 0, 0, 0), c.want);
        EXPECT_EQ(At(dst, 0, 0, 2), c.want);
    }
}

TEST(PointOps, GammaZeroLeavesDestination)
{
    Dib src, dst;
    Fill(src, 2, 1, {1, 2, 3, 4, 5, 6});
    Fill(dst, 2, 1, {9, 9, 9, 9, 9, 9});
    EXPECT_EQ(GammaCorrect(src, dst, 0.0), kOk);
    EXPECT_EQ(Packed(dst), Bytes(6, 9));
}

TEST(PointOps, GammaDialogContractPicksDestination)
{
    TIMAGE_INFO doc;
    LoadPicture(doc, 2, 2, Bytes(12, 128));
    Dib preview;
    doc.dialog_accepted = 0;
    ASSERT_EQ(GammaCorrect(doc, preview, 3.0), kOk);
    EXPECT_EQ(At(preview, 1, 1, 1), 203);
    EXPECT_TRUE(doc.result_bitmap.Empty());
    doc.dialog_accepted = 1;
    ASSERT_EQ(GammaCorrect(doc, preview, 3.0), kOk);
    EXPECT_EQ(At(doc.result_bitmap, 1, 1, 1), 203);
}

TEST(PointOps, SolarizeKeepsFrame)
{
    // 3 × 3: only the centre is written. Centre bytes 99, 100, 255 with t = 100.
    Bytes px(27, 200);
    px[12] = 99, px[13] = 100, px[14] = 255;
    Dib src, dst;
    Fill(src, 3, 3, px);
    ASSERT_EQ(CopyBitmap(src, dst), kOk);
    Solarize(src, dst, 100);
    Bytes want = px;
    want[12] = 99, want[13] = 155, want[14] = 0;
    EXPECT_EQ(Packed(dst), want);

    for (auto [w, h] : {std::pair{2, 5}, std::pair{5, 2}, std::pair{1, 1}}) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        Dib s, d;
        Fill(s, w, h, Bytes(static_cast<std::size_t>(w * h * 3), 200));
        ASSERT_EQ(CopyBitmap(s, d), kOk);
        Solarize(s, d, 100);
        EXPECT_EQ(Packed(d), Packed(s));
    }
}

TEST(PointOps, TablesMatchReference)
{
    // A table per byte position, applied to a random region, into another bitmap and in place.
    std::mt19937 rng(10);
    AtEveryLevel([&] {
        for (auto [w, h] : AllSizes(rng))
            for (bool in_place : {false, true}) {
                SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) + (in_place ? " in place" : ""));
                std::uint8_t table[3][256];
                for (auto& t : table)
                    for (auto& v : t)
                        v = static_cast<std::uint8_t>(rng());
                const int x0 = static_cast<int>(rng() % static_cast<unsigned>(w));
                const int y0 = static_cast<int>(rng() % static_cast<unsigned>(h));
                const int x1 = x0 + 1 + static_cast<int>(rng() % static_cast<unsigned>(w - x0));
                const int y1 = y0 + 1 + static_cast<int>(rng() % static_cast<unsigned>(h - y0));
                const Bytes px = RandomBytes(rng, static_cast<std::size_t>(w * h * 3));
                Dib src, other;
                Fill(src, w, h, px);
                Fill(other, w, h, Bytes(px.size(), 7));
                Dib& dst = in_place ? src : other;
                ApplyTables(src, dst, table, x0, y0, x1, y1);
                Bytes want = in_place ? px : Bytes(px.size(), 7);
                for (int y = y0; y < y1; ++y)
                    for (int x = x0; x < x1; ++x)
                        for (int k = 0; k < 3; ++k) {
                            const std::size_t i = static_cast<std::size_t>((y * w + x) * 3 + k);
                            want[i] = table[k][px[i]];
                        }
                ASSERT_EQ(Packed(dst), want);
            }
    });
}

TEST(PointOps, InPlaceMatchesSeparateDestination)
{
    struct Case {
        const char* name;
        void (*run)(const Dib& src, Dib& dst);
    };
    static const Case cases[] = {
        {"equalize", [](const Dib& s, Dib& d) { ASSERT_EQ(EqualizeHistogram(s, d), kOk); }},
        {"gamma", [](const Dib& s, Dib& d) { ASSERT_EQ(GammaCorrect(s, d, 0.4), kOk); }},
        {"solarize", [](const Dib& s, Dib& d) { Solarize(s, d, 90); }},
    };
    std::mt19937 rng(11);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dib pic, copy, out;
        Fill(pic, 37, 23, RandomBytes(rng, 37 * 23 * 3));
        ASSERT_EQ(CopyBitmap(pic, copy), kOk);
        ASSERT_EQ(CopyBitmap(pic, out), kOk);
        c.run(copy, out);
        c.run(pic, pic);
        EXPECT_EQ(Packed(pic), Packed(out));
    }
}

TEST(PointOps, EqualizationPlainCdf)
{
    Dib src, dst;
    Fill(src, 2, 1, {0, 7, 7, 255, 7, 7}); // blue half 0 half 255; green and red one colour
    ASSERT_EQ(EqualizeHistogram(src, dst), kOk);
    EXPECT_EQ(Packed(dst), (Bytes{127, 255, 255, 255, 255, 255}));
}

TEST(PointOps, EqualizationMatchesReference)
{
    std::mt19937 rng(5);
    for (auto [w, h] : RandomSizes(rng)) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        const Bytes px = RandomBytes(rng, static_cast<std::size_t>(w * h * 3), 9);
        Dib src, dst;
        Fill(src, w, h, px);
        ASSERT_EQ(EqualizeHistogram(src, dst), kOk);
        for (int k = 0; k < 3; ++k)
            for (std::size_t i = static_cast<std::size_t>(k); i < px.size(); i += 3) {
                int below = 0;
                for (std::size_t j = static_cast<std::size_t>(k); j < px.size(); j += 3)
                    below += px[j] <= px[i];
                const auto want = static_cast<int>(255.0 * (static_cast<double>(below) / (w * h)));
                ASSERT_EQ(Packed(dst)[i], want) << "byte " << i;
            }
    }
}

TEST(Rotation, CanvasSizes)
{
    struct Case {
        int w, h;
        double angle;
        int want_w, want_h;
    };
    const Case cases[] = {{100, 40, 90, 40, 100}, {100, 100, 45, 141, 141}, {100, 40, 0, 100, 40},
                          {100, 40, 180, 100, 40}, {100, 40, -180, 100, 40}};
    for (const Case& c : cases) {
        SCOPED_TRACE("angle " + std::to_string(c.angle));
        int w = 0, h = 0;
        RotatedSize(c.w, c.h, c.angle, w, h);
        EXPECT_EQ(w, c.want_w);
        EXPECT_EQ(h, c.want_h);
    }
}

TEST(Rotation, PreviewAtZeroKeepsFirstRowAndColumnBackground)
{
    std::mt19937 rng(1);
    const Bytes px = RandomBytes(rng, 6 * 4 * 3);
    Dib src, out;
    Fill(src, 6, 4, px);
    const std::uint8_t bg[3] = {1, 2, 3};
    ASSERT_EQ(RotatePreview(src, out, 0.0f, bg), kOk);
    ASSERT_EQ(out.Width(), 6);
    ASSERT_EQ(out.Height(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(At(out, x, y, k), x == 0 || y == 0 ? bg[k] : At(src, x, y, k)) << x << "," << y;
}

TEST(Rotation, CornersGetBackgroundAndHalfTurnsAgree)
{
    Dib src, a, b;
    std::mt19937 rng(2);
    Fill(src, 100, 100, RandomBytes(rng, 100 * 100 * 3));
    const std::uint8_t red[3] = {0, 0, 255};
    ASSERT_EQ(RotateBitmap(src, a, 45, red), kOk);
    EXPECT_EQ(At(a, 0, 0, 0), 0);
    EXPECT_EQ(At(a, 0, 0, 2), 255);
    EXPECT_EQ(At(a, 140, 140, 2), 255);
    ASSERT_EQ(RotateBitmap(src, a, 180, red), kOk);
    ASSERT_EQ(RotateBitmap(src, b, -180, red), kOk);
    EXPECT_EQ(Packed(a), Packed(b));
}

// The free rotation pixel by pixel: inverse mapping with every pixel tested against the
// source's limits (strict lower limits: the first source row and column are never sampled).
void ReferenceTurn(const Dib& src, Dib& out, float s, float c, int tw, int th, bool round, const std::uint8_t bg[3])
{
    ASSERT_EQ(out.SetSize(tw, th, 24), kOk);
    const int w = src.Width(), h = src.Height();
    const int cx = tw / 2, cy = th / 2, ox = (tw - w) / 2, oy = (th - h) / 2;
    const float half = round ? 0.5f : 0.0f;
    for (int y = 0; y < th; ++y)
        for (int x = 0; x < tw; ++x) {
            const float fx = static_cast<float>(x - cx);
            const float u = c * fx + s * static_cast<float>(y - cy) + static_cast<float>(cx);
            const float v = c * static_cast<float>(y - cy) - s * fx + static_cast<float>(cy);
            const int px = static_cast<int>(u + half), py = static_cast<int>(v + half);
            const bool in = ox < px && px < ox + w && oy < py && py < oy + h;
            for (int k = 0; k < 3; ++k)
                out.ScanLine(y)[x * 3 + k] = in ? At(src, px - ox, py - oy, k) : bg[k];
        }
}

TEST(Rotation, FreeTurnsMatchReference)
{
    std::mt19937 rng(8);
    const std::uint8_t colour[3] = {1, 2, 3}, grey[3] = {9, 9, 9};
    AtEveryLevel([&] {
        int n = 0;
        for (auto [w, h] : AllSizes(rng))
            for (double angle : {0.0, 1.0, 30.0, 45.0, 90.0, 135.0, 180.0, 200.0, 270.0, 333.3, -45.0, 359.9}) {
                SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) + " at " + std::to_string(angle));
                Dib src, got, want;
                Fill(src, w, h, RandomBytes(rng, static_cast<std::size_t>(w * h * 3)));
                const std::uint8_t* bg = ++n % 2 ? colour : grey;
                // The full rotation's angle arithmetic, in double precision.
                const double rad = -angle * 0.0174532925;
                const float fs = static_cast<float>(std::sin(rad)), fc = static_cast<float>(std::cos(rad));
                int tw = 0, th = 0;
                RotatedSize(w, h, angle, tw, th);
                if (tw < 1 || th < 1)
                    continue;
                ASSERT_EQ(RotateBitmap(src, got, angle, bg), kOk);
                ReferenceTurn(src, want, fs, fc, tw, th, false, bg);
                ASSERT_EQ(Packed(got), Packed(want));
                // The preview: single precision, rounded sampling.
                const float frad = static_cast<float>(-angle) * 0.0174532925f;
                const float ps = std::sin(frad), pc = std::cos(frad);
                const float abs_sin = static_cast<float>(std::fabs(std::cos(1.570796327 - static_cast<double>(frad))));
                const int pw = static_cast<int>(std::fabs(pc) * static_cast<float>(w) + abs_sin * static_cast<float>(h));
                const int ph = static_cast<int>(abs_sin * static_cast<float>(w) + std::fabs(pc) * static_cast<float>(h));
                if (pw < 1 || ph < 1)
                    continue;
                ASSERT_EQ(RotatePreview(src, got, static_cast<float>(angle), bg), kOk);
                ReferenceTurn(src, want, ps, pc, pw, ph, true, bg);
                ASSERT_EQ(Packed(got), Packed(want));
            }
    });
}

TEST(Rotation, QuarterTurnOfNodeMovesRightEdgeToTop)
{
    CODEC_CTX cur, next;
    cur.width = 5;
    cur.height = 3;
    ASSERT_EQ(cur.ReserveDecoded(5, 3), kOk);
    for (int i = 0; i < 45; ++i)
        cur.decoded.data()[i] = static_cast<std::uint8_t>(i);
    cur.rotation_angle = 90;
    const std::uint8_t bg[3] = {0, 0, 0};
    ASSERT_EQ(RotatePicture(cur, next, bg), 0);
    EXPECT_EQ(next.width, 3);
    EXPECT_EQ(next.height, 5);
    EXPECT_EQ(next.rotation_angle, 90);
}

TEST(Rotation, ShrinkRows)
{
    Dib src, dst;
    ASSERT_EQ(src.SetSize(1024, 768, 24), kOk);
    for (int y = 0; y < 768; ++y)
        src.ScanLine(y)[0] = static_cast<std::uint8_t>(y);
    ASSERT_EQ(ShrinkForPreview(dst, src, 130.0f / 1024.0f, 130.0f / 1024.0f), kOk);
    EXPECT_EQ(dst.Width(), 130);
    EXPECT_EQ(dst.Height(), 97);
    EXPECT_EQ(At(dst, 0, 1, 0), 7);
    EXPECT_EQ(At(dst, 0, 2, 0), 15);
    EXPECT_EQ(At(dst, 0, 3, 0), 23);
    Dib big;
    ASSERT_EQ(big.SetSize(1000, 10, 24), kOk);
    ASSERT_EQ(ShrinkForPreview(dst, big, 130.0f / 1000.0f, 1.0f), kOk);
    EXPECT_EQ(dst.Width(), 129);
}

TEST(Filters, EdgeWorkedValues)
{
    // Uniform picture: 0 inside. Boundary 0 | 255 in blue: Gx = 765 → 253.
    Dib src, dst;
    Fill(src, 3, 3, Bytes(27, 90));
    ASSERT_EQ(dst.SetSize(3, 3, 24), kOk);
    FillBitmap(dst, 255, 255, 255);
    DetectEdges(src, dst);
    EXPECT_EQ(At(dst, 1, 1, 0), 0);
    EXPECT_EQ(At(dst, 0, 0, 0), 255);
    Bytes px(27, 0);
    for (int y = 0; y < 3; ++y)
        px[static_cast<std::size_t>(y * 9 + 6)] = 255;
    Fill(src, 3, 3, px);
    DetectEdges(src, dst);
    EXPECT_EQ(At(dst, 1, 1, 0), 253);
    EXPECT_EQ(At(dst, 1, 1, 1), 0);
}

TEST(Filters, EdgesMatchReference)
{
    std::mt19937 rng(3);
    AtEveryLevel([&] {
        for (auto [w, h] : AllSizes(rng)) {
            SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
            Dib src, dst;
            Fill(src, w, h, RandomBytes(rng, static_cast<std::size_t>(w * h * 3)));
            ASSERT_EQ(dst.SetSize(w, h, 24), kOk);
            FillBitmap(dst, 255, 255, 255);
            DetectEdges(src, dst);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    for (int k = 0; k < 3; ++k) {
                        int want = 255;
                        if (x > 0 && y > 0 && x < w - 1 && y < h - 1) {
                            int gx = 0, gy = 0;
                            for (int d = -1; d <= 1; ++d) {
                                gx += At(src, x + 1, y + d, k) - At(src, x - 1, y + d, k);
                                gy += At(src, x + d, y - 1, k) - At(src, x + d, y + 1, k);
                            }
                            const int m = gx * gx + gy * gy;
                            want = (m > 0 ? static_cast<int>(std::sqrt(static_cast<double>(m))) : 0) & 255;
                        }
                        ASSERT_EQ(At(dst, x, y, k), want) << x << "," << y << "," << k;
                    }
        }
    });
}

TEST(Filters, MedianOfWorkedValues)
{
    std::int32_t a[] = {10, 200, 30};
    EXPECT_EQ(MedianOf(a, 3), 30);
    std::int32_t b[] = {10, 20, 30, 40};
    EXPECT_EQ(MedianOf(b, 4), 20);
}

TEST(Filters, MedianMatchesReference)
{
    std::mt19937 rng(4);
    const auto check = [&](int a, int w, int h) {
        SCOPED_TRACE("a " + std::to_string(a) + ", " + std::to_string(w) + " x " + std::to_string(h));
        Dib src, dst;
        Fill(src, w, h, RandomBytes(rng, static_cast<std::size_t>(w * h * 3)));
        ASSERT_EQ(MedianFilter(src, dst, a), kOk);
        // Reference: MedianOf on wrapped windows, vertical pass then horizontal.
        const int half = a / 2;
        auto wrap = [](int i, int n) { return ((i % n) + n) % n; };
        std::vector<int> mid(static_cast<std::size_t>(w * h * 3));
        std::vector<std::int32_t> win(static_cast<std::size_t>(a));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < 3; ++k) {
                    for (int o = 0; o < a; ++o)
                        win[static_cast<std::size_t>(o)] = At(src, x, wrap(y - half + o, h), k);
                    mid[static_cast<std::size_t>((y * w + x) * 3 + k)] = MedianOf(win.data(), a);
                }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < 3; ++k) {
                    for (int o = 0; o < a; ++o)
                        win[static_cast<std::size_t>(o)] =
                            mid[static_cast<std::size_t>((y * w + wrap(x - half + o, w)) * 3 + k)];
                    ASSERT_EQ(At(dst, x, y, k), MedianOf(win.data(), a)) << x << "," << y << "," << k;
                }
    };
    AtEveryLevel([&] {
        // Every window the selection networks cover, and two past them.
        for (int a = 1; a <= 18; ++a)
            for (auto [w, h] : RandomSizes(rng))
                check(a, w, h);
        for (int a : {3, 11, 16})
            for (auto [w, h] : WideSizes(rng))
                check(a, std::min(w, 120), std::min(h, 120));
    });
}

TEST(Filters, MedianRemovesSpeck)
{
    for (int a = 3; a <= 11; ++a) {
        SCOPED_TRACE("a " + std::to_string(a));
        Bytes px(20 * 20 * 3, 50);
        px[(10 * 20 + 10) * 3 + 1] = 250;
        Dib src, dst;
        Fill(src, 20, 20, px);
        ASSERT_EQ(MedianFilter(src, dst, a), kOk);
        EXPECT_EQ(Packed(dst), Bytes(20 * 20 * 3, 50));
    }
}

TEST(Effects, PixelateWholeBlocksOnly)
{
    std::mt19937 rng(6);
    for (auto [w, h] : RandomSizes(rng))
        for (int n : {1, 3, 4, 5}) {
            SCOPED_TRACE("n " + std::to_string(n) + ", " + std::to_string(w) + " x " + std::to_string(h));
            Dib src, dst;
            Fill(src, w, h, RandomBytes(rng, static_cast<std::size_t>(w * h * 3)));
            ASSERT_EQ(Pixelate(src, dst, n), kOk);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    for (int k = 0; k < 3; ++k) {
                        const int y0 = y / n * n, x0 = x / n * n;
                        int want = At(src, x, y, k);
                        if (y0 + n <= h && x0 + n <= w) {
                            int sum = 0;
                            for (int yy = y0; yy < y0 + n; ++yy)
                                for (int xx = x0; xx < x0 + n; ++xx)
                                    sum += At(src, xx, yy, k);
                            want = sum / (n * n);
                        }
                        ASSERT_EQ(At(dst, x, y, k), want) << x << "," << y;
                    }
        }
    // Blue 0 and 1 in equal numbers over a 4 × 4 block: 8 / 16 → 0.
    Bytes px(48, 0);
    for (std::size_t i = 0; i < 48; i += 6)
        px[i] = 1;
    Dib src, dst;
    Fill(src, 4, 4, px);
    ASSERT_EQ(Pixelate(src, dst, 4), kOk);
    EXPECT_EQ(At(dst, 0, 0, 0), 0);
}

TEST(Effects, PixelateDialogContract)
{
    TIMAGE_INFO doc;
    LoadPicture(doc, 4, 4, Bytes(48, 6));
    doc.effect_parameter = 3;
    Dib preview;
    doc.direct_decode = 1;
    ASSERT_EQ(Pixelate(doc, preview), kOk);
    EXPECT_EQ(preview.Width(), 4);
    EXPECT_TRUE(doc.result_bitmap.Empty());
    doc.direct_decode = 0;
    ASSERT_EQ(Pixelate(doc, preview), kOk);
    EXPECT_EQ(doc.result_bitmap.Width(), 4);
}

TEST(Effects, ExplosionOffsets)
{
    // Each pixel holds its own column (byte 0) and row (byte 1): a moved pixel shows how far.
    for (int n : {3, 4, 5, 11}) {
        SCOPED_TRACE("n " + std::to_string(n));
        const int w = 30, h = 20;
        Bytes px(static_cast<std::size_t>(w * h * 3));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                px[static_cast<std::size_t>((y * w + x) * 3)] = static_cast<std::uint8_t>(x);
                px[static_cast<std::size_t>((y * w + x) * 3 + 1)] = static_cast<std::uint8_t>(y);
            }
        Dib src, dst;
        Fill(src, w, h, px);
        ASSERT_EQ(Explode(src, dst, n), kOk);
        if (n % 2 == 0) {
            EXPECT_EQ(Packed(dst), px);
            continue;
        }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int dx = x - At(dst, x, y, 0), dy = y - At(dst, x, y, 1);
                // A pixel moves along one axis only, by −(n div 2) .. n div 2 − 1.
                EXPECT_TRUE(dx == 0 || dy == 0) << x << "," << y;
                EXPECT_GE(dx + dy, -(n / 2));
                EXPECT_LE(dx + dy, n / 2 - 1);
            }
    }
    Dib tiny, out;
    Fill(tiny, 1, 1, {1, 2, 3});
    ASSERT_EQ(Explode(tiny, out, 11), kOk);
    EXPECT_EQ(Packed(out), (Bytes{1, 2, 3}));
}

TEST(Histogram, Statistics)
{
    struct Case {
        int w, h;
        Bytes red;
        ChannelStatistics want;
    };
    const Case cases[] = {
        {2, 1, {0, 255}, {127, 180, 255}},
        {2, 1, {0, 2}, {1, 1, 2}},
        {1, 1, {77}, {77, 0, 77}},
        {3, 1, {255, 255, 255}, {255, 0, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
        Bytes px;
        for (std::uint8_t r : c.red)
            px.insert(px.end(), {0, 0, r});
        Dib src;
        Fill(src, c.w, c.h, px);
        ChannelStatistics s[3];
        ComputeStatistics(src, s);
        EXPECT_EQ(s[kHistRed].mean, c.want.mean);
        EXPECT_EQ(s[kHistRed].std_dev, c.want.std_dev);
        EXPECT_EQ(s[kHistRed].median, c.want.median);
        EXPECT_EQ(s[kHistBlue].mean, 0);
    }
}

TEST(Histogram, ExactForLargePictures)
{
    // 1024 × 1024, half 0 and half 255: 32-bit sums would wrap here.
    Dib src;
    ASSERT_EQ(src.SetSize(1024, 1024, 24), kOk);
    for (int y = 0; y < 1024; ++y)
        std::memset(src.ScanLine(y), y < 512 ? 0 : 255, 1024 * 3);
    ChannelStatistics s[3];
    ComputeStatistics(src, s);
    EXPECT_EQ(s[kHistGreen].mean, 127);
    EXPECT_EQ(s[kHistGreen].std_dev, 127); // sqrt((127² + 128²) / 2 × N / (N − 1))
    EXPECT_EQ(s[kHistGreen].median, 255);
}

TEST(Histogram, Plot)
{
    Dib src, plot;
    Fill(src, 3, 1, {0, 0, 10, 0, 0, 10, 0, 0, 20});
    ASSERT_EQ(PlotChannel(src, kHistRed, plot), kOk);
    ASSERT_EQ(plot.Width(), 255);
    ASSERT_EQ(plot.Height(), 256);
    EXPECT_EQ(At(plot, 10, 0, 2), 255); // full column
    EXPECT_EQ(At(plot, 10, 0, 0), 0);
    EXPECT_EQ(At(plot, 20, 127, 0), 255); // half column: white above row 128
    EXPECT_EQ(At(plot, 20, 128, 0), 0);
    EXPECT_EQ(At(plot, 11, 255, 0), 255);
    Fill(src, 1, 1, {255, 255, 255});
    ASSERT_EQ(PlotChannel(src, kHistBlue, plot), kOk);
    for (int y = 0; y < 256; ++y)
        ASSERT_EQ(At(plot, 0, y, 1), 255); // empty plot: all white
}

TEST(PixelCommands, WorkedValues)
{
    // Rows [a b c] [d e f]; a pixel's byte 0 names it.
    Dib src, dst;
    Fill(src, 3, 2, {'a', 0, 0, 'b', 0, 0, 'c', 0, 0, 'd', 0, 0, 'e', 0, 0, 'f', 0, 0});
    auto names = [](const Dib& d) {
        std::string s;
        for (int y = 0; y < d.Height(); ++y)
            for (int x = 0; x < d.Width(); ++x)
                s += static_cast<char>(At(d, x, y, 0));
        return s;
    };
    ASSERT_EQ(RotateLeft(src, dst), kOk);
    EXPECT_EQ(names(dst), "cfbead");
    ASSERT_EQ(RotateRight(src, dst), kOk);
    EXPECT_EQ(names(dst), "daebfc");
    Mirror(src);
    EXPECT_EQ(names(src), "cbafed");
    FlipVertical(src);
    EXPECT_EQ(names(src), "fedcba");

    struct Case {
        const char* what;
        Bytes in, want;
    };
    const Case cases[] = {{"gray", {10, 20, 31}, {20, 20, 20}}, {"neg", {0, 0, 0}, {255, 255, 255}},
                          {"neg", {255, 64, 64}, {0, 191, 191}}, {"GBR", {1, 2, 3}, {2, 3, 1}},
                          {"BGR", {1, 2, 3}, {3, 2, 1}},        {"RBG", {1, 2, 3}, {1, 3, 2}},
                          {"BRG", {1, 2, 3}, {3, 1, 2}},        {"GRB", {1, 2, 3}, {2, 1, 3}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Dib p;
        Fill(p, 1, 1, c.in);
        int order[3];
        if (std::string(c.what) == "gray")
            GrayScale(p);
        else if (std::string(c.what) == "neg")
            Negative(p);
        else {
            ASSERT_TRUE(SwapOrder(c.what, order));
            SwapChannels(p, order);
        }
        EXPECT_EQ(Packed(p), c.want);
    }
    int order[3];
    EXPECT_FALSE(SwapOrder("RGB", order));
    EXPECT_FALSE(SwapOrder("RRB", order));
}

TEST(PixelCommands, QuarterTurnsMatchReference)
{
    std::mt19937 rng(7);
    for (auto [w, h] : AllSizes(rng)) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        Dib src, l, r;
        Fill(src, w, h, RandomBytes(rng, static_cast<std::size_t>(w * h * 3)));
        ASSERT_EQ(RotateLeft(src, l), kOk);
        ASSERT_EQ(RotateRight(src, r), kOk);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < 3; ++k) {
                    ASSERT_EQ(At(l, y, w - 1 - x, k), At(src, x, y, k));
                    ASSERT_EQ(At(r, h - 1 - y, x, k), At(src, x, y, k));
                }
    }
}

TEST(PixelCommands, InPlaceCommandsMatchReference)
{
    std::mt19937 rng(9);
    // Each command beside what it makes of pixel x of a row of width w (bytes p of pixel
    // w − 1 − x for the mirror).
    struct Case {
        const char* name;
        void (*run)(Dib&);
        void (*want)(const std::uint8_t* row, int w, int x, std::uint8_t out[3]);
    };
    static const Case cases[] = {
        {"mirror", Mirror,
         [](const std::uint8_t* row, int w, int x, std::uint8_t out[3]) { std::memcpy(out, row + (w - 1 - x) * 3, 3); }},
        {"grey", GrayScale,
         [](const std::uint8_t* row, int, int x, std::uint8_t out[3]) {
             const std::uint8_t* p = row + x * 3;
             out[0] = out[1] = out[2] = static_cast<std::uint8_t>((p[0] + p[1] + p[2]) / 3);
         }},
        {"grey into a second bitmap",
         [](Dib& d) {
             Dib src;
             ASSERT_EQ(src.SetSize(d.Width(), d.Height(), 24), kOk);
             for (int y = 0; y < d.Height(); ++y)
                 std::memcpy(src.ScanLine(y), d.ScanLine(y), static_cast<std::size_t>(d.Width()) * 3);
             std::memset(d.Bits(), 0xEE, d.Stride() * static_cast<std::size_t>(d.Height()));
             GrayScale(src, d);
         },
         [](const std::uint8_t* row, int, int x, std::uint8_t out[3]) {
             const std::uint8_t* p = row + x * 3;
             out[0] = out[1] = out[2] = static_cast<std::uint8_t>((p[0] + p[1] + p[2]) / 3);
         }},
        {"negative", Negative,
         [](const std::uint8_t* row, int, int x, std::uint8_t out[3]) {
             for (int k = 0; k < 3; ++k)
                 out[k] = static_cast<std::uint8_t>(255 - row[x * 3 + k]);
         }},
        {"GBR", [](Dib& d) { const int o[3] = {1, 2, 0}; SwapChannels(d, o); },
         [](const std::uint8_t* row, int, int x, std::uint8_t out[3]) {
             const std::uint8_t* p = row + x * 3;
             out[0] = p[1], out[1] = p[2], out[2] = p[0];
         }},
        {"BGR", [](Dib& d) { const int o[3] = {2, 1, 0}; SwapChannels(d, o); },
         [](const std::uint8_t* row, int, int x, std::uint8_t out[3]) {
             const std::uint8_t* p = row + x * 3;
             out[0] = p[2], out[1] = p[1], out[2] = p[0];
         }},
    };
    AtEveryLevel([&] {
        for (auto [w, h] : AllSizes(rng))
            for (const Case& c : cases) {
                SCOPED_TRACE(std::string(c.name) + " " + std::to_string(w) + " x " + std::to_string(h));
                Dib pic;
                const Bytes px = RandomBytes(rng, static_cast<std::size_t>(w * h * 3));
                Fill(pic, w, h, px);
                c.run(pic);
                Bytes want(px.size());
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        c.want(px.data() + y * w * 3, w, x, want.data() + (y * w + x) * 3);
                ASSERT_EQ(Packed(pic), want);
            }
    });
}

TEST(CommitEdit, DisplayBecomesWorkingPicture)
{
    TIMAGE_INFO doc;
    LoadPicture(doc, 3, 2, PatternPixels(3, 2));
    Dib turned;
    ASSERT_EQ(RotateLeft(*doc.display, turned), kOk);
    Bytes want = Packed(turned);
    ASSERT_EQ(CopyBitmap(turned, *doc.display), kOk);
    ASSERT_EQ(CommitEdit(doc), kOk);
    EXPECT_EQ(doc.edited, 1);
    EXPECT_EQ(doc.display_width, 2);
    EXPECT_EQ(doc.display_height, 3);
    EXPECT_EQ(Bytes(doc.context->WriterSource(), doc.context->WriterSource() + 18), want);
}

TEST(Cli, OperationsChangeTheSavedPicture)
{
    TempDir dir;
    const int w = 5, h = 3;
    const Bytes px = PatternPixels(w, h);
    Bytes file = ToBytes("P6\n5 3\n255\n");
    for (std::size_t i = 0; i < px.size(); i += 3)
        file.insert(file.end(), {px[i + 2], px[i + 1], px[i]});
    WriteBytes(dir.File("in.ppm"), file);
    struct Case {
        std::string ops;
        int want_w, want_h;
    };
    const Case cases[] = {{"--rotate-left", 3, 5}, {"--negative --negative", 5, 3}, {"--background ff0000 --rotate 90", 3, 5},
                          {"--median 3 --edge --equalize --gamma 2 --solarize 100 --pixelate 2 --explode 3", 5, 3},
                          {"--mirror --flip --grayscale --swap GBR --rotate-right", 3, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ops);
        ASSERT_EQ(RunCommand(std::string(RAVELSCOPE_CLI) + " convert " + c.ops + " " + dir.File("in.ppm") + " " +
                             dir.File("out.ppm")),
                  0);
        int ow = 0, oh = 0;
        Bytes out;
        ASSERT_TRUE(ParsePpm(ReadBytes(dir.File("out.ppm")), ow, oh, out));
        EXPECT_EQ(ow, c.want_w);
        EXPECT_EQ(oh, c.want_h);
        if (c.ops == "--negative --negative") {
            EXPECT_EQ(out, px);
        }
        if (c.ops == "--rotate-left") {
            TIMAGE_INFO doc;
            LoadPicture(doc, w, h, px);
            Dib l;
            ASSERT_EQ(RotateLeft(*doc.display, l), kOk);
            EXPECT_EQ(out, Packed(l));
        }
    }
    EXPECT_NE(RunCommand(std::string(RAVELSCOPE_CLI) + " convert --median x " + dir.File("in.ppm") + " " +
                         dir.File("o.ppm") + " 2>/dev/null"),
              0);
    const std::string stats = CaptureCommand(std::string(RAVELSCOPE_CLI) + " histogram " + dir.File("in.ppm"));
    EXPECT_NE(stats.find("red: mean "), std::string::npos) << stats;
}

TEST(Cli, ReduceColorsLeavesAtMost256)
{
    TempDir dir;
    const int w = 64, h = 64; // 4096 distinct colours
    std::string file = "P6\n64 64\n255\n";
    for (int i = 0; i < w * h; ++i)
        file += {static_cast<char>((i & 15) * 16), static_cast<char>(((i >> 4) & 15) * 16), static_cast<char>((i >> 8) * 16)};
    WriteBytes(dir.File("in.ppm"), ToBytes(file));
    ASSERT_EQ(RunCommand(std::string(RAVELSCOPE_CLI) + " convert --reduce-colors " + dir.File("in.ppm") + " " +
                         dir.File("out.ppm") + " 2>/dev/null"),
              0);
    TIMAGE_INFO doc;
    ASSERT_EQ(doc.Open(dir.File("out.ppm")), kOk);
    const std::int32_t colours = doc.CountColors();
    EXPECT_LE(colours, 256);
    EXPECT_GT(colours, 200) << "the reduction uses its palette";
}
