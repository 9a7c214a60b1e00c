#include "dialogs/logic/Save_dialog_rules.h"

#include "core/Imageinfo.h"
#include "platform/Ini_file.h"

#include <iterator>

#include <strings.h>

namespace {

constexpr SAVE_TYPE kTypes[] = {
    {"Windows Bitmap files (*.bmp)", "*.BMP", 1, ".bmp"},
    {"ZSoft DCX (*.dcx)", "*.DCX", 2, ".dcx"},
    {"Graphics Interchange Format files (*.gif)", "*.GIF", 3, ".gif"},
    {"Joint Photographics Expert Group files (*.jpg)", "*.JPG", 4, ".jpg"},
    {"GIMP Pattern files (*.pat)", "*.PAT", 5, ".pat"},
    {"ZSoft PaintBrush files (*.pcx)", "*.PCX", 6, ".pcx"},
    {"Portable Network Graphics files (*.png)", "*.PNG", 7, ".png"},
    {"Portable GrayMap files (*.pgm)", "*.PGM", 8, ".pgm"},
    {"Portable PixelMap files (*.ppm)", "*.PPM", 9, ".ppm"},
    {"SUN Raster Image files (*.sun)", "*.SUN", 10, ".sun"},
    {"TrueVision TARGA files (*.tga)", "*.TGA", 11, ".tga"},
    {"Tagged Image File Format(*.tif)", "*.TIF", 12, ".tif"},
    {"WebP files (*.webp)", "*.WEBP", 14, ".webp"},
    {"AVIF files (*.avif)", "*.AVIF", 15, ".avif"},
    {"JPEG XL files (*.jxl)", "*.JXL", 16, ".jxl"},
};

constexpr std::int32_t kPcxIndex = 5;

// Other spellings of the types' extensions.
struct ALIAS {
    const char* ext;
    std::int32_t save_code;
};
constexpr ALIAS kAliases[] = {{".jpeg", kSaveJpeg}, {".jpe", kSaveJpeg}, {".tiff", kSaveTiff}};

} // namespace

std::span<const SAVE_TYPE> SaveTypes() { return kTypes; }

std::int32_t SaveTypeIndex(std::int32_t stored)
{
    return stored < 0 || stored >= static_cast<std::int32_t>(std::size(kTypes)) ? kPcxIndex : stored;
}

std::int32_t SaveTypeForExtension(const std::string& ext)
{
    std::int32_t code = 0;
    for (const ALIAS& a : kAliases)
        if (strcasecmp(ext.c_str(), a.ext) == 0)
            code = a.save_code;
    for (std::size_t i = 0; i < std::size(kTypes); ++i)
        if (strcasecmp(ext.c_str(), kTypes[i].ext) == 0 || kTypes[i].save_code == code)
            return static_cast<std::int32_t>(i);
    return -1;
}

namespace {

// The typed name split: where its file part starts and its extension's dot (npos without).
SAVE_NAME Classify(const std::string& typed, std::size_t& dot)
{
    SAVE_NAME r;
    dot = std::string::npos;
    if (typed.find_first_not_of(" \t") == std::string::npos)
        return r;
    if (typed.find_first_of("*?") != std::string::npos) {
        r.kind = SAVE_NAME_KIND::kFilter;
        r.text = typed;
        return r;
    }
    const std::size_t slash = typed.find_last_of('/');
    const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    if (name_start >= typed.size())
        return r;
    r.kind = SAVE_NAME_KIND::kFile;
    r.text = typed;
    const std::size_t d = typed.find_last_of('.');
    if (d != std::string::npos && d > name_start)
        dot = d;
    return r;
}

} // namespace

SAVE_NAME SaveNameForType(const std::string& typed, std::int32_t type_index)
{
    std::size_t dot = 0;
    SAVE_NAME r = Classify(typed, dot);
    if (r.kind != SAVE_NAME_KIND::kFile || type_index < 0 || type_index >= static_cast<std::int32_t>(std::size(kTypes)))
        return r;
    const char* ext = kTypes[type_index].ext;
    r.type_index = type_index;
    if (dot != std::string::npos && strcasecmp(typed.c_str() + dot, ext) == 0)
        return r;
    r.text = (dot != std::string::npos ? typed.substr(0, dot) : typed) + ext;
    return r;
}

SAVE_NAME SaveNameFor(const std::string& typed, std::int32_t type_index)
{
    std::size_t dot = 0;
    SAVE_NAME r = Classify(typed, dot);
    if (r.kind != SAVE_NAME_KIND::kFile)
        return r;
    if (const std::int32_t named = dot != std::string::npos ? SaveTypeForExtension(typed.substr(dot)) : -1;
        named >= 0) {
        r.type_index = named;
        return r;
    }
    return SaveNameForType(typed, type_index);
}

std::int32_t QualityFrom(std::int32_t stored)
{
    return stored >= 1 && stored <= 100 ? stored : kDefaultQuality;
}

std::int32_t StoredQuality(const std::string& settings_path)
{
    return QualityFrom(IniFile(settings_path).ReadInteger("SaveFileDlg", kQualityKey, kDefaultQuality));
}

bool SaveTypeHasQuality(std::int32_t type_index)
{
    if (type_index < 0 || type_index >= static_cast<std::int32_t>(std::size(kTypes)))
        return false;
    const std::int32_t code = kTypes[type_index].save_code;
    return code == kSaveJpeg || code == kSaveWebp || code == kSaveAvif || code == kSaveJxl;
}
