#include "dialogs/logic/Save_dialog_rules.h"

#include <gtest/gtest.h>

TEST(SaveDialogRules, TypesAndStartIndex)
{
    ASSERT_EQ(SaveTypes().size(), 15u);
    // BMP to TIFF in the order of their codes, then WebP, AVIF and JPEG XL (X window dump,
    // code 13, is written by the command line only).
    for (std::size_t i = 0; i < SaveTypes().size(); ++i)
        EXPECT_EQ(SaveTypes()[i].save_code, static_cast<std::int32_t>(i < 12 ? i + 1 : i + 2));
    EXPECT_STREQ(SaveTypes()[5].text, "ZSoft PaintBrush files (*.pcx)");
    EXPECT_EQ(SaveTypeIndex(-1), 5);
    EXPECT_EQ(SaveTypeIndex(0), 0);
    EXPECT_EQ(SaveTypeIndex(11), 11);
    EXPECT_EQ(SaveTypeIndex(14), 14);
    EXPECT_EQ(SaveTypeIndex(15), 5);
}

TEST(SaveDialogRules, TypedNames)
{
    const std::int32_t bmp = 0, gif = 2, jpg = 3, png = 6, sun = 9, tga = 10, tif = 11, webp = 12, avif = 13,
                       jxl = 14, none = -1;
    const struct {
        const char* typed;
        std::int32_t type;
        SAVE_NAME_KIND kind;
        const char* want;
        std::int32_t written_as;
    } cases[] = {
        {"holiday", png, SAVE_NAME_KIND::kFile, "holiday.png", png},
        {"a.b.c", gif, SAVE_NAME_KIND::kFile, "a.b.gif", gif},
        {"photo", sun, SAVE_NAME_KIND::kFile, "photo.sun", sun},
        {"v2.d/photo", png, SAVE_NAME_KIND::kFile, "v2.d/photo.png", png},
        {"/home/me/v2.d/photo.old", bmp, SAVE_NAME_KIND::kFile, "/home/me/v2.d/photo.bmp", bmp},
        {"notes.xyz", png, SAVE_NAME_KIND::kFile, "notes.png", png},
        // A type's extension chooses the type, whatever the list shows.
        {"cli_resave.jpg", bmp, SAVE_NAME_KIND::kFile, "cli_resave.jpg", jpg},
        {"holiday.jpeg", tif, SAVE_NAME_KIND::kFile, "holiday.jpeg", jpg},
        {"scan.TIFF", png, SAVE_NAME_KIND::kFile, "scan.TIFF", tif},
        {"v1.0.tga", png, SAVE_NAME_KIND::kFile, "v1.0.tga", tga},
        {"photo.PNG", png, SAVE_NAME_KIND::kFile, "photo.PNG", png},
        {"photo.Png", bmp, SAVE_NAME_KIND::kFile, "photo.Png", png},
        {"photo.webp", bmp, SAVE_NAME_KIND::kFile, "photo.webp", webp},
        {"photo.AVIF", jpg, SAVE_NAME_KIND::kFile, "photo.AVIF", avif},
        {"photo.jxl", png, SAVE_NAME_KIND::kFile, "photo.jxl", jxl},
        {"photo.heic", png, SAVE_NAME_KIND::kFile, "photo.png", png}, // read, not written
        {"dump.xwd", png, SAVE_NAME_KIND::kFile, "dump.png", png}, // no type of the list writes it
        {"photo.", png, SAVE_NAME_KIND::kFile, "photo.png", png},
        {".hidden", png, SAVE_NAME_KIND::kFile, ".hidden.png", png},
        {".png", gif, SAVE_NAME_KIND::kFile, ".png.gif", gif},
        {"dir/.hidden", png, SAVE_NAME_KIND::kFile, "dir/.hidden.png", png},
        {"as typed.xyz", none, SAVE_NAME_KIND::kFile, "as typed.xyz", none},
        {"typed.gif", none, SAVE_NAME_KIND::kFile, "typed.gif", gif},
        {"*.pcx", png, SAVE_NAME_KIND::kFilter, "*.pcx", none},
        {"photo?.png", png, SAVE_NAME_KIND::kFilter, "photo?.png", none},
        {"", png, SAVE_NAME_KIND::kNothing, "", none},
        {"  ", png, SAVE_NAME_KIND::kNothing, "", none},
        {"somedir/", png, SAVE_NAME_KIND::kNothing, "", none},
    };
    for (const auto& c : cases) {
        const SAVE_NAME n = SaveNameFor(c.typed, c.type);
        EXPECT_EQ(n.kind, c.kind) << c.typed;
        EXPECT_EQ(n.text, c.want) << c.typed;
        EXPECT_EQ(n.type_index, c.written_as) << c.typed;
    }
    // Choosing a type puts its extension on the name shown, whatever the name ended in.
    const struct {
        const char* typed;
        std::int32_t type;
        const char* want;
    } shown[] = {{"holiday.jpeg", tif, "holiday.tif"}, {"src.ppm", 5, "src.pcx"}, {"photo.PNG", png, "photo.PNG"},
                 {"photo", gif, "photo.gif"},          {"*.gif", png, "*.gif"}};
    for (const auto& c : shown)
        EXPECT_EQ(SaveNameForType(c.typed, c.type).text, c.want) << c.typed;
}

TEST(SaveDialogRules, Quality)
{
    const struct {
        std::int32_t stored, want;
    } cases[] = {{90, 90}, {1, 1}, {100, 100}, {0, 90}, {101, 90}, {-40, 90}};
    for (const auto& c : cases)
        EXPECT_EQ(QualityFrom(c.stored), c.want) << c.stored;
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(SaveTypes().size()); ++i)
        EXPECT_EQ(SaveTypeHasQuality(i), i == 3 || i >= 12) << SaveTypes()[static_cast<std::size_t>(i)].text;
    EXPECT_EQ(StoredQuality("/nonexistent/RVS.ini"), 90);
}
