// Paint Shop Pro reading: files of both block layouts (version 3 and version 4 on) built
// here with each channel compression, layers and thumbnails, malformed files, the corpus.
#include "base/Byte_order.h"
#include "base/Result_codes.h"
#include "tests/peers.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <set>

namespace {

enum { kNone = 0, kRle = 1, kLz77 = 2, kJpeg = 3 };

struct PSP_TEST_CHANNEL {
    int bitmap_type; // 0 layer image, 5 thumbnail
    int channel_type; // 1 red, 2 green, 3 blue
    Bytes plane;      // one byte a pixel
    int width;
};

void Put32(Bytes& b, std::uint32_t v)
{
    std::uint8_t t[4];
    StoreDword(kLittleEndian, v, t);
    b.insert(b.end(), t, t + 4);
}
void Put16(Bytes& b, std::uint32_t v)
{
    std::uint8_t t[2];
    StoreWord(kLittleEndian, v, t);
    b.insert(b.end(), t, t + 2);
}

Bytes Pack(const Bytes& plane, int compression, int width)
{
    Bytes out;
    if (compression == kLz77) {
        uLongf n = compressBound(static_cast<uLong>(plane.size()));
        out.resize(n);
        compress(out.data(), &n, plane.data(), static_cast<uLong>(plane.size()));
        out.resize(n);
    } else if (compression == kRle) {
        for (std::size_t i = 0; i < plane.size();) {
            std::size_t run = 1;
            while (i + run < plane.size() && run < 127 && plane[i + run] == plane[i])
                ++run;
            if (run >= 3) {
                out.push_back(static_cast<std::uint8_t>(128 + run));
                out.push_back(plane[i]);
                i += run;
            } else {
                const std::size_t n = std::min<std::size_t>(plane.size() - i, 100);
                out.push_back(static_cast<std::uint8_t>(n));
                out.insert(out.end(), plane.begin() + static_cast<std::ptrdiff_t>(i),
                           plane.begin() + static_cast<std::ptrdiff_t>(i + n));
                i += n;
            }
        }
    } else {
        // Uncompressed rows are padded to 4 bytes.
        const std::size_t padded = (static_cast<std::size_t>(width) + 3) & ~std::size_t{3};
        for (std::size_t y = 0; y < plane.size() / static_cast<std::size_t>(width); ++y) {
            out.insert(out.end(), plane.begin() + static_cast<std::ptrdiff_t>(y * width),
                       plane.begin() + static_cast<std::ptrdiff_t>((y + 1) * width));
            out.insert(out.end(), padded - static_cast<std::size_t>(width), 0);
        }
    }
    return out;
}

void Block(Bytes& file, int major, int id, const Bytes& data)
{
    file.insert(file.end(), {'~', 'B', 'K', 0});
    Put16(file, static_cast<std::uint32_t>(id));
    if (major <= 3)
        Put32(file, static_cast<std::uint32_t>(data.size())); // initial data length
    Put32(file, static_cast<std::uint32_t>(data.size()));
    file.insert(file.end(), data.begin(), data.end());
}

Bytes Psp(int major, int w, int h, int compression, int depth, const std::vector<PSP_TEST_CHANNEL>& channels)
{
    Bytes file(32, 0);
    const char sig[] = "Paint Shop Pro Image File\n\x1a";
    std::copy(sig, sig + sizeof sig - 1, file.begin());
    Put16(file, static_cast<std::uint32_t>(major));
    Put16(file, 0);
    Bytes gia;
    if (major > 3)
        Put32(gia, 46);
    Put32(gia, static_cast<std::uint32_t>(w));
    Put32(gia, static_cast<std::uint32_t>(h));
    gia.insert(gia.end(), 8, 0); // resolution
    gia.push_back(1);
    Put16(gia, static_cast<std::uint32_t>(compression));
    Put16(gia, static_cast<std::uint32_t>(depth));
    Put16(gia, 1);
    Put32(gia, 1u << 24);
    gia.push_back(0);
    Put32(gia, static_cast<std::uint32_t>(w * h * 3));
    Put32(gia, 0);
    Put16(gia, 1);
    if (major > 3)
        Put32(gia, 0);
    Block(file, major, 0, gia);
    for (const PSP_TEST_CHANNEL& c : channels) {
        const Bytes packed = Pack(c.plane, compression, c.width);
        Bytes data;
        if (major > 3)
            Put32(data, 16);
        Put32(data, static_cast<std::uint32_t>(packed.size()));
        Put32(data, static_cast<std::uint32_t>(c.plane.size()));
        Put16(data, static_cast<std::uint32_t>(c.bitmap_type));
        Put16(data, static_cast<std::uint32_t>(c.channel_type));
        data.insert(data.end(), packed.begin(), packed.end());
        Block(file, major, 5, data);
    }
    return file;
}

// The three layer channels of a blue-green-red picture.
std::vector<PSP_TEST_CHANNEL> Channels(const Bytes& bgr, int w, int bitmap_type = 0)
{
    std::vector<PSP_TEST_CHANNEL> out;
    for (int c = 1; c <= 3; ++c) {
        Bytes plane;
        for (std::size_t i = 0; i < bgr.size(); i += 3)
            plane.push_back(bgr[i + 3 - static_cast<std::size_t>(c)]);
        out.push_back({bitmap_type, c, plane, w});
    }
    return out;
}

} // namespace

TEST(PspRead, EveryCompressionAndBlockLayout)
{
    const int w = 13, h = 6; // rows not a multiple of 4
    const Bytes pixels = PatternPixels(w, h);
    const Bytes runs = FewColourPixels(w, h);
    TempDir dir;
    TIMAGE_INFO doc;
    for (const int major : {3, 5})
        for (const int compression : {kNone, kRle, kLz77})
            for (const Bytes* want : {&pixels, &runs})
                for (const bool direct : {false, true}) {
                    SCOPED_TRACE(testing::Message() << "version " << major << " compression " << compression
                                                    << " direct " << direct);
                    WriteBytes(dir.File("t.psp"), Psp(major, w, h, compression, 24, Channels(*want, w)));
                    doc.direct_decode = direct ? 1 : 0;
                    ASSERT_EQ(doc.Open(dir.File("t.psp")), kOk);
                    EXPECT_EQ(doc.bits_per_pixel, 24);
                    EXPECT_EQ(doc.context->compression_name,
                              compression == kNone ? "None" : compression == kRle ? "RLE" : "LZ77");
                    EXPECT_TRUE(DisplayPixels(doc) == *want);
                }
}

TEST(PspRead, FirstLayerShownPastThumbnailsAndOtherLayers)
{
    const int w = 8, h = 4;
    const Bytes first = PatternPixels(w, h), second = FewColourPixels(w, h), thumb = GreyPixels(2, 2);
    std::vector<PSP_TEST_CHANNEL> ch = Channels(thumb, 2, 5);
    auto layer = Channels(first, w);
    std::swap(layer[0], layer[2]); // blue first: channels go by their type, not their order
    ch.insert(ch.end(), layer.begin(), layer.end());
    const auto other = Channels(second, w);
    ch.insert(ch.end(), other.begin(), other.end());
    TempDir dir;
    TIMAGE_INFO doc;
    for (const int major : {3, 6}) {
        SCOPED_TRACE(major);
        WriteBytes(dir.File("t.psp"), Psp(major, w, h, kLz77, 24, ch));
        ASSERT_EQ(doc.Open(dir.File("t.psp")), kOk);
        EXPECT_TRUE(DisplayPixels(doc) == first);
    }
}

TEST(PspRead, MalformedFilesAreRefused)
{
    const int w = 4, h = 2;
    const Bytes px = PatternPixels(w, h);
    struct Case {
        const char* name;
        Bytes file;
        int want_rc;
        const char* want_compression;
    };
    Bytes bad_marker = Psp(3, w, h, kLz77, 24, Channels(px, w));
    bad_marker[36 + 2] = 'X';
    Bytes not_gia = Psp(3, w, h, kLz77, 24, Channels(px, w));
    not_gia[36 + 4] = 1;
    Bytes bad_zlib = Psp(3, w, h, kLz77, 24, Channels(px, w));
    // Corrupt the first channel's zlib header.
    const std::size_t first_data = 36 + 14 + 38 + 14 + 12;
    bad_zlib[first_data] = 0x00;
    bad_zlib[first_data + 1] = 0x00;
    const Bytes run_past = [&] {
        Bytes f = Psp(3, w, h, kRle, 24, {{0, 1, Bytes(8, 1), w}});
        f[f.size() - 2] = 128 + 20; // a run of 20 into a plane of 8
        return f;
    }();
    const Case cases[] = {
        {"5000 x 10", Psp(3, 5000, 10, kLz77, 24, {}), kImageTooLarge, nullptr},
        {"8-bit", Psp(3, w, h, kLz77, 8, Channels(px, w)), kBitDepthNotSupported, nullptr},
        {"marker ~BX", bad_marker, kDataError, nullptr},
        {"first block not the attributes", not_gia, kDataError, nullptr},
        {"zero width", Psp(3, 0, h, kLz77, 24, {}), kDataError, nullptr},
        {"JPEG channels", Psp(3, w, h, kJpeg, 24, {}), kFormatNotSupported, "JPEG"},
        {"unknown compression", Psp(3, w, h, 7, 24, {}), kCompressionNotSupported, nullptr},
        {"no image channel", Psp(3, w, h, kLz77, 24, Channels(px, w, 5)), kDataError, nullptr},
        {"zlib stream that does not inflate", bad_zlib, kDataError, nullptr},
        {"run past the plane", run_past, kDataError, nullptr},
        {"file ends in the attributes", Bytes(bad_marker.begin(), bad_marker.begin() + 60), kDataError, nullptr},
    };
    TempDir dir;
    TIMAGE_INFO doc;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File("t.psp"), c.file);
        doc.context->compression_name.clear();
        const int rc = doc.Open(dir.File("t.psp"));
        EXPECT_EQ(rc, c.want_rc) << "have " << rc << ", want " << c.want_rc;
        if (c.want_compression != nullptr) {
            EXPECT_EQ(doc.context->compression_name, c.want_compression);
        }
    }
}

TEST(PspRead, CutShortZlibStreamEndsInBlack)
{
    const int w = 16, h = 16;
    const Bytes px = PatternPixels(w, h);
    Bytes file = Psp(3, w, h, kLz77, 24, {{0, 1, Bytes(w * h, 200), w}});
    file.resize(file.size() - 6); // the stream loses its end
    TempDir dir;
    TIMAGE_INFO doc;
    WriteBytes(dir.File("t.psp"), file);
    ASSERT_EQ(doc.Open(dir.File("t.psp")), kOk);
    const Bytes got = DisplayPixels(doc);
    for (std::size_t i = 0; i < got.size(); ++i)
        if (i % 3 != 2) {
            ASSERT_EQ(got[i], 0) << "byte " << i; // green and blue channels are missing
    EXPECT_EQ(got[2], 200);
        }
}

TEST(PspRead, CorpusCompressionsGiveTheSamePicture)
{
    const std::string dir = CorpusDir();
    if (dir.empty())
        GTEST_SKIP() << NoCorpus();
    TIMAGE_INFO doc;
    Bytes first;
    for (const auto& [file, name] : {std::pair{"devil_PSP_LZ77.psp", "LZ77"}, std::pair{"devil_PSP_RLE.psp", "RLE"},
                                     std::pair{"devil_PSP_Uncompressed.psp", "None"}}) {
        SCOPED_TRACE(file);
        ASSERT_EQ(doc.Open(dir + "/psp/" + file), kOk);
        EXPECT_EQ(doc.display_width, 200);
        EXPECT_EQ(doc.display_height, 286);
        EXPECT_EQ(doc.context->compression_name, name);
        const Bytes px = DisplayPixels(doc);
        if (first.empty())
            first = px;
        EXPECT_TRUE(px == first);
    }
    // Not a flat picture.
    EXPECT_GT(std::set<std::uint8_t>(first.begin(), first.end()).size(), 100u);
}
