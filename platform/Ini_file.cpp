#include "platform/Ini_file.h"

#include "base/File_io.h"
#include "base/Result_codes.h"
#include "platform/Text_lines.h"
#include "platform/Xdg_dirs.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
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

namespace {

// One change kept for a settings file.
struct KEPT_CHANGE {
    enum Kind { kWrite, kDelete, kErase, kRaw } kind = kWrite;
    std::string section;
    std::string key;
    std::string value;
};

struct KEPT_SETTINGS {
    std::vector<KEPT_CHANGE> changes;
    bool in_memory = false; // KeepSettingsInMemory
    std::string reason;     // ... and why
};

// The changes kept for every settings path of the process, under one mutex (the file
// access of reads and flushes included, so a flush and a read never see half of a change).
std::mutex g_kept_mutex;
std::map<std::string, KEPT_SETTINGS>& Kept()
{
    static std::map<std::string, KEPT_SETTINGS> kept;
    return kept;
}

bool SameTrimmed(const std::string& a, const std::string& b) { return SameName(Trim(a), Trim(b)); }

// The file's bytes with the kept changes applied; false when there is no file and nothing
// kept (the file does not exist).
bool Current(const std::string& path, std::string& bytes)
{
    const auto it = Kept().find(path);
    const bool in_memory = it != Kept().end() && it->second.in_memory;
    bool exists = !in_memory && ReadTextFile(path, bytes) == kOk;
    if (!exists)
        bytes.clear();
    if (it == Kept().end())
        return exists;
    for (const KEPT_CHANGE& c : it->second.changes) {
        switch (c.kind) {
        case KEPT_CHANGE::kWrite:
            ini_bytes::Write(bytes, c.section, c.key, c.value);
            break;
        case KEPT_CHANGE::kDelete:
            ini_bytes::DeleteKey(bytes, c.section, c.key);
            break;
        case KEPT_CHANGE::kErase:
            ini_bytes::EraseSection(bytes, c.section);
            break;
        case KEPT_CHANGE::kRaw:
            bytes = c.value;
            break;
        }
    }
    return exists || !it->second.changes.empty();
}

// Keeps a change. A write of a key whose last change is a write takes that change's place,
// so a run that moves a dialog a hundred times keeps one change for each key.
void Keep(const std::string& path, KEPT_CHANGE change)
{
    std::vector<KEPT_CHANGE>& changes = Kept()[path].changes;
    if (change.kind == KEPT_CHANGE::kWrite)
        for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
            const bool same_section = SameTrimmed(it->section, change.section);
            if (it->kind == KEPT_CHANGE::kRaw || (it->kind == KEPT_CHANGE::kErase && same_section))
                break;
            if (same_section && SameTrimmed(it->key, change.key)) {
                if (it->kind == KEPT_CHANGE::kWrite) {
                    it->value = std::move(change.value);
                    return;
                }
                break;
            }
        }
    changes.push_back(std::move(change));
}

} // namespace

bool IniFile::Exists() const
{
    std::lock_guard lock(g_kept_mutex);
    std::string bytes;
    return Current(path_, bytes);
}

std::string IniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const
{
    std::lock_guard lock(g_kept_mutex);
    std::string bytes;
    if (!Current(path_, bytes))
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
    std::lock_guard lock(g_kept_mutex);
    std::string bytes;
    return Current(path_, bytes) && ini_bytes::HasSection(bytes, section);
}

bool IniFile::ValueExists(const std::string& section, const std::string& key) const
{
    std::lock_guard lock(g_kept_mutex);
    std::string bytes;
    return Current(path_, bytes) && ini_bytes::Read(bytes, section, key).has_value();
}

bool IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    std::string check;
    if (!ini_bytes::Write(check, section, key, value))
        return false;
    std::lock_guard lock(g_kept_mutex);
    Keep(path_, {KEPT_CHANGE::kWrite, section, key, value});
    return true;
}

bool IniFile::WriteInteger(const std::string& section, const std::string& key, std::int32_t value)
{
    return WriteString(section, key, std::to_string(value));
}

bool IniFile::DeleteKey(const std::string& section, const std::string& key)
{
    std::lock_guard lock(g_kept_mutex);
    std::string bytes;
    if (!Current(path_, bytes) || !ini_bytes::Read(bytes, section, key).has_value())
        return false;
    Keep(path_, {KEPT_CHANGE::kDelete, section, key, {}});
    return true;
}

bool IniFile::EraseSection(const std::string& section)
{
    std::lock_guard lock(g_kept_mutex);
    std::string bytes;
    if (!Current(path_, bytes) || !ini_bytes::HasSection(bytes, section))
        return false;
    Keep(path_, {KEPT_CHANGE::kErase, section, {}, {}});
    return true;
}

bool IniFile::WriteRaw(const std::string& bytes)
{
    std::lock_guard lock(g_kept_mutex);
    KEPT_SETTINGS& kept = Kept()[path_];
    if (kept.in_memory) {
        kept.changes.assign(1, {KEPT_CHANGE::kRaw, {}, {}, bytes});
        return true;
    }
    if (ReplaceTextFile(path_, bytes) != kOk)
        return false;
    kept.changes.clear(); // the whole file is replaced: what was kept is gone with it
    return true;
}

int IniFile::Flush(std::string* reason)
{
    std::lock_guard lock(g_kept_mutex);
    const auto it = Kept().find(path_);
    if (it == Kept().end() || it->second.changes.empty())
        return kOk;
    if (it->second.in_memory) {
        if (reason != nullptr)
            *reason = it->second.reason;
        return kOpenFileError;
    }
    std::string on_disk;
    const bool existed = ReadTextFile(path_, on_disk) == kOk;
    std::string bytes;
    Current(path_, bytes);
    if (existed && bytes == on_disk) {
        it->second.changes.clear();
        return kOk;
    }
    int sys_error = 0;
    const int rc = ReplaceTextFile(path_, bytes, &sys_error);
    if (rc != kOk) {
        if (reason != nullptr) {
            char buf[256];
            *reason = sys_error != 0 ? strerror_r(sys_error, buf, sizeof buf) : "the file could not be written";
        }
        return rc;
    }
    it->second.changes.clear();
    return kOk;
}

bool IniFile::HasUnsaved() const
{
    std::lock_guard lock(g_kept_mutex);
    const auto it = Kept().find(path_);
    return it != Kept().end() && !it->second.changes.empty();
}

void KeepSettingsInMemory(const std::string& path, const std::string& reason)
{
    std::lock_guard lock(g_kept_mutex);
    KEPT_SETTINGS& kept = Kept()[path];
    kept.in_memory = true;
    kept.reason = reason;
}

std::string SettingsNotSavedText(const std::string& path, const std::string& reason)
{
    return "Settings not saved: " + path + (reason.empty() ? std::string() : " (" + reason + ")");
}

std::string ExecutableDirectory()
{
    std::error_code e;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", e);
    return e ? std::string() : exe.parent_path().string();
}

std::string SettingsDirectory(const std::string& exe_dir, std::string* refusal)
{
    if (const char* over = std::getenv("RAVELSCOPE_SETTINGS_DIR"); over != nullptr && *over != '\0')
        return over;
    if (IsWritableDirectory(exe_dir))
        return exe_dir;
    const XDG_DIR config = UserDirectory(XdgDir::kConfig);
    if (!config.Ok()) {
        if (refusal != nullptr)
            *refusal = config.error;
        return {};
    }
    mkdir(config.path.c_str(), 0700);
    const std::string dir = config.path + "/ravelscope";
    mkdir(dir.c_str(), 0700);
    return dir;
}
