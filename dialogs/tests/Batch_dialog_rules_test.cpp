#include "dialogs/logic/Batch_dialog_rules.h"

#include <gtest/gtest.h>

TEST(BatchDialogRules, SnapToDrawFitsTheLongerSideAndCentres)
{
    const struct {
        int w, h;
        std::optional<THUMB_PLACE> want;
    } cases[] = {
        {85, 85, std::nullopt},             // fits: the thumbnail keeps its place
        {10, 85, std::nullopt},
        {170, 85, THUMB_PLACE{0, 21, 85, 42}},
        {85, 170, THUMB_PLACE{21, 0, 42, 85}},
        {86, 86, THUMB_PLACE{0, 0, 85, 85}}, // square: the height side
        {300, 100, THUMB_PLACE{0, 28, 85, 28}}, // 28.33 truncates
        {100000, 1, THUMB_PLACE{0, 42, 85, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SnapToDraw(c.w, c.h), c.want) << c.w << " x " << c.h;
}

TEST(BatchDialogRules, OutputTypesOfTheFilter)
{
    const std::vector<FILTER_ENTRY> types = ParseFilter(kOutputTypeFilter);
    ASSERT_EQ(types.size(), 10u);
    const char* want[] = {"*.bmp", "*.emf", "*.gif", "*.jpg", "*.pcx", "*.png", "*.pgm", "*.ppm", "*.tga", "*.tif"};
    for (std::size_t i = 0; i < types.size(); ++i)
        EXPECT_EQ(ShownPattern(types[i]), want[i]);
    EXPECT_EQ(types[9].name, "Tagged Image File Format(*.tif)");
    EXPECT_EQ(ParseFilter("A|*.a|B").size(), 1u); // a name without its pattern
    EXPECT_TRUE(ParseFilter("").empty());
}

TEST(BatchDialogRules, FileListMask)
{
    const struct {
        const char* name;
        const char* mask;
        bool match;
    } cases[] = {
        {"README", "*.*", true}, {"a.ppm", "*.*", true},    {"a.PPM", "*.ppm", true}, {"a.ppm.gz", "*.ppm", false},
        {"ab.gif", "?b.*", true}, {"b.gif", "?b.*", false}, {"x", "*", true},         {"", "*", true},
        {"aXbXc", "a*b*c", true}, {"aXbX", "a*b*c", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesMask(c.name, c.mask), c.match) << c.name << " ~ " << c.mask;
}
