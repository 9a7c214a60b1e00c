#include "system/Wallpaper.h"

#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "platform/Xdg_dirs.h"
#include "system/Run_program.h"
#include "system/Xdg_text.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool MakeDirs(const std::filesystem::path& path)
{
    std::error_code e;
    std::filesystem::create_directories(path, e);
    return std::filesystem::is_directory(path, e);
}

// A GVariant string literal.
std::string Quoted(const std::string& s)
{
    std::string out = "'";
    for (const char c : s) {
        if (c == '\'' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
    return out + "'";
}

// Sets a key with gsettings and reads it back in a new process.
bool GsettingsSet(const std::string& schema, const std::string& key, const std::string& value)
{
    const std::string literal = Quoted(value);
    const PROGRAM_RUN set = RunProgram({"gsettings", "set", schema, key, literal});
    if (!set.started || set.exit_code != 0)
        return false;
    PROGRAM_RUN get = RunProgram({"gsettings", "get", schema, key});
    while (!get.output.empty() && (get.output.back() == '\n' || get.output.back() == '\r'))
        get.output.pop_back();
    return get.started && get.exit_code == 0 && get.output == literal;
}

bool XfconfSet(const std::string& property, const char* type, const std::string& value)
{
    const PROGRAM_RUN set =
        RunProgram({"xfconf-query", "-c", "xfce4-desktop", "-p", property, "-n", "-t", type, "-s", value});
    if (!set.started || set.exit_code != 0)
        return false;
    PROGRAM_RUN get = RunProgram({"xfconf-query", "-c", "xfce4-desktop", "-p", property});
    while (!get.output.empty() && get.output.back() == '\n')
        get.output.pop_back();
    return get.started && get.exit_code == 0 && get.output == value;
}

const char* GnomeOption(WallpaperStyle style)
{
    switch (style) {
    case WallpaperStyle::kTile:
        return "wallpaper";
    case WallpaperStyle::kStretch:
        return "stretched";
    case WallpaperStyle::kCenter:
        break;
    }
    return "centered";
}

// Writes the picture as PNG through a document of its own.
std::int32_t WritePng(const Dib& picture, const std::string& path)
{
    TIMAGE_INFO doc;
    if (picture.Empty() || picture.PixelFormat() != 24)
        return kDataError;
    if (const int rc = doc.display->SetSize(picture.Width(), picture.Height(), 24); rc != kOk)
        return rc;
    const std::size_t row = static_cast<std::size_t>(picture.Width()) * 3;
    for (int y = 0; y < picture.Height(); ++y)
        std::memcpy(doc.display->ScanLine(y), picture.ScanLine(y), row);
    doc.display_width = picture.Width();
    doc.display_height = picture.Height();
    doc.state = kPictureOpen;
    doc.picture_present = 1;
    if (const std::int32_t rc = PrepareSave(doc, kSavePng, path); rc != kOk)
        return rc;
    return doc.Save();
}

} // namespace

DesktopFamily DesktopFamilyOf(const std::string& current_desktop)
{
    std::string names = Lower(current_desktop);
    for (char& c : names)
        if (c == ':')
            c = ';';
    for (const std::string& n : SplitDesktopList(names)) {
        if (n == "gnome" || n == "unity" || n == "budgie" || n == "gnome-classic" || n == "gnome-flashback")
            return DesktopFamily::kGnome;
        if (n == "x-cinnamon" || n == "cinnamon")
            return DesktopFamily::kCinnamon;
        if (n == "mate")
            return DesktopFamily::kMate;
        if (n == "xfce")
            return DesktopFamily::kXfce;
    }
    return DesktopFamily::kOther;
}

std::string WallpaperFileFor(const std::string& picture_path)
{
    const XDG_DIR data = UserDirectory(XdgDir::kData);
    if (!data.Ok())
        return {};
    std::string name = std::filesystem::path(picture_path).stem().string();
    if (name.empty())
        name = "Pasted";
    return data.path + "/ravelscope/wallpaper/Ravelscope_" + name + ".png";
}

WALLPAPER_RESULT SetWallpaper(const Dib& picture, const std::string& picture_path, WallpaperStyle style)
{
    WALLPAPER_RESULT r;
    r.file = WallpaperFileFor(picture_path);
    if (r.file.empty()) {
        r.rc = kOpenFileError;
        r.message = std::string("Wallpaper not written: ") + kNoHomeText;
        return r;
    }
    if (!MakeDirs(std::filesystem::path(r.file).parent_path())) {
        r.rc = kOpenFileError;
        r.message = "Wallpaper not written: " + std::string(ResultText(r.rc));
        return r;
    }
    r.rc = WritePng(picture, r.file);
    if (r.rc != kOk) {
        r.message = "Wallpaper not written: " + std::string(ResultText(r.rc));
        return r;
    }
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const DesktopFamily family = DesktopFamilyOf(desktop != nullptr ? desktop : "");
    const std::string uri = FileUri(r.file);
    const std::string option = GnomeOption(style);
    switch (family) {
    case DesktopFamily::kGnome:
        r.applied = GsettingsSet("org.gnome.desktop.background", "picture-uri", uri) &&
                    GsettingsSet("org.gnome.desktop.background", "picture-uri-dark", uri) &&
                    GsettingsSet("org.gnome.desktop.background", "picture-options", option);
        break;
    case DesktopFamily::kCinnamon:
        r.applied = GsettingsSet("org.cinnamon.desktop.background", "picture-uri", uri) &&
                    GsettingsSet("org.cinnamon.desktop.background", "picture-options", option);
        break;
    case DesktopFamily::kMate:
        r.applied = GsettingsSet("org.mate.background", "picture-filename", r.file) &&
                    GsettingsSet("org.mate.background", "picture-options", option);
        break;
    case DesktopFamily::kXfce: {
        const char* xfce_style = style == WallpaperStyle::kTile ? "2" : style == WallpaperStyle::kStretch ? "3" : "1";
        const std::string prefix = "/backdrop/screen0/monitor0/workspace0/";
        r.applied = XfconfSet(prefix + "last-image", "string", r.file) &&
                    XfconfSet(prefix + "image-style", "int", xfce_style);
        break;
    }
    case DesktopFamily::kOther:
        r.message = "Wallpaper saved as " + r.file + "; set it in the desktop's own settings";
        return r;
    }
    r.message = r.applied ? "Wallpaper set: " + r.file
                          : "Wallpaper saved as " + r.file + " but not applied: the desktop did not keep the setting";
    return r;
}
