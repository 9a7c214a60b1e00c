// TARGA reading: round trips through our writer, hand-made headers of every layout, every
// origin and encoding through every way a picture reaches the screen, files written by
// ImageMagick, netpbm and Pillow, and the sample corpus.
#include "base/Byte_order.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "tests/peers.h"
#include "tests/tga_files.h"
#include "dialogs/logic/Browse.h"
#include "viewer/logic/Image_edits.h"
#include "viewer/logic/Preload_cache.h"
#include "viewer/logic/Undo_chain.h"

#include <gtest/gtest.h>

namespace {

using namespace tga_files;

int OpenBytes(TIMAGE_INFO& doc, const TempDir& dir, const Bytes& file, const std::string& name = "t.tga")
{
    WriteBytes(dir.File(name), file);
    return doc.Open(dir.File(name));
}

} // namespace

TEST(TgaRead, WriterOutputReadsBackInEveryRowOrder)
{
    const int w = 13, h = 7;
    const Bytes pixels = PatternPixels(w, h);
    for (const bool top : {false, true})
        for (const bool rtl : {false, true})
            for (const bool direct : {false, true}) {
                SCOPED_TRACE(testing::Message() << "top " << top << " right-to-left " << rtl << " direct " << direct);
                TempDir dir;
                CODEC_CTX out;
                ASSERT_EQ(out.ReserveDecoded(w, h), kOk);
                out.width = w;
                out.height = h;
                std::copy(pixels.begin(), pixels.end(), out.decoded.data());
                out.output_file_name = dir.File("rt.tga");
                out.top_to_bottom = top;
                out.right_to_left = rtl;
                ASSERT_EQ(WriteTga(out), kOk);
                TIMAGE_INFO doc;
                doc.direct_decode = direct ? 1 : 0;
                ASSERT_EQ(doc.Open(dir.File("rt.tga")), kOk);
                EXPECT_EQ(doc.bits_per_pixel, 24);
                EXPECT_EQ(doc.context->compression_name, "None");
                EXPECT_EQ(DisplayPixels(doc), pixels);
            }
}

TEST(TgaRead, HandMadeLayouts)
{
    struct Case {
        const char* name;
        TGA_HEADER h;
        Bytes rest;
        int want_rc;
        Bytes want_bgr; // the picture, top row first
        int want_bpp;
        const char* want_compression;
    };
    const Case cases[] = {
        {"16-bit 0x7FFF and 0x8000", {.width = 2, .bits = 16}, {0xFF, 0x7F, 0x00, 0x80}, kOk,
         {248, 248, 248, 0, 0, 0}, 16, "None"},
        {"16-bit 5-5-5 channels", {.width = 3, .bits = 15}, {0x1F, 0x00, 0xE0, 0x03, 0x00, 0x7C}, kOk,
         {248, 0, 0, 0, 248, 0, 0, 0, 248}, 16, "None"},
        {"16-bit top-down", {.height = 2, .bits = 16, .descriptor = 0x20}, {0x1F, 0x00, 0x00, 0x7C}, kOk,
         {248, 0, 0, 0, 0, 248}, 16, "None"},
        {"32-bit top-down, alpha dropped", {.height = 2, .bits = 32, .descriptor = 0x28},
         {1, 2, 3, 0x80, 4, 5, 6, 0}, kOk, {1, 2, 3, 4, 5, 6}, 32, "None"},
        {"24-bit bottom-up", {.height = 2}, {1, 2, 3, 4, 5, 6}, kOk, {4, 5, 6, 1, 2, 3}, 24, "None"},
        {"right-to-left", {.width = 2, .descriptor = 0x10}, {1, 2, 3, 4, 5, 6}, kOk, {4, 5, 6, 1, 2, 3}, 24, "None"},
        {"image ID skipped", {.id_length = 5}, {'h', 'e', 'l', 'l', 'o', 9, 8, 7}, kOk, {9, 8, 7}, 24, "None"},
        {"grey", {.type = 3, .width = 2, .bits = 8}, {0x10, 0xF0}, kOk, {0x10, 0x10, 0x10, 0xF0, 0xF0, 0xF0}, 8,
         "None"},
        {"grey with alpha", {.type = 3, .width = 2, .bits = 16}, {0x10, 0xFF, 0xF0, 0}, kOk,
         {0x10, 0x10, 0x10, 0xF0, 0xF0, 0xF0}, 16, "None"},
        {"colour map of 2 entries from index 4, 24-bit",
         {.map_type = 1, .type = 1, .map_first = 4, .map_length = 2, .map_bits = 24, .width = 3, .bits = 8},
         {10, 20, 30, 40, 50, 60, 5, 4, 0}, kOk, {40, 50, 60, 10, 20, 30, 0, 0, 0}, 8, "None"},
        {"colour map of 16-bit entries",
         {.map_type = 1, .type = 1, .map_length = 1, .map_bits = 16, .bits = 8}, {0x00, 0x7C, 0}, kOk, {0, 0, 248},
         8, "None"},
        {"unused colour map before true colour", {.map_type = 1, .map_length = 2, .map_bits = 32},
         {0, 0, 0, 0, 0, 0, 0, 0, 7, 8, 9}, kOk, {7, 8, 9}, 24, "None"},
        {"run-length packets across rows", {.type = 10, .width = 2, .height = 2, .descriptor = 0x20},
         {0x82, 1, 2, 3, 0x00, 4, 5, 6}, kOk, {1, 2, 3, 1, 2, 3, 1, 2, 3, 4, 5, 6}, 24, "RLE"},
        {"run-length grey", {.type = 11, .width = 3, .bits = 8}, {0x01, 9, 8, 0x80, 7}, kOk,
         {9, 9, 9, 8, 8, 8, 7, 7, 7}, 8, "RLE"},
        {"run-length coded data ends early", {.type = 10, .width = 2, .height = 2, .descriptor = 0x20},
         {0x80, 1, 2, 3, 0x00, 4, 5, 6}, kOk, {1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0}, 24, "RLE"},
        {"short file ends in black", {.height = 3, .descriptor = 0x20}, {1, 2, 3, 4, 5, 6}, kOk,
         {1, 2, 3, 4, 5, 6, 0, 0, 0}, 24, "None"},
        {"no image data (type 0)", {.type = 0}, {}, kFormatNotSupported, {}, 0, nullptr},
        {"unknown type 4", {.type = 4}, {1, 2, 3}, kFormatNotSupported, {}, 0, nullptr},
        {"zero width", {.width = 0}, {1, 2, 3}, kDataError, {}, 0, nullptr},
        {"both sides above 4096", {.width = 4097, .height = 4097}, {1, 2, 3}, kImageTooLarge, {}, 0, nullptr},
        {"12 bits per pixel", {.bits = 12}, {1, 2}, kBitDepthNotSupported, {}, 0, nullptr},
        {"colour-mapped without a map", {.type = 1, .bits = 8}, {0}, kDataError, {}, 0, nullptr},
        {"colour map past the end", {.map_type = 1, .type = 1, .map_length = 200, .map_bits = 24, .bits = 8},
         {1, 2, 3}, kDataError, {}, 0, nullptr},
        {"pixels that cannot be in the file", {.width = 4000, .height = 4000}, {1, 2, 3}, kDataError, {}, 0,
         nullptr},
        {"header cut short", {}, {}, kDataError, {}, 0, nullptr},
    };
    TempDir dir;
    TIMAGE_INFO doc;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = Tga(c.h, c.rest);
        if (std::string(c.name) == "header cut short")
            file.resize(10);
        const int rc = OpenBytes(doc, dir, file);
        EXPECT_EQ(rc, c.want_rc) << "have " << rc << ", want " << c.want_rc;
        if (rc != kOk || c.want_rc != kOk)
            continue;
        EXPECT_EQ(DisplayPixels(doc), c.want_bgr);
        EXPECT_EQ(doc.bits_per_pixel, c.want_bpp);
        EXPECT_EQ(doc.context->compression_name, c.want_compression);
    }
}

TEST(TgaRead, TruncatedFileShowsNoStalePixels)
{
    // A full picture first, then the same size cut short: the missing rows must be black.
    TempDir dir;
    TIMAGE_INFO doc;
    Bytes full(4 * 4 * 3, 0xAA);
    ASSERT_EQ(OpenBytes(doc, dir, Tga({.width = 4, .height = 4, .descriptor = 0x20}, full)), kOk);
    Bytes part(4 * 3 + 5, 0x11);
    ASSERT_EQ(OpenBytes(doc, dir, Tga({.width = 4, .height = 4, .descriptor = 0x20}, part)), kOk);
    const Bytes px = DisplayPixels(doc);
    EXPECT_EQ(std::count(px.begin(), px.end(), 0xAA), 0);
    EXPECT_EQ(std::count(px.begin(), px.begin() + 12, 0x11), 12);
}

TEST(TgaRead, FilesOfOtherProgramsOpenWithTheSamePixels)
{
    const int w = 23, h = 9;
    TempDir dir;
    struct Source {
        const char* name;
        Bytes pixels;
    };
    const Source colour{"colour.ppm", FewColourPixels(w, h)};
    const Source grey{"grey.ppm", GreyPixels(w, h)};
    const Source many{"many.ppm", PatternPixels(w, h)};
    for (const Source* s : {&colour, &grey, &many})
        WritePpmFile(dir.File(s->name), w, h, s->pixels);

    struct Writer {
        const char* tool;
        std::string command; // IN and OUT replaced
        const Source* source;
        bool flipped = false; // ImageMagick 6 stores the top row first under a bottom-first descriptor
    };
    const std::string py = PillowPython();
    const std::string pil = py + " -c 'import sys; from PIL import Image; im=Image.open(sys.argv[1]); ";
    const Writer writers[] = {
        {"convert", "convert IN OUT", &many, true},
        {"convert", "convert IN -compress RLE OUT", &many, true},
        {"convert", "convert IN -type grayscale OUT", &grey, true},
        {"convert", "convert IN -type palette OUT", &colour, true},
        {"convert", "convert IN -type palette -compress RLE OUT", &colour, true},
        {"pamtotga", "pamtotga IN > OUT", &colour},
        {"pamtotga", "pamtotga -norle IN > OUT", &colour},
        {"pamtotga", "pamtotga -rgb IN > OUT", &many},
        {"pamtotga", "pamtotga -rgb -norle IN > OUT", &many},
        {"pamtotga", "pamtotga -mono IN > OUT", &grey},
        {"pamtotga", "pamtotga -mono -norle IN > OUT", &grey},
        {"python", pil + "im.save(sys.argv[2])' IN OUT", &many},
        {"python", pil + "im.save(sys.argv[2], compression=\"tga_rle\")' IN OUT", &many},
        {"python", pil + "im.convert(\"L\").save(sys.argv[2])' IN OUT", &grey},
        {"python", pil + "im.convert(\"P\", palette=Image.ADAPTIVE, colors=8).save(sys.argv[2], compression=\"tga_rle\")' IN OUT", &colour},
        {"python", pil + "im.convert(\"RGBA\").save(sys.argv[2], id_section=b\"made by Pillow\")' IN OUT", &many},
    };
    TIMAGE_INFO doc;
    int tried = 0;
    for (const Writer& wr : writers) {
        SCOPED_TRACE(wr.command);
        if (std::string(wr.tool) == "python" ? py.empty() : !HaveTool(wr.tool))
            continue;
        std::string cmd = wr.command;
        cmd.replace(cmd.find("IN"), 2, dir.File(wr.source->name));
        cmd.replace(cmd.find("OUT"), 3, dir.File("out.tga"));
        ASSERT_EQ(RunCommand(cmd + " 2>/dev/null"), 0);
        ASSERT_EQ(doc.Open(dir.File("out.tga")), kOk);
        Bytes want = wr.source->pixels;
        if (wr.flipped)
            for (int y = 0; y < h / 2; ++y)
                std::swap_ranges(want.begin() + y * w * 3, want.begin() + (y + 1) * w * 3,
                                 want.begin() + (h - 1 - y) * w * 3);
        EXPECT_TRUE(DisplayPixels(doc) == want);
        ++tried;
    }
    if (tried == 0)
        GTEST_SKIP() << "no TGA-writing program found";
}

TEST(TgaRead, CorpusFilesMatchPillow)
{
    const std::string dir = CorpusDir();
    if (dir.empty())
        GTEST_SKIP() << NoCorpus();
    if (PillowPython().empty())
        GTEST_SKIP() << "no Pillow";
    // 16-bit files differ by design: their 5-bit channels are scaled by 8, not to 255.
    const char* files[] = {"1x1_l_bl_raw.tga", "200x32_l_bl_rle.tga", "200x32_la_tl_raw.tga", "200x32_p_bl_raw.tga",
                           "200x32_p_tl_rle.tga", "200x32_rgb_bl_raw.tga", "200x32_rgb_tl_rle.tga",
                           "200x32_rgba_bl_rle.tga", "200x32_rgba_tl_raw.tga", "devil_1d.tga", "devil_grey.tga",
                           "im_input.tga", "kif_extarea.tga", "kif_rgb-gimp-2.8.10-rle-top-left.tga",
                           "kif_top_right.tga", "la.tga", "rgb32rle.tga", "tga_id_field.tga", "tm_CBW8.tga",
                           "tm_CTC24.tga", "tm_CTC32.tga", "tm_UBW8.tga", "tm_UTC24.tga", "tm_UTC32.tga",
                           "tm_autodesk-3dsmax-extsize494.tga", "tm_monochrome16_top_left_rle.tga"};
    TempDir tmp;
    TIMAGE_INFO doc;
    for (const char* f : files) {
        SCOPED_TRACE(f);
        const std::string path = dir + "/tga/" + f;
        ExpectOpensLikePillow(doc, path, tmp.File("ref.ppm"));
    }
    // A colour-mapped file Pillow cannot read, against ImageMagick.
    if (HaveTool("convert")) {
        int w = 0, h = 0;
        Bytes want;
        const std::string path = dir + "/tga/kif_colormapped.tga";
        ASSERT_TRUE(ReadToolPpm("convert " + path + " " + tmp.File("im.ppm"), tmp.File("im.ppm"), w, h, want));
        ASSERT_EQ(doc.Open(path), kOk);
        EXPECT_TRUE(DisplayPixels(doc) == want);
    }
}

namespace {

Bytes CliPpm(const std::string& args, const std::string& out)
{
    int w = 0, h = 0;
    Bytes px;
    if (RunCommand(std::string(RAVELSCOPE_CLI) + " convert " + args + " >/dev/null 2>&1") != 0 ||
        !ParsePpm(ReadBytes(out), w, h, px))
        return {};
    return px;
}

} // namespace

// What the document shows is the file's picture on every road to the screen: a converting
// open, a direct decode, a preloaded document handed over, the keeping open of browsing,
// and an edit undone, each checked against the command-line tool's decode. A save after
// the edit writes the picture shown.
TEST(TgaRead, EveryOriginShowsAsTheCommandLineDecodesIt)
{
    const int w = 5, h = 3;
    const Bytes want = OrientationPicture();
    const struct {
        const char* name;
        int bits;
    } origins[] = {{"bottom-left", 0x00}, {"top-left", 0x20}, {"bottom-right", 0x10}, {"top-right", 0x30}};
    TempDir dir;
    for (const auto& origin : origins)
        for (const bool rle : {false, true})
            for (const int bits : {16, 24, 32}) {
                SCOPED_TRACE(testing::Message() << origin.name << (rle ? " RLE " : " raw ") << bits << " bits");
                const std::string file = dir.File(std::string(origin.name) + (rle ? "-rle-" : "-raw-") +
                                                   std::to_string(bits) + ".tga");
                const std::string other = dir.File("other.ppm");
                WriteBytes(file, OrientedTga(want, w, h, origin.bits, bits, rle));
                WritePpmFile(other, 2, 2, PatternPixels(2, 2));

                EXPECT_EQ(CliPpm(file + " " + dir.File("cli.ppm"), dir.File("cli.ppm")), want);
                EXPECT_EQ(CliPpm("--negative " + file + " " + dir.File("neg.ppm"), dir.File("neg.ppm")),
                          Negated(want));

                for (const bool direct : {false, true}) {
                    TIMAGE_INFO doc;
                    doc.direct_decode = direct ? 1 : 0;
                    ASSERT_EQ(doc.Open(file), kOk);
                    EXPECT_EQ(DisplayPixels(doc), want) << (direct ? "direct decode" : "converting open");
                }

                TIMAGE_INFO shown;
                ASSERT_EQ(shown.Open(other), kOk);
                {
                    PRELOAD_CACHE cache;
                    cache.Want({file});
                    cache.WaitIdle();
                    std::unique_ptr<TIMAGE_INFO> ready = cache.Take(file);
                    ASSERT_NE(ready, nullptr);
                    AdoptPreloaded(shown, *ready);
                }
                EXPECT_EQ(DisplayPixels(shown), want) << "preloaded";

                TIMAGE_INFO browsed;
                FILE_BROWSER browser;
                ASSERT_EQ(browser.OpenKeepingShown(browsed, other), kOk);
                ASSERT_EQ(browser.OpenKeepingShown(browsed, file), kOk);
                EXPECT_EQ(DisplayPixels(browsed), want) << "browsed";

                for (TIMAGE_INFO* doc : {&shown, &browsed}) {
                    UNDO_CHAIN chain;
                    ASSERT_EQ(chain.ResetChain(*doc), kOk);
                    ASSERT_EQ(RunImageCommand(*doc, chain, ImageCommand::kNegative, nullptr), kOk);
                    EXPECT_EQ(DisplayPixels(*doc), Negated(want)) << "after Negative";
                    ASSERT_EQ(PrepareSave(*doc, kSavePpm, dir.File("edited.ppm")), kOk);
                    ASSERT_EQ(doc->Save(), kOk);
                    int sw = 0, sh = 0;
                    Bytes saved;
                    ASSERT_TRUE(ParsePpm(ReadBytes(dir.File("edited.ppm")), sw, sh, saved));
                    EXPECT_EQ(saved, Negated(want)) << "saved after Negative";
                    ASSERT_EQ(chain.Undo(*doc), kOk);
                    EXPECT_EQ(DisplayPixels(*doc), want) << "after Undo";
                }
            }
}
