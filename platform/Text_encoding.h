// Text of no declared encoding (a plain-text document, an ID3 tag, a file name) turned
// into UTF-8 one way for the whole program: bytes that are well-formed UTF-8 are taken as
// they are, and any other text is read byte for byte in a fallback encoding that the
// caller names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum class TextFallback : std::uint8_t {
    kLatin1, // ISO 8859-1: every byte is the code point of its value (ID3v1 tags)
    kCp1252, // Windows-1252: 0x80 to 0x9F are the typographic marks (plain-text documents)
};

inline constexpr std::uint32_t kReplacementCharacter = 0xFFFD;

// The length of the well-formed UTF-8 sequence at s[i], or 0 when none starts there
// (overlong forms, surrogates, code points past U+10FFFF and cut sequences included).
std::size_t Utf8SequenceAt(std::string_view s, std::size_t i);
// True when bytes are well-formed UTF-8 throughout.
bool IsValidUtf8(std::string_view bytes);
// Appends the UTF-8 form of a code point (U+FFFD for surrogates and values past U+10FFFF).
void AppendUtf8(std::string& out, std::uint32_t code_point);
// The Unicode code point of a byte in the fallback encoding (U+FFFD for cp1252's five
// unassigned bytes).
std::uint32_t FallbackToUnicode(std::uint8_t byte, TextFallback fallback);
// The cp1252 case of it, which the rich-text reader's "\'hh" escapes use too.
inline std::uint32_t Cp1252ToUnicode(std::uint8_t byte) { return FallbackToUnicode(byte, TextFallback::kCp1252); }
// The bytes as UTF-8: unchanged when they are valid UTF-8, else every byte read in the
// fallback encoding.
std::string AsUtf8(std::string_view bytes, TextFallback fallback);
