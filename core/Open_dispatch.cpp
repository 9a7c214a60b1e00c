// The open dispatcher: from the current path to a picture in the display bitmap.
#include "core/Imageinfo.h"
#include "core/Result_codes.h"
#include "dec_enc/Codecs.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <exception>

namespace {

enum class Finish {
    Convert,             // the dispatcher copies the decoded pixel buffer into the display bitmap
    ConvertUnlessDirect, // ... unless the direct-decode flag made the display bitmap the
                         // reader's direct target
    ReaderDraws,         // the display bitmap is always the reader's direct target
};

enum Extra : unsigned {
    kNoExtra = 0,
    kSizeDisplayFirst = 1, // display size and bitmap from the context before the finish
    kDepth24 = 2,          // the document reports 24 bits whatever the reader said
    kGifDepth = 4,         // the document's depth comes from the colour count
};

struct DispatchRow {
    const char* exts[2];
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
    {{".TGA", nullptr}, ReadTga, kFmtTga, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".FIT", nullptr}, ReadFits, kFmtFits, nullptr, kNoExtra, Finish::ReaderDraws},
    {{".MTV", nullptr}, ReadMtv, kFmtMtv, nullptr, kNoExtra, Finish::ReaderDraws},
    {{".PAT", nullptr}, ReadGimpPattern, kFmtGimpPattern, nullptr, kSizeDisplayFirst, Finish::ConvertUnlessDirect},
    {{".FBM", nullptr}, ReadFbm, kFmtFbm, nullptr, kSizeDisplayFirst, Finish::ConvertUnlessDirect},
    {{".DIC", nullptr}, ReadDicom, kFmtDicom, nullptr, kSizeDisplayFirst, Finish::ConvertUnlessDirect},
    {{".NOL", nullptr}, ReadNokiaLogo, kFmtNokia, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".IMG", nullptr}, ReadVicar, kFmtVicar, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".JPG", nullptr}, ReadJpeg, kFmtJpeg, "JPEG", kNoExtra, Finish::ConvertUnlessDirect},
    {{".SUN", ".RAS"}, ReadSun, kFmtSun, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".GIF", nullptr}, ReadGif, kFmtGif, "LZW", kGifDepth, Finish::ConvertUnlessDirect},
    {{".PCX", nullptr}, ReadPcx, kFmtPcx, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".PCT", nullptr}, ReadPict, kFmtPict, nullptr, kNoExtra, Finish::Convert},
    {{".XPM", nullptr}, ReadXpm, kFmtXpm, "None", kNoExtra, Finish::Convert},
    {{".PCD", nullptr}, ReadPcd, kFmtPcd, nullptr, kDepth24, Finish::Convert},
    {{".PGM", nullptr}, ReadPgm, kFmtPgm, nullptr, kNoExtra, Finish::Convert},
    {{".PNG", nullptr}, ReadPng, kFmtPng, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".PBM", nullptr}, ReadPbm, kFmtPbm, nullptr, kNoExtra, Finish::Convert},
    {{".PPM", nullptr}, ReadPpm, kFmtPpm, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".SGI", ".RGB"}, ReadSgi, kFmtSgi, nullptr, kNoExtra, Finish::Convert},
    {{".XWD", nullptr}, ReadXwd, kFmtXwd, "None", kNoExtra, Finish::Convert},
    {{".RLE", nullptr}, ReadUtahRle, kFmtUtahRle, "RLE", kNoExtra, Finish::Convert},
    {{".SCT", nullptr}, ReadSct, kFmtSct, nullptr, kNoExtra, Finish::Convert},
    {{".CPT", nullptr}, ReadCorel, kFmtCorel, nullptr, kNoExtra, Finish::Convert},
    {{".PXR", nullptr}, ReadPixar, kFmtPixar, nullptr, kNoExtra, Finish::Convert},
    {{".QRT", nullptr}, ReadQrt, kFmtQrt, "None", kNoExtra, Finish::Convert},
    {{".PSP", nullptr}, ReadPsp, kFmtPsp, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".MSP", nullptr}, ReadMsp, kFmtMsp, nullptr, kNoExtra, Finish::Convert},
    {{".MAC", nullptr}, ReadMacPaint, kFmtMacPaint, nullptr, kNoExtra, Finish::Convert},
    {{".TIF", nullptr}, ReadTiff, kFmtTiff, nullptr, kNoExtra, Finish::Convert},
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

// Depth of a GIF from its colour count: 1 bit for two colours ... 8 bits for 256.
std::int32_t DepthForColours(std::int32_t colours)
{
    std::int32_t bits = 1;
    while (bits < 8 && colours > (1 << bits))
        ++bits;
    return bits;
}

// Runs a reader with the display bitmap as its direct target when `direct`, and installs
// a bitmap the reader hands back as the new display bitmap (the old one becomes the
// context's decoder bitmap). The reader may throw; the context's links to the display
// bitmap are undone either way.
int RunReader(TIMAGE_INFO& doc, ReaderFn reader, bool direct)
{
    CODEC_CTX& ctx = *doc.context;
    ctx.direct_target = direct ? doc.display.get() : nullptr;
    ctx.drew_direct = false;
    ctx.handed_back.reset();
    struct Unlink {
        CODEC_CTX& ctx;
        ~Unlink() { ctx.direct_target = nullptr; }
    } unlink {ctx};
    const int rc = reader(ctx);
    if (ctx.handed_back) {
        ctx.decoder_bitmap = std::move(doc.display);
        doc.display = std::move(ctx.handed_back);
    }
    return rc;
}

void FinishOpen(TIMAGE_INFO& doc)
{
    doc.display_width = doc.context->width;
    doc.display_height = doc.context->height;
    doc.ReadFileFacts();
    doc.state = kPictureOpen;
    doc.picture_present = 1;
    doc.edited = 0;
    doc.context->edited = false;
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

    open_directory = DirectoryOf(current_path);
    FindCurrent();
    CODEC_CTX& ctx = *context;
    ctx.input_file_name = current_path;

    for (const MediaRow& m : kMedia)
        if (ext == m.ext) {
            if (access(current_path.c_str(), F_OK) != 0)
                return kOpenFileError; // a missing media file keeps what was open
            format_code = m.format_code;
            picture_present = 1;
            display.reset();
            state = kMediaOpen;
            ReadFileFacts();
            return kOk;
        }

    if (!display)
        display = std::make_unique<Dib>();
    const DispatchRow* row = FindRow(ext);
    if (row == nullptr)
        return kDataError;
    if (row->reader == nullptr)
        return kFormatNotSupported;

    ctx.index_matches_picture = false;
    const bool wants_direct =
        row->finish == Finish::ReaderDraws || (row->finish == Finish::ConvertUnlessDirect && direct_decode != 0);
    int rc = kOk;
    try {
        rc = RunReader(*this, row->reader, wants_direct);
    } catch (...) {
        state = kNothingOpen;
        return kOpenFileError;
    }
    if (row->compression != nullptr && (rc == kOk || row->format_code == kFmtJpeg))
        ctx.compression_name = row->compression;
    if (rc != kOk)
        return rc;

    const bool direct = ctx.drew_direct;
    if (row->extra & kSizeDisplayFirst) {
        if (int sized = display->SetSize(ctx.width, ctx.height, 24); sized != kOk)
            return sized;
    }
    if (!direct) {
        if (int converted = CopyDecodedTo(ctx, *display); converted != kOk)
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
