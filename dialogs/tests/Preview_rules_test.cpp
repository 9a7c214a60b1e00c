// The preview dialogs' rules: start values and labels, and the gamma of 0 that leaves the
// picture as it is.
#include "base/Result_codes.h"
#include "dialogs/logic/Preview_rules.h"
#include "dialogs/tests/Test_effect.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(PreviewRules, StartValuesAndLabels)
{
    const GAMMA_RULES gamma;
    const SOLAR_RULES solar;
    const MEDIAN_RULES median;
    const PIXELATE_RULES pixelate;
    const EXPLOSION_RULES explosion;
    const std::uint8_t white[3] = {255, 255, 255};
    const ROTATION_RULES rotation(white);
    struct Case {
        const EFFECT_RULES& rules;
        int min, max, start, single, page;
        const char* label;
    } cases[] = {
        {gamma, 0, 100, 50, 1, 10, "3.0"},
        {solar, 11, 189, 100, 1, 10, "100"},
        {median, 3, 11, 3, 2, 2, "3"},
        {pixelate, 3, 11, 5, 2, 4, "5"},
        {explosion, 3, 11, 3, 2, 2, "3"},
        {rotation, -180, 182, 0, 2, 10, "0"},
    };
    for (const Case& c : cases) {
        const EFFECT_RANGE r = c.rules.Range();
        EXPECT_EQ(std::vector<int>({r.min, r.max, r.start, r.single_step, r.page_step}),
                  std::vector<int>({c.min, c.max, c.start, c.single, c.page}));
        EXPECT_EQ(c.rules.ValueText(r.start), c.label);
    }
    EXPECT_EQ(gamma.ValueText(17), "1.0");
}

TEST(PreviewRules, EveryPreviewIsTheWholePictureAndGammaZeroKeepsIt)
{
    Dib src;
    FillTestPicture(src);
    const GAMMA_RULES gamma;
    const SOLAR_RULES solar;
    const MEDIAN_RULES median;
    const PIXELATE_RULES pixelate;
    const EXPLOSION_RULES explosion;
    for (const EFFECT_RULES* rules : {static_cast<const EFFECT_RULES*>(&gamma), static_cast<const EFFECT_RULES*>(&solar),
                                      static_cast<const EFFECT_RULES*>(&median), static_cast<const EFFECT_RULES*>(&pixelate),
                                      static_cast<const EFFECT_RULES*>(&explosion)}) {
        Dib out;
        ASSERT_EQ(rules->Apply(src, rules->Range().start, out), kOk);
        EXPECT_EQ(out.Width(), src.Width());
        EXPECT_EQ(out.Height(), src.Height());
        EXPECT_EQ(out.PixelFormat(), 24);
    }
    Dib out;
    ASSERT_EQ(gamma.Apply(src, 0, out), kOk);
    for (int y = 0; y < src.Height(); ++y)
        EXPECT_EQ(std::memcmp(out.ScanLine(y), src.ScanLine(y), static_cast<std::size_t>(src.Width()) * 3), 0);
}

TEST(PreviewRules, RotationPreviewsAReducedCopyOfALargePicture)
{
    const std::uint8_t black[3] = {0, 0, 0};
    const ROTATION_RULES rotation(black);
    struct Case {
        int w, h, out_w, out_h;
    } cases[] = {
        {1000, 1000, 129, 129}, // f = 130 / 1000 in single precision
        {1000, 500, 129, 64},
        {201, 100, 201, 100},   // up to 201 the picture itself
    };
    for (const Case& c : cases) {
        Dib src, out;
        ASSERT_EQ(src.SetSize(c.w, c.h, 24), kOk);
        std::memset(src.Bits(), 90, src.Stride() * static_cast<std::size_t>(c.h));
        ASSERT_EQ(rotation.Apply(src, 0, out), kOk);
        EXPECT_EQ(out.Width(), c.out_w) << c.w << " x " << c.h;
        EXPECT_EQ(out.Height(), c.out_h) << c.w << " x " << c.h;
    }
}
