#include "platform/Text_encoding.h"

#include <gtest/gtest.h>

TEST(TextEncoding, Utf8KeptElseTheNamedFallback)
{
    const struct {
        std::string in;
        std::string latin1;
        std::string cp1252;
    } cases[] = {
        {"plain", "plain", "plain"},
        {"caf\xC3\xA9", "caf\xC3\xA9", "caf\xC3\xA9"},                   // valid UTF-8 stays
        {"caf\xE9", "caf\xC3\xA9", "caf\xC3\xA9"},                       // Latin-1 é either way
        {"\x93quoted\x94", "\xC2\x93quoted\xC2\x94", "\xE2\x80\x9Cquoted\xE2\x80\x9D"}, // C1 vs cp1252 quotes
        {"\x81", "\xC2\x81", "\xEF\xBF\xBD"},                            // unassigned in cp1252
        {"\xC0\xAF", "\xC3\x80\xC2\xAF", "\xC3\x80\xC2\xAF"},            // overlong '/': not UTF-8
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"}, // a surrogate
        {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80", "\xC3\xB4\xEF\xBF\xBD\xE2\x82\xAC\xE2\x82\xAC"}, // past U+10FFFF; 0x90 unassigned
        {"ab\xE2\x82", "ab\xC3\xA2\xC2\x82", "ab\xC3\xA2\xE2\x80\x9A"},   // cut sequence
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(AsUtf8(c.in, TextFallback::kLatin1), c.latin1);
        EXPECT_EQ(AsUtf8(c.in, TextFallback::kCp1252), c.cp1252);
        EXPECT_TRUE(IsValidUtf8(AsUtf8(c.in, TextFallback::kCp1252)));
    }
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80")); // U+1F600
    EXPECT_EQ(Utf8SequenceAt("a\xE2\x82\xAC", 1), 3u);
    EXPECT_EQ(Utf8SequenceAt("a\xE2\x82", 1), 0u);
}
