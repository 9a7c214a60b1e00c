#include "dialogs/logic/Fullscreen_rules.h"

#include "base/Result_codes.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// A binary PPM of one colour.
Bytes SolidPpm(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    Bytes out = ToBytes("P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n");
    for (int i = 0; i < w * h; ++i)
        out.insert(out.end(), {r, g, b});
    return out;
}

} // namespace

TEST(FullscreenRules, PlaceOnScreen)
{
    const struct {
        std::int64_t w, h;
        std::int32_t sw, sh;
        FS_PLACE want;
    } cases[] = {
        {800, 600, 1024, 768, {112, 84, 800, 600, false}},     // fits: natural size, centred
        {1024, 768, 1024, 768, {0, 0, 1024, 768, false}},      // exact fit
        {1, 1, 1024, 768, {511, 383, 1, 1, false}},            // one pixel
        {2000, 1000, 1024, 768, {0, 128, 1024, 512, true}},    // landscape, width limits
        {900, 1200, 1024, 768, {224, 0, 576, 768, true}},      // portrait, height limits
        {1000, 900, 1024, 768, {85, 0, 853, 768, true}},       // wider than tall, height limits
        {1200, 1100, 1024, 768, {93, 0, 837, 768, true}},      // oversize on both sides
        {1025, 768, 1024, 768, {0, 0, 1024, 767, true}},       // one column too wide
        {100000, 1, 1024, 768, {0, 383, 1024, 1, true}},       // a fitted side keeps 1 pixel
        {1, 100000, 1024, 768, {511, 0, 1, 768, true}},
        {4000000000LL, 3000000000LL, 1024, 768, {0, 0, 1024, 768, true}}, // no overflow
        {0, 10, 1024, 768, {0, 0, 0, 0, false}},               // empty picture
    };
    for (const auto& c : cases) {
        const FS_PLACE p = FullscreenPlace(c.w, c.h, c.sw, c.sh);
        SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
        EXPECT_EQ(p.left, c.want.left);
        EXPECT_EQ(p.top, c.want.top);
        EXPECT_EQ(p.width, c.want.width);
        EXPECT_EQ(p.height, c.want.height);
        EXPECT_EQ(p.stretched, c.want.stretched);
        EXPECT_LE(p.left + p.width, c.sw);
        EXPECT_LE(p.top + p.height, c.sh);
    }
}

TEST(FullscreenRules, StepSkipsFailuresAndStopsAfterOneRound)
{
    const struct {
        const char* name;
        std::vector<bool> opens;
        std::int32_t current, direction, want;
        std::vector<std::int32_t> tried;
    } cases[] = {
        {"next", {true, true, true}, 0, 1, 1, {1}},
        {"next wraps", {true, true, true}, 2, 1, 0, {0}},
        {"previous wraps", {true, true, true}, 0, -1, 2, {2}},
        {"skips broken", {true, false, false, true}, 0, 1, 3, {1, 2, 3}},
        {"skips broken backwards", {false, true, false}, 0, -1, 1, {2, 1}},
        {"only the current opens", {false, true, false}, 1, 1, 1, {2, 0, 1}},
        {"all broken", {false, false, false}, 1, 1, -1, {2, 0, 1}},
        {"all broken backwards", {false, false}, 0, -1, -1, {1, 0}},
        {"empty list", {}, -1, 1, -1, {}},
        {"no current yet", {true, true}, -1, 1, 0, {0}},
        {"stale index past the end", {true, true}, 5, -1, 1, {1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::int32_t> tried;
        const std::int32_t got = FullscreenStep(static_cast<std::int32_t>(c.opens.size()), c.current, c.direction,
                                                [&](std::int32_t i) {
                                                    tried.push_back(i);
                                                    return c.opens.at(static_cast<std::size_t>(i));
                                                });
        EXPECT_EQ(got, c.want);
        EXPECT_EQ(tried, c.tried);
    }
}

TEST(FullscreenRules, PositionText)
{
    EXPECT_EQ(FullscreenPositionText(1, 3), "2/3");
    EXPECT_EQ(FullscreenPositionText(0, 1), "1/1");
    EXPECT_EQ(FullscreenPositionText(1, 3, true), "2 / 3");
}

TEST(FullscreenRules, MediaPlace)
{
    const struct {
        std::int32_t code, vw, vh;
        FS_PLACE want;
    } cases[] = {
        {kFmtMp3, 0, 0, {1, 288, 512, 28, false}},
        {kFmtWma, 640, 480, {1, 288, 512, 28, false}},
        {kFmtAu, 0, 0, {512, 244, 185, 41, false}},
        {kFmtMpeg, 0, 0, {512, 244, 185, 41, false}}, // size not known yet
        {kFmtMpeg, 320, 240, {352, 264, 320, 240, false}},
        {kFmtAvi, 2048, 768, {0, 192, 1024, 384, true}},
        {kFmtWav, 0, 0, {0, 0, 0, 0, false}},
        {kFmtPng, 0, 0, {0, 0, 0, 0, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << " " << c.vw << " x " << c.vh);
        const FS_PLACE p = FullscreenMediaPlace(c.code, c.vw, c.vh, 1024, 768);
        EXPECT_EQ(p.left, c.want.left);
        EXPECT_EQ(p.top, c.want.top);
        EXPECT_EQ(p.width, c.want.width);
        EXPECT_EQ(p.height, c.want.height);
    }
}

// Stepping over real files: broken ones are skipped; a list where nothing opens ends after
// one round with the shown picture as it was, down to its bitmap.
TEST(FullscreenRules, OpenerKeepsTheShownPictureWhenNothingOpens)
{
    TempDir dir;
    WriteBytes(dir.File("a.ppm"), SolidPpm(4, 3, 200, 10, 10));
    WriteBytes(dir.File("b.ppm"), ToBytes("P6\n0 0\n255\n"));
    WriteBytes(dir.File("c.ppm"), SolidPpm(2, 2, 10, 200, 10));
    WriteBytes(dir.File("d.png"), ToBytes("not a png"));
    TIMAGE_INFO doc;
    ASSERT_EQ(doc.Open(dir.File("a.ppm")), kOk);
    ASSERT_TRUE(doc.BuildFileList(dir.path()));
    ASSERT_EQ(doc.FindCurrent(), 0);
    FULLSCREEN_OPENER opener;

    EXPECT_EQ(opener.Step(doc, 1), 2); // b is broken
    EXPECT_EQ(doc.display_width, 2);
    EXPECT_EQ(opener.Step(doc, 1), 0); // d is broken, wraps to a
    EXPECT_EQ(opener.Last(doc), 2);
    EXPECT_EQ(opener.First(doc), 0);

    // Now only broken files are left: every step comes back with nothing opened.
    std::remove(dir.File("a.ppm").c_str());
    std::remove(dir.File("c.ppm").c_str());
    const Dib* shown = doc.display.get();
    const Bytes pixels = DisplayPixels(doc);
    for (const std::int32_t got : {opener.Step(doc, 1), opener.Step(doc, -1), opener.First(doc), opener.Last(doc)})
        EXPECT_EQ(got, -1);
    EXPECT_EQ(doc.display.get(), shown);
    EXPECT_EQ(DisplayPixels(doc), pixels);
    EXPECT_EQ(doc.current_path, dir.File("a.ppm"));
    EXPECT_EQ(doc.current_index, 0);
    EXPECT_EQ(doc.state, kPictureOpen);
    EXPECT_EQ(doc.context->width, 4);

    doc.file_list.clear();
    EXPECT_EQ(opener.Step(doc, 1), -1);
    EXPECT_EQ(opener.Last(doc), -1);
}
