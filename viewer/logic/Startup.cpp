#include "viewer/logic/Startup.h"

#include "viewer/logic/Browse.h"
#include "viewer/logic/Window_rules.h"

#include <unistd.h>

#include <cstdio>

namespace {
// Longest path the hand-off carries.
constexpr std::size_t kMaxHandOff = 4096;
} // namespace

std::string HandOffPath(const std::string& arg)
{
    if (arg.empty()) {
        std::remove(kHandOffFile);
        return {};
    }
    const std::string path = AbsolutePath(arg);
    const std::string dir = DirectoryOf(path);
    if (!dir.empty() && chdir(dir.c_str()) != 0) {
        std::remove(kHandOffFile); // the working directory stays; the kept path is handed over
        return path;
    }
    FILE* f = std::fopen(kHandOffFile, "wb");
    if (f == nullptr)
        return path;
    const bool written = std::fwrite(path.data(), 1, path.size(), f) == path.size();
    if (std::fclose(f) != 0 || !written)
        std::remove(kHandOffFile);
    return path;
}

std::string TakeHandOff(const std::string& fallback)
{
    FILE* f = std::fopen(kHandOffFile, "rb");
    if (f == nullptr)
        return fallback;
    std::string path(kMaxHandOff, '\0');
    path.resize(std::fread(path.data(), 1, path.size(), f));
    std::fclose(f);
    std::remove(kHandOffFile);
    return path;
}
