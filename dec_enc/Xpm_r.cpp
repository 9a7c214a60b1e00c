// X pixmaps (.XPM): C source text.
//
//   /* XPM */
//   static char *name[] = {
//   /* width height ncolors chars_per_pixel */
//   "16 8 3 1",                 values, optionally followed by a hot spot; some writers
//                               leave the quotes off this line
//   /* colors */
//   ". c #FFFFFF",              one string per colour: its code (chars_per_pixel
//   "+ c red",                  characters), then key/value pairs: c (colour), g, g4,
//   "@ c None",                 m (grey and mono), s (symbolic name)
//   /* pixels */
//   "..++@@..++@@..++",         one string per row: width codes
//   ...};
//
// Colours: "#" with 1 to 4 hexadecimal digits per channel, or an X11 colour name (case and
// spaces ignored). "None" (transparent), unknown names and codes without a colour line
// show white. Rows that the file lacks, and the end of a short row, are black.
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/X11_colours.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF; // red << 16 | green << 8 | blue
constexpr int kMaxCharsPerPixel = 8;

// Walks the C text: skips comments, punctuation and declarations between strings.
class XpmText {
public:
    explicit XpmText(std::string_view text) : s_(text) {}

    // The next quoted string; false at the end of the text or the closing brace.
    bool NextString(std::string_view& out)
    {
        for (;;) {
            SkipBlanks();
            if (pos_ >= s_.size() || s_[pos_] == '}')
                return false;
            if (s_[pos_] == '"') {
                const std::size_t start = ++pos_;
                const std::size_t end = s_.find('"', start);
                const std::size_t stop = end == std::string_view::npos ? s_.size() : end;
                out = s_.substr(start, stop - start);
                pos_ = end == std::string_view::npos ? s_.size() : end + 1;
                return true;
            }
            ++pos_;
        }
    }
    // The values: the first string after the declaration's brace, or a line of bare
    // numbers when the writer left the quotes off.
    bool Values(std::string_view& out)
    {
        const std::size_t brace = FindOutsideComments('{');
        pos_ = brace == std::string_view::npos ? 0 : brace + 1;
        for (;;) {
            SkipBlanks();
            if (pos_ >= s_.size())
                return false;
            const char c = s_[pos_];
            if (c == '"')
                return NextString(out);
            if (std::isdigit(static_cast<unsigned char>(c))) {
                const std::size_t eol = s_.find('\n', pos_);
                const std::size_t stop = eol == std::string_view::npos ? s_.size() : eol;
                out = s_.substr(pos_, stop - pos_);
                pos_ = stop;
                return true;
            }
            // Skips a declaration word ("static", "char", a name) or punctuation.
            ++pos_;
        }
    }

private:
    void SkipBlanks()
    {
        while (pos_ < s_.size()) {
            const char c = s_[pos_];
            if (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '*') {
                const std::size_t end = s_.find("*/", pos_ + 2);
                pos_ = end == std::string_view::npos ? s_.size() : end + 2;
            } else if (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '/') {
                const std::size_t end = s_.find('\n', pos_);
                pos_ = end == std::string_view::npos ? s_.size() : end + 1;
            } else if (std::isspace(static_cast<unsigned char>(c)) || c == ',') {
                ++pos_;
            } else {
                return;
            }
        }
    }
    std::size_t FindOutsideComments(char wanted)
    {
        pos_ = 0;
        while (pos_ < s_.size()) {
            SkipBlanks();
            if (pos_ >= s_.size())
                break;
            if (s_[pos_] == '"')
                return std::string_view::npos; // strings before any brace: no declaration
            if (s_[pos_] == wanted)
                return pos_;
            ++pos_;
        }
        return std::string_view::npos;
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

// Reads up to n unsigned decimal numbers; returns how many were found.
int ReadNumbers(std::string_view s, std::int64_t* out, int n)
{
    int found = 0;
    std::size_t i = 0;
    while (found < n && i < s.size()) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) {
            if (!std::isspace(static_cast<unsigned char>(s[i])))
                return found;
            ++i;
            continue;
        }
        std::int64_t v = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
            v = std::min<std::int64_t>(v * 10 + (s[i++] - '0'), std::int64_t{1} << 40);
        out[found++] = v;
    }
    return found;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// A colour value: "#rgb" with 1 to 4 digits per channel, or an X11 name. Unknown: white.
std::uint32_t ParseColour(std::string_view v)
{
    if (!v.empty() && v[0] == '#') {
        const std::string_view digits = v.substr(1);
        const std::size_t n = digits.size() / 3;
        if (n < 1 || n > 4 || digits.size() % 3 != 0)
            return kWhite;
        std::uint32_t rgb = 0;
        for (int c = 0; c < 3; ++c) {
            std::uint32_t value = 0;
            for (std::size_t i = 0; i < n; ++i) {
                const int d = HexDigit(digits[static_cast<std::size_t>(c) * n + i]);
                if (d < 0)
                    return kWhite;
                value = value << 4 | static_cast<std::uint32_t>(d);
            }
            // The top eight bits of the channel; one digit is repeated (#f00 is #ff0000).
            const std::uint32_t byte = n == 1 ? value * 17 : value >> (4 * n - 8);
            rgb = rgb << 8 | byte;
        }
        return rgb;
    }
    std::string key;
    for (char c : v)
        if (c != ' ')
            key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto* end = std::end(kX11Colours);
    const auto* it = std::lower_bound(std::begin(kX11Colours), end, key,
                                      [](const X11_COLOUR& e, const std::string& k) { return k.compare(e.name) > 0; });
    if (it != end && key == it->name)
        return std::uint32_t{it->red} << 16 | std::uint32_t{it->green} << 8 | it->blue;
    return kWhite; // "None" and names we do not know
}

// The colour of a colour line after its code: the "c" value, else "g", "g4", "m".
std::uint32_t ColourOfLine(std::string_view rest)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < rest.size()) {
        while (i < rest.size() && std::isspace(static_cast<unsigned char>(rest[i])))
            ++i;
        const std::size_t start = i;
        while (i < rest.size() && !std::isspace(static_cast<unsigned char>(rest[i])))
            ++i;
        if (i > start)
            words.push_back(rest.substr(start, i - start));
    }
    auto is_key = [](std::string_view w) { return w == "c" || w == "g" || w == "g4" || w == "m" || w == "s"; };
    std::string_view best_key;
    std::string best;
    static constexpr std::string_view kPreference[] = {"c", "g", "g4", "m"};
    auto rank = [](std::string_view k) {
        for (std::size_t r = 0; r < 4; ++r)
            if (kPreference[r] == k)
                return static_cast<int>(r);
        return 99;
    };
    for (std::size_t w = 0; w < words.size();) {
        if (!is_key(words[w])) {
            ++w;
            continue;
        }
        const std::string_view key = words[w++];
        std::string value;
        while (w < words.size() && !is_key(words[w])) {
            if (!value.empty())
                value += ' ';
            value += words[w++];
        }
        if (!value.empty() && rank(key) < rank(best_key.empty() ? "s" : best_key)) {
            best_key = key;
            best = value;
        }
    }
    return best_key.empty() ? kWhite : ParseColour(best);
}

std::uint64_t CodeOf(const char* p, int cpp)
{
    std::uint64_t code = 0;
    for (int i = 0; i < cpp; ++i)
        code = code << 8 | static_cast<unsigned char>(p[i]);
    return code;
}

int ReadXpmText(CODEC_CTX& ctx, std::string_view text)
{
    XpmText in(text);
    std::string_view values;
    if (!in.Values(values))
        return kDataError;
    std::int64_t v[4] = {};
    if (ReadNumbers(values, v, 4) < 4)
        return kDataError;
    const std::int64_t width = v[0], height = v[1], ncolors = v[2], cpp = v[3];
    if (width > 4096 && height > 4096)
        return kImageTooLarge;
    if (width < 1 || height < 1 || ncolors < 1 || cpp < 1)
        return kDataError;
    if (cpp > kMaxCharsPerPixel)
        return kFormatNotSupported;
    // Each colour line takes at least its code and a quote pair; each row its codes.
    if (static_cast<std::uint64_t>(ncolors) * static_cast<std::uint64_t>(cpp + 2) > text.size())
        return kDataError;
    if (PictureBytes(width, height, 3) == SIZE_MAX)
        return kImageTooLarge;
    const auto ucpp = static_cast<std::uint64_t>(cpp);
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * ucpp / 8 > text.size())
        return kDataError;

    // One- and two-character codes index a table; longer ones a hash map.
    const int n = static_cast<int>(cpp);
    std::vector<std::uint32_t> table(n <= 2 ? std::size_t{1} << (8 * n) : 0, kWhite);
    std::unordered_map<std::uint64_t, std::uint32_t> map;
    std::string_view line;
    for (std::int64_t c = 0; c < ncolors; ++c) {
        if (!in.NextString(line))
            return kDataError;
        if (line.size() < ucpp)
            continue;
        const std::uint64_t code = CodeOf(line.data(), n);
        const std::uint32_t rgb = ColourOfLine(line.substr(static_cast<std::size_t>(cpp)));
        if (n <= 2)
            table[code] = rgb;
        else
            map[code] = rgb;
    }

    if (int rc = ctx.ReserveDecoded(width, height); rc != kOk)
        return rc;
    ctx.width = static_cast<std::int32_t>(width);
    ctx.height = static_cast<std::int32_t>(height);
    ctx.bits_per_pixel = ncolors > 256 ? 24 : 8;
    const auto w = static_cast<std::size_t>(width);
    for (int y = 0; y < ctx.height; ++y) {
        if (!in.NextString(line)) {
            FillMissingRows(ctx, y);
            break;
        }
        std::uint8_t* out = ctx.DecodedRow(y);
        const std::size_t have = std::min(w, line.size() / static_cast<std::size_t>(n));
        const char* p = line.data();
        for (std::size_t x = 0; x < have; ++x, p += n, out += 3) {
            const std::uint64_t code = CodeOf(p, n);
            std::uint32_t rgb = kWhite;
            if (n <= 2) {
                rgb = table[code];
            } else if (auto it = map.find(code); it != map.end()) {
                rgb = it->second;
            }
            out[0] = static_cast<std::uint8_t>(rgb);
            out[1] = static_cast<std::uint8_t>(rgb >> 8);
            out[2] = static_cast<std::uint8_t>(rgb >> 16);
        }
        std::memset(out, 0, (w - have) * 3); // a short row ends in black
    }
    return kOk;
}

} // namespace

int DecodeXpm(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    try {
        return ReadXpmText(ctx, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    } catch (const std::bad_alloc&) {
        return kMemoryError;
    } catch (...) {
        return kUnknownError;
    }
}
