// Windows bitmap reading: hand-made files of every depth, compression and header, the
// failures, the direct-decode path, and files written by ImageMagick, netpbm and Pillow
// compared with the same files decoded by ImageMagick.
#include "base/Byte_order.h"
#include "dec_enc/Bmp_loader.h"
#include "tests/peers.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct BmpLayout {
    int header = 40;
    int w = 1;
    int h = 1;
    int bits = 24;
    std::uint32_t compression = 0;
    std::vector<std::uint32_t> palette {}; // 0x00RRGGBB
    std::vector<std::uint32_t> masks {};   // red, green, blue
    std::uint32_t colours_used = 0;
    bool top_down = false;
    Bytes pixels {}; // the file's pixel data as stored
};

void Put32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Put16(Bytes& b, std::uint32_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

Bytes MakeBmp(const BmpLayout& s, bool with_file_header = true)
{
    Bytes info;
    if (s.header == 12) {
        Put32(info, 12);
        Put16(info, static_cast<std::uint32_t>(s.w));
        Put16(info, static_cast<std::uint32_t>(s.h));
        Put16(info, 1);
        Put16(info, static_cast<std::uint32_t>(s.bits));
    } else {
        Put32(info, static_cast<std::uint32_t>(s.header));
        Put32(info, static_cast<std::uint32_t>(s.w));
        Put32(info, static_cast<std::uint32_t>(s.top_down ? -s.h : s.h));
        Put16(info, 1);
        Put16(info, static_cast<std::uint32_t>(s.bits));
        Put32(info, s.compression);
        Put32(info, static_cast<std::uint32_t>(s.pixels.size()));
        Put32(info, 2835);
        Put32(info, 2835);
        Put32(info, s.colours_used);
        Put32(info, 0);
        if (s.header >= 52)
            for (std::uint32_t m : s.masks)
                Put32(info, m);
        info.resize(static_cast<std::size_t>(s.header), 0);
        if (s.header == 40)
            for (std::uint32_t m : s.masks)
                Put32(info, m);
    }
    for (std::uint32_t c : s.palette) {
        info.push_back(static_cast<std::uint8_t>(c));
        info.push_back(static_cast<std::uint8_t>(c >> 8));
        info.push_back(static_cast<std::uint8_t>(c >> 16));
        if (s.header != 12)
            info.push_back(0);
    }
    Bytes file;
    if (with_file_header) {
        file = {'B', 'M'};
        Put32(file, static_cast<std::uint32_t>(14 + info.size() + s.pixels.size()));
        Put32(file, 0);
        Put32(file, static_cast<std::uint32_t>(14 + info.size()));
    }
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), s.pixels.begin(), s.pixels.end());
    return file;
}

// Blue, green, red bytes of colours given as 0xRRGGBB, in pixel order.
Bytes Bgr(std::initializer_list<std::uint32_t> colours)
{
    Bytes out;
    for (std::uint32_t c : colours) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
        out.push_back(static_cast<std::uint8_t>(c >> 16));
    }
    return out;
}

constexpr std::uint32_t R = 0xFF0000, G = 0x00FF00, B = 0x0000FF, W = 0xFFFFFF, K = 0;

} // namespace

TEST(ReadBmp, DecodesEveryDepthCompressionAndHeader)
{
    struct Case {
        const char* name;
        BmpLayout layout;
        int bpp; // the class the document reports
        Bytes want;
    };
    const std::vector<Case> cases = {
        {"24 bits, bottom-up, padded rows",
         {.w = 3, .h = 2, .pixels = {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 0, 0, 0, 0}},
         24, Bgr({K, W, K, R, G, B})},
        {"24 bits, top-down",
         {.w = 1, .h = 2, .top_down = true, .pixels = {255, 0, 0, 0, 0, 0, 255, 0}}, 24, Bgr({B, R})},
        {"1 bit, table of two",
         {.w = 10, .h = 1, .bits = 1, .palette = {0x102030, 0xFFEEDD}, .pixels = {0xA0, 0x40, 0, 0}}, 1,
         Bgr({0xFFEEDD, 0x102030, 0xFFEEDD, 0x102030, 0x102030, 0x102030, 0x102030, 0x102030, 0x102030,
              0xFFEEDD})},
        {"4 bits, indices past a short table are black",
         {.w = 3, .h = 1, .bits = 4, .palette = {R, G}, .colours_used = 2, .pixels = {0x01, 0x50, 0, 0}}, 4,
         Bgr({R, G, K})},
        {"2 bits widen to the 4-bit class",
         {.w = 4, .h = 1, .bits = 2, .palette = {K, R, G, B}, .pixels = {0x1B, 0, 0, 0}}, 4, Bgr({K, R, G, B})},
        {"8 bits report 15",
         {.w = 2, .h = 1, .bits = 8, .palette = {R, G, B}, .colours_used = 3, .pixels = {2, 1, 0, 0}}, 15,
         Bgr({B, G})},
        {"8 bits, OS/2 core header with 3-byte entries",
         {.header = 12, .w = 2, .h = 1, .bits = 8, .palette = {R, G}, .pixels = {1, 0, 0, 0}}, 15, Bgr({G, R})},
        {"16 bits plain are 5-5-5, narrow channels bit-replicated",
         {.w = 2, .h = 1, .bits = 16, .pixels = {0xFF, 0x7F, 0x43, 0x0C}}, 15, Bgr({W, 0x18 << 16 | 0x10 << 8 | 0x18})},
        {"16 bits 5-6-5 masks after a 40-byte header",
         {.w = 1, .h = 1, .bits = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}, .pixels = {0x20, 0x00, 0, 0}},
         15, Bgr({0x000400})},
        {"32 bits plain",
         {.w = 1, .h = 1, .bits = 32, .pixels = {1, 2, 3, 99}}, 32, Bgr({0x030201})},
        {"32 bits with masks in a 108-byte header, alpha dropped",
         {.header = 108, .w = 1, .h = 1, .bits = 32, .compression = 3, .masks = {0xFF, 0xFF00, 0xFF0000},
          .pixels = {1, 2, 3, 4}},
         15, Bgr({0x010203})},
        {"RLE8: runs, literals, move, end of line, end of bitmap; skipped pixels black",
         {.w = 4, .h = 3, .bits = 8, .compression = 1, .palette = {K, R, G, B},
          .pixels = {3, 1, 0, 0,              // bottom row: R R R, end of line
                     0, 3, 2, 3, 1, 0,        // literal G B R, padded
                     9, 2, 0, 0,              // a run past the right edge is cut
                     0, 2, 1, 0, 1, 3, 0, 1}}, // move right by 1, one B, end of bitmap
         15, Bgr({K, B, K, K, G, B, R, G, R, R, R, K})},
        {"RLE4: nibble pairs and literals",
         {.w = 6, .h = 1, .bits = 4, .compression = 2, .palette = {K, R, G, B},
          .pixels = {3, 0x12, 0, 3, 0x30, 0x10, 0, 1}},
         4, Bgr({R, G, R, B, K, R})},
    };
    TempDir tmp;
    TIMAGE_INFO doc;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = tmp.File("case.bmp");
        WriteBytes(path, MakeBmp(c.layout));
        ASSERT_EQ(doc.Open(path), kOk);
        EXPECT_EQ(doc.bits_per_pixel, c.bpp);
        EXPECT_EQ(doc.context->compression_name, "None");
        EXPECT_EQ(doc.display->Width(), c.layout.w);
        EXPECT_EQ(DisplayPixels(doc), c.want);
    }
}

TEST(ReadBmp, RefusesBrokenFilesWithTheirCode)
{
    BmpLayout ok {.w = 2, .h = 2, .bits = 8, .palette = {R, G}, .colours_used = 2, .pixels = Bytes(8, 0)};
    auto with = [](Bytes b, std::size_t at, std::uint32_t v) {
        for (std::size_t k = 0; k < 4; ++k)
            b.at(at + k) = static_cast<std::uint8_t>(v >> (8 * k));
        return b;
    };
    const Bytes good = MakeBmp(ok);
    BmpLayout big = ok;
    big.w = 5000;
    big.h = 5000;
    BmpLayout jpeg = ok;
    jpeg.bits = 24;
    jpeg.compression = 4;
    jpeg.palette.clear();
    const struct {
        const char* name;
        Bytes file;
        int want;
    } cases[] = {
        {"no BM", with(good, 0, 0x4D41), kMagicError},
        {"zero width", with(good, 18, 0), kDataError},
        {"bit count 3", with(good, 28, 3), kBitDepthNotSupported},
        {"JPEG inside", MakeBmp(jpeg), kCompressionNotSupported},
        {"both sides past 4096", MakeBmp(big), kImageTooLarge},
        {"pixel data past the end", with(good, 10, 5000), kDataError},
        {"header larger than the file", with(good, 14, 124), kDataError},
        {"palette past the end", Bytes(good.begin(), good.begin() + 56), kDataError},
        {"rows claimed far beyond the file", with(good, 22, 4000), kDataError},
        {"RLE8 at 24 bits", with(good, 28, 24 | (1u << 16)), kDataError},
    };
    TempDir tmp;
    TIMAGE_INFO doc;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = tmp.File("bad.bmp");
        WriteBytes(path, c.file);
        EXPECT_EQ(doc.Open(path), c.want);
    }
}

TEST(ReadBmp, WideFilesTruncatedRowsAndDirectDecode)
{
    TempDir tmp;
    TIMAGE_INFO doc;
    // 5000 × 10 passes: the limit needs both sides past 4096.
    BmpLayout wide {.w = 5000, .h = 10, .pixels = Bytes(5000 * 3 * 10, 7)};
    WriteBytes(tmp.File("wide.bmp"), MakeBmp(wide));
    ASSERT_EQ(doc.Open(tmp.File("wide.bmp")), kOk);
    EXPECT_EQ(doc.display->Width(), 5000);

    // The last stored row (the top row) is missing: it is black, whatever the buffers held.
    BmpLayout cut {.w = 2, .h = 2, .pixels = {9, 9, 9, 9, 9, 9, 0, 0}};
    WriteBytes(tmp.File("cut.bmp"), MakeBmp(cut));
    ASSERT_EQ(doc.Open(tmp.File("cut.bmp")), kOk);
    EXPECT_EQ(DisplayPixels(doc), (Bytes {0, 0, 0, 0, 0, 0, 9, 9, 9, 9, 9, 9}));

    // Direct decoding: the loaded bitmap becomes the display bitmap; the decoded pixel
    // buffer is not touched.
    BmpLayout small {.w = 1, .h = 1, .pixels = {1, 2, 3, 0}};
    WriteBytes(tmp.File("small.bmp"), MakeBmp(small));
    doc.context->decoded.data()[0] = 0xEE;
    doc.direct_decode = 1;
    ASSERT_EQ(doc.Open(tmp.File("small.bmp")), kOk);
    EXPECT_EQ(DisplayPixels(doc), (Bytes {1, 2, 3}));
    EXPECT_EQ(doc.context->decoded.data()[0], 0xEE);
    EXPECT_EQ(doc.direct_decode, 0);
}

TEST(ReadBmp, PackedBitmapsOpenAsDib)
{
    BmpLayout s {.w = 2, .h = 1, .bits = 8, .palette = {R, B}, .colours_used = 2, .pixels = {1, 0, 0, 0}};
    const Bytes packed = MakeBmp(s, false);
    TempDir tmp;
    TIMAGE_INFO doc;
    WriteBytes(tmp.File("packed.dib"), packed);
    ASSERT_EQ(doc.Open(tmp.File("packed.dib")), kOk);
    EXPECT_EQ(DisplayPixels(doc), Bgr({B, R}));
    WriteBytes(tmp.File("packed.bmp"), packed);
    EXPECT_EQ(doc.Open(tmp.File("packed.bmp")), kMagicError);
}

TEST(ReadBmp, FilesOfOtherProgramsMatchImageMagick)
{
    if (!HaveTool("convert"))
        GTEST_SKIP() << "no ImageMagick";
    TempDir tmp;
    const int w = 37, h = 11;
    Bytes picture = PatternPixels(w, h);
    WritePpmFile(tmp.File("src.ppm"), w, h, picture);
    const std::string src = tmp.File("src.ppm");
    struct Maker {
        const char* name;
        std::string command; // writes OUT
    };
    std::vector<Maker> makers = {
        {"IM 24 bits", "convert " + src + " -type truecolor BMP3:OUT"},
        {"IM 32 bits v5", "convert " + src + " -alpha on -type truecolormatte OUT"},
        {"IM 16 bits 565", "convert " + src + " -define bmp:subtype=RGB565 OUT"},
        {"IM 8 bits", "convert " + src + " -colors 200 -type palette BMP3:OUT"},
        {"IM 8 bits RLE", "convert " + src + " -colors 200 -type palette -compress rle BMP3:OUT"},
        {"IM 4 bits", "convert " + src + " -colors 16 -type palette -depth 4 BMP3:OUT"},
        {"IM 4 bits RLE", "convert " + src + " -colors 16 -type palette -depth 4 -compress rle BMP3:OUT"},
        {"IM 1 bit", "convert " + src + " -monochrome BMP3:OUT"},
        {"IM OS/2", "convert " + src + " BMP2:OUT"},
    };
    if (HaveTool("ppmtobmp")) {
        makers.push_back({"netpbm Windows", "ppmtobmp -windows " + src + " > OUT 2>/dev/null"});
        makers.push_back({"netpbm OS/2", "ppmtobmp -os2 " + src + " > OUT 2>/dev/null"});
    }
    if (!PillowPython().empty())
        for (const char* mode : {"RGB", "P", "1"})
            makers.push_back({"Pillow", PillowPython() + " -c \"from PIL import Image; Image.open('" + src +
                                            "').convert('" + mode + "').save('OUT')\""});
    TIMAGE_INFO doc;
    for (const Maker& m : makers) {
        SCOPED_TRACE(m.name + std::string(": ") + m.command);
        const std::string out = tmp.File("peer.bmp");
        std::string cmd = m.command;
        for (std::size_t at; (at = cmd.find("OUT")) != std::string::npos;)
            cmd.replace(at, 3, out);
        ASSERT_EQ(RunCommand(cmd), 0);
        ASSERT_EQ(doc.Open(out), kOk);
        int pw = 0, ph = 0;
        Bytes want;
        bool ok = false;
        ASSERT_TRUE(PeerDecode("im", out, tmp.File("ref.ppm"), pw, ph, want, ok));
        ASSERT_TRUE(ok);
        EXPECT_EQ(doc.display->Width(), pw);
        EXPECT_EQ(doc.display->Height(), ph);
        EXPECT_EQ(DisplayPixels(doc), want);
    }
}

TEST(ReadBmp, CorpusFilesMatchImageMagick)
{
    const std::string dir = CorpusDir();
    if (dir.empty())
        GTEST_SKIP() << NoCorpus();
    if (!HaveTool("convert"))
        GTEST_SKIP() << "no ImageMagick";
    namespace fs = std::filesystem;
    TempDir tmp;
    TIMAGE_INFO doc;
    // Files the peer shows differently: pixels that run-length data skips, and indices past
    // the table, are black here and palette entry 0 there; the peer reads the OS/2 2.x
    // table with 3-byte entries (it shows other colours than the same picture's plain
    // 8-bit file) and scales 4-bit channels by shifting (15 becomes 240, here 255).
    const std::string skipped[] = {"bmpsuite_q_pal4rletrns.bmp", "bmpsuite_b_badrle.bmp",
                                   "bmpsuite_b_pal8badindex.bmp", "bmpsuite_q_pal8os2v2.bmp",
                                   "bmpsuite_q_rgba16-4444.bmp"};
    int compared = 0;
    for (const char* sub : {"bmp", "dib"}) {
        for (const auto& e : fs::directory_iterator(dir + "/" + sub)) {
            const std::string name = e.path().filename().string();
            if (std::find(std::begin(skipped), std::end(skipped), name) != std::end(skipped))
                continue;
            SCOPED_TRACE(name);
            const int rc = doc.Open(e.path().string());
            int pw = 0, ph = 0;
            Bytes want;
            bool ok = false;
            PeerDecode("im", e.path().string(), tmp.File("ref.ppm"), pw, ph, want, ok);
            if (rc != kOk || !ok)
                continue; // refused files are covered by the corpus sweep
            EXPECT_EQ(DisplayPixels(doc), want);
            ++compared;
        }
    }
    EXPECT_GE(compared, 30);
}
