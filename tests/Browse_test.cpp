#include "dialogs/logic/Browse.h"

#include "base/Result_codes.h"
#include "tests/Failing_allocations.h"
#include "tests/test_support.h"
#include "viewer/logic/Image_edits.h"
#include "viewer/logic/Undo_chain.h"
#include "viewer/tests/Picture_files.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>


namespace {

// A directory of 8 × 6 pictures, each one grey level named by its letter; the working
// directory is restored afterwards.
class BrowseTest : public testing::Test {
protected:
    BrowseTest() : old_cwd_(std::filesystem::current_path()) {}
    ~BrowseTest() override { std::filesystem::current_path(old_cwd_); }

    std::string Write(const std::string& name)
    {
        const auto level = static_cast<std::uint8_t>(name[0]);
        EXPECT_TRUE(WriteTestPicture(dir_.File(name), 8, 6, [=](int, int, std::uint8_t* p) {
            p[0] = p[1] = p[2] = level;
        }));
        return dir_.File(name);
    }
    std::string WriteBad(const std::string& name)
    {
        WriteBytes(dir_.File(name), ToBytes("P6 broken"));
        return dir_.File(name);
    }
    // Opens the first file through OpenAndList, as the command line does.
    void Start(const std::string& name) { ASSERT_EQ(browser_.OpenAndList(doc_, dir_.File(name)), kOk); }
    std::string Shown() const { return doc_.current_path.substr(dir_.path().size() + 1); }
    std::uint8_t ShownLevel() const { return doc_.display->ScanLine(0)[0]; }

    TempDir dir_;
    TIMAGE_INFO doc_;
    FILE_BROWSER browser_;
    std::filesystem::path old_cwd_;
};

} // namespace

TEST_F(BrowseTest, NextAndPreviousWrapAround)
{
    for (const char* n : {"a.ppm", "b.ppm", "c.ppm"})
        Write(n);
    Start("a.ppm");
    EXPECT_EQ(doc_.browse_directory, dir_.path());
    EXPECT_EQ(doc_.current_index, 0);
    for (const char* want : {"b.ppm", "c.ppm", "a.ppm"}) {
        const BROWSE_RESULT r = browser_.Next(doc_);
        EXPECT_TRUE(r.shown);
        EXPECT_EQ(Shown(), want);
        EXPECT_EQ(ShownLevel(), want[0]);
    }
    for (const char* want : {"c.ppm", "b.ppm", "a.ppm"}) {
        EXPECT_TRUE(browser_.Previous(doc_).shown);
        EXPECT_EQ(Shown(), want);
    }
}

TEST_F(BrowseTest, NextDropsAFailingEntryAndShowsTheOneAfterIt)
{
    Write("a.ppm");
    WriteBad("b.ppm");
    Write("c.ppm");
    Write("d.ppm");
    Start("a.ppm");
    doc_.edited = 1;
    const BROWSE_RESULT r = browser_.Next(doc_);
    EXPECT_TRUE(r.shown);
    EXPECT_EQ(Shown(), "c.ppm");
    EXPECT_EQ(doc_.edited, 0);
    EXPECT_EQ(doc_.file_list, (std::vector<std::string>{dir_.File("a.ppm"), dir_.File("c.ppm"), dir_.File("d.ppm")}));
    EXPECT_EQ(doc_.current_index, 1);
}

TEST_F(BrowseTest, PreviousSkipsAFailingEntryWithoutDroppingIt)
{
    Write("a.ppm");
    WriteBad("b.ppm");
    Write("c.ppm");
    Start("c.ppm");
    EXPECT_TRUE(browser_.Previous(doc_).shown);
    EXPECT_EQ(Shown(), "a.ppm");
    EXPECT_EQ(doc_.file_list.size(), 3u);
}

// Home and End: the first and the last entry that open, with Next's and Previous's rules
// for failing entries; when none opens the place in the list is kept.
TEST_F(BrowseTest, FirstAndLastSkipFailingEntries)
{
    WriteBad("a.ppm");
    Write("b.ppm");
    Write("c.ppm");
    WriteBad("d.ppm");
    Start("c.ppm");
    BROWSE_RESULT r = browser_.Last(doc_);
    EXPECT_TRUE(r.shown);
    EXPECT_EQ(Shown(), "c.ppm");
    EXPECT_EQ(doc_.file_list.size(), 4u); // skipped, as by Previous
    r = browser_.First(doc_);
    EXPECT_TRUE(r.shown);
    EXPECT_EQ(Shown(), "b.ppm");
    EXPECT_EQ(ShownLevel(), 'b');
    EXPECT_EQ(doc_.file_list.size(), 3u); // dropped, as by Next
    EXPECT_EQ(doc_.current_index, 0);

    std::filesystem::remove(dir_.File("b.ppm"));
    std::filesystem::remove(dir_.File("c.ppm"));
    for (int step = 0; step < 2; ++step) {
        SCOPED_TRACE(step == 0 ? "last" : "first");
        r = step == 0 ? browser_.Last(doc_) : browser_.First(doc_);
        EXPECT_FALSE(r.shown);
        EXPECT_EQ(Shown(), "b.ppm");
        EXPECT_EQ(ShownLevel(), 'b');
    }
    EXPECT_EQ(doc_.current_index, -1); // every entry, the shown one too, failed and went
}

TEST_F(BrowseTest, NothingOpensKeepsThePictureShown)
{
    Write("a.ppm");
    Start("a.ppm");
    const std::uint8_t* pixels = doc_.context->decoded.data();
    WriteBad("b.ppm");
    WriteBad("c.ppm");
    doc_.BuildFileList(dir_.path());
    doc_.FindCurrent();
    std::filesystem::remove(dir_.File("a.ppm"));

    for (int step = 0; step < 2; ++step) {
        SCOPED_TRACE(step == 0 ? "previous" : "next");
        const BROWSE_RESULT r = step == 0 ? browser_.Previous(doc_) : browser_.Next(doc_);
        EXPECT_FALSE(r.shown);
        EXPECT_NE(r.rc, kOk);
        EXPECT_EQ(Shown(), "a.ppm");
        EXPECT_EQ(doc_.context->width, 8);
        EXPECT_EQ(doc_.context->decoded.data(), pixels);
        EXPECT_EQ(doc_.context->decoded.data()[0], 'a');
        EXPECT_EQ(ShownLevel(), 'a');
    }
    EXPECT_TRUE(doc_.file_list.empty()); // Next dropped every entry, the vanished one too
    EXPECT_FALSE(browser_.Next(doc_).shown);
    EXPECT_FALSE(browser_.Previous(doc_).shown);
}

TEST_F(BrowseTest, FailedOpenKeepsTheDocumentAndStillListsTheDirectory)
{
    Write("a.ppm");
    Start("a.ppm");
    Write("b.ppm");
    const std::string other = dir_.path() + "/sub";
    std::filesystem::create_directory(other);
    WriteBytes(other + "/x.ppm", ToBytes("nope"));
    WriteTestPicture(other + "/y.ppm", 2, 2, [](int, int, std::uint8_t* p) { p[0] = p[1] = p[2] = 0; });

    EXPECT_EQ(browser_.OpenAndList(doc_, other + "/x.ppm"), kMagicError);
    EXPECT_EQ(Shown(), "a.ppm");
    EXPECT_EQ(doc_.context->input_file_name, dir_.File("a.ppm"));
    EXPECT_EQ(doc_.file_list.size(), 2u);
    EXPECT_EQ(doc_.current_index, 0); // the failed file's place: Next goes on from there
    EXPECT_TRUE(browser_.Next(doc_).shown);
    EXPECT_EQ(doc_.current_path, other + "/y.ppm");
}

// An open that throws, inside the reader (its row buffer) or before it (the path's copy),
// fails with a code and leaves the shown picture as it was: state, bitmap, path, list
// position and the undo chain, whose Undo still brings back the picture as read.
TEST_F(BrowseTest, AnOpenThatThrowsLeavesThePictureStateAndUndoChain)
{
    Write("a.ppm");
    Start("a.ppm");
    Write("b.ppm");
    Bytes wide = ToBytes("P5 100000 1 255\n");
    wide.resize(wide.size() + 100000, 7);
    const std::string wide_path = dir_.File("wide.pgm");
    WriteBytes(wide_path, wide);
    ASSERT_TRUE(doc_.BuildFileList(dir_.path()));
    doc_.FindCurrent();
    UNDO_CHAIN chain;

    const struct {
        const char* where;
        std::size_t fail_from;
        std::int32_t rc;
    } cases[] = {
        {"in the reader", 65536, kOpenFileError}, // the reader's exception, caught by the dispatcher
        {"before the reader", 1, kMemoryError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        browser_.OpenKeepingShown(doc_, dir_.File("b.ppm")); // the scratch document exists
        browser_.OpenKeepingShown(doc_, dir_.File("a.ppm"));
        chain.ResetChain(doc_);
        ASSERT_EQ(RunImageCommand(doc_, chain, ImageCommand::kNegative, nullptr), kOk);
        const Dib* bitmap = doc_.display.get();
        const CODEC_CTX* context = doc_.context.get();
        const std::int32_t index = doc_.current_index;

        std::int32_t rc = kOk;
        {
            const FAILING_ALLOCATIONS failing(c.fail_from);
            rc = browser_.OpenKeepingShown(doc_, wide_path);
        }

        EXPECT_EQ(rc, c.rc);
        EXPECT_EQ(doc_.state, kPictureOpen);
        EXPECT_EQ(doc_.picture_present, 1);
        EXPECT_EQ(doc_.display.get(), bitmap);
        EXPECT_EQ(doc_.context.get(), context);
        EXPECT_EQ(Shown(), "a.ppm");
        EXPECT_EQ(doc_.current_index, index);
        EXPECT_EQ(doc_.edited, 1);
        EXPECT_EQ(doc_.undo_position, 1);
        EXPECT_EQ(ShownLevel(), 255 - 'a');
        ASSERT_EQ(chain.Undo(doc_), kOk);
        EXPECT_EQ(ShownLevel(), 'a');
        EXPECT_EQ(doc_.edited, 0);
    }
    EXPECT_EQ(browser_.OpenKeepingShown(doc_, wide_path), kOk); // with memory it opens
    EXPECT_EQ(doc_.display_width, 100000);
}

TEST_F(BrowseTest, SlideShowStartsAtTheCurrentIndexAndWraps)
{
    Write("a.ppm");
    Write("b.ppm");
    Start("a.ppm");
    for (const char* want : {"a.ppm", "b.ppm", "a.ppm", "b.ppm"}) {
        EXPECT_TRUE(browser_.SlideShowTick(doc_).shown);
        EXPECT_EQ(Shown(), want);
    }
}

TEST_F(BrowseTest, SlideShowDropsAFailingEntryAndShowsTheNextOnTheNextTick)
{
    Write("a.ppm");
    WriteBad("b.ppm");
    Write("c.ppm");
    Start("a.ppm");
    EXPECT_TRUE(browser_.SlideShowTick(doc_).shown); // a
    const BROWSE_RESULT r = browser_.SlideShowTick(doc_);
    EXPECT_FALSE(r.shown);
    EXPECT_EQ(r.path, dir_.File("b.ppm"));
    EXPECT_EQ(Shown(), "a.ppm");
    EXPECT_EQ(doc_.file_list.size(), 2u);
    EXPECT_TRUE(browser_.SlideShowTick(doc_).shown);
    EXPECT_EQ(Shown(), "c.ppm");
}

TEST_F(BrowseTest, BrowsingLeavesTheWorkingDirectoryAlone)
{
    Write("a.ppm");
    Write("b.ppm");
    const std::string sub = dir_.File("sub");
    std::filesystem::create_directory(sub);
    WriteTestPicture(sub + "/c.ppm", 2, 2, [](int, int, std::uint8_t* p) { p[0] = p[1] = p[2] = 'c'; });

    // A relative name is taken against the working directory, then held absolute.
    std::filesystem::current_path(dir_.path());
    ASSERT_EQ(browser_.OpenAndList(doc_, "a.ppm"), kOk);
    EXPECT_EQ(doc_.current_path, dir_.File("a.ppm"));
    EXPECT_EQ(doc_.open_directory, dir_.path());

    std::filesystem::current_path("/");
    EXPECT_TRUE(browser_.Next(doc_).shown);
    EXPECT_TRUE(browser_.Previous(doc_).shown);
    EXPECT_TRUE(browser_.SlideShowTick(doc_).shown);
    ASSERT_EQ(browser_.OpenAndList(doc_, sub + "/c.ppm"), kOk);
    EXPECT_EQ(doc_.browse_directory, sub);
    EXPECT_EQ(doc_.open_directory, sub);
    EXPECT_EQ(doc_.file_list, std::vector<std::string>{sub + "/c.ppm"});
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path("/"));
}

// A sound (or video) has its place in the list beside the pictures: one opened on its
// own steps to its neighbours, and a folder of sounds alone is browsed too. The document's
// own list (the command-line tool's, the batch run's) stays pictures only.
TEST_F(BrowseTest, SoundsAreBrowsedAmongThePictures)
{
    Write("b.ppm");
    for (const char* n : {"a.mp3", "c.WAV", "d.avi", "notes.txt"})
        WriteBytes(dir_.File(n), Bytes{0});
    Start("c.WAV");
    EXPECT_EQ(doc_.state, kMediaOpen);
    EXPECT_EQ(doc_.file_list, (std::vector<std::string>{dir_.File("a.mp3"), dir_.File("b.ppm"), dir_.File("c.WAV"),
                                                         dir_.File("d.avi")}));
    EXPECT_EQ(doc_.current_index, 2);
    for (const char* want : {"d.avi", "a.mp3", "b.ppm"}) {
        EXPECT_TRUE(browser_.Next(doc_).shown);
        EXPECT_EQ(Shown(), want);
    }
    EXPECT_EQ(doc_.state, kPictureOpen);
    EXPECT_TRUE(browser_.Previous(doc_).shown);
    EXPECT_EQ(doc_.state, kMediaOpen);

    ASSERT_TRUE(doc_.BuildFileList(dir_.path()));
    EXPECT_EQ(doc_.file_list, std::vector<std::string>{dir_.File("b.ppm")});
}
