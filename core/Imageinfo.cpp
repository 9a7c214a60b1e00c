#include "core/Imageinfo.h"

#include "base/Result_codes.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <new>

namespace {

struct FormatNameRow {
    std::int32_t code;
    const char* name;
};

constexpr FormatNameRow kFormatNames[] = {
    {kFmtBmp, "Windows bitmap"}, {kFmtTga, "TrueVision TARGA"}, {kFmtPcx, "ZSoft PaintBrush"},
    {kFmtJpeg, "JPEG"}, {kFmtGif, "GIF"}, {kFmtPng, "PNG"}, {kFmtPpm, "portable pixmap"},
    {kFmtPgm, "portable greymap"}, {kFmtDcx, "multi-page PaintBrush (DCX)"}, {kFmtPict, "Macintosh PICT"},
    {kFmtPcd, "Photo CD"}, {kFmtSgi, "Silicon Graphics"}, {kFmtUtahRle, "Utah RLE"},
    {kFmtLbm, "Amiga paint (LBM)"}, {kFmtCorel, "Corel Photo-Paint"}, {kFmtSct, "SciTech"},
    {kFmtQrt, "Quick Ray Trace"}, {kFmtPixar, "Pixar"}, {kFmtPsp, "Paint Shop Pro"}, {kFmtMacPaint, "MacPaint"},
    {kFmtPbm, "portable bitmap"}, {kFmtMsp, "Microsoft Paint"}, {kFmtXwd, "X window dump"},
    {kFmtXpm, "X pixmap"}, {kFmtXbm, "X bitmap"}, {kFmtTiff, "TIFF"}, {kFmtWmf, "Windows metafile"},
    {kFmtEmf, "enhanced metafile"}, {kFmtNokia, "Nokia operator logo"}, {kFmtGimpPattern, "GIMP pattern"},
    {kFmtFits, "FITS"}, {kFmtSun, "Sun raster"}, {kFmtMtv, "MTV ray tracer"}, {kFmtVicar, "VICAR"},
    {kFmtDicom, "DICOM"}, {kFmtFbm, "fuzzy bitmap"}, {kFmtWebp, "WebP"}, {kFmtAvif, "AVIF"},
    {kFmtHeif, "HEIF"}, {kFmtJxl, "JPEG XL"}, {kFmtApng, "animated PNG"}, {kFmtAu, "audio"}, {kFmtAiff, "audio"},
    {kFmtAvi, "video"}, {kFmtMpeg, "video"}, {kFmtMp3, "MPEG audio"}, {kFmtSnd, "audio"}, {kFmtWma, "audio"},
    {kFmtWmv, "video"}, {kFmtCdaMidi, "CD audio track, MIDI"}, {kFmtWav, "audio"},
};

struct SaveRow {
    std::int32_t code;
    const char* ext;
    const char* name;
};

constexpr SaveRow kSaveRows[] = {
    {kSaveBmp, ".bmp", "Windows bitmap"}, {kSaveDcx, ".dcx", "DCX"},   {kSaveGif, ".gif", "GIF"},
    {kSaveJpeg, ".jpg", "JPEG"},          {kSavePat, ".pat", "GIMP pattern"}, {kSavePcx, ".pcx", "PCX"},
    {kSavePng, ".png", "PNG"},            {kSavePgm, ".pgm", "PGM"},   {kSavePpm, ".ppm", "PPM"},
    {kSaveSun, ".sun", "Sun raster"},     {kSaveTga, ".tga", "TARGA"}, {kSaveTiff, ".tif", "TIFF"},
    {kSaveXwd, ".xwd", "X window dump"}, {kSaveWebp, ".webp", "WebP"}, {kSaveAvif, ".avif", "AVIF"},
    {kSaveJxl, ".jxl", "JPEG XL"},
};

// Extensions the directory list takes, in table order.
constexpr const char* kBrowsable[] = {
    ".bmp", ".dib", ".tga", ".sgi", ".rgb", ".gif", ".pcd", ".mtv", ".qrt", ".sct", ".pcx",
    ".jpg", ".png", ".pgm", ".ppm", ".pct", ".lbm", ".psp", ".rle", ".pbm", ".dcx", ".cpt",
    ".pxr", ".msp", ".mac", ".tif", ".xpm", ".xwd", ".fit", ".sun", ".img", ".nol",
    ".jpeg", ".jpe", ".tiff", ".bw", ".pnm", ".dcm", ".fits", ".fts", ".pict", ".icb", ".vda", ".vst",
    ".webp", ".avif", ".heic", ".heif", ".hif", ".jxl", ".apng",
};

// One stopwatch per thread: a batch conversion times each of its opens on its own.
thread_local std::chrono::steady_clock::time_point g_load_start = std::chrono::steady_clock::now();

} // namespace

const char* FormatName(std::int32_t format_code)
{
    for (const FormatNameRow& r : kFormatNames)
        if (r.code == format_code)
            return r.name;
    return "";
}

std::int32_t SaveCodeForExtension(const std::string& ext)
{
    for (const SaveRow& r : kSaveRows)
        if (strcasecmp(r.ext, ext.c_str()) == 0)
            return r.code;
    return 0;
}

const char* SaveExtension(std::int32_t save_code)
{
    for (const SaveRow& r : kSaveRows)
        if (r.code == save_code)
            return r.ext;
    return "";
}

const char* SaveFormatName(std::int32_t save_code)
{
    for (const SaveRow& r : kSaveRows)
        if (r.code == save_code)
            return r.name;
    return "";
}

std::string DirectoryOf(const std::string& path) { return std::filesystem::path(path).parent_path().string(); }

void StartLoadTimer() { g_load_start = std::chrono::steady_clock::now(); }

std::int32_t StopLoadTimer()
{
    const auto elapsed = std::chrono::steady_clock::now() - g_load_start;
    return static_cast<std::int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

TIMAGE_INFO::TIMAGE_INFO() : context(std::make_unique<CODEC_CTX>()), display(std::make_unique<Dib>())
{
    current_state = context.get();
}

TIMAGE_INFO::~TIMAGE_INFO() = default;

bool TIMAGE_INFO::BuildFileList(const std::string& directory, bool with_media)
{
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr)
        return false;
    file_list.clear();
    browse_directory = directory;
    const std::string base = directory == "/" ? std::string() : directory;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        const std::string ext = ExtensionOf(name);
        if (ext.empty())
            continue;
        // Extensions match in any case: cameras and many tools write PHOTO.JPG.
        const bool listed = std::any_of(std::begin(kBrowsable), std::end(kBrowsable),
                                        [&](const char* b) { return strcasecmp(b, ext.c_str()) == 0; }) ||
                            (with_media && IsMediaExtension(ext));
        if (!listed)
            continue;
        std::string full = base + "/" + name;
        struct stat st {};
        if (stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        file_list.push_back(std::move(full));
    }
    closedir(dir);
    std::sort(file_list.begin(), file_list.end(), [](const std::string& a, const std::string& b) {
        const int c = strcasecmp(a.c_str(), b.c_str());
        return c != 0 ? c < 0 : a < b;
    });
    return true;
}

std::int32_t TIMAGE_INFO::FindCurrent()
{
    // Linux paths are case-sensitive: a.bmp and A.bmp are two files.
    for (std::size_t i = 0; i < file_list.size(); ++i)
        if (file_list[i] == current_path) {
            current_index = static_cast<std::int32_t>(i);
            return current_index;
        }
    return -1;
}

const char* TIMAGE_INFO::GetListEntry(std::int32_t index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= file_list.size())
        return nullptr;
    return file_list[static_cast<std::size_t>(index)].c_str();
}

std::int32_t TIMAGE_INFO::OpenListEntry(std::int32_t index)
{
    const char* entry = GetListEntry(index);
    if (entry == nullptr)
        return -1;
    current_path = entry;
    return Open() == kOk ? 0 : -1;
}

void TIMAGE_INFO::DropCurrentFromList()
{
    const auto it = std::find(file_list.begin(), file_list.end(), current_path);
    if (it != file_list.end())
        file_list.erase(it);
}

void TIMAGE_INFO::ReadFileFacts()
{
    struct stat st {};
    if (stat(current_path.c_str(), &st) != 0)
        return;
    file_size = static_cast<std::int64_t>(st.st_size);
    file_size_kb = static_cast<double>(file_size) * (1.0 / 1024.0);
    std::tm tm {};
    const std::time_t t = st.st_mtime;
    if (localtime_r(&t, &tm) == nullptr)
        return;
    day = tm.tm_mday;
    month = tm.tm_mon + 1;
    year = tm.tm_year + 1900;
    hour = tm.tm_hour;
    minute = tm.tm_min;
    second = tm.tm_sec;
}

std::int32_t TIMAGE_INFO::CountColors()
{
    if (!display || display->Empty())
        return 0;
    if (display->SetPixelFormat(24) != kOk)
        return -1;
    const int w = display->Width();
    const int h = display->Height();
    auto key_at = [](const std::uint8_t* p) {
        return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
    };
    try {
        if (static_cast<std::int64_t>(w) * h <= 65536) {
            // Small pictures (icons, most GIFs): sorting their colours beats clearing a
            // 2 MiB table.
            std::vector<std::uint32_t> keys;
            keys.reserve(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
            for (int y = 0; y < h; ++y) {
                const std::uint8_t* p = display->ScanLine(y);
                for (int x = 0; x < w; ++x, p += 3)
                    keys.push_back(key_at(p));
            }
            std::sort(keys.begin(), keys.end());
            return static_cast<std::int32_t>(std::unique(keys.begin(), keys.end()) - keys.begin());
        }
        std::vector<std::uint64_t> seen(std::size_t{1} << 18, 0); // one bit per 24-bit colour
        std::int32_t count = 0;
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* p = display->ScanLine(y);
            for (int x = 0; x < w; ++x, p += 3) {
                const std::uint32_t key = key_at(p);
                std::uint64_t& word = seen[key >> 6];
                const std::uint64_t bit = std::uint64_t{1} << (key & 63);
                if ((word & bit) == 0) {
                    word |= bit;
                    ++count;
                }
            }
        }
        return count;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}
