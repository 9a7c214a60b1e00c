// The open dispatcher: from the current path, or from a file's bytes, to a picture in the
// display bitmap.
#include "core/Imageinfo.h"
#include "base/File_io.h"
#include "core/Open_orientation.h"
#include "core/Sniff.h"
#include "base/Result_codes.h"
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
    const char* exts[4];
    DecoderFn decoder; // null: that reader is not part of the program yet
    std::int32_t format_code;
    const char* compression; // written after the read, or null
    unsigned extra;
    Finish finish;
};

// Tested in this order; the first matching extension decides. Readers still null are
// answered with kFormatNotSupported until their codec is added to the program.
const DispatchRow kDispatch[] = {
    {{".BMP", ".DIB"}, DecodeBmp, kFmtBmp, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".TGA", ".ICB", ".VDA", ".VST"}, DecodeTga, kFmtTga, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".FIT", ".FITS", ".FTS"}, DecodeFits, kFmtFits, nullptr, kNoExtra, Finish::ReaderDraws},
    {{".MTV", nullptr}, DecodeMtv, kFmtMtv, nullptr, kNoExtra, Finish::ReaderDraws},
    {{".PAT", nullptr}, DecodeGimpPattern, kFmtGimpPattern, nullptr, kSizeDisplayFirst, Finish::ConvertUnlessDirect},
    {{".FBM", nullptr}, DecodeFbm, kFmtFbm, nullptr, kSizeDisplayFirst, Finish::ConvertUnlessDirect},
    {{".DIC", ".DCM"}, DecodeDicomFile, kFmtDicom, nullptr, kSizeDisplayFirst, Finish::ConvertUnlessDirect},
    {{".NOL", nullptr}, DecodeNokiaLogo, kFmtNokia, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".IMG", nullptr}, DecodeVicar, kFmtVicar, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".JPG", ".JPEG", ".JPE"}, DecodeJpeg, kFmtJpeg, "JPEG", kNoExtra, Finish::ConvertUnlessDirect},
    {{".SUN", ".RAS"}, DecodeSun, kFmtSun, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".GIF", nullptr}, DecodeGifFile, kFmtGif, "LZW", kGifDepth, Finish::ConvertUnlessDirect},
    {{".PCX", nullptr}, DecodePcx, kFmtPcx, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".DCX", nullptr}, DecodeDcx, kFmtDcx, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".PCT", ".PICT"}, DecodePict, kFmtPict, nullptr, kNoExtra, Finish::Convert},
    {{".XPM", nullptr}, DecodeXpm, kFmtXpm, "None", kNoExtra, Finish::Convert},
    {{".PCD", nullptr}, DecodePcd, kFmtPcd, nullptr, kDepth24, Finish::Convert},
    {{".PGM", nullptr}, DecodePgm, kFmtPgm, nullptr, kNoExtra, Finish::Convert},
    {{".PNG", nullptr}, DecodeApng, kFmtPng, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".PBM", nullptr}, DecodePbm, kFmtPbm, nullptr, kNoExtra, Finish::Convert},
    {{".PPM", nullptr}, DecodePpm, kFmtPpm, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".SGI", ".RGB", ".BW"}, DecodeSgi, kFmtSgi, nullptr, kNoExtra, Finish::Convert},
    {{".XWD", nullptr}, DecodeXwd, kFmtXwd, "None", kNoExtra, Finish::Convert},
    {{".RLE", nullptr}, DecodeUtahRle, kFmtUtahRle, "RLE", kNoExtra, Finish::Convert},
    {{".SCT", nullptr}, DecodeSct, kFmtSct, nullptr, kNoExtra, Finish::Convert},
    {{".CPT", nullptr}, DecodeCorel, kFmtCorel, nullptr, kNoExtra, Finish::Convert},
    {{".PXR", nullptr}, DecodePixar, kFmtPixar, nullptr, kNoExtra, Finish::Convert},
    {{".QRT", nullptr}, DecodeQrt, kFmtQrt, "None", kNoExtra, Finish::Convert},
    {{".PSP", nullptr}, DecodePsp, kFmtPsp, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".MSP", nullptr}, DecodeMsp, kFmtMsp, nullptr, kNoExtra, Finish::Convert},
    {{".MAC", nullptr}, DecodeMacPaint, kFmtMacPaint, nullptr, kNoExtra, Finish::Convert},
    {{".TIF", ".TIFF"}, DecodeTiff, kFmtTiff, nullptr, kNoExtra, Finish::Convert},
    {{".WEBP", nullptr}, DecodeWebp, kFmtWebp, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".AVIF", nullptr}, DecodeAvif, kFmtAvif, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".HEIC", ".HEIF", ".HIF"}, DecodeHeif, kFmtHeif, nullptr, kNoExtra, Finish::Convert},
    {{".JXL", nullptr}, DecodeJxl, kFmtJxl, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
    {{".APNG", nullptr}, DecodeApng, kFmtApng, nullptr, kNoExtra, Finish::ConvertUnlessDirect},
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

std::string Upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

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
        if (row.format_code == format_code && row.decoder != nullptr)
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
int RunDecoder(TIMAGE_INFO& doc, DecoderFn decoder, std::span<const std::uint8_t> bytes, bool direct)
{
    CODEC_CTX& ctx = *doc.context;
    ctx.direct_target = direct ? doc.display.get() : nullptr;
    ctx.drew_direct = false;
    ctx.handed_back.reset();
    struct Unlink {
        CODEC_CTX& ctx;
        ~Unlink() { ctx.direct_target = nullptr; }
    } unlink {ctx};
    const int rc = decoder(ctx, bytes);
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
    doc.state = kPictureOpen;
    doc.picture_present = 1;
    doc.edited = 0;
    doc.context->edited = false;
    doc.context->work_behind = false;
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
    open_directory = DirectoryOf(current_path);
    FindCurrent();
    const std::int32_t rc = OpenStep(current_path, {}, true);
    if (rc == kOk && state == kPictureOpen) {
        FindCurrent();
        ReadFileFacts();
    }
    return rc;
}

std::int32_t TIMAGE_INFO::OpenBytes(const std::string& name, std::span<const std::uint8_t> bytes)
{
    if (load_timing != 0)
        StartLoadTimer();
    return OpenStep(name, bytes, false);
}

void TIMAGE_INFO::AdoptOpened(TIMAGE_INFO& opened)
{
    CODEC_CTX& kept = *context;
    CODEC_CTX& taken = *opened.context;
    std::swap(taken.quality, kept.quality);
    std::swap(taken.lossless, kept.lossless);
    std::swap(taken.speed, kept.speed);
    std::swap(context, opened.context);
    std::swap(display, opened.display);
    current_state = context.get();
    opened.current_state = opened.context.get();
    current_path = opened.current_path;
    open_directory = opened.open_directory;
    format_code = opened.format_code;
    orientation = opened.orientation;
    facts = opened.facts;
    bits_per_pixel = opened.bits_per_pixel;
    display_width = opened.display_width;
    display_height = opened.display_height;
    state = opened.state;
    picture_present = opened.picture_present;
    file_size = opened.file_size;
    file_size_kb = opened.file_size_kb;
    day = opened.day;
    month = opened.month;
    year = opened.year;
    hour = opened.hour;
    minute = opened.minute;
    second = opened.second;
    last_load_time = opened.last_load_time;
    edited = 0;
    FindCurrent();
}

bool IsMediaExtension(const std::string& ext)
{
    const std::string upper = Upper(ext);
    return std::any_of(std::begin(kMedia), std::end(kMedia), [&](const MediaRow& m) { return upper == m.ext; });
}

std::int32_t TIMAGE_INFO::OpenStep(const std::string& name, std::span<const std::uint8_t> bytes, bool load)
{
    const std::string ext = Upper(ExtensionOf(name));
    CODEC_CTX& ctx = *context;
    ctx.input_file_name = name;
    ctx.failure_reason.clear();
    // The profile, Exif and comment belong to the picture shown: an open that fails keeps
    // them with it.
    struct KeepMeta {
        CODEC_CTX& ctx;
        CODEC_CTX::PICTURE_META old;
        bool replaced = false;
        ~KeepMeta()
        {
            if (!replaced)
                ctx.meta = std::move(old);
        }
    } keep {ctx, std::move(ctx.meta)};
    ctx.meta.Clear();

    for (const MediaRow& m : kMedia)
        if (ext == m.ext) {
            if (load && access(name.c_str(), F_OK) != 0)
                return Refuse(ctx, kOpenFileError, UnreadableReason(name)); // keeps what was open
            format_code = m.format_code;
            picture_present = 1;
            display.reset();
            state = kMediaOpen;
            keep.replaced = true;
            if (load)
                ReadFileFacts();
            return kOk;
        }

    if (!display)
        display = std::make_unique<Dib>();
    const DispatchRow* row = FindRow(ext);
    // An unknown name: the first bytes decide; when they match nothing, or their reader
    // fails too, the answer stays the unknown extension's.
    const bool sniffed = row == nullptr;
    if (sniffed) {
        const char* foreign = nullptr;
        if (load) {
            row = RowForFormat(SniffFile(name, &foreign));
        } else {
            row = RowForFormat(SniffFormat(bytes));
            foreign = ForeignFormatName(bytes);
        }
        if (row == nullptr) {
            std::string why = foreign != nullptr ? NotReadReason(foreign) : load ? UnreadableReason(name) : "";
            return Refuse(ctx, kDataError,
                          why.empty() ? "neither its name nor its first bytes are of a format Ravelscope reads" : why);
        }
    }
    if (row->decoder == nullptr)
        return Refuse(ctx, kFormatNotSupported, std::string("this build reads no ") + FormatName(row->format_code) +
                                                    " files");
    // The file is mapped, not read: the reader's passed pages are given back as it goes,
    // so the file never stands in memory beside the picture whole. Where it cannot be
    // mapped it is read.
    MappedFile mapped;
    struct Unmap {
        CODEC_CTX& ctx;
        ~Unmap() { ctx.input_map = nullptr; }
    } unmap {ctx};
    if (load) {
        if (mapped.Map(name) == kOk) {
            bytes = mapped.Bytes();
            if (bytes.size() > kMaxPictureBytes)
                return Refuse(ctx, sniffed ? kDataError : kImageTooLarge, "the file is larger than 1 GiB");
            ctx.input_map = &mapped;
        } else {
            if (int loaded = LoadWholeFile(name, ctx.file); loaded != kOk)
                return Refuse(ctx, sniffed ? kDataError : loaded,
                              loaded == kImageTooLarge ? "the file is larger than 1 GiB" : UnreadableReason(name));
            bytes = std::span<const std::uint8_t>(ctx.file.data(), ctx.file.size());
        }
    }

    ctx.index_matches_picture = false;
    auto wants_direct = [this](const DispatchRow* r) {
        return r->finish == Finish::ReaderDraws || (r->finish == Finish::ConvertUnlessDirect && direct_decode != 0);
    };
    int rc = kOk;
    try {
        rc = RunDecoder(*this, row->decoder, bytes, wants_direct(row));
        if (rc == kMagicError && !sniffed) { // a known name on another format's bytes
            const DispatchRow* real = RowForFormat(SniffFormat(bytes));
            if (real != nullptr && real != row) {
                ctx.failure_reason.clear();
                if (RunDecoder(*this, real->decoder, bytes, wants_direct(real)) == kOk) {
                    row = real;
                    rc = kOk;
                } else {
                    const std::string why = ctx.failure_reason;
                    ctx.failure_reason = std::string("the file holds ") + FormatName(real->format_code) +
                                         " data" + (why.empty() ? "" : ": " + why);
                }
            } else if (const char* foreign = ForeignFormatName(bytes)) {
                ctx.failure_reason = NotReadReason(foreign);
            }
        }
        if (sniffed && rc != kOk)
            rc = kDataError;
    } catch (...) {
        state = kNothingOpen;
        return Refuse(ctx, kOpenFileError, "the reader stopped on an unexpected failure");
    }
    if (row->compression != nullptr && (rc == kOk || row->format_code == kFmtJpeg))
        ctx.compression_name = row->compression;
    if (rc != kOk)
        return rc;

    const bool direct = ctx.drew_direct;
    orientation = 0;
    if (row->format_code == kFmtJpeg) {
        if (int turned = OrientOpenedPicture(*this, bytes, direct); turned != kOk)
            return turned;
    }
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
    if (format_code == kFmtPng || format_code == kFmtApng) // a PNG holding an animation is APNG
        format_code = ctx.meta.frame_count > 0 ? kFmtApng : kFmtPng;
    const CODEC_CTX::PICTURE_META& m = ctx.meta;
    facts = {m.bits_per_sample, m.alpha, m.frame_count, m.duration_ms, m.loop_count, m.icc_profile.size()};
    bits_per_pixel = (row->extra & kDepth24) ? 24 : ctx.bits_per_pixel;
    if (row->extra & kGifDepth) {
        bits_per_pixel = DepthForColours(CountColors());
        ctx.bits_per_pixel = bits_per_pixel;
    }
    if (load_timing != 0)
        last_load_time = StopLoadTimer();
    FinishOpen(*this);
    keep.replaced = true;
    if (direct)
        direct_decode = 0;
    return kOk;
}
