// libFuzzer target for the settings file: any bytes as RVS.ini. Reads through the file and
// through the bytes agree; a value written reads back trimmed and unquoted; a write changes
// one line's text or only adds bytes; a delete or an erase removes whole lines and nothing else.
#include "platform/Ini_file.h"

#include <strings.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

std::string g_dir;
std::string g_path;

void RemoveTempFile()
{
    std::remove(g_path.c_str());
    rmdir(g_dir.c_str());
}

std::string Trimmed(const std::string& s)
{
    const std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// What a read gives back for a written value.
std::string AsRead(const std::string& value)
{
    std::string v = Trimmed(value);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

// The first name found between [ and ] and the first before '=', from the input itself.
void NamesFrom(const std::string& text, std::string& section, std::string& key)
{
    if (const std::size_t open = text.find('['); open != std::string::npos) {
        const std::size_t close = text.find_first_of("]\n", open);
        section = text.substr(open + 1, (close == std::string::npos ? text.size() : close) - open - 1);
    }
    if (const std::size_t eq = text.find('='); eq != std::string::npos) {
        const std::size_t line = text.rfind('\n', eq);
        const std::size_t b = line == std::string::npos ? 0 : line + 1;
        key = text.substr(b, eq - b);
    }
}

std::size_t CommonPrefix(const std::string& a, const std::string& b)
{
    std::size_t n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n])
        ++n;
    return n;
}

// True when `shorter` is `longer` with one run of whole lines taken out.
bool RemovedWholeLines(const std::string& longer, const std::string& shorter)
{
    if (shorter.size() >= longer.size())
        return false;
    const std::size_t removed = longer.size() - shorter.size();
    for (std::size_t at = 0; at <= shorter.size(); ++at) {
        if (longer.compare(0, at, shorter, 0, at) != 0)
            break;
        if (longer.compare(at + removed, std::string::npos, shorter, at, std::string::npos) == 0 &&
            (at == 0 || longer[at - 1] == '\n') &&
            (at + removed == longer.size() || longer[at + removed - 1] == '\n'))
            return true;
    }
    return false;
}

// True when every byte of `a` appears in `b` in order.
bool IsSubsequence(const std::string& a, const std::string& b)
{
    std::size_t j = 0;
    for (const char c : b)
        if (j < a.size() && a[j] == c)
            ++j;
    return j == a.size();
}

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

void Exercise(const std::string& text, const std::string& section, const std::string& key, const std::string& value)
{
    const std::optional<std::string> before = ini_bytes::Read(text, section, key);
    Check(!before || ini_bytes::HasSection(text, section));
    const std::optional<std::string> other = ini_bytes::Read(text, "Options", "Other key");

    std::string set = text;
    if (!ini_bytes::Write(set, section, key, value)) {
        Check(set == text);
        return;
    }
    Check(ini_bytes::Read(set, section, key) == AsRead(value));
    if (strcasecmp(Trimmed(key).c_str(), "Other key") != 0 || strcasecmp(Trimmed(section).c_str(), "Options") != 0)
        Check(ini_bytes::Read(set, "Options", "Other key") == other);
    if (before) {
        // Only the text of the key's line changed.
        const std::size_t p = CommonPrefix(text, set);
        std::size_t s = 0;
        while (s < text.size() - p && s < set.size() - p && text[text.size() - 1 - s] == set[set.size() - 1 - s])
            ++s;
        Check(text.find('\n', p) >= text.size() - s);
    } else {
        Check(IsSubsequence(text, set));
    }
    std::string again = set;
    Check(ini_bytes::Write(again, section, key, value) && again == set);

    std::string deleted = set;
    Check(ini_bytes::DeleteKey(deleted, section, key) && RemovedWholeLines(set, deleted));
    std::string erased = set;
    Check(ini_bytes::EraseSection(erased, section) && RemovedWholeLines(set, erased));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char pattern[] = "/tmp/ravelscope_fuzz_ini_XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        std::abort();
    g_dir = pattern;
    g_path = g_dir + "/RVS.ini";
    std::atexit(RemoveTempFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string section, key;
    NamesFrom(text, section, key);
    const std::string value = text.substr(text.size() / 2, 24);

    // The file's reads agree with the bytes' reads.
    IniFile ini(g_path);
    Check(ini.WriteRaw(text));
    for (const auto& [s, k] : {std::pair{section, key}, std::pair<std::string, std::string>{"Options", "Zoom"}}) {
        const std::optional<std::string> v = ini_bytes::Read(text, s, k);
        Check(ini.ReadString(s, k, "\x01") == v.value_or("\x01"));
        Check(ini.ValueExists(s, k) == v.has_value());
        Check(ini.SectionExists(s) == ini_bytes::HasSection(text, s));
        (void)ini.ReadInteger(s, k, -1);
    }
    if (ini.WriteString(section, key, value)) {
        std::string expected = text;
        Check(ini_bytes::Write(expected, section, key, value) && ini.ReadString(section, key, "") == AsRead(value));
    }

    Exercise(text, section, key, value);
    Exercise(text, "Options", "Zoom", value);
    Exercise(text, section, "Zoom", "\"" + value + "\"");
    return 0;
}
