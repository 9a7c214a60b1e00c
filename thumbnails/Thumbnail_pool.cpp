#include "thumbnails/Thumbnail_pool.h"

#include "base/Result_codes.h"

#include <algorithm>
#include <utility>

int THUMBNAIL_POOL::DefaultThreads()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 2 ? static_cast<int>(cores) - 1 : 1;
}

THUMBNAIL_POOL::THUMBNAIL_POOL(JobFactory factory, int threads, std::function<void()> wake)
    : factory_(std::move(factory)), wake_(std::move(wake))
{
    const int n = std::max(1, threads);
    for (int i = 0; i < n; ++i)
        slots_.push_back(std::make_unique<SLOT>());
    for (int i = 0; i < n; ++i)
        workers_.emplace_back([this, i] { Run(*slots_[static_cast<std::size_t>(i)]); });
}

THUMBNAIL_POOL::~THUMBNAIL_POOL()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        queued_.clear();
        for (auto& slot : slots_)
            slot->cancel.store(true);
    }
    work_.notify_all();
    for (std::thread& t : workers_)
        t.join();
}

void THUMBNAIL_POOL::Want(const std::vector<std::string>& paths)
{
    {
        std::lock_guard lock(mutex_);
        std::unordered_set<std::string> listed(paths.begin(), paths.end());
        std::unordered_set<std::string> skip = done_paths_;
        for (auto& slot : slots_) {
            if (!slot->busy)
                continue;
            const bool wanted = listed.count(slot->path) != 0;
            slot->cancel.store(!wanted);
            if (wanted)
                skip.insert(slot->path);
        }
        queued_.clear();
        for (const std::string& p : paths)
            if (skip.insert(p).second)
                queued_.push_back(p);
    }
    work_.notify_all();
}

std::vector<THUMB_RESULT> THUMBNAIL_POOL::Take()
{
    std::lock_guard lock(mutex_);
    done_paths_.clear();
    return std::exchange(done_, {});
}

void THUMBNAIL_POOL::WaitIdle()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return Idle(); });
}

bool THUMBNAIL_POOL::WaitForResults(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock lock(mutex_);
    idle_.wait_until(lock, deadline, [this] { return !done_.empty() || Idle(); });
    return !done_.empty();
}

bool THUMBNAIL_POOL::Idle() const
{
    return queued_.empty() && std::none_of(slots_.begin(), slots_.end(), [](const auto& s) { return s->busy; });
}

void THUMBNAIL_POOL::Run(SLOT& slot)
{
    Job job;
    try {
        job = factory_();
    } catch (...) {
    }
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return stop_ || !queued_.empty(); });
        if (stop_)
            return;
        const std::string path = std::move(queued_.front());
        queued_.pop_front();
        slot.path = path;
        slot.cancel.store(false);
        slot.busy = true;
        lock.unlock();

        THUMB_RESULT result;
        try {
            if (job)
                result = job(path, slot.cancel);
            else
                result.code = kMemoryError;
        } catch (...) {
            result = {};
            result.code = kMemoryError;
        }
        result.path = path;

        lock.lock();
        slot.busy = false;
        bool published = false;
        if (stop_) {
            idle_.notify_all();
            return;
        }
        if (slot.cancel.load()) {
            // No longer wanted: dropped.
        } else if (result.status == THUMB_RESULT::Status::kCancelled) {
            queued_.push_front(path); // wanted again after the job had seen the flag
        } else {
            published = done_.empty();
            done_paths_.insert(path);
            done_.push_back(std::move(result));
        }
        idle_.notify_all();
        if (published && wake_) {
            lock.unlock();
            wake_();
            lock.lock();
        }
    }
}
