// The reduced-size JPEG decode: which scale it picks, how close it comes to a full decode
// reduced by the same area averaging, and what it refuses.
#include "dec_enc/Codec_ctx.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Exif_thumbnail.h"
#include "dec_enc/Jpeg_scaled.h"
#include "tests/jpeg_fixtures.h"
#include "tests/test_support.h"
#include "ops/Area_average.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>

namespace {

// Mean and largest difference of two pictures of one size, over every byte.
void Compare(const Dib& a, const Dib& b, double& mean, int& largest)
{
    std::uint64_t sum = 0;
    largest = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width() * 3; ++x) {
            const int d = std::abs(a.ScanLine(y)[x] - b.ScanLine(y)[x]);
            sum += static_cast<std::uint64_t>(d);
            largest = std::max(largest, d);
        }
    mean = static_cast<double>(sum) / (3.0 * a.Width() * a.Height());
}

int Scaled(const Bytes& jpeg, int min_w, int min_h, Dib& out, int* denom = nullptr)
{
    CODEC_CTX ctx;
    ctx.direct_target = &out;
    return DecodeJpegScaled(ctx, jpeg, min_w, min_h, denom);
}

} // namespace

TEST(JpegScaled, PicksTheSmallestScaleThatCoversTheSize)
{
    const Bytes jpeg = JpegOf(801, 601, PhotoLikePixel);
    int w = 0, h = 0;
    ASSERT_EQ(ReadJpegSize(jpeg, w, h), kOk);
    EXPECT_EQ(w, 801);
    EXPECT_EQ(h, 601);
    struct Case {
        int min_w, min_h, denom, w, h;
    };
    const Case cases[] = {
        {100, 75, 8, 101, 76},  {101, 76, 8, 101, 76},  {102, 76, 4, 201, 151}, {101, 77, 4, 201, 151},
        {256, 192, 2, 401, 301}, {401, 301, 2, 401, 301}, {402, 1, 1, 801, 601},  {128, 96, 4, 201, 151},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.min_w) + " x " + std::to_string(c.min_h));
        Dib out;
        int denom = 0;
        ASSERT_EQ(Scaled(jpeg, c.min_w, c.min_h, out, &denom), kOk);
        EXPECT_EQ(denom, c.denom);
        EXPECT_EQ(out.Width(), c.w);
        EXPECT_EQ(out.Height(), c.h);
    }
}

// Reducing the scaled decode to a thumbnail gives the thumbnail of the full decode, at
// every scale. On a smooth picture the two agree within 1.5 levels on average and 10 at
// worst. At hard colour edges they part more: the scaled decode rebuilds chroma from the
// low frequencies of its blocks, so a red-blue edge blurs by up to 70 levels at 1/8.
// Files in other colour spaces are held to their mean (CMYK converted after the
// reduction rather than before gives up to 6 levels).
TEST(JpegScaled, MatchesAFullDecodeReducedTheSameWay)
{
    const auto smooth = [](int x, int y, std::uint8_t* p) {
        p[0] = static_cast<std::uint8_t>(x * 255 / 1200);
        p[1] = static_cast<std::uint8_t>(128 + 100 * std::sin((x + 2 * y) / 23.0));
        p[2] = static_cast<std::uint8_t>(y * 255 / 800);
    };
    const Bytes smooth_jpeg = JpegOf(1200, 800, smooth);
    const Bytes edged_jpeg = JpegOf(1200, 800, PhotoLikePixel);
    const std::string corpus = CorpusDir();
    struct Case {
        std::string name;
        Bytes jpeg;
        int divisor; // the thumbnail's width is the picture's over this
        double mean;
        int largest;
    };
    std::vector<Case> cases = {
        {"smooth, 1/8", smooth_jpeg, 8, 1.5, 10},
        {"smooth, 1/4", smooth_jpeg, 4, 1.5, 10},
        {"smooth, 1/2", smooth_jpeg, 2, 1.5, 10},
        {"edges, 1/8 then 150 to 140", edged_jpeg, 1200 / 140, 3.5, 80},
        {"edges, 1/4", edged_jpeg, 4, 1.5, 40},
        {"edges, 1/2", edged_jpeg, 2, 1.5, 60},
    };
    if (!corpus.empty()) {
        cases.push_back({"CMYK", ReadBytes(corpus + "/jpg/pil_sample_cmyk.jpg"), 8, 6.5, 255});
        cases.push_back({"grey", ReadBytes(corpus + "/jpg/hopper_gray.jpg"), 8, 1.5, 255});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CODEC_CTX full_ctx;
        Dib full, scaled, ours, theirs;
        full_ctx.direct_target = &full;
        ASSERT_EQ(DecodeJpeg(full_ctx, c.jpeg), kOk);
        const int w = full.Width() / c.divisor, h = full.Height() / c.divisor;
        ASSERT_EQ(Scaled(c.jpeg, w, h, scaled), kOk);
        ASSERT_EQ(ReduceByArea(scaled, w, h, ours), kOk);
        ASSERT_EQ(ReduceByArea(full, w, h, theirs), kOk);
        double mean = 0;
        int largest = 0;
        Compare(ours, theirs, mean, largest);
        EXPECT_LT(mean, c.mean);
        EXPECT_LE(largest, c.largest);
    }
}

TEST(JpegScaled, RefusesWhatTheFullReaderRefuses)
{
    const Bytes good = JpegOf(64, 48, PhotoLikePixel);
    const Bytes huge = WithFrameSize(good, 5000, 5000);
    struct Case {
        const char* name;
        Bytes bytes;
        int want;
    };
    const Case cases[] = {
        {"not a JPEG", ToBytes("P6 1 1 255 abc"), kMagicError},
        {"nothing after the marker", Bytes{0xFF, 0xD8}, kUnknownError},
        {"cut in the header", Bytes(good.begin(), good.begin() + 100), kUnknownError},
        {"wider and taller than 4096", huge, kImageTooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dib out;
        EXPECT_EQ(Scaled(c.bytes, 8, 8, out), c.want);
    }
}

TEST(JpegScaled, StopsWhenCancelled)
{
    const Bytes jpeg = JpegOf(256, 256, PhotoLikePixel);
    CODEC_CTX ctx;
    std::atomic<bool> cancel {true};
    EXPECT_EQ(DecodeJpegScaled(ctx, jpeg, 32, 32, nullptr, &cancel), kUnknownError);
    EXPECT_EQ(ctx.failure_reason, "cancelled");
    cancel = false;
    EXPECT_EQ(DecodeJpegScaled(ctx, jpeg, 32, 32, nullptr, &cancel), kOk);
    EXPECT_EQ(ctx.width, 32);
}

TEST(ExifThumbnail, FindsTheEmbeddedJpegOnlyWhereItLies)
{
    const Bytes main = SolidJpeg(64, 48, 0, 0, 255);
    const Bytes thumb = SolidJpeg(16, 12, 255, 0, 0);
    const Bytes with = WithExif(main, 6, thumb);
    const auto found = ExifThumbnail(with);
    ASSERT_EQ(found.size(), thumb.size());
    EXPECT_TRUE(std::equal(found.begin(), found.end(), thumb.begin()));

    Bytes past_end = with; // the length entry claims more than the segment holds
    const std::size_t length_at = 12 + 8 + 2 + 12 + 4 + 2 + 12 + 8;
    past_end[length_at] = 0x7F;
    Bytes not_jpeg = with; // the named bytes do not start an image
    not_jpeg[12 + 8 + 2 + 12 + 4 + 2 + 24 + 4] = 0;
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"no IFD1", WithExif(main, 6, {})},
        {"length past the segment", past_end},
        {"not a JPEG thumbnail", not_jpeg},
        {"no Exif", main},
        {"cut in the segment", Bytes(with.begin(), with.begin() + 40)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(ExifThumbnail(c.bytes).empty());
    }
}
