#include "platform/Xdg_dirs.h"

#include <cstdlib>
#include <filesystem>

namespace {

struct DIR_RULE {
    const char* variable;
    const char* under_home;
};

DIR_RULE RuleOf(XdgDir which)
{
    switch (which) {
    case XdgDir::kConfig:
        return {"XDG_CONFIG_HOME", ".config"};
    case XdgDir::kData:
        return {"XDG_DATA_HOME", ".local/share"};
    case XdgDir::kCache:
        break;
    }
    return {"XDG_CACHE_HOME", ".cache"};
}

bool IsAbsolute(const char* v) { return v != nullptr && v[0] == '/'; }

std::string WithoutTrailingSlash(std::string p)
{
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

} // namespace

XDG_DIR UserDirectoryFrom(XdgDir which, const char* xdg_value, const char* home)
{
    XDG_DIR d;
    if (IsAbsolute(xdg_value))
        d.path = WithoutTrailingSlash(xdg_value);
    else if (IsAbsolute(home))
        d.path = WithoutTrailingSlash((std::filesystem::path(home) / RuleOf(which).under_home).string());
    else
        d.error = kNoHomeText;
    return d;
}

XDG_DIR UserDirectory(XdgDir which)
{
    return UserDirectoryFrom(which, std::getenv(RuleOf(which).variable), std::getenv("HOME"));
}
