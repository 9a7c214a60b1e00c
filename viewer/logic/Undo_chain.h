// The undo chain of the main window: the pictures an edit replaced, so that Undo and Redo
// can bring them back.
//
// The chain owns its states (a state is a picture's size and its 24-bit pixels). The
// first state is taken from the display bitmap at the first edit after an open, so an
// open costs nothing. A new edit frees the redo tail; ResetChain frees everything. The
// states keep within a memory budget: the oldest steps are dropped first, the current
// picture never. The budget counts the states; besides them the chain keeps the pixel
// memory of the last state it dropped, for the next edit to reuse (a fresh picture-sized
// block costs the kernel a zero fill of every page).
//
// The current state's pixels are the context's working pixel buffer itself (its own
// buffer is empty while it is current), so an edit copies its picture once, and Undo and
// Redo move buffers rather than copy them into the working buffer.
//
// After every call that returns kOk the display bitmap, the current state and the
// context's working pixel buffer hold the same picture (size included), the context's
// edited flag is set so the writers save it, and the document's undo counters and edited
// flag tell where the chain stands. A call that fails leaves picture and chain as they were.
#pragma once

#include "core/Pixel_buffer.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>

class Dib;
class TIMAGE_INFO;

struct PICTURE_STATE {
    std::int32_t width = 0;
    std::int32_t height = 0;
    PixelBuffer pixels; // width × height × 3 bytes, rows top to bottom, no padding
    std::size_t Bytes() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3; }
};

class UNDO_CHAIN {
public:
    static constexpr std::size_t kDefaultBudget = std::size_t{512} << 20; // 512 MiB

    explicit UNDO_CHAIN(std::size_t budget = kDefaultBudget) : budget_(budget) {}
    UNDO_CHAIN(const UNDO_CHAIN&) = delete;
    UNDO_CHAIN& operator=(const UNDO_CHAIN&) = delete;

    // Frees every state; the picture shown becomes the picture of the open file. With
    // has_file false the picture shown is one no file holds: it becomes the first state
    // at once, edited until saved. kOk, or a sizing code (has_file false only).
    int ResetChain(TIMAGE_INFO& doc, bool has_file = true);
    // One edit: draw changes the document's display bitmap (in place or by replacing it;
    // any size, 24 bits) and returns kOk, or a code, in which case the picture shown
    // before is put back. On success the new picture becomes the state after the current
    // one and the current state.
    int PushState(TIMAGE_INFO& doc, const std::function<int(TIMAGE_INFO& doc)>& draw);
    // Shows the previous or next state; kOk, or kDataError at the end of the chain.
    int Undo(TIMAGE_INFO& doc);
    int Redo(TIMAGE_INFO& doc);
    // The current state is what the document's file now holds (after a successful save).
    void MarkSaved(TIMAGE_INFO& doc);

    bool CanUndo() const { return position_ > 0; }
    bool CanRedo() const { return position_ + 1 < static_cast<std::int32_t>(states_.size()); }
    std::int32_t Position() const { return position_; }
    // States after the first.
    std::int32_t Length() const { return states_.empty() ? 0 : static_cast<std::int32_t>(states_.size()) - 1; }
    // Bytes of pixels the states hold (the spare buffer not counted).
    std::size_t Bytes() const { return bytes_; }

private:
    int CaptureFirst(TIMAGE_INFO& doc);
    // Shows state k (its pixels, or the working buffer's for the current one) in the
    // display bitmap and makes it the state whose pixels the working buffer holds.
    int Show(TIMAGE_INFO& doc, std::int32_t k);
    void Publish(TIMAGE_INFO& doc);
    void KeepWithinBudget();
    void Recycle(PICTURE_STATE& s);

    std::deque<PICTURE_STATE> states_;
    PixelBuffer spare_; // the pixels of the last state dropped
    std::int32_t position_ = 0;
    // The index of the state the file holds; -1 when none does (dropped or never saved).
    std::int32_t clean_ = 0;
    std::size_t bytes_ = 0;
    std::size_t budget_;
};
