// The desktop configuration the system tests see: directories of the test's own instead of
// the machine's (/etc/xdg, /usr/share/applications, SANE's /etc/sane.d and its dll.d), so
// that what else is installed cannot change a result. Of the installed system only the
// shared MIME database and GLib's compiled schemas are seen, as what the tests rely on
// (deps.sh installs them).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// Points XDG_DATA_DIRS and XDG_CONFIG_DIRS below root, keeping gio's and gsettings' reading
// of MIME types and schemas.
inline void UsePrivateSystemDirs(const std::filesystem::path& root)
{
    namespace fs = std::filesystem;
    const fs::path data = root / "system-data";
    const fs::path config = root / "system-config";
    fs::create_directories(data / "glib-2.0");
    fs::create_directories(config);
    std::error_code ec;
    fs::create_directory_symlink("/usr/share/mime", data / "mime", ec);
    fs::create_directory_symlink("/usr/share/glib-2.0/schemas", data / "glib-2.0/schemas", ec);
    setenv("XDG_DATA_DIRS", data.c_str(), 1);
    setenv("XDG_CONFIG_DIRS", config.c_str(), 1);
    setenv("GIO_USE_VFS", "local", 1);
}

// A SANE configuration in dir that loads only the backends named: dll.conf lists them and
// an empty dll.d stops SANE's dll backend from reading the system's (where packages such
// as sane-airscan add theirs). The trailing ':' of SANE_CONFIG_DIR keeps SANE's own
// directories behind this one, for the backends' files.
inline void UsePrivateSaneConfig(const std::filesystem::path& dir, const std::string& backends)
{
    std::filesystem::create_directories(dir / "dll.d");
    std::ofstream(dir / "dll.conf") << backends;
    setenv("SANE_CONFIG_DIR", (dir.string() + ":").c_str(), 1);
}
