// GIF reading and writing: the encoder's exact bytes and code widths, the reader's layouts
// and failures on hand-made files, when a save reduces colours and when it writes the
// indices a read left, and files of ImageMagick, netpbm and Pillow in both directions.
#include "base/Byte_order.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Gif_cpp_w.h"
#include "tests/peers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace {

// LSB-first bit packing of LZW codes into data sub-blocks, terminator included.
class CodeWriter {
public:
    void Put(unsigned code, int width)
    {
        acc_ |= static_cast<std::uint64_t>(code) << bits_;
        bits_ += width;
        while (bits_ >= 8) {
            bytes_.push_back(static_cast<std::uint8_t>(acc_));
            acc_ >>= 8;
            bits_ -= 8;
        }
    }
    Bytes Blocks(bool terminate = true)
    {
        if (bits_ > 0)
            bytes_.push_back(static_cast<std::uint8_t>(acc_));
        Bytes out;
        for (std::size_t i = 0; i < bytes_.size(); i += 255) {
            const std::size_t n = std::min<std::size_t>(255, bytes_.size() - i);
            out.push_back(static_cast<std::uint8_t>(n));
            out.insert(out.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(i),
                       bytes_.begin() + static_cast<std::ptrdiff_t>(i + n));
        }
        if (terminate)
            out.push_back(0);
        return out;
    }

private:
    Bytes bytes_;
    std::uint64_t acc_ = 0;
    int bits_ = 0;
};

// LZW data that uses only root codes, with a clear code before the table would widen the
// codes: a second, independent encoder for the reader's tests. Ends with the end code
// unless cut.
Bytes RootCodes(const Bytes& indices, int min_size, bool end_code = true, bool terminate = true)
{
    const unsigned clear = 1u << min_size;
    const int width = min_size + 1;
    const unsigned per_segment = std::max(1u, (2u << min_size) - clear - 2);
    CodeWriter w;
    unsigned in_segment = per_segment;
    for (std::uint8_t v : indices) {
        if (in_segment == per_segment) {
            w.Put(clear, width);
            in_segment = 0;
        }
        w.Put(v, width);
        ++in_segment;
    }
    if (end_code)
        w.Put(clear + 1, width);
    return w.Blocks(terminate);
}

Bytes Le16(int v) { return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}; }

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A colour table of n entries, entry i = (red 10 i, green 255 − i, blue 3 i).
Bytes Table(int n)
{
    Bytes t;
    for (int i = 0; i < n; ++i) {
        t.push_back(static_cast<std::uint8_t>(10 * i));
        t.push_back(static_cast<std::uint8_t>(255 - i));
        t.push_back(static_cast<std::uint8_t>(3 * i));
    }
    return t;
}
Bytes Colour(int i) { return {static_cast<std::uint8_t>(3 * i), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(10 * i)}; }

Bytes Screen(int w, int h, int table_code, int background = 0, bool global = true)
{
    return Cat({ToBytes("GIF89a"), Le16(w), Le16(h),
                {static_cast<std::uint8_t>((global ? 0x80 : 0) | 0x70 | table_code),
                 static_cast<std::uint8_t>(background), 0},
                global ? Table(2 << table_code) : Bytes {}});
}

Bytes Image(int left, int top, int w, int h, std::uint8_t flags, const Bytes& data, int min_size = 8,
            const Bytes& local = {})
{
    return Cat({{0x2C}, Le16(left), Le16(top), Le16(w), Le16(h), {flags}, local,
                {static_cast<std::uint8_t>(min_size)}, data});
}

Bytes Pixels(std::initializer_list<int> indices)
{
    Bytes out;
    for (int i : indices)
        out = Cat({out, Colour(i)});
    return out;
}

// A picture whose palette entries share 5-bit cells: a reduction would merge them.
void CellSharingPicture(CODEC_CTX& ctx, int w, int h)
{
    ctx.width = w;
    ctx.height = h;
    ASSERT_EQ(ctx.index.Reserve(static_cast<std::size_t>(w * h)), kOk);
    for (int k = 0; k < 256; ++k) {
        ctx.palette[3 * k] = static_cast<std::uint8_t>(k);     // blue 0..255
        ctx.palette[3 * k + 1] = static_cast<std::uint8_t>(7); // green
        ctx.palette[3 * k + 2] = static_cast<std::uint8_t>(k / 2);
    }
    for (int i = 0; i < w * h; ++i)
        ctx.index.data()[i] = static_cast<std::uint8_t>(i * 7 + i / 3);
}

Bytes ExpandIndices(const CODEC_CTX& ctx)
{
    Bytes out;
    for (int i = 0; i < ctx.width * ctx.height; ++i) {
        const std::uint8_t* c = ctx.palette + 3 * ctx.index.data()[i];
        out.insert(out.end(), c, c + 3);
    }
    return out;
}

} // namespace

TEST(TGIF, OnePixelFileIsByteExact)
{
    TempDir tmp;
    CODEC_CTX ctx;
    ctx.width = 1;
    ctx.height = 1;
    ASSERT_EQ(ctx.index.Reserve(1), kOk);
    ctx.index.data()[0] = 0;
    for (int i = 0; i < 768; ++i)
        ctx.palette[i] = static_cast<std::uint8_t>(i * 5);
    ctx.output_file_name = tmp.File("one.gif");
    TGIF gif;
    ASSERT_EQ(gif.Save(ctx), kOk);
    const Bytes f = ReadBytes(ctx.output_file_name);
    Bytes want = Cat({ToBytes("GIF87a"), Le16(1), Le16(1), {0xE7, 0, 0}});
    for (int k = 0; k < 256; ++k)
        want = Cat({want, {ctx.palette[3 * k + 2], ctx.palette[3 * k + 1], ctx.palette[3 * k]}});
    want = Cat({want, {0x2C}, Le16(0), Le16(0), Le16(1), Le16(1), {0, 8}, {4, 0x00, 0x01, 0x04, 0x04}, {0, 0x3B}});
    ASSERT_EQ(want.size(), 792u + 7u);
    EXPECT_EQ(f, want);

    // Width 300 is stored as 2C 01 in the screen and in the image descriptor.
    ctx.width = 300;
    ASSERT_EQ(ctx.index.Reserve(300), kOk);
    std::memset(ctx.index.data(), 0, 300);
    ASSERT_EQ(gif.Save(ctx), kOk);
    const Bytes wide = ReadBytes(ctx.output_file_name);
    EXPECT_EQ(Bytes(wide.begin() + 6, wide.begin() + 8), (Bytes {0x2C, 0x01}));
    EXPECT_EQ(Bytes(wide.begin() + 786, wide.begin() + 788), (Bytes {0x2C, 0x01}));

    // Too few indices, or no file: a code, nothing written.
    ctx.height = 2;
    EXPECT_EQ(gif.Save(ctx), kDataError);
    ctx.height = 1;
    ctx.output_file_name = tmp.path() + "/missing/dir.gif";
    EXPECT_EQ(gif.Save(ctx), kOpenFileError);
}

TEST(TGIF, CodesWidenAfter512And513AndTheFullTableWritesAClearAt12Bits)
{
    // Every pair of neighbouring indices is new, so each pixel after the first writes the
    // previous index as a root code and takes the next table entry: the code written while
    // the next free code is n is therefore index n − 258 of the picture.
    Bytes seq;
    for (int d = 1; d < 32; d += 2)
        for (int k = 0; k < 256; ++k)
            seq.push_back(static_cast<std::uint8_t>(k * d));
    ASSERT_EQ(seq.size(), 4096u);
    TempDir tmp;
    CODEC_CTX ctx;
    ctx.width = 64;
    ctx.height = 64;
    ASSERT_EQ(ctx.index.Reserve(seq.size()), kOk);
    std::memcpy(ctx.index.data(), seq.data(), seq.size());
    ctx.output_file_name = tmp.File("codes.gif");
    TGIF gif;
    ASSERT_EQ(gif.Save(ctx), kOk);
    const Bytes f = ReadBytes(ctx.output_file_name);
    Bytes data;
    for (std::size_t at = 792; f.at(at) != 0; at += f[at] + 1u)
        data.insert(data.end(), f.begin() + static_cast<std::ptrdiff_t>(at + 1),
                    f.begin() + static_cast<std::ptrdiff_t>(at + 1 + f[at]));
    std::size_t bit = 0;
    auto take = [&](int width) {
        unsigned v = 0;
        for (int i = 0; i < width; ++i, ++bit)
            v |= ((data.at(bit / 8) >> (bit % 8)) & 1u) << i;
        return v;
    };
    auto width_at = [](int next) { return next <= 512 ? 9 : next <= 1024 ? 10 : next <= 2048 ? 11 : 12; };
    ASSERT_EQ(take(9), 256u);
    std::size_t pixel = 0;
    for (int next = 258; next <= 4096; ++next, ++pixel) {
        SCOPED_TRACE("next free code " + std::to_string(next));
        ASSERT_EQ(take(width_at(next)), seq[pixel]);
    }
    EXPECT_EQ(take(12), 256u); // the clear code after the full table, still 12 bits wide
    // Then 9-bit codes again from a fresh table; the last index and the end code make no
    // entry and share one width.
    int next = 258;
    for (; pixel + 1 < seq.size(); ++next, ++pixel)
        ASSERT_EQ(take(width_at(next)), seq[pixel]);
    ASSERT_EQ(next, 514);
    EXPECT_EQ(take(10), seq.back());
    EXPECT_EQ(take(10), 257u);
}

TEST(TGIF, OurFilesOpenWithTheirPaletteColoursHereAndInOtherPrograms)
{
    TempDir tmp;
    CODEC_CTX ctx;
    const int w = 301, h = 157; // many table resets
    CellSharingPicture(ctx, w, h);
    for (int i = 0; i < w * h; ++i)
        ctx.index.data()[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 24);
    ctx.output_file_name = tmp.File("ours.gif");
    TGIF gif;
    ASSERT_EQ(gif.Save(ctx), kOk);
    const Bytes want = ExpandIndices(ctx);
    TIMAGE_INFO doc;
    ASSERT_EQ(doc.Open(ctx.output_file_name), kOk);
    EXPECT_EQ(DisplayPixels(doc), want);
    for (const char* peer : {"netpbm", "im", "pillow"}) {
        SCOPED_TRACE(peer);
        int pw = 0, ph = 0;
        Bytes got;
        bool ok = false;
        if (!PeerDecode(peer, ctx.output_file_name, tmp.File("ref.ppm"), pw, ph, got, ok, "giftopnm"))
            continue;
        ASSERT_TRUE(ok);
        EXPECT_EQ(got, want);
    }
}

TEST(ReadGif, DecodesLayoutsTablesAndPlacement)
{
    const Bytes rows10 = [] {
        // Stream row k of an interlaced 1 × 10 picture holds index k.
        Bytes b;
        for (int k = 0; k < 10; ++k)
            b.push_back(static_cast<std::uint8_t>(k));
        return b;
    }();
    CodeWriter kwk; // 2-bit roots: clear, 1, then 6 (the code about to be made), end
    kwk.Put(4, 3);
    kwk.Put(4, 3);
    kwk.Put(1, 3);
    kwk.Put(6, 3);
    kwk.Put(5, 3);
    struct Case {
        const char* name;
        Bytes file;
        int w, h;
        Bytes want;
    };
    const Bytes black = {0, 0, 0};
    const std::vector<Case> cases = {
        {"interlaced rows come 0 8, 4, 2 6, 1 3 5 7 9",
         Cat({Screen(1, 10, 7), Image(0, 0, 1, 10, 0x40, RootCodes(rows10, 8)), {0x3B}}), 1, 10,
         Pixels({0, 5, 3, 6, 2, 7, 4, 8, 1, 9})},
        {"16-entry global table; indices past it are black",
         Cat({Screen(2, 1, 3), Image(0, 0, 2, 1, 0, RootCodes({15, 16}, 5), 5), {0x3B}}), 2, 1,
         Cat({Colour(15), black})},
        {"no global table, a local one",
         Cat({Screen(2, 1, 0, 0, false), Image(0, 0, 2, 1, 0x81, RootCodes({3, 1}, 2), 2, Table(4)), {0x3B}}), 2,
         1, Pixels({3, 1})},
        {"image placed at its offsets; the rest takes the background index",
         Cat({Screen(3, 2, 7, 4), Image(1, 1, 2, 1, 0, RootCodes({1, 2}, 8)), {0x3B}}), 3, 2,
         Pixels({4, 4, 4, 4, 1, 2})},
        {"an image larger than the screen grows the picture",
         Cat({Screen(1, 1, 7), Image(0, 0, 2, 2, 0, RootCodes({1, 2, 3, 4}, 8)), {0x3B}}), 2, 2,
         Pixels({1, 2, 3, 4})},
        {"first frame of an animation; a later local table changes nothing",
         Cat({Screen(2, 1, 7), {0x21, 0xFF, 11}, ToBytes("NETSCAPE2.0"), {3, 1, 0, 0, 0},
              {0x21, 0xF9, 4, 1, 10, 0, 1, 0}, // transparent index 1: shown in its colour
              Image(0, 0, 2, 1, 0, RootCodes({1, 2}, 8)),
              Image(0, 0, 2, 1, 0x81, RootCodes({0, 0}, 2), 2, Bytes(12, 0xEE)), {0x3B}}),
         2, 1, Pixels({1, 2})},
        {"a code about to be made is the previous string plus its first index",
         Cat({Screen(3, 1, 1), Image(0, 0, 3, 1, 0, kwk.Blocks(), 2), {0x3B}}), 3, 1, Pixels({1, 1, 1})},
        {"an end code before the last row leaves the rest black",
         Cat({Screen(2, 2, 7), Image(0, 0, 2, 2, 0, RootCodes({5, 6, 7}, 8)), {0x3B}}), 2, 2,
         Cat({Pixels({5, 6, 7}), black})},
        {"data that ends without an end code or terminator, and no trailer",
         Cat({Screen(2, 1, 7), Image(0, 0, 2, 1, 0, RootCodes({5}, 8, false, false))}), 2, 1,
         Cat({Pixels({5}), black})},
        {"a code past the table ends the image",
         Cat({Screen(3, 1, 1), Image(0, 0, 3, 1, 0, [] {
                  CodeWriter c;
                  c.Put(4, 3);
                  c.Put(2, 3);
                  c.Put(7, 3);
                  return c.Blocks();
              }(), 2), {0x3B}}),
         3, 1, Cat({Pixels({2}), black, black})},
    };
    TempDir tmp;
    TIMAGE_INFO doc;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(tmp.File("case.gif"), c.file);
        LoadPicture(doc, c.w, c.h, Bytes(static_cast<std::size_t>(c.w * c.h * 3), 0x5A)); // stale pixels
        ASSERT_EQ(doc.Open(tmp.File("case.gif")), kOk);
        EXPECT_EQ(doc.display->Width(), c.w);
        EXPECT_EQ(doc.display->Height(), c.h);
        EXPECT_EQ(DisplayPixels(doc), c.want);
        EXPECT_EQ(doc.context->compression_name, "LZW");
        // Complete images leave indices and palette that show the same picture.
        if (doc.context->index_matches_picture) {
            EXPECT_EQ(ExpandIndices(*doc.context), c.want);
        }
        // The preview's direct decoding shows the same picture.
        doc.direct_decode = 1;
        ASSERT_EQ(doc.Open(tmp.File("case.gif")), kOk);
        EXPECT_EQ(DisplayPixels(doc), c.want);
    }
}

TEST(ReadGif, RefusesBrokenFilesWithTheirCode)
{
    const Bytes image = Image(0, 0, 1, 1, 0, RootCodes({1}, 8));
    const Bytes screen = Screen(1, 1, 7);
    const struct {
        const char* name;
        Bytes file;
        int want;
    } cases[] = {
        {"upper-case version", Cat({ToBytes("GIF87A"), Bytes(20, 0)}), kDataError},
        {"wrong signature", Cat({ToBytes("GIX89a"), Bytes(20, 0)}), kMagicError},
        {"not a GIF", ToBytes("hello"), kMagicError},
        {"screen descriptor cut", Cat({ToBytes("GIF89a"), {1, 0}}), kDataError},
        {"zero width", Cat({Screen(0, 1, 7), image, {0x3B}}), kDataError},
        {"colour table cut", Bytes(screen.begin(), screen.begin() + 100), kDataError},
        {"no image before the trailer", Cat({Screen(1, 1, 7), {0x3B}}), kDataError},
        {"the file ends before an image", Screen(1, 1, 7), kDataError},
        {"extension label missing", Cat({Screen(1, 1, 7), {0x21}}), kDataError},
        {"image descriptor cut", Cat({Screen(1, 1, 7), {0x2C, 0, 0}}), kDataError},
        {"LZW minimum code size 0", Cat({Screen(1, 1, 7), Image(0, 0, 1, 1, 0, RootCodes({0}, 1), 0), {0x3B}}),
         kDataError},
        {"LZW minimum code size 12", Cat({Screen(1, 1, 7), Image(0, 0, 1, 1, 0, RootCodes({0}, 1), 12), {0x3B}}),
         kDataError},
        {"image of zero height", Cat({Screen(1, 1, 7), Image(0, 0, 1, 0, 0, RootCodes({0}, 8)), {0x3B}}), kDataError},
        {"a huge image from a few bytes",
         Cat({Screen(32, 32, 7), Image(0, 0, 65535, 10495, 0, RootCodes({1, 2, 3}, 8)), {0x3B}}), kDataError},
        {"a huge screen around a small image",
         Cat({Screen(60000, 60000, 7), Image(0, 0, 1, 1, 0, RootCodes({1}, 8)), {0x3B}}), kDataError},
    };
    TempDir tmp;
    TIMAGE_INFO doc;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(tmp.File("bad.gif"), c.file);
        EXPECT_EQ(doc.Open(tmp.File("bad.gif")), c.want);
    }
    EXPECT_EQ(doc.Open(tmp.File("missing.gif")), kOpenFileError);
}

TEST(WriteGif, WritesAGifsOwnIndicesAndReducesEveryOtherPicture)
{
    TempDir tmp;
    TIMAGE_INFO doc;
    // A GIF whose 256 colours share 5-bit cells: a reduction would merge them.
    {
        CODEC_CTX& ctx = *doc.context;
        CellSharingPicture(ctx, 40, 30);
        ctx.output_file_name = tmp.File("source.gif");
        TGIF gif;
        ASSERT_EQ(gif.Save(ctx), kOk);
    }
    ASSERT_EQ(doc.Open(tmp.File("source.gif")), kOk);
    const Bytes original = DisplayPixels(doc);

    SCOPED_TRACE("a GIF just read is written back as it is");
    ASSERT_EQ(PrepareSave(doc, kSaveGif, tmp.File("again.gif")), kOk);
    ASSERT_EQ(doc.Save(), kOk);
    TIMAGE_INFO back;
    ASSERT_EQ(back.Open(tmp.File("again.gif")), kOk);
    EXPECT_EQ(DisplayPixels(back), original);

    SCOPED_TRACE("indices overwritten by another codec since are not trusted");
    std::memset(doc.context->index.data(), 3, 100);
    ASSERT_EQ(PrepareSave(doc, kSaveGif, tmp.File("clobbered.gif")), kOk);
    ASSERT_EQ(doc.Save(), kOk);
    ASSERT_EQ(back.Open(tmp.File("clobbered.gif")), kOk);
    EXPECT_NE(DisplayPixels(back), original); // reduced: the shared cells merged
    EXPECT_LE(back.CountColors(), 64);

    SCOPED_TRACE("an edited GIF writes the edit");
    ASSERT_EQ(doc.Open(tmp.File("source.gif")), kOk);
    CODEC_CTX& ctx = *doc.context;
    ASSERT_EQ(ctx.work.Reserve(ctx.decoded.size()), kOk);
    for (std::size_t i = 0; i < ctx.decoded.size(); i += 3) {
        ctx.work.data()[i] = 200;
        ctx.work.data()[i + 1] = 100;
        ctx.work.data()[i + 2] = 50;
    }
    doc.edited = 1;
    ASSERT_EQ(PrepareSave(doc, kSaveGif, tmp.File("edited.gif")), kOk);
    ASSERT_EQ(doc.Save(), kOk);
    ASSERT_EQ(back.Open(tmp.File("edited.gif")), kOk);
    EXPECT_EQ(DisplayPixels(back), Bytes(ctx.work.data(), ctx.work.data() + ctx.work.size()));

    SCOPED_TRACE("an 8-bit picture of another format does not reuse a GIF's indices");
    ASSERT_EQ(doc.Open(tmp.File("source.gif")), kOk);
    Bytes pgm = ToBytes("P5\n40 30\n255\n");
    for (int i = 0; i < 40 * 30; ++i)
        pgm.push_back(static_cast<std::uint8_t>(i % 256 / 64 * 80));
    WriteBytes(tmp.File("grey.pgm"), pgm);
    ASSERT_EQ(doc.Open(tmp.File("grey.pgm")), kOk);
    ASSERT_EQ(PrepareSave(doc, kSaveGif, tmp.File("grey.gif")), kOk);
    ASSERT_EQ(doc.Save(), kOk);
    ASSERT_EQ(back.Open(tmp.File("grey.gif")), kOk);
    EXPECT_EQ(DisplayPixels(back), DisplayPixels(doc)); // four greys in four cells survive

    SCOPED_TRACE("a 24-bit picture past 1,048,576 pixels is reduced and written whole");
    const int w = 1100, h = 1000;
    LoadPicture(doc, w, h, PatternPixels(w, h));
    ASSERT_EQ(PrepareSave(doc, kSaveGif, tmp.File("big.gif")), kOk);
    ASSERT_EQ(doc.Save(), kOk);
    ASSERT_EQ(back.Open(tmp.File("big.gif")), kOk);
    EXPECT_EQ(back.display->Width(), w);
    EXPECT_EQ(DisplayPixels(back), ExpandIndices(*doc.context));
}

TEST(ReadGif, FilesOfOtherProgramsMatchPillow)
{
    const std::string py = PillowPython();
    if (py.empty())
        GTEST_SKIP() << "no Pillow";
    TempDir tmp;
    const int w = 37, h = 11;
    const std::string src = tmp.File("src.ppm"), src16 = tmp.File("src16.ppm");
    WritePpmFile(src, w, h, PatternPixels(w, h));
    Bytes few(static_cast<std::size_t>(w * h * 3));
    for (std::size_t i = 0; i < few.size(); ++i)
        few[i] = static_cast<std::uint8_t>(((i / 3) % 16) * 17 * ((i % 3) + 1) / 3);
    WritePpmFile(src16, w, h, few);
    std::vector<std::string> makers = {
        py + " -c \"from PIL import Image; Image.open('" + src + "').convert('P').save('OUT')\"",
        py + " -c \"from PIL import Image; Image.open('" + src16 + "').convert('P').save('OUT', interlace=True)\"",
        py + " -c \"from PIL import Image; Image.open('" + src + "').convert('1').save('OUT')\"",
        py + " -c \"from PIL import Image; a=Image.open('" + src + "'); a.save('OUT', save_all=True, "
             "append_images=[a.rotate(180), a.transpose(0)], duration=50)\"",
    };
    if (HaveTool("convert")) {
        makers.push_back("convert " + src + " OUT");
        makers.push_back("convert " + src16 + " -interlace GIF OUT");
        makers.push_back("convert -delay 5 " + src16 + " -page +3+2 " + src + " OUT");
    }
    if (HaveTool("pamtogif")) {
        makers.push_back("pamtogif " + src16 + " > OUT 2>/dev/null");
        makers.push_back("pamtogif -interlace -sort " + src16 + " > OUT 2>/dev/null");
    }
    TIMAGE_INFO doc;
    for (const std::string& m : makers) {
        SCOPED_TRACE(m);
        const std::string out = tmp.File("peer.gif");
        std::string cmd = m;
        for (std::size_t at; (at = cmd.find("OUT")) != std::string::npos;)
            cmd.replace(at, 3, out);
        ASSERT_EQ(RunCommand(cmd), 0);
        int pw = 0, ph = 0;
        Bytes want;
        bool ok = false;
        ASSERT_TRUE(PeerDecode("pillow", out, tmp.File("ref.ppm"), pw, ph, want, ok));
        ASSERT_TRUE(ok);
        ASSERT_EQ(doc.Open(out), kOk);
        EXPECT_EQ(doc.display->Width(), pw);
        EXPECT_EQ(DisplayPixels(doc), want);
    }
}

TEST(ReadGif, CorpusFilesMatchPillow)
{
    const std::string dir = CorpusDir();
    if (dir.empty())
        GTEST_SKIP() << NoCorpus();
    if (PillowPython().empty())
        GTEST_SKIP() << "no Pillow";
    namespace fs = std::filesystem;
    TempDir tmp;
    TIMAGE_INFO doc;
    int compared = 0;
    for (const auto& e : fs::directory_iterator(dir + "/gif")) {
        SCOPED_TRACE(e.path().filename().string());
        const int rc = doc.Open(e.path().string());
        int pw = 0, ph = 0;
        Bytes want;
        bool ok = false;
        PeerDecode("pillow", e.path().string(), tmp.File("ref.ppm"), pw, ph, want, ok);
        if (rc != kOk || !ok)
            continue;
        EXPECT_EQ(DisplayPixels(doc), want);
        ++compared;
    }
    EXPECT_GE(compared, 15);
}
