#include "dialogs/logic/Batch_dialog_rules.h"

#include <cctype>

std::optional<THUMB_PLACE> SnapToDraw(std::int32_t width, std::int32_t height, std::int32_t box_w, std::int32_t box_h)
{
    if (width <= box_w && height <= box_h)
        return std::nullopt;
    THUMB_PLACE p;
    if (height < width) {
        p.width = box_w;
        p.height = static_cast<std::int32_t>(static_cast<double>(box_h) * height / width);
    } else {
        p.height = box_h;
        p.width = static_cast<std::int32_t>(static_cast<double>(box_w) * width / height);
    }
    p.left = (box_w - p.width) / 2;
    p.top = (box_h - p.height) / 2;
    return p;
}

std::vector<FILTER_ENTRY> ParseFilter(std::string_view filter)
{
    std::vector<FILTER_ENTRY> out;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start < filter.size()) {
        const std::size_t bar = filter.find('|', start);
        const std::size_t end = bar == std::string_view::npos ? filter.size() : bar;
        parts.emplace_back(filter.substr(start, end - start));
        start = end + 1;
    }
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
        out.push_back({parts[i], parts[i + 1]});
    return out;
}

std::string ShownPattern(const FILTER_ENTRY& entry)
{
    std::string s = entry.pattern;
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

namespace {

bool Match(std::string_view name, std::string_view mask)
{
    // Iterative wildcard match with one backtrack point for the last "*".
    std::size_t n = 0, m = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            star = m++;
            resume = n;
        } else if (m < mask.size() &&
                   (mask[m] == '?' || std::tolower(static_cast<unsigned char>(mask[m])) ==
                                          std::tolower(static_cast<unsigned char>(name[n])))) {
            ++m;
            ++n;
        } else if (star != std::string_view::npos) {
            m = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

} // namespace

bool MatchesMask(std::string_view name, std::string_view mask)
{
    if (mask == "*.*")
        return true;
    return Match(name, mask);
}
