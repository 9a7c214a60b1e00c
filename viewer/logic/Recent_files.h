// The recent-files list of the main window: full paths, oldest first, newest last. Only
// the newest five are shown and saved; the list may grow past five during a run.
#pragma once

#include "platform/Ini_file.h"

#include <cstdint>
#include <string>
#include <vector>

class RECENT_FILES {
public:
    static constexpr int kShown = 5;

    // Reads "max_index_string" and "File_0".. of section "MRU"; empty entries are skipped.
    void Load(const IniFile& ini);
    // Writes the newest five (oldest of them first) as "File_0".. and their number as
    // "max_index_string".
    void Save(IniFile& ini) const;

    // Records a path as the newest: an equal entry among the newest five moves to the end,
    // any other path is appended.
    void Add(const std::string& path);
    // The path of menu item k (0 = newest), or "" when there is none.
    std::string Entry(int k) const;
    // Removes menu item k and its key "File_<count-1-k>" from the settings file.
    void Forget(int k, IniFile& ini);
    // Captions of the menu items, newest first: "&0  path", "&1  path", ...
    std::vector<std::string> MenuCaptions() const;

    std::int32_t Count() const { return static_cast<std::int32_t>(list_.size()); }
    const std::vector<std::string>& List() const { return list_; }

private:
    std::vector<std::string> list_;
};
