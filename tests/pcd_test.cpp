// Photo CD reading: the decoding layer on hand-made packs, packs written by ImageMagick
// and the corpus pack against ImageMagick's decode.
//
// ImageMagick maps the PhotoYCC range 0..1.388 linearly onto 0..255 (reference white
// lands near 182); we clip at reference white as the format's conversion does. Its
// decode is brought to our scale (× 1.388, clipped) before the comparison, which must
// reach kPsnrFloor.
#include "base/Result_codes.h"
#include "dec_enc/Pcd_lib.h"
#include "tests/peers.h"

#include <gtest/gtest.h>

namespace {

constexpr double kPsnrFloor = 35.0;
constexpr std::size_t kBase = 96 * 2048;

// A pack of flat planes: every luma byte y, every chroma byte c1 and c2.
Bytes FlatPack(std::uint8_t y, std::uint8_t c1, std::uint8_t c2)
{
    Bytes b(kBase + 768 * 512 * 3 / 2, 0);
    std::copy_n("PCD_IPI", 7, b.begin() + 2048);
    for (std::size_t g = 0; g < 256; ++g) {
        std::uint8_t* p = b.data() + kBase + g * 768 * 3;
        std::fill(p, p + 1536, y);
        std::fill(p + 1536, p + 1920, c1);
        std::fill(p + 1920, p + 2304, c2);
    }
    return b;
}

Bytes ScaledImageMagick(const Bytes& im)
{
    Bytes out(im.size());
    for (std::size_t i = 0; i < im.size(); ++i)
        out[i] = static_cast<std::uint8_t>(std::min(255L, std::lround(im[i] * 1.388)));
    return out;
}

} // namespace

TEST(PcdLayer, ConvertsPhotoYccAndReportsFailures)
{
    TempDir dir;
    Bytes pack = FlatPack(100, 156, 137);
    // The first group's C2 row lifts red: R = 1.3584 Y + 1.8215 (C2 - 137).
    std::fill(pack.begin() + kBase + 1920, pack.begin() + kBase + 2304, 187);
    WriteBytes(dir.File("p.pcd"), pack);
    PCD_IMAGE img;
    ASSERT_EQ(pcd_open(&img, dir.File("p.pcd").c_str()), 0);
    int left = -1, top = -1, w = 0, h = 0;
    EXPECT_EQ(pcd_select(&img, 4, 0, 0, 0, 0, &left, &top, &w, &h), -1);
    EXPECT_EQ(pcd_get_image_line(&img, 0, nullptr, 2, 0), -1);
    for (const auto& [res, want_w, want_h] : {std::tuple{1, 192, 128}, std::tuple{2, 384, 256}, std::tuple{3, 768, 512}}) {
        SCOPED_TRACE(res);
        ASSERT_EQ(pcd_select(&img, res, 0, 0, 0, 0, &left, &top, &w, &h), 0);
        EXPECT_EQ(w, want_w);
        EXPECT_EQ(h, want_h);
        EXPECT_EQ(left, 0);
        EXPECT_EQ(top, 0);
    }
    ASSERT_EQ(pcd_decode(&img), 0);
    std::vector<unsigned char> line(768 * 3);
    ASSERT_EQ(pcd_get_image_line(&img, 0, line.data(), 2, 0), 0);
    EXPECT_EQ(line[0], 227); // 135.84 + 91.08
    EXPECT_EQ(line[1], 89);  // 135.84 - 0.509 × 91.08
    EXPECT_EQ(line[2], 136);
    ASSERT_EQ(pcd_get_image_line(&img, 511, line.data(), 2, 0), 0);
    EXPECT_EQ(line[0], 136); // grey: no chroma
    EXPECT_EQ(line[1], 136);
    EXPECT_EQ(line[2], 136);
    EXPECT_EQ(pcd_get_image_line(&img, 512, line.data(), 2, 0), -1);
    pcd_close(&img);

    WriteBytes(dir.File("short.pcd"), Bytes(100 * 1024, 0));
    EXPECT_EQ(pcd_open(&img, dir.File("short.pcd").c_str()), -1);
    EXPECT_STREQ(img.errmsg, "probably not a PhotoCD image (too small)");
    EXPECT_EQ(pcd_open(&img, dir.File("missing.pcd").c_str()), -1);
    EXPECT_EQ(img.failure, kPcdOpenFailed);
}

TEST(PcdRead, BaseImageAsBlueGreenRed)
{
    TempDir dir;
    Bytes pack = FlatPack(100, 156, 137);
    std::fill(pack.begin() + kBase + 1920, pack.begin() + kBase + 2304, 187);
    WriteBytes(dir.File("p.pcd"), pack);
    TIMAGE_INFO doc;
    ASSERT_EQ(doc.Open(dir.File("p.pcd")), kOk);
    EXPECT_EQ(doc.display_width, 768);
    EXPECT_EQ(doc.display_height, 512);
    EXPECT_EQ(doc.bits_per_pixel, 24);
    EXPECT_EQ(doc.context->compression_name, "None");
    const std::uint8_t* first = doc.context->decoded.data();
    EXPECT_EQ(first[0], 136);
    EXPECT_EQ(first[1], 89);
    EXPECT_EQ(first[2], 227);

    // Failures leave the picture on screen.
    const Bytes before = DisplayPixels(doc);
    struct Case {
        const char* name;
        Bytes file;
        int want_rc;
    };
    Bytes unsigned_pack = FlatPack(1, 2, 3);
    unsigned_pack[2048] = 'X';
    const Case cases[] = {
        {"100 KB file", Bytes(100 * 1024, 7), kMagicError},
        {"no PCD_IPI signature", unsigned_pack, kMagicError},
        {"empty file", {}, kMagicError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File("bad.pcd"), c.file);
        EXPECT_EQ(doc.Open(dir.File("bad.pcd")), c.want_rc);
        EXPECT_EQ(doc.display_width, 768);
        EXPECT_TRUE(DisplayPixels(doc) == before);
    }
    EXPECT_EQ(doc.Open(dir.File("missing.pcd")), kOpenFileError);
}

TEST(PcdRead, PacksOfImageMagickMatchItsDecode)
{
    if (!HaveTool("convert"))
        GTEST_SKIP() << "needs ImageMagick";
    TempDir dir;
    std::vector<std::string> packs;
    // Smooth colours and a sharp pattern, at the Base size and smaller (ImageMagick pads).
    const std::string pattern = dir.File("pattern.ppm");
    WritePpmFile(pattern, 768, 512, PatternPixels(768, 512));
    for (const std::string& source : {std::string("-size 768x512 gradient:red-blue"),
                                      std::string("-size 768x512 plasma:fractal -seed 7"), pattern}) {
        const std::string out = dir.File("im" + std::to_string(packs.size()) + ".pcd");
        ASSERT_EQ(RunCommand("convert " + source + " PCD:" + out + " 2>/dev/null"), 0);
        packs.push_back(out);
    }
    const std::string corpus = CorpusDir();
    if (!corpus.empty())
        packs.push_back(corpus + "/pcd/hopper.pcd");
    TIMAGE_INFO doc;
    for (const std::string& pack : packs) {
        SCOPED_TRACE(pack);
        int w = 0, h = 0;
        Bytes im;
        ASSERT_TRUE(ReadToolPpm("convert " + pack + " " + dir.File("im.ppm"), dir.File("im.ppm"), w, h, im));
        ASSERT_EQ(doc.Open(pack), kOk);
        ASSERT_EQ(w, 768);
        ASSERT_EQ(h, 512);
        const double psnr = Psnr(DisplayPixels(doc), ScaledImageMagick(im));
        RecordProperty("psnr_" + pack.substr(pack.rfind('/') + 1), std::to_string(psnr));
        EXPECT_GE(psnr, kPsnrFloor) << "have " << psnr << " dB";
    }
}
