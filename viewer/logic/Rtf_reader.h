// The text viewer's reader: rich text (the subset a viewer needs: groups, paragraphs, tabs,
// bold, italic, underline, font size, cp1252 and Unicode characters) turned into runs of
// UTF-8 text with their character formatting. Everything else a rich-text file carries
// (fonts, colours, styles, document facts, pictures, ignorable destinations) is skipped.
// A file that does not start with "{\rtf" is plain text: UTF-8 when it is valid UTF-8,
// otherwise cp1252. The text is never interpreted as markup by whoever shows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TEXT_RUN {
    std::string text; // UTF-8; paragraphs end in "\n", tabs are "\t"
    bool bold = false;
    bool italic = false;
    bool underline = false;
    std::int32_t half_points = 24; // the font size in half points (\fsN); 24 is 12 pt
};

struct RICH_TEXT_LIMITS {
    std::size_t max_input = 64u << 20;  // larger files are refused
    std::size_t max_text = 16u << 20;   // UTF-8 bytes of text kept; the rest is dropped
    std::int32_t max_depth = 256;       // nesting of groups
};

struct RICH_TEXT {
    std::vector<TEXT_RUN> runs;   // neighbours always differ in formatting; no empty run
    bool rich = false;            // read as rich text (else plain text)
    bool truncated = false;       // the input ended inside a group, or text was dropped
    std::string Text() const;     // the runs' text joined
};

// Reads bytes into out (cleared first). Returns kOk; kImageTooLarge when the input is over
// max_input; kDataError when groups nest deeper than max_depth (out then holds the text
// before the deep group, so a bomb costs nothing but its own bytes).
std::int32_t ReadRichText(std::string_view bytes, RICH_TEXT& out, const RICH_TEXT_LIMITS& limits = {});

// Reads a file; kOpenFileError when it cannot be read, else as ReadRichText.
std::int32_t ReadRichTextFile(const std::string& path, RICH_TEXT& out, const RICH_TEXT_LIMITS& limits = {});

// Appends the UTF-8 form of a code point (U+FFFD for surrogates and values past U+10FFFF).
void AppendUtf8(std::string& out, std::uint32_t code_point);
// The Unicode code point of a cp1252 byte (U+FFFD for its five unassigned bytes).
std::uint32_t Cp1252ToUnicode(std::uint8_t byte);
// True when bytes are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);
