// Scrolling over a folder faster than the pool makes thumbnails, built with
// ThreadSanitizer: every wish races the workers, results are taken while others are made,
// and the pixels the workers wrote are read on this thread after the hand-over.
#include "base/Result_codes.h"
#include "tests/jpeg_fixtures.h"
#include "tests/test_support.h"
#include "thumbnails/Thumbnail_maker.h"
#include "thumbnails/Thumbnail_pool.h"
#include "viewer/tests/Picture_files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kFiles = 30;

std::vector<std::string> Folder(const TempDir& dir)
{
    std::vector<std::string> paths;
    for (int i = 0; i < kFiles; ++i) {
        const std::string stem = dir.File("p" + std::to_string(100 + i));
        if (i % 10 == 9) {
            WriteBytes(stem + ".jpg", ToBytes("refused"));
            paths.push_back(stem + ".jpg");
        } else if (i % 2 == 0) {
            WriteBytes(stem + ".jpg", JpegOf(320 + 8 * i, 240, PhotoLikePixel));
            paths.push_back(stem + ".jpg");
        } else {
            EXPECT_TRUE(WriteSolidPicture(stem + ".ppm", 200, 150 + i, 10, 20, static_cast<std::uint8_t>(i)));
            paths.push_back(stem + ".ppm");
        }
    }
    return paths;
}

// Reads every pixel the worker wrote.
std::uint32_t Sum(const Dib& d)
{
    std::uint32_t sum = 0;
    for (int y = 0; y < d.Height(); ++y)
        for (int x = 0; x < d.Width() * 3; ++x)
            sum += d.ScanLine(y)[x];
    return sum;
}

// Windows of six files, scrolled down, back up and down again, taking results as they
// come; then the whole folder. Returns how many results of each kind arrived.
std::map<std::string, THUMB_RESULT::Status> Scroll(THUMBNAIL_POOL& pool, const std::vector<std::string>& paths,
                                                   std::atomic<int>& wakes)
{
    std::map<std::string, THUMB_RESULT::Status> seen;
    auto take = [&] {
        for (THUMB_RESULT& r : pool.Take()) {
            if (r.status == THUMB_RESULT::Status::kReady) {
                EXPECT_NE(r.picture, nullptr);
                EXPECT_GT(Sum(*r.picture), 0u);
            }
            seen[r.path] = r.status;
        }
    };
    const int steps[] = {0, 3, 6, 9, 12, 15, 18, 21, 24, 21, 18, 12, 6, 0, 8, 16, 24};
    for (int round = 0; round < 3; ++round)
        for (const int first : steps) {
            std::vector<std::string> window;
            for (int i = first; i < first + 6 && i < kFiles; ++i)
                window.push_back(paths[static_cast<std::size_t>(i)]);
            pool.Want(window);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            take();
        }
    pool.Want(paths);
    pool.WaitIdle();
    take();
    EXPECT_GT(wakes.load(), 0);
    return seen;
}

} // namespace

TEST(ThumbnailPoolScrolling, ColdThenWarm)
{
    TempDir dir;
    const std::vector<std::string> paths = Folder(dir);
    const THUMBNAIL_CACHE cache(dir.path() + "/cache/thumbnails");
    for (const bool warm : {false, true}) {
        SCOPED_TRACE(warm ? "warm" : "cold");
        std::atomic<int> wakes {0};
        THUMBNAIL_POOL pool(
            [&cache] {
                auto maker = std::make_shared<THUMBNAIL_MAKER>(cache, kThumbNormal);
                return [maker](const std::string& path, const std::atomic<bool>& cancel) {
                    return maker->Make(path, cancel);
                };
            },
            3, [&wakes] { ++wakes; });
        const auto seen = Scroll(pool, paths, wakes);
        ASSERT_EQ(seen.size(), paths.size());
        for (int i = 0; i < kFiles; ++i)
            EXPECT_EQ(seen.at(paths[static_cast<std::size_t>(i)]),
                      i % 10 == 9 ? THUMB_RESULT::Status::kFailed : THUMB_RESULT::Status::kReady)
                << paths[static_cast<std::size_t>(i)];
    }
}
