// The user's base directories of the freedesktop standard, read one way for the whole
// program: the settings file, the desktop entries and MIME package of the file
// association, the wallpaper copy, the trash and the thumbnail cache all find their place
// here.
//
// $XDG_CONFIG_HOME, $XDG_DATA_HOME and $XDG_CACHE_HOME are used when they hold an absolute
// path; a relative or empty value is ignored, as the standard says, and the directory
// falls back to $HOME/.config, $HOME/.local/share or $HOME/.cache. Without such a value
// and without an absolute $HOME there is no directory: the caller refuses with
// kNoHomeText rather than write somewhere (the temporary directory, the working
// directory) where nothing would ever read it.
#pragma once

#include <string>

enum class XdgDir { kConfig, kData, kCache };

struct XDG_DIR {
    std::string path;  // absolute, without a trailing '/'; empty when refused
    std::string error; // kNoHomeText when refused, else empty
    bool Ok() const { return !path.empty(); }
};

inline constexpr char kNoHomeText[] = "no home folder (HOME is not set)";

// The directory from the process environment.
XDG_DIR UserDirectory(XdgDir which);
// The rule itself, on values given (nullptr for a variable that is not set).
XDG_DIR UserDirectoryFrom(XdgDir which, const char* xdg_value, const char* home);
