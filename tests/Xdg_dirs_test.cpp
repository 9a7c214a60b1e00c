#include "platform/Xdg_dirs.h"

#include <gtest/gtest.h>

// One rule for every user directory: an absolute XDG value, else under an absolute HOME,
// else refused (never the temporary directory).
TEST(XdgDirs, OneRuleForEveryDirectory)
{
    const struct {
        XdgDir which;
        const char* xdg;
        const char* home;
        const char* path; // "" when refused
    } cases[] = {
        {XdgDir::kConfig, "/x/conf", "/home/me", "/x/conf"},
        {XdgDir::kConfig, "/x/conf/", "/home/me", "/x/conf"},
        {XdgDir::kConfig, nullptr, "/home/me", "/home/me/.config"},
        {XdgDir::kData, nullptr, "/home/me/", "/home/me/.local/share"},
        {XdgDir::kCache, nullptr, "/home/me", "/home/me/.cache"},
        {XdgDir::kData, "relative/data", "/home/me", "/home/me/.local/share"}, // relative: ignored
        {XdgDir::kCache, "", "/home/me", "/home/me/.cache"},
        {XdgDir::kData, "/x/data", nullptr, "/x/data"}, // no home needed with an XDG value
        {XdgDir::kConfig, nullptr, nullptr, ""},
        {XdgDir::kConfig, nullptr, "", ""},
        {XdgDir::kData, "relative", "relative-home", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.xdg ? c.xdg : "(unset)") + " " + (c.home ? c.home : "(unset)"));
        const XDG_DIR d = UserDirectoryFrom(c.which, c.xdg, c.home);
        EXPECT_EQ(d.path, c.path);
        EXPECT_EQ(d.Ok(), *c.path != '\0');
        EXPECT_EQ(d.error, d.Ok() ? "" : kNoHomeText);
    }
}
