// TIFF: WriteTiff's files, the scan-line variants (bilevel, palette, grey, RGB) from files
// written here through libtiff, the other layouts against ImageMagick, and broken files.
#include "core/Commit_edit.h"
#include "base/Result_codes.h"
#include "tests/test_support.h"
#include "tests/peers.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <functional>

namespace {

int SaveAs(TIMAGE_INFO& doc, std::int32_t code, const std::string& path)
{
    const int rc = PrepareSave(doc, code, path);
    return rc != kOk ? rc : doc.Save();
}

// Writes a one-strip TIFF; extra sets more tags; rows are given as stored.
void WriteTiffFile(const std::string& path, std::uint32_t w, std::uint32_t h, int bits, int samples,
                   int photometric, const Bytes& data, const std::function<void(TIFF*)>& extra = {})
{
    TIFF* t = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(t, nullptr);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, h);
    if (extra)
        extra(t);
    TIFFWriteEncodedStrip(t, 0, const_cast<std::uint8_t*>(data.data()), static_cast<tmsize_t>(data.size()));
    TIFFClose(t);
}

} // namespace

TEST(Tiff, WritesLzwRgbThatReadsBack)
{
    TempDir dir;
    TIMAGE_INFO doc;
    const Bytes pixels = PatternPixels(70, 45);
    LoadPicture(doc, 70, 45, pixels);
    ASSERT_EQ(SaveAs(doc, kSaveTiff, dir.File("a.tif")), kOk);

    TIFF* t = TIFFOpen(dir.File("a.tif").c_str(), "r");
    ASSERT_NE(t, nullptr);
    std::uint32_t w = 0, h = 0;
    std::uint16_t bits = 0, samples = 0, compression = 0, photometric = 0;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(t, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFClose(t);
    EXPECT_EQ(w, 70u);
    EXPECT_EQ(h, 45u);
    EXPECT_EQ(bits, 8);
    EXPECT_EQ(samples, 3);
    EXPECT_EQ(compression, COMPRESSION_LZW);
    EXPECT_EQ(photometric, PHOTOMETRIC_RGB);

    if (HaveTool("tiffinfo")) {
        EXPECT_EQ(RunCommand("tiffinfo -D '" + dir.File("a.tif") + "' >/dev/null 2>&1"), 0);
    }

    ASSERT_EQ(doc.Open(dir.File("a.tif")), kOk);
    EXPECT_EQ(doc.format_code, kFmtTiff);
    EXPECT_EQ(doc.bits_per_pixel, 24);
    EXPECT_EQ(doc.context->compression_name, "LZW");
    EXPECT_EQ(DisplayPixels(doc), pixels);

    int mw = 0, mh = 0;
    Bytes theirs;
    if (MagickPixels(dir.File("a.tif"), mw, mh, theirs)) {
        EXPECT_EQ(theirs, pixels);
    }
}

TEST(Tiff, WidthsPast16BitsSurviveTheRoundTrip)
{
    TempDir dir;
    TIMAGE_INFO doc;
    const Bytes pixels = PatternPixels(70000, 2);
    LoadPicture(doc, 70000, 2, pixels);
    ASSERT_EQ(SaveAs(doc, kSaveTiff, dir.File("w.tif")), kOk);
    ASSERT_EQ(doc.Open(dir.File("w.tif")), kOk);
    EXPECT_EQ(doc.display_width, 70000);
    EXPECT_EQ(DisplayPixels(doc), pixels);
}

TEST(Tiff, SaveAfterAnEditWritesTheWorkingPicture)
{
    TempDir dir;
    TIMAGE_INFO doc;
    LoadPicture(doc, 3, 1, Bytes(9, 10));
    std::fill(doc.display->ScanLine(0), doc.display->ScanLine(0) + 9, std::uint8_t{77});
    ASSERT_EQ(CommitEdit(doc), kOk);
    ASSERT_EQ(SaveAs(doc, kSaveTiff, dir.File("e.tif")), kOk);
    ASSERT_EQ(doc.Open(dir.File("e.tif")), kOk);
    EXPECT_EQ(DisplayPixels(doc), Bytes(9, 77));
}

TEST(Tiff, ScanlineVariants)
{
    TempDir dir;
    std::uint16_t wide[3][256], narrow[3][256];
    for (int i = 0; i < 256; ++i) {
        wide[0][i] = static_cast<std::uint16_t>(i * 257), wide[1][i] = 0, wide[2][i] = static_cast<std::uint16_t>(65535 - i * 257);
        narrow[0][i] = static_cast<std::uint16_t>(i), narrow[1][i] = 0, narrow[2][i] = static_cast<std::uint16_t>(255 - i);
    }
    auto map = [](std::uint16_t (*m)[256]) { return [m](TIFF* t) { TIFFSetField(t, TIFFTAG_COLORMAP, m[0], m[1], m[2]); }; };
    const struct {
        const char* name;
        int bits, samples, photometric;
        Bytes data; // 2 × 1 pixels
        std::function<void(TIFF*)> extra;
        int want_bpp;
        Bytes want; // blue, green, red
    } cases[] = {
        {"bilevel, 0 is white", 1, 1, PHOTOMETRIC_MINISWHITE, {0x80}, {}, 1, {0, 0, 0, 255, 255, 255}},
        {"bilevel, 0 is black", 1, 1, PHOTOMETRIC_MINISBLACK, {0x80}, {}, 1, {255, 255, 255, 0, 0, 0}},
        {"grey without a map", 8, 1, PHOTOMETRIC_MINISBLACK, {10, 200}, {}, 8, {10, 10, 10, 200, 200, 200}},
        {"grey, 0 is white", 8, 1, PHOTOMETRIC_MINISWHITE, {10, 200}, {}, 8, {245, 245, 245, 55, 55, 55}},
        {"palette, 16-bit map", 8, 1, PHOTOMETRIC_PALETTE, {0, 255}, map(wide), 8, {255, 0, 0, 0, 0, 255}},
        {"palette, map below 256", 8, 1, PHOTOMETRIC_PALETTE, {0, 255}, map(narrow), 8, {255, 0, 0, 0, 0, 255}},
        {"RGB", 8, 3, PHOTOMETRIC_RGB, {1, 2, 3, 4, 5, 6}, {}, 24, {3, 2, 1, 6, 5, 4}},
        {"RGB with alpha on white", 8, 4, PHOTOMETRIC_RGB, {255, 0, 0, 255, 0, 0, 0, 0},
         [](TIFF* t) {
             const std::uint16_t kinds[] = {EXTRASAMPLE_UNASSALPHA};
             TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, kinds);
         },
         32, {0, 0, 255, 255, 255, 255}},
        {"16-bit grey", 16, 1, PHOTOMETRIC_MINISBLACK, {0x00, 0x12, 0xFF, 0xAB}, {}, 16, {18, 18, 18, 171, 171, 171}},
    };
    TIMAGE_INFO doc;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("v.tif");
        WriteTiffFile(path, 2, 1, c.bits, c.samples, c.photometric, c.data, c.extra);
        ASSERT_EQ(doc.Open(path), kOk);
        EXPECT_EQ(doc.bits_per_pixel, c.want_bpp);
        EXPECT_EQ(doc.context->compression_name, "None");
        EXPECT_EQ(DisplayPixels(doc), c.want);
    }
}

TEST(Tiff, RefusedAndBrokenFiles)
{
    TempDir dir;
    TIMAGE_INFO doc;
    WriteTiffFile(dir.File("p4.tif"), 2, 1, 4, 1, PHOTOMETRIC_PALETTE, {0x01}, [](TIFF* t) {
        static std::uint16_t m[16] = {};
        TIFFSetField(t, TIFFTAG_COLORMAP, m, m, m);
    });
    EXPECT_EQ(doc.Open(dir.File("p4.tif")), kBitDepthNotSupported);
    WriteBytes(dir.File("junk.tif"), ToBytes("II*\0 this is no directory at all"));
    EXPECT_EQ(doc.Open(dir.File("junk.tif")), kOpenFileError);
    WriteBytes(dir.File("gif.tif"), ToBytes("GIF89a"));
    EXPECT_EQ(doc.Open(dir.File("gif.tif")), kOpenFileError);
    EXPECT_EQ(doc.Open(dir.File("missing.tif")), kOpenFileError);
    // 12000 × 12000 stored pixels in a file of a few hundred bytes.
    WriteTiffFile(dir.File("claims.tif"), 1, 1, 8, 3, PHOTOMETRIC_RGB, {1, 2, 3}, [](TIFF* t) {
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 12000);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, 12000);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 12000);
    });
    EXPECT_EQ(doc.Open(dir.File("claims.tif")), kDataError);

    // A strip cut short: the rows that cannot be read are black, not the previous picture.
    LoadPicture(doc, 8, 8, Bytes(8 * 8 * 3, 255));
    WriteTiffFile(dir.File("short.tif"), 8, 8, 8, 1, PHOTOMETRIC_MINISBLACK, Bytes(64, 100),
                  [](TIFF* t) { TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW); });
    Bytes file = ReadBytes(dir.File("short.tif"));
    // The strip is the first thing after the 8-byte header; keep only its start.
    std::fill(file.begin() + 8, file.begin() + 16, std::uint8_t{0});
    WriteBytes(dir.File("short.tif"), file);
    ASSERT_EQ(doc.Open(dir.File("short.tif")), kOk);
    for (std::uint8_t v : DisplayPixels(doc))
        ASSERT_TRUE(v == 0 || v == 100) << "have " << int(v);
}

// Layouts through libtiff's RGBA interface and the compressions of the corpus, against
// ImageMagick.
TEST(Tiff, CorpusMatchesImageMagick)
{
    const std::string corpus = CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << NoCorpus();
    if (!HaveTool("convert"))
        GTEST_SKIP() << "no ImageMagick";
    const struct {
        const char* file;
        const char* compression;
        int tolerance;
    } cases[] = {
        {"im_input_256.tif", "None", 0},
        {"im_input_256_planar_separate.tif", "None", 0},
        {"im_input_gray_16bit.tif", "None", 1},
        {"im_input_gray_8bit_matte.tif", "None", 1},
        {"im_input_mono.tif", "CCITTFAX4", 0},
        {"im_input_truecolor.tif", "None", 0},
        {"im_input_truecolor_16.tif", "None", 1},
        {"im_input_truecolor_tiled32x32.tif", "None", 0},
        {"libtiff_deflate-last-strip-extra-data.tif", "Adobe Deflate", 0},
        {"libtiff_lzw-single-strip.tif", "LZW", 0},
        {"libtiff_miniswhite-1c-1b.tif", "None", 0},
        {"libtiff_palette-1c-8b.tif", "None", 1}, // its 16-bit map: high byte here, rounded there,
        {"libtiff_rgb-3c-16b.tif", "None", 1},
        {"libtiff_quad-tile.jpg.tif", "JPEG", 3},
        {"libtiff_testfax4.tif", "CCITTFAX4", 0},
    };
    TIMAGE_INFO doc;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = corpus + "/tif/" + c.file;
        ASSERT_EQ(doc.Open(path), kOk);
        EXPECT_EQ(doc.context->compression_name, c.compression);
        int w = 0, h = 0;
        Bytes theirs;
        ASSERT_TRUE(MagickPixels(path, w, h, theirs));
        ASSERT_EQ(doc.display_width, w);
        ASSERT_EQ(doc.display_height, h);
        EXPECT_LE(MaxDifference(DisplayPixels(doc), theirs), c.tolerance);
    }
}
