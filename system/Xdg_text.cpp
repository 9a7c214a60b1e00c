#include "system/Xdg_text.h"

#include "platform/Text_lines.h"

#include <cstddef>

namespace {

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// The section name of a "[Name]" line.
std::optional<std::string_view> SectionOf(std::string_view line)
{
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']')
        return std::nullopt;
    return line.substr(1, line.size() - 2);
}

// Key and value of a "key=value" line (not a comment).
std::optional<std::pair<std::string_view, std::string_view>> KeyOf(std::string_view line)
{
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() == '#' || t.front() == '[')
        return std::nullopt;
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return std::make_pair(Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)));
}

struct Found {
    bool section = false;
    std::size_t insert_at = 0;       // after the section's last key line
    std::optional<TEXT_LINE> key_line; // the key's line
    std::string_view newline;        // the line break the file uses
};

Found Find(std::string_view text, std::string_view section, std::string_view key)
{
    Found f;
    const std::vector<TEXT_LINE> lines = SplitLines(text);
    f.newline = LineBreakOf(text);
    bool inside = false;
    bool done = false;
    for (const TEXT_LINE& l : lines) {
        const std::string_view body = text.substr(l.begin, l.text_end - l.begin);
        if (const auto name = SectionOf(body)) {
            if (inside)
                done = true; // the first section of the name counts
            inside = !done && *name == section;
            if (inside) {
                f.section = true;
                f.insert_at = l.end;
            }
            continue;
        }
        if (!inside)
            continue;
        if (const auto kv = KeyOf(body)) {
            f.insert_at = l.end;
            if (!f.key_line && kv->first == key)
                f.key_line = l;
        }
    }
    return f;
}

} // namespace

std::optional<std::string> KeyFileGet(std::string_view text, std::string_view section, std::string_view key)
{
    const Found f = Find(text, section, key);
    if (!f.key_line)
        return std::nullopt;
    return std::string(KeyOf(text.substr(f.key_line->begin, f.key_line->text_end - f.key_line->begin))->second);
}

std::string KeyFileSet(std::string_view text, std::string_view section, std::string_view key,
                       std::string_view value)
{
    const Found f = Find(text, section, key);
    std::string line = std::string(key) + "=" + std::string(value);
    std::string out;
    if (f.key_line) {
        out.append(text.substr(0, f.key_line->begin));
        out.append(line);
        out.append(text.substr(f.key_line->text_end));
        return out;
    }
    if (f.section) {
        out.append(text.substr(0, f.insert_at));
        out.append(EndOfLastLine(out, f.newline)); // the section's last line may end the file
        out.append(line).append(f.newline);
        out.append(text.substr(f.insert_at));
        return out;
    }
    out.assign(text);
    out.append(EndOfLastLine(out, f.newline));
    if (!out.empty())
        out.append(f.newline);
    out.append("[").append(section).append("]").append(f.newline);
    out.append(line).append(f.newline);
    return out;
}

std::string KeyFileRemove(std::string_view text, std::string_view section, std::string_view key)
{
    const Found f = Find(text, section, key);
    if (!f.key_line)
        return std::string(text);
    std::string out(text.substr(0, f.key_line->begin));
    out.append(text.substr(f.key_line->end));
    return out;
}

std::vector<std::string> SplitDesktopList(std::string_view value)
{
    std::vector<std::string> out;
    while (!value.empty()) {
        const std::size_t semi = value.find(';');
        const std::string_view item = Trim(value.substr(0, semi));
        if (!item.empty())
            out.emplace_back(item);
        if (semi == std::string_view::npos)
            break;
        value.remove_prefix(semi + 1);
    }
    return out;
}

std::string JoinDesktopList(const std::vector<std::string>& entries)
{
    std::string out;
    for (const std::string& e : entries)
        out.append(e).append(";");
    return out;
}

std::optional<std::string> DesktopExecQuote(std::string_view text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '%' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return std::nullopt;
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted.push_back('\\');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    std::string escaped;
    for (const char c : quoted) {
        if (c == '\\')
            escaped.push_back('\\');
        escaped.push_back(c);
    }
    return escaped;
}

std::string FileUri(std::string_view absolute_path)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "file://";
    for (const char ch : absolute_path) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}
