// Making a picture the desktop background.
//
// The picture is written as a PNG "Ravelscope_<name>.png" (name: the picture file's name
// without directory and extension; "Pasted" for a picture without a file) under
// $XDG_DATA_HOME/ravelscope/wallpaper/, through a document of its own: the document on
// screen, its edits and the working directory stay as they are. Only after a good write
// are the desktop's settings touched, by desktop ($XDG_CURRENT_DESKTOP):
//   GNOME, Unity, Budgie: org.gnome.desktop.background picture-uri and picture-uri-dark
//                         (file URI), picture-options centered / wallpaper / stretched;
//   Cinnamon: org.cinnamon.desktop.background picture-uri, picture-options;
//   MATE: org.mate.background picture-filename (a path), picture-options;
//   XFCE: xfconf-query, channel xfce4-desktop, .../last-image and image-style 1 / 2 / 3;
//   any other: the file is kept and its place said.
// gsettings without a session bus exits 0 and forgets the value, so every value is read
// back by a new process; "applied" means it came back.
#pragma once

#include <cstdint>
#include <string>

class Dib;

enum class WallpaperStyle : std::uint8_t { kCenter, kTile, kStretch };

enum class DesktopFamily : std::uint8_t { kGnome, kCinnamon, kMate, kXfce, kOther };

// The family of an $XDG_CURRENT_DESKTOP value ("ubuntu:GNOME", "X-Cinnamon", "XFCE", ...).
DesktopFamily DesktopFamilyOf(const std::string& current_desktop);

struct WALLPAPER_RESULT {
    std::int32_t rc = 0;  // kOk, or the code of the failed write (nothing applied then)
    std::string file;     // the PNG written
    bool applied = false; // the desktop's settings read back as written
    std::string message;  // one line for the status bar
};

// The PNG's path for a picture file path (empty: a picture without a file); "" when there
// is no data directory (platform/Xdg_dirs): the wallpaper is then refused.
std::string WallpaperFileFor(const std::string& picture_path);

// Writes the 24-bit picture and sets it as the wallpaper in the given style.
WALLPAPER_RESULT SetWallpaper(const Dib& picture, const std::string& picture_path, WallpaperStyle style);
