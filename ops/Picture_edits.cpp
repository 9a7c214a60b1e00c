#include "ops/Picture_edits.h"

#include "core/Commit_edit.h"
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "ops/Edgedetection.h"
#include "ops/Hist_equal.h"
#include "ops/Pixel_commands.h"
#include "dec_enc/Rcd.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

Dib* Picture(TIMAGE_INFO& doc)
{
    if (!doc.display || doc.display->Empty() || !doc.context)
        return nullptr;
    if (doc.display->PixelFormat() != 24 && doc.display->SetPixelFormat(24) != kOk)
        return nullptr;
    return doc.display.get();
}

// The picture shown is the edited one; the working pixel buffer follows at the next save
// that reads it.
void MarkEdited(TIMAGE_INFO& doc)
{
    CODEC_CTX& ctx = *doc.context;
    ctx.width = doc.display->Width();
    ctx.height = doc.display->Height();
    ctx.edited = true;
    ctx.work_behind = true;
    ctx.index_matches_picture = false;
    doc.display_width = ctx.width;
    doc.display_height = ctx.height;
    doc.edited = 1;
}

} // namespace

const char* SwapName(ImageCommand c)
{
    switch (c) {
    case ImageCommand::kSwapRBG: return "RBG";
    case ImageCommand::kSwapBGR: return "BGR";
    case ImageCommand::kSwapBRG: return "BRG";
    case ImageCommand::kSwapGRB: return "GRB";
    case ImageCommand::kSwapGBR: return "GBR";
    default: return nullptr;
    }
}

int DetectEdgesInto(const Dib& pic, Dib& edges, int left, int top, int right, int bottom)
{
    if (const int rc = edges.SetSize(pic.Width(), pic.Height(), 24); rc != kOk)
        return rc;
    DetectEdges(pic, edges);
    // Outside the area, and on the one-pixel frame the detector does not write, the new
    // picture keeps the old one.
    const int il = std::max(left, 1), it = std::max(top, 1);
    const int ir = std::min(right, pic.Width() - 1), ib = std::min(bottom, pic.Height() - 1);
    const bool empty = ir <= il || ib <= it;
    const std::size_t row = static_cast<std::size_t>(pic.Width()) * 3;
    for (int y = 0; y < pic.Height(); ++y) {
        if (empty || y < it || y >= ib) {
            std::memcpy(edges.ScanLine(y), pic.ScanLine(y), row);
            continue;
        }
        const std::size_t l = static_cast<std::size_t>(il) * 3;
        const std::size_t r = static_cast<std::size_t>(ir) * 3;
        std::memcpy(edges.ScanLine(y), pic.ScanLine(y), l);
        std::memcpy(edges.ScanLine(y) + r, pic.ScanLine(y) + r, row - r);
    }
    return kOk;
}

int ReduceDocumentColors(TIMAGE_INFO& doc)
{
    Dib& d = *doc.display;
    CODEC_CTX& ctx = *doc.context;
    if (const int rc = CopyDisplayToWork(doc); rc != kOk)
        return rc;
    ctx.edited = true;
    auto rcd = std::make_unique<TRCD>();
    if (const int rc = rcd->ReduceColorDepth(ctx); rc != kOk)
        return rc;
    const std::uint8_t* index = ctx.index.data();
    for (int y = 0; y < d.Height(); ++y) {
        std::uint8_t* p = d.ScanLine(y);
        for (int x = 0; x < d.Width(); ++x, p += 3, ++index)
            std::memcpy(p, ctx.palette + 3 * *index, 3);
    }
    ctx.out_bits_per_pixel = 8;
    return kOk;
}

int ApplyPictureEditInPlace(TIMAGE_INFO& doc, const std::function<int(Dib&)>& edit)
{
    Dib* pic = Picture(doc);
    if (pic == nullptr)
        return kDataError;
    if (const int rc = edit(*pic); rc != kOk)
        return rc;
    MarkEdited(doc);
    return kOk;
}

int ApplyPictureEdit(TIMAGE_INFO& doc, const std::function<int(const Dib&, Dib&)>& edit)
{
    const Dib* pic = Picture(doc);
    if (pic == nullptr)
        return kDataError;
    auto out = std::make_unique<Dib>();
    if (const int rc = edit(*pic, *out); rc != kOk)
        return rc;
    doc.display = std::move(out);
    MarkEdited(doc);
    return kOk;
}

int ApplyImageCommand(TIMAGE_INFO& doc, ImageCommand cmd)
{
    const auto in_place = [&doc](void (*op)(Dib&)) {
        return ApplyPictureEditInPlace(doc, [op](Dib& p) {
            op(p);
            return kOk;
        });
    };
    switch (cmd) {
    case ImageCommand::kMirror: return in_place(Mirror);
    case ImageCommand::kVerticalFlip: return in_place(FlipVertical);
    case ImageCommand::kNegative: return in_place(Negative);
    case ImageCommand::kGrayScale: return in_place(GrayScale);
    case ImageCommand::kRotateLeft: return ApplyPictureEdit(doc, RotateLeft);
    case ImageCommand::kRotateRight: return ApplyPictureEdit(doc, RotateRight);
    case ImageCommand::kHistogramEqualization:
        // In place: no second picture-sized bitmap to fault in.
        return ApplyPictureEditInPlace(doc, [](Dib& p) { return EqualizeHistogram(p, p); });
    case ImageCommand::kEdgeDetection:
        return ApplyPictureEdit(doc, [](const Dib& s, Dib& d) {
            return DetectEdgesInto(s, d, 0, 0, s.Width(), s.Height());
        });
    case ImageCommand::kReduceColors:
        if (Picture(doc) == nullptr)
            return kDataError;
        if (const int rc = ReduceDocumentColors(doc); rc != kOk)
            return rc;
        MarkEdited(doc);
        return kOk;
    default: {
        int order[3];
        if (!SwapOrder(SwapName(cmd), order))
            return kDataError;
        return ApplyPictureEditInPlace(doc, [&order](Dib& p) {
            SwapChannels(p, order);
            return kOk;
        });
    }
    }
}
