#include "tests/test_support.h"
#include "viewer/logic/Startup.h"
#include "widgets/logic/Help_file.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class HandOffTest : public testing::Test {
protected:
    HandOffTest() : old_cwd_(std::filesystem::current_path()) {}
    ~HandOffTest() override { std::filesystem::current_path(old_cwd_); }
    TempDir dir_;
    std::filesystem::path old_cwd_;
};

} // namespace

TEST_F(HandOffTest, PathReachesTheWindowThroughTheFile)
{
    const struct {
        const char* name;
        bool relative;
    } cases[] = {{"photo.jpg", true}, {"with space.png", false}, {"sub/deeper.ppm", true}};
    std::filesystem::create_directory(dir_.File("sub"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path cwd = c.relative ? std::filesystem::path(dir_.path()) : "/";
        std::filesystem::current_path(cwd);
        const std::string want = dir_.File(c.name);
        const std::string kept = HandOffPath(c.relative ? c.name : want);
        EXPECT_EQ(kept, want);
        EXPECT_EQ(std::filesystem::current_path(), cwd);
        const std::filesystem::path file = std::filesystem::path(want).parent_path() / kHandOffFile;
        EXPECT_EQ(ReadBytes(file.string()), ToBytes(want));
        EXPECT_EQ(TakeHandOff(kept), want);
        EXPECT_FALSE(std::filesystem::exists(file));
    }
}

TEST_F(HandOffTest, LongPathsAndStaleFiles)
{
    std::filesystem::current_path(dir_.path());
    const std::string deep = dir_.File(std::string(600, 'd'));
    std::filesystem::create_directory(deep.substr(0, 255 + dir_.path().size() + 1));
    const std::string long_path = deep.substr(0, 255 + dir_.path().size() + 1) + "/" + std::string(300, 'n') + ".ppm";
    EXPECT_EQ(HandOffPath(long_path), long_path);
    EXPECT_EQ(TakeHandOff(long_path), long_path); // longer than 512 bytes, not cut

    std::filesystem::current_path(dir_.path());
    WriteBytes(kHandOffFile, ToBytes("/stale.ppm"));
    EXPECT_EQ(HandOffPath(""), "");
    EXPECT_FALSE(std::filesystem::exists(kHandOffFile));
    EXPECT_EQ(TakeHandOff(""), "");
    // A directory that cannot be written: the path is still handed over in memory.
    EXPECT_EQ(HandOffPath("/nonexistent-dir/a.ppm"), "/nonexistent-dir/a.ppm");
    EXPECT_EQ(TakeHandOff("/nonexistent-dir/a.ppm"), "/nonexistent-dir/a.ppm");
}

TEST(HelpFile, ParsesNumberedTopics)
{
    HELP_FILE help;
    EXPECT_FALSE(help.Parse("no topics here\n"));
    ASSERT_TRUE(help.Parse("# comment\n@topic 10 The main window\r\n<p>one</p>\n@topic 25  Open\n<p>two</p>\n"
                           "@topic x broken\n<p>more</p>\n"));
    ASSERT_EQ(help.Topics().size(), 2u);
    ASSERT_NE(help.Topic(10), nullptr);
    EXPECT_EQ(help.Topic(10)->title, "The main window");
    EXPECT_EQ(help.Topic(10)->body, "<p>one</p>\n");
    EXPECT_EQ(help.Topic(25)->title, "Open");
    EXPECT_EQ(help.Topic(25)->body, "<p>two</p>\n<p>more</p>\n"); // a topic line without a number is skipped
    EXPECT_EQ(help.Topic(11), nullptr);
}

TEST(HelpFile, TheShippedFileHasTheMainWindowTopicAndIsFoundBesideOrInShare)
{
    HELP_FILE help;
    ASSERT_TRUE(help.Load(std::string(RAVELSCOPE_SOURCE_DIR) + "/viewer/help/RVS_HELP.HLP"));
    ASSERT_NE(help.Topic(kHelpMainWindow), nullptr);
    for (const HELP_TOPIC& t : help.Topics()) {
        SCOPED_TRACE(t.context);
        EXPECT_FALSE(t.title.empty());
        // Every link names a topic of the file.
        for (std::size_t at = t.body.find("topic:"); at != std::string::npos; at = t.body.find("topic:", at + 1))
            EXPECT_NE(help.Topic(std::stoi(t.body.substr(at + 6))), nullptr);
    }

    TempDir dir;
    std::filesystem::create_directories(dir.File("bin"));
    std::filesystem::create_directories(dir.File("share/ravelscope"));
    EXPECT_EQ(FindHelpFile(dir.File("bin")), "");
    WriteBytes(dir.File("share/ravelscope/RVS_HELP.HLP"), ToBytes("@topic 10 x\n"));
    EXPECT_EQ(FindHelpFile(dir.File("bin")), dir.File("share/ravelscope/RVS_HELP.HLP"));
    WriteBytes(dir.File("bin/RVS_HELP.HLP"), ToBytes("@topic 10 x\n"));
    EXPECT_EQ(FindHelpFile(dir.File("bin")), dir.File("bin/RVS_HELP.HLP"));
}
