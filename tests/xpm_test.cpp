// X pixmaps: the layouts writers produce, hexadecimal colours and colour names, malformed
// files, and agreement with netpbm and ImageMagick.
#include "tests/open_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::string Xpm(const std::string& values, const std::vector<std::string>& colours,
                const std::vector<std::string>& rows)
{
    std::string s = "/* XPM */\nstatic char *pic[] = {\n/* width height ncolors chars_per_pixel */\n" + values + ",\n";
    s += "/* colors */\n";
    for (const std::string& c : colours)
        s += "\"" + c + "\",\n";
    s += "/* pixels */\n";
    for (const std::string& r : rows)
        s += "\"" + r + "\",\n";
    return s + "};\n";
}

TEST(Xpm, LayoutsAndColours)
{
    struct Case {
        const char* name;
        std::string file;
        Bytes want;
        int bpp;
    };
    std::vector<std::string> many;
    for (int i = 0; i < 256; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "%c%c c #%02X%02X%02X", 'A' + i / 16, 'a' + i % 16, i, 255 - i, i / 2);
        many.push_back(line);
    }
    const Case cases[] = {
        {"two characters a pixel, 256 colours", Xpm("\"2 2 256 2\"", many, {"AaAb", "PpAa"}),
         Cat({Px(0, 255, 0), Px(1, 254, 0), Px(255, 0, 127), Px(0, 255, 0)}), 8},
        {"lower-case digits", Xpm("\"1 1 1 1\"", {". c #ff0000"}, {"."}), Px(255, 0, 0), 8},
        {"values without quotes", "/* XPM */\nstatic char *p[] = {\n1 2 2 1\n\"a c #010203\",\n\"b c #040506\",\n"
                                  "\"a\",\n\"b\"\n};\n",
         Cat({Px(1, 2, 3), Px(4, 5, 6)}), 8},
        {"one character a pixel", Xpm("\"3 1 2 1\"", {"  c #102030", "x c #FFFFFF"}, {" x "}),
         Cat({Px(16, 32, 48), Px(255, 255, 255), Px(16, 32, 48)}), 8},
        {"three characters a pixel", Xpm("\"2 1 2 3\"", {"abc c #0000FF", "abd c #00FF00"}, {"abdabc"}),
         Cat({Px(0, 255, 0), Px(0, 0, 255)}), 8},
        {"names, None and codes without a colour",
         Xpm("\"5 1 4 1\"", {"r c red", "g c Light Goldenrod", "n c None", "m m black c navy"}, {"rgnmz"}),
         Cat({Px(255, 0, 0), Px(238, 221, 130), Px(255, 255, 255), Px(0, 0, 128), Px(255, 255, 255)}), 8},
        {"short and long hexadecimal forms", Xpm("\"2 1 2 1\"", {"a c #F80", "b c #123456789ABC"}, {"ab"}),
         Cat({Px(255, 136, 0), Px(0x12, 0x56, 0x9A)}), 8},
        {"a grey second colour is an ordinary colour",
         Xpm("\"2 1 2 2\"", {"aa c #FF0000", "bb c #808080"}, {"bbaa"}), Cat({Px(128, 128, 128), Px(255, 0, 0)}), 8},
        {"a short row ends in black, missing rows are black",
         Xpm("\"3 2 1 1\"", {"a c #FFFFFF"}, {"a"}), Cat({Px(255, 255, 255), Bytes(15, 0)}), 8},
        {"all on one line", "/* XPM */ static char *x[]={\"2 1 2 1 0 0\",\"a c blue\",\"b c green\",\"ba\"};",
         Cat({Px(0, 255, 0), Px(0, 0, 255)}), 8},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const OPENED o = OpenBytes(dir, "a.xpm", ToBytes(c.file));
        ASSERT_EQ(o.rc, kOk);
        EXPECT_EQ(o.bpp, c.bpp);
        EXPECT_EQ(o.bgr, c.want);
    }
    std::string wide;
    for (int x = 0; x < 1600; ++x)
        wide += x == 1599 ? "Ab" : "Aa";
    const OPENED long_row = OpenBytes(dir, "w.xpm", ToBytes(Xpm("\"1600 1 256 2\"", many, {wide})));
    ASSERT_EQ(long_row.rc, kOk);
    EXPECT_EQ(Bytes(long_row.bgr.end() - 3, long_row.bgr.end()), Px(1, 254, 0)) << "rows past 3072 characters are whole";
    std::vector<std::string> more = many;
    more.push_back("Zz c #000000");
    const OPENED big = OpenBytes(dir, "b.xpm", ToBytes(Xpm("\"1 1 257 2\"", more, {"Zz"})));
    ASSERT_EQ(big.rc, kOk);
    EXPECT_EQ(big.bpp, 24) << "more than 256 colours";
}

TEST(Xpm, MalformedFilesEndInResultCodes)
{
    const struct {
        const char* name;
        std::string file;
        int want;
    } cases[] = {
        {"empty", "", kDataError},
        {"values without numbers", Xpm("\"a b c d\"", {}, {}), kDataError},
        {"three values", Xpm("\"1 1 1\"", {}, {}), kDataError},
        {"zero width", Xpm("\"0 1 1 1\"", {". c #000000"}, {""}), kDataError},
        {"both sides past 4096", Xpm("\"5000 5000 1 1\"", {". c #000000"}, {"."}), kImageTooLarge},
        {"nine characters a pixel", Xpm("\"1 1 1 9\"", {"abcdefghi c #000000"}, {"abcdefghi"}), kFormatNotSupported},
        {"more colours than the file holds", Xpm("\"1 1 100000 1\"", {". c #000000"}, {"."}), kDataError},
        {"colour lines missing", Xpm("\"1 1 3 1\"", {". c #000000"}, {}), kDataError},
        {"rows far past the file", Xpm("\"4000 4000 1 1\"", {". c #000000"}, {"."}), kDataError},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OpenBytes(dir, "bad.xpm", ToBytes(c.file)).rc, c.want);
    }
}

TEST(Xpm, AgreesWithNetpbmAndImageMagick)
{
    if (!HaveTool("ppmtoxpm") || !HaveTool("convert"))
        GTEST_SKIP() << "netpbm or ImageMagick missing";
    TempDir dir;
    const std::string src = dir.File("src.ppm");
    const std::string few = dir.File("few.ppm");
    ASSERT_EQ(RunCommand("convert -size 31x9 gradient:red-blue -swirl 120 -depth 8 " + src), 0);
    ASSERT_EQ(RunCommand("ppmpat -gingham3 9 4 > " + few + " 2>/dev/null"), 0);
    const struct {
        const char* name;
        std::string command;
        std::string picture;
    } cases[] = {
        {"ppmtoxpm", "ppmtoxpm " + src, src},
        {"ppmtoxpm few colours", "ppmtoxpm " + few, few},
        {"ImageMagick", "convert " + few + " XPM:-", few},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectPeerFileOpensAs(c.command, dir.File("x.xpm"), c.picture);
    }
}

TEST(Xpm, CorpusFilesOpenLikeImageMagickDecodesThem)
{
    const std::string corpus = CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << NoCorpus();
    if (!HaveTool("convert"))
        GTEST_SKIP() << "no ImageMagick";
    for (const auto& e : std::filesystem::directory_iterator(corpus + "/xpm")) {
        const std::string path = e.path().string();
        SCOPED_TRACE(path);
        ExpectOpensLikePeer(path, "convert '" + path + "' -background white -flatten -depth 8 PPM:-");
    }
}

} // namespace
