#include "core/Picture_types.h"

#include "core/Imageinfo.h"

#include <strings.h>

namespace {

constexpr PICTURE_TYPE kTypes[] = {
    {".bmp", kFmtBmp},   {".dib", kFmtBmp},   {".tga", kFmtTga},   {".icb", kFmtTga},
    {".vda", kFmtTga},   {".vst", kFmtTga},   {".fit", kFmtFits},  {".fits", kFmtFits},
    {".fts", kFmtFits},  {".mtv", kFmtMtv},   {".pat", kFmtGimpPattern}, {".fbm", kFmtFbm},
    {".dic", kFmtDicom}, {".dcm", kFmtDicom}, {".nol", kFmtNokia}, {".img", kFmtVicar},
    {".jpg", kFmtJpeg},  {".jpeg", kFmtJpeg}, {".jpe", kFmtJpeg},  {".sun", kFmtSun},
    {".ras", kFmtSun},   {".gif", kFmtGif},   {".pcx", kFmtPcx},   {".dcx", kFmtDcx},
    {".pct", kFmtPict},  {".pict", kFmtPict}, {".xpm", kFmtXpm},   {".pcd", kFmtPcd},
    {".pgm", kFmtPgm},   {".png", kFmtPng},   {".pbm", kFmtPbm},   {".ppm", kFmtPpm},
    {".pnm", -1},        {".sgi", kFmtSgi},   {".rgb", kFmtSgi},   {".bw", kFmtSgi},
    {".xwd", kFmtXwd},   {".rle", kFmtUtahRle}, {".sct", kFmtSct}, {".cpt", kFmtCorel},
    {".pxr", kFmtPixar}, {".qrt", kFmtQrt},   {".psp", kFmtPsp},   {".msp", kFmtMsp},
    {".mac", kFmtMacPaint}, {".tif", kFmtTiff}, {".tiff", kFmtTiff},
    {".webp", kFmtWebp}, {".avif", kFmtAvif}, {".heic", kFmtHeif}, {".heif", kFmtHeif},
    {".hif", kFmtHeif},  {".jxl", kFmtJxl},   {".apng", kFmtApng},
};

} // namespace

std::span<const PICTURE_TYPE> PictureTypes() { return kTypes; }

std::int32_t PictureFormatOf(const char* ext)
{
    for (const PICTURE_TYPE& t : kTypes)
        if (strcasecmp(t.ext, ext) == 0)
            return t.format_code;
    return -2;
}
