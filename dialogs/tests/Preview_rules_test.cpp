// The preview dialogs' rules: start values and labels, and the gamma of 0 that leaves the
// picture as it is.
#include "core/Result_codes.h"
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
