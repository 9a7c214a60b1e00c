// PBM, PGM and PPM reading and writing.
#include "core/Commit_edit.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>


namespace {

struct ReadCase {
    const char* name;
    const char* ext;
    std::string bytes;
    int want_rc;
    int want_w, want_h, want_bpp;
    Bytes want_pixels; // blue, green, red; empty: not checked
};

Bytes Grey(std::initializer_list<int> levels)
{
    Bytes out;
    for (int v : levels)
        out.insert(out.end(), 3, static_cast<std::uint8_t>(v));
    return out;
}

std::string Bin(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes)
        s.push_back(static_cast<char>(b));
    return s;
}

} // namespace

TEST(Netpbm, ReadsHeaderVariantsAndSamples)
{
    const ReadCase cases[] = {
        {"P5 with a comment line", ".pgm", "P5\n# made by hand\n3 2\n255\n" + Bin({0, 10, 20, 30, 40, 250}), kOk, 3, 2, 8,
         Grey({0, 10, 20, 30, 40, 250})},
        {"two spaces between numbers", ".pgm", "P5\n3  2\n255\n" + Bin({1, 2, 3, 4, 5, 6}), kOk, 3, 2, 8,
         Grey({1, 2, 3, 4, 5, 6})},
        {"whole header on the magic line", ".pgm", "P5 2 1 255\n" + Bin({7, 9}), kOk, 2, 1, 8, Grey({7, 9})},
        {"maxval 15 scales to full range", ".pgm", "P5\n2 1\n15\n" + Bin({15, 1}), kOk, 2, 1, 8, Grey({255, 17})},
        {"16-bit samples, big-endian", ".pgm", "P5\n2 1\n65535\n" + Bin({0xFF, 0xFF, 0x80, 0x00}), kOk, 2, 1, 8,
         Grey({255, 128})},
        {"samples past maxval saturate", ".pgm", "P5\n1 1\n100\n" + Bin({200}), kOk, 1, 1, 8, Grey({255})},
        {"plain greymap", ".pgm", "P2\n2 2\n255\n0 64\n128 255\n", kOk, 2, 2, 8, Grey({0, 64, 128, 255})},
        {"PPM red pixel", ".ppm", "P6\n1 1\n255\n" + Bin({255, 0, 0}), kOk, 1, 1, 24, {0, 0, 255}},
        {"plain pixmap", ".ppm", "P3\n2 1\n255\n255 0 0  0 0 255\n", kOk, 2, 1, 24, {0, 0, 255, 255, 0, 0}},
        {"16-bit pixmap", ".ppm", "P6\n1 1\n1000\n" + Bin({0x03, 0xE8, 0, 0, 0x01, 0xF4}), kOk, 1, 1, 24,
         {128, 0, 255}},
        {"PBM keeps its width of 10", ".pbm", "P4\n10 1\n" + Bin({0x80, 0xC0}), kOk, 10, 1, 1,
         Grey({0, 255, 255, 255, 255, 255, 255, 255, 0, 0})},
        {"plain bitmap with run-together digits", ".pbm", "P1\n3 1\n101\n", kOk, 3, 1, 1, Grey({0, 255, 0})},
        {"truncated raster ends in black", ".pgm", "P5\n2 2\n255\n" + Bin({9, 9, 9}), kOk, 2, 2, 8, Grey({9, 9, 9, 0})},
        {"truncated pixmap ends in black", ".ppm", "P6\n2 1\n255\n" + Bin({1, 2, 3, 4}), kOk, 2, 1, 24,
         {3, 2, 1, 0, 0, 0}},
        {"a pixmap named .pgm opens as what it is", ".pgm", "P6\n1 1\n255\n" + Bin({0, 0, 0}), kOk, 1, 1, 24,
         {0, 0, 0}},
        {"wrong magic", ".pgm", "P7\n1 1\n255\n" + Bin({0, 0, 0}), kMagicError, 0, 0, 0, {}},
        {"not netpbm at all", ".ppm", "\x89PNG\r\n", kMagicError, 0, 0, 0, {}},
        {"zero width", ".ppm", "P6\n0 5\n255\n", kDataError, 0, 0, 0, {}},
        {"letters where the height belongs", ".pgm", "P5\n3 x\n255\n", kDataError, 0, 0, 0, {}},
        {"maxval 0", ".pgm", "P5\n1 1\n0\n" + Bin({0}), kDataError, 0, 0, 0, {}},
        {"maxval past 16 bits", ".ppm", "P6\n1 1\n70000\n", kDataError, 0, 0, 0, {}},
        {"empty file", ".pbm", "", kMagicError, 0, 0, 0, {}},
        {"header cut short", ".pgm", "P5\n3", kDataError, 0, 0, 0, {}},
        {"both sides past 4096", ".pgm", "P5\n5000 5000\n255\n", kImageTooLarge, 0, 0, 0, {}},
        {"PPM both sides past 4096", ".ppm", "P6\n4097 4097\n255\n", kImageTooLarge, 0, 0, 0, {}},
        {"bitmap past the memory cap", ".pbm", "P4\n100000 100000\n", kImageTooLarge, 0, 0, 0, {}},
        {"raster far larger than the file", ".ppm", "P6\n1000 1000\n255\n" + std::string(100, 'x'), kDataError, 0, 0, 0, {}},
        {"absurd digits", ".ppm", "P6\n99999999999999999999 2\n255\n", kImageTooLarge, 0, 0, 0, {}},
    };
    TempDir dir;
    TIMAGE_INFO doc;
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(std::string("case") + c.ext);
        WriteBytes(path, ToBytes(c.bytes));
        const int rc = doc.Open(path);
        ASSERT_EQ(rc, c.want_rc) << "have " << ResultText(rc);
        if (rc != kOk)
            continue;
        EXPECT_EQ(doc.display_width, c.want_w);
        EXPECT_EQ(doc.display_height, c.want_h);
        EXPECT_EQ(doc.bits_per_pixel, c.want_bpp);
        EXPECT_EQ(doc.context->compression_name, "None");
        if (!c.want_pixels.empty()) {
            EXPECT_EQ(DisplayPixels(doc), c.want_pixels);
        }
    }
}

TEST(Netpbm, LongThinPicturesOpen)
{
    // Each side alone may pass 4096; only both together are refused.
    TempDir dir;
    TIMAGE_INFO doc;
    const std::string path = dir.File("wide.pgm");
    std::string file = "P5\n20000 4000\n255\n";
    file.append(std::size_t{20000} * 4000, '\x7f');
    WriteBytes(path, ToBytes(file));
    ASSERT_EQ(doc.Open(path), kOk);
    EXPECT_EQ(doc.display->Width(), 20000);
    EXPECT_EQ(doc.display->ScanLine(3999)[3 * 19999], 0x7f);
}

TEST(Netpbm, ReopeningASmallerPictureShowsNoStalePixels)
{
    TempDir dir;
    TIMAGE_INFO doc;
    WriteBytes(dir.File("big.ppm"), ToBytes("P6\n4 4\n255\n" + std::string(48, '\xee')));
    WriteBytes(dir.File("short.ppm"), ToBytes("P6\n4 4\n255\n" + std::string(6, '\x11')));
    ASSERT_EQ(doc.Open(dir.File("big.ppm")), kOk);
    ASSERT_EQ(doc.Open(dir.File("short.ppm")), kOk);
    const Bytes px = DisplayPixels(doc);
    EXPECT_EQ(px[5], 0x11);
    for (std::size_t i = 6; i < px.size(); ++i)
        ASSERT_EQ(px[i], 0) << "byte " << i << " shows the previous picture";
}

TEST(Netpbm, DirectDecodeGivesTheSamePicture)
{
    // Widths whose rows need padding in the display bitmap and widths that do not, whole
    // and torn rasters, 8-bit and deeper samples: decoding straight into the display must
    // show what decoding through the pixel buffer shows.
    TempDir dir;
    for (const int w : {4, 7}) {
        for (const bool torn : {false, true}) {
            for (const int maxval : {255, 1000}) {
                SCOPED_TRACE("width " + std::to_string(w) + " maxval " + std::to_string(maxval));
                const int bytes_per_sample = maxval > 255 ? 2 : 1;
                std::string raster;
                for (int i = 0; i < w * 5 * 3 * bytes_per_sample; ++i)
                    raster.push_back(static_cast<char>(i * 37 % 251));
                if (torn)
                    raster.resize(raster.size() / 2 + 1); // mid-row, mid-pixel
                const std::string path = dir.File("p.ppm");
                WriteBytes(path, ToBytes("P6\n" + std::to_string(w) + " 5\n" + std::to_string(maxval) + "\n" + raster));
                TIMAGE_INFO doc;
                ASSERT_EQ(doc.Open(path), kOk);
                const Bytes through_buffer = DisplayPixels(doc);
                LoadPicture(doc, 8, 8, Bytes(8 * 8 * 3, 0xEE)); // a previous picture's pixels
                doc.direct_decode = 1;
                ASSERT_EQ(doc.Open(path), kOk);
                EXPECT_EQ(DisplayPixels(doc), through_buffer);
            }
        }
    }
}

TEST(Netpbm, WritersRoundTrip)
{
    TempDir dir;
    TIMAGE_INFO doc;
    const int w = 13, h = 7;
    const Bytes pixels = PatternPixels(w, h);
    LoadPicture(doc, w, h, pixels);

    ASSERT_EQ(PrepareSave(doc, kSavePpm, dir.File("out.ppm")), kOk);
    ASSERT_EQ(doc.Save(), kOk);
    const Bytes ppm = ReadBytes(dir.File("out.ppm"));
    EXPECT_EQ(std::string(ppm.begin(), ppm.begin() + 37), "P6\n#Created using Oxbel 1.0\n13 7\n255\n");
    ASSERT_EQ(PrepareSave(doc, kSavePgm, dir.File("out.pgm")), kOk);
    ASSERT_EQ(doc.Save(), kOk);
    const Bytes pgm = ReadBytes(dir.File("out.pgm"));
    EXPECT_EQ(std::string(pgm.begin(), pgm.begin() + 45), "P5\n#PGM file generated by Oxbel 1.0\n13 7\n255\n");

    TIMAGE_INFO back;
    ASSERT_EQ(back.Open(dir.File("out.ppm")), kOk);
    EXPECT_EQ(DisplayPixels(back), pixels);
    ASSERT_EQ(back.Open(dir.File("out.pgm")), kOk);
    const Bytes grey = DisplayPixels(back);
    for (std::size_t i = 0; i < pixels.size(); i += 3)
        for (int k = 0; k < 3; ++k)
            ASSERT_EQ(grey[i + static_cast<std::size_t>(k)], pixels[i + 1]) << "the grey level is the green byte";
}

TEST(Netpbm, WritersSaveTheEditedPicture)
{
    TempDir dir;
    TIMAGE_INFO doc;
    LoadPicture(doc, 2, 1, Bytes{1, 2, 3, 4, 5, 6});
    const Bytes edited{9, 8, 7, 6, 5, 4};
    std::copy(edited.begin(), edited.end(), doc.display->ScanLine(0));
    ASSERT_EQ(CommitEdit(doc), kOk);
    ASSERT_EQ(PrepareSave(doc, kSavePpm, dir.File("e.ppm")), kOk);
    ASSERT_EQ(doc.Save(), kOk);
    int w = 0, h = 0;
    Bytes back;
    ASSERT_TRUE(ParsePpm(ReadBytes(dir.File("e.ppm")), w, h, back));
    EXPECT_EQ(back, edited);
}

TEST(Netpbm, AgreesWithNetpbmOnTheCorpus)
{
    const std::string corpus = CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << NoCorpus();
    if (!HaveTool("pnmtopnm") || !HaveTool("pamdepth"))
        GTEST_SKIP() << "no netpbm";
    TIMAGE_INFO doc;
    TempDir dir;
    int compared = 0;
    for (const CorpusEntry& e : CorpusEntries()) {
        if ((e.ext != "pbm" && e.ext != "pgm" && e.ext != "ppm") || e.status == "broken")
            continue;
        const std::string& path = e.path;
        SCOPED_TRACE(path);
        // netpbm's own decode, brought to 8 bits and colour.
        const std::string ref = dir.File("ref.ppm");
        if (RunCommand("pamdepth 255 '" + path + "' 2>/dev/null | pnmtopnm -plain 2>/dev/null | ppmtoppm > '" + ref +
                       "' 2>/dev/null") != 0)
            continue; // netpbm refuses it too
        int w = 0, h = 0;
        Bytes want;
        if (!ParsePpm(ReadBytes(ref), w, h, want))
            continue;
        ASSERT_EQ(doc.Open(path), kOk);
        ASSERT_EQ(doc.display_width, w);
        ASSERT_EQ(doc.display_height, h);
        const Bytes have = DisplayPixels(doc);
        int worst = 0;
        for (std::size_t i = 0; i < have.size(); ++i)
            worst = std::max(worst, std::abs(int{have[i]} - int{want[i]}));
        EXPECT_LE(worst, 1) << "largest sample difference";
        ++compared;
    }
    EXPECT_GT(compared, 10);
}
