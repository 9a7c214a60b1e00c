#include "dialogs/logic/File_chooser_rules.h"

#include <cctype>
#include <cstddef>

namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Iterative glob with one backtrack point: linear in practice, never recursive.
bool GlobMatches(const std::string& pat, const std::string& name)
{
    std::size_t p = 0, n = 0, star = std::string::npos, resume = 0;
    while (n < name.size()) {
        if (p < pat.size() && (pat[p] == '?' || (pat[p] != '*' && Lower(pat[p]) == Lower(name[n])))) {
            ++p;
            ++n;
        } else if (p < pat.size() && pat[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pat.size() && pat[p] == '*')
        ++p;
    return p == pat.size();
}

} // namespace

std::string ParentDirectory(const std::string& dir)
{
    if (dir.empty() || dir[0] != '/')
        return {};
    std::size_t end = dir.find_last_not_of('/');
    if (end == std::string::npos)
        return {}; // "/" itself
    const std::size_t slash = dir.find_last_of('/', end);
    const std::size_t keep = dir.find_last_not_of('/', slash);
    return keep == std::string::npos ? "/" : dir.substr(0, keep + 1);
}

bool WildcardMatches(const std::string& patterns, const std::string& name)
{
    if (patterns.empty())
        return true;
    std::size_t start = 0;
    while (start <= patterns.size()) {
        std::size_t end = patterns.find(';', start);
        if (end == std::string::npos)
            end = patterns.size();
        const std::string one = patterns.substr(start, end - start);
        if (!one.empty() && GlobMatches(one, name))
            return true;
        start = end + 1;
    }
    return false;
}

std::string ChosenPath(const std::string& directory, const std::string& typed)
{
    if (!typed.empty() && typed[0] == '/')
        return typed;
    if (directory.empty() || directory.back() == '/')
        return directory + typed;
    return directory + "/" + typed;
}
