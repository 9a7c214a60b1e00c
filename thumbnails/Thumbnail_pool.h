// Making thumbnails on a pool of worker threads, the wanted ones first.
//
// The owner says which files it wants, most wanted first, with Want(); every call
// replaces the list. Each worker takes the first file nobody has started, runs its job on
// it and publishes the result; Take() hands the published results over. A file dropped
// from the list is not started, and a job already running for it has its cancel flag
// raised: the job reads the flag between its steps (and, where the decoder allows,
// between rows) and its result is thrown away. A file wanted again before its cancelled
// job has noticed simply goes on.
//
// Threading contract:
// - Want, Take, WaitIdle and the destructor belong to one thread, the owner (the
//   user-interface thread in the viewer).
// - Each worker builds its own job with the factory, on its own thread (the factory may be
//   called by several workers at once). A job touches only what it creates, its own copy
//   of the path and what it was built over for reading; it never sees the owner's state.
// - A result is made by the worker alone and moved into the pool's list under the pool's
//   mutex; after that the worker never touches it. Take() moves the list out under the
//   same mutex, so everything the worker wrote happens-before the owner reads it.
// - A running job's cancel flag is an atomic the owner sets or clears under the mutex;
//   the job reads it without the lock. Whether a finished job's result is kept is decided
//   under the mutex from the flag as it stands then.
// - wake (optional) runs on a worker thread, outside the mutex, when a result is
//   published into an empty list (the owner then takes them all). It must only post a
//   notice to the owner (a queued call), and what it refers to must outlive the pool.
// - The destructor raises every cancel flag and joins the workers: a job under way stops
//   at its next check, or finishes the step it is in.
#pragma once

#include "platform/Dib.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

struct THUMB_RESULT {
    enum class Status { kReady, kFailed, kCancelled };
    std::string path;
    Status status = Status::kFailed;
    std::unique_ptr<Dib> picture; // kReady: the thumbnail, 24 bits
    std::int32_t code = 0;        // kFailed: the result code (kOk when a failure record said so)
    std::string reason;           // kFailed: why, when known
    bool from_cache = false;      // kReady: found in the shared cache rather than made now
};

class THUMBNAIL_POOL {
public:
    using Job = std::function<THUMB_RESULT(const std::string& path, const std::atomic<bool>& cancel)>;
    using JobFactory = std::function<Job()>;

    // The processor count less one (the user-interface thread keeps a core), at least one.
    static int DefaultThreads();

    explicit THUMBNAIL_POOL(JobFactory factory, int threads = DefaultThreads(), std::function<void()> wake = {});
    ~THUMBNAIL_POOL();
    THUMBNAIL_POOL(const THUMBNAIL_POOL&) = delete;
    THUMBNAIL_POOL& operator=(const THUMBNAIL_POOL&) = delete;

    // The files to make, most wanted first (repeats count once). Files neither listed nor
    // running are dropped from the queue; running jobs for files not listed are cancelled.
    // A file whose result waits to be taken is not queued again.
    void Want(const std::vector<std::string>& paths);
    // The results published since the last Take, in the order they finished.
    std::vector<THUMB_RESULT> Take();
    // Waits until nothing is queued or running.
    void WaitIdle();
    // Waits until a result waits to be taken, nothing is queued or running, or the
    // deadline passes; true when a result waits.
    bool WaitForResults(std::chrono::steady_clock::time_point deadline);
    int Threads() const { return static_cast<int>(workers_.size()); }

private:
    struct SLOT {
        std::string path;
        std::atomic<bool> cancel {false};
        bool busy = false;
    };

    void Run(SLOT& slot);
    // Nothing queued or running; called with the mutex held.
    bool Idle() const;

    JobFactory factory_;
    std::function<void()> wake_;
    std::mutex mutex_;
    std::condition_variable work_; // the workers: something queued, or stop
    std::condition_variable idle_; // WaitIdle, WaitForResults: a job ended
    std::deque<std::string> queued_;
    std::vector<std::unique_ptr<SLOT>> slots_;
    std::vector<THUMB_RESULT> done_;
    std::unordered_set<std::string> done_paths_;
    bool stop_ = false;
    std::vector<std::thread> workers_;
};
