// PICT reading: hand-made opcode streams of both versions, malformed streams, files
// written by netpbm and ImageMagick, and the corpus against ImageMagick.
#include "base/Result_codes.h"
#include "tests/peers.h"

#include <gtest/gtest.h>

namespace {

// Builds a PICT file: the 512-byte header, size word, frame, version, opcodes, end.
class PictBuilder {
public:
    PictBuilder(int version, int top, int left, int bottom, int right) : version_(version)
    {
        b_.assign(512, 0);
        Word(0);
        Rect(top, left, bottom, right);
        if (version == 1) {
            Byte(0x11);
            Byte(0x01);
        } else if (version == 2) {
            Word(0x0011);
            Word(0x02FF);
            Word(0x0C00);
            b_.insert(b_.end(), 24, 0);
        } else {
            Byte(0x11);
            Byte(static_cast<std::uint8_t>(version));
        }
    }
    PictBuilder& Op(int op)
    {
        if (version_ == 2) {
            if (b_.size() & 1)
                Byte(0);
            return Word(op);
        }
        return Byte(static_cast<std::uint8_t>(op));
    }
    PictBuilder& Byte(std::uint8_t v)
    {
        b_.push_back(v);
        return *this;
    }
    PictBuilder& Word(int v)
    {
        b_.push_back(static_cast<std::uint8_t>(v >> 8));
        b_.push_back(static_cast<std::uint8_t>(v));
        return *this;
    }
    PictBuilder& Dword(std::uint32_t v) { return Word(static_cast<int>(v >> 16)).Word(static_cast<int>(v & 0xFFFF)); }
    PictBuilder& Rect(int top, int left, int bottom, int right) { return Word(top).Word(left).Word(bottom).Word(right); }
    PictBuilder& Raw(const Bytes& bytes)
    {
        b_.insert(b_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    // A pixel map header: version, pack type, pack size, resolutions, pixel type and size,
    // component count and size, plane bytes, table, reserved.
    PictBuilder& PixMap(int pack_type, int pixel_size, int components)
    {
        Word(0).Word(pack_type).Dword(0).Dword(0x480000).Dword(0x480000);
        Word(pixel_size == 32 || pixel_size == 16 ? 16 : 0).Word(pixel_size).Word(components);
        return Word(pixel_size == 32 ? 8 : pixel_size == 16 ? 5 : pixel_size).Dword(0).Dword(0).Dword(0);
    }
    Bytes Done(bool end = true)
    {
        if (end)
            Op(0xFF);
        return b_;
    }

private:
    int version_;
    Bytes b_;
};

// A 32-bit direct-bits opcode drawing w × 1 pixels of the given planes at (top, left).
PictBuilder& DirectRow(PictBuilder& p, int top, int left, const Bytes& planes)
{
    const int w = static_cast<int>(planes.size() / 3);
    p.Op(0x9A).Dword(0xFF).Word(0x8000 | (w * 4)).Rect(top, left, top + 1, left + w).PixMap(4, 32, 3);
    p.Rect(top, left, top + 1, left + w).Rect(top, left, top + 1, left + w).Word(0);
    if (w * 4 < 8)
        return p.Raw(planes).Raw(Bytes(static_cast<std::size_t>(w), 0));
    p.Byte(static_cast<std::uint8_t>(planes.size() + 1)).Byte(static_cast<std::uint8_t>(planes.size() - 1));
    return p.Raw(planes);
}

Bytes White(int n)
{
    return Bytes(static_cast<std::size_t>(n) * 3, 255);
}

void Put(Bytes& pic, int w, int x, int y, std::initializer_list<std::uint8_t> bgr)
{
    std::copy(bgr.begin(), bgr.end(), pic.begin() + (static_cast<std::ptrdiff_t>(y) * w + x) * 3);
}

} // namespace

TEST(PictRead, HandMadeStreams)
{
    struct Case {
        std::string name;
        Bytes file;
        int want_rc;
        int want_w, want_h;
        Bytes want_bgr;
        int want_bpp;
    };
    std::vector<Case> cases;
    {
        // Version 1, PackBitsRect of a 1-bit bit map: 64 × 2 inside an 80 × 4 frame.
        PictBuilder p(1, 0, 0, 4, 80);
        p.Op(0x98).Word(8).Rect(1, 8, 3, 72).Rect(1, 8, 3, 72).Rect(1, 8, 3, 72).Word(0);
        p.Byte(2).Byte(0xF9).Byte(0xFF);                           // eight bytes of 0xFF
        p.Byte(9).Byte(0x07).Raw(Bytes(8, 0xAA));                  // eight literal 0xAA
        Bytes want = White(80 * 4);
        for (int x = 8; x < 72; ++x) {
            Put(want, 80, x, 1, {0, 0, 0});
            if ((x - 8) % 2 == 0)
                Put(want, 80, x, 2, {0, 0, 0});
        }
        cases.push_back({"version 1 packed bit map", p.Done(), kOk, 80, 4, want, 1});
    }
    {
        PictBuilder p(2, 10, 20, 12, 23);
        DirectRow(p, 11, 20, {10, 20, 30, 40, 50, 60, 70, 80, 90});
        Bytes want = White(3 * 2);
        Put(want, 3, 0, 1, {70, 40, 10});
        Put(want, 3, 1, 1, {80, 50, 20});
        Put(want, 3, 2, 1, {90, 60, 30});
        cases.push_back({"version 2 direct 32-bit pixels", p.Done(), kOk, 3, 2, want, 32});
    }
    {
        // TxFace has one byte of data: the next opcode follows a padding byte.
        PictBuilder p(2, 0, 0, 1, 2);
        p.Op(0x04).Byte(0x01);
        DirectRow(p, 0, 0, {1, 2, 3, 4, 5, 6});
        cases.push_back({"opcode after an odd data length", p.Done(), kOk, 2, 1, {5, 3, 1, 6, 4, 2}, 32});
    }
    {
        // An 8-bit indexed pixel map whose source reaches two columns left of its bounds.
        PictBuilder p(2, 0, 0, 1, 5);
        p.Op(0x98).Word(0x8000 | 4).Rect(0, 0, 1, 3).PixMap(0, 8, 1);
        p.Dword(0).Word(0).Word(1).Word(0).Word(0xFFFF).Word(0).Word(0).Word(1).Word(0).Word(0).Word(0xFFFF);
        p.Rect(0, -2, 1, 3).Rect(0, 0, 1, 5).Word(0);
        p.Raw({0, 1, 0, 0});
        Bytes want = White(5);
        Put(want, 5, 2, 0, {0, 0, 255});
        Put(want, 5, 3, 0, {255, 0, 0});
        Put(want, 5, 4, 0, {0, 0, 255});
        cases.push_back({"source clipped to its bounds", p.Done(), kOk, 5, 1, want, 8});
    }
    {
        PictBuilder p(2, 0, 0, 1, 2);
        p.Op(0x9A).Dword(0xFF).Word(0x8000 | 4).Rect(0, 0, 1, 2).PixMap(3, 16, 3);
        p.Rect(0, 0, 1, 2).Rect(0, 0, 1, 2).Word(0).Raw({0x7C, 0x00, 0x00, 0x1F});
        cases.push_back({"direct 16-bit pixels", p.Done(), kOk, 2, 1, {0, 0, 248, 248, 0, 0}, 16});
    }
    {
        PictBuilder p(2, 0, 0, 2, 2);
        DirectRow(p, 5, 5, {1, 2, 3});
        cases.push_back({"destination outside the frame", p.Done(), kOk, 2, 2, White(4), 32});
    }
    {
        PictBuilder p(2, 0, 0, 3, 4);
        p.Op(0x01).Word(10).Rect(0, 0, 3, 4);             // clip region
        p.Op(0x0A).Raw(Bytes(8, 0x55));                   // fill pattern
        p.Op(0x31).Rect(0, 0, 2, 2);                      // paintRect
        p.Op(0x28).Word(1).Word(1).Byte(3).Raw({'a', 'b', 'c'}); // LongText
        p.Op(0x71).Word(10).Rect(0, 0, 3, 4);             // paintPoly
        p.Op(0xA1).Word(100).Word(4).Raw({1, 2, 3, 4});   // LongComment
        p.Op(0x8201).Dword(6).Raw(Bytes(6, 9));           // 32-bit length
        cases.push_back({"vector drawing only", p.Done(), kOk, 4, 3, White(12), 24});
    }
    {
        PictBuilder p(2, 0, 0, 1, 2);
        DirectRow(p, 0, 0, {1, 2, 3, 4, 5, 6});
        cases.push_back({"no end-of-picture opcode", p.Done(false), kOk, 2, 1, {5, 3, 1, 6, 4, 2}, 32});
    }
    cases.push_back({"zero-sized frame", PictBuilder(2, 5, 5, 5, 9).Done(), kDataError, 0, 0, {}, 0});
    cases.push_back({"240-megapixel frame with nothing to draw it", PictBuilder(2, 0, 0, 12000, 20000).Done(), kDataError,
                     0, 0, {}, 0});
    cases.push_back({"version 3", PictBuilder(3, 0, 0, 2, 2).Done(), kFormatNotSupported, 0, 0, {}, 0});
    cases.push_back({"file ends in the header", Bytes(515, 0), kDataError, 0, 0, {}, 0});
    {
        PictBuilder p(2, 0, 0, 1, 2);
        p.Op(0x01).Word(1);
        cases.push_back({"region size below 2", p.Done(), kDataError, 0, 0, {}, 0});
    }
    {
        PictBuilder p(1, 0, 0, 1, 64);
        p.Op(0x98).Word(8).Rect(0, 0, 1, 64).Rect(0, 0, 1, 64).Rect(0, 0, 1, 64).Word(0);
        p.Byte(2).Byte(0xF0).Byte(0xFF); // 17 bytes into a row of 8
        cases.push_back({"PackBits run past the row", p.Done(), kDataError, 0, 0, {}, 0});
    }
    {
        PictBuilder p(1, 0, 0, 1, 64);
        p.Op(0x98).Word(8).Rect(0, 0, 30000, 64).Rect(0, 0, 1, 64).Rect(0, 0, 1, 64).Word(0);
        cases.push_back({"bounds whose rows cannot be in the file", p.Done(), kDataError, 0, 0, {}, 0});
    }
    TempDir dir;
    TIMAGE_INFO doc;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File("t.pct"), c.file);
        const int rc = doc.Open(dir.File("t.pct"));
        EXPECT_EQ(rc, c.want_rc) << "have " << rc << ", want " << c.want_rc;
        if (rc != kOk || c.want_rc != kOk)
            continue;
        EXPECT_EQ(doc.display_width, c.want_w);
        EXPECT_EQ(doc.display_height, c.want_h);
        EXPECT_EQ(DisplayPixels(doc), c.want_bgr);
        EXPECT_EQ(doc.bits_per_pixel, c.want_bpp);
        EXPECT_EQ(doc.context->compression_name, "RLE");
    }
}

TEST(PictRead, FilesOfOtherProgramsOpenWithTheSamePixels)
{
    TempDir dir;
    struct Source {
        int w, h;
        Bytes pixels;
    };
    const Source few{29, 7, FewColourPixels(29, 7)};
    const Source many{90, 5, PatternPixels(90, 5)}; // rows above 250 bytes: word counts
    const Source narrow{5, 3, PatternPixels(5, 3)};
    struct Writer {
        const char* tool;
        const char* command;
        const Source* source;
    };
    const Writer writers[] = {
        {"ppmtopict", "ppmtopict IN > OUT", &few},
        {"convert", "convert IN PICT:OUT", &few},
        {"convert", "convert IN PICT:OUT", &many},
        {"convert", "convert IN PICT:OUT", &narrow},
    };
    TIMAGE_INFO doc;
    int tried = 0;
    for (const Writer& wr : writers) {
        SCOPED_TRACE(testing::Message() << wr.command << " " << wr.source->w << " x " << wr.source->h);
        if (!HaveTool(wr.tool))
            continue;
        WritePpmFile(dir.File("in.ppm"), wr.source->w, wr.source->h, wr.source->pixels);
        std::string cmd = wr.command;
        cmd.replace(cmd.find("IN"), 2, dir.File("in.ppm"));
        cmd.replace(cmd.find("OUT"), 3, dir.File("out.pct"));
        ASSERT_EQ(RunCommand(cmd + " 2>/dev/null"), 0);
        ASSERT_EQ(doc.Open(dir.File("out.pct")), kOk);
        EXPECT_EQ(doc.display_width, wr.source->w);
        EXPECT_TRUE(DisplayPixels(doc) == wr.source->pixels);
        ++tried;
    }
    if (tried == 0)
        GTEST_SKIP() << "no PICT-writing program found";
}

TEST(PictRead, CorpusBitmapsMatchImageMagick)
{
    const std::string dir = CorpusDir();
    if (dir.empty())
        GTEST_SKIP() << NoCorpus();
    if (!HaveTool("convert"))
        GTEST_SKIP() << "no ImageMagick";
    const char* files[] = {"devil_rgb1.pct", "devil_rgb2.pct", "devil_rgb4.pct", "devil_rgb8.pct",
                           "devil_rgb24klein.pct", "devil_rgb32.pct", "devil_rgb32a.pct", "tm_BLK.pct",
                           "tm_FLAG_B24.pct", "tm_TRU256.pct", "tm_VENUS.pct", "tm_mire16.pct"};
    TempDir tmp;
    TIMAGE_INFO doc;
    for (const char* f : files) {
        SCOPED_TRACE(f);
        const std::string path = dir + "/pct/" + f;
        int w = 0, h = 0;
        Bytes want;
        ASSERT_TRUE(ReadToolPpm("convert " + path + " " + tmp.File("im.ppm"), tmp.File("im.ppm"), w, h, want));
        ASSERT_EQ(doc.Open(path), kOk);
        EXPECT_EQ(doc.display_width, w);
        EXPECT_EQ(doc.display_height, h);
        EXPECT_TRUE(DisplayPixels(doc) == want);
    }
    // Opening the same files again in another order gives the same pictures.
    ASSERT_EQ(doc.Open(dir + "/pct/tm_8.pct"), kOk);
    const Bytes vector_only = DisplayPixels(doc);
    EXPECT_EQ(doc.bits_per_pixel, 24);
    ASSERT_EQ(doc.Open(dir + "/pct/devil_rgb32.pct"), kOk);
    ASSERT_EQ(doc.Open(dir + "/pct/tm_8.pct"), kOk);
    EXPECT_EQ(doc.bits_per_pixel, 24);
    EXPECT_TRUE(DisplayPixels(doc) == vector_only);
    EXPECT_EQ(std::count(vector_only.begin(), vector_only.end(), 255), static_cast<long>(vector_only.size()));
}
