#include "viewer/logic/Image_edits.h"

#include "core/Commit_edit.h"
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "dialogs/logic/Preview_rules.h"
#include "ops/Edgedetection.h"
#include "ops/Hist_equal.h"
#include "ops/Pixel_commands.h"
#include "ops/Rotation.h"
#include "viewer/logic/Undo_chain.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace {

bool IsEmpty(const RECT_BOUNDS& a) { return a.Width() <= 0 || a.Height() <= 0; }

// The area an area command works on: the clamped selection, or the whole picture.
RECT_BOUNDS AreaOf(const TIMAGE_INFO& doc, const RECT_BOUNDS* selection)
{
    const std::int32_t w = doc.display ? doc.display->Width() : 0;
    const std::int32_t h = doc.display ? doc.display->Height() : 0;
    return selection != nullptr ? ClampArea(*selection, w, h) : RECT_BOUNDS{0, 0, w, h};
}

bool Whole(const Dib& d, const RECT_BOUNDS& a)
{
    return a.left == 0 && a.top == 0 && a.right == d.Width() && a.bottom == d.Height();
}

// Copies area a of src (24 bits) to (dx, dy) of dst.
void CopyBlock(const Dib& src, const RECT_BOUNDS& a, Dib& dst, int dx, int dy)
{
    const std::size_t n = static_cast<std::size_t>(a.Width()) * 3;
    for (int y = 0; y < a.Height(); ++y)
        std::memcpy(dst.ScanLine(dy + y) + static_cast<std::size_t>(dx) * 3,
                    src.ScanLine(a.top + y) + static_cast<std::size_t>(a.left) * 3, n);
}

// Runs an in-place operation on area a of the display bitmap.
int OnArea(Dib& d, const RECT_BOUNDS& a, const std::function<void(Dib&)>& op)
{
    if (d.PixelFormat() != 24)
        if (const int rc = d.SetPixelFormat(24); rc != kOk)
            return rc;
    if (Whole(d, a)) {
        op(d);
        return kOk;
    }
    Dib part;
    if (const int rc = part.SetSize(a.Width(), a.Height(), 24); rc != kOk)
        return rc;
    CopyBlock(d, a, part, 0, 0);
    op(part);
    CopyBlock(part, {0, 0, a.Width(), a.Height()}, d, a.left, a.top);
    return kOk;
}

bool UsesSelection(ImageCommand c)
{
    switch (c) {
    case ImageCommand::kNegative: case ImageCommand::kGrayScale: case ImageCommand::kSwapRBG:
    case ImageCommand::kSwapBGR: case ImageCommand::kSwapBRG: case ImageCommand::kSwapGRB:
    case ImageCommand::kSwapGBR: case ImageCommand::kEdgeDetection:
        return true;
    default:
        return false;
    }
}

bool HasPicture(const TIMAGE_INFO& doc) { return doc.display && !doc.display->Empty() && doc.context; }

using Draw = UNDO_CHAIN::Draw;

// The edits another edit undoes exactly, as that pair (see UNDO_CHAIN::PushRecorded);
// false for the others.
bool Recordable(UNDO_CHAIN& chain, ImageCommand cmd, const RECT_BOUNDS& area, Draw& draw, Draw& inverse)
{
    const auto on_area = [area](void (*op)(Dib&)) {
        return [area, op](TIMAGE_INFO& d) { return OnArea(*d.display, area, op); };
    };
    switch (cmd) {
    case ImageCommand::kMirror: draw = inverse = on_area(Mirror); return true;
    case ImageCommand::kVerticalFlip: draw = inverse = on_area(FlipVertical); return true;
    case ImageCommand::kNegative: draw = inverse = on_area(Negative); return true;
    case ImageCommand::kRotateLeft:
    case ImageCommand::kRotateRight: {
        // The turned picture goes into a bitmap of the chain's pool, which takes the
        // replaced one back.
        const auto turn = [&chain](int (*op)(const Dib&, Dib&)) {
            return [chain = &chain, op](TIMAGE_INFO& d) -> int {
                std::unique_ptr<Dib> out = chain->SpareBitmap(d.display->Stride() * static_cast<std::size_t>(d.display->Height()));
                if (!out)
                    out = std::make_unique<Dib>();
                if (const int rc = op(*d.display, *out); rc != kOk) {
                    chain->GiveBack(std::move(out));
                    return rc;
                }
                chain->GiveBack(std::move(d.display));
                d.display = std::move(out);
                return kOk;
            };
        };
        const Draw left = turn(RotateLeft);
        const Draw right = turn(RotateRight);
        draw = cmd == ImageCommand::kRotateLeft ? Draw(left) : Draw(right);
        inverse = cmd == ImageCommand::kRotateLeft ? Draw(right) : Draw(left);
        return true;
    }
    case ImageCommand::kSwapRBG: case ImageCommand::kSwapBGR: case ImageCommand::kSwapBRG:
    case ImageCommand::kSwapGRB: case ImageCommand::kSwapGBR: {
        std::array<int, 3> order{};
        SwapOrder(SwapName(cmd), order.data());
        std::array<int, 3> back{};
        for (int i = 0; i < 3; ++i)
            back[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])] = i;
        const auto swap = [area](std::array<int, 3> o) {
            return [area, o](TIMAGE_INFO& d) {
                return OnArea(*d.display, area, [&o](Dib& p) { SwapChannels(p, o.data()); });
            };
        };
        draw = swap(order);
        inverse = swap(back);
        return true;
    }
    default:
        return false;
    }
}

} // namespace

RECT_BOUNDS ClampArea(const RECT_BOUNDS& s, std::int32_t width, std::int32_t height)
{
    RECT_BOUNDS a{std::min(s.left, s.right), std::min(s.top, s.bottom), std::max(s.left, s.right),
                  std::max(s.top, s.bottom)};
    a.left = std::clamp(a.left, 0, std::max(width, 0));
    a.right = std::clamp(a.right, 0, std::max(width, 0));
    a.top = std::clamp(a.top, 0, std::max(height, 0));
    a.bottom = std::clamp(a.bottom, 0, std::max(height, 0));
    return a;
}

int RunImageCommand(TIMAGE_INFO& doc, UNDO_CHAIN& chain, ImageCommand cmd, const RECT_BOUNDS* selection)
{
    if (!HasPicture(doc))
        return kDataError;
    const RECT_BOUNDS area = AreaOf(doc, UsesSelection(cmd) ? selection : nullptr);
    if (IsEmpty(area))
        return kOk;
    Draw draw, inverse;
    if (Recordable(chain, cmd, area, draw, inverse))
        return chain.PushRecorded(doc, std::move(draw), std::move(inverse));
    if (cmd == ImageCommand::kEdgeDetection)
        return chain.PushReplacement(doc, [&](const Dib& pic, Dib& edges) {
            return DetectEdgesInto(pic, edges, area.left, area.top, area.right, area.bottom);
        });
    // Grey over the whole picture and the equalization go into a pooled bitmap: the old
    // picture becomes the snapshot without a copy.
    if (cmd == ImageCommand::kGrayScale && doc.display->PixelFormat() == 24 && Whole(*doc.display, area))
        return chain.PushReplacement(doc, [](const Dib& pic, Dib& grey) -> int {
            if (const int rc = grey.SetSize(pic.Width(), pic.Height(), 24); rc != kOk)
                return rc;
            GrayScale(pic, grey);
            return kOk;
        });
    if (cmd == ImageCommand::kHistogramEqualization && doc.display->PixelFormat() == 24)
        return chain.PushReplacement(doc, [](const Dib& pic, Dib& out) { return EqualizeHistogram(pic, out); });
    return chain.PushState(doc, [&](TIMAGE_INFO& d) -> int {
        Dib& pic = *d.display;
        switch (cmd) {
        case ImageCommand::kGrayScale: return OnArea(pic, area, [](Dib& p) { GrayScale(p); });
        case ImageCommand::kHistogramEqualization: return EqualizeHistogram(pic, pic);
        default: return ReduceDocumentColors(d);
        }
    });
}

int ApplyEffectResult(TIMAGE_INFO& doc, UNDO_CHAIN& chain, const RECT_BOUNDS* selection)
{
    if (!HasPicture(doc))
        return kDataError;
    const Dib& result = doc.result_bitmap;
    if (result.Width() != doc.display->Width() || result.Height() != doc.display->Height() ||
        result.PixelFormat() != 24)
        return kDataError;
    const RECT_BOUNDS area = AreaOf(doc, selection);
    if (IsEmpty(area))
        return kOk;
    return chain.PushState(doc, [&](TIMAGE_INFO& d) -> int {
        if (d.display->PixelFormat() != 24)
            if (const int rc = d.display->SetPixelFormat(24); rc != kOk)
                return rc;
        CopyBlock(result, area, *d.display, area.left, area.top);
        return kOk;
    });
}

void RecordEffectResult(TIMAGE_INFO& doc, std::unique_ptr<Dib> result)
{
    doc.direct_decode = 0;
    if (!result) {
        ClearEffectResult(doc);
        return;
    }
    doc.result_bitmap.Swap(*result);
    doc.dialog_accepted = 1;
}

void ClearEffectResult(TIMAGE_INFO& doc)
{
    doc.dialog_accepted = 0;
    doc.result_bitmap.Release();
}

void RecordRotationOutcome(TIMAGE_INFO& doc, const ROTATION_OUTCOME& outcome)
{
    doc.rotation_dialog_flag = outcome.accepted ? 0 : 1;
    doc.rotation_angle = outcome.angle;
    std::copy_n(outcome.background, 3, doc.rotation_options);
}

int RotatePictureBy(TIMAGE_INFO& doc, UNDO_CHAIN& chain, double angle, const std::uint8_t background[3])
{
    if (!HasPicture(doc))
        return kDataError;
    if (angle == 0)
        return kOk;
    return chain.PushReplacement(doc, [&](const Dib& src, Dib& dst) { return RotateBitmap(src, dst, angle, background); });
}

int CropPicture(TIMAGE_INFO& doc, UNDO_CHAIN& chain, const RECT_BOUNDS& selection)
{
    if (!HasPicture(doc))
        return kDataError;
    const RECT_BOUNDS area = AreaOf(doc, &selection);
    if (IsEmpty(area))
        return kOk;
    return chain.PushReplacement(doc, [&](const Dib& pic, Dib& out) -> int {
        if (const int rc = out.SetSize(area.Width(), area.Height(), 24); rc != kOk)
            return rc;
        CopyBlock(pic, area, out, 0, 0);
        return kOk;
    });
}

int CopyArea(const TIMAGE_INFO& doc, const RECT_BOUNDS& selection, Dib& out)
{
    if (!HasPicture(doc) || doc.display->PixelFormat() != 24)
        return kDataError;
    const RECT_BOUNDS area = AreaOf(doc, &selection);
    if (IsEmpty(area))
        return kDataError;
    if (const int rc = out.SetSize(area.Width(), area.Height(), 24); rc != kOk)
        return rc;
    CopyBlock(*doc.display, area, out, 0, 0);
    return kOk;
}

int CutArea(TIMAGE_INFO& doc, UNDO_CHAIN& chain, const RECT_BOUNDS& selection, Dib& out)
{
    if (!HasPicture(doc))
        return kDataError;
    if (doc.display->PixelFormat() != 24)
        if (const int rc = doc.display->SetPixelFormat(24); rc != kOk)
            return rc;
    const RECT_BOUNDS area = AreaOf(doc, &selection);
    if (IsEmpty(area))
        return kDataError;
    if (const int rc = CopyArea(doc, area, out); rc != kOk)
        return rc;
    const std::uint8_t fill[3] = {static_cast<std::uint8_t>(doc.fill_colour & 0xFF),
                                  static_cast<std::uint8_t>((doc.fill_colour >> 8) & 0xFF),
                                  static_cast<std::uint8_t>((doc.fill_colour >> 16) & 0xFF)};
    return chain.PushState(doc, [&](TIMAGE_INFO& d) -> int {
        for (int y = area.top; y < area.bottom; ++y) {
            std::uint8_t* p = d.display->ScanLine(y) + static_cast<std::size_t>(area.left) * 3;
            for (int x = area.left; x < area.right; ++x, p += 3)
                std::memcpy(p, fill, 3);
        }
        return kOk;
    });
}

int PastePicture(TIMAGE_INFO& doc, UNDO_CHAIN& chain, const Dib& picture)
{
    if (picture.Empty() || picture.PixelFormat() != 24)
        return kDataError;
    if (PictureBytes(picture.Width(), picture.Height(), 3) == SIZE_MAX)
        return kImageTooLarge;
    const RECT_BOUNDS all{0, 0, picture.Width(), picture.Height()};
    if (doc.state == kPictureOpen && HasPicture(doc))
        return chain.PushUntitled(doc, [&](const Dib&, Dib& out) -> int {
            if (const int rc = out.SetSize(picture.Width(), picture.Height(), 24); rc != kOk)
                return rc;
            CopyBlock(picture, all, out, 0, 0);
            return kOk;
        });
    // Nothing (or a media file) is open: the pasted picture starts a document of its own.
    auto out = std::make_unique<Dib>();
    if (const int rc = out->SetSize(picture.Width(), picture.Height(), 24); rc != kOk)
        return rc;
    CopyBlock(picture, all, *out, 0, 0);
    doc.display = std::move(out);
    doc.state = kPictureOpen;
    doc.picture_present = 1;
    doc.current_path.clear();
    doc.format_code = kFmtBmp;
    doc.bits_per_pixel = 24;
    doc.context->bits_per_pixel = 24;
    doc.context->out_bits_per_pixel = 24;
    return chain.ResetChain(doc, false);
}
