// The text viewer's reader: rich text (the subset a viewer needs: groups, paragraphs, tabs,
// bold, italic, underline, font size, cp1252 and Unicode characters) turned into runs of
// UTF-8 text with their character formatting. Everything else a rich-text file carries
// (fonts, colours, styles, document facts, pictures, ignorable destinations) is skipped.
// A file that does not start with "{\rtf" is plain text: UTF-8 when it is valid UTF-8,
// otherwise cp1252. The text is never interpreted as markup by whoever shows it.
#pragma once

#include "platform/Text_encoding.h" // the plain-text rule: UTF-8, else TextFallback::kCp1252

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

// What the text viewer says for a result of ReadRichTextFile: texts of its own for a file
// over the limit ("Text Too Large. (the text viewer shows files of up to 64 MiB)") and for
// groups nested too deep; the result text otherwise ("Open File Error.").
std::string TextFileResultText(std::int32_t rc, const RICH_TEXT_LIMITS& limits = {});

