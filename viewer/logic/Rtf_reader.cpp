#include "viewer/logic/Rtf_reader.h"

#include "base/File_io.h"
#include "base/Result_codes.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

constexpr std::uint32_t kReplacement = kReplacementCharacter;

// Groups whose whole content is skipped when their first control word is one of these.
constexpr std::array<std::string_view, 27> kSkippedDestinations = {
    "fonttbl", "colortbl", "stylesheet", "info", "pict", "header", "headerl", "headerr", "headerf",
    "footer", "footerl", "footerr", "footerf", "object", "fldinst", "datastore", "themedata",
    "colorschememapping", "latentstyles", "listtable", "listoverridetable", "rsidtbl", "generator",
    "xmlnstbl", "filetbl", "revtbl", "nonshppict",
};

struct FORMAT {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    std::int32_t half_points = 24;
};

struct GROUP {
    FORMAT format;
    std::int32_t uc = 1;   // fallback characters after \uN
    bool skip = false;     // inside a skipped destination
    bool fresh = true;     // no control word or text seen yet in this group
};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class TEXT_SINK {
public:
    TEXT_SINK(RICH_TEXT& out, std::size_t max_text) : out_(out), max_text_(max_text) {}

    void Put(std::uint32_t cp, const FORMAT& format)
    {
        if (high_ != 0) {
            const std::uint32_t high = high_;
            high_ = 0;
            if (cp >= 0xDC00 && cp <= 0xDFFF) {
                Append(0x10000 + ((high - 0xD800) << 10) + (cp - 0xDC00), format);
                return;
            }
            Append(kReplacement, format);
        }
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            high_ = cp;
            return;
        }
        Append(cp, format);
    }

    // A high surrogate still waiting for its partner at the end shows as U+FFFD.
    void Finish(const FORMAT& format)
    {
        if (high_ != 0) {
            high_ = 0;
            Append(kReplacement, format);
        }
    }

private:
    void Append(std::uint32_t cp, const FORMAT& format)
    {
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            cp = kReplacement;
        const std::size_t size = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
        if (used_ + size > max_text_) {
            out_.truncated = true;
            return;
        }
        used_ += size;
        auto& runs = out_.runs;
        const auto same = [&](const TEXT_RUN& r) {
            return r.bold == format.bold && r.italic == format.italic && r.underline == format.underline
                && r.half_points == format.half_points;
        };
        if (runs.empty() || !same(runs.back())) {
            TEXT_RUN run;
            run.bold = format.bold;
            run.italic = format.italic;
            run.underline = format.underline;
            run.half_points = format.half_points;
            runs.push_back(std::move(run));
        }
        AppendUtf8(runs.back().text, cp);
    }

    RICH_TEXT& out_;
    std::size_t max_text_;
    std::size_t used_ = 0;
    std::uint32_t high_ = 0;
};

class RTF_PARSER {
public:
    RTF_PARSER(std::string_view in, RICH_TEXT& out, const RICH_TEXT_LIMITS& limits)
        : in_(in), limits_(limits), sink_(out, limits.max_text), out_(out)
    {
    }

    std::int32_t Run()
    {
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            if (c == '{') {
                if (static_cast<std::int32_t>(stack_.size()) >= limits_.max_depth)
                    return Finish(kDataError);
                fallback_ = 0;
                star_ = false;
                GROUP g = stack_.empty() ? GROUP {} : stack_.back();
                g.fresh = true;
                stack_.push_back(g);
            } else if (c == '}') {
                fallback_ = 0;
                star_ = false;
                if (stack_.empty())
                    continue;
                stack_.pop_back();
                if (stack_.empty())
                    return Finish(kOk); // the document's own group closed: what follows is not read
            } else if (c == '\\') {
                Control();
            } else if (c == '\r' || c == '\n') {
                continue;
            } else if (!stack_.empty()) {
                stack_.back().fresh = false;
                star_ = false;
                if (Fallback())
                    continue;
                if (static_cast<std::uint8_t>(c) < 0x20 && c != '\t')
                    continue;
                Put(Cp1252ToUnicode(static_cast<std::uint8_t>(c)));
            }
        }
        if (!stack_.empty())
            out_.truncated = true;
        return Finish(kOk);
    }

private:
    std::int32_t Finish(std::int32_t rc)
    {
        sink_.Finish(stack_.empty() ? FORMAT {} : stack_.back().format);
        return rc;
    }

    GROUP& Top() { return stack_.back(); }

    // True when the character in hand is one of the fallback characters after \uN.
    bool Fallback()
    {
        if (fallback_ == 0)
            return false;
        --fallback_;
        return true;
    }

    void Put(std::uint32_t cp)
    {
        if (!Top().skip)
            sink_.Put(cp, Top().format);
    }

    void Control()
    {
        if (pos_ >= in_.size())
            return;
        if (!IsLetter(in_[pos_])) {
            Symbol(in_[pos_++]);
            return;
        }
        const std::size_t start = pos_;
        while (pos_ < in_.size() && IsLetter(in_[pos_]))
            ++pos_;
        const std::string_view word = in_.substr(start, std::min<std::size_t>(pos_ - start, 32));
        bool has_param = false;
        bool negative = false;
        std::int64_t param = 0;
        if (pos_ < in_.size() && (IsDigit(in_[pos_]) || (in_[pos_] == '-' && pos_ + 1 < in_.size() && IsDigit(in_[pos_ + 1])))) {
            has_param = true;
            negative = in_[pos_] == '-';
            if (negative)
                ++pos_;
            while (pos_ < in_.size() && IsDigit(in_[pos_])) {
                param = std::min<std::int64_t>(param * 10 + (in_[pos_] - '0'), 0x7FFFFFFF);
                ++pos_;
            }
            if (negative)
                param = -param;
        }
        if (pos_ < in_.size() && in_[pos_] == ' ')
            ++pos_;
        if (stack_.empty())
            return;
        if (word == "bin") {
            // Binary data of the given length follows and is never text.
            if (has_param && param > 0)
                pos_ += std::min<std::size_t>(static_cast<std::size_t>(param), in_.size() - pos_);
            return;
        }
        GROUP& g = Top();
        const bool first = g.fresh;
        g.fresh = false;
        if (star_) {
            star_ = false; // a group opened by "\*" is a destination this reader does not show
            g.skip = true;
            return;
        }
        if (first && std::find(kSkippedDestinations.begin(), kSkippedDestinations.end(), word) != kSkippedDestinations.end()) {
            g.skip = true;
            return;
        }
        if (Fallback())
            return;
        Word(word, has_param, param);
    }

    void Word(std::string_view word, bool has_param, std::int64_t param)
    {
        GROUP& g = Top();
        const bool on = !has_param || param != 0;
        if (word == "par" || word == "line" || word == "sect" || word == "page" || word == "row")
            Put('\n');
        else if (word == "tab" || word == "cell")
            Put('\t');
        else if (word == "b")
            g.format.bold = on;
        else if (word == "i")
            g.format.italic = on;
        else if (word == "ul")
            g.format.underline = on;
        else if (word == "ulnone")
            g.format.underline = false;
        else if (word == "fs")
            g.format.half_points = has_param && param > 0 ? static_cast<std::int32_t>(std::min<std::int64_t>(param, 3276)) : 24;
        else if (word == "plain")
            g.format = FORMAT {};
        else if (word == "uc")
            g.uc = has_param ? static_cast<std::int32_t>(std::clamp<std::int64_t>(param, 0, 255)) : 1;
        else if (word == "u" && has_param) {
            // A signed 16-bit value: negative numbers stand for the upper half.
            const std::int64_t v = param < 0 ? param + 65536 : param;
            Put(v >= 0 && v <= 0xFFFF ? static_cast<std::uint32_t>(v) : kReplacement);
            fallback_ = g.uc;
        } else if (word == "emdash")
            Put(0x2014);
        else if (word == "endash")
            Put(0x2013);
        else if (word == "bullet")
            Put(0x2022);
        else if (word == "lquote")
            Put(0x2018);
        else if (word == "rquote")
            Put(0x2019);
        else if (word == "ldblquote")
            Put(0x201C);
        else if (word == "rdblquote")
            Put(0x201D);
    }

    void Symbol(char c)
    {
        if (stack_.empty())
            return;
        GROUP& g = Top();
        const bool first = g.fresh;
        g.fresh = false;
        star_ = c == '*' && first;
        if (c == '*')
            return;
        if (c == '\'') {
            const int hi = pos_ < in_.size() ? HexValue(in_[pos_]) : -1;
            const int lo = pos_ + 1 < in_.size() ? HexValue(in_[pos_ + 1]) : -1;
            if (hi < 0)
                return;
            ++pos_;
            if (lo < 0)
                return; // a broken escape shows nothing
            ++pos_;
            if (!Fallback())
                Put(Cp1252ToUnicode(static_cast<std::uint8_t>(hi * 16 + lo)));
            return;
        }
        if (Fallback())
            return;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            Put(static_cast<std::uint8_t>(c));
            break;
        case '~':
            Put(0x00A0);
            break;
        case '_':
            Put(0x2011);
            break;
        case '\r':
        case '\n':
            Put('\n');
            break;
        default: // \- (optional hyphen), \| and \: and anything unknown show nothing
            break;
        }
    }

    std::string_view in_;
    const RICH_TEXT_LIMITS& limits_;
    TEXT_SINK sink_;
    RICH_TEXT& out_;
    std::size_t pos_ = 0;
    std::vector<GROUP> stack_;
    std::int32_t fallback_ = 0; // fallback characters still to skip
    bool star_ = false;         // "\*" opened the current group
};

void ReadPlainText(std::string_view bytes, RICH_TEXT& out, std::size_t max_text)
{
    TEXT_SINK sink(out, max_text);
    const FORMAT plain;
    const bool utf8 = IsValidUtf8(bytes);
    if (utf8 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<std::uint8_t>(bytes[i]);
        if (b == '\r') {
            sink.Put('\n', plain); // CR LF and a lone CR both end a line
            i += (i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
            continue;
        }
        if (!utf8 || b < 0x80) {
            sink.Put(utf8 ? b : Cp1252ToUnicode(b), plain);
            ++i;
            continue;
        }
        const int len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
        std::uint32_t cp = b & (0x3F >> (len - 1));
        for (int k = 1; k < len; ++k)
            cp = (cp << 6) | (static_cast<std::uint8_t>(bytes[i + static_cast<std::size_t>(k)]) & 0x3F);
        sink.Put(cp, plain);
        i += static_cast<std::size_t>(len);
    }
}

} // namespace

std::string RICH_TEXT::Text() const
{
    std::string s;
    for (const TEXT_RUN& r : runs)
        s += r.text;
    return s;
}

std::int32_t ReadRichText(std::string_view bytes, RICH_TEXT& out, const RICH_TEXT_LIMITS& limits)
{
    out = RICH_TEXT {};
    if (bytes.size() > limits.max_input)
        return kImageTooLarge;
    if (bytes.substr(0, 5) != "{\\rtf") {
        ReadPlainText(bytes, out, limits.max_text);
        return kOk;
    }
    out.rich = true;
    return RTF_PARSER(bytes, out, limits).Run();
}

std::string TextFileResultText(std::int32_t rc, const RICH_TEXT_LIMITS& limits)
{
    if (rc == kImageTooLarge)
        return "Text Too Large. (the text viewer shows files of up to " + std::to_string(limits.max_input >> 20) +
               " MiB)";
    if (rc == kDataError)
        return "Text Not Shown. (groups nested deeper than " + std::to_string(limits.max_depth) + ")";
    return ResultText(rc);
}

std::int32_t ReadRichTextFile(const std::string& path, RICH_TEXT& out, const RICH_TEXT_LIMITS& limits)
{
    out = RICH_TEXT {};
    std::string bytes;
    if (const int rc = ReadTextFile(path, bytes, limits.max_input); rc != kOk)
        return rc;
    return ReadRichText(bytes, out, limits);
}
