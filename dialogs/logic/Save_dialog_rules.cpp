#include "dialogs/logic/Save_dialog_rules.h"

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
};

constexpr std::int32_t kPcxIndex = 5;

} // namespace

std::span<const SAVE_TYPE> SaveTypes() { return kTypes; }

std::int32_t SaveTypeIndex(std::int32_t stored)
{
    return stored < 0 || stored >= static_cast<std::int32_t>(std::size(kTypes)) ? kPcxIndex : stored;
}

SAVE_NAME SaveNameFor(const std::string& typed, std::int32_t type_index)
{
    SAVE_NAME r;
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
    if (type_index < 0 || type_index >= static_cast<std::int32_t>(std::size(kTypes))) {
        r.text = typed;
        return r;
    }
    const char* ext = kTypes[type_index].ext;
    const std::size_t dot = typed.find_last_of('.');
    std::string stem = typed;
    if (dot != std::string::npos && dot > name_start) {
        if (strcasecmp(typed.c_str() + dot, ext) == 0) {
            r.text = typed;
            return r;
        }
        stem = typed.substr(0, dot);
    }
    r.text = stem + ext;
    return r;
}
