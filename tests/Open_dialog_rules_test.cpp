#include "dialogs/logic/Open_dialog_rules.h"

#include "core/Picture_types.h"

#include <gtest/gtest.h>

TEST(OpenDialogRules, TypeList)
{
    const auto types = OpenTypes();
    ASSERT_EQ(types.size(), 47u);
    EXPECT_EQ(types[0].text, "All pictures");
    EXPECT_EQ(types[0].exts.size(), PictureTypes().size());
    EXPECT_EQ(types[1].text, "AVI files (*.avi)");
    EXPECT_EQ(types[6].text, "BMP - Bitmap Images (*.bmp)");
    EXPECT_EQ(types[46].text, "WMV - Windows Media Video (*.wmv)");

    // Stored indices count the fixed entries from 0 and "All pictures" as 46.
    const struct {
        std::int32_t stored, list;
    } places[] = {{-1, 0}, {0, 0}, {1, 2}, {5, 6}, {45, 46}, {46, 0}, {47, 0}};
    for (const auto& p : places) {
        EXPECT_EQ(OpenTypeIndex(p.stored), p.list) << "stored " << p.stored;
        if (p.stored >= 1 && p.stored <= 46) {
            EXPECT_EQ(OpenTypeStoredIndex(p.list), p.stored) << "list " << p.list;
        }
    }

    EXPECT_EQ(OpenTypeMask(6), "*.bmp");
    EXPECT_EQ(OpenTypeMask(1), "*.avi");
    EXPECT_EQ(OpenTypeMask(2), "*");
    EXPECT_EQ(OpenTypeMask(0).rfind("*.bmp;*.dib;", 0), 0u);

    const struct {
        std::int32_t index;
        const char* name;
        bool want;
    } cases[] = {
        {6, "a.bmp", true},    {6, "A.BMP", true},   {6, "a.Bmp", true},   {6, "a.dib", false},
        {6, "bmp", false},     {6, "a.bmp.gz", false}, {2, "README", true}, {2, "a.b", true},
        {0, "x.JPEG", true},   {0, "x.tif", true},   {0, "x.mp3", false},  {0, "noext", false},
        {17, "song.MP3", true}, {14, "p.jpeg", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OpenTypeMatches(c.index, c.name), c.want) << c.index << " " << c.name;
}

TEST(OpenDialogRules, PreviewPlace)
{
    const struct {
        std::int32_t w, h;
        PREVIEW_PLACE want;
    } cases[] = {
        {40, 30, {400, 109, 40, 30, false}},
        {85, 85, {378, 82, 85, 85, false}},
        {1, 1, {420, 124, 1, 1, false}},
        {170, 85, {378, 103, 85, 42, true}},
        {85, 170, {399, 82, 42, 85, true}},
        {86, 86, {378, 82, 85, 85, true}},
        {100000, 1, {378, 124, 85, 1, true}},
        {0, 5, {0, 0, 0, 0, false}},
    };
    for (const auto& c : cases) {
        const PREVIEW_PLACE p = PreviewPlace(c.w, c.h);
        SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
        EXPECT_EQ(p.left, c.want.left);
        EXPECT_EQ(p.top, c.want.top);
        EXPECT_EQ(p.width, c.want.width);
        EXPECT_EQ(p.height, c.want.height);
        EXPECT_EQ(p.fitted, c.want.fitted);
    }
}

TEST(OpenDialogRules, InformationLines)
{
    EXPECT_EQ(OpenSizeLine(1000.0), "Size:\t1000.00 KB");
    EXPECT_EQ(OpenSizeLine(1000.01), "Size:\t0.98 MB");
    EXPECT_EQ(OpenSizeLine(3.0 * 1024 * 1024), "Size:\t3072.00 MB");
    EXPECT_EQ(OpenLengthLine(4000), "Length:\t1 hr 6 min 40 sec");
    EXPECT_EQ(OpenLengthLine(3599), "Length:\t59 min 59 sec");
    EXPECT_EQ(OpenLengthLine(3600), "Length:\t1 hr 0 min 0 sec");
    EXPECT_EQ(OpenMpegLine(3, 128, 44100), "MPEG 1.0 128 kbps 44100 Hz");
    EXPECT_EQ(OpenMpegLine(1, 8, 8000), "MPEG 2.5 8 kbps 8000 Hz");
    EXPECT_EQ(OpenMpegLine(0, 64, 22050), "MPEG (N/A) 64 kbps 22050 Hz");
    EXPECT_EQ(OpenWidthLine(640) + OpenHeightLine(480) + OpenBppLine(24), "Width:\t640Height:\t480BPP:\t24");
}
