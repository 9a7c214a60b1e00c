#include "viewer/logic/Recent_files.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

TEST(RecentFiles, SavesTheNewestFiveOldestFirst)
{
    TempDir dir;
    IniFile ini(dir.File("RVS.ini"));
    RECENT_FILES recent;
    for (int i = 0; i < 7; ++i)
        recent.Add("/p/" + std::to_string(i) + ".ppm");
    EXPECT_EQ(recent.Count(), 7);
    recent.Save(ini);
    EXPECT_EQ(ini.ReadInteger("MRU", "max_index_string", 0), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ini.ReadString("MRU", "File_" + std::to_string(i), ""), "/p/" + std::to_string(i + 2) + ".ppm");

    RECENT_FILES loaded;
    loaded.Load(ini);
    EXPECT_EQ(loaded.List(), (std::vector<std::string>{"/p/2.ppm", "/p/3.ppm", "/p/4.ppm", "/p/5.ppm", "/p/6.ppm"}));
    EXPECT_EQ(loaded.MenuCaptions(),
              (std::vector<std::string>{"&0  /p/6.ppm", "&1  /p/5.ppm", "&2  /p/4.ppm", "&3  /p/3.ppm", "&4  /p/2.ppm"}));
}

TEST(RecentFiles, ShortListAndEmptyEntries)
{
    TempDir dir;
    IniFile ini(dir.File("RVS.ini"));
    ini.WriteInteger("MRU", "max_index_string", 4);
    ini.WriteString("MRU", "File_0", "/p/a.ppm");
    ini.WriteString("MRU", "File_2", "/p/c.ppm");
    ini.WriteString("MRU", "File_4", "/p/past the count.ppm");
    RECENT_FILES recent;
    recent.Load(ini);
    EXPECT_EQ(recent.List(), (std::vector<std::string>{"/p/a.ppm", "/p/c.ppm"}));
    recent.Save(ini);
    EXPECT_EQ(ini.ReadInteger("MRU", "max_index_string", 0), 2);
    EXPECT_EQ(ini.ReadString("MRU", "File_1", ""), "/p/c.ppm");

    RECENT_FILES none;
    none.Load(IniFile(dir.File("missing.ini")));
    EXPECT_EQ(none.Count(), 0);
    EXPECT_TRUE(none.MenuCaptions().empty());
    EXPECT_EQ(none.Entry(0), "");
}

TEST(RecentFiles, OpeningAgainMovesTheEntryToTheTop)
{
    RECENT_FILES recent;
    recent.Add("/p/a.ppm");
    recent.Add("/p/b.ppm");
    recent.Add("/p/a.ppm");
    EXPECT_EQ(recent.List(), (std::vector<std::string>{"/p/b.ppm", "/p/a.ppm"}));
    EXPECT_EQ(recent.Entry(0), "/p/a.ppm");
    recent.Add("/p/A.ppm"); // compared byte for byte
    EXPECT_EQ(recent.Count(), 3);

    // Only the newest five are compared: an older equal path is recorded anew.
    RECENT_FILES longer;
    for (const char* p : {"/x", "/1", "/2", "/3", "/4", "/5"})
        longer.Add(p);
    longer.Add("/x");
    EXPECT_EQ(longer.Count(), 7);
    EXPECT_EQ(longer.Entry(0), "/x");
}

TEST(RecentFiles, ForgettingRemovesTheEntryAndItsKey)
{
    TempDir dir;
    IniFile ini(dir.File("RVS.ini"));
    RECENT_FILES recent;
    for (const char* p : {"/p/a.ppm", "/p/b.ppm", "/p/c.ppm"})
        recent.Add(p);
    recent.Save(ini);
    recent.Forget(1, ini); // the second newest: b, key File_1
    EXPECT_EQ(recent.List(), (std::vector<std::string>{"/p/a.ppm", "/p/c.ppm"}));
    EXPECT_FALSE(ini.ValueExists("MRU", "File_1"));
    EXPECT_TRUE(ini.ValueExists("MRU", "File_2"));
    recent.Forget(7, ini); // no such item
    EXPECT_EQ(recent.Count(), 2);
}
