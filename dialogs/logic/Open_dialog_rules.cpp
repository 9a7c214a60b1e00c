#include "dialogs/logic/Open_dialog_rules.h"

#include "core/Picture_types.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>

namespace {

// Text and extension of the fixed entries; "All files" stands for every file.
constexpr const char* kFixed[][2] = {
    {"AVI files (*.avi)", ".avi"},
    {"All files (*.*)", ""},
    {"AU - Audio files (*.au)", ".au"},
    {"AIFF - AIFF/AIF Sound files (*.aif)", ".aif"},
    {"ASF - ASF Sound files (*.asf)", ".asf"},
    {"BMP - Bitmap Images (*.bmp)", ".bmp"},
    {"CDA - CD Audio (*.cda)", ".cda"},
    {"DIB - Device Independent Bitmaps (*.dib)", ".dib"},
    {"CPT - Corel Photo Paint (*.cpt)", ".cpt"},
    {"DIC - DICOM (*.dic)", ".dic"},
    {"FBM - Fuzzy Bitmap (*.fbm)", ".fbm"},
    {"FITS - FITS files (*.fit)", ".fit"},
    {"GIF - GIF files (*.gif)", ".gif"},
    {"JPEG - JPEG files (*.jpg)", ".jpg"},
    {"MSP - Microsoft Paint (*.msp)", ".msp"},
    {"MAC - MacIntosh Paint (*.mac)", ".mac"},
    {"MP3 - MPEG Layer 3 (*.mp3)", ".mp3"},
    {"MPEG - MPEG files (*.mpg)", ".mpg"},
    {"MTV - MTV Ray Tracer (*.mtv)", ".mtv"},
    {"NOL - Nokia Operator Logo (*.nol)", ".nol"},
    {"PAT - Gimp Pattern (*.pat)", ".pat"},
    {"PBM - Portable Bitmap (*.pbm)", ".pbm"},
    {"PCT - Macintosh PICT (*.pct)", ".pct"},
    {"KCD - Kodak PhotoCD (*.pcd)", ".pcd"},
    {"PCX - ZSoft PaintBrush (*.pcx)", ".pcx"},
    {"PNG - Portable Network Graphics (*.png)", ".png"},
    {"PGM - Portable GrayScale (*.pgm)", ".pgm"},
    {"PPM - Portable PixelMap (*.ppm)", ".ppm"},
    {"PSP - Paint Shop Pro Images (*.psp)", ".psp"},
    {"PXR - Pixar files (*.pxr)", ".pxr"},
    {"QRT - Quick RayTracing (*.qrt)", ".qrt"},
    {"RAS - SUNRAS Images (*.ras)", ".ras"},
    {"RLE - Bitmap RLE files (*.rle)", ".rle"},
    {"RGB - SGI files (*.rgb)", ".rgb"},
    {"SGI - Silicon Graphics Images (*.sgi)", ".sgi"},
    {"SUN - SUNRAS Images (*.sun)", ".sun"},
    {"SND - Sound files (*.snd)", ".snd"},
    {"SCT - SciTech files (*.sct)", ".sct"},
    {"TGA - TrueVision TARGA files (*.tga)", ".tga"},
    {"TIFF - Tagged Image Files Format(*.tif)", ".tif"},
    {"IMG - VICAR2 (*.img)", ".img"},
    {"XPM - X Pixmap files (*.xpm)", ".xpm"},
    {"XWD - X Windows Dump files (*.xwd)", ".xwd"},
    {"WAV files (*.wav)", ".wav"},
    {"WMA - Windows Media Audio (*.wma)", ".wma"},
    {"WMV - Windows Media Video (*.wmv)", ".wmv"},
};

constexpr auto kAllStored = static_cast<std::int32_t>(std::size(kFixed)); // "All pictures"
constexpr std::int32_t kBoxLeft = 378, kBoxTop = 82, kBox = 85;

std::vector<OPEN_TYPE> BuildTypes()
{
    std::vector<OPEN_TYPE> types;
    OPEN_TYPE all{"All pictures", {}};
    for (const PICTURE_TYPE& p : PictureTypes())
        all.exts.emplace_back(p.ext);
    types.push_back(std::move(all));
    for (const auto& f : kFixed) {
        OPEN_TYPE t{f[0], {}};
        if (*f[1] != '\0')
            t.exts.emplace_back(f[1]);
        types.push_back(std::move(t));
    }
    return types;
}

const std::vector<OPEN_TYPE>& Types()
{
    static const std::vector<OPEN_TYPE> types = BuildTypes();
    return types;
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

} // namespace

std::span<const OPEN_TYPE> OpenTypes() { return Types(); }

std::int32_t OpenTypeIndex(std::int32_t stored)
{
    return stored >= 1 && stored < kAllStored ? stored + 1 : 0;
}

std::int32_t OpenTypeStoredIndex(std::int32_t list_index)
{
    return list_index <= 0 ? kAllStored : list_index - 1;
}

std::string OpenTypeMask(std::int32_t index)
{
    const std::vector<OPEN_TYPE>& types = Types();
    if (index < 0 || index >= static_cast<std::int32_t>(types.size()))
        return "*";
    const std::vector<std::string>& exts = types[static_cast<std::size_t>(index)].exts;
    if (exts.empty())
        return "*";
    std::string mask;
    for (const std::string& e : exts)
        mask += (mask.empty() ? "*" : ";*") + e;
    return mask;
}

bool OpenTypeMatches(std::int32_t index, const std::string& file_name)
{
    const std::vector<OPEN_TYPE>& types = Types();
    if (index < 0 || index >= static_cast<std::int32_t>(types.size()))
        return true;
    const std::vector<std::string>& exts = types[static_cast<std::size_t>(index)].exts;
    if (exts.empty())
        return true;
    const std::size_t dot = file_name.find_last_of('.');
    if (dot == std::string::npos)
        return false;
    const std::string ext = Lower(file_name.substr(dot));
    return std::find(exts.begin(), exts.end(), ext) != exts.end();
}

PREVIEW_PLACE PreviewPlace(std::int32_t w, std::int32_t h)
{
    PREVIEW_PLACE p;
    if (w <= 0 || h <= 0)
        return p;
    std::int64_t pw = w, ph = h;
    if (w > kBox || h > kBox) {
        p.fitted = true;
        if (h < w) {
            pw = kBox;
            ph = std::max<std::int64_t>(1, std::int64_t{kBox} * h / w);
        } else {
            ph = kBox;
            pw = std::max<std::int64_t>(1, std::int64_t{kBox} * w / h);
        }
    }
    p.width = static_cast<std::int32_t>(pw);
    p.height = static_cast<std::int32_t>(ph);
    p.left = kBoxLeft + (kBox - p.width) / 2;
    p.top = kBoxTop + (kBox - p.height) / 2;
    return p;
}

std::string OpenWidthLine(std::int32_t width) { return "Width:\t" + std::to_string(width); }
std::string OpenHeightLine(std::int32_t height) { return "Height:\t" + std::to_string(height); }
std::string OpenBppLine(std::int32_t bpp) { return "BPP:\t" + std::to_string(bpp); }

std::string OpenSizeLine(double size_kb)
{
    char buf[64];
    if (size_kb > 1000.0)
        std::snprintf(buf, sizeof buf, "Size:\t%.2f MB", size_kb / 1024.0);
    else
        std::snprintf(buf, sizeof buf, "Size:\t%.2f KB", size_kb);
    return buf;
}

std::string OpenMpegLine(std::int32_t version_code, std::int32_t kbps, std::int32_t hz)
{
    char buf[96];
    static constexpr double kVersions[] = {2.5, 2.0, 1.0};
    if (version_code >= 1 && version_code <= 3)
        std::snprintf(buf, sizeof buf, "MPEG %.1f %d kbps %d Hz", kVersions[version_code - 1], kbps, hz);
    else
        std::snprintf(buf, sizeof buf, "MPEG (N/A) %d kbps %d Hz", kbps, hz);
    return buf;
}

std::string OpenLengthLine(std::int32_t seconds)
{
    char buf[96];
    if (seconds >= 3600)
        std::snprintf(buf, sizeof buf, "Length:\t%d hr %d min %d sec", seconds / 3600, (seconds / 60) % 60,
                      seconds % 60);
    else
        std::snprintf(buf, sizeof buf, "Length:\t%d min %d sec", seconds / 60, seconds % 60);
    return buf;
}
