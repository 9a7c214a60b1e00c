// The lines of the small text files we edit in place (the settings file, the desktop's
// key files), read one way for all of them.
//
// A line ends at "\n". A "\r" before the "\n", or a bare "\r" that ends the text, belongs
// to the line break and not to the line's text. Adding a line after the last one first
// completes that line's break: nothing after "\n", a "\n" after a bare "\r" (so the two
// read as one break, as the line did before), the file's own break otherwise.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

struct TEXT_LINE {
    std::size_t begin = 0;    // the first byte
    std::size_t text_end = 0; // past the line's text: at its "\r" or "\n", or the text's end
    std::size_t end = 0;      // past its "\n" (the text's end for a last line without one)
};

std::vector<TEXT_LINE> SplitLines(std::string_view text);

// The line break a text uses: "\r\n" when its first "\n" follows a "\r", else "\n".
std::string_view LineBreakOf(std::string_view text);

// What goes after `text` before a new line can follow it: "" for an empty text or one
// that ends in "\n", "\n" after a bare "\r", else `line_break`.
std::string_view EndOfLastLine(std::string_view text, std::string_view line_break);
