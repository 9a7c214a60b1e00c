// Utah RLE and Scitex CT: hand-made files for each operation and layout, malformed files,
// and agreement with netpbm's Utah RLE tools.
#include "tests/open_bytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

struct RLE {
    int xpos = 0, ypos = 0, xsize = 2, ysize = 2;
    int flags = 2; // no background
    int ncolors = 3, ncmap = 0, cmaplen = 0;
    Bytes background;
    std::vector<std::uint16_t> cmap;
    Bytes ops;
};

void Word(Bytes& b, int v)
{
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

Bytes Build(const RLE& r)
{
    Bytes b{0x52, 0xCC};
    Word(b, r.xpos);
    Word(b, r.ypos);
    Word(b, r.xsize);
    Word(b, r.ysize);
    b.push_back(static_cast<std::uint8_t>(r.flags));
    b.push_back(static_cast<std::uint8_t>(r.ncolors));
    b.push_back(8);
    b.push_back(static_cast<std::uint8_t>(r.ncmap));
    b.push_back(static_cast<std::uint8_t>(r.cmaplen));
    if (r.flags & 2)
        b.push_back(0);
    else
        b.insert(b.end(), r.background.begin(), r.background.end());
    for (std::uint16_t e : r.cmap)
        Word(b, e);
    b.insert(b.end(), r.ops.begin(), r.ops.end());
    return b;
}

// Row operations.
Bytes SetColour(int c) { return {2, static_cast<std::uint8_t>(c)}; }
Bytes RunOp(int n, int v) { return {6, static_cast<std::uint8_t>(n - 1), static_cast<std::uint8_t>(v), 0}; }
Bytes Data(Bytes v)
{
    Bytes b{5, static_cast<std::uint8_t>(v.size() - 1)};
    b.insert(b.end(), v.begin(), v.end());
    if (v.size() % 2)
        b.push_back(0xAA); // padding
    return b;
}
Bytes SkipPixels(int n) { return {3, static_cast<std::uint8_t>(n)}; }
Bytes SkipLines(int n) { return {1, static_cast<std::uint8_t>(n)}; }
Bytes End() { return {7, 0}; }

// One row of three channels, each a run of one value.
Bytes SolidRow(int width, int r, int g, int b)
{
    return Cat({SetColour(0), RunOp(width, r), SetColour(1), RunOp(width, g), SetColour(2), RunOp(width, b), SkipLines(1)});
}

TEST(UtahRle, OperationsAndLayouts)
{
    struct Case {
        const char* name;
        RLE rle;
        Bytes want;
        int bpp;
    };
    std::vector<Case> cases;
    {
        RLE r; // the first file row is the bottom of the picture
        r.ops = Cat({SolidRow(2, 255, 0, 0), SolidRow(2, 0, 0, 255), End()});
        cases.push_back({"rows bottom up", r, Cat({Px(0, 0, 255), Px(0, 0, 255), Px(255, 0, 0), Px(255, 0, 0)}), 24});
    }
    {
        RLE r; // 3 data bytes take 4 bytes of the file; the next operation follows the pad
        r.xsize = 3, r.ysize = 1;
        r.ops = Cat({SetColour(0), Data({10, 20, 30}), SetColour(1), Data({40, 50, 60}), SetColour(2),
                     SkipPixels(1), Data({70, 80}), End()});
        cases.push_back({"byte data with padding", r, Cat({Px(10, 40, 0), Px(20, 50, 70), Px(30, 60, 80)}), 24});
    }
    {
        RLE r; // skipped lines show the background when clear-first is set
        r.flags = 1, r.background = {9, 8, 7}, r.xsize = 1, r.ysize = 3;
        r.ops = Cat({SetColour(0), RunOp(1, 200), SkipLines(2), SetColour(1), RunOp(1, 100), End()});
        cases.push_back({"skip lines over the background", r, Cat({Px(9, 100, 7), Px(9, 8, 7), Px(200, 8, 7)}), 24});
    }
    {
        RLE r; // one channel is grey
        r.ncolors = 1, r.xsize = 2, r.ysize = 1;
        r.ops = Cat({SetColour(0), Data({0x20, 0xF0}), End()});
        cases.push_back({"grey", r, Cat({Px(0x20, 0x20, 0x20), Px(0xF0, 0xF0, 0xF0)}), 8});
    }
    {
        RLE r; // one channel through a three-channel colour map is a palette picture
        r.ncolors = 1, r.ncmap = 3, r.cmaplen = 1, r.xsize = 2, r.ysize = 1;
        r.cmap = {0x1100, 0x2200, 0x3300, 0x4400, 0x5500, 0x6600}; // red 0,1; green 0,1; blue 0,1
        r.ops = Cat({SetColour(0), Data({1, 0}), End()});
        cases.push_back({"palette", r, Cat({Px(0x22, 0x44, 0x66), Px(0x11, 0x33, 0x55)}), 24});
    }
    {
        RLE r; // the x position moves the picture's frame, not its content
        r.xpos = 100, r.ypos = 50, r.xsize = 2, r.ysize = 1;
        r.ops = Cat({SetColour(0), Data({1, 2}), SetColour(1), Data({3, 4}), SetColour(2), Data({5, 6}), End()});
        cases.push_back({"x position not 0", r, Cat({Px(1, 3, 5), Px(2, 4, 6)}), 24});
    }
    {
        RLE r; // alpha data is read past, and long-form operands work
        r.flags = 2 | 4, r.xsize = 1, r.ysize = 1;
        r.ops = Cat({SetColour(255), RunOp(1, 77), SetColour(0), Bytes{0x46, 0, 0, 0, 90, 0}, End()});
        cases.push_back({"alpha and a long run", r, Px(90, 0, 0), 24});
    }
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const OPENED o = OpenBytes(dir, "a.rle", Build(c.rle));
        ASSERT_EQ(o.rc, kOk);
        EXPECT_EQ(o.width, c.rle.xsize);
        EXPECT_EQ(o.height, c.rle.ysize);
        EXPECT_EQ(o.bpp, c.bpp);
        EXPECT_EQ(o.bgr, c.want);
    }
}

TEST(UtahRle, MalformedFilesEndInResultCodes)
{
    RLE ok;
    ok.ops = Cat({SolidRow(2, 1, 2, 3), SolidRow(2, 1, 2, 3), End()});
    struct Case {
        const char* name;
        Bytes file;
        int want;
    };
    std::vector<Case> cases;
    Bytes b = Build(ok);
    b[1] = 0xCD;
    cases.push_back({"magic", b, kMagicError});
    RLE r = ok;
    r.xsize = 0;
    cases.push_back({"zero width", Build(r), kDataError});
    r = ok, r.ysize = -5;
    cases.push_back({"negative height", Build(r), kDataError});
    r = ok, r.xsize = 10000, r.ysize = 10000;
    cases.push_back({"size far past the file", Build(r), kDataError});
    r = ok, r.ops = Cat({SetColour(0), Bytes{4, 0}});
    cases.push_back({"opcode 4", Build(r), kDataError});
    r = ok, r.ops = Cat({SetColour(0), RunOp(3, 1)});
    cases.push_back({"run past the row", Build(r), kDataError});
    r = ok, r.ops = Cat({SetColour(0), SkipPixels(1), Data({1, 2})});
    cases.push_back({"data past the row", Build(r), kDataError});
    r = ok, r.ncmap = 3, r.cmaplen = 8;
    cases.push_back({"colour map past the file", Build(r), kDataError});
    const Bytes whole = Build(ok);
    cases.push_back({"header cut short", Bytes(whole.begin(), whole.begin() + 8), kDataError});
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OpenBytes(dir, "bad.rle", c.file).rc, c.want);
    }
}

TEST(UtahRle, TruncatedFileShowsWhatItHasAndBlackAbove)
{
    RLE r;
    r.xsize = 1, r.ysize = 3;
    r.ops = Cat({SolidRow(1, 10, 20, 30), SetColour(0)}); // ends inside the second row
    TempDir dir;
    TIMAGE_INFO doc;
    LoadPicture(doc, 1, 3, Bytes(9, 0xEE));
    WriteBytes(dir.File("t.rle"), Build(r));
    ASSERT_EQ(doc.Open(dir.File("t.rle")), kOk);
    const Bytes got = DisplayPixels(doc);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 3), Px(0, 0, 0));
    EXPECT_EQ(Bytes(got.begin() + 6, got.end()), Px(10, 20, 30));
    EXPECT_EQ(doc.context->compression_name, "RLE");
}

TEST(UtahRle, AgreesWithNetpbm)
{
    if (!HaveTool("pnmtorle") || !HaveTool("convert"))
        GTEST_SKIP() << "netpbm or ImageMagick missing";
    TempDir dir;
    const std::string src = dir.File("src.ppm");
    ASSERT_EQ(RunCommand("convert -size 23x11 gradient:red-blue -swirl 120 -depth 8 " + src), 0);
    ASSERT_EQ(RunCommand("ppmtopgm " + src + " > " + dir.File("grey.pgm") + " && pgmtoppm white " +
                         dir.File("grey.pgm") + " > " + dir.File("grey.ppm")),
              0);
    struct Case {
        const char* name;
        std::string command;
        std::string picture;
    } cases[] = {{"colour", "pnmtorle " + src, src},
                 {"colour with alpha", "pnmtorle -alpha " + src, src},
                 {"grey", "pnmtorle " + dir.File("grey.pgm"), dir.File("grey.ppm")}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectPeerFileOpensAs(c.command, dir.File("x.rle"), c.picture);
    }
}

TEST(UtahRle, CorpusFilesOpenLikeNetpbmDecodesThem)
{
    const std::string corpus = CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << NoCorpus();
    if (!HaveTool("rletopnm"))
        GTEST_SKIP() << "no netpbm";
    for (const auto& e : std::filesystem::directory_iterator(corpus + "/rle")) {
        const std::string path = e.path().string();
        SCOPED_TRACE(path);
        ExpectOpensLikePeer(path, "rletopnm '" + path + "' 2>/dev/null | ppmtoppm");
    }
}

// Scitex CT: name, "CT", header fields, decimal line and pixel counts, raster at 2048.
Bytes Sct(int w, int h, int planes, int separations, const std::vector<Bytes>& plane_rows, bool pad = true)
{
    Bytes b(2048, 0);
    b[80] = 'C';
    b[81] = 'T';
    b[1024] = 1;
    b[1025] = static_cast<std::uint8_t>(separations);
    char field[16];
    std::snprintf(field, sizeof field, "+%013d", h);
    std::copy(field, field + 14, b.begin() + 1056);
    std::snprintf(field, sizeof field, "+%013d", w);
    std::copy(field, field + 14, b.begin() + 1070);
    for (int y = 0; y < h && !plane_rows.empty(); ++y)
        for (int p = 0; p < planes; ++p) {
            const Bytes& row = plane_rows[static_cast<std::size_t>(y * planes + p)];
            b.insert(b.end(), row.begin(), row.end());
            if (pad && (w & 1))
                b.push_back(0xAB);
        }
    return b;
}

TEST(Sct, PlanesAndPadding)
{
    struct Case {
        const char* name;
        Bytes file;
        Bytes want;
    } cases[] = {
        {"odd width: a padding byte after each plane",
         Sct(3, 2, 3, 3, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {11, 12, 13}, {14, 15, 16}, {17, 18, 19}}),
         Cat({Px(1, 4, 7), Px(2, 5, 8), Px(3, 6, 9), Px(11, 14, 17), Px(12, 15, 18), Px(13, 16, 19)})},
        {"even width", Sct(2, 1, 3, 3, {{1, 2}, {3, 4}, {5, 6}}), Cat({Px(1, 3, 5), Px(2, 4, 6)})},
        {"four planes: the first three are red, green, blue",
         Sct(2, 1, 4, 4, {{1, 2}, {3, 4}, {5, 6}, {7, 8}}), Cat({Px(1, 3, 5), Px(2, 4, 6)})},
        {"one separation is grey", Sct(2, 2, 1, 1, {{1, 2}, {3, 4}}),
         Cat({Px(1, 1, 1), Px(2, 2, 2), Px(3, 3, 3), Px(4, 4, 4)})},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const OPENED o = OpenBytes(dir, "a.sct", c.file);
        ASSERT_EQ(o.rc, kOk);
        EXPECT_EQ(o.bpp, 8);
        EXPECT_EQ(o.bgr, c.want);
    }
}

TEST(Sct, MalformedAndTruncatedFiles)
{
    TempDir dir;
    Bytes b = Sct(2, 1, 3, 3, {{1, 2}, {3, 4}, {5, 6}});
    b[81] = 'X';
    EXPECT_EQ(OpenBytes(dir, "m.sct", b).rc, kMagicError);
    EXPECT_EQ(OpenBytes(dir, "s.sct", Bytes(b.begin(), b.begin() + 40)).rc, kMagicError);
    b[81] = 'T';
    EXPECT_EQ(OpenBytes(dir, "h.sct", Bytes(b.begin(), b.begin() + 1500)).rc, kDataError);
    Bytes no_numbers = b;
    std::fill(no_numbers.begin() + 1056, no_numbers.begin() + 1084, ' ');
    EXPECT_EQ(OpenBytes(dir, "n.sct", no_numbers).rc, kDataError);
    Bytes huge = Sct(100000, 100000, 3, 3, {});
    EXPECT_EQ(OpenBytes(dir, "l.sct", huge).rc, kImageTooLarge);
    Bytes far = Sct(3000, 3000, 3, 3, {});
    EXPECT_EQ(OpenBytes(dir, "f.sct", far).rc, kDataError);

    // Two lines promised, one and a bit there: the missing line is black.
    Bytes cut = Sct(2, 2, 3, 3, {{1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}, {11, 12}});
    cut.resize(cut.size() - 3);
    TIMAGE_INFO doc;
    LoadPicture(doc, 2, 2, Bytes(12, 0xEE));
    WriteBytes(dir.File("t.sct"), cut);
    ASSERT_EQ(doc.Open(dir.File("t.sct")), kOk);
    EXPECT_EQ(DisplayPixels(doc), Cat({Px(1, 3, 5), Px(2, 4, 6), Bytes(6, 0)}));
    EXPECT_EQ(doc.context->compression_name, "None");
}

TEST(Sct, CorpusFilesOpen)
{
    const std::string corpus = CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << NoCorpus();
    for (const auto& e : std::filesystem::directory_iterator(corpus + "/sct")) {
        SCOPED_TRACE(e.path().string());
        const OPENED o = OpenFile(e.path().string());
        ASSERT_EQ(o.rc, kOk);
        EXPECT_EQ(o.width, 256);
        EXPECT_EQ(o.height, 256);
    }
}

} // namespace
