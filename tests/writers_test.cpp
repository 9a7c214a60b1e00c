// The TGA, Sun raster, GIMP pattern and BMP writers: exact bytes, and what independent
// readers make of our files.
#include "base/Byte_order.h"
#include "base/Result_codes.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

namespace {

Bytes Save(TIMAGE_INFO& doc, std::int32_t code, const std::string& path)
{
    EXPECT_EQ(PrepareSave(doc, code, path), kOk);
    EXPECT_EQ(doc.Save(), kOk);
    return ReadBytes(path);
}

// Top-left pure blue, then a few other colours.
const Bytes k3x2{255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30, 40, 50, 60, 70, 80, 90};

} // namespace

TEST(Writers, TgaLayout)
{
    TempDir dir;
    TIMAGE_INFO doc;
    LoadPicture(doc, 3, 2, k3x2);
    const Bytes f = Save(doc, kSaveTga, dir.File("a.tga"));
    ASSERT_EQ(f.size(), 18u + 18u);
    EXPECT_EQ(f[2], 2);
    EXPECT_EQ(LoadWord(kLittleEndian, &f[12]), 3);
    EXPECT_EQ(LoadWord(kLittleEndian, &f[14]), 2);
    EXPECT_EQ(f[16], 24);
    EXPECT_EQ(f[17], 0);
    EXPECT_EQ(Bytes(f.begin() + 18, f.begin() + 21), (Bytes{10, 20, 30})) << "the bottom row comes first";
    EXPECT_EQ(Bytes(f.begin() + 27, f.end()), Bytes(k3x2.begin(), k3x2.begin() + 9));
}

TEST(Writers, TgaRefusesSizesItsHeaderCannotHold)
{
    TempDir dir;
    TIMAGE_INFO doc;
    LoadPicture(doc, 70000, 1, Bytes(70000 * 3, 9));
    ASSERT_EQ(PrepareSave(doc, kSaveTga, dir.File("wide.tga")), kOk);
    EXPECT_EQ(doc.Save(), kImageTooLarge);
}

TEST(Writers, SunRasterLayout)
{
    TempDir dir;
    TIMAGE_INFO doc;
    struct Case {
        int w, h;
        std::size_t size;
        std::uint32_t length;
    } cases[] = {{3, 2, 32 + 2 * 10, 20}, {2, 2, 32 + 12, 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
        LoadPicture(doc, c.w, c.h, PatternPixels(c.w, c.h));
        const Bytes f = Save(doc, kSaveSun, dir.File("a.sun"));
        ASSERT_EQ(f.size(), c.size);
        EXPECT_EQ(LoadDword(kBigEndian, &f[0]), 0x59A66A95u);
        EXPECT_EQ(LoadDword(kBigEndian, &f[4]), static_cast<std::uint32_t>(c.w));
        EXPECT_EQ(LoadDword(kBigEndian, &f[12]), 24u);
        EXPECT_EQ(LoadDword(kBigEndian, &f[16]), c.length) << "the raster's stored size";
        EXPECT_EQ(LoadDword(kBigEndian, &f[20]), 0u);
    }
}

TEST(Writers, GimpPatternLayout)
{
    TempDir dir;
    TIMAGE_INFO doc;
    LoadPicture(doc, 3, 2, k3x2);
    const Bytes f = Save(doc, kSavePat, dir.File("a.pat"));
    ASSERT_EQ(f.size(), 37u + 18u);
    const std::uint32_t words[] = {37, 1, 3, 2, 3, 0x47504154};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(LoadDword(kBigEndian, &f[static_cast<std::size_t>(4 * i)]), words[i]) << "word " << i;
    EXPECT_EQ(std::string(f.begin() + 24, f.begin() + 37), std::string("GIMP Pattern\0", 13));
    EXPECT_EQ(Bytes(f.begin() + 37, f.begin() + 40), (Bytes{0, 0, 255})) << "red, green, blue";
}

TEST(Writers, EveryWriterSavesTheEditedPicture)
{
    TempDir dir;
    TIMAGE_INFO doc;
    LoadPicture(doc, 2, 1, Bytes{1, 2, 3, 4, 5, 6});
    const Bytes edited{200, 100, 50, 25, 12, 6};
    ASSERT_EQ(doc.context->work.Reserve(6), kOk);
    std::copy(edited.begin(), edited.end(), doc.context->work.data());
    std::copy(edited.begin(), edited.end(), doc.display->ScanLine(0));
    doc.edited = 1;
    const Bytes tga = Save(doc, kSaveTga, dir.File("e.tga"));
    EXPECT_EQ(Bytes(tga.begin() + 18, tga.end()), edited);
    const Bytes sun = Save(doc, kSaveSun, dir.File("e.sun"));
    EXPECT_EQ(Bytes(sun.begin() + 32, sun.end()), edited);
    const Bytes pat = Save(doc, kSavePat, dir.File("e.pat"));
    EXPECT_EQ(Bytes(pat.begin() + 37, pat.end()), (Bytes{50, 100, 200, 6, 12, 25}));
}

// Every writer answers an output it cannot open, or cannot write in full (/dev/full takes
// no byte), with the one code kOpenFileError.
TEST(Writers, UnwritablePathsFail)
{
    TIMAGE_INFO doc;
    LoadPicture(doc, 1, 1, Bytes{1, 2, 3});
    for (const char* path : {"/nonexistent-dir/x", "/dev/full"})
        for (std::int32_t code = kSaveBmp; code <= kSaveXwd; ++code) {
            SCOPED_TRACE(std::string(path) + " " + SaveFormatName(code));
            ASSERT_EQ(PrepareSave(doc, code, path), kOk);
            EXPECT_EQ(doc.Save(), kOpenFileError);
        }
}

TEST(Writers, IndependentReadersSeeOurPixels)
{
    // netpbm and Pillow decode our TGA, Sun raster and BMP files to the same pixels
    // (netpbm refuses old-style Sun rasters, so those go to Pillow alone).
    const bool netpbm = HaveTool("tgatoppm") && HaveTool("bmptopnm");
    const bool pillow = RunCommand("/usr/bin/python3 -c 'import PIL' 2>/dev/null") == 0;
    if (!netpbm && !pillow)
        GTEST_SKIP() << "neither netpbm nor Pillow is installed";
    TempDir dir;
    TIMAGE_INFO doc;
    const int w = 7, h = 5; // odd width: padded rows in Sun raster and BMP
    const Bytes pixels = PatternPixels(w, h);
    LoadPicture(doc, w, h, pixels);
    struct Format {
        std::int32_t code;
        const char* ext;
        const char* netpbm_tool;
    } formats[] = {{kSaveTga, "tga", "tgatoppm"}, {kSaveSun, "sun", nullptr}, {kSaveBmp, "bmp", "bmptopnm"}};
    for (const Format& f : formats) {
        SCOPED_TRACE(f.ext);
        const std::string path = dir.File(std::string("x.") + f.ext);
        Save(doc, f.code, path);
        std::vector<std::string> commands;
        if (netpbm && f.netpbm_tool != nullptr)
            commands.push_back(std::string(f.netpbm_tool) + " '" + path + "' > '" + dir.File("ref.ppm") + "' 2>/dev/null");
        if (pillow)
            commands.push_back("/usr/bin/python3 -c \"from PIL import Image; Image.open('" + path + "').convert('RGB').save('" +
                               dir.File("ref.ppm") + "')\"");
        for (const std::string& cmd : commands) {
            SCOPED_TRACE(cmd);
            ASSERT_EQ(RunCommand(cmd), 0);
            int rw = 0, rh = 0;
            Bytes ref;
            ASSERT_TRUE(ParsePpm(ReadBytes(dir.File("ref.ppm")), rw, rh, ref));
            EXPECT_EQ(rw, w);
            EXPECT_EQ(rh, h);
            EXPECT_EQ(ref, pixels);
        }
    }
}
