// PCX reading and PCX/DCX writing: the run-length coder's edge cases, the writers' exact
// headers, every plane layout the reader decodes, its failures, and files of netpbm,
// ImageMagick and Pillow in both directions.
#include "base/Byte_order.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Pcx_rw.h"
#include "tests/peers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace {

Bytes Encode(const Bytes& row)
{
    Bytes out(row.size() * 2 + 1);
    out.resize(EncodePcxRow(row.data(), row.size(), out.data()));
    return out;
}

Bytes Repeat(std::size_t n, std::uint8_t v, Bytes tail = {})
{
    Bytes b(n, v);
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

struct PcxLayout {
    int bits = 8;
    int planes = 1;
    int w = 1;
    int h = 1;
    int line_bytes = 0; // 0: width × bits / 8 rounded up
    int encoding = 1;
    Bytes pal16 {};  // red, green, blue triples for the header
    Bytes data {};   // the bytes after the header
    Bytes pal256 {}; // appended after a 12 marker when not empty
};

Bytes MakePcx(const PcxLayout& s)
{
    Bytes f(128 + s.data.size(), 0);
    f[0] = 10;
    f[1] = 5;
    f[2] = static_cast<std::uint8_t>(s.encoding);
    f[3] = static_cast<std::uint8_t>(s.bits);
    StoreWord(kLittleEndian, 3, f.data() + 4); // x min
    StoreWord(kLittleEndian, static_cast<std::uint32_t>(3 + s.w - 1), f.data() + 8);
    StoreWord(kLittleEndian, static_cast<std::uint32_t>(s.h - 1), f.data() + 10);
    std::copy(s.pal16.begin(), s.pal16.end(), f.begin() + 16);
    f[65] = static_cast<std::uint8_t>(s.planes);
    const int lb = s.line_bytes != 0 ? s.line_bytes : (s.w * s.bits + 7) / 8;
    StoreWord(kLittleEndian, static_cast<std::uint32_t>(lb), f.data() + 66);
    std::copy(s.data.begin(), s.data.end(), f.begin() + 128);
    if (!s.pal256.empty()) {
        f.push_back(12);
        f.insert(f.end(), s.pal256.begin(), s.pal256.end());
    }
    return f;
}

Bytes Palette256()
{
    Bytes p(768);
    for (int i = 0; i < 256; ++i) {
        p[3 * i] = static_cast<std::uint8_t>(i);         // red
        p[3 * i + 1] = static_cast<std::uint8_t>(255 - i); // green
        p[3 * i + 2] = static_cast<std::uint8_t>(i / 2);   // blue
    }
    return p;
}

// Blue, green, red of entry i of Palette256().
Bytes Entry(int i) { return {static_cast<std::uint8_t>(i / 2), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i)}; }

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace

TEST(PcxRunLength, EncodesRunsAndTheRowsLastTwoBytesOnTheirOwn)
{
    const struct {
        const char* name;
        Bytes row;
        Bytes want;
    } cases[] = {
        {"130 equal bytes then two others", Repeat(130, 7, {1, 2}), {0xFF, 7, 0xFF, 7, 0xC4, 7, 1, 2}},
        {"a run of exactly 63 inside the row", Repeat(63, 9, {1, 2, 3}), {0xFF, 9, 1, 2, 3}},
        {"a run of 64 leaves a single byte", Repeat(64, 9, {1, 2}), {0xFF, 9, 9, 1, 2}},
        {"a byte of 200 alone", {200}, {0xC1, 200}},
        {"a byte of 192 alone is a pair too", {192}, {0xC1, 192}},
        {"a byte of 191 alone is itself", {191}, {191}},
        {"equal last two bytes stay apart", {5, 5}, {5, 5}},
        {"three equal bytes: none can grow", {5, 5, 5}, {5, 5, 5}},
        {"four equal bytes: a pair of two", {5, 5, 5, 5}, {0xC2, 5, 5, 5}},
        {"high runs", Repeat(126, 200, {1, 2}), {0xFF, 200, 0xFF, 200, 1, 2}},
        {"empty row", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Encode(c.row), c.want);
        // And the decoder gives the row back.
        const Bytes enc = Encode(c.row);
        PcxRunDecoder dec(enc.data(), enc.data() + enc.size());
        Bytes back(c.row.size() + 1);
        EXPECT_EQ(dec.Fill(back.data(), back.size()), c.row.size());
        back.resize(c.row.size());
        EXPECT_EQ(back, c.row);
    }
}

TEST(WritePcx, HeadersAreExactAndTheSaveKeepsThePictureAsRead)
{
    TempDir tmp;
    TIMAGE_INFO doc;
    const Bytes picture = PatternPixels(3, 2);
    LoadPicture(doc, 3, 2, picture);
    ASSERT_EQ(PrepareSave(doc, kSavePcx, tmp.File("a.pcx")), kOk);
    ASSERT_EQ(doc.Save(), kOk);
    const Bytes pcx = ReadBytes(tmp.File("a.pcx"));
    Bytes header(128, 0);
    const std::uint8_t lead[] = {10, 5, 1, 8, 0, 0, 0, 0, 2, 0, 1, 0, 0, 0, 0, 0};
    std::memcpy(header.data(), lead, sizeof lead);
    std::fill(header.begin() + 16, header.begin() + 64, 48);
    header[65] = 3;
    header[66] = 3;
    header[68] = 1;
    std::fill(header.begin() + 70, header.end(), 48);
    ASSERT_GE(pcx.size(), 128u);
    EXPECT_EQ(Bytes(pcx.begin(), pcx.begin() + 128), header);
    // The decoded pixel buffer still holds the picture as read.
    EXPECT_EQ(0, std::memcmp(doc.context->decoded.data(), picture.data(), picture.size()));

    ASSERT_EQ(PrepareSave(doc, kSaveDcx, tmp.File("a.dcx")), kOk);
    ASSERT_EQ(doc.Save(), kOk);
    const Bytes dcx = ReadBytes(tmp.File("a.dcx"));
    const Bytes want_start = {0xB1, 0x68, 0xDE, 0x3A, 0x0C, 0, 0, 0, 0, 0, 0, 0, 0x0A, 0x05, 0x01, 0x08};
    ASSERT_GE(dcx.size(), 16u);
    EXPECT_EQ(Bytes(dcx.begin(), dcx.begin() + 16), want_start);
    EXPECT_EQ(Bytes(dcx.begin() + 12, dcx.end()), pcx);

    // Writers without their planar rows, or without a file, fail with a code.
    CODEC_CTX bare;
    bare.width = 4;
    bare.height = 4;
    bare.output_file_name = tmp.File("b.pcx");
    EXPECT_EQ(WritePcx(bare), kDataError);
    bare.height = 0;
    EXPECT_EQ(WritePcx(bare), kMagicError);
    doc.context->output_file_name = tmp.path() + "/no/such/dir/c.pcx";
    EXPECT_EQ(WritePcx(*doc.context), kOpenFileError);
    EXPECT_EQ(WriteDcx(*doc.context), kOpenFileError);
}

TEST(WritePcx, OurFilesOpenWithTheSamePixelsHereAndInOtherPrograms)
{
    TempDir tmp;
    TIMAGE_INFO doc;
    const int w = 37, h = 11; // odd width: the writers store width bytes a plane line
    Bytes picture = PatternPixels(w, h);
    for (std::size_t i = 0; i < 3 * 40; ++i)
        picture[i] = 200; // runs of high bytes across planes
    LoadPicture(doc, w, h, picture);
    for (const auto& [code, ext] : {std::pair{kSavePcx, ".pcx"}, std::pair{kSaveDcx, ".dcx"}}) {
        const std::string out = tmp.File(std::string("ours") + ext);
        LoadPicture(doc, w, h, picture);
        ASSERT_EQ(PrepareSave(doc, code, out), kOk);
        ASSERT_EQ(doc.Save(), kOk);
        if (code == kSavePcx) {
            TIMAGE_INFO back;
            ASSERT_EQ(back.Open(out), kOk);
            EXPECT_EQ(back.bits_per_pixel, 24);
            EXPECT_EQ(back.context->compression_name, "RLE");
            EXPECT_EQ(DisplayPixels(back), picture);
        }
        for (const char* peer : {"netpbm", "im", "pillow"}) {
            if (code == kSaveDcx && std::string(peer) == "netpbm")
                continue; // netpbm has no DCX reader
            SCOPED_TRACE(std::string(peer) + " " + ext);
            int pw = 0, ph = 0;
            Bytes got;
            bool ok = false;
            if (!PeerDecode(peer, out, tmp.File("ref.ppm"), pw, ph, got, ok, "pcxtoppm"))
                continue;
            ASSERT_TRUE(ok);
            EXPECT_EQ(pw, w);
            EXPECT_EQ(got, picture);
        }
    }
}

TEST(ReadPcx, DecodesEveryPlaneLayout)
{
    Bytes pal16(48, 0);
    for (int i = 0; i < 12; ++i)
        pal16[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(10 * (i + 1));
    pal16[45] = 250;
    pal16[46] = 251;
    pal16[47] = 252;
    const Bytes c0 = {30, 20, 10}, c1 = {60, 50, 40}, c2 = {90, 80, 70}, c3 = {120, 110, 100}, c15 = {252, 251, 250};
    const Bytes white = {255, 255, 255}, black = {0, 0, 0};
    struct Case {
        const char* name;
        PcxLayout layout;
        int bpp;
        Bytes want;
    };
    const std::vector<Case> cases = {
        {"256 colours, odd width 5 with a padding byte: the width stays 5",
         {.w = 5, .h = 1, .line_bytes = 6, .data = {0xC2, 1, 2, 3, 0xC1, 200, 77}, .pal256 = Palette256()},
         8, Concat({Entry(1), Entry(1), Entry(2), Entry(3), Entry(200)})},
        {"24 bits in three planes",
         {.planes = 3, .w = 2, .h = 1, .data = {1, 2, 3, 4, 5, 6}}, 24, {5, 3, 1, 6, 4, 2}},
        {"32 bits in four planes, alpha dropped",
         {.planes = 4, .w = 1, .h = 1, .data = {1, 2, 3, 4}}, 32, {3, 2, 1}},
        {"24 bits raw rows",
         {.planes = 3, .w = 1, .h = 2, .encoding = 0, .data = {1, 2, 3, 4, 5, 6}}, 24, {3, 2, 1, 6, 5, 4}},
        {"runs cross row boundaries",
         {.w = 2, .h = 2, .data = {0xC4, 9}, .pal256 = Palette256()}, 8,
         Concat({Entry(9), Entry(9), Entry(9), Entry(9)})},
        {"monochrome: set bits white",
         {.bits = 1, .w = 3, .h = 1, .data = {0xA0}}, 1, Concat({white, black, white})},
        {"two colours named in the header",
         {.bits = 1, .w = 2, .h = 1, .pal16 = pal16, .data = {0x40}}, 1, Concat({c0, c1})},
        {"16 colours in four 1-bit planes",
         {.bits = 1, .planes = 4, .w = 3, .h = 1, .pal16 = pal16, .data = {0x80, 0xC0, 0x80, 0x80}}, 4,
         Concat({c15, c2, c0})},
        {"4 bits in one plane",
         {.bits = 4, .w = 3, .h = 1, .pal16 = pal16, .data = {0x12, 0xC1, 0xF0}}, 4, Concat({c1, c2, c15})},
        {"2 bits in one plane",
         {.bits = 2, .w = 4, .h = 1, .pal16 = pal16, .data = {0x1B}}, 2, Concat({c0, c1, c2, c3})},
        {"data ending inside a row leaves it and the rest black",
         {.planes = 3, .w = 1, .h = 3, .data = {1, 2, 3, 4, 5}}, 24, Concat({Bytes {3, 2, 1}, black, black})},
    };
    TempDir tmp;
    TIMAGE_INFO doc;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = tmp.File("case.pcx");
        WriteBytes(path, MakePcx(c.layout));
        // Stale pixels of an earlier picture must not show through.
        LoadPicture(doc, c.layout.w, c.layout.h, Bytes(static_cast<std::size_t>(c.layout.w * c.layout.h * 3), 0x5A));
        ASSERT_EQ(doc.Open(path), kOk);
        EXPECT_EQ(doc.bits_per_pixel, c.bpp);
        EXPECT_EQ(doc.display->Width(), c.layout.w);
        EXPECT_EQ(DisplayPixels(doc), c.want);
        // The preview's direct decoding draws the same rows into the display bitmap.
        doc.direct_decode = 1;
        ASSERT_EQ(doc.Open(path), kOk);
        EXPECT_EQ(DisplayPixels(doc), c.want);
    }
    // The 256-colour palette lands in the context blue, green, red, as every palette does.
    WriteBytes(tmp.File("p.pcx"), MakePcx(cases[0].layout));
    ASSERT_EQ(doc.Open(tmp.File("p.pcx")), kOk);
    for (int i : {0, 1, 130, 255})
        EXPECT_EQ(Bytes(doc.context->palette + 3 * i, doc.context->palette + 3 * i + 3), Entry(i)) << i;
}

TEST(ReadPcx, RefusesBrokenFilesWithTheirCode)
{
    PcxLayout good {.planes = 3, .w = 2, .h = 1, .data = {1, 2, 3, 4, 5, 6}};
    auto patched = [&](std::size_t at, std::uint32_t word) {
        Bytes f = MakePcx(good);
        StoreWord(kLittleEndian, word, f.data() + at);
        return f;
    };
    PcxLayout no_palette {.w = 4, .h = 1, .data = {1, 2, 3, 4}};
    PcxLayout tall {.planes = 3, .w = 100, .h = 4000, .data = {0xFF, 0, 0xFF, 0}};
    Bytes wrong_magic = MakePcx(good);
    wrong_magic[0] = 11;
    const struct {
        const char* name;
        Bytes file;
        int want;
    } cases[] = {
        {"manufacturer not 10", wrong_magic, kMagicError},
        {"x max − x min = 4096 on a single row", patched(8, 3 + 4096), kImageTooLarge},
        {"y max past 4096", patched(10, 4096), kImageTooLarge},
        {"x max below x min", patched(8, 1), kDataError},
        {"two planes of 8 bits", patched(64, 2u << 8), kFormatNotSupported},
        {"16 bits a plane", patched(2, 1 | (16u << 8)), kFormatNotSupported},
        {"plane line shorter than the row", patched(66, 1), kDataError},
        {"256 colours without room for the palette", MakePcx(no_palette), kDataError},
        {"rows far beyond what the data can expand to", MakePcx(tall), kDataError},
        {"header cut short", Bytes {10, 5, 1, 8, 0, 0}, kDataError},
    };
    TempDir tmp;
    TIMAGE_INFO doc;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(tmp.File("bad.pcx"), c.file);
        EXPECT_EQ(doc.Open(tmp.File("bad.pcx")), c.want);
    }
}

TEST(ReadPcx, FilesOfOtherProgramsMatchNetpbm)
{
    if (!HaveTool("pcxtoppm"))
        GTEST_SKIP() << "no netpbm";
    TempDir tmp;
    const int w = 37, h = 11;
    const std::string src = tmp.File("src.ppm"), src16 = tmp.File("src16.ppm"), src4 = tmp.File("src4.ppm");
    const std::string src2 = tmp.File("src2.ppm");
    WritePpmFile(src, w, h, PatternPixels(w, h));
    Bytes few(static_cast<std::size_t>(w * h * 3));
    for (std::size_t i = 0; i < few.size(); ++i)
        few[i] = static_cast<std::uint8_t>(((i / 3) % 16) * 17 * ((i % 3) + 1) / 3);
    WritePpmFile(src16, w, h, few);
    for (std::size_t i = 0; i < few.size(); ++i)
        few[i] = static_cast<std::uint8_t>(((i / 3) % 4) * 85);
    WritePpmFile(src4, w, h, few);
    for (std::size_t i = 0; i < few.size(); ++i)
        few[i] = static_cast<std::uint8_t>(((i / 3) % 2) * 200 + 20);
    WritePpmFile(src2, w, h, few);
    std::vector<std::string> makers = {
        "ppmtopcx " + src, "ppmtopcx -24bit " + src, "ppmtopcx -8bit " + src16, "ppmtopcx " + src16,
        "ppmtopcx -packed " + src16, "ppmtopcx -packed " + src4, "ppmtopcx -planes 2 " + src4,
        "ppmtopcx -packed " + src2, "ppmtopcx -planes 3 " + src16,
    };
    if (HaveTool("convert")) {
        makers.push_back("convert " + src + " pcx:-");
        makers.push_back("convert " + src16 + " -type palette pcx:-");
        makers.push_back("convert " + src + " -monochrome pcx:-");
    }
    if (!PillowPython().empty())
        for (const char* mode : {"RGB", "P", "L", "1"})
            makers.push_back(PillowPython() + " -c \"import sys; from PIL import Image; Image.open('" + src +
                             "').convert('" + mode + "').save(sys.stdout.buffer, 'PCX')\"");
    TIMAGE_INFO doc;
    for (const std::string& m : makers) {
        SCOPED_TRACE(m);
        const std::string out = tmp.File("peer.pcx");
        ASSERT_EQ(RunCommand(m + " > " + out + " 2>/dev/null"), 0);
        int pw = 0, ph = 0;
        Bytes want;
        bool ok = false;
        ASSERT_TRUE(PeerDecode("netpbm", out, tmp.File("ref.ppm"), pw, ph, want, ok, "pcxtoppm"));
        ASSERT_TRUE(ok);
        ASSERT_EQ(doc.Open(out), kOk);
        EXPECT_EQ(doc.display->Width(), pw);
        EXPECT_EQ(DisplayPixels(doc), want);
    }
}

TEST(ReadPcx, CorpusFilesMatchNetpbm)
{
    const std::string dir = CorpusDir();
    if (dir.empty())
        GTEST_SKIP() << NoCorpus();
    if (!HaveTool("pcxtoppm"))
        GTEST_SKIP() << "no netpbm";
    namespace fs = std::filesystem;
    TempDir tmp;
    TIMAGE_INFO doc;
    int compared = 0;
    for (const auto& e : fs::directory_iterator(dir + "/pcx")) {
        const std::string name = e.path().filename().string();
        if (name == "kif_dice_rgba.pcx")
            continue; // netpbm mixes the alpha plane in; the alpha plane is dropped here
        SCOPED_TRACE(name);
        const int rc = doc.Open(e.path().string());
        int pw = 0, ph = 0;
        Bytes want;
        bool ok = false;
        PeerDecode("netpbm", e.path().string(), tmp.File("ref.ppm"), pw, ph, want, ok, "pcxtoppm");
        if (rc != kOk || !ok)
            continue;
        EXPECT_EQ(DisplayPixels(doc), want);
        ++compared;
    }
    EXPECT_GE(compared, 18);
}
