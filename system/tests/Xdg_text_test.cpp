// Editing key files as text: what we write, and that nothing else moves.
#include "system/Xdg_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

const char kList[] = "# kept as it is\n"
                     "[Added Associations]\n"
                     "text/plain=gedit.desktop;\n"
                     "\n"
                     "[Default Applications]\n"
                     "image/png = viewer.desktop;\n"
                     "image/x-portable-pixmap=other.desktop;\n"
                     "\n"
                     "[Default Applications]\n"
                     "image/gif=second-section.desktop;\n";

TEST(KeyFileText, ReadsTheFirstSectionAndKeyOfAName)
{
    EXPECT_EQ(KeyFileGet(kList, "Default Applications", "image/png"), "viewer.desktop;");
    EXPECT_EQ(KeyFileGet(kList, "Added Associations", "text/plain"), "gedit.desktop;");
    EXPECT_EQ(KeyFileGet(kList, "Default Applications", "image/gif"), std::nullopt); // a later section
    EXPECT_EQ(KeyFileGet(kList, "default applications", "image/png"), std::nullopt); // names match exactly
    EXPECT_EQ(KeyFileGet("# [Default Applications]\nimage/png=x;\n", "Default Applications", "image/png"),
              std::nullopt);
}

TEST(KeyFileText, EditsTouchOnlyTheirLine)
{
    struct CASE {
        const char* text;
        const char* section;
        const char* key;
        const char* value; // null: remove
        const char* expected;
    };
    const CASE cases[] = {
        // replaced in place
        {"[A]\nk=1\nj=2\n", "A", "k", "3", "[A]\nk=3\nj=2\n"},
        // added after the section's last key, before its blank line
        {"[A]\nk=1\n\n[B]\nx=1\n", "A", "n", "2", "[A]\nk=1\nn=2\n\n[B]\nx=1\n"},
        // a last line without its newline
        {"[A]\nk=1", "A", "n", "2", "[A]\nk=1\nn=2\n"},
        // a section added at the end
        {"[A]\nk=1\n", "B", "n", "2", "[A]\nk=1\n\n[B]\nn=2\n"},
        {"", "B", "n", "2", "[B]\nn=2\n"},
        // CRLF files keep their line ends
        {"[A]\r\nk=1\r\n", "A", "n", "2", "[A]\r\nk=1\r\nn=2\r\n"},
        {"[A]\r\nk=1\r\n", "A", "k", "5", "[A]\r\nk=5\r\n"},
        // a header that ends the file with a bare "\r": its break is completed, not doubled
        // (the key used to join a header line "[A]\r" that no longer read as one)
        {"\r\n[Default Applications]\r", "Default Applications", "image/png", "x;",
         "\r\n[Default Applications]\r\nimage/png=x;\r\n"},
        {"[A]\nk=1\r", "A", "n", "2", "[A]\nk=1\r\nn=2\n"},
        {"[A]\r", "B", "n", "2", "[A]\r\n\n[B]\nn=2\n"},
        // removal takes the line with its newline, and nothing else
        {"[A]\nk=1\nj=2\n", "A", "k", nullptr, "[A]\nj=2\n"},
        {"[A]\nj=2\n", "A", "k", nullptr, "[A]\nj=2\n"},
    };
    for (const CASE& c : cases) {
        const std::string out = c.value != nullptr ? KeyFileSet(c.text, c.section, c.key, c.value)
                                                   : KeyFileRemove(c.text, c.section, c.key);
        EXPECT_EQ(out, c.expected) << c.text;
        if (c.value != nullptr) {
            EXPECT_EQ(KeyFileGet(out, c.section, c.key), c.value) << c.text;
        }
    }
    const std::string set = KeyFileSet(kList, "Default Applications", "image/x-portable-pixmap", "a;b;");
    std::string expected = kList;
    expected.replace(expected.find("other.desktop;"), 14, "a;b;");
    EXPECT_EQ(set, expected);
}

// What fuzz_keyfile found (fuzz/regressions/keyfile/): an association set in such a file
// reads back, setting it again changes nothing and removing it takes its line away.
TEST(KeyFileText, FuzzFindingsKeepTheKeySet)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(RAVELSCOPE_SOURCE_DIR) / "fuzz" / "regressions" / "keyfile";
    int count = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string set = KeyFileSet(text, "Default Applications", "image/png", "ravelscope.desktop;");
        EXPECT_EQ(KeyFileGet(set, "Default Applications", "image/png"), "ravelscope.desktop;");
        EXPECT_EQ(KeyFileSet(set, "Default Applications", "image/png", "ravelscope.desktop;"), set);
        EXPECT_LT(KeyFileRemove(set, "Default Applications", "image/png").size(), set.size());
        ++count;
    }
    EXPECT_GT(count, 0) << "inputs in " << dir;
}

TEST(KeyFileText, DesktopLists)
{
    EXPECT_EQ(SplitDesktopList("a.desktop;;b.desktop; c.desktop"),
              (std::vector<std::string>{"a.desktop", "b.desktop", "c.desktop"}));
    EXPECT_TRUE(SplitDesktopList(";").empty());
    EXPECT_EQ(JoinDesktopList({"a.desktop", "b.desktop"}), "a.desktop;b.desktop;");
}

TEST(KeyFileText, ExecQuotingAndRefusals)
{
    // The Exec quoting, then the key file's escaping of each backslash.
    EXPECT_EQ(DesktopExecQuote("/usr/bin/ravelscope"), "\"/usr/bin/ravelscope\"");
    EXPECT_EQ(DesktopExecQuote("/opt/my apps/rv"), "\"/opt/my apps/rv\"");
    EXPECT_EQ(DesktopExecQuote("/o/a\"b$c`d\\e"), "\"/o/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e\"");
    EXPECT_EQ(DesktopExecQuote("/opt/100%/rv"), std::nullopt);
    EXPECT_EQ(DesktopExecQuote("/opt/a\nb"), std::nullopt);
}

TEST(KeyFileText, FileUriEncodesAllButUnreserved)
{
    EXPECT_EQ(FileUri("/home/u/Ravelscope_sea.png"), "file:///home/u/Ravelscope_sea.png");
    EXPECT_EQ(FileUri("/a b/%'#?\xC3\xA9.png"), "file:///a%20b/%25%27%23%3F%C3%A9.png");
}

} // namespace
