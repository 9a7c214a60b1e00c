#include "viewer/logic/Startup.h"

#include "dialogs/logic/Browse.h"
#include "viewer/logic/Window_rules.h"

#include <cstdio>

namespace {
// Longest path the hand-off carries.
constexpr std::size_t kMaxHandOff = 4096;

// "~tmp.xb" beside path ("~tmp.xb" in the working directory for an empty path).
std::string HandOffFileFor(const std::string& path)
{
    const std::string dir = DirectoryOf(path);
    if (dir.empty())
        return kHandOffFile;
    return (dir == "/" ? dir : dir + "/") + kHandOffFile;
}

} // namespace

std::string HandOffPath(const std::string& arg)
{
    if (arg.empty()) {
        std::remove(kHandOffFile);
        return {};
    }
    const std::string path = AbsolutePath(arg);
    const std::string file = HandOffFileFor(path);
    FILE* f = std::fopen(file.c_str(), "wb");
    if (f == nullptr)
        return path; // the kept path is handed over in memory
    const bool written = std::fwrite(path.data(), 1, path.size(), f) == path.size();
    if (std::fclose(f) != 0 || !written)
        std::remove(file.c_str());
    return path;
}

std::string TakeHandOff(const std::string& kept)
{
    const std::string file = HandOffFileFor(kept);
    FILE* f = std::fopen(file.c_str(), "rb");
    if (f == nullptr)
        return kept;
    std::string path(kMaxHandOff, '\0');
    path.resize(std::fread(path.data(), 1, path.size(), f));
    std::fclose(f);
    std::remove(file.c_str());
    return path;
}
