#include "viewer/logic/Rtf_reader.h"

#include "base/Result_codes.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A run written as its flags ("b", "i", "u" in any order), its size and its text.
struct RUN {
    std::string flags;
    std::int32_t half_points;
    std::string text;
};

std::vector<RUN> Runs(const RICH_TEXT& doc)
{
    std::vector<RUN> runs;
    for (const TEXT_RUN& r : doc.runs)
        runs.push_back({std::string(r.bold ? "b" : "") + (r.italic ? "i" : "") + (r.underline ? "u" : ""),
                        r.half_points, r.text});
    return runs;
}

struct CASE {
    const char* name;
    std::string input;
    std::vector<RUN> runs;
    bool truncated = false;
};

TEST(RtfReader, RunsOfTheTable)
{
    const std::vector<CASE> cases = {
        {"bold group", "{\\rtf1 a{\\b b}c}", {{"", 24, "a"}, {"b", 24, "b"}, {"", 24, "c"}}},
        {"bold word switched off", "{\\rtf1 \\b x\\b0 y}", {{"b", 24, "x"}, {"", 24, "y"}}},
        {"nesting", "{\\rtf1 {\\i a{\\b\\ul b}a}c}",
         {{"i", 24, "a"}, {"biu", 24, "b"}, {"i", 24, "a"}, {"", 24, "c"}}},
        {"cp1252 escapes", "{\\rtf1 caf\\'e9 \\'80\\'81}", {{"", 24, "caf\xC3\xA9 \xE2\x82\xAC\xEF\xBF\xBD"}}},
        {"unicode with fallback", "{\\rtf1 \\u8364?x}", {{"", 24, "\xE2\x82\xAC" "x"}}},
        {"two fallback bytes, one escaped", "{\\rtf1\\uc2 \\u233\\'65?x}", {{"", 24, "\xC3\xA9" "x"}}},
        {"fallback count ends with the group", "{\\rtf1\\uc3 {\\u233 e}x}", {{"", 24, "\xC3\xA9" "x"}}},
        {"surrogate pair", "{\\rtf1 \\u-10179?\\u-8704?}", {{"", 24, "\xF0\x9F\x98\x80"}}},
        {"lone surrogate", "{\\rtf1 \\u-10179?a}", {{"", 24, "\xEF\xBF\xBD" "a"}}},
        {"paragraphs and tabs", "{\\rtf1 a\\par b\\tab c\\\nd}", {{"", 24, "a\nb\tc\nd"}}},
        {"line breaks in the file are not text", "{\\rtf1 a\r\nb}", {{"", 24, "ab"}}},
        {"sizes and plain", "{\\rtf1\\fs40\\b big\\plain small}", {{"b", 40, "big"}, {"", 24, "small"}}},
        {"escaped specials", "{\\rtf1 \\\\\\{\\}\\~}", {{"", 24, "\\{}\xC2\xA0"}}},
        {"skipped destinations",
         "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}{\\stylesheet{\\s0 Normal;}}"
         "{\\info{\\title T}{\\author A}}{\\*\\unknown z}{\\pict\\pngblip 0102}x}",
         {{"", 24, "x"}}},
        {"binary data", "{\\rtf1 a{\\*\\blipuid \\bin3 }{x}b}", {{"", 24, "ab"}}},
        {"binary data outside a skipped group", "{\\rtf1 a\\bin4 }}}}b}", {{"", 24, "ab"}}},
        {"text after the document's group", "{\\rtf1 a}b", {{"", 24, "a"}}},
        {"truncated inside a group", "{\\rtf1 {\\b ab", {{"b", 24, "ab"}}, true},
        {"truncated inside an escape", "{\\rtf1 a\\'e", {{"", 24, "a"}}, true},
        {"plain UTF-8", "caf\xC3\xA9\r\nx\ry", {{"", 24, "caf\xC3\xA9\nx\ny"}}},
        {"plain cp1252", "caf\xE9 \x80", {{"", 24, "caf\xC3\xA9 \xE2\x82\xAC"}}},
        {"plain text that looks like markup", "{\\b <b>x</b>}", {{"", 24, "{\\b <b>x</b>}"}}},
    };
    for (const CASE& c : cases) {
        SCOPED_TRACE(c.name);
        RICH_TEXT doc;
        ASSERT_EQ(ReadRichText(c.input, doc), kOk);
        const std::vector<RUN> got = Runs(doc);
        ASSERT_EQ(got.size(), c.runs.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].flags, c.runs[i].flags) << i;
            EXPECT_EQ(got[i].half_points, c.runs[i].half_points) << i;
            EXPECT_EQ(got[i].text, c.runs[i].text) << i;
        }
        EXPECT_EQ(doc.truncated, c.truncated);
        EXPECT_EQ(doc.rich, c.input.rfind("{\\rtf", 0) == 0);
    }
}

TEST(RtfReader, Limits)
{
    RICH_TEXT doc;
    const std::string bomb = "{\\rtf1 x" + std::string(1000000, '{');
    EXPECT_EQ(ReadRichText(bomb, doc), kDataError);
    EXPECT_EQ(doc.Text(), "x");

    RICH_TEXT_LIMITS small;
    small.max_input = 8;
    EXPECT_EQ(ReadRichText("{\\rtf1 abc}", doc, small), kImageTooLarge);
    EXPECT_TRUE(doc.runs.empty());

    small.max_input = 1000;
    small.max_text = 4;
    EXPECT_EQ(ReadRichText("{\\rtf1 ab\\'e9cd}", doc, small), kOk); // é takes two bytes
    EXPECT_EQ(doc.Text(), "ab\xC3\xA9");
    EXPECT_TRUE(doc.truncated);
}

TEST(RtfReader, ReadsFiles)
{
    TempDir dir;
    WriteBytes(dir.File("a.rtf"), ToBytes("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Hello \\b world\\b0 .\\par}"));
    RICH_TEXT doc;
    ASSERT_EQ(ReadRichTextFile(dir.File("a.rtf"), doc), kOk);
    EXPECT_EQ(doc.Text(), "Hello world.\n");
    ASSERT_EQ(doc.runs.size(), 3u);
    EXPECT_TRUE(doc.runs[1].bold);
    EXPECT_EQ(ReadRichTextFile(dir.File("missing.rtf"), doc), kOpenFileError);

    // A file over the limit is refused unread, with the text viewer's own words.
    RICH_TEXT_LIMITS small;
    small.max_input = 16;
    WriteBytes(dir.File("big.txt"), ToBytes(std::string(17, 'x')));
    const std::int32_t rc = ReadRichTextFile(dir.File("big.txt"), doc, small);
    EXPECT_EQ(rc, kImageTooLarge);
    EXPECT_EQ(TextFileResultText(rc), "Text Too Large. (the text viewer shows files of up to 64 MiB)");
    EXPECT_EQ(TextFileResultText(kDataError), "Text Not Shown. (groups nested deeper than 256)");
    EXPECT_EQ(TextFileResultText(kOpenFileError), "Open File Error.");
}

} // namespace
