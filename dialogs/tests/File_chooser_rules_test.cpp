#include "dialogs/logic/File_chooser_rules.h"

#include <gtest/gtest.h>

TEST(FileChooserRules, ParentDirectory)
{
    const struct {
        const char* dir;
        const char* want;
    } cases[] = {
        {"/home/me", "/home"}, {"/home/me/", "/home"}, {"/home", "/"}, {"//home", "/"},
        {"/a//b", "/a"},       {"/", ""},              {"///", ""},   {"relative/x", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParentDirectory(c.dir), c.want) << c.dir;
}

TEST(FileChooserRules, WildcardsMatchAnyCase)
{
    const struct {
        const char* pattern;
        const char* name;
        bool want;
    } cases[] = {
        {"*.pcx", "photo.PCX", true},   {"*.pcx", "photo.pcx.bak", false}, {"*", "noext", true},
        {"*.*", "noext", false},        {"photo?.png", "photo1.png", true}, {"photo?.png", "photo.png", false},
        {"*.bmp;*.dib", "x.DIB", true}, {"*.bmp;*.dib", "x.png", false},   {"", "anything", true},
        {"a*b*c", "aXbYbZc", true},     {"a*b*c", "aXbYbZ", false},        {"*a", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WildcardMatches(c.pattern, c.name), c.want) << c.pattern << " " << c.name;
}

TEST(FileChooserRules, TypedNamesCountFromTheDialogsDirectory)
{
    EXPECT_EQ(ChosenPath("/pics", "a.png"), "/pics/a.png");
    EXPECT_EQ(ChosenPath("/pics", "v2.d/a.png"), "/pics/v2.d/a.png");
    EXPECT_EQ(ChosenPath("/", "a.png"), "/a.png");
    EXPECT_EQ(ChosenPath("/pics", "/tmp/a.png"), "/tmp/a.png");
}
