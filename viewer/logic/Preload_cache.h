// Decoding ahead: the pictures next to the shown one are opened on a worker thread, each
// into a document of its own, so stepping to them needs no decode.
//
// The hand-over: the worker only ever touches the documents it creates. A document is
// created, opened and measured by the worker alone; under the cache's mutex it is then
// published as ready, and from that moment the worker never touches it again. Take()
// moves a ready document out under the same mutex, so the thread that takes it sees
// everything the worker wrote (the mutex orders the two). The shown document is never
// given to the worker; AdoptPreloaded() moves the taken document's picture into it on
// the calling (user-interface) thread.
#pragma once

#include "core/Imageinfo.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What identifies a file's contents well enough to trust a decode of it: its size and
// its modification time.
struct FILE_STAMP {
    std::int64_t size = -1;
    std::int64_t mtime_ns = 0;
    bool operator==(const FILE_STAMP&) const = default;
};
// The stamp of a regular file, or nullopt-like size -1 when it cannot be read.
FILE_STAMP StampOf(const std::string& path);

// The room a fitted picture is shown in (view pixels); 0 x 0 for none.
struct FIT_ROOM {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool operator==(const FIT_ROOM&) const = default;
};

// A preload's copy of its picture scaled down to fit a room, made on the worker so the
// first paint of a fitted picture needs no scaling.
struct FITTED_COPY {
    std::unique_ptr<Dib> picture; // null when the picture fits the room at its own size
    double factor = 1.0;          // the factor it was scaled by (FitFactor)
};

// The memory a decoded document holds: its pixel buffers, display bitmap and file copy.
std::size_t DocumentBytes(const TIMAGE_INFO& doc);

class PRELOAD_CACHE {
public:
    // Opens path into doc; returns the open's result code.
    using Opener = std::function<std::int32_t(TIMAGE_INFO& doc, const std::string& path)>;

    // 320 MiB: two 12-megapixel photos with their display bitmaps, file copies and a
    // JPEG's 4-byte rows fit.
    static constexpr std::size_t kDefaultBudget = std::size_t{320} << 20;
    static constexpr std::size_t kMaxEntries = 2;
    // The start picture is shown whatever its size: any picture the library opens.
    static constexpr std::size_t kStartBudget = std::size_t{4} << 30;

    explicit PRELOAD_CACHE(std::size_t budget = kDefaultBudget, Opener open = {});
    // Stops the worker; a decode under way finishes first and is dropped.
    ~PRELOAD_CACHE();
    PRELOAD_CACHE(const PRELOAD_CACHE&) = delete;
    PRELOAD_CACHE& operator=(const PRELOAD_CACHE&) = delete;

    // The paths to hold decoded, most wanted first (at most two are taken; empty paths are
    // skipped). Entries of other paths are dropped; a decode under way for one of them
    // finishes and is then thrown away. With a room, pictures larger than it also get a
    // fitted copy.
    void Want(std::vector<std::string> paths, FIT_ROOM room = {});
    // The decoded document of path when it is ready and the file's size and modification
    // time are still those it was read with; waits for a decode of path that is under way.
    // Null when path was not asked for, is still queued, failed, did not fit the budget or
    // has changed since: the caller opens it itself, and a failure is then reported there.
    // With fitted, the entry's fitted copy (if any) is handed over too.
    std::unique_ptr<TIMAGE_INFO> Take(const std::string& path, FITTED_COPY* fitted = nullptr);
    // Frees doc on the worker, so the caller does not wait for its memory to go back.
    void Dispose(std::unique_ptr<TIMAGE_INFO> doc);
    // Waits until nothing is queued or being decoded.
    void WaitIdle();
    // The bytes the ready documents hold.
    std::size_t BytesHeld() const;
    std::size_t Budget() const { return budget_; }
    // The number of ready documents.
    std::size_t ReadyCount() const;

private:
    enum class State { kQueued, kDecoding, kReady, kFailed };
    struct ENTRY {
        std::string path;
        State state = State::kQueued;
        std::unique_ptr<TIMAGE_INFO> doc;
        FILE_STAMP stamp;
        std::size_t bytes = 0;
        FITTED_COPY fitted;
    };

    void Run();
    ENTRY* Find(const std::string& path);

    const std::size_t budget_;
    Opener open_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;  // the worker: work queued or stop
    std::condition_variable done_;  // the takers: a decode finished
    std::vector<ENTRY> entries_;
    std::vector<std::unique_ptr<TIMAGE_INFO>> trash_; // freed by the worker
    FIT_ROOM room_;
    bool stop_ = false;
    std::thread worker_; // started by the first Want
};

// Moves the picture of a preloaded document into the shown one, as a successful open of
// its path would have left it: the decoder context and the display bitmap trade places
// (the shown document's old ones go to `from`, to be freed with it), and the picture's
// facts are copied. The shown document keeps its file list, whose position moves to the
// path, and its own settings.
void AdoptPreloaded(TIMAGE_INFO& shown, TIMAGE_INFO& from);
