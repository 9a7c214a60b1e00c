// Reading and editing the freedesktop key files we touch (mimeapps.list, desktop entries)
// as text, so that every byte we do not change stays as it was: comments, blank lines,
// other sections, keys we do not know and their spelling.
//
// A section starts at a line "[Name]"; a key line is "key=value" (blanks around "=" and
// at the line's ends are not part of the key or value). Sections and keys match exactly,
// as the key-file format says. The first section of a name and the first key of a name
// in it count. Lines are read as platform/Text_lines.h reads them, the settings file's
// way: a "\r" before "\n" or ending the file is part of the line break, and a CRLF
// file keeps its breaks. Any bytes are accepted.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The value of key in section, or nothing.
std::optional<std::string> KeyFileGet(std::string_view text, std::string_view section, std::string_view key);
// The text with key set to value: the key's line replaced when it exists, else a line
// added after the section's last key (the section added at the end when missing).
std::string KeyFileSet(std::string_view text, std::string_view section, std::string_view key,
                       std::string_view value);
// The text without the key's line (unchanged when there is none).
std::string KeyFileRemove(std::string_view text, std::string_view section, std::string_view key);

// "a.desktop;b.desktop;" as its entries, empty ones dropped.
std::vector<std::string> SplitDesktopList(std::string_view value);
// Entries joined with ";" after each, as the lists are written.
std::string JoinDesktopList(const std::vector<std::string>& entries);

// A path or argument quoted for an Exec line of a desktop entry: inside double quotes,
// with backslash before '"', '`', '$' and '\\', then each backslash doubled once more for
// the string-value escaping of the key file. Nothing when the text holds '%' (a field
// code to the launcher, which GIO drops without a word), a control character or a line break.
std::optional<std::string> DesktopExecQuote(std::string_view text);

// A path as a file URI: every byte but the unreserved ones and '/' percent-encoded.
std::string FileUri(std::string_view absolute_path);
