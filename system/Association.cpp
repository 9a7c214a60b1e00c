#include "system/Association.h"

#include "base/File_io.h"
#include "core/Picture_types.h"
#include "base/Result_codes.h"
#include "platform/Xdg_dirs.h"
#include "system/Run_program.h"
#include "system/Xdg_text.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace {

constexpr char kDesktopId[] = "ravelscope.desktop";
constexpr char kDefaults[] = "Default Applications";
constexpr char kAdded[] = "Added Associations";

constexpr ASSOC_EXT kList[] = {
    {".bmp", "image/bmp", false, false},
    {".tga", "image/x-tga", false, false},
    {".sgi", "image/x-sgi", false, false},
    {".rgb", "image/x-rgb", false, false},
    {".gif", "image/gif", false, false},
    {".pcd", "image/x-photo-cd", false, false},
    {".mtv", "image/x-mtv", true, false},
    {".qrt", "image/x-qrt", true, false},
    {".sct", "image/x-scitex-ct", true, false},
    {".dib", "image/bmp", false, false},
    {".pcx", "image/vnd.zbrush.pcx", false, false},
    {".jpg", "image/jpeg", false, false},
    {".png", "image/png", false, false},
    {".pgm", "image/x-portable-graymap", false, false},
    {".ppm", "image/x-portable-pixmap", false, false},
    {".pct", "image/x-pict", false, false},
    {".lbm", "image/x-ilbm", false, false},
    {".psp", "image/x-paintshoppro", true, false},
    {".rle", "image/rle", false, false},
    {".pbm", "image/x-portable-bitmap", false, false},
    {".dcx", "image/x-dcx", true, false},
    {".cpt", "image/x-corel-photopaint", true, false},
    {".pxr", "image/x-pixar", true, false},
    {".msp", "image/x-msp", true, false},
    {".mac", "image/x-macpaint", true, false},
    {".tif", "image/tiff", false, false},
    {".tiff", "image/tiff", false, false},
    {".mac", "image/x-macpaint", true, false},
    {".xpm", "image/x-xpixmap", false, false},
    {".xwd", "image/x-xwindowdump", false, false},
    {".fit", "application/fits", false, false},
    {".sun", "image/x-sun-raster", false, false},
    {".img", "image/x-vicar", true, false},
    {".nol", "image/x-nokia-logo", true, false},
    {".dic", "application/dicom", true, false},
    {".fbm", "image/x-fbm", true, false},
    {".emf", "image/emf", false, false},
    {".wmf", "image/wmf", false, false},
    {".avi", "video/x-msvideo", false, true},
    {".au", "audio/basic", false, true},
    {".aif", "audio/x-aiff", false, true},
    {".mpg", "video/mpeg", false, true},
    {".mpeg", "video/mpeg", false, true},
    {".mp3", "audio/mpeg", false, true},
    {".snd", "audio/basic", false, true},
    {".webp", "image/webp", false, false},
    {".avif", "image/avif", false, false},
    {".heic", "image/heif", false, false},
    {".heif", "image/heif", false, false},
    {".jxl", "image/jxl", false, false},
    {".apng", "image/apng", true, false},
};
static_assert(std::size(kList) == 51);

bool MakeDirs(const std::string& path)
{
    std::error_code e;
    std::filesystem::create_directories(path, e);
    return std::filesystem::is_directory(path, e);
}

bool ReadText(const std::string& path, std::string& text) { return ReadTextFile(path, text) == kOk; }

// Replaces the file only when the whole text is written; a symbolic link (a dotfile
// kept elsewhere) is followed and stays a link.
bool WriteText(const std::string& path, const std::string& text) { return ReplaceTextFile(path, text) == kOk; }

// The list value with ours first and every earlier entry behind it, ours once.
std::string WithOursFirst(const std::optional<std::string>& old)
{
    std::vector<std::string> entries{kDesktopId};
    if (old)
        for (std::string& e : SplitDesktopList(*old))
            if (e != kDesktopId)
                entries.push_back(std::move(e));
    return JoinDesktopList(entries);
}

} // namespace

std::span<const ASSOC_EXT> AssociationList() { return kList; }

std::string UnavailableReason(const ASSOC_EXT& e, bool media_playback)
{
    if (e.media)
        return media_playback ? "" : "no playback of sound and video yet";
    if (PictureFormatOf(e.ext) == -2)
        return "the program does not open this format";
    return "";
}

int SharedTypeOf(int index)
{
    for (int i = 0; i < index; ++i)
        if (std::string_view(kList[i].mime) == kList[index].mime)
            return i;
    return -1;
}

ASSOC_PATHS AssocPathsFromEnvironment()
{
    ASSOC_PATHS p;
    const XDG_DIR data = UserDirectory(XdgDir::kData);
    const XDG_DIR config = UserDirectory(XdgDir::kConfig);
    p.data_home = data.path;
    p.config_home = config.path;
    p.refusal = !data.Ok() ? data.error : config.error;
    if (const char* d = std::getenv("XDG_CURRENT_DESKTOP")) {
        std::string s(d);
        for (char& c : s) {
            if (c == ':')
                c = ';';
            else if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        p.desktops = SplitDesktopList(s);
    }
    return p;
}

std::string ASSOC_REPORT::Summary() const
{
    std::string out;
    const auto group = [&out](const char* title, const std::vector<std::string>& items, const char* sep) {
        if (items.empty())
            return;
        out.append(title);
        for (std::size_t i = 0; i < items.size(); ++i)
            out.append(i == 0 ? " " : sep).append(items[i]);
        out.append("\n");
    };
    group("Done:", done, " ");
    group("Skipped:", skipped, "; ");
    group("Failed:", failed, "; ");
    group("Overridden:", overridden, "; ");
    return out;
}

std::string DesktopEntryText(const std::string& exe_path)
{
    const std::optional<std::string> exec = DesktopExecQuote(exe_path);
    if (!exec)
        return "";
    std::string types;
    for (std::size_t i = 0; i < std::size(kList); ++i)
        if (SharedTypeOf(static_cast<int>(i)) < 0 && UnavailableReason(kList[i], false).empty())
            types.append(kList[i].mime).append(";");
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Ravelscope\n"
           "GenericName=Picture Viewer\n"
           "Comment=View, edit and convert pictures\n"
           "Exec=" + *exec + " %f\n"
           "Terminal=false\n"
           "NoDisplay=false\n"
           "Categories=Graphics;Viewer;\n"
           "MimeType=" + types + "\n";
}

std::string MimePackageText()
{
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (std::size_t i = 0; i < std::size(kList); ++i) {
        const ASSOC_EXT& e = kList[i];
        if (!e.ours || SharedTypeOf(static_cast<int>(i)) >= 0)
            continue;
        xml << "  <mime-type type=\"" << e.mime << "\">\n";
        if (std::string_view(e.ext) == ".img") {
            // VICAR pictures by their label: "*.img" also names disk images. The light
            // glob only puts the type beside the shared database's disk image (weight 50),
            // which makes GIO look at the bytes; a file without the label stays a disk image.
            xml << "    <comment>VICAR picture</comment>\n"
                   "    <glob pattern=\"*.img\" weight=\"10\"/>\n"
                   "    <magic priority=\"60\"><match type=\"string\" offset=\"0\" value=\"LBLSIZE=\"/></magic>\n";
        } else {
            xml << "    <comment>Ravelscope " << (e.ext + 1) << " picture</comment>\n"
                << "    <glob pattern=\"*" << e.ext << "\"/>\n";
        }
        xml << "  </mime-type>\n";
    }
    xml << "</mime-info>\n";
    return xml.str();
}

ASSOC_REPORT Associate(const std::vector<int>& indices, const std::string& exe_path, const ASSOC_PATHS& paths,
                       bool media_playback)
{
    ASSOC_REPORT report;
    std::vector<const ASSOC_EXT*> chosen;
    bool need_package = false;
    for (const int i : indices) {
        if (i < 0 || i >= static_cast<int>(std::size(kList)))
            continue;
        const ASSOC_EXT& e = kList[i];
        if (const std::string why = UnavailableReason(e, media_playback); !why.empty()) {
            report.skipped.push_back(std::string(e.ext) + ": " + why);
            continue;
        }
        bool repeat = false;
        for (const ASSOC_EXT* c : chosen)
            repeat = repeat || std::string_view(c->mime) == e.mime;
        if (repeat) {
            report.skipped.push_back(std::string(e.ext) + ": same type as an extension above");
            continue;
        }
        chosen.push_back(&e);
        need_package = need_package || e.ours;
    }
    if (chosen.empty())
        return report;
    const auto fail_all = [&](const std::string& why) {
        for (const ASSOC_EXT* e : chosen)
            report.failed.push_back(std::string(e->ext) + ": " + why);
        return report;
    };

    if (!paths.refusal.empty())
        return fail_all(paths.refusal);
    const std::string entry = DesktopEntryText(exe_path);
    if (entry.empty())
        return fail_all("the program's path cannot be written on a desktop entry's Exec line");
    const std::string apps_dir = paths.data_home + "/applications";
    if (!MakeDirs(apps_dir) || !WriteText(apps_dir + "/" + kDesktopId, entry))
        return fail_all("cannot write " + apps_dir + "/" + kDesktopId);

    bool package_ok = true;
    if (need_package) {
        const std::string mime_dir = paths.data_home + "/mime";
        package_ok = MakeDirs(mime_dir + "/packages") &&
                     WriteText(mime_dir + "/packages/ravelscope.xml", MimePackageText());
        if (package_ok) {
            const PROGRAM_RUN run = RunProgram({"update-mime-database", mime_dir});
            package_ok = run.started && run.exit_code == 0;
        }
    }

    const std::string list_path = paths.config_home + "/mimeapps.list";
    std::string text;
    ReadText(list_path, text);
    std::vector<const ASSOC_EXT*> written;
    for (const ASSOC_EXT* e : chosen) {
        if (e->ours && !package_ok) {
            report.failed.push_back(std::string(e->ext) + ": update-mime-database failed or is missing");
            continue;
        }
        text = KeyFileSet(text, kDefaults, e->mime, WithOursFirst(KeyFileGet(text, kDefaults, e->mime)));
        text = KeyFileSet(text, kAdded, e->mime, WithOursFirst(KeyFileGet(text, kAdded, e->mime)));
        written.push_back(e);
    }
    if (!written.empty() && !(MakeDirs(paths.config_home) && WriteText(list_path, text))) {
        for (const ASSOC_EXT* e : written)
            report.failed.push_back(std::string(e->ext) + ": cannot write " + list_path);
        written.clear();
    }
    for (const ASSOC_EXT* e : written) {
        report.done.push_back(e->ext);
        // A desktop's own list is read before ours and wins.
        for (const std::string& desktop : paths.desktops) {
            std::string other;
            const std::string name = desktop + "-mimeapps.list";
            if (!ReadText(paths.config_home + "/" + name, other))
                continue;
            const auto value = KeyFileGet(other, kDefaults, e->mime);
            if (!value)
                continue;
            const std::vector<std::string> openers = SplitDesktopList(*value);
            if (!openers.empty() && openers.front() != kDesktopId)
                report.overridden.push_back(std::string(e->ext) + ": " + name + " names " + openers.front());
        }
    }
    if (!written.empty() && ProgramExists("update-desktop-database"))
        RunProgram({"update-desktop-database", apps_dir});
    return report;
}

ASSOC_REPORT RemoveAssociations(const ASSOC_PATHS& paths)
{
    ASSOC_REPORT report;
    if (!paths.refusal.empty()) {
        report.failed.push_back("mimeapps.list: " + paths.refusal);
        return report;
    }
    const std::string list_path = paths.config_home + "/mimeapps.list";
    std::string text;
    if (!ReadText(list_path, text))
        return report;
    std::string changed = text;
    for (std::size_t i = 0; i < std::size(kList); ++i) {
        if (SharedTypeOf(static_cast<int>(i)) >= 0)
            continue;
        bool touched = false;
        for (const char* section : {kDefaults, kAdded}) {
            const auto value = KeyFileGet(changed, section, kList[i].mime);
            if (!value)
                continue;
            std::vector<std::string> openers = SplitDesktopList(*value);
            std::vector<std::string> kept;
            for (std::string& o : openers)
                if (o != kDesktopId)
                    kept.push_back(std::move(o));
            if (kept.size() == openers.size())
                continue;
            touched = true;
            changed = kept.empty() ? KeyFileRemove(changed, section, kList[i].mime)
                                   : KeyFileSet(changed, section, kList[i].mime, JoinDesktopList(kept));
        }
        if (touched)
            report.done.push_back(kList[i].ext);
    }
    if (changed != text && !WriteText(list_path, changed)) {
        for (const std::string& ext : report.done)
            report.failed.push_back(ext + ": cannot write " + list_path);
        report.done.clear();
    }
    return report;
}
