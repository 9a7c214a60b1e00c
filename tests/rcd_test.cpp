// Colour reduction: box counts, truncating means, tie rules, untouched palette entries,
// sums past 32 bits, and the index buffer sized to the picture.
#include "base/Result_codes.h"
#include "dec_enc/Rcd.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Reduced {
    int rc;
    int colours;
    Bytes index;
    Bytes palette; // 768 bytes
};

Reduced Reduce(const Bytes& bgr, int w, int h, std::uint8_t palette_fill = 0xAB)
{
    CODEC_CTX ctx;
    ctx.width = w;
    ctx.height = h;
    if (ctx.decoded.Reserve(bgr.size()) != kOk)
        return {kMemoryError, 0, {}, {}};
    if (!bgr.empty())
        std::memcpy(ctx.decoded.data(), bgr.data(), bgr.size());
    std::memset(ctx.palette, palette_fill, sizeof ctx.palette);
    TRCD rcd;
    Reduced r;
    r.rc = rcd.ReduceColorDepth(ctx);
    r.colours = rcd.ColourCount();
    const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    r.index.assign(ctx.index.data(), ctx.index.data() + (r.rc == kOk ? n : 0));
    r.palette.assign(ctx.palette, ctx.palette + 768);
    return r;
}

Bytes Repeat(const Bytes& pixel, std::size_t n)
{
    Bytes out;
    for (std::size_t i = 0; i < n; ++i)
        out.insert(out.end(), pixel.begin(), pixel.end());
    return out;
}

Bytes Entry(const Reduced& r, int k) { return Bytes(r.palette.begin() + 3 * k, r.palette.begin() + 3 * k + 3); }

} // namespace

TEST(TRCD, OneColourGivesOneBoxAndLeavesLaterEntriesAlone)
{
    const Reduced r = Reduce(Repeat({12, 34, 56}, 20), 5, 4);
    ASSERT_EQ(r.rc, kOk);
    EXPECT_EQ(r.colours, 1);
    EXPECT_EQ(Entry(r, 0), (Bytes {12, 34, 56}));
    EXPECT_EQ(r.index, Bytes(20, 0));
    EXPECT_EQ(Entry(r, 1), (Bytes {0xAB, 0xAB, 0xAB}));
    EXPECT_EQ(r.palette[767], 0xAB);
}

TEST(TRCD, ColoursOfOneCellMergeIntoTheirTruncatedWeightedMean)
{
    // Blue 10 twice and 11 once share a cell: (10 + 10 + 11) / 3 = 10.33 → 10. Red 200 and
    // 201 in another cell: (200 + 201 + 201) / 3 = 200.67 → 200.
    const Bytes pic = {10, 0, 0, 10, 0, 0, 11, 0, 0, 0, 0, 200, 0, 0, 201, 0, 0, 201};
    const Reduced r = Reduce(pic, 6, 1);
    ASSERT_EQ(r.rc, kOk);
    ASSERT_EQ(r.colours, 2);
    const Bytes blue = {10, 0, 0}, red = {0, 0, 200};
    EXPECT_TRUE((Entry(r, 0) == blue && Entry(r, 1) == red) || (Entry(r, 0) == red && Entry(r, 1) == blue));
    for (int p = 0; p < 6; ++p)
        EXPECT_EQ(Entry(r, r.index[static_cast<std::size_t>(p)]), p < 3 ? (Bytes {10, 0, 0}) : (Bytes {0, 0, 200}));
}

TEST(TRCD, TiesGoToBlueThenTheLowestCutThenTheLowestBox)
{
    // Four colours at the corners of the blue-red square, equally many of each. The first
    // cut is on the blue axis (blue wins the tie with red); the next split takes box 0 (the
    // lower box wins the tie) on red; then box 1 on red.
    const Bytes black = {0, 0, 0}, blue = {255, 0, 0}, red = {0, 0, 255}, magenta = {255, 0, 255};
    Bytes pic;
    for (const Bytes& c : {black, blue, red, magenta}) {
        const Bytes more = Repeat(c, 4);
        pic.insert(pic.end(), more.begin(), more.end());
    }
    const Reduced r = Reduce(pic, 16, 1);
    ASSERT_EQ(r.rc, kOk);
    ASSERT_EQ(r.colours, 4);
    EXPECT_EQ(Entry(r, 0), black);
    EXPECT_EQ(Entry(r, 1), blue);
    EXPECT_EQ(Entry(r, 2), red);
    EXPECT_EQ(Entry(r, 3), magenta);
}

TEST(TRCD, EveryPixelGetsAnEntryBelowTheCountAndTheMeansStayClose)
{
    const int w = 97, h = 61;
    const Bytes pic = PatternPixels(w, h);
    const Reduced r = Reduce(pic, w, h);
    ASSERT_EQ(r.rc, kOk);
    EXPECT_GT(r.colours, 1);
    EXPECT_LE(r.colours, 256);
    long long error = 0;
    for (std::size_t p = 0; p < r.index.size(); ++p) {
        ASSERT_LT(r.index[p], r.colours);
        for (int c = 0; c < 3; ++c)
            error += std::abs(int(pic[3 * p + static_cast<std::size_t>(c)]) - int(r.palette[3 * r.index[p] + static_cast<std::size_t>(c)]));
    }
    EXPECT_LT(error / static_cast<long long>(pic.size()), 24); // mean error per channel
}

TEST(TRCD, EmptyPicturesAndShortSources)
{
    const Reduced empty = Reduce({}, 0, 0);
    ASSERT_EQ(empty.rc, kOk);
    EXPECT_EQ(empty.colours, 1);
    EXPECT_EQ(Entry(empty, 0), (Bytes {0, 0, 0})); // "bogus box 0"
    EXPECT_EQ(Entry(empty, 1), (Bytes {0xAB, 0xAB, 0xAB}));

    CODEC_CTX ctx; // a size without the pixels
    ctx.width = 10;
    ctx.height = 10;
    TRCD rcd;
    EXPECT_EQ(rcd.ReduceColorDepth(ctx), kDataError);
}

TEST(TRCD, SumsPast32BitsKeepTheirMeans)
{
    // 9 million white pixels: each component sum is 2.3 × 10^9.
    const int w = 3000, h = 3000;
    const Reduced r = Reduce(Bytes(static_cast<std::size_t>(w) * h * 3, 255), w, h);
    ASSERT_EQ(r.rc, kOk);
    EXPECT_EQ(r.colours, 1);
    EXPECT_EQ(Entry(r, 0), (Bytes {255, 255, 255}));
}
