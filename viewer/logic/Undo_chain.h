// The undo chain of the main window: how to get back to the pictures earlier edits
// replaced, and forward again.
//
// A state is a picture's size and, when it needs them, its pixels (a snapshot). An edit
// that another edit undoes exactly (a flip, a quarter turn, the negative, a channel
// swap) is recorded as that pair of edits: its state keeps no pixels, Undo runs the
// inverse and Redo runs the edit again. Any other edit first copies the picture it
// changes into a snapshot bitmap; Undo or Redo across it swaps that bitmap with the
// display bitmap, copying nothing. The current state never keeps a snapshot: the display
// bitmap is its picture.
//
// The chain owns its states. The first state is the display bitmap at the first edit
// after an open, so an open costs nothing. A new edit frees the redo tail; ResetChain
// frees everything. The snapshots and the picture shown keep within a memory budget: the
// oldest steps are dropped first, the current picture never. Freed snapshot memory goes
// to a small pool the next snapshots reuse: a fresh picture-sized block costs the kernel
// a zero fill of every page, 10 to 60 ms at 4096 × 4096. While the pool has no block of
// the picture's size (the pool holds at most two, outside the budget), a worker faults one
// in after each step, so the next edit finds its snapshot memory ready.
//
// The display bitmap is the picture: edits change it in place, and the context's working
// pixel buffer (what most writers save from) is not copied per step. Instead the chain
// sets the context's work_behind flag and the next save copies the display bitmap into
// the working buffer first; so the bytes a save writes are always the picture shown.
//
// After every call that returns kOk the display bitmap holds the current state's picture
// (size included), the context's edited flag is set so the writers save it, and the
// document's undo counters and edited flag tell where the chain stands. A call that
// fails leaves picture and chain as they were.
//
// The chain also knows which file its pictures belong to (DOC_FILE). A picture that enters
// as a paste, a scan or a capture belongs to none: its state and every state after it are
// untitled, and while one of them is shown the document has no path (and its format and
// depth are those of a 24-bit bitmap). Undo back across the paste shows the file's picture
// again under the file's path, so nothing the file holds is ever written over by Save
// without the user naming it. A Save As makes every state the new file's.
#pragma once

#include "platform/Dib.h"
#include "viewer/logic/Unsaved_edits.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <vector>

class TIMAGE_INFO;

class UNDO_CHAIN {
public:
    // Changes the document's display bitmap (in place or by replacing it; any size, 24
    // bits) and returns kOk, or a code.
    using Draw = std::function<int(TIMAGE_INFO& doc)>;

    static constexpr std::size_t kDefaultBudget = std::size_t{512} << 20; // 512 MiB

    explicit UNDO_CHAIN(std::size_t budget = kDefaultBudget) : budget_(budget) {}
    UNDO_CHAIN(const UNDO_CHAIN&) = delete;
    UNDO_CHAIN& operator=(const UNDO_CHAIN&) = delete;

    // Frees every state; the picture shown becomes the picture of the open file (the
    // document's path, format and depth are the chain's file). With has_file false the
    // picture shown is one no file holds: it becomes the first state at once, untitled and
    // edited until saved. kOk, or a sizing code (has_file false only).
    int ResetChain(TIMAGE_INFO& doc, bool has_file = true);
    // One edit: draw returns kOk, or a code, in which case the picture shown before is put
    // back. On success the new picture becomes the state after the current one and the
    // current state.
    int PushState(TIMAGE_INFO& doc, const Draw& draw);
    // One edit that makes a new picture from the picture shown (any size, 24 bits, in out,
    // which comes from the chain's pool) rather than changing it: the picture shown
    // becomes the snapshot as it is, with no copy. make returns kOk or a code (nothing
    // changed then).
    using Make = std::function<int(const Dib& picture, Dib& out)>;
    int PushReplacement(TIMAGE_INFO& doc, const Make& make);
    // The same for a picture that comes from outside the file (a paste, a scan, a capture):
    // the new state and the states after it are untitled.
    int PushUntitled(TIMAGE_INFO& doc, const Make& make);
    // One edit that inverse undoes exactly: both are kept instead of pixels. Either may
    // fail only before changing the picture (a replacing draw that cannot allocate).
    int PushRecorded(TIMAGE_INFO& doc, Draw draw, Draw inverse);
    // Shows the previous or next state; kOk, or kDataError at the end of the chain.
    int Undo(TIMAGE_INFO& doc);
    int Redo(TIMAGE_INFO& doc);
    // The current state is what the document's file now holds (after a successful save).
    void MarkSaved(TIMAGE_INFO& doc);
    // After a successful Save As: every state now belongs to file, the current one is what
    // it holds, and the document takes its path, format and depth.
    void SavedAs(TIMAGE_INFO& doc, const DOC_FILE& file);
    // The file of the titled states (its path is the folder a name is proposed in while an
    // untitled picture is shown); path "" when the chain began with a picture no file holds.
    const DOC_FILE& File() const { return file_; }
    // True while the picture shown belongs to no file.
    bool Untitled() const;

    // A bitmap for a recorded edit to draw its new picture into (from the pool when it has
    // one; null when not), and the way back to the pool for the bitmap it replaced.
    std::unique_ptr<Dib> SpareBitmap(std::size_t bytes) { return TakeBlock(bytes); }
    void GiveBack(std::unique_ptr<Dib> bitmap) { Pool(std::move(bitmap)); }

    bool CanUndo() const { return position_ > 0; }
    bool CanRedo() const { return position_ + 1 < static_cast<std::int32_t>(states_.size()); }
    std::int32_t Position() const { return position_; }
    // States after the first.
    std::int32_t Length() const { return states_.empty() ? 0 : static_cast<std::int32_t>(states_.size()) - 1; }
    // Bytes the budget counts: the snapshots and the picture shown (the pool not counted).
    std::size_t Bytes() const { return bytes_ + shown_bytes_; }
    // Snapshots held (recorded edits hold none).
    std::int32_t Snapshots() const;

private:
    struct STATE {
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::unique_ptr<Dib> pixels; // the snapshot, or null
        Draw redo;          // recorded edits: from the state before to this one
        Draw undo;          // and back
        bool untitled = false; // no file holds this picture (it or a state before it was pasted)
    };

    int Begin(TIMAGE_INFO& doc);
    int Replace(TIMAGE_INFO& doc, const Make& make, bool untitled);
    // The document takes the current state's file: path, format and depth.
    void Name(TIMAGE_INFO& doc) const;
    // Undo (to = position - 1) or Redo (to = position + 1).
    int Step(TIMAGE_INFO& doc, std::int32_t to);
    int Snapshot(const TIMAGE_INFO& doc, STATE& s);
    // The state's snapshot becomes the display bitmap; the display bitmap goes to into.
    void SwapIn(TIMAGE_INFO& doc, STATE& s, STATE* into);
    void DropRedoTail();
    int Append(TIMAGE_INFO& doc, STATE added);
    void Publish(TIMAGE_INFO& doc);
    void KeepWithinBudget();
    void Free(STATE& s);
    std::unique_ptr<Dib> TakeBlock(std::size_t n);
    void Pool(std::unique_ptr<Dib> block);
    void PrepareBlock(const Dib& shown);

    std::deque<STATE> states_;
    std::vector<std::unique_ptr<Dib>> pool_;
    std::future<std::unique_ptr<Dib>> preparing_; // a block the worker is faulting in
    std::int32_t position_ = 0;
    // The index of the state the file holds; -1 when none does (dropped or never saved).
    std::int32_t clean_ = 0;
    DOC_FILE file_;
    std::size_t bytes_ = 0;       // snapshot bytes
    std::size_t shown_bytes_ = 0; // the current picture's bytes
    std::size_t budget_;
};
