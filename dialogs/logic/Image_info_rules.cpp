#include "dialogs/logic/Image_info_rules.h"

#include <cinttypes>
#include <cstdio>

namespace {

struct CODE_NAME {
    std::int32_t code;
    const char* name;
};

constexpr CODE_NAME kFormatNames[] = {
    {0, "Windows Bitmap"},
    {1, "True Vision TARGA"},
    {2, "ZSoft PaintBrush"},
    {3, "JPEG"},
    {4, "GIF"},
    {5, "PNG"},
    {6, "Portable Pixmap Utilities"},
    {7, "Portable Greymap Utilities"},
    {8, "ZSoft MultiPages PaintBrush"},
    {9, "Macintosh PICT"},
    {10, "Photo CD"},
    {11, "Silicon Graphics"},
    {12, "Utah RLE"},
    {13, "Amiga Paint"},
    {14, "Corel Photo Paint"},
    {15, "SciTech"},
    {16, "Quick Ray Trace"},
    {17, "Pixar"},
    {18, "Paint Shop Pro"},
    {19, "MAC Paint"},
    {20, "Portable Bitmap Utilities"},
    {21, "Microsoft Paint"},
    {22, "X Window Dump"},
    {23, "X Pixmap"},
    {29, "X Bitmap"},
    {30, "SGI's"},
    {31, "TIFF"},
    {37, "Windows Metafile"},
    {38, "Enhanced Metafile"},
    {46, "Nokia Operator Logo"},
    {47, "Gimp Pattern"},
    {50, "FITS"},
    {51, "SUNRAS Image"},
    {52, "MTV RayTracer"},
    {53, "VICAR"},
    {54, "DICOM"},
    {55, "Fuzzy Bitmap"},
    {56, "WebP"},
    {57, "AVIF"},
    {58, "HEIF"},
    {59, "JPEG XL"},
    {60, "Animated PNG"},
};

constexpr const char* kOrientations[] = {
    "Normal",
    "Mirrored left to right",
    "Turned 180 degrees",
    "Mirrored top to bottom",
    "Mirrored along the main diagonal",
    "Turned 90 degrees clockwise",
    "Mirrored along the other diagonal",
    "Turned 90 degrees anticlockwise",
};

} // namespace

const char* InfoFormatName(std::int32_t format_code)
{
    for (const CODE_NAME& n : kFormatNames)
        if (n.code == format_code)
            return n.name;
    return "";
}

std::string InfoImageSizeText(std::int32_t width, std::int32_t height)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d x %d Pixels", width, height);
    return buf;
}

std::string InfoFileSizeText(std::int64_t bytes)
{
    const double kb = static_cast<double>(bytes) / 1024.0;
    char buf[96];
    if (kb / 1024.0 > 1.0)
        std::snprintf(buf, sizeof buf, "%.2f MB (%" PRId64 " Bytes)", kb / 1024.0, bytes);
    else
        std::snprintf(buf, sizeof buf, "%.2f KB (%" PRId64 " Bytes)", kb, bytes);
    return buf;
}

std::string InfoDateTimeText(std::int32_t month, std::int32_t day, std::int32_t year, std::int32_t hour,
                             std::int32_t minute, std::int32_t second)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "%d/%d/%d / %d:%d:%d", month, day, year, hour, minute, second);
    return buf;
}

std::string InfoColorText(std::int32_t doc_bpp, bool edited, std::int32_t bpp, std::int32_t output_bpp)
{
    if (doc_bpp == 0)
        return {};
    char buf[48];
    if (edited)
        std::snprintf(buf, sizeof buf, "%d BPP (Modified)", output_bpp);
    else
        std::snprintf(buf, sizeof buf, "%d BPP", bpp);
    return buf;
}

std::string InfoLoadTimeText(bool timing, std::int32_t ms)
{
    if (!timing)
        return {};
    char buf[64];
    if (ms >= 1000)
        std::snprintf(buf, sizeof buf, "%d ms. (%3.2f sec.)", ms, ms * 0.001);
    else
        std::snprintf(buf, sizeof buf, "%d ms.", ms);
    return buf;
}

const char* InfoOrientationName(std::int32_t orientation)
{
    if (orientation < 1 || orientation > 8)
        return "";
    return kOrientations[orientation - 1];
}

std::string InfoAnimationText(std::int32_t frames, std::int64_t duration_ms, std::int32_t loops)
{
    if (frames < 1)
        return {};
    char buf[128];
    std::snprintf(buf, sizeof buf, "%d frames, %.2f sec., ", frames, static_cast<double>(duration_ms) / 1000.0);
    std::string text = buf;
    if (loops == 0)
        text += "loops forever";
    else if (loops == 1)
        text += "plays once";
    else if (loops > 1)
        text += "plays " + std::to_string(loops) + " times";
    else
        text.resize(text.size() - 2);
    return text;
}

std::string InfoSamplesText(std::int32_t bits_per_sample, bool alpha, std::size_t icc_bytes)
{
    std::string text;
    if (bits_per_sample > 0)
        text = std::to_string(bits_per_sample) + " bits per sample";
    if (alpha)
        text += text.empty() ? "Alpha" : ", alpha";
    if (icc_bytes > 0)
        text += (text.empty() ? "ICC profile, " : ", ICC profile, ") + std::to_string(icc_bytes) + " bytes";
    return text;
}
