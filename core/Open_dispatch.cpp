// The open dispatcher: from the current path to a picture in the display bitmap.
#include "core/Imageinfo.h"
#include "core/Open_orientation.h"
#include "core/Sniff.h"
#include "core/Result_codes.h"
#include "dec_enc/Codecs.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <exception>

namespace {

enum class Finish {
    Convert,             // the dispatcher copies the decoded pixel buffer into the display bitmap
    ConvertUnlessDirect, // ... unless the direct-decode flag let the reader draw it already
    ReaderDraws,         // the reader always draws the display bitmap itself
};

enum Extra : unsigned {
    kNoExtra = 0,
    kSizeDisplayFirst = 1, // display size and bitmap from the context before the finish
    kDepth24 = 2,          // the document reports 24 bits whatever the reader said
    kGifDepth = 4,         // the document's depth comes from the colour count
};

struct DispatchRow {
    const char* exts[4];
    ReaderFn reader; // null: that reader is not part of the program yet
    std::int32_t format_code;
    const char* compression; // written after the read, or null
    unsigned extra;
    Finish finish;
};

// Tested in this order; the first matching extension decides. Readers still null are
// answered with kFormatNotSupported until their codec is added to the program.
const DispatchRow kDispatch[] = {
    {{".BMP", ".DIB"}, ReadBmp, kFmtBmp, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".TGA", ".ICB", ".VDA", ".VST"}, ReadTga, kFmtTga, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".FIT", ".FITS", ".FTS"}, ReadFits, kFmtFits, nullptr, kNoExtra, Finish::ReaderDraws},
    {{".MTV", nullptr}, ReadMtv, kFmtMtv, nullptr, kNoExtra, Finish::ReaderDraws},
    {{".PAT", nullptr}, ReadGimpPattern, kFmtGimpPattern, nullptr, kSizeDisplayFirst, Finish::ConvertUnlessDirect},
    {{".FBM", nullptr}, ReadFbm, kFmtFbm, nullptr, kSizeDisplayFirst, Finish::ConvertUnlessDirect},
    {{".DIC", ".DCM"}, ReadDicomFile, kFmtDicom, nullptr, kSizeDisplayFirst, Finish::ConvertUnlessDirect},
    {{".NOL", nullptr}, ReadNokiaLogo, kFmtNokia, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".IMG", nullptr}, ReadVicar, kFmtVicar, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".JPG", ".JPEG", ".JPE"}, ReadJpeg, kFmtJpeg, "JPEG", kNoExtra, Finish::ConvertUnlessDirect},
    {{".SUN", ".RAS"}, ReadSun, kFmtSun, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".GIF", nullptr}, ReadGif, kFmtGif, "LZW", kGifDepth, Finish::ConvertUnlessDirect},
    {{".PCX", nullptr}, ReadPcx, kFmtPcx, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".DCX", nullptr}, ReadDcx, kFmtDcx, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".PCT", ".PICT"}, ReadPict, kFmtPict, nullptr, kNoExtra, Finish::Convert},
    {{".XPM", nullptr}, ReadXpm, kFmtXpm, "None", kNoExtra, Finish::Convert},
    {{".PCD", nullptr}, ReadPcd, kFmtPcd, nullptr, kDepth24, Finish::Convert},
    {{".PGM", nullptr}, ReadPgm, kFmtPgm, nullptr, kNoExtra, Finish::Convert},
    {{".PNG", nullptr}, ReadPng, kFmtPng, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".PBM", nullptr}, ReadPbm, kFmtPbm, nullptr, kNoExtra, Finish::Convert},
    {{".PPM", nullptr}, ReadPpm, kFmtPpm, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".SGI", ".RGB", ".BW"}, ReadSgi, kFmtSgi, nullptr, kNoExtra, Finish::Convert},
    {{".XWD", nullptr}, ReadXwd, kFmtXwd, "None", kNoExtra, Finish::Convert},
    {{".RLE", nullptr}, ReadUtahRle, kFmtUtahRle, "RLE", kNoExtra, Finish::Convert},
    {{".SCT", nullptr}, ReadSct, kFmtSct, nullptr, kNoExtra, Finish::Convert},
    {{".CPT", nullptr}, ReadCorel, kFmtCorel, nullptr, kNoExtra, Finish::Convert},
    {{".PXR", nullptr}, ReadPixar, kFmtPixar, nullptr, kNoExtra, Finish::Convert},
    {{".QRT", nullptr}, ReadQrt, kFmtQrt, "None", kNoExtra, Finish::Convert},
    {{".PSP", nullptr}, ReadPsp, kFmtPsp, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".MSP", nullptr}, ReadMsp, kFmtMsp, nullptr, kNoExtra, Finish::Convert},
    {{".MAC", nullptr}, ReadMacPaint, kFmtMacPaint, nullptr, kNoExtra, Finish::Convert},
    {{".TIF", ".TIFF"}, ReadTiff, kFmtTiff, nullptr, kNoExtra, Finish::Convert},
};

struct MediaRow {
    const char* ext;
    std::int32_t format_code; // -1: keep the previous code
};

// Media files go to playback. .AIF, .ASF and .WAV get codes of their own kind so that they
// play like the others (every code above 100 marks an open media file); .AIFF is a media
// file too.
const MediaRow kMedia[] = {
    {".AVI", kFmtAvi}, {".AIF", kFmtAiff}, {".AIFF", kFmtAiff}, {".ASF", kFmtWmv}, {".AU", kFmtAu},
    {".CDA", kFmtCdaMidi}, {".MP3", kFmtMp3}, {".MPG", kFmtMpeg}, {".MPEG", kFmtMpeg},
    {".MID", kFmtCdaMidi}, {".SND", kFmtSnd}, {".WAV", kFmtWav}, {".WMA", kFmtWma}, {".WMV", kFmtWmv},
};

const DispatchRow* FindRow(const std::string& ext)
{
    for (const DispatchRow& row : kDispatch)
        for (const char* e : row.exts)
            if (e != nullptr && ext == e)
                return &row;
    return nullptr;
}

// The row of a format recognised by its first bytes, or null.
const DispatchRow* RowForFormat(std::int32_t format_code)
{
    for (const DispatchRow& row : kDispatch)
        if (row.format_code == format_code && row.reader != nullptr)
            return &row;
    return nullptr;
}

// Depth of a GIF from its colour count: 1 bit for two colours ... 8 bits for 256.
std::int32_t DepthForColours(std::int32_t colours)
{
    std::int32_t bits = 1;
    while (bits < 8 && colours > (1 << bits))
        ++bits;
    return bits;
}

// Copies the decoded picture into a 24-bit display bitmap of its size.
int ConvertToDisplay(TIMAGE_INFO& doc)
{
    CODEC_CTX& ctx = *doc.context;
    const std::size_t row_bytes = ctx.RowBytes();
    const std::size_t picture_bytes = PictureBytes(ctx.width, ctx.height, 3);
    if (picture_bytes == SIZE_MAX)
        return kImageTooLarge;
    if (ctx.decoded.size() < picture_bytes)
        return kDataError;
    if (!doc.display)
        doc.display = std::make_unique<Dib>();
    if (int rc = doc.display->SetSize(ctx.width, ctx.height, 24); rc != kOk)
        return rc;
    for (int y = 0; y < ctx.height; ++y) {
        std::uint8_t* line = doc.display->ScanLine(y);
        std::memcpy(line, ctx.DecodedRow(y), row_bytes);
        std::memset(line + row_bytes, 0, doc.display->Stride() - row_bytes);
    }
    return kOk;
}

void FinishOpen(TIMAGE_INFO& doc)
{
    doc.display_width = doc.context->width;
    doc.display_height = doc.context->height;
    doc.ReadFileFacts();
    doc.state = kPictureOpen;
    doc.picture_present = 1;
    doc.edited = 0;
}

} // namespace

std::int32_t TIMAGE_INFO::Open(const std::string& path)
{
    current_path = path;
    return Open();
}

std::int32_t TIMAGE_INFO::Open()
{
    if (load_timing != 0)
        StartLoadTimer();
    std::string ext = ExtensionOf(current_path);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });

    char cwd[4096];
    open_directory = getcwd(cwd, sizeof cwd) != nullptr ? cwd : "";
    FindCurrent();
    CODEC_CTX& ctx = *context;
    ctx.input_file_name = current_path;

    for (const MediaRow& m : kMedia)
        if (ext == m.ext) {
            format_code = m.format_code;
            picture_present = 1;
            display.reset();
            state = kMediaOpen;
            return kOk;
        }

    if (!display)
        display = std::make_unique<Dib>();
    const DispatchRow* row = FindRow(ext);
    // An unknown name: the first bytes decide; when they match nothing, or their reader
    // fails too, the answer stays the unknown extension's.
    const bool sniffed = row == nullptr;
    if (sniffed)
        row = RowForFormat(SniffFile(current_path));
    if (row == nullptr)
        return kDataError;
    if (row->reader == nullptr)
        return kFormatNotSupported;

    ctx.index_matches_picture = false;
    int rc = kOk;
    try {
        rc = row->reader(ctx);
        if (rc == kMagicError && !sniffed) { // a known name on another format's bytes
            const DispatchRow* real = RowForFormat(SniffFile(current_path));
            if (real != nullptr && real != row && real->reader(ctx) == kOk) {
                row = real;
                rc = kOk;
            }
        }
        if (sniffed && rc != kOk)
            rc = kDataError;
    } catch (...) {
        state = kNothingOpen;
        return kOpenFileError;
    }
    if (row->compression != nullptr && (rc == kOk || row->format_code == kFmtJpeg))
        ctx.compression_name = row->compression;
    if (rc != kOk)
        return rc;

    const bool direct =
        row->finish == Finish::ReaderDraws || (row->finish == Finish::ConvertUnlessDirect && direct_decode != 0);
    orientation = 0;
    if (row->format_code == kFmtJpeg) {
        if (int turned = OrientOpenedPicture(*this, direct); turned != kOk)
            return turned;
    }
    if (row->extra & kSizeDisplayFirst) {
        if (int sized = display->SetSize(ctx.width, ctx.height, 24); sized != kOk)
            return sized;
    }
    if (!direct) {
        if (int converted = ConvertToDisplay(*this); converted != kOk)
            return converted;
    } else if (display->Width() != ctx.width || display->Height() != ctx.height) {
        return kDataError; // a reader that draws must leave a bitmap of the picture's size
    }

    format_code = row->format_code;
    bits_per_pixel = (row->extra & kDepth24) ? 24 : ctx.bits_per_pixel;
    if (row->extra & kGifDepth) {
        bits_per_pixel = DepthForColours(CountColors());
        ctx.bits_per_pixel = bits_per_pixel;
    }
    FindCurrent();
    if (load_timing != 0)
        last_load_time = StopLoadTimer();
    FinishOpen(*this);
    if (direct)
        direct_decode = 0;
    return kOk;
}
