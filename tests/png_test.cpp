// PNG: round trips through WritePng and ReadPng, PngSuite against ImageMagick, the
// header checks and their result codes.
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Png_encoder.h"
#include "tests/test_support.h"
#include "tests/peers.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

void PutChunk(Bytes& out, const char* type, const Bytes& data)
{
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(static_cast<std::uint8_t>(data.size() >> s));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    const uLong crc = crc32(0, body.data(), static_cast<uInt>(body.size()));
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(static_cast<std::uint8_t>(crc >> s));
}

Bytes Deflate(const Bytes& raw)
{
    uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
    Bytes packed(packed_size);
    compress(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()));
    packed.resize(packed_size);
    return packed;
}

// A PNG with the given header and a zero-filled 8-bit RGB image body of `rows` rows.
Bytes MakePng(std::uint32_t w, std::uint32_t h, std::uint32_t rows)
{
    Bytes png{137, 80, 78, 71, 13, 10, 26, 10};
    Bytes ihdr;
    for (std::uint32_t v : {w, h})
        for (int s = 24; s >= 0; s -= 8)
            ihdr.push_back(static_cast<std::uint8_t>(v >> s));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
    PutChunk(png, "IHDR", ihdr);
    Bytes raw(static_cast<std::size_t>(w * 3 + 1) * rows, 0);
    for (std::size_t i = 0; i < raw.size(); ++i) // noise that deflate cannot shrink much
        raw[i] = i % (w * 3 + 1) == 0 ? 0 : static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    PutChunk(png, "IDAT", Deflate(raw));
    PutChunk(png, "IEND", {});
    return png;
}

int SaveAs(TIMAGE_INFO& doc, std::int32_t code, const std::string& path)
{
    const int rc = PrepareSave(doc, code, path);
    return rc != kOk ? rc : doc.Save();
}

} // namespace

TEST(Png, RoundTripKeepsEveryPixel)
{
    TempDir dir;
    TIMAGE_INFO doc;
    const Bytes pixels = PatternPixels(37, 23);
    LoadPicture(doc, 37, 23, pixels);
    ASSERT_EQ(SaveAs(doc, kSavePng, dir.File("a.png")), kOk);
    ASSERT_EQ(doc.Open(dir.File("a.png")), kOk);
    EXPECT_EQ(doc.format_code, kFmtPng);
    EXPECT_EQ(doc.bits_per_pixel, 24);
    EXPECT_EQ(doc.context->compression_name, "LZ77");
    EXPECT_EQ(DisplayPixels(doc), pixels);

    // ImageMagick reads what we wrote with the same pixels.
    int w = 0, h = 0;
    Bytes theirs;
    if (MagickPixels(dir.File("a.png"), w, h, theirs)) {
        EXPECT_EQ(w, 37);
        EXPECT_EQ(h, 23);
        EXPECT_EQ(theirs, pixels);
    }
    if (HaveTool("pngcheck")) {
        EXPECT_EQ(RunCommand("pngcheck -q '" + dir.File("a.png") + "'"), 0);
    }
    // Pillow checks every chunk's CRC while it loads.
    if (const std::string py = PillowPython(); !py.empty()) {
        EXPECT_EQ(RunCommand(py + " -c \"from PIL import Image; im=Image.open('" + dir.File("a.png") +
                             "'); im.load(); assert im.mode=='RGB' and im.size==(37,23)\""),
                  0);
    }
}

TEST(Png, SaveAfterAnEditWritesTheEditedPicture)
{
    TempDir dir;
    TIMAGE_INFO doc;
    LoadPicture(doc, 4, 2, Bytes(24, 10));
    doc.display->ScanLine(1)[3] = 200; // an edit changes the display bitmap and the working buffer
    doc.edited = 1;
    ASSERT_EQ(doc.context->work.Reserve(24), kOk);
    std::memcpy(doc.context->work.data(), DisplayPixels(doc).data(), 24);
    ASSERT_EQ(SaveAs(doc, kSavePng, dir.File("e.png")), kOk);
    ASSERT_EQ(doc.Open(dir.File("e.png")), kOk);
    EXPECT_EQ(DisplayPixels(doc)[15], 200);
}

TEST(Png, DirectDecodingDrawsTheDisplayBitmap)
{
    TempDir dir;
    TIMAGE_INFO doc;
    const Bytes pixels = PatternPixels(9, 5);
    LoadPicture(doc, 9, 5, pixels);
    ASSERT_EQ(SaveAs(doc, kSavePng, dir.File("d.png")), kOk);
    LoadPicture(doc, 2, 2, Bytes(12, 0));
    doc.direct_decode = 1;
    ASSERT_EQ(doc.Open(dir.File("d.png")), kOk);
    EXPECT_EQ(doc.direct_decode, 0);
    EXPECT_EQ(DisplayPixels(doc), pixels);
}

// A palette file leaves its colour table in the context blue, green, red, like every
// other palette format.
TEST(Png, PaletteLandsBlueGreenRed)
{
    Bytes png{137, 80, 78, 71, 13, 10, 26, 10};
    PutChunk(png, "IHDR", {0, 0, 0, 2, 0, 0, 0, 1, 8, 3, 0, 0, 0});
    PutChunk(png, "PLTE", {10, 20, 30, 40, 50, 60});
    PutChunk(png, "IDAT", Deflate({0, 1, 0}));
    PutChunk(png, "IEND", {});
    TempDir dir;
    WriteBytes(dir.File("p.png"), png);
    TIMAGE_INFO doc;
    ASSERT_EQ(doc.Open(dir.File("p.png")), kOk);
    EXPECT_EQ(Bytes(doc.context->palette, doc.context->palette + 9), (Bytes{30, 20, 10, 60, 50, 40, 0, 0, 0}));
    EXPECT_EQ(DisplayPixels(doc), (Bytes{60, 50, 40, 30, 20, 10}));
}

TEST(Png, HeaderChecksAndBrokenFiles)
{
    TempDir dir;
    Bytes truncated = MakePng(300, 200, 200);
    truncated.resize(truncated.size() / 2);
    Bytes bad_crc = MakePng(8, 8, 8);
    bad_crc[29] ^= 1; // IHDR CRC
    const struct {
        const char* name;
        Bytes bytes;
        int want;
    } cases[] = {
        {"wide and tall", MakePng(5000, 5000, 1), kImageTooLarge},
        {"zero width", MakePng(0, 5, 5), kDataError},
        {"not a PNG", ToBytes("GIF89a and more bytes"), kMagicError},
        {"short signature", Bytes{137, 80, 78}, kMagicError},
        {"truncated data", truncated, kUnknownError},
        {"IHDR CRC", bad_crc, kUnknownError},
        // 40000 × 4000 pixels cannot come out of the few bytes of this file.
        {"more pixels than the file can hold", [] {
             Bytes b = MakePng(1, 1, 1);
             b[16] = 0x00, b[17] = 0x00, b[18] = 0x9C, b[19] = 0x40, b[22] = 0x0F, b[23] = 0xA0;
             const uLong crc = crc32(0, b.data() + 12, 17);
             for (int i = 0; i < 4; ++i)
                 b[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
             return b;
         }(), kDataError},
    };
    TIMAGE_INFO doc;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File("x.png"), c.bytes);
        EXPECT_EQ(doc.Open(dir.File("x.png")), c.want);
    }
    EXPECT_EQ(doc.Open(dir.File("missing.png")), kOpenFileError);

    // A picture that breaks off while drawing the display bitmap leaves black there, not
    // the previous picture and not half a picture.
    LoadPicture(doc, 300, 200, Bytes(300 * 200 * 3, 255));
    doc.direct_decode = 1;
    WriteBytes(dir.File("t.png"), truncated);
    EXPECT_EQ(doc.Open(dir.File("t.png")), kUnknownError);
    for (std::uint8_t v : DisplayPixels(doc))
        ASSERT_EQ(v, 0);
    doc.direct_decode = 0;

    // Wide but not tall opens.
    WriteBytes(dir.File("wide.png"), MakePng(5000, 10, 10));
    ASSERT_EQ(doc.Open(dir.File("wide.png")), kOk);
    EXPECT_EQ(doc.display_width, 5000);
    EXPECT_EQ(doc.display_height, 10);
}

// Every PngSuite file that is not broken opens with ImageMagick's pixels (alpha composited
// on white); broken ones end in a result code.
TEST(Png, CorpusMatchesImageMagick)
{
    const std::string corpus = CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << NoCorpus();
    if (!HaveTool("convert"))
        GTEST_SKIP() << "no ImageMagick";
    std::ifstream index(corpus + "/INDEX.tsv");
    std::string line;
    TIMAGE_INFO doc;
    int compared = 0;
    while (std::getline(index, line)) {
        std::istringstream cols(line);
        std::string ext, file, status;
        std::getline(cols, ext, '\t');
        std::getline(cols, file, '\t');
        std::getline(cols, status, '\t');
        if (ext != "png")
            continue;
        const std::string path = corpus + "/png/" + file;
        SCOPED_TRACE(file);
        const int rc = doc.Open(path);
        if (status == "broken") {
            EXPECT_NE(rc, kOk);
            continue;
        }
        ASSERT_EQ(rc, kOk);
        int w = 0, h = 0;
        Bytes theirs;
        if (!MagickPixels(path, w, h, theirs, true))
            continue;
        EXPECT_EQ(doc.display_width, w);
        EXPECT_EQ(doc.display_height, h);
        // Rounding of 16-bit samples and of alpha compositing differs by at most one step.
        EXPECT_LE(MaxDifference(DisplayPixels(doc), theirs), 1);
        ++compared;
    }
    EXPECT_GT(compared, 30);
}

// Both ways of compressing give a valid PNG that holds the picture exactly: a smooth
// picture (string matching pays) and noise large enough that the streaming encoder turns
// to Huffman coding after its first piece and the whole-picture encoder tries it too.
TEST(PngEncoder, BothModesAreLosslessAndValid)
{
    TempDir dir;
    struct Picture {
        const char* name;
        int w, h;
        bool noise;
    };
    for (const Picture& p : {Picture{"smooth", 300, 200, false}, Picture{"noise", 1400, 1100, true}}) {
        Bytes bgr(static_cast<std::size_t>(p.w) * p.h * 3);
        std::uint32_t seed = 12345;
        for (std::size_t i = 0; i < bgr.size(); ++i) {
            seed = seed * 1664525u + 1013904223u;
            bgr[i] = p.noise ? static_cast<std::uint8_t>(seed >> 24) : static_cast<std::uint8_t>((i / 3 % p.w) + i % 3);
        }
        for (PngEncoder::Mode mode : {PngEncoder::Mode::Whole, PngEncoder::Mode::Streaming}) {
            SCOPED_TRACE(std::string(p.name) + (mode == PngEncoder::Mode::Whole ? ", whole" : ", streaming"));
            const std::string path = dir.File("e.png");
            FilePtr f = OpenForWrite(path);
            ASSERT_TRUE(f);
            PixelBuffer filtered;
            PngEncoder png(f.get(), p.w, p.h, mode, filtered);
            ASSERT_EQ(png.Start(), kOk);
            for (int y = 0; y < p.h; ++y)
                ASSERT_EQ(png.AddRow(bgr.data() + static_cast<std::size_t>(y) * p.w * 3), kOk);
            EXPECT_EQ(png.AddRow(bgr.data()), kDataError) << "a row past the last";
            ASSERT_EQ(png.Finish(), kOk);
            ASSERT_EQ(FinishWrite(std::move(f)), kOk);
            CODEC_CTX ctx;
            const Bytes file = ReadBytes(path);
            ASSERT_EQ(DecodePng(ctx, file), kOk);
            EXPECT_TRUE(std::equal(bgr.begin(), bgr.end(), ctx.decoded.data()));
            if (HaveTool("pngcheck")) {
                EXPECT_EQ(RunCommand("pngcheck -q '" + path + "' >/dev/null"), 0);
            }
        }
    }
}
