#include "viewer/logic/Undo_chain.h"

#include "core/Imageinfo.h"
#include "base/Result_codes.h"

#include <cstring>
#include <new>
#include <system_error>

namespace {

// Freed snapshot blocks kept for the next snapshots.
constexpr std::size_t kPoolBlocks = 2;

std::size_t ShownBytes(const Dib& d) { return d.Stride() * static_cast<std::size_t>(d.Height()); }

bool Usable(const TIMAGE_INFO& doc) { return doc.display && !doc.display->Empty() && doc.context; }

} // namespace

int UNDO_CHAIN::ResetChain(TIMAGE_INFO& doc, bool has_file)
{
    states_.clear();
    if (preparing_.valid())
        preparing_.wait();
    preparing_ = {};
    pool_.clear();
    bytes_ = shown_bytes_ = 0;
    position_ = 0;
    clean_ = has_file ? 0 : -1;
    file_ = has_file ? FileOf(doc) : DOC_FILE{};
    doc.current_state = doc.context.get();
    if (doc.context)
        doc.context->prev_state = doc.context->next_state = nullptr;
    doc.undo_position = doc.undo_length = 0;
    if (has_file)
        return kOk;
    if (!Usable(doc))
        return kDataError;
    if (const int rc = Begin(doc); rc != kOk)
        return rc;
    states_.front().untitled = true;
    Publish(doc);
    return kOk;
}

bool UNDO_CHAIN::Untitled() const
{
    return states_.empty() ? file_.path.empty() : states_[static_cast<std::size_t>(position_)].untitled;
}

void UNDO_CHAIN::Name(TIMAGE_INFO& doc) const
{
    static const DOC_FILE kNone;
    const DOC_FILE& f = Untitled() ? kNone : file_;
    doc.current_path = f.path;
    doc.format_code = f.format_code;
    doc.bits_per_pixel = f.bits_per_pixel;
}

std::int32_t UNDO_CHAIN::Snapshots() const
{
    std::int32_t n = 0;
    for (const STATE& s : states_)
        n += s.pixels ? 1 : 0;
    return n;
}

int UNDO_CHAIN::Begin(TIMAGE_INFO& doc)
{
    if (!states_.empty())
        return kOk;
    Dib& d = *doc.display;
    if (d.PixelFormat() != 24)
        if (const int rc = d.SetPixelFormat(24); rc != kOk)
            return rc;
    STATE first;
    first.width = d.Width();
    first.height = d.Height();
    states_.push_back(std::move(first));
    position_ = 0;
    shown_bytes_ = ShownBytes(d);
    return kOk;
}

std::unique_ptr<Dib> UNDO_CHAIN::TakeBlock(std::size_t n)
{
    if (preparing_.valid())
        Pool(preparing_.get());
    // The smallest block that held n bytes or more; with none, a block to grow once the
    // pool is full (growing maps fresh memory, so which one does not matter).
    auto best = pool_.end();
    for (auto it = pool_.begin(); it != pool_.end(); ++it)
        if (ShownBytes(**it) >= n && (best == pool_.end() || ShownBytes(**it) < ShownBytes(**best)))
            best = it;
    if (best == pool_.end() && pool_.size() >= kPoolBlocks)
        best = pool_.begin();
    std::unique_ptr<Dib> block;
    if (best != pool_.end()) {
        block = std::move(*best);
        pool_.erase(best);
    }
    return block;
}

void UNDO_CHAIN::Pool(std::unique_ptr<Dib> block)
{
    if (block && pool_.size() + (preparing_.valid() ? 1 : 0) < kPoolBlocks)
        pool_.push_back(std::move(block));
}

void UNDO_CHAIN::PrepareBlock(const Dib& shown)
{
    const std::size_t n = ShownBytes(shown);
    if (preparing_.valid() || n == 0 || pool_.size() >= kPoolBlocks)
        return;
    for (const auto& b : pool_)
        if (ShownBytes(*b) >= n)
            return;
    try {
        preparing_ = std::async(std::launch::async, [w = shown.Width(), h = shown.Height()] {
            auto block = std::make_unique<Dib>();
            if (block->SetSize(w, h, 24) == kOk) {
                const std::size_t bytes = ShownBytes(*block);
                for (std::size_t i = 0; i < bytes; i += 4096)
                    block->Bits()[i] = 0;
            }
            return block;
        });
    } catch (const std::system_error&) {
        // No thread to spare: the next snapshot allocates its block itself.
    }
}

int UNDO_CHAIN::Snapshot(const TIMAGE_INFO& doc, STATE& s)
{
    const Dib& d = *doc.display;
    const std::size_t n = ShownBytes(d);
    std::unique_ptr<Dib> block = TakeBlock(n);
    if (!block)
        block = std::make_unique<Dib>();
    if (const int rc = block->SetSize(d.Width(), d.Height(), 24); rc != kOk) {
        Pool(std::move(block));
        return rc;
    }
    std::memcpy(block->Bits(), d.Bits(), n);
    s.pixels = std::move(block);
    bytes_ += n;
    return kOk;
}

void UNDO_CHAIN::SwapIn(TIMAGE_INFO& doc, STATE& s, STATE* into)
{
    std::unique_ptr<Dib> shown = std::move(doc.display);
    bytes_ -= ShownBytes(*s.pixels);
    doc.display = std::move(s.pixels);
    if (into != nullptr && shown) {
        bytes_ += ShownBytes(*shown);
        into->pixels = std::move(shown);
    } else {
        Pool(std::move(shown));
    }
}

void UNDO_CHAIN::Free(STATE& s)
{
    if (!s.pixels)
        return;
    bytes_ -= ShownBytes(*s.pixels);
    Pool(std::move(s.pixels));
}

void UNDO_CHAIN::DropRedoTail()
{
    while (CanRedo()) {
        Free(states_.back());
        states_.pop_back();
    }
    if (clean_ > position_)
        clean_ = -1;
}

int UNDO_CHAIN::Append(TIMAGE_INFO& doc, STATE added)
{
    DropRedoTail();
    // What follows a picture no file holds is one too.
    added.untitled = added.untitled || states_[static_cast<std::size_t>(position_)].untitled;
    added.width = doc.display->Width();
    added.height = doc.display->Height();
    states_.push_back(std::move(added));
    ++position_;
    shown_bytes_ = ShownBytes(*doc.display);
    KeepWithinBudget();
    Publish(doc);
    PrepareBlock(*doc.display);
    return kOk;
}

int UNDO_CHAIN::PushState(TIMAGE_INFO& doc, const Draw& draw)
{
    if (!Usable(doc))
        return kDataError;
    bool took = false;
    // Puts the picture back from the snapshot this call took and gives the snapshot back.
    const auto fail = [&](int rc) {
        if (took)
            SwapIn(doc, states_[static_cast<std::size_t>(position_)], nullptr);
        return rc;
    };
    try {
        if (const int rc = Begin(doc); rc != kOk)
            return rc;
        if (const int rc = Snapshot(doc, states_[static_cast<std::size_t>(position_)]); rc != kOk)
            return rc;
        took = true;
        int rc = draw(doc);
        if (rc == kOk && (!doc.display || doc.display->Empty() || doc.display->PixelFormat() != 24))
            rc = kDataError;
        if (rc != kOk)
            return fail(rc);
        return Append(doc, STATE{});
    } catch (const std::bad_alloc&) {
        return fail(kMemoryError);
    } catch (...) {
        return fail(kUnknownError);
    }
}

int UNDO_CHAIN::PushReplacement(TIMAGE_INFO& doc, const Make& make) { return Replace(doc, make, false); }

int UNDO_CHAIN::PushUntitled(TIMAGE_INFO& doc, const Make& make) { return Replace(doc, make, true); }

int UNDO_CHAIN::Replace(TIMAGE_INFO& doc, const Make& make, bool untitled)
{
    if (!Usable(doc))
        return kDataError;
    try {
        if (const int rc = Begin(doc); rc != kOk)
            return rc;
        std::unique_ptr<Dib> out = TakeBlock(ShownBytes(*doc.display));
        if (!out)
            out = std::make_unique<Dib>();
        int rc = make(*doc.display, *out);
        if (rc == kOk && (out->Empty() || out->PixelFormat() != 24))
            rc = kDataError;
        if (rc != kOk) {
            Pool(std::move(out));
            return rc;
        }
        STATE& cur = states_[static_cast<std::size_t>(position_)];
        bytes_ += ShownBytes(*doc.display);
        cur.pixels = std::move(doc.display);
        doc.display = std::move(out);
        STATE added;
        added.untitled = untitled;
        return Append(doc, std::move(added));
    } catch (const std::bad_alloc&) {
        return kMemoryError;
    } catch (...) {
        return kUnknownError;
    }
}

int UNDO_CHAIN::PushRecorded(TIMAGE_INFO& doc, Draw draw, Draw inverse)
{
    if (!Usable(doc))
        return kDataError;
    try {
        if (const int rc = Begin(doc); rc != kOk)
            return rc;
        if (const int rc = draw(doc); rc != kOk)
            return rc;
        STATE added;
        added.redo = std::move(draw);
        added.undo = std::move(inverse);
        return Append(doc, std::move(added));
    } catch (const std::bad_alloc&) {
        return kMemoryError;
    } catch (...) {
        return kUnknownError;
    }
}

void UNDO_CHAIN::KeepWithinBudget()
{
    while (Bytes() > budget_ && position_ > 0) {
        Free(states_.front());
        states_.pop_front();
        --position_;
        clean_ = clean_ > 0 ? clean_ - 1 : -1;
    }
}

void UNDO_CHAIN::Publish(TIMAGE_INFO& doc)
{
    const STATE& s = states_[static_cast<std::size_t>(position_)];
    CODEC_CTX& ctx = *doc.context;
    ctx.width = s.width;
    ctx.height = s.height;
    ctx.edited = true;
    ctx.work_behind = true;
    ctx.index_matches_picture = false;
    doc.display_width = s.width;
    doc.display_height = s.height;
    doc.edited = position_ == clean_ ? 0 : 1;
    doc.undo_position = position_;
    doc.undo_length = Length();
    Name(doc);
}

int UNDO_CHAIN::Step(TIMAGE_INFO& doc, std::int32_t to)
{
    if (!Usable(doc))
        return kDataError;
    const bool back = to < position_;
    STATE& cur = states_[static_cast<std::size_t>(position_)];
    STATE& target = states_[static_cast<std::size_t>(to)];
    // The step between the two states: the later one's.
    const STATE& step = back ? cur : target;
    try {
        if (step.undo) {
            if (const int rc = (back ? step.undo : step.redo)(doc); rc != kOk)
                return rc;
        } else {
            // The picture shown becomes the snapshot of the state left.
            if (!target.pixels)
                return kDataError;
            SwapIn(doc, target, &cur);
        }
    } catch (const std::bad_alloc&) {
        return kMemoryError;
    }
    position_ = to;
    shown_bytes_ = ShownBytes(*doc.display);
    KeepWithinBudget();
    Publish(doc);
    PrepareBlock(*doc.display);
    return kOk;
}

int UNDO_CHAIN::Undo(TIMAGE_INFO& doc) { return CanUndo() ? Step(doc, position_ - 1) : kDataError; }

int UNDO_CHAIN::Redo(TIMAGE_INFO& doc) { return CanRedo() ? Step(doc, position_ + 1) : kDataError; }

void UNDO_CHAIN::MarkSaved(TIMAGE_INFO& doc)
{
    clean_ = position_;
    doc.edited = 0;
}

void UNDO_CHAIN::SavedAs(TIMAGE_INFO& doc, const DOC_FILE& file)
{
    file_ = file;
    for (STATE& s : states_)
        s.untitled = false;
    Name(doc);
    MarkSaved(doc);
}
