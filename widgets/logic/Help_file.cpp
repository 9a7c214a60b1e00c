#include "widgets/logic/Help_file.h"

#include "base/File_io.h"
#include "base/Result_codes.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

bool HELP_FILE::Load(const std::string& path)
{
    std::string text;
    return ReadTextFile(path, text) == kOk && Parse(text);
}

bool HELP_FILE::Parse(const std::string& text)
{
    topics_.clear();
    std::istringstream lines(text);
    std::string line;
    HELP_TOPIC* topic = nullptr;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("@topic ", 0) == 0) {
            char* end = nullptr;
            const long n = std::strtol(line.c_str() + 7, &end, 10);
            if (end == line.c_str() + 7)
                continue;
            HELP_TOPIC t;
            t.context = static_cast<std::int32_t>(n);
            std::string title = end;
            const std::size_t b = title.find_first_not_of(' ');
            t.title = b == std::string::npos ? std::string() : title.substr(b);
            topics_.push_back(std::move(t));
            topic = &topics_.back();
        } else if (topic != nullptr) {
            topic->body += line;
            topic->body += '\n';
        }
    }
    return !topics_.empty();
}

const HELP_TOPIC* HELP_FILE::Topic(std::int32_t context) const
{
    for (const HELP_TOPIC& t : topics_)
        if (t.context == context)
            return &t;
    return nullptr;
}

std::string FindHelpFile(const std::string& exe_dir)
{
    namespace fs = std::filesystem;
    const fs::path dir(exe_dir);
    std::error_code ec;
    for (const fs::path& candidate :
         {dir / kHelpFileName, dir.parent_path() / "share" / "ravelscope" / kHelpFileName})
        if (fs::is_regular_file(candidate, ec))
            return candidate.string();
    return {};
}
