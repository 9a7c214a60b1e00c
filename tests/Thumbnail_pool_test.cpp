// The worker pool: the wanted files in order, cancellation of what is no longer wanted,
// results handed over once.
#include "base/Result_codes.h"
#include "thumbnails/Thumbnail_pool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Jobs that record what they were given and hold at a gate until the test lets them go.
class SCRIPTED_JOBS {
public:
    THUMBNAIL_POOL::JobFactory Factory()
    {
        return [this] {
            return [this](const std::string& path, const std::atomic<bool>& cancel) { return Run(path, cancel); };
        };
    }
    // Jobs for paths in `held` wait at the gate until Release.
    void Hold(const std::string& path)
    {
        std::lock_guard lock(m_);
        held_[path] = true;
    }
    void Release(const std::string& path)
    {
        {
            std::lock_guard lock(m_);
            held_[path] = false;
        }
        cv_.notify_all();
    }
    // Waits until the job for path has started n times.
    void AwaitStart(const std::string& path, int n = 1)
    {
        std::unique_lock lock(m_);
        ASSERT_TRUE(cv_.wait_for(lock, std::chrono::seconds(20), [&] { return starts_[path] >= n; })) << path;
    }
    std::vector<std::string> Started()
    {
        std::lock_guard lock(m_);
        return order_;
    }
    bool SawCancel(const std::string& path)
    {
        std::lock_guard lock(m_);
        return saw_cancel_[path];
    }

private:
    THUMB_RESULT Run(const std::string& path, const std::atomic<bool>& cancel)
    {
        std::unique_lock lock(m_);
        order_.push_back(path);
        ++starts_[path];
        cv_.notify_all();
        cv_.wait(lock, [&] { return !held_[path]; });
        THUMB_RESULT r;
        if (cancel.load()) {
            saw_cancel_[path] = true;
            r.status = THUMB_RESULT::Status::kCancelled;
            return r;
        }
        r.status = THUMB_RESULT::Status::kReady;
        r.picture = std::make_unique<Dib>();
        return r;
    }

    std::mutex m_;
    std::condition_variable cv_;
    std::map<std::string, bool> held_;
    std::map<std::string, int> starts_;
    std::map<std::string, bool> saw_cancel_;
    std::vector<std::string> order_;
};

std::vector<std::string> Paths(const std::vector<THUMB_RESULT>& results)
{
    std::vector<std::string> paths;
    for (const THUMB_RESULT& r : results)
        paths.push_back(r.path);
    return paths;
}

} // namespace

TEST(ThumbnailPool, WorksTheWantedListInOrderAndCancelsWhatScrolledAway)
{
    SCRIPTED_JOBS jobs;
    jobs.Hold("a");
    THUMBNAIL_POOL pool(jobs.Factory(), 1);
    pool.Want({"a", "b", "c", "d"});
    jobs.AwaitStart("a");
    // Scrolled on: a and b are no longer visible, x came in.
    pool.Want({"d", "c", "x", "d"});
    jobs.Release("a");
    pool.WaitIdle();
    EXPECT_EQ(jobs.Started(), (std::vector<std::string>{"a", "d", "c", "x"}));
    EXPECT_TRUE(jobs.SawCancel("a"));
    EXPECT_EQ(Paths(pool.Take()), (std::vector<std::string>{"d", "c", "x"}));
    EXPECT_TRUE(pool.Take().empty());
}

TEST(ThumbnailPool, AJobWantedAgainIsNotLost)
{
    SCRIPTED_JOBS jobs;
    THUMBNAIL_POOL pool(jobs.Factory(), 1);
    // Dropped and wanted again before the job looked: it goes on, once.
    jobs.Hold("a");
    pool.Want({"a"});
    jobs.AwaitStart("a");
    pool.Want({});
    pool.Want({"a"});
    jobs.Release("a");
    pool.WaitIdle();
    EXPECT_EQ(Paths(pool.Take()), (std::vector<std::string>{"a"}));
    EXPECT_EQ(jobs.Started().size(), 1u);

    // Dropped, the job stopped for it, then wanted again: it runs again.
    jobs.Hold("b");
    pool.Want({"b"});
    jobs.AwaitStart("b");
    pool.Want({});
    jobs.Release("b"); // returns cancelled; whether the pool sees the new wish first or not...
    pool.Want({"b"});  // ... b ends up made
    pool.WaitIdle();
    EXPECT_EQ(Paths(pool.Take()), (std::vector<std::string>{"b"}));
}

TEST(ThumbnailPool, AResultWaitingToBeTakenIsNotMadeAgain)
{
    SCRIPTED_JOBS jobs;
    int wakes = 0;
    std::mutex wake_mutex;
    THUMBNAIL_POOL pool(jobs.Factory(), 2, [&] {
        std::lock_guard lock(wake_mutex);
        ++wakes;
    });
    pool.Want({"a", "b"});
    pool.WaitIdle();
    pool.Want({"a", "b", "c"});
    pool.WaitIdle();
    EXPECT_EQ(jobs.Started().size(), 3u);
    std::vector<std::string> taken = Paths(pool.Take());
    std::sort(taken.begin(), taken.end());
    EXPECT_EQ(taken, (std::vector<std::string>{"a", "b", "c"}));
    {
        std::lock_guard lock(wake_mutex);
        EXPECT_GE(wakes, 1);
    }
    pool.Want({"a"}); // taken, so made (or looked up) again when wanted
    pool.WaitIdle();
    EXPECT_EQ(jobs.Started().size(), 4u);
    EXPECT_GE(THUMBNAIL_POOL::DefaultThreads(), 1);
}

TEST(ThumbnailPool, StopsWithWorkQueuedAndRunning)
{
    SCRIPTED_JOBS jobs;
    std::thread release;
    {
        THUMBNAIL_POOL pool(jobs.Factory(), 2);
        jobs.Hold("a");
        jobs.Hold("b");
        pool.Want({"a", "b", "c", "d", "e", "f"});
        jobs.AwaitStart("a");
        jobs.AwaitStart("b");
        // The pool's destructor raises the running jobs' cancel flags and waits for them,
        // which this lets go a little later; what was queued never starts.
        release = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            jobs.Release("a");
            jobs.Release("b");
        });
    }
    release.join();
    EXPECT_TRUE(jobs.SawCancel("a"));
    EXPECT_TRUE(jobs.SawCancel("b"));
    EXPECT_EQ(jobs.Started().size(), 2u);
}
