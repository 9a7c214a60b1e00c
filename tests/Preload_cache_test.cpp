#include "viewer/logic/Preload_cache.h"

#include "base/Result_codes.h"
#include "tests/test_support.h"
#include "viewer/tests/Picture_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Pictures of one grey level each, the level named by the file's first letter.
class PreloadTest : public testing::Test {
protected:
    std::string Write(const std::string& name, int w = 8, int h = 6)
    {
        const auto level = static_cast<std::uint8_t>(name[0]);
        EXPECT_TRUE(WriteSolidPicture(dir_.File(name), w, h, level, level, level));
        return dir_.File(name);
    }
    static std::uint8_t Level(const TIMAGE_INFO& doc) { return doc.display->ScanLine(0)[0]; }

    TempDir dir_;
};

} // namespace

TEST_F(PreloadTest, TakesReadyPicturesOnceAndNothingElse)
{
    const std::string a = Write("a.ppm"), b = Write("b.ppm", 20, 10);
    WriteBytes(dir_.File("c.ppm"), ToBytes("P6 broken"));
    PRELOAD_CACHE cache;
    cache.Want({b, a, dir_.File("c.ppm")}); // the third is past the two held
    cache.WaitIdle();
    EXPECT_EQ(cache.ReadyCount(), 2u);
    EXPECT_GT(cache.BytesHeld(), 2u * 20 * 10 * 3);

    std::unique_ptr<TIMAGE_INFO> doc = cache.Take(b);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->current_path, b);
    EXPECT_EQ(doc->display_width, 20);
    EXPECT_EQ(Level(*doc), 'b');
    EXPECT_EQ(cache.Take(b), nullptr); // taken once
    EXPECT_EQ(cache.Take(dir_.File("c.ppm")), nullptr); // never asked for

    cache.Want({dir_.File("c.ppm")}); // a failure stays silent: nothing to take
    cache.WaitIdle();
    EXPECT_EQ(cache.Take(dir_.File("c.ppm")), nullptr);
    EXPECT_EQ(cache.Take(a), nullptr); // dropped by the new wish
    EXPECT_EQ(cache.BytesHeld(), 0u);
}

TEST_F(PreloadTest, AFileChangedSinceItWasReadIsNotTaken)
{
    const std::string a = Write("a.ppm"), b = Write("b.ppm");
    PRELOAD_CACHE cache;
    cache.Want({a, b});
    cache.WaitIdle();
    Write("a.ppm", 9, 6); // replaced: another size
    // Touched: the same bytes with another modification time.
    struct utimbuf t {1000000000, 1000000000};
    ASSERT_EQ(utime(b.c_str(), &t), 0);
    EXPECT_EQ(cache.Take(a), nullptr);
    EXPECT_EQ(cache.Take(b), nullptr);
}

TEST_F(PreloadTest, PicturesOverTheBudgetAreNotHeld)
{
    const std::string small = Write("s.ppm", 4, 4), big = Write("b.ppm", 200, 100);
    // Room for the small picture only (its file copy, pixels and display bitmap).
    PRELOAD_CACHE cache(4096);
    cache.Want({big, small});
    cache.WaitIdle();
    EXPECT_EQ(cache.ReadyCount(), 1u);
    EXPECT_LE(cache.BytesHeld(), 4096u);
    EXPECT_EQ(cache.Take(big), nullptr);
    EXPECT_NE(cache.Take(small), nullptr);
}

TEST_F(PreloadTest, TakeWaitsForADecodeUnderWay)
{
    const std::string a = Write("a.ppm");
    std::atomic<bool> started{false}, release{false};
    PRELOAD_CACHE cache(PRELOAD_CACHE::kDefaultBudget, [&](TIMAGE_INFO& doc, const std::string& path) {
        started = true;
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return doc.Open(path);
    });
    cache.Want({a});
    while (!started)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        release = true;
    });
    std::unique_ptr<TIMAGE_INFO> doc = cache.Take(a);
    releaser.join();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(Level(*doc), 'a');
}

TEST_F(PreloadTest, AdoptingMovesThePictureAndKeepsTheList)
{
    const std::string a = Write("a.ppm"), b = Write("b.ppm", 20, 10);
    TIMAGE_INFO shown;
    ASSERT_EQ(shown.Open(a), kOk);
    ASSERT_TRUE(shown.BuildFileList(dir_.path()));
    shown.FindCurrent();
    shown.edited = 1;
    shown.facts.frame_count = 7; // what an animation shown before left
    TIMAGE_INFO pre;
    ASSERT_EQ(pre.Open(b), kOk);
    const Dib* picture = pre.display.get();

    AdoptPreloaded(shown, pre);
    EXPECT_EQ(shown.display.get(), picture); // moved, not copied
    EXPECT_EQ(shown.current_path, b);
    EXPECT_EQ(shown.current_index, 1);
    EXPECT_EQ(shown.file_list.size(), 2u);
    EXPECT_EQ(shown.display_width, 20);
    EXPECT_EQ(shown.context->width, 20);
    EXPECT_EQ(shown.current_state, shown.context.get());
    EXPECT_EQ(shown.edited, 0);
    EXPECT_EQ(shown.state, kPictureOpen);
    EXPECT_EQ(shown.file_size, pre.file_size);
    EXPECT_EQ(shown.facts.frame_count, 0);
    EXPECT_EQ(Level(shown), 'b');

    PRELOAD_CACHE idle;
    idle.Dispose(std::make_unique<TIMAGE_INFO>()); // without a worker: freed at once
    EXPECT_EQ(idle.ReadyCount(), 0u);
}

TEST_F(PreloadTest, FittedCopiesAreMadeForPicturesLargerThanTheRoom)
{
    const std::string big = Write("b.ppm", 200, 100), small = Write("s.ppm", 40, 20);
    PRELOAD_CACHE cache;
    cache.Want({big, small}, FIT_ROOM{50, 50});
    cache.WaitIdle();
    FITTED_COPY fitted;
    ASSERT_NE(cache.Take(big, &fitted), nullptr);
    ASSERT_NE(fitted.picture, nullptr);
    EXPECT_DOUBLE_EQ(fitted.factor, 0.25);
    EXPECT_EQ(fitted.picture->Width(), 50);
    EXPECT_EQ(fitted.picture->Height(), 25);
    EXPECT_EQ(fitted.picture->ScanLine(24)[3 * 49], 'b'); // a solid picture scales to itself
    ASSERT_NE(cache.Take(small, &fitted), nullptr);
    EXPECT_EQ(fitted.picture, nullptr); // fits as it is
    EXPECT_EQ(fitted.factor, 1.0);

    // Another room: what was decoded for the old one is decoded again.
    cache.Want({big}, FIT_ROOM{50, 50});
    cache.WaitIdle();
    cache.Want({big}, FIT_ROOM{100, 100});
    cache.WaitIdle();
    ASSERT_NE(cache.Take(big, &fitted), nullptr);
    EXPECT_EQ(fitted.picture->Width(), 100);
}
