#include "dialogs/logic/Save_dialog_rules.h"

#include <gtest/gtest.h>

TEST(SaveDialogRules, TypesAndStartIndex)
{
    ASSERT_EQ(SaveTypes().size(), 12u);
    for (std::size_t i = 0; i < SaveTypes().size(); ++i)
        EXPECT_EQ(SaveTypes()[i].save_code, static_cast<std::int32_t>(i) + 1);
    EXPECT_STREQ(SaveTypes()[5].text, "ZSoft PaintBrush files (*.pcx)");
    EXPECT_EQ(SaveTypeIndex(-1), 5);
    EXPECT_EQ(SaveTypeIndex(0), 0);
    EXPECT_EQ(SaveTypeIndex(11), 11);
    EXPECT_EQ(SaveTypeIndex(12), 5);
}

TEST(SaveDialogRules, TypedNames)
{
    const std::int32_t bmp = 0, gif = 2, png = 6, sun = 9, tif = 11;
    const struct {
        const char* typed;
        std::int32_t type;
        SAVE_NAME_KIND kind;
        const char* want;
    } cases[] = {
        {"holiday", png, SAVE_NAME_KIND::kFile, "holiday.png"},
        {"holiday.jpeg", tif, SAVE_NAME_KIND::kFile, "holiday.tif"},
        {"a.b.c", gif, SAVE_NAME_KIND::kFile, "a.b.gif"},
        {"photo", sun, SAVE_NAME_KIND::kFile, "photo.sun"},
        {"v2.d/photo", png, SAVE_NAME_KIND::kFile, "v2.d/photo.png"},
        {"/home/me/v2.d/photo.old", bmp, SAVE_NAME_KIND::kFile, "/home/me/v2.d/photo.bmp"},
        {"photo.PNG", png, SAVE_NAME_KIND::kFile, "photo.PNG"},
        {"photo.Png", png, SAVE_NAME_KIND::kFile, "photo.Png"},
        {"photo.", png, SAVE_NAME_KIND::kFile, "photo.png"},
        {".hidden", png, SAVE_NAME_KIND::kFile, ".hidden.png"},
        {"dir/.hidden", png, SAVE_NAME_KIND::kFile, "dir/.hidden.png"},
        {"as typed.xyz", -1, SAVE_NAME_KIND::kFile, "as typed.xyz"},
        {"*.pcx", png, SAVE_NAME_KIND::kFilter, "*.pcx"},
        {"photo?.png", png, SAVE_NAME_KIND::kFilter, "photo?.png"},
        {"", png, SAVE_NAME_KIND::kNothing, ""},
        {"  ", png, SAVE_NAME_KIND::kNothing, ""},
        {"somedir/", png, SAVE_NAME_KIND::kNothing, ""},
    };
    for (const auto& c : cases) {
        const SAVE_NAME n = SaveNameFor(c.typed, c.type);
        EXPECT_EQ(n.kind, c.kind) << c.typed;
        EXPECT_EQ(n.text, c.want) << c.typed;
    }
}
