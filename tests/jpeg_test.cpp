// JPEG: what WriteJpeg writes, ReadJpeg on our files, camera (Exif) files, greyscale and
// CMYK files against independent decoders, and the result codes of broken input.
#include "base/Result_codes.h"
#include "tests/test_support.h"
#include "tests/peers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

int SaveAs(TIMAGE_INFO& doc, std::int32_t code, const std::string& path)
{
    const int rc = PrepareSave(doc, code, path);
    return rc != kOk ? rc : doc.Save();
}

// A smooth picture that JPEG keeps well.
Bytes SmoothPixels(int w, int h)
{
    Bytes p;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            p.push_back(static_cast<std::uint8_t>(x * 255 / w));
            p.push_back(static_cast<std::uint8_t>(y * 255 / h));
            p.push_back(static_cast<std::uint8_t>(128 + 100 * std::sin((x + y) / 9.0)));
        }
    return p;
}

// Our JPEG writer's output for a w × h smooth picture.
Bytes OurJpeg(const TempDir& dir, int w, int h)
{
    TIMAGE_INFO doc;
    LoadPicture(doc, w, h, SmoothPixels(w, h));
    EXPECT_EQ(SaveAs(doc, kSaveJpeg, dir.File("ours.jpg")), kOk);
    return ReadBytes(dir.File("ours.jpg"));
}

// Sets the size in the first baseline frame header (SOF0).
void PatchSize(Bytes& jpg, int w, int h)
{
    for (std::size_t i = 2; i + 9 < jpg.size(); ++i)
        if (jpg[i] == 0xFF && jpg[i + 1] == 0xC0) {
            jpg[i + 5] = static_cast<std::uint8_t>(h >> 8), jpg[i + 6] = static_cast<std::uint8_t>(h);
            jpg[i + 7] = static_cast<std::uint8_t>(w >> 8), jpg[i + 8] = static_cast<std::uint8_t>(w);
            return;
        }
    ADD_FAILURE() << "no SOF0";
}

} // namespace

TEST(Jpeg, WritesJfifThatReadsBackClose)
{
    TempDir dir;
    TIMAGE_INFO doc;
    const Bytes pixels = SmoothPixels(640, 480);
    LoadPicture(doc, 640, 480, pixels);
    ASSERT_EQ(SaveAs(doc, kSaveJpeg, dir.File("a.jpg")), kOk);
    const Bytes file = ReadBytes(dir.File("a.jpg"));
    ASSERT_GT(file.size(), 11u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), (Bytes{0xFF, 0xD8, 0xFF, 0xE0}));
    EXPECT_EQ(std::memcmp(file.data() + 6, "JFIF", 5), 0);

    ASSERT_EQ(doc.Open(dir.File("a.jpg")), kOk);
    EXPECT_EQ(doc.format_code, kFmtJpeg);
    EXPECT_EQ(doc.bits_per_pixel, 24);
    EXPECT_EQ(doc.context->compression_name, "JPEG");
    EXPECT_EQ(doc.display_width, 640);
    EXPECT_EQ(doc.display_height, 480);
    const Bytes ours = DisplayPixels(doc);
    EXPECT_GT(Psnr(ours, pixels), 32.0) << "quality 75 on a smooth picture";

    // djpeg with the same DCT decodes the file to exactly our pixels.
    if (HaveTool("djpeg")) {
        int status = -1;
        const std::string ppm = CaptureCommand("djpeg -dct float '" + dir.File("a.jpg") + "'", &status);
        Bytes djpeg;
        int dw = 0, dh = 0;
        EXPECT_EQ(status, 0);
        ASSERT_TRUE(ParsePpm(ToBytes(ppm), dw, dh, djpeg));
        EXPECT_EQ(djpeg, ours);
    }
    // ImageMagick decodes the same file to nearly the same pixels (its DCT is the integer one).
    int w = 0, h = 0;
    Bytes theirs;
    if (MagickPixels(dir.File("a.jpg"), w, h, theirs)) {
        EXPECT_EQ(w, 640);
        EXPECT_EQ(h, 480);
        EXPECT_LE(MaxDifference(ours, theirs), 3);
    }
}

TEST(Jpeg, CameraFilesWithoutJfifOpen)
{
    TempDir dir;
    const Bytes jfif = OurJpeg(dir, 48, 32);
    // The same stream with an Exif segment in place of the JFIF one, as cameras write it.
    const std::size_t app0 = 4 + (std::size_t(jfif[4]) << 8 | jfif[5]);
    Bytes exif{0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x10, 'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 0x2A, 0, 0, 0, 8};
    for (std::size_t i = app0; i < jfif.size(); ++i)
        exif.push_back(jfif[i]);
    WriteBytes(dir.File("exif.jpg"), exif);
    TIMAGE_INFO doc;
    ASSERT_EQ(doc.Open(dir.File("ours.jpg")), kOk);
    const Bytes want = DisplayPixels(doc);
    ASSERT_EQ(doc.Open(dir.File("exif.jpg")), kOk);
    EXPECT_EQ(DisplayPixels(doc), want);
}

TEST(Jpeg, DirectDecodingDrawsWhatTheConversionShows)
{
    TempDir dir;
    OurJpeg(dir, 50, 30);
    std::vector<std::string> files{dir.File("ours.jpg")};
    if (const std::string corpus = CorpusDir(); !corpus.empty()) {
        files.push_back(corpus + "/jpg/pil_sample_cmyk.jpg"); // CMYK rows converted on the way
        files.push_back(corpus + "/jpg/hopper_gray.jpg");
    }
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        TIMAGE_INFO doc;
        ASSERT_EQ(doc.Open(file), kOk);
        const Bytes want = DisplayPixels(doc);
        LoadPicture(doc, 3, 3, Bytes(27, 0));
        doc.direct_decode = 1;
        ASSERT_EQ(doc.Open(file), kOk);
        EXPECT_EQ(doc.display->PixelFormat(), 24);
        EXPECT_EQ(DisplayPixels(doc), want);
    }
}

TEST(Jpeg, SizeLimitsAndBrokenFiles)
{
    TempDir dir;
    const Bytes good = OurJpeg(dir, 64, 48);
    Bytes huge = good, thin = good, claims = good;
    PatchSize(huge, 5000, 5000);
    PatchSize(claims, 4000, 4000); // 16 million pixels from a file of about a kilobyte
    Bytes truncated(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() * 2 / 3));
    Bytes garbage = good;
    for (std::size_t i = garbage.size() / 2; i < garbage.size() - 2; i += 7)
        garbage[i] = 0xFF; // markers in the middle of the entropy-coded data
    const struct {
        const char* name;
        Bytes bytes;
        int want;
    } cases[] = {
        {"wide and tall", huge, kImageTooLarge},
        {"more blocks than the file can hold", claims, kDataError},
        {"no start of image", ToBytes("\x89PNG not a jpeg"), kMagicError},
        {"one byte", Bytes{0xFF}, kMagicError},
        {"header only", Bytes(good.begin(), good.begin() + 20), kUnknownError},
    };
    TIMAGE_INFO doc;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File("x.jpg"), c.bytes);
        EXPECT_EQ(doc.Open(dir.File("x.jpg")), c.want);
    }
    EXPECT_EQ(doc.Open(dir.File("missing.jpg")), kOpenFileError);

    // A file that ends early opens with what the library makes of the missing blocks; a
    // corrupt one opens or ends in a result code, never in the process's end.
    WriteBytes(dir.File("t.jpg"), truncated);
    EXPECT_EQ(doc.Open(dir.File("t.jpg")), kOk);
    WriteBytes(dir.File("g.jpg"), garbage);
    const int rc = doc.Open(dir.File("g.jpg"));
    EXPECT_TRUE(rc == kOk || rc == kUnknownError) << "have " << rc;

    // Wide but not tall opens.
    TIMAGE_INFO wide;
    LoadPicture(wide, 5000, 100, Bytes(5000 * 100 * 3, 90));
    ASSERT_EQ(SaveAs(wide, kSaveJpeg, dir.File("wide.jpg")), kOk);
    ASSERT_EQ(wide.Open(dir.File("wide.jpg")), kOk);
    EXPECT_EQ(wide.display_width, 5000);
    EXPECT_EQ(wide.display_height, 100);
}

// Greyscale, CMYK, progressive and camera files of the corpus against ImageMagick or Pillow.
TEST(Jpeg, CorpusVariantsMatchOtherDecoders)
{
    const std::string corpus = CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << NoCorpus();
    if (!HaveTool("convert"))
        GTEST_SKIP() << "no ImageMagick";
    const struct {
        const char* file;
        int bits;
    } cases[] = {
        {"hopper.jpg", 24},
        {"hopper_gray.jpg", 8},
        {"tm_no-jfif-ycbcr.jpg", 24},
        {"tm_progressive-adobe-sof-bands-dont-match-sos-band-count.jpg", 24},
        {"tm_jfif-jfxx-thumbnail-olympus-d320l.jpg", 24},
        {"ljt_testimgari.jpg", 24},
        {"pil_sample_cmyk.jpg", 32},
    };
    TIMAGE_INFO doc;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = corpus + "/jpg/" + c.file;
        ASSERT_EQ(doc.Open(path), kOk);
        EXPECT_EQ(doc.bits_per_pixel, c.bits);
        int w = 0, h = 0;
        Bytes theirs;
        ASSERT_TRUE(MagickPixels(path, w, h, theirs));
        EXPECT_EQ(doc.display_width, w);
        EXPECT_EQ(doc.display_height, h);
        // Other DCTs and upsampling differ by a few steps; a wrong colour space by far more.
        EXPECT_GT(Psnr(DisplayPixels(doc), theirs), 35.0);
    }
    EXPECT_EQ(doc.Open(corpus + "/jpg/ljt_monkey12.jpg"), kBitDepthNotSupported);
}
