#include "dialogs/logic/Image_info_rules.h"

#include <gtest/gtest.h>

#include <string>

TEST(ImageInfoRules, FileSizeThresholds)
{
    const struct {
        std::int64_t bytes;
        const char* want;
    } cases[] = {
        {0, "0.00 KB (0 Bytes)"},
        {1023, "1.00 KB (1023 Bytes)"},
        {1048576, "1024.00 KB (1048576 Bytes)"},
        {1048577, "1.00 MB (1048577 Bytes)"},
        {2147483648LL, "2048.00 MB (2147483648 Bytes)"},
        {5000000000LL, "4768.37 MB (5000000000 Bytes)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InfoFileSizeText(c.bytes), c.want) << c.bytes;
}

TEST(ImageInfoRules, Texts)
{
    EXPECT_EQ(InfoLoadTimeText(true, 999), "999 ms.");
    EXPECT_EQ(InfoLoadTimeText(true, 1000), "1000 ms. (1.00 sec.)");
    EXPECT_EQ(InfoLoadTimeText(true, 12345), "12345 ms. (12.35 sec.)");
    EXPECT_EQ(InfoLoadTimeText(false, 5), "");

    EXPECT_EQ(InfoDateTimeText(1, 16, 2006, 9, 5, 2), "1/16/2006 / 9:5:2");
    EXPECT_EQ(InfoImageSizeText(640, 480), "640 x 480 Pixels");

    EXPECT_EQ(InfoColorText(8, false, 8, 24), "8 BPP");
    EXPECT_EQ(InfoColorText(8, true, 8, 24), "24 BPP (Modified)");
    EXPECT_EQ(InfoColorText(0, true, 8, 24), "");

    EXPECT_STREQ(InfoFormatName(0), "Windows Bitmap");
    EXPECT_STREQ(InfoFormatName(55), "Fuzzy Bitmap");
    EXPECT_STREQ(InfoFormatName(24), "");
    EXPECT_STREQ(InfoFormatName(109), "");
}

TEST(ImageInfoRules, OrientationNames)
{
    EXPECT_STREQ(InfoOrientationName(0), "");
    EXPECT_STREQ(InfoOrientationName(9), "");
    EXPECT_STREQ(InfoOrientationName(-1), "");
    EXPECT_STREQ(InfoOrientationName(1), "Normal");
    EXPECT_STREQ(InfoOrientationName(3), "Turned 180 degrees");
    EXPECT_STREQ(InfoOrientationName(6), "Turned 90 degrees clockwise");
    EXPECT_STREQ(InfoOrientationName(8), "Turned 90 degrees anticlockwise");
    for (std::int32_t o = 1; o <= 8; ++o)
        for (std::int32_t p = o + 1; p <= 8; ++p)
            EXPECT_NE(std::string(InfoOrientationName(o)), InfoOrientationName(p)) << o << " " << p;
}

TEST(ImageInfoRules, AnimationAndSampleTexts)
{
    EXPECT_EQ(InfoAnimationText(0, 0, 0), "") << "a still picture";
    EXPECT_EQ(InfoAnimationText(12, 1200, 0), "12 frames, 1.20 sec., loops forever");
    EXPECT_EQ(InfoAnimationText(3, 250, 1), "3 frames, 0.25 sec., plays once");
    EXPECT_EQ(InfoAnimationText(3, 250, 4), "3 frames, 0.25 sec., plays 4 times");
    EXPECT_EQ(InfoAnimationText(2, 0, -1), "2 frames, 0.00 sec.") << "plays unknown";
    EXPECT_EQ(InfoSamplesText(0, false, 0), "");
    EXPECT_EQ(InfoSamplesText(10, true, 3144), "10 bits per sample, alpha, ICC profile, 3144 bytes");
    EXPECT_EQ(InfoSamplesText(0, true, 0), "Alpha");
    EXPECT_EQ(InfoSamplesText(0, false, 560), "ICC profile, 560 bytes");
    EXPECT_STREQ(InfoFormatName(56), "WebP");
    EXPECT_STREQ(InfoFormatName(60), "Animated PNG");
}
