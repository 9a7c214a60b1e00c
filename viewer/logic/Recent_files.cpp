#include "viewer/logic/Recent_files.h"

#include <algorithm>

namespace {
std::string KeyName(int i) { return "File_" + std::to_string(i); }
} // namespace

void RECENT_FILES::Load(const IniFile& ini)
{
    list_.clear();
    const std::int32_t n = ini.ReadInteger("MRU", "max_index_string", 0);
    for (std::int32_t i = 0; i < n; ++i) {
        std::string path = ini.ReadString("MRU", KeyName(i), std::string());
        if (!path.empty())
            list_.push_back(std::move(path));
    }
}

void RECENT_FILES::Save(IniFile& ini) const
{
    const int n = std::min<int>(Count(), kShown);
    const int first = Count() - n;
    for (int i = 0; i < n; ++i)
        ini.WriteString("MRU", KeyName(i), list_[static_cast<std::size_t>(first + i)]);
    ini.WriteInteger("MRU", "max_index_string", n);
}

void RECENT_FILES::Add(const std::string& path)
{
    const int n = Count();
    for (int i = n - 1; i >= std::max(0, n - kShown); --i)
        if (list_[static_cast<std::size_t>(i)] == path) {
            std::rotate(list_.begin() + i, list_.begin() + i + 1, list_.end());
            return;
        }
    list_.push_back(path);
}

std::string RECENT_FILES::Entry(int k) const
{
    const int i = Count() - 1 - k;
    if (k < 0 || k >= kShown || i < 0)
        return {};
    return list_[static_cast<std::size_t>(i)];
}

void RECENT_FILES::Forget(int k, IniFile& ini)
{
    const int i = Count() - 1 - k;
    if (k < 0 || k >= kShown || i < 0)
        return;
    list_.erase(list_.begin() + i);
    ini.DeleteKey("MRU", KeyName(i));
}

std::vector<std::string> RECENT_FILES::MenuCaptions() const
{
    std::vector<std::string> captions;
    for (int k = 0; k < std::min<int>(Count(), kShown); ++k)
    {
        std::string caption(1, '&');
        caption += static_cast<char>('0' + k);
        caption += "  ";
        caption += Entry(k);
        captions.push_back(std::move(caption));
    }
    return captions;
}
