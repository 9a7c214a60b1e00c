#include "platform/Ini_file.h"
#include "base/Result_codes.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <cstdlib>
#include <filesystem>
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
    EXPECT_TRUE(ini.Exists()) << "kept changes make the file";
    ASSERT_EQ(ini.Flush(), kOk);
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
    EXPECT_FALSE(ini.EraseSection("Screen")) << "nothing left to remove";
    ASSERT_EQ(ini.Flush(), kOk);
    EXPECT_EQ(ReadText(ini.FileName()), "[MRU]\nFile_0=/pics/a b.ppm\n");
}

TEST(IniFile, KeepsForeignLinesAndTheFirstStartText)
{
    TempDir dir;
    const std::string path = dir.File("RVS.ini");
    const std::string first("This file do initial setup for Oxbel application\0", 49);
    IniFile ini(path);
    ASSERT_TRUE(ini.WriteRaw(first));
    EXPECT_EQ(ReadText(path), first) << "the first-start text is written at once";
    ASSERT_TRUE(ini.WriteInteger("Screen", "Width", 630));
    ASSERT_EQ(ini.Flush(), kOk);
    EXPECT_EQ(ReadText(path), first + "\n[Screen]\nWidth=630\n");
    EXPECT_EQ(ini.ReadInteger("Screen", "Width", 0), 630);

    // Comments, junk and CRLF line breaks written by other programs survive a write.
    const std::string foreign = "; made by hand\r\n[Dir]\r\nRecentlyVisited = \"/home/me/pics\" \r\n"
                                "garbage line\r\n[File]\r\nExt_Index=3\r\n";
    WriteBytes(path, ToBytes(foreign));
    EXPECT_EQ(ini.ReadString("Dir", "RecentlyVisited", ""), "/home/me/pics");
    ASSERT_TRUE(ini.WriteInteger("Dir", "Top", 7));
    ASSERT_TRUE(ini.WriteInteger("File", "Ext_Index", 4));
    ASSERT_EQ(ini.Flush(), kOk);
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

TEST(IniFile, FailedFlushSaysWhyAndKeepsTheChanges)
{
    IniFile ini("/nonexistent-dir/RVS.ini");
    EXPECT_TRUE(ini.WriteInteger("Screen", "Width", 1));
    std::string reason;
    EXPECT_EQ(ini.Flush(&reason), kOpenFileError);
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_EQ(SettingsNotSavedText(ini.FileName(), reason),
              "Settings not saved: /nonexistent-dir/RVS.ini (No such file or directory)");
    EXPECT_TRUE(ini.HasUnsaved());
    EXPECT_EQ(ini.ReadInteger("Screen", "Width", 630), 1) << "the run goes on with what it set";
}

// The viewer's close: ten writes reach the file in one replacement, made beside it and
// renamed over it. A flush that cannot write (a file size limit here, which binds root
// too) leaves the old file whole and no temporary file behind.
TEST(IniFile, TenWritesOneAtomicFlush)
{
    TempDir dir;
    const std::string path = dir.File("RVS.ini");
    WriteBytes(path, ToBytes("[Screen]\nWidth=630\n"));
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);

    IniFile ini(path);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(ini.WriteString("MRU", "File_" + std::to_string(i), "/pics/" + std::to_string(i) + ".png"));
    ASSERT_TRUE(ini.WriteInteger("MRU", "max_index_string", 5));
    for (const char* key : {"Width", "Height", "Top", "Left"})
        ASSERT_TRUE(IniFile(path).WriteInteger("Screen", key, 7)); // another object, the same file
    EXPECT_EQ(ReadText(path), "[Screen]\nWidth=630\n") << "nothing written before the flush";
    EXPECT_EQ(ini.ReadInteger("Screen", "Left", 0), 7);

    WriteBytes(path, ToBytes("[Screen]\nWidth=630\n[Other]\nByAnotherRun=1\n"));
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    ASSERT_EQ(ini.Flush(), kOk);
    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino) << "replaced by a rename, not rewritten in place";
    EXPECT_EQ(ReadText(path), "[Screen]\nWidth=7\nHeight=7\nTop=7\nLeft=7\n[Other]\nByAnotherRun=1\n"
                              "[MRU]\nFile_0=/pics/0.png\nFile_1=/pics/1.png\nFile_2=/pics/2.png\n"
                              "File_3=/pics/3.png\nFile_4=/pics/4.png\nmax_index_string=5\n");
    EXPECT_FALSE(ini.HasUnsaved());
    EXPECT_EQ(ini.Flush(), kOk) << "nothing kept: nothing written";
    struct stat again {};
    ASSERT_EQ(stat(path.c_str(), &again), 0);
    EXPECT_EQ(again.st_ino, after.st_ino);

    const std::string old = ReadText(path);
    ASSERT_TRUE(ini.WriteString("MRU", "File_0", std::string(4096, 'x')));
    rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto old_handler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string reason;
    const int rc = ini.Flush(&reason);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, old_handler);
    EXPECT_EQ(rc, kOpenFileError);
    EXPECT_EQ(reason, "File too large");
    EXPECT_EQ(ReadText(path), old);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1u) << "no temporary file left";
    EXPECT_TRUE(ini.HasUnsaved());
    EXPECT_EQ(ini.Flush(), kOk) << "kept for a later flush";
    EXPECT_EQ(ini.ReadString("MRU", "File_0", "").size(), 4096u);

    if (geteuid() != 0) { // a read-only directory stops everyone but root
        ASSERT_TRUE(ini.WriteInteger("Screen", "Width", 8));
        chmod(dir.path().c_str(), 0555);
        EXPECT_EQ(ini.Flush(&reason), kOpenFileError);
        chmod(dir.path().c_str(), 0755);
        EXPECT_EQ(reason, "Permission denied");
        EXPECT_EQ(IniFile(path).ReadInteger("Screen", "Width", 0), 8);
    }
}

// Without a place for the settings (no home folder), a run keeps them in memory: it reads
// what it wrote, writes no file anywhere and says so at the flush.
TEST(IniFile, SettingsKeptInMemory)
{
    TempDir dir;
    const std::string path = dir.File("RVS.ini");
    KeepSettingsInMemory(path, "no home folder (HOME is not set)");
    IniFile ini(path);
    EXPECT_FALSE(ini.Exists());
    ASSERT_TRUE(ini.WriteRaw(std::string("first start\0", 12)));
    ASSERT_TRUE(ini.WriteInteger("Screen", "Width", 700));
    EXPECT_TRUE(ini.Exists());
    EXPECT_EQ(ini.ReadInteger("Screen", "Width", 0), 700);
    std::string reason;
    EXPECT_EQ(ini.Flush(&reason), kOpenFileError);
    EXPECT_EQ(reason, "no home folder (HOME is not set)");
    struct stat st {};
    EXPECT_NE(stat(path.c_str(), &st), 0);
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

    // No home folder and no absolute XDG_CONFIG_HOME: refused, not the executable's
    // directory or the temporary one.
    unsetenv("RAVELSCOPE_SETTINGS_DIR");
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    const char* old_home = std::getenv("HOME");
    const std::string saved_home = old_home ? old_home : "";
    unsetenv("HOME");
    std::string refusal;
    EXPECT_EQ(SettingsDirectory("/nonexistent-dir/bin", &refusal), "");
    EXPECT_EQ(refusal, "no home folder (HOME is not set)");
    if (old_home)
        setenv("HOME", saved_home.c_str(), 1);

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
