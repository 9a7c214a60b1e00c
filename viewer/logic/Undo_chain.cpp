#include "viewer/logic/Undo_chain.h"

#include "core/Imageinfo.h"
#include "core/Result_codes.h"

#include <cstring>
#include <new>

namespace {

// Copies the 24-bit display bitmap into a buffer sized to it.
int TakePicture(const Dib& d, PixelBuffer& to)
{
    const std::size_t bytes = PictureBytes(d.Width(), d.Height(), 3);
    if (bytes == SIZE_MAX)
        return kImageTooLarge;
    if (const int rc = to.Reserve(bytes); rc != kOk)
        return rc;
    const std::size_t row = static_cast<std::size_t>(d.Width()) * 3;
    for (int y = 0; y < d.Height(); ++y)
        std::memcpy(to.data() + static_cast<std::size_t>(y) * row, d.ScanLine(y), row);
    return kOk;
}

} // namespace

int UNDO_CHAIN::ResetChain(TIMAGE_INFO& doc, bool has_file)
{
    states_.clear();
    spare_.Release();
    bytes_ = 0;
    position_ = 0;
    clean_ = has_file ? 0 : -1;
    doc.current_state = doc.context.get();
    if (doc.context)
        doc.context->prev_state = doc.context->next_state = nullptr;
    doc.undo_position = doc.undo_length = 0;
    if (has_file)
        return kOk;
    if (!doc.display || doc.display->Empty() || !doc.context)
        return kDataError;
    try {
        if (const int rc = CaptureFirst(doc); rc != kOk)
            return rc;
    } catch (const std::bad_alloc&) {
        return kMemoryError;
    }
    Publish(doc);
    return kOk;
}

int UNDO_CHAIN::CaptureFirst(TIMAGE_INFO& doc)
{
    if (!states_.empty())
        return kOk;
    Dib& d = *doc.display;
    if (d.PixelFormat() != 24)
        if (const int rc = d.SetPixelFormat(24); rc != kOk)
            return rc;
    // The picture shown becomes the first state, in the working buffer.
    if (const int rc = TakePicture(d, doc.context->work); rc != kOk)
        return rc;
    PICTURE_STATE first;
    first.width = d.Width();
    first.height = d.Height();
    bytes_ = first.Bytes();
    states_.push_back(std::move(first));
    position_ = 0;
    return kOk;
}

int UNDO_CHAIN::PushState(TIMAGE_INFO& doc, const std::function<int(TIMAGE_INFO& doc)>& draw)
{
    if (!doc.display || doc.display->Empty() || !doc.context)
        return kDataError;
    try {
        if (const int rc = CaptureFirst(doc); rc != kOk)
            return rc;
        int rc = draw(doc);
        PixelBuffer next = std::move(spare_);
        if (!doc.display)
            doc.display = std::make_unique<Dib>();
        if (rc == kOk && (doc.display->Empty() || doc.display->PixelFormat() != 24))
            rc = kDataError;
        if (rc == kOk)
            rc = TakePicture(*doc.display, next);
        if (rc != kOk) {
            spare_ = std::move(next);
            Show(doc, position_);
            return rc;
        }
        while (CanRedo()) {
            Recycle(states_.back());
            states_.pop_back();
        }
        if (clean_ > position_)
            clean_ = -1;
        // The old current state takes its pixels back from the working buffer, which
        // takes the new picture's.
        CODEC_CTX& ctx = *doc.context;
        states_[static_cast<std::size_t>(position_)].pixels = std::move(ctx.work);
        ctx.work = std::move(next);
        PICTURE_STATE added;
        added.width = doc.display->Width();
        added.height = doc.display->Height();
        bytes_ += added.Bytes();
        states_.push_back(std::move(added));
        ++position_;
        KeepWithinBudget();
        Publish(doc);
        return kOk;
    } catch (const std::bad_alloc&) {
        if (!states_.empty())
            Show(doc, position_);
        return kMemoryError;
    } catch (...) {
        if (!states_.empty())
            Show(doc, position_);
        return kUnknownError;
    }
}

void UNDO_CHAIN::KeepWithinBudget()
{
    while (bytes_ > budget_ && position_ > 0) {
        Recycle(states_.front());
        states_.pop_front();
        --position_;
        clean_ = clean_ > 0 ? clean_ - 1 : -1;
    }
}

void UNDO_CHAIN::Recycle(PICTURE_STATE& s)
{
    bytes_ -= s.Bytes();
    if (s.pixels.capacity() != 0)
        spare_ = std::move(s.pixels);
}

int UNDO_CHAIN::Show(TIMAGE_INFO& doc, std::int32_t k)
{
    CODEC_CTX& ctx = *doc.context;
    PICTURE_STATE& s = states_[static_cast<std::size_t>(k)];
    const PixelBuffer& from = k == position_ ? ctx.work : s.pixels;
    Dib& d = *doc.display;
    if (d.Width() != s.width || d.Height() != s.height || d.PixelFormat() != 24)
        if (const int rc = d.SetSize(s.width, s.height, 24); rc != kOk)
            return rc;
    const std::size_t row = static_cast<std::size_t>(s.width) * 3;
    for (int y = 0; y < s.height; ++y)
        std::memcpy(d.ScanLine(y), from.data() + static_cast<std::size_t>(y) * row, row);
    if (k != position_) {
        states_[static_cast<std::size_t>(position_)].pixels = std::move(ctx.work);
        ctx.work = std::move(s.pixels);
    }
    return kOk;
}

void UNDO_CHAIN::Publish(TIMAGE_INFO& doc)
{
    const PICTURE_STATE& s = states_[static_cast<std::size_t>(position_)];
    CODEC_CTX& ctx = *doc.context;
    ctx.width = s.width;
    ctx.height = s.height;
    ctx.edited = true;
    ctx.index_matches_picture = false;
    doc.display_width = s.width;
    doc.display_height = s.height;
    doc.edited = position_ == clean_ ? 0 : 1;
    doc.undo_position = position_;
    doc.undo_length = Length();
}

int UNDO_CHAIN::Undo(TIMAGE_INFO& doc)
{
    if (!CanUndo() || !doc.display || !doc.context)
        return kDataError;
    if (const int rc = Show(doc, position_ - 1); rc != kOk)
        return rc;
    --position_;
    Publish(doc);
    return kOk;
}

int UNDO_CHAIN::Redo(TIMAGE_INFO& doc)
{
    if (!CanRedo() || !doc.display || !doc.context)
        return kDataError;
    if (const int rc = Show(doc, position_ + 1); rc != kOk)
        return rc;
    ++position_;
    Publish(doc);
    return kOk;
}

void UNDO_CHAIN::MarkSaved(TIMAGE_INFO& doc)
{
    clean_ = position_;
    doc.edited = 0;
}
