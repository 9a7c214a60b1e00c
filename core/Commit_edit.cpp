#include "core/Commit_edit.h"

#include "core/Imageinfo.h"
#include "base/Result_codes.h"

#include <cstring>

int CopyDisplayToWork(TIMAGE_INFO& doc)
{
    if (!doc.display || !doc.context || doc.display->Empty())
        return kDataError;
    Dib& d = *doc.display;
    if (d.PixelFormat() != 24)
        if (const int rc = d.SetPixelFormat(24); rc != kOk)
            return rc;
    const int w = d.Width(), h = d.Height();
    const std::size_t bytes = PictureBytes(w, h, 3);
    if (bytes == SIZE_MAX)
        return kImageTooLarge;
    CODEC_CTX& ctx = *doc.context;
    if (const int rc = ctx.work.Reserve(bytes); rc != kOk)
        return rc;
    const std::size_t row = static_cast<std::size_t>(w) * 3;
    for (int y = 0; y < h; ++y)
        std::memcpy(ctx.work.data() + static_cast<std::size_t>(y) * row, d.ScanLine(y), row);
    ctx.width = w;
    ctx.height = h;
    ctx.work_behind = false;
    return kOk;
}

int CommitEdit(TIMAGE_INFO& doc)
{
    if (const int rc = CopyDisplayToWork(doc); rc != kOk)
        return rc;
    doc.display_width = doc.display->Width();
    doc.display_height = doc.display->Height();
    doc.edited = 1;
    doc.context->edited = true;
    return kOk;
}
