// Silicon Graphics image reading: hand-made files of each storage and channel layout,
// malformed tables and runs, files written by ImageMagick, netpbm and Pillow, the corpus.
#include "base/Byte_order.h"
#include "base/Result_codes.h"
#include "tests/peers.h"

#include <gtest/gtest.h>

namespace {

struct SGI_HEADER {
    int storage = 0, bpc = 1, width = 1, height = 1, channels = 3, dimension = 3;
};

Bytes SgiHeader(const SGI_HEADER& h)
{
    Bytes b(512, 0);
    StoreWord(kBigEndian, 474, b.data());
    b[2] = static_cast<std::uint8_t>(h.storage);
    b[3] = static_cast<std::uint8_t>(h.bpc);
    StoreWord(kBigEndian, static_cast<std::uint32_t>(h.dimension), b.data() + 4);
    StoreWord(kBigEndian, static_cast<std::uint32_t>(h.width), b.data() + 6);
    StoreWord(kBigEndian, static_cast<std::uint32_t>(h.height), b.data() + 8);
    StoreWord(kBigEndian, static_cast<std::uint32_t>(h.channels), b.data() + 10);
    return b;
}

// A run-length coded file from its rows (channel-major, bottom row first in each channel).
Bytes SgiRle(const SGI_HEADER& h, const std::vector<Bytes>& rows)
{
    Bytes b = SgiHeader(h);
    const std::size_t tables = rows.size() * 8;
    std::size_t at = 512 + tables;
    Bytes offsets, lengths, data;
    for (const Bytes& r : rows) {
        Bytes o(4), l(4);
        StoreDword(kBigEndian, static_cast<std::uint32_t>(at + data.size()), o.data());
        StoreDword(kBigEndian, static_cast<std::uint32_t>(r.size()), l.data());
        offsets.insert(offsets.end(), o.begin(), o.end());
        lengths.insert(lengths.end(), l.begin(), l.end());
        data.insert(data.end(), r.begin(), r.end());
    }
    b.insert(b.end(), offsets.begin(), offsets.end());
    b.insert(b.end(), lengths.begin(), lengths.end());
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(SgiRead, HandMadeFiles)
{
    struct Case {
        const char* name;
        Bytes file;
        int want_rc;
        Bytes want_bgr; // top row first
        int want_bpp;
        const char* want_compression;
    };
    const Bytes red_row{0x02 | 0x00, 255, 0}; // a run of 2 × 255
    const Bytes zero_row{0x02, 0, 0};
    Bytes bad_offset = SgiRle({.storage = 1, .channels = 1, .dimension = 2}, {{0x81, 9, 0}});
    StoreDword(kBigEndian, 1u << 20, bad_offset.data() + 512);
    const Case cases[] = {
        {"3-channel run-length 2 x 2, bottom row red",
         SgiRle({.storage = 1, .width = 2, .height = 2},
                {red_row, zero_row, zero_row, zero_row, zero_row, zero_row}),
         kOk, {0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 255}, 24, "RLE"},
        {"literal and repeat runs",
         SgiRle({.storage = 1, .width = 3, .channels = 3},
                {{0x83, 1, 2, 3, 0}, {0x03, 7, 0}, {0x82, 8, 9, 0x01, 10, 0}}),
         kOk, {8, 7, 1, 9, 7, 2, 10, 7, 3}, 24, "RLE"},
        {"grey run-length, one channel", SgiRle({.storage = 1, .width = 2, .channels = 1, .dimension = 2},
                                                {{0x82, 40, 50, 0}}),
         kOk, {40, 40, 40, 50, 50, 50}, 8, "RLE"},
        {"four channels: alpha not shown",
         SgiRle({.storage = 1, .channels = 4}, {{0x81, 1, 0}, {0x81, 2, 0}, {0x81, 3, 0}, {0x81, 4, 0}}), kOk,
         {3, 2, 1}, 32, "RLE"},
        {"two bytes a sample, run-length",
         SgiRle({.storage = 1, .bpc = 2, .width = 2, .channels = 1, .dimension = 2},
                {{0x00, 0x82, 0x12, 0x34, 0xAB, 0xCD, 0x00, 0x00}}),
         kOk, {0x12, 0x12, 0x12, 0xAB, 0xAB, 0xAB}, 16, "RLE"},
        {"verbatim 3 channels, bottom row first", Cat(SgiHeader({.height = 2}), {1, 2, 3, 4, 5, 6}), kOk,
         {6, 4, 2, 5, 3, 1}, 24, "None"},
        {"verbatim grey, dimension 2", Cat(SgiHeader({.width = 2, .channels = 9, .dimension = 2}), {7, 8}), kOk,
         {7, 7, 7, 8, 8, 8}, 8, "None"},
        {"verbatim two bytes a sample", Cat(SgiHeader({.bpc = 2, .channels = 3}), {1, 0, 2, 0, 3, 0}), kOk,
         {3, 2, 1}, 48, "None"},
        {"row data ending early stays black", SgiRle({.storage = 1, .width = 3, .channels = 1, .dimension = 2},
                                                     {{0x83, 5}}),
         kOk, {5, 5, 5, 0, 0, 0, 0, 0, 0}, 8, "RLE"},
        {"magic written little-endian", Cat({0xDA, 0x01}, Bytes(600, 0)), kMagicError, {}, 0, nullptr},
        {"header cut short", Bytes{0x01, 0xDA, 0, 1}, kDataError, {}, 0, nullptr},
        {"zero height", Cat(SgiHeader({.height = 0}), Bytes(3, 0)), kDataError, {}, 0, nullptr},
        {"both sides above 4096", Cat(SgiHeader({.width = 5000, .height = 5000}), Bytes(3, 0)), kImageTooLarge, {},
         0, nullptr},
        {"three bytes a sample", Cat(SgiHeader({.bpc = 3}), Bytes(9, 0)), kBitDepthNotSupported, {}, 0, nullptr},
        {"verbatim planes missing", Cat(SgiHeader({.width = 4, .height = 4}), Bytes(20, 0)), kDataError, {}, 0,
         nullptr},
        {"offset tables past the file", Cat(SgiHeader({.storage = 1, .width = 100, .height = 100}), Bytes(40, 0)),
         kDataError, {}, 0, nullptr},
        {"row offset past the file", bad_offset, kDataError, {}, 0, nullptr},
        {"run past the row's end", SgiRle({.storage = 1, .width = 2, .channels = 1, .dimension = 2}, {{0x03, 1, 0}}),
         kDataError, {}, 0, nullptr},
        {"literal run past the row's end",
         SgiRle({.storage = 1, .width = 2, .channels = 1, .dimension = 2}, {{0x83, 1, 2, 3, 0}}), kDataError, {}, 0,
         nullptr},
    };
    TempDir dir;
    TIMAGE_INFO doc;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File("t.sgi"), c.file);
        const int rc = doc.Open(dir.File("t.sgi"));
        EXPECT_EQ(rc, c.want_rc) << "have " << rc << ", want " << c.want_rc;
        if (rc != kOk || c.want_rc != kOk)
            continue;
        EXPECT_EQ(DisplayPixels(doc), c.want_bgr);
        EXPECT_EQ(doc.bits_per_pixel, c.want_bpp);
        EXPECT_EQ(doc.context->compression_name, c.want_compression);
    }
}

TEST(SgiRead, FilesOfOtherProgramsOpenWithTheSamePixels)
{
    const int w = 37, h = 11;
    TempDir dir;
    const Bytes colour = PatternPixels(w, h), grey = GreyPixels(w, h);
    WritePpmFile(dir.File("colour.ppm"), w, h, colour);
    WritePpmFile(dir.File("grey.ppm"), w, h, grey);
    struct Writer {
        const char* tool;
        std::string command;
        const Bytes* want;
        const char* ext;
    };
    const std::string py = PillowPython();
    const std::string pil = py + " -c 'import sys; from PIL import Image; im=Image.open(sys.argv[1]); ";
    const Writer writers[] = {
        {"pnmtosgi", "pnmtosgi COLOUR > OUT", &colour, "sgi"},
        {"pnmtosgi", "pnmtosgi -verbatim COLOUR > OUT", &colour, "rgb"},
        {"pnmtosgi", "pnmtosgi GREY > OUT", &grey, "sgi"},
        {"convert", "convert COLOUR OUT", &colour, "sgi"},
        {"convert", "convert COLOUR -compress none SGI:OUT", &colour, "rgb"},
        {"convert", "convert COLOUR -depth 16 OUT", &colour, "sgi"},
        {"convert", "convert COLOUR -alpha on OUT", &colour, "sgi"},
        {"convert", "convert GREY -type grayscale OUT", &grey, "sgi"},
        {"python", pil + "im.save(sys.argv[2], \"SGI\")' COLOUR OUT", &colour, "rgb"},
        {"python", pil + "im.convert(\"RGBA\").save(sys.argv[2], \"SGI\")' COLOUR OUT", &colour, "sgi"},
        {"python", pil + "im.convert(\"L\").save(sys.argv[2], \"SGI\")' GREY OUT", &grey, "sgi"},
    };
    TIMAGE_INFO doc;
    int tried = 0;
    for (const Writer& wr : writers) {
        SCOPED_TRACE(wr.command);
        if (std::string(wr.tool) == "python" ? py.empty() : !HaveTool(wr.tool))
            continue;
        std::string cmd = wr.command;
        const std::string out = dir.File(std::string("out.") + wr.ext);
        if (auto p = cmd.find("COLOUR"); p != std::string::npos)
            cmd.replace(p, 6, dir.File("colour.ppm"));
        if (auto p = cmd.find("GREY"); p != std::string::npos)
            cmd.replace(p, 4, dir.File("grey.ppm"));
        cmd.replace(cmd.find("OUT"), 3, out);
        ASSERT_EQ(RunCommand(cmd + " 2>/dev/null"), 0);
        ASSERT_EQ(doc.Open(out), kOk);
        EXPECT_TRUE(DisplayPixels(doc) == *wr.want);
        ++tried;
    }
    if (tried == 0)
        GTEST_SKIP() << "no SGI-writing program found";
}

TEST(SgiRead, CorpusFilesMatchPillow)
{
    const std::string dir = CorpusDir();
    if (dir.empty())
        GTEST_SKIP() << NoCorpus();
    if (PillowPython().empty())
        GTEST_SKIP() << "no Pillow";
    const char* files[] = {"sgi/devil_rgb24alpharle.sgi", "sgi/hopper.sgi", "sgi/im_input.sgi",
                           "sgi/tm_normalize_16bit.sgi", "sgi/tm_normalize_8bit_offset.sgi", "sgi/transparent.sgi",
                           "rgb/hopper.rgb", "rgb/hopper16.rgb", "rgb/kif_bw.rgb",
                           "rgb/kif_rgb-gimp-2.8.10-rle.rgb", "rgb/kif_rgb-gimp-2.8.10-uncompressed.rgb",
                           "rgb/kif_testcard_rgba.rgb"};
    TempDir tmp;
    TIMAGE_INFO doc;
    for (const char* f : files) {
        SCOPED_TRACE(f);
        const std::string path = dir + "/" + f;
        ExpectOpensLikePillow(doc, path, tmp.File("ref.ppm"));
    }
    for (const char* f : {"crash-6b7f2244da6d0ae297ee0754a424213444e92778.sgi",
                          "crash-754d9c7ec485ffb76a90eeaab191ef69a2a3a3cd.sgi", "ossfuzz-5730089102868480.sgi"}) {
        SCOPED_TRACE(f);
        EXPECT_EQ(doc.Open(dir + "/sgi/" + f), kDataError);
    }
}
