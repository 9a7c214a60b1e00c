#include "platform/Ini_file.h"

#include "core/File_io.h"
#include "core/Replace_file.h"
#include "core/Result_codes.h"
#include "platform/Text_lines.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

bool LoadFile(const std::string& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool StoreFile(const std::string& path, const std::string& bytes)
{
    const int rc = ReplaceFileWith(path, [&bytes](const std::string& tmp) {
        FilePtr f = OpenForWrite(tmp);
        if (!f)
            return static_cast<int>(kOpenFileError);
        std::fwrite(bytes.data(), 1, bytes.size(), f.get());
        return FinishWrite(std::move(f));
    });
    return rc == kOk;
}

// The parsed view of one line.
struct Parsed {
    enum Kind { kOther, kSection, kKey } kind = kOther;
    std::string name;  // section or key name, trimmed
    std::string value; // key value, trimmed
};

Parsed ParseLine(const std::string& bytes, const TEXT_LINE& l)
{
    Parsed p;
    const std::string text = bytes.substr(l.begin, l.text_end - l.begin);
    if (text.find('\0') != std::string::npos)
        return p;
    const std::string t = Trim(text);
    if (t.empty() || t[0] == ';')
        return p;
    if (t[0] == '[') {
        const std::size_t close = t.find(']');
        if (close == std::string::npos)
            return p;
        p.kind = Parsed::kSection;
        p.name = Trim(t.substr(1, close - 1));
        return p;
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string::npos)
        return p;
    p.kind = Parsed::kKey;
    p.name = Trim(t.substr(0, eq));
    p.value = Trim(t.substr(eq + 1));
    if (p.value.size() >= 2 && (p.value.front() == '"' || p.value.front() == '\'') &&
        p.value.back() == p.value.front())
        p.value = p.value.substr(1, p.value.size() - 2);
    return p;
}

bool SameName(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

// Where a section and a key sit in the file.
struct Location {
    int section = -1;    // line index of the section header
    int last_entry = -1; // last key line of the section (or the header)
    int key = -1;        // line index of the key
    int section_end = -1; // first line after the section
    std::string value;
};

Location Find(const std::string& bytes, const std::vector<TEXT_LINE>& lines, const std::string& section,
              const std::string& key)
{
    Location loc;
    const std::string want_section = Trim(section);
    const std::string want_key = Trim(key);
    bool inside = false;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        const Parsed p = ParseLine(bytes, lines[static_cast<std::size_t>(i)]);
        if (p.kind == Parsed::kSection) {
            if (inside) {
                loc.section_end = i;
                return loc;
            }
            if (loc.section < 0 && SameName(p.name, want_section)) {
                inside = true;
                loc.section = i;
                loc.last_entry = i;
            }
        } else if (inside && p.kind == Parsed::kKey) {
            loc.last_entry = i;
            if (loc.key < 0 && !want_key.empty() && SameName(p.name, want_key)) {
                loc.key = i;
                loc.value = p.value;
            }
        }
    }
    if (inside)
        loc.section_end = static_cast<int>(lines.size());
    return loc;
}

bool IsWritableDirectory(const std::string& dir)
{
    struct stat st {};
    return !dir.empty() && stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && access(dir.c_str(), W_OK) == 0;
}

bool IsBlankOrEmpty(const std::string& s) { return Trim(s).empty(); }

bool HasLineBreakOrNul(const std::string& s) { return s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos; }

} // namespace

namespace ini_bytes {

std::optional<std::string> Read(const std::string& bytes, const std::string& section, const std::string& key)
{
    Location loc = Find(bytes, SplitLines(bytes), section, key);
    if (loc.key < 0)
        return std::nullopt;
    return std::move(loc.value);
}

bool HasSection(const std::string& bytes, const std::string& section)
{
    return Find(bytes, SplitLines(bytes), section, std::string()).section >= 0;
}

bool Write(std::string& bytes, const std::string& section, const std::string& key, const std::string& value)
{
    const std::string name = Trim(key);
    if (HasLineBreakOrNul(section) || HasLineBreakOrNul(key) || HasLineBreakOrNul(value) ||
        IsBlankOrEmpty(key) || name.find('=') != std::string::npos || name[0] == ';' || name[0] == '[' ||
        section.find(']') != std::string::npos)
        return false;
    const std::vector<TEXT_LINE> lines = SplitLines(bytes);
    const Location loc = Find(bytes, lines, section, key);
    const std::string br(LineBreakOf(bytes));
    const std::string entry = key + "=" + value;
    if (loc.key >= 0) {
        const TEXT_LINE& l = lines[static_cast<std::size_t>(loc.key)];
        bytes.replace(l.begin, l.text_end - l.begin, entry);
    } else if (loc.section >= 0) {
        const TEXT_LINE& l = lines[static_cast<std::size_t>(loc.last_entry)];
        bytes.insert(l.end, std::string(EndOfLastLine(std::string_view(bytes).substr(0, l.end), br)) + entry + br);
    } else {
        bytes += EndOfLastLine(bytes, br);
        bytes += "[" + section + "]" + br + entry + br;
    }
    return true;
}

bool DeleteKey(std::string& bytes, const std::string& section, const std::string& key)
{
    const std::vector<TEXT_LINE> lines = SplitLines(bytes);
    const Location loc = Find(bytes, lines, section, key);
    if (loc.key < 0)
        return false;
    const TEXT_LINE& l = lines[static_cast<std::size_t>(loc.key)];
    bytes.erase(l.begin, l.end - l.begin);
    return true;
}

bool EraseSection(std::string& bytes, const std::string& section)
{
    const std::vector<TEXT_LINE> lines = SplitLines(bytes);
    const Location loc = Find(bytes, lines, section, std::string());
    if (loc.section < 0)
        return false;
    const std::size_t begin = lines[static_cast<std::size_t>(loc.section)].begin;
    const std::size_t end = loc.section_end < static_cast<int>(lines.size())
                                ? lines[static_cast<std::size_t>(loc.section_end)].begin
                                : bytes.size();
    bytes.erase(begin, end - begin);
    return true;
}

} // namespace ini_bytes

bool IniFile::Exists() const
{
    struct stat st {};
    return stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string IniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const
{
    std::string bytes;
    if (!LoadFile(path_, bytes))
        return def;
    return ini_bytes::Read(bytes, section, key).value_or(def);
}

std::int32_t IniFile::ReadInteger(const std::string& section, const std::string& key, std::int32_t def) const
{
    const std::string s = ReadString(section, key, std::string());
    if (s.empty())
        return def;
    const char* b = s.data();
    const char* e = s.data() + s.size();
    bool negative = false;
    if (*b == '-' || *b == '+')
        negative = *b++ == '-';
    int base = 10;
    if (e - b > 2 && b[0] == '0' && (b[1] == 'x' || b[1] == 'X')) {
        b += 2;
        base = 16;
    }
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(b, e, v, base);
    if (ec != std::errc() || end != e || b == e)
        return def;
    v = negative ? -v : v;
    if (v < INT32_MIN || v > INT32_MAX)
        return def;
    return static_cast<std::int32_t>(v);
}

bool IniFile::SectionExists(const std::string& section) const
{
    std::string bytes;
    return LoadFile(path_, bytes) && ini_bytes::HasSection(bytes, section);
}

bool IniFile::ValueExists(const std::string& section, const std::string& key) const
{
    std::string bytes;
    return LoadFile(path_, bytes) && ini_bytes::Read(bytes, section, key).has_value();
}

bool IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    std::string bytes;
    LoadFile(path_, bytes); // a missing file is created
    return ini_bytes::Write(bytes, section, key, value) && StoreFile(path_, bytes);
}

bool IniFile::WriteInteger(const std::string& section, const std::string& key, std::int32_t value)
{
    return WriteString(section, key, std::to_string(value));
}

bool IniFile::DeleteKey(const std::string& section, const std::string& key)
{
    std::string bytes;
    if (!LoadFile(path_, bytes))
        return false;
    return !ini_bytes::DeleteKey(bytes, section, key) || StoreFile(path_, bytes);
}

bool IniFile::EraseSection(const std::string& section)
{
    std::string bytes;
    if (!LoadFile(path_, bytes))
        return false;
    return !ini_bytes::EraseSection(bytes, section) || StoreFile(path_, bytes);
}

bool IniFile::WriteRaw(const std::string& bytes) { return StoreFile(path_, bytes); }

std::string ExecutableDirectory()
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    std::string exe(buf, static_cast<std::size_t>(n));
    const std::size_t slash = exe.find_last_of('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash == 0 ? 1 : slash);
}

std::string SettingsDirectory(const std::string& exe_dir)
{
    if (const char* over = std::getenv("RAVELSCOPE_SETTINGS_DIR"); over != nullptr && *over != '\0')
        return over;
    if (IsWritableDirectory(exe_dir))
        return exe_dir;
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        base = std::string(home) + "/.config";
    else
        return exe_dir;
    mkdir(base.c_str(), 0700);
    const std::string dir = base + "/ravelscope";
    mkdir(dir.c_str(), 0700);
    return dir;
}
