#include "platform/Text_lines.h"

std::vector<TEXT_LINE> SplitLines(std::string_view text)
{
    std::vector<TEXT_LINE> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        TEXT_LINE l;
        l.begin = at;
        const std::size_t nl = text.find('\n', at);
        l.end = nl == std::string_view::npos ? text.size() : nl + 1;
        l.text_end = nl == std::string_view::npos ? text.size() : nl;
        if (l.text_end > l.begin && text[l.text_end - 1] == '\r')
            --l.text_end;
        lines.push_back(l);
        at = l.end;
    }
    return lines;
}

std::string_view LineBreakOf(std::string_view text)
{
    const std::size_t nl = text.find('\n');
    return nl != std::string_view::npos && nl > 0 && text[nl - 1] == '\r' ? "\r\n" : "\n";
}

std::string_view EndOfLastLine(std::string_view text, std::string_view line_break)
{
    if (text.empty() || text.back() == '\n')
        return {};
    return text.back() == '\r' ? "\n" : line_break;
}
