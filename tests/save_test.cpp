// The save dispatcher, the shared preparation of the context, and the Save command.
#include "core/Result_codes.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

bool Exists(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

} // namespace

TEST(SaveCommand, WritesThePictureBackInItsOwnFormat)
{
    TempDir dir;
    struct Case {
        const char* file;
        std::string bytes;
        const char* written;
    } cases[] = {
        {"a.b.ppm", "P6\n1 1\n255\n\x01\x02\x03", "a.b.ppm"},
        {"grey.PGM", "P5\n1 1\n255\n\x42", "grey.pgm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TIMAGE_INFO doc;
        WriteBytes(dir.File(c.file), ToBytes(c.bytes));
        ASSERT_EQ(doc.Open(dir.File(c.file)), kOk);
        doc.edited = 1;
        ASSERT_EQ(doc.context->work.Reserve(3), kOk);
        std::copy(doc.context->decoded.data(), doc.context->decoded.data() + 3, doc.context->work.data());
        std::remove(dir.File(c.file).c_str());
        EXPECT_EQ(doc.SaveCommand(), kOk);
        EXPECT_TRUE(Exists(dir.File(c.written)));
        EXPECT_EQ(doc.edited, 0);
        EXPECT_EQ(doc.context->output_file_name, dir.File(c.written));
    }
}

TEST(SaveCommand, LeavesOtherFormatsAndFailuresAlone)
{
    TempDir dir;
    TIMAGE_INFO doc;
    WriteBytes(dir.File("a.pbm"), ToBytes("P4\n8 1\n\x0f"));
    ASSERT_EQ(doc.Open(dir.File("a.pbm")), kOk);
    doc.edited = 1;
    EXPECT_EQ(doc.SaveCommand(), kFormatNotSupported) << "PBM pictures are not written back";
    EXPECT_EQ(doc.edited, 1);

    // A picture whose directory vanished cannot be written: the edited flag stays.
    const std::string sub = dir.File("sub");
    mkdir(sub.c_str(), 0755);
    WriteBytes(sub + "/b.ppm", ToBytes("P6\n1 1\n255\nabc"));
    ASSERT_EQ(doc.Open(sub + "/b.ppm"), kOk);
    std::remove((sub + "/b.ppm").c_str());
    rmdir(sub.c_str());
    doc.edited = 1;
    EXPECT_EQ(doc.SaveCommand(), kOpenFileError);
    EXPECT_EQ(doc.edited, 1);
}

TEST(PrepareSave, FillsWhatEachWriterReads)
{
    TIMAGE_INFO doc;
    const Bytes px{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}; // 2 x 2, blue-green-red
    LoadPicture(doc, 2, 2, px);
    CODEC_CTX& ctx = *doc.context;
    ctx.width = ctx.height = 99; // stale sizes are replaced by the display size
    ctx.right_to_left = ctx.top_to_bottom = true;

    ASSERT_EQ(PrepareSave(doc, kSaveTga, "x.tga"), kOk);
    EXPECT_EQ(doc.save_code, kSaveTga);
    EXPECT_EQ(ctx.output_file_name, "x.tga");
    EXPECT_EQ(ctx.width, 2);
    EXPECT_EQ(ctx.height, 2);
    EXPECT_EQ(ctx.out_bits_per_pixel, 24);
    EXPECT_FALSE(ctx.right_to_left);
    EXPECT_FALSE(ctx.top_to_bottom);

    ASSERT_EQ(PrepareSave(doc, kSavePcx, "x.pcx"), kOk);
    EXPECT_EQ(Bytes(ctx.planar.data(), ctx.planar.data() + 12), (Bytes{3, 6, 2, 5, 1, 4, 9, 12, 8, 11, 7, 10}))
        << "red row, green row, blue row";
    EXPECT_EQ(Bytes(ctx.decoded.data(), ctx.decoded.data() + 12), px) << "the picture as read survives";

    ASSERT_EQ(PrepareSave(doc, kSaveJpeg, "x.jpg"), kOk);
    EXPECT_EQ(ctx.quad.size(), 0u) << "the JPEG writer reads the display rows; no 4-byte copy is made";

    ASSERT_EQ(PrepareSave(doc, kSavePng, "x.png"), kOk);
    ASSERT_EQ(ctx.row_pointers.size(), 2u);
    EXPECT_EQ(Bytes(ctx.row_pointers[1], ctx.row_pointers[1] + 6), (Bytes{9, 8, 7, 12, 11, 10}));

    doc.state = kMediaOpen;
    EXPECT_EQ(PrepareSave(doc, kSavePpm, "x.ppm"), kDataError) << "nothing to save";
}

TEST(SaveDispatcher, AnswersUnknownAndMissingWriters)
{
    TIMAGE_INFO doc;
    LoadPicture(doc, 1, 1, Bytes{1, 2, 3});
    doc.save_code = 42;
    EXPECT_EQ(doc.Save(), kOpenFileError);
}
