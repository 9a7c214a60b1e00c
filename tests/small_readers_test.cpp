// The small raster readers: MacPaint, Pixar, Sun raster, GIMP pattern, VICAR, Nokia logo,
// DICOM (fixed layout), MTV, FBM, Corel, QRT and Microsoft Paint.
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

Bytes DecodedPixels(CODEC_CTX& ctx)
{
    return Bytes(ctx.decoded.data(), ctx.decoded.data() + ctx.RowBytes() * static_cast<std::size_t>(ctx.height));
}

int ReadFile(ReaderFn reader, const std::string& path, CODEC_CTX& ctx)
{
    ctx.input_file_name = path;
    return reader(ctx);
}

// Writes `pixels` (blue-green-red) with `writer`, reads the file back with `reader`.
void RoundTrip(int (*writer)(CODEC_CTX&), ReaderFn reader, int w, int h)
{
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    TempDir dir;
    CODEC_CTX out;
    ASSERT_EQ(out.ReserveDecoded(w, h), kOk);
    out.width = w;
    out.height = h;
    const Bytes pixels = PatternPixels(w, h);
    std::memcpy(out.decoded.data(), pixels.data(), pixels.size());
    out.output_file_name = dir.File("x.bin");
    ASSERT_EQ(writer(out), kOk);
    CODEC_CTX in;
    ASSERT_EQ(ReadFile(reader, out.output_file_name, in), kOk);
    ASSERT_EQ(in.width, w);
    ASSERT_EQ(in.height, h);
    EXPECT_EQ(DecodedPixels(in), pixels);
}

void Put16(Bytes& b, std::size_t at, unsigned v, bool big = false)
{
    if (b.size() < at + 2)
        b.resize(at + 2);
    b[at + (big ? 1 : 0)] = static_cast<std::uint8_t>(v);
    b[at + (big ? 0 : 1)] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v, bool big = false)
{
    if (b.size() < at + 4)
        b.resize(at + 4);
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(big ? 3 - i : i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutText(Bytes& b, std::size_t at, const std::string& s)
{
    if (b.size() < at + s.size())
        b.resize(at + s.size());
    std::memcpy(b.data() + at, s.data(), s.size());
}

Bytes Grey(std::initializer_list<int> values)
{
    Bytes out;
    for (int v : values)
        out.insert(out.end(), 3, static_cast<std::uint8_t>(v));
    return out;
}

struct Fixture {
    const char* name;
    ReaderFn reader;
    Bytes file;
    int want_rc;
    int w, h;
    Bytes want; // blue-green-red; empty: not checked
};

void CheckFixtures(const std::vector<Fixture>& cases)
{
    TempDir dir;
    for (const Fixture& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("f.bin");
        WriteBytes(path, c.file);
        CODEC_CTX ctx;
        const int rc = ReadFile(c.reader, path, ctx);
        ASSERT_EQ(rc, c.want_rc) << "have " << ResultText(rc);
        if (rc != kOk)
            continue;
        EXPECT_EQ(ctx.width, c.w);
        EXPECT_EQ(ctx.height, c.h);
        if (!c.want.empty()) {
            EXPECT_EQ(DecodedPixels(ctx), c.want);
        }
    }
}

} // namespace

TEST(SmallReaders, OurWritersReadBack)
{
    for (int w : {1, 7, 8, 33}) {
        RoundTrip(WriteSun, ReadSun, w, 5);
        RoundTrip(WritePat, ReadGimpPattern, w, 4);
    }
}

// Hand-made files built from each format's layout, with the pixels they must give.
TEST(SmallReaders, HandMadeFiles)
{
    std::vector<Fixture> cases;
    {
        // Pixar: height, width at 416; rows of red-green-blue from 1024.
        Bytes f(1024, 0);
        Put16(f, 416, 1);
        Put16(f, 418, 2);
        f.insert(f.end(), {10, 20, 30, 40, 50, 60});
        cases.push_back({"pixar", ReadPixar, f, kOk, 2, 1, {30, 20, 10, 60, 50, 40}});
    }
    {
        // Nokia logo: "NOL", width and height at 10, characters from 19.
        Bytes f;
        PutText(f, 0, "NOL");
        Put16(f, 10, 4);
        Put16(f, 12, 2);
        PutText(f, 19, "01101111");
        cases.push_back({"nokia 0110", ReadNokiaLogo, f, kOk, 4, 2, Grey({0, 255, 255, 0, 255, 255, 255, 255})});
        Bytes bad = f;
        bad[0] = 'X';
        cases.push_back({"nokia magic", ReadNokiaLogo, bad, kDataError, 0, 0, {}});
    }
    {
        // DICOM, fixed layout: implicit little-endian Rows, Columns and Pixel Data.
        Bytes f(922, 0);
        Put32(f, 794, 0x00100028);
        Put32(f, 798, 2);
        Put16(f, 802, 2); // rows
        Put32(f, 804, 0x00110028);
        Put32(f, 808, 2);
        Put16(f, 812, 3); // columns
        Put32(f, 914, 0x00107FE0);
        Put32(f, 918, 6);
        f.insert(f.end(), {0, 50, 100, 150, 200, 250});
        cases.push_back({"dicom", ReadDicom, f, kOk, 3, 2, Grey({0, 50, 100, 150, 200, 250})});
        Bytes wide = f;
        Put16(wide, 812, 4097);
        cases.push_back({"dicom too wide", ReadDicom, wide, kMagicError, 0, 0, {}});
        Bytes other = f;
        Put32(other, 794, 0x00200028);
        cases.push_back({"dicom other layout", ReadDicom, other, kMagicError, 0, 0, {}});
        Bytes sixteen = f;
        Put32(sixteen, 918, 12);
        cases.push_back({"dicom 16-bit", ReadDicom, sixteen, kBitDepthNotSupported, 0, 0, {}});
    }
    {
        // FBM: text header, then red, green and blue planes, bottom row first.
        Bytes f(256, 0);
        PutText(f, 0, "%bitmap");
        PutText(f, 8, "2");
        PutText(f, 16, "2");
        PutText(f, 24, "3");
        PutText(f, 32, "8");
        PutText(f, 40, "8");
        PutText(f, 48, "2");
        PutText(f, 60, "4");
        f.insert(f.end(), {1, 2, 3, 4, 11, 12, 13, 14, 21, 22, 23, 24});
        cases.push_back({"fbm", ReadFbm, f, kOk, 2, 2, {23, 13, 3, 24, 14, 4, 21, 11, 1, 22, 12, 2}});
        Bytes magic = f;
        magic[1] = 'B';
        cases.push_back({"fbm magic", ReadFbm, magic, kMagicError, 0, 0, {}});
        Bytes planes = f;
        PutText(planes, 24, "1");
        cases.push_back({"fbm one plane", ReadFbm, planes, kDataError, 0, 0, {}});
    }
    {
        // Corel: "II*\0", directory offset o, width at o + 34, height at o + 46, rows of
        // red-green-blue from 124, bottom row first.
        Bytes f(124, 0);
        PutText(f, 0, std::string("II*\0", 4));
        Put32(f, 4, 8);
        Put32(f, 42, 1);
        Put32(f, 54, 2);
        f.insert(f.end(), {1, 2, 3, 4, 5, 6});
        cases.push_back({"corel", ReadCorel, f, kOk, 1, 2, {6, 5, 4, 3, 2, 1}});
        Bytes magic = f;
        magic[2] = 'X';
        cases.push_back({"corel magic", ReadCorel, magic, kOpenFileError, 0, 0, {}});
        Bytes zero = f;
        Put32(zero, 42, 0);
        cases.push_back({"corel zero width", ReadCorel, zero, kDataError, 0, 0, {}});
    }
    {
        // QRT: width, height, then per row a row number and the red, green, blue runs.
        Bytes f;
        Put16(f, 0, 2);
        Put16(f, 2, 1);
        f.insert(f.end(), {0, 0, 10, 11, 20, 21, 30, 31});
        cases.push_back({"qrt", ReadQrt, f, kOk, 2, 1, {30, 20, 10, 31, 21, 11}});
        Bytes zero = f;
        Put16(zero, 2, 0);
        cases.push_back({"qrt zero height", ReadQrt, zero, kDataError, 0, 0, {}});
    }
    {
        // Microsoft Paint 2: "LinS", 32-byte header, row map, packed rows.
        Bytes f(32, 0);
        PutText(f, 0, "LinS");
        Put16(f, 4, 16);
        Put16(f, 6, 2);
        Put16(f, 32, 5); // row 0: a literal 0x80, then a run of one 0x0F
        Put16(f, 34, 3);
        f.insert(f.end(), {1, 0x80, 0, 1, 0x0F, 0, 2, 0xFF});
        Bytes want = Grey({255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 255});
        Bytes white = Grey({255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255});
        want.insert(want.end(), white.begin(), white.end());
        cases.push_back({"msp", ReadMsp, f, kOk, 16, 2, want});
        Bytes run = f;
        run[39] = 3; // a run of three bytes where one is left
        cases.push_back({"msp run past the row", ReadMsp, run, kDataError, 0, 0, {}});
        Bytes magic = f;
        PutText(magic, 0, "ABCD");
        cases.push_back({"msp magic", ReadMsp, magic, kDataError, 0, 0, {}});
        Bytes huge = f;
        Put16(huge, 4, 5000);
        Put16(huge, 6, 5000);
        cases.push_back({"msp too large", ReadMsp, huge, kImageTooLarge, 0, 0, {}});
        Bytes empty = f;
        Put16(empty, 4, 0);
        cases.push_back({"msp zero width", ReadMsp, empty, kDataError, 0, 0, {}});
    }
    {
        // VICAR: LBLSIZE 1024, N1 10, N2 5, grey bytes from 1024.
        Bytes f(1024, ' ');
        PutText(f, 0, "LBLSIZE=1024 FORMAT='BYTE' TYPE='IMAGE' N1=10 N2=5 TASK='A B'");
        Bytes want;
        for (int i = 0; i < 50; ++i) {
            f.push_back(static_cast<std::uint8_t>(i * 5));
            want.insert(want.end(), 3, static_cast<std::uint8_t>(i * 5));
        }
        cases.push_back({"vicar", ReadVicar, f, kOk, 10, 5, want});
        Bytes no_n2 = f;
        PutText(no_n2, 48, "  ");
        cases.push_back({"vicar without N2", ReadVicar, no_n2, kDataError, 0, 0, {}});
        Bytes half = f;
        PutText(half, 20, "'HALF'");
        cases.push_back({"vicar 16-bit", ReadVicar, half, kBitDepthNotSupported, 0, 0, {}});
    }
    {
        // MTV: "w h" line then red-green-blue.
        Bytes f = ToBytes("2 1\n");
        f.insert(f.end(), {1, 2, 3, 4, 5, 6});
        cases.push_back({"mtv", ReadMtv, f, kOk, 2, 1, {3, 2, 1, 6, 5, 4}});
        cases.push_back({"mtv no numbers", ReadMtv, ToBytes("P6 x\n"), kMagicError, 0, 0, {}});
        cases.push_back({"mtv zero", ReadMtv, ToBytes("0 5\n"), kDataError, 0, 0, {}});
        cases.push_back({"mtv negative", ReadMtv, ToBytes("-3 5\n"), kDataError, 0, 0, {}});
        cases.push_back({"mtv no line end", ReadMtv, Bytes(600, '1'), kMagicError, 0, 0, {}});
    }
    {
        // MacPaint with a zero 512-byte header: data from 512. A 0xFF count repeats the
        // next byte twice; 0x00 copies one byte.
        Bytes f(512, 0);
        f.insert(f.end(), {0x00, 0x80, 0xFF, 0xFF});
        Bytes want = Grey({0, 255, 255, 255, 255, 255, 255, 255});
        for (int i = 0; i < 16; ++i)
            want.insert(want.end(), 3, 0);
        CODEC_CTX ctx;
        TempDir dir;
        WriteBytes(dir.File("m.mac"), f);
        ASSERT_EQ(ReadFile(ReadMacPaint, dir.File("m.mac"), ctx), kOk);
        ASSERT_EQ(ctx.width, 576);
        EXPECT_EQ(Bytes(ctx.decoded.data(), ctx.decoded.data() + want.size()), want);
        // The rest of the picture had no data: black.
        EXPECT_EQ(ctx.decoded.data()[ctx.RowBytes() * 719], 0);
        Bytes nonzero = f;
        nonzero[0] = 1;
        cases.push_back({"macpaint first byte", ReadMacPaint, nonzero, kMagicError, 0, 0, {}});
    }
    {
        // Sun raster: 8-bit with a two-colour map, and a depth we do not read.
        Bytes f;
        for (std::uint32_t v : {0x59A66A95u, 3u, 1u, 8u, 4u, 1u, 1u, 6u})
            Put32(f, f.size(), v, true);
        f.insert(f.end(), {10, 200, 20, 210, 30, 220}); // reds, greens, blues
        f.insert(f.end(), {1, 0, 1, 0});
        cases.push_back({"sun mapped", ReadSun, f, kOk, 3, 1, {220, 210, 200, 30, 20, 10, 220, 210, 200}});
        Bytes depth = f;
        Put32(depth, 12, 4, true);
        cases.push_back({"sun depth 4", ReadSun, depth, kBitDepthNotSupported, 0, 0, {}});
        Bytes map = f;
        Put32(map, 28, 600, true);
        cases.push_back({"sun map past the file", ReadSun, map, kDataError, 0, 0, {}});
        Bytes magic = f;
        magic[0] = 0;
        cases.push_back({"sun magic", ReadSun, magic, kDataError, 0, 0, {}});
        Bytes huge = f;
        Put32(huge, 4, 0x10000, true);
        Put32(huge, 8, 0x10000, true);
        cases.push_back({"sun size product", ReadSun, huge, kImageTooLarge, 0, 0, {}});
        Bytes claim = f;
        Put32(claim, 4, 4000, true);
        Put32(claim, 8, 4000, true);
        cases.push_back({"sun raster not in the file", ReadSun, claim, kDataError, 0, 0, {}});
    }
    {
        // GIMP patterns of 1 and 4 bytes a pixel.
        Bytes f;
        for (std::uint32_t v : {24u, 1u, 2u, 1u, 1u, 0x47504154u})
            Put32(f, f.size(), v, true);
        f.insert(f.end(), {7, 9});
        cases.push_back({"pattern grey", ReadGimpPattern, f, kOk, 2, 1, Grey({7, 9})});
        Bytes rgba = f;
        Put32(rgba, 16, 4, true);
        rgba.resize(24);
        rgba.insert(rgba.end(), {1, 2, 3, 4, 5, 6, 7, 8});
        cases.push_back({"pattern rgba", ReadGimpPattern, rgba, kOk, 2, 1, {3, 2, 1, 7, 6, 5}});
        Bytes five = f;
        Put32(five, 16, 5, true);
        cases.push_back({"pattern 5 bytes", ReadGimpPattern, five, kBitDepthNotSupported, 0, 0, {}});
    }
    CheckFixtures(cases);
}

// A file cut short keeps the pixels it has and shows the rest black, never old memory.
TEST(SmallReaders, TruncatedRowsAreBlack)
{
    TempDir dir;
    const std::string path = dir.File("t.bin");
    CODEC_CTX ctx;
    // Fill the buffers with a bright picture first.
    RoundTrip(WriteSun, ReadSun, 40, 40);
    ASSERT_EQ(ctx.ReserveDecoded(40, 40), kOk);
    std::memset(ctx.decoded.data(), 0xEE, ctx.decoded.size());
    Bytes f = ToBytes("4 3\n");
    f.insert(f.end(), {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}); // 1.5 rows
    WriteBytes(path, f);
    ASSERT_EQ(ReadFile(ReadMtv, path, ctx), kOk);
    Bytes want(36, 0);
    std::fill_n(want.begin(), 18, 9);
    EXPECT_EQ(DecodedPixels(ctx), want);
}

// Opened through the document, the readers that draw fill the display bitmap with the
// decoded picture; the Sun reader draws it when the direct-decode flag asks for it.
TEST(SmallReaders, DisplayBitmapMatchesDecodedPicture)
{
    TempDir dir;
    const Bytes pixels = PatternPixels(5, 3);
    TIMAGE_INFO src;
    LoadPicture(src, 5, 3, pixels);
    struct Case {
        const char* file;
        int (*writer)(CODEC_CTX&);
        bool direct;
    };
    for (const Case& c : {Case {"a.pat", WritePat, false}, Case {"b.pat", WritePat, true},
                          Case {"c.sun", WriteSun, true}, Case {"d.ras", WriteSun, false}}) {
        SCOPED_TRACE(c.file);
        src.context->output_file_name = dir.File(c.file);
        ASSERT_EQ(c.writer(*src.context), kOk);
        TIMAGE_INFO doc;
        doc.direct_decode = c.direct ? 1 : 0;
        ASSERT_EQ(doc.Open(dir.File(c.file)), kOk);
        EXPECT_EQ(DisplayPixels(doc), pixels);
    }
    Bytes mtv = ToBytes("2 1\n");
    mtv.insert(mtv.end(), {1, 2, 3, 4, 5, 6});
    WriteBytes(dir.File("e.mtv"), mtv);
    TIMAGE_INFO doc;
    ASSERT_EQ(doc.Open(dir.File("e.mtv")), kOk);
    EXPECT_EQ(DisplayPixels(doc), (Bytes {3, 2, 1, 6, 5, 4}));
}

// Files written by netpbm, ImageMagick and Pillow read with the pixels those tools decode.
TEST(SmallReaders, FilesFromOtherTools)
{
    if (!HaveTool("pnmtorast") || !HaveTool("pamtopnm"))
        GTEST_SKIP() << "netpbm not installed";
    TempDir dir;
    const std::string d = dir.path() + "/";
    const Bytes pixels = PatternPixels(37, 23);
    TIMAGE_INFO src;
    LoadPicture(src, 37, 23, pixels);
    src.context->output_file_name = d + "c.ppm";
    ASSERT_EQ(WritePpm(*src.context), kOk);
    ASSERT_EQ(RunCommand("cd " + d + " && ppmtopgm c.ppm > g.pgm && pgmtopbm -threshold g.pgm > m.pbm && "
                         "pnmquant 16 c.ppm > q.ppm 2>/dev/null"),
              0);
    struct Case {
        std::string make;   // writes the file under test, f.<ext>
        std::string ext;
        std::string decode; // writes the reference picture ref.ppm from f.<ext>
        const char* tool;
    };
    const std::string ref_nb = " 2>/dev/null | pamtopnm | ppmtoppm > ref.ppm";
    const std::vector<Case> cases = {
        {"pnmtorast c.ppm", "ras", "rasttopnm f.ras", "pnmtorast"},
        {"pnmtorast -rle c.ppm", "ras", "rasttopnm f.ras", "pnmtorast"},
        {"pnmtorast g.pgm", "ras", "rasttopnm f.ras", "pnmtorast"},
        {"pnmtorast -rle g.pgm", "ras", "rasttopnm f.ras", "pnmtorast"},
        {"pnmtorast m.pbm", "ras", "rasttopnm f.ras", "pnmtorast"},
        {"pnmtorast -rle m.pbm", "ras", "rasttopnm f.ras", "pnmtorast"},
        {"pnmtorast q.ppm", "ras", "rasttopnm f.ras", "pnmtorast"},
        {"pnmtorast -rle q.ppm", "ras", "rasttopnm f.ras", "pnmtorast"},
        {"pbmtomacp m.pbm", "mac", "macptopbm f.mac", "pbmtomacp"},
        {"convert c.ppm SUN:-", "sun", "convert f.sun -depth 8 ppm:-", "convert"},
        {"convert q.ppm SUN:-", "sun", "convert f.sun -depth 8 ppm:-", "convert"},
        {"convert c.ppm MTV:-", "mtv", "convert f.mtv -depth 8 ppm:-", "convert"},
        {"convert g.pgm VICAR:-", "img", "convert f.img -depth 8 ppm:-", "convert"},
        {"/usr/bin/python3 -c \"import sys;from PIL import Image;Image.open('m.pbm').save(sys.stdout.buffer,'MSP')\"",
         "msp", "pnmtopnm m.pbm", "/usr/bin/python3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.make);
        if (!HaveTool(c.tool))
            continue;
        if (std::string(c.tool) == "/usr/bin/python3" &&
            RunCommand("/usr/bin/python3 -c 'import PIL' 2>/dev/null") != 0)
            continue;
        const std::string f = "f." + c.ext;
        ASSERT_EQ(RunCommand("cd " + d + " && " + c.make + " > " + f + " 2>/dev/null"), 0);
        ASSERT_EQ(RunCommand("cd " + d + " && " + c.decode + ref_nb), 0);
        int w = 0, h = 0;
        Bytes want;
        ASSERT_TRUE(ParsePpm(ReadBytes(d + "ref.ppm"), w, h, want));
        TIMAGE_INFO doc;
        ASSERT_EQ(doc.Open(d + f), kOk);
        ASSERT_EQ(doc.context->width, w);
        ASSERT_EQ(doc.context->height, h);
        EXPECT_EQ(DecodedPixels(*doc.context), want);
        EXPECT_EQ(DisplayPixels(doc), want);
    }
}

// Every sample of these formats in the shared corpus: pictures other readers decode the
// same way open with their sizes; DICOM data sets of any layout open through GDCM.
TEST(SmallReaders, Corpus)
{
    const std::string dir = CorpusDir();
    if (dir.empty())
        GTEST_SKIP() << NoCorpus();
    struct Case {
        const char* file;
        int rc;
        int w, h;
    };
    const Case cases[] = {
        {"mac/noheader.mac", kOk, 576, 720},      {"mac/header.mac", kOk, 576, 720},
        {"pxr/hopper.pxr", kOk, 128, 128},        {"ras/kif_rle_pal8bit.ras", kOk, 320, 240},
        {"ras/kif_rgb-gimp-2.10-1bit.ras", kOk, 32, 32}, {"sun/kif_rle_24bit.sun", kOk, 200, 150},
        {"pat/chains.pat", kOk, 142, 40},         {"pat/gimpdeb_Stripes1px.pat", kOk, 48, 48},
        {"img/gen_minisblack.img", kOk, 157, 151}, {"nol/gnokii.nol", kOk, 72, 14},
        {"mtv/im_input.mtv", kOk, 70, 46},        {"msp/hopper.msp", kOk, 128, 128},
        {"dic/CT_small.dic", kOk, 128, 128},      {"dic/MR_small_implicit.dic", kOk, 64, 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TIMAGE_INFO doc;
        const int rc = doc.Open(dir + "/" + c.file);
        if (rc == kOpenFileError && RunCommand("test -f " + dir + "/" + c.file) != 0)
            continue;
        ASSERT_EQ(rc, c.rc) << "have " << ResultText(rc);
        if (rc == kOk) {
            EXPECT_EQ(doc.context->width, c.w);
            EXPECT_EQ(doc.context->height, c.h);
        }
    }
}
