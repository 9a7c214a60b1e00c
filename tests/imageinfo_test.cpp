// The document: directory list, file facts, colour count, the open dispatcher's rules.
#include "base/Result_codes.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <ctime>

namespace {

const std::string kTinyPgm = "P5\n2 1\n255\n\x10\x20";

} // namespace

TEST(Document, StartsAsTheProgramExpects)
{
    TIMAGE_INFO doc;
    EXPECT_STREQ(doc.GetName(), "Ravelscope");
    EXPECT_DOUBLE_EQ(doc.GetVersion(), 1.07);
    EXPECT_EQ(doc.current_state, doc.context.get());
    EXPECT_EQ(doc.fill_colour, 0xFFFFFFu);
    EXPECT_EQ(doc.load_timing, 1);
    EXPECT_EQ(doc.state, kNothingOpen);
}

TEST(Document, BuildsTheSortedListOfBrowsableFiles)
{
    TempDir dir;
    for (const char* name : {"c.lbm", "b.bmp", "A.BMP", "archive.tar.gz", "README", "d.jpeg", "e.Png", "f.dic"})
        WriteBytes(dir.File(name), Bytes{0});
    mkdir(dir.File("folder.bmp").c_str(), 0755); // a directory is not a picture
    TIMAGE_INFO doc;
    ASSERT_TRUE(doc.BuildFileList(dir.path()));
    EXPECT_EQ(doc.browse_directory, dir.path());
    // Extensions match in any case; .dic is not browsable, nor are names without a
    // picture extension.
    ASSERT_EQ(doc.file_list.size(), 5u);
    EXPECT_EQ(doc.file_list[0], dir.File("A.BMP"));
    EXPECT_EQ(doc.file_list[1], dir.File("b.bmp"));
    EXPECT_EQ(doc.file_list[2], dir.File("c.lbm"));
    EXPECT_EQ(doc.file_list[3], dir.File("d.jpeg"));
    EXPECT_EQ(doc.file_list[4], dir.File("e.Png"));
    EXPECT_EQ(doc.GetListEntry(4), dir.File("e.Png"));
    EXPECT_EQ(doc.GetListEntry(5), nullptr);
    EXPECT_EQ(doc.GetListEntry(-1), nullptr);

    doc.current_path = dir.File("c.lbm");
    EXPECT_EQ(doc.FindCurrent(), 2);
    EXPECT_EQ(doc.current_index, 2);
    doc.current_path = dir.File("C.LBM"); // another file on Linux
    EXPECT_EQ(doc.FindCurrent(), -1);

    doc.current_path = dir.File("b.bmp");
    doc.DropCurrentFromList();
    EXPECT_EQ(doc.file_list.size(), 4u);
    doc.DropCurrentFromList();
    EXPECT_EQ(doc.file_list.size(), 4u) << "nothing equal is left to drop";

    // A directory that cannot be read leaves the list and the browse directory as they were.
    EXPECT_FALSE(doc.BuildFileList(dir.File("missing")));
    EXPECT_EQ(doc.file_list.size(), 4u);
    EXPECT_EQ(doc.browse_directory, dir.path());
}

TEST(Document, OpenListEntryTurnsFailuresIntoMinusOne)
{
    TempDir dir;
    WriteBytes(dir.File("a.pgm"), ToBytes(kTinyPgm));
    WriteBytes(dir.File("b.pgm"), ToBytes("junk"));
    TIMAGE_INFO doc;
    ASSERT_TRUE(doc.BuildFileList(dir.path()));
    EXPECT_EQ(doc.OpenListEntry(0), 0);
    EXPECT_EQ(doc.open_directory, dir.path());
    EXPECT_EQ(doc.current_index, 0);
    EXPECT_EQ(doc.OpenListEntry(1), -1);
    EXPECT_EQ(doc.OpenListEntry(7), -1);
}

TEST(Document, ReadsFileFacts)
{
    TempDir dir;
    const std::string path = dir.File("a.pgm");
    WriteBytes(path, Bytes(3000, 1));
    std::tm when {};
    when.tm_year = 2006 - 1900;
    when.tm_mon = 0;
    when.tm_mday = 16;
    when.tm_hour = 3;
    when.tm_min = 29;
    when.tm_sec = 23;
    when.tm_isdst = -1;
    const timeval times[2] = {{std::mktime(&when), 0}, {std::mktime(&when), 0}};
    ASSERT_EQ(utimes(path.c_str(), times), 0);
    TIMAGE_INFO doc;
    doc.current_path = path;
    doc.ReadFileFacts();
    EXPECT_EQ(doc.file_size, 3000);
    EXPECT_DOUBLE_EQ(doc.file_size_kb, 3000.0 / 1024.0);
    EXPECT_EQ(doc.day, 16);
    EXPECT_EQ(doc.month, 1);
    EXPECT_EQ(doc.year, 2006);
    EXPECT_EQ(doc.hour, 3);
    EXPECT_EQ(doc.minute, 29);
    EXPECT_EQ(doc.second, 23);
    doc.current_path = dir.File("gone.pgm");
    doc.ReadFileFacts();
    EXPECT_EQ(doc.file_size, 3000) << "a vanished file leaves the facts alone";
}

TEST(Document, CountsTheColoursOnScreen)
{
    TIMAGE_INFO doc;
    LoadPicture(doc, 3, 2, Bytes{0, 0, 0, 255, 255, 255, 0, 0, 0, 255, 255, 255, 255, 255, 255, 0, 0, 0});
    EXPECT_EQ(doc.CountColors(), 2);
    doc.display->ScanLine(1)[0] = 7; // an edit shows up in the count
    EXPECT_EQ(doc.CountColors(), 3);
    // Small and large pictures are counted in different ways; both give the same answer.
    for (const int w : {256, 257}) {
        Bytes px(static_cast<std::size_t>(w) * 256 * 3);
        for (std::size_t i = 0; i < px.size() / 3; ++i) {
            const std::uint32_t c = static_cast<std::uint32_t>(i % 1000) * 16777 % 16777216;
            px[i * 3] = static_cast<std::uint8_t>(c);
            px[i * 3 + 1] = static_cast<std::uint8_t>(c >> 8);
            px[i * 3 + 2] = static_cast<std::uint8_t>(c >> 16);
        }
        LoadPicture(doc, w, 256, px);
        EXPECT_EQ(doc.CountColors(), 1000) << "width " << w;
    }
}

TEST(OpenDispatcher, ChoosesByExtension)
{
    TempDir dir;
    TIMAGE_INFO doc;
    // Names the table does not know open by their first bytes (a PGM here) unless those
    // match no format either.
    struct Case {
        const char* name;
        int want_rc;
        std::int32_t want_format;
        std::uint8_t want_state;
        const char* bytes = nullptr; // the tiny PGM unless given
    } cases[] = {
        {"grey.PGM", kOk, kFmtPgm, kPictureOpen},
        {"song.MP3", kOk, kFmtMp3, kMediaOpen},
        {"clip.wav", kOk, kFmtWav, kMediaOpen},
        {"photo.jpeg", kOk, kFmtPgm, kPictureOpen},
        {"notes.txt", kOk, kFmtPgm, kPictureOpen},
        {"noext", kOk, kFmtPgm, kPictureOpen},
        {"dir.d/grey", kOk, kFmtPgm, kPictureOpen},
        {"letter.txt", kDataError, -1, 0, "Dear reader,\n"},
        {"broken.dat", kDataError, -1, 0, "P5\n0 0\n255\n"},
    };
    mkdir(dir.File("dir.d").c_str(), 0755);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File(c.name), ToBytes(c.bytes != nullptr ? c.bytes : kTinyPgm));
        doc.state = 0;
        doc.format_code = -1;
        EXPECT_EQ(doc.Open(dir.File(c.name)), c.want_rc);
        EXPECT_EQ(doc.format_code, c.want_format);
        EXPECT_EQ(doc.state, c.want_state);
        EXPECT_EQ(doc.context->input_file_name, dir.File(c.name));
    }
    // A media file takes the display bitmap away without touching the picture's pixels.
    EXPECT_EQ(doc.Open(dir.File("song.MP3")), kOk);
    EXPECT_EQ(doc.display, nullptr);
    EXPECT_EQ(doc.picture_present, 1);
}

TEST(OpenDispatcher, AFailedOpenKeepsThePreviousPicture)
{
    TempDir dir;
    WriteBytes(dir.File("good.pgm"), ToBytes(kTinyPgm));
    WriteBytes(dir.File("bad.ppm"), ToBytes("P6\n0 0\n255\n"));
    TIMAGE_INFO doc;
    ASSERT_EQ(doc.Open(dir.File("good.pgm")), kOk);
    doc.edited = 1;
    EXPECT_EQ(doc.Open(dir.File("bad.ppm")), kDataError);
    EXPECT_EQ(doc.format_code, kFmtPgm);
    EXPECT_EQ(doc.bits_per_pixel, 8);
    EXPECT_EQ(doc.display_width, 2);
    EXPECT_EQ(doc.state, kPictureOpen);
    EXPECT_EQ(doc.edited, 1);
    EXPECT_EQ(doc.Open(dir.File("missing.pgm")), kOpenFileError);
}

// A FIFO or a directory named like a picture is refused at once; opening a FIFO for reading
// would wait for a writer that never comes. (The test would hang, not fail, without that.)
TEST(OpenDispatcher, FilesThatAreNotRegularAreRefusedWithoutWaiting)
{
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.File("pipe.ppm").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(dir.File("pipe.xyz").c_str(), 0600), 0);
    ASSERT_EQ(mkdir(dir.File("folder.png").c_str(), 0700), 0);
    const struct {
        const char* name;
        int rc;
    } cases[] = {{"pipe.ppm", kOpenFileError}, {"pipe.xyz", kDataError}, {"folder.png", kOpenFileError}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TIMAGE_INFO doc;
        EXPECT_EQ(doc.Open(dir.File(c.name)), c.rc);
        EXPECT_EQ(doc.state, kNothingOpen);
    }
}

TEST(OpenDispatcher, DirectDecodingDrawsTheDisplayBitmap)
{
    TempDir dir;
    WriteBytes(dir.File("a.ppm"), ToBytes("P6\n2 1\n255\n\x01\x02\x03\x04\x05\x06"));
    TIMAGE_INFO doc;
    doc.direct_decode = 1;
    ASSERT_EQ(doc.Open(dir.File("a.ppm")), kOk);
    EXPECT_EQ(DisplayPixels(doc), (Bytes{3, 2, 1, 6, 5, 4}));
    EXPECT_EQ(doc.direct_decode, 0) << "the flag lasts one open";
    EXPECT_EQ(doc.context->decoded.size(), 0u) << "the decoded buffer was not needed";
    // PGM ignores the flag and goes through conversion.
    WriteBytes(dir.File("b.pgm"), ToBytes(kTinyPgm));
    doc.direct_decode = 1;
    ASSERT_EQ(doc.Open(dir.File("b.pgm")), kOk);
    EXPECT_EQ(DisplayPixels(doc), (Bytes{0x10, 0x10, 0x10, 0x20, 0x20, 0x20}));
    EXPECT_EQ(doc.direct_decode, 1) << "a converting open leaves the caller's flag alone";
}

TEST(OpenDispatcher, TheDisplayBitmapIsExactlyThePicture)
{
    TempDir dir;
    TIMAGE_INFO doc;
    WriteBytes(dir.File("big.ppm"), ToBytes("P6\n5 3\n255\n" + std::string(45, 'x')));
    WriteBytes(dir.File("small.pbm"), ToBytes(std::string("P4\n3 2\n\xff\x00", 9)));
    ASSERT_EQ(doc.Open(dir.File("big.ppm")), kOk);
    ASSERT_EQ(doc.Open(dir.File("small.pbm")), kOk);
    EXPECT_EQ(doc.display->Width(), 3);
    EXPECT_EQ(doc.display->Height(), 2);
    EXPECT_EQ(doc.display->PixelFormat(), 24);
    EXPECT_EQ(doc.bits_per_pixel, 1);
    EXPECT_EQ(doc.format_code, kFmtPbm);
    EXPECT_EQ(DisplayPixels(doc), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255, 255}));
}

TEST(OpenDispatcher, OpenBytesIsOpenWithoutTheFile)
{
    TempDir dir;
    const struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"wide.ppm", "P6\n4 3\n255\n" + std::string(36, '\x7f')},
        {"grey.pgm", kTinyPgm},
        {"torn.ppm", "P6\n3 2\n255\nabcdefg"},
        {"bits.pbm", std::string("P4\n3 2\n\xa0\x40", 9)},
        {"plain.pgm", "P2 2 1 15 3 15"},
        {"bad.ppm", "P6\n0 0\n255\n"},
        {"empty.tga", ""},
        {"song.mp3", "ID3"},
        {"notes.txt", kTinyPgm},
    };
    // One document each, reused from file to file: stale pixels of a larger picture would
    // show in the smaller ones after it.
    TIMAGE_INFO by_path, by_bytes;
    for (int direct = 0; direct < 2; ++direct) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << (direct != 0 ? " direct" : ""));
            WriteBytes(dir.File(c.name), ToBytes(c.bytes));
            by_path.direct_decode = by_bytes.direct_decode = static_cast<std::uint8_t>(direct);
            const int want = by_path.Open(dir.File(c.name));
            const Bytes bytes = ToBytes(c.bytes);
            EXPECT_EQ(by_bytes.OpenBytes(std::string("/no such directory/") + c.name, bytes), want);
            EXPECT_EQ(by_bytes.state, by_path.state);
            EXPECT_EQ(by_bytes.format_code, by_path.format_code);
            EXPECT_EQ(by_bytes.bits_per_pixel, by_path.bits_per_pixel);
            EXPECT_EQ(by_bytes.display_width, by_path.display_width);
            EXPECT_EQ(by_bytes.display_height, by_path.display_height);
            EXPECT_EQ(by_bytes.direct_decode, by_path.direct_decode);
            if (want == kOk && by_path.state == kPictureOpen) {
                EXPECT_EQ(DisplayPixels(by_bytes), DisplayPixels(by_path));
            }
        }
    }
    EXPECT_TRUE(by_bytes.current_path.empty()) << "the bytes have no path";
    EXPECT_EQ(by_bytes.file_size, 0) << "no file facts were read";
}
