#include "platform/Ini_file.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace {

std::string ReadText(const std::string& path)
{
    const Bytes b = ReadBytes(path);
    return std::string(b.begin(), b.end());
}

} // namespace

TEST(IniFile, WritesReadsReplacesAndDeletes)
{
    TempDir dir;
    IniFile ini(dir.File("RVS.ini"));
    EXPECT_FALSE(ini.Exists());
    EXPECT_EQ(ini.ReadInteger("Screen", "Width", 630), 630);
    EXPECT_EQ(ini.ReadString("MRU", "File_0", "none"), "none");

    ASSERT_TRUE(ini.WriteInteger("Screen", "Width", 800));
    ASSERT_TRUE(ini.WriteInteger("Screen", "Height", 600));
    ASSERT_TRUE(ini.WriteString("MRU", "File_0", "/pics/a b.ppm"));
    ASSERT_TRUE(ini.WriteInteger("Screen", "Top", -5)); // added to its own section
    EXPECT_EQ(ReadText(ini.FileName()), "[Screen]\nWidth=800\nHeight=600\nTop=-5\n[MRU]\nFile_0=/pics/a b.ppm\n");

    ASSERT_TRUE(ini.WriteInteger("screen", "WIDTH", 1024)); // names match in any case
    EXPECT_EQ(ini.ReadInteger("SCREEN", "width", 0), 1024);
    EXPECT_EQ(ini.ReadInteger("Screen", "Top", 0), -5);
    EXPECT_EQ(ini.ReadString("MRU", "File_0", ""), "/pics/a b.ppm");
    EXPECT_TRUE(ini.ValueExists("Screen", "Height"));

    ASSERT_TRUE(ini.DeleteKey("Screen", "Height"));
    EXPECT_FALSE(ini.ValueExists("Screen", "Height"));
    EXPECT_EQ(ini.ReadInteger("Screen", "Height", 514), 514);
    ASSERT_TRUE(ini.EraseSection("Screen"));
    EXPECT_FALSE(ini.SectionExists("Screen"));
    EXPECT_EQ(ReadText(ini.FileName()), "[MRU]\nFile_0=/pics/a b.ppm\n");
}

TEST(IniFile, KeepsForeignLinesAndTheFirstStartText)
{
    TempDir dir;
    const std::string path = dir.File("RVS.ini");
    const std::string first("This file do initial setup for Oxbel application\0", 49);
    IniFile ini(path);
    ASSERT_TRUE(ini.WriteRaw(first));
    ASSERT_TRUE(ini.WriteInteger("Screen", "Width", 630));
    EXPECT_EQ(ReadText(path), first + "\n[Screen]\nWidth=630\n");
    EXPECT_EQ(ini.ReadInteger("Screen", "Width", 0), 630);

    // Comments, junk and CRLF line breaks written by other programs survive a write.
    const std::string foreign = "; made by hand\r\n[Dir]\r\nRecentlyVisited = \"/home/me/pics\" \r\n"
                                "garbage line\r\n[File]\r\nExt_Index=3\r\n";
    WriteBytes(path, ToBytes(foreign));
    EXPECT_EQ(ini.ReadString("Dir", "RecentlyVisited", ""), "/home/me/pics");
    ASSERT_TRUE(ini.WriteInteger("Dir", "Top", 7));
    ASSERT_TRUE(ini.WriteInteger("File", "Ext_Index", 4));
    EXPECT_EQ(ReadText(path), "; made by hand\r\n[Dir]\r\nRecentlyVisited = \"/home/me/pics\" \r\nTop=7\r\n"
                              "garbage line\r\n[File]\r\nExt_Index=4\r\n");
}

TEST(IniFile, IntegersFallBackOnBadText)
{
    TempDir dir;
    const std::string path = dir.File("x.ini");
    WriteBytes(path, ToBytes("[N]\na=12\nb=0x1F\nc=12px\nd=\ne=99999999999\nf=-3\n[N]\na=5\n"));
    IniFile ini(path);
    const struct {
        const char* key;
        std::int32_t want;
    } cases[] = {{"a", 12}, {"b", 31}, {"c", -1}, {"d", -1}, {"e", -1}, {"f", -3}, {"g", -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(ini.ReadInteger("N", c.key, -1), c.want); // the first section of a name counts
    }
}

TEST(IniFile, FailedWriteLeavesNoFile)
{
    IniFile ini("/nonexistent-dir/RVS.ini");
    EXPECT_FALSE(ini.WriteInteger("Screen", "Width", 1));
    EXPECT_FALSE(ini.Exists());
    EXPECT_EQ(ini.ReadInteger("Screen", "Width", 630), 630);
}

TEST(SettingsDirectory, PortableBuildElseXdgConfig)
{
    TempDir dir;
    const char* old_over = std::getenv("RAVELSCOPE_SETTINGS_DIR");
    const std::string saved_over = old_over ? old_over : "";
    const char* old_xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string saved_xdg = old_xdg ? old_xdg : "";
    unsetenv("RAVELSCOPE_SETTINGS_DIR");
    setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);

    EXPECT_EQ(SettingsDirectory(dir.path()), dir.path()); // writable: beside the executable
    const std::string xdg = SettingsDirectory("/nonexistent-dir/bin");
    EXPECT_EQ(xdg, dir.File("config") + "/ravelscope");
    struct stat st {};
    EXPECT_EQ(stat(xdg.c_str(), &st), 0);
    setenv("RAVELSCOPE_SETTINGS_DIR", "/somewhere", 1);
    EXPECT_EQ(SettingsDirectory(dir.path()), "/somewhere");

    if (old_over)
        setenv("RAVELSCOPE_SETTINGS_DIR", saved_over.c_str(), 1);
    else
        unsetenv("RAVELSCOPE_SETTINGS_DIR");
    if (old_xdg)
        setenv("XDG_CONFIG_HOME", saved_xdg.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

// A section header that ends the file with a bare carriage return: the new key goes on a
// line of its own instead of joining the header's line (where it was lost).
TEST(IniBytes, KeyAddedAfterAHeaderEndingInACarriageReturn)
{
    for (const std::string file : {"[Options]\r", "[Options]", "x=1\n[Options]\r"}) {
        std::string bytes = file;
        ASSERT_TRUE(ini_bytes::Write(bytes, "Options", "Zoom", "200"));
        EXPECT_EQ(bytes.substr(0, file.size()), file);
        EXPECT_EQ(ini_bytes::Read(bytes, "Options", "Zoom"), "200") << bytes;
    }
}

// What a line cannot hold is refused and the file stays as it was; names given with blanks
// match the trimmed names of the file.
TEST(IniBytes, RefusesWhatALineCannotHold)
{
    const std::string file = "[MRU]\nFile_0=a.png\n";
    const struct {
        const char* section;
        const char* key;
        std::string value;
    } refused[] = {
        {"MRU", "File_0", "a\nFile_1=b.png"}, {"MRU", "File_0", "a\rb"},  {"MRU", "File_0", std::string("a\0b", 3)},
        {"MRU", "File=0", "a"},               {"MRU", " ", "a"},          {"MRU", "[x", "a"},
        {"MRU", ";x", "a"},                   {"M]RU", "File_0", "a"},    {"M\nRU", "File_0", "a"},
    };
    for (const auto& c : refused) {
        std::string bytes = file;
        EXPECT_FALSE(ini_bytes::Write(bytes, c.section, c.key, c.value)) << c.section << "/" << c.key;
        EXPECT_EQ(bytes, file);
    }
    std::string bytes = file;
    ASSERT_TRUE(ini_bytes::Write(bytes, " MRU ", " File_0 ", "b.png"));
    EXPECT_EQ(bytes, "[MRU]\n File_0 =b.png\n");
    EXPECT_EQ(ini_bytes::Read(bytes, "MRU", "File_0"), "b.png");
}
