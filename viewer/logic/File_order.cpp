#include "viewer/logic/File_order.h"

#include "dec_enc/Exif_date.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <fstream>

namespace {

// The printable ASCII characters other than letters and digits in the collator's order.
constexpr std::string_view kPunctuation = " _-,;:!?.'\"()[]{}@*/\\&#%`^+<=>|~$";
// Latin-1's letters U+00C0..U+00FF folded to their base letter ('?' for the others).
constexpr std::string_view kLatin1Base = "AAAAAA?CEEEEIIIIDNOOOOO?OUUUUY??aaaaaa?ceeeeiiiidnooooo?ouuuuy?y";

constexpr std::uint32_t kNumberClass = 100; // after the punctuation, before the letters
constexpr std::uint32_t kLetterClass = 200;
constexpr std::uint32_t kOtherClass = 1000;

// One collation element: a character, or a run of digits.
struct ELEMENT {
    std::uint32_t primary = 0;
    std::string_view digits; // a number's digits without leading zeros (primary kNumberClass)
    std::uint32_t accent = 0;
    std::uint32_t upper = 0;
};

// The next code point of s at pos (a byte that starts no valid UTF-8 sequence stands for
// itself above Unicode's range).
std::uint32_t NextCodePoint(std::string_view s, std::size_t& pos)
{
    const auto b = static_cast<unsigned char>(s[pos]);
    const std::size_t extra = b >= 0xF8 ? 9 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : b >= 0x80 ? 9 : 0;
    std::uint32_t cp = extra == 3 ? b & 0x07u : extra == 2 ? b & 0x0Fu : extra == 1 ? b & 0x1Fu : b;
    bool valid = extra != 9 && pos + extra < s.size();
    for (std::size_t i = 1; valid && i <= extra; ++i) {
        const auto c = static_cast<unsigned char>(s[pos + i]);
        valid = (c & 0xC0) == 0x80;
        cp = (cp << 6) | (c & 0x3Fu);
    }
    if (!valid) {
        ++pos;
        return 0x110000u + b;
    }
    pos += extra + 1;
    return cp;
}

std::vector<ELEMENT> Elements(std::string_view s)
{
    std::vector<ELEMENT> out;
    out.reserve(s.size());
    std::size_t pos = 0;
    while (pos < s.size()) {
        const char c = s[pos];
        if (c >= '0' && c <= '9') {
            std::size_t end = pos;
            while (end < s.size() && s[end] >= '0' && s[end] <= '9')
                ++end;
            std::size_t first = pos;
            while (first + 1 < end && s[first] == '0')
                ++first;
            ELEMENT e;
            e.primary = kNumberClass;
            e.digits = s.substr(first, end - first);
            out.push_back(e);
            pos = end;
            continue;
        }
        const std::uint32_t cp = NextCodePoint(s, pos);
        ELEMENT e;
        if (cp < 0x20 || cp == 0x7F)
            continue; // control characters are ignored
        if (cp < 0x80) {
            const char ch = static_cast<char>(cp);
            if (ch >= 'a' && ch <= 'z') {
                e.primary = kLetterClass + static_cast<std::uint32_t>(ch - 'a');
            } else if (ch >= 'A' && ch <= 'Z') {
                e.primary = kLetterClass + static_cast<std::uint32_t>(ch - 'A');
                e.upper = 1;
            } else {
                e.primary = 1 + static_cast<std::uint32_t>(kPunctuation.find(ch));
            }
        } else if (cp >= 0xC0 && cp <= 0xFF && kLatin1Base[cp - 0xC0] != '?') {
            const char base = kLatin1Base[cp - 0xC0];
            const bool upper = base >= 'A' && base <= 'Z';
            e.primary = kLetterClass + static_cast<std::uint32_t>(upper ? base - 'A' : base - 'a');
            e.accent = upper ? cp + 0x20 : cp; // the same accent in both cases
            e.upper = upper ? 1 : 0;
        } else {
            e.primary = kOtherClass + cp;
        }
        out.push_back(e);
    }
    return out;
}

int Sign(int v)
{
    return (v > 0) - (v < 0);
}

int ComparePrimary(const ELEMENT& a, const ELEMENT& b)
{
    if (a.primary != b.primary)
        return a.primary < b.primary ? -1 : 1;
    if (a.primary != kNumberClass)
        return 0;
    if (a.digits.size() != b.digits.size())
        return a.digits.size() < b.digits.size() ? -1 : 1;
    return Sign(a.digits.compare(b.digits));
}

std::string_view NameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
}

std::string_view ExtensionOf(std::string_view name)
{
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string_view() : name.substr(dot + 1);
}

// The date taken of a JPEG file in seconds since the epoch; false without one.
bool DateTaken(const std::string& path, std::int64_t& seconds)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char head[2] = {};
    if (!in.read(reinterpret_cast<char*>(head), 2) || head[0] != 0xFF || head[1] != 0xD8)
        return false;
    std::vector<std::uint8_t> bytes(256 * 1024);
    bytes[0] = head[0];
    bytes[1] = head[1];
    in.read(reinterpret_cast<char*>(bytes.data() + 2), static_cast<std::streamsize>(bytes.size() - 2));
    bytes.resize(2 + static_cast<std::size_t>(in.gcount()));
    EXIF_DATE d;
    if (!ExifDateTaken(bytes, d))
        return false;
    std::tm t{};
    t.tm_year = d.year - 1900;
    t.tm_mon = d.month - 1;
    t.tm_mday = d.day;
    t.tm_hour = d.hour;
    t.tm_min = d.minute;
    t.tm_sec = d.second;
    t.tm_isdst = -1;
    const std::time_t local = std::mktime(&t);
    if (local == static_cast<std::time_t>(-1) && !(d.year == 1969 && d.month == 12 && d.day == 31))
        return false;
    seconds = static_cast<std::int64_t>(local);
    return true;
}

} // namespace

int NaturalCompare(std::string_view a, std::string_view b)
{
    const std::vector<ELEMENT> ea = Elements(a), eb = Elements(b);
    const std::size_t n = std::min(ea.size(), eb.size());
    for (std::size_t i = 0; i < n; ++i)
        if (const int c = ComparePrimary(ea[i], eb[i]); c != 0)
            return c;
    if (ea.size() != eb.size())
        return ea.size() < eb.size() ? -1 : 1;
    for (std::size_t i = 0; i < n; ++i)
        if (ea[i].accent != eb[i].accent)
            return ea[i].accent < eb[i].accent ? -1 : 1;
    for (std::size_t i = 0; i < n; ++i)
        if (ea[i].upper != eb[i].upper)
            return ea[i].upper < eb[i].upper ? -1 : 1;
    return 0;
}

std::vector<FILE_FACTS> ReadFileFacts(const std::vector<std::string>& paths, SortKey key)
{
    std::vector<FILE_FACTS> out;
    out.reserve(paths.size());
    for (const std::string& path : paths) {
        FILE_FACTS f;
        f.path = path;
        struct stat st {};
        if (key != SortKey::kName && key != SortKey::kType) {
            if (stat(path.c_str(), &st) == 0) {
                f.modified_ns = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
                f.size = static_cast<std::int64_t>(st.st_size);
                f.taken_s = static_cast<std::int64_t>(st.st_mtim.tv_sec);
            } else {
                f.size = -1;
            }
        }
        if (key == SortKey::kDateTaken)
            DateTaken(path, f.taken_s);
        out.push_back(std::move(f));
    }
    return out;
}

void SortFiles(std::vector<FILE_FACTS>& files, SORT_ORDER order, const NameCompare& compare)
{
    const auto names = [&](std::string_view a, std::string_view b) {
        const int c = compare ? compare(a, b) : NaturalCompare(a, b);
        return c != 0 ? c : Sign(a.compare(b));
    };
    const auto key = [&](const FILE_FACTS& a, const FILE_FACTS& b) -> int {
        switch (order.key) {
        case SortKey::kName:
            return 0;
        case SortKey::kDateTaken:
            return a.taken_s == b.taken_s ? 0 : a.taken_s < b.taken_s ? -1 : 1;
        case SortKey::kModified:
            return a.modified_ns == b.modified_ns ? 0 : a.modified_ns < b.modified_ns ? -1 : 1;
        case SortKey::kSize:
            return a.size == b.size ? 0 : a.size < b.size ? -1 : 1;
        case SortKey::kType: {
            const std::string_view ta = ExtensionOf(NameOf(a.path)), tb = ExtensionOf(NameOf(b.path));
            const int c = compare ? compare(ta, tb) : NaturalCompare(ta, tb);
            return c;
        }
        }
        return 0;
    };
    std::stable_sort(files.begin(), files.end(), [&](const FILE_FACTS& a, const FILE_FACTS& b) {
        int c = key(a, b);
        if (c != 0)
            return order.descending ? c > 0 : c < 0;
        if (order.key == SortKey::kName && order.descending)
            return names(NameOf(a.path), NameOf(b.path)) > 0;
        c = names(NameOf(a.path), NameOf(b.path));
        if (c != 0)
            return c < 0;
        return a.path < b.path;
    });
}

std::vector<std::string> SortedFileList(const std::vector<std::string>& paths, SORT_ORDER order,
                                        const NameCompare& compare)
{
    std::vector<FILE_FACTS> files = ReadFileFacts(paths, order.key);
    SortFiles(files, order, compare);
    std::vector<std::string> out;
    out.reserve(files.size());
    for (FILE_FACTS& f : files)
        out.push_back(std::move(f.path));
    return out;
}
