// Stepping through a folder faster than the worker decodes, built with ThreadSanitizer:
// every wish, take and hand-over races the worker, and the pixels the worker wrote are
// read on this thread after the hand-over.
#include "base/Result_codes.h"
#include "tests/test_support.h"
#include "viewer/logic/Preload_cache.h"
#include "viewer/tests/Picture_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <chrono>
#include <vector>

namespace {

constexpr int kFiles = 7;

std::vector<std::string> Folder(const TempDir& dir)
{
    std::vector<std::string> paths;
    for (int i = 0; i < kFiles; ++i) {
        const std::string path = dir.File(std::string(1, static_cast<char>('a' + i)) + ".ppm");
        const auto level = static_cast<std::uint8_t>(10 * i);
        EXPECT_TRUE(WriteTestPicture(path, 160 + 8 * i, 120, [=](int x, int, std::uint8_t* p) {
            p[0] = level;
            p[1] = static_cast<std::uint8_t>(x);
            p[2] = 0;
        }));
        paths.push_back(path);
    }
    return paths;
}

// Walks forward, back and forward again, wishing for both neighbours after every step as
// the window does, and checks every picture shown is the one stepped to.
void Step(PRELOAD_CACHE& cache, const std::vector<std::string>& paths, int& taken, FIT_ROOM room = {})
{
    TIMAGE_INFO shown;
    ASSERT_EQ(shown.Open(paths[0]), kOk);
    int i = 0;
    const int moves[] = {1, 1, 1, -1, -1, 1, 1, 1, 1, 1, -1, 1, 1, 1, 1, 1, 1, -1, -1, -1};
    for (int round = 0; round < 6; ++round)
        for (const int d : moves) {
            cache.Want({paths[static_cast<std::size_t>((i + 1) % kFiles)],
                        paths[static_cast<std::size_t>((i + kFiles - 1) % kFiles)]},
                       room);
            i = (i + d + kFiles) % kFiles;
            const std::string& path = paths[static_cast<std::size_t>(i)];
            FITTED_COPY fitted;
            if (std::unique_ptr<TIMAGE_INFO> pre = cache.Take(path, &fitted)) {
                AdoptPreloaded(shown, *pre);
                cache.Dispose(std::move(pre)); // the picture this thread showed and read
                ++taken;
                if (room.width > 0) {
                    ASSERT_NE(fitted.picture, nullptr);
                    ASSERT_EQ(fitted.picture->ScanLine(fitted.picture->Height() - 1)[0], 10 * i);
                }
            } else {
                ASSERT_EQ(shown.Open(path), kOk);
            }
            ASSERT_EQ(shown.current_path, path);
            std::uint32_t sum = 0; // reads every pixel the worker wrote
            for (int y = 0; y < shown.display->Height(); ++y)
                for (int x = 0; x < shown.display->Width() * 3; ++x)
                    sum += shown.display->ScanLine(y)[x];
            ASSERT_EQ(shown.display->ScanLine(0)[0], 10 * i);
            ASSERT_GT(sum, 0u);
        }
    // On a loaded machine the steps above may all outrun the worker; one slow step still
    // has to find its preload ready.
    for (int tries = 0; taken == 0 && tries < 200; ++tries) {
        cache.Want({paths[1], paths[kFiles - 1]}, room);
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        FITTED_COPY fitted;
        if (std::unique_ptr<TIMAGE_INFO> pre = cache.Take(paths[1], &fitted)) {
            AdoptPreloaded(shown, *pre);
            cache.Dispose(std::move(pre));
            ++taken;
        }
    }
}

} // namespace

TEST(PreloadStepping, TheLibraryOpen)
{
    TempDir dir;
    const std::vector<std::string> paths = Folder(dir);
    PRELOAD_CACHE cache;
    int taken = 0;
    Step(cache, paths, taken);
    EXPECT_GT(taken, 0);
}

TEST(PreloadStepping, WithFittedCopies)
{
    TempDir dir;
    const std::vector<std::string> paths = Folder(dir);
    PRELOAD_CACHE cache;
    int taken = 0;
    Step(cache, paths, taken, FIT_ROOM{100, 80});
    EXPECT_GT(taken, 0);
}

// The worker's writes here are in this instrumented file too, so a hand-over without
// ordering would be reported even where the library is built without the sanitizer.
TEST(PreloadStepping, AnOpenThatWritesEveryPixel)
{
    TempDir dir;
    const std::vector<std::string> paths = Folder(dir);
    PRELOAD_CACHE cache(PRELOAD_CACHE::kDefaultBudget, [](TIMAGE_INFO& doc, const std::string& path) {
        const std::int32_t rc = doc.Open(path);
        if (rc == kOk)
            for (int y = 1; y < doc.display->Height(); ++y)
                for (int x = 0; x < doc.display->Width() * 3; ++x)
                    doc.display->ScanLine(y)[x] = static_cast<std::uint8_t>(doc.display->ScanLine(y)[x] | 1);
        return rc;
    });
    int taken = 0;
    Step(cache, paths, taken);
    EXPECT_GT(taken, 0);
}
