// The save dispatcher, the context preparation every save shares, and the Save command.
#include "core/Commit_edit.h"
#include "core/Imageinfo.h"
#include "base/Pixel_ops.h"
#include "base/Replace_file.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Exif.h"

#include <algorithm>
#include <cstring>

namespace {

struct WriterRow {
    std::int32_t save_code;
    WriterFn writer; // null: that writer is not part of the program yet
};

// Save code 1 (Windows bitmap) is written by the display bitmap itself. The GIF writer
// runs colour reduction first where the picture needs it.
const WriterRow kWriters[] = {
    {kSaveDcx, WriteDcx}, {kSaveGif, WriteGif}, {kSaveJpeg, WriteJpeg}, {kSavePat, WritePat},
    {kSavePcx, WritePcx}, {kSavePng, WritePng}, {kSavePgm, WritePgm},   {kSavePpm, WritePpm},
    {kSaveSun, WriteSun}, {kSaveTga, WriteTga}, {kSaveTiff, WriteTiff}, {kSaveXwd, WriteXwd},
    {kSaveWebp, WriteWebp}, {kSaveAvif, WriteAvif}, {kSaveJxl, WriteJxl},
};

struct CommandRow {
    std::int32_t format_code;
    std::int32_t save_code;
};

// The Save command writes these formats back in kind.
constexpr CommandRow kSaveCommand[] = {
    {kFmtBmp, kSaveBmp}, {kFmtTga, kSaveTga}, {kFmtPcx, kSavePcx}, {kFmtJpeg, kSaveJpeg},
    {kFmtGif, kSaveGif}, {kFmtPng, kSavePng}, {kFmtPpm, kSavePpm}, {kFmtPgm, kSavePgm},
};

} // namespace

std::int32_t PrepareSave(TIMAGE_INFO& doc, std::int32_t save_code, const std::string& output_path)
{
    CODEC_CTX& ctx = *doc.context;
    doc.save_code = save_code;
    ctx.output_file_name = output_path;
    if (!doc.display || doc.display->Empty() || doc.state != kPictureOpen)
        return kDataError;
    if (int rc = doc.display->SetPixelFormat(24); rc != kOk)
        return rc;
    const Dib& dib = *doc.display;
    // Every writer gets the size of the picture on screen, so that a save after a crop or
    // a rotation never reads a stale size.
    ctx.width = dib.Width();
    ctx.height = dib.Height();
    ctx.out_bits_per_pixel = 24;
    ctx.quality = std::clamp(doc.save_quality, 1, 100);
    if (save_code == kSaveTga) {
        ctx.right_to_left = false;
        ctx.top_to_bottom = false;
    }
    return kOk;
}

bool SaveReadsDisplay(std::int32_t save_code)
{
    // Colour reduction reads the context's own buffers; every other writer reads the rows
    // of the display bitmap.
    return save_code != kSaveGif;
}

std::int32_t TIMAGE_INFO::Save()
{
    CODEC_CTX& ctx = *context;
    last_save_errno = 0;
    ctx.failure_reason.clear();
    // Writers read the display bitmap's rows; only the GIF writer's colour reduction reads
    // the working pixel buffer, which an edit that changed the display alone leaves behind.
    if (ctx.work_behind && !SaveReadsDisplay(save_code))
        if (const int rc = CopyDisplayToWork(*this); rc != kOk)
            return rc;
    WriterFn writer = nullptr;
    if (save_code == kSaveBmp) {
        if (!display)
            return kDataError;
        if (int rc = display->SetPixelFormat(24); rc != kOk)
            return rc;
    } else {
        const WriterRow* row = nullptr;
        for (const WriterRow& w : kWriters)
            if (w.save_code == save_code)
                row = &w;
        if (row == nullptr)
            return kOpenFileError;
        if (row->writer == nullptr)
            return kFormatNotSupported;
        writer = row->writer;
    }
    // Every writer writes a temporary file that replaces the target only when complete;
    // the writer sees the temporary file's name as the output name. What it reads besides
    // the context's buffers: whether the working pixel buffer holds the picture, and the
    // display bitmap, whose rows are the picture (SourceRow).
    const std::string target = ctx.output_file_name;
    // The working pixel buffer holds the picture shown from the first edit on, whatever
    // the document's edited flag says after a save or an undo to the saved picture.
    ctx.edited = ctx.edited || edited != 0;
    ctx.source_bitmap = display.get();
    // The profile, Exif and comment go with the file they came from: a picture no file
    // holds (pasted, scanned) writes none, and once written it is the picture of a file
    // that holds none (the Save As that names it makes that file the document's), so they
    // stay out. An edited picture's Exif thumbnail shows the picture before the edits: it
    // goes.
    CODEC_CTX::PICTURE_META held;
    if (current_path.empty())
        std::swap(held, ctx.meta);
    else if (ctx.edited)
        DropExifThumbnail(ctx.meta.exif);
    struct GiveBack {
        CODEC_CTX& ctx;
        CODEC_CTX::PICTURE_META& held;
        bool swapped;
        ~GiveBack()
        {
            if (swapped)
                std::swap(held, ctx.meta);
        }
    } give_back {ctx, held, current_path.empty()};
    int sys_error = 0;
    const int rc = ReplaceFileWith(
        target,
        [&](const std::string& path) -> int {
            ctx.output_file_name = path;
            try {
                return writer == nullptr ? display->SaveToFile(path) : writer(ctx);
            } catch (...) {
                return kUnknownError;
            }
        },
        &sys_error);
    ctx.output_file_name = target;
    ctx.source_bitmap = nullptr;
    last_save_errno = sys_error;
    if (rc == kOk)
        give_back.swapped = false;
    if (rc != kOk && sys_error != 0 && ctx.failure_reason.empty()) {
        char buf[256];
        ctx.failure_reason = strerror_r(sys_error, buf, sizeof buf);
    }
    return rc;
}

std::int32_t TIMAGE_INFO::SaveCommand()
{
    std::int32_t code = 0;
    for (const CommandRow& r : kSaveCommand)
        if (r.format_code == format_code)
            code = r.save_code;
    if (code == 0 || state != kPictureOpen)
        return kFormatNotSupported;
    if (current_path.empty()) // a pasted picture no file holds yet: the caller asks for a name
        return kOpenFileError;
    const std::string ext = ExtensionOf(current_path);
    const std::string base = current_path.substr(0, current_path.size() - ext.size());
    if (int rc = PrepareSave(*this, code, base + SaveExtension(code)); rc != kOk)
        return rc;
    const int rc = Save();
    if (rc == kOk)
        edited = 0;
    return rc;
}
