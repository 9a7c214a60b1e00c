// FITS: header cards, sample types, the grey stretch, planes, malformed files, and the
// display bitmap the reader draws itself.
#include "dec_enc/Codecs.h"
#include "tests/open_bytes.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace {

// Header cards padded to 80 characters and to a 2880-byte block, then the data.
Bytes Fits(const std::vector<std::string>& cards, const Bytes& data, bool end = true)
{
    std::string h;
    for (const std::string& c : cards)
        h += (c + std::string(80, ' ')).substr(0, 80);
    if (end)
        h += "END" + std::string(77, ' ');
    h.resize((h.size() + 2879) / 2880 * 2880, ' ');
    Bytes b(h.begin(), h.end());
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

std::string Card(const std::string& key, const std::string& value)
{
    return (key + std::string(8, ' ')).substr(0, 8) + "= " + std::string(20 - std::min<std::size_t>(20, value.size()), ' ') +
           value + " / comment END";
}

std::vector<std::string> Axes(int bitpix, int w, int h, int planes = 0)
{
    std::vector<std::string> c{Card("SIMPLE", "T"), Card("BITPIX", std::to_string(bitpix)),
                               Card("NAXIS", planes ? "3" : "2"), Card("NAXIS1", std::to_string(w)),
                               Card("NAXIS2", std::to_string(h))};
    if (planes)
        c.push_back(Card("NAXIS3", std::to_string(planes)));
    return c;
}

Bytes Grey(std::initializer_list<int> values)
{
    Bytes b;
    for (int v : values)
        b = Cat({b, Px(v, v, v)});
    return b;
}

Bytes Be16(std::initializer_list<int> values)
{
    Bytes b;
    for (int v : values) {
        b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    }
    return b;
}

template <typename T>
Bytes BeFloat(std::initializer_list<T> values)
{
    Bytes b;
    for (T v : values) {
        using U = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
        const U bits = std::bit_cast<U>(v);
        for (int k = static_cast<int>(sizeof(T)) - 1; k >= 0; --k)
            b.push_back(static_cast<std::uint8_t>(bits >> (8 * k)));
    }
    return b;
}

TEST(Fits, SamplesScalesAndPlanes)
{
    struct Case {
        const char* name;
        Bytes file;
        Bytes want;
        int bpp;
    };
    auto with = [](std::vector<std::string> cards, std::initializer_list<std::string> more) {
        cards.insert(cards.end(), more.begin(), more.end());
        return cards;
    };
    const Case cases[] = {
        {"8-bit bytes unchanged, first data row at the bottom", Fits(Axes(8, 3, 2), {0, 10, 255, 7, 8, 9}),
         Grey({7, 8, 9, 0, 10, 255}), 8},
        {"float 0..1 stretched", Fits(Axes(-32, 3, 1), BeFloat<float>({0.0f, 0.5f, 1.0f})), Grey({0, 127, 255}), -32},
        {"big-endian doubles; a range of 4 is shown as it is", Fits(Axes(-64, 2, 1), BeFloat<double>({-2.0, 2.0})), Grey({0, 4}), -64},
        {"16-bit data wider than 255 is stretched", Fits(Axes(16, 3, 1), Be16({0, 2000, 4000})),
         Grey({0, 127, 255}), 16},
        {"DATAMIN and DATAMAX given", Fits(with(Axes(16, 3, 1), {Card("DATAMIN", "100"), Card("DATAMAX", "200")}),
                                          Be16({50, 150, 300})),
         Grey({0, 50, 200}), 16},
        {"BZERO and BSCALE; DATAMIN comes from the plane", Fits(with(Axes(16, 2, 1), {Card("BZERO", "32768"), Card("BSCALE", "1.0")}),
                                  Be16({0x8000 - 65536, 0x8000 - 65536 + 100})),
         Grey({0, 100}), 16},
        {"lower-case bscale is not honoured, lower-case naxis1 is",
         Fits({Card("SIMPLE", "T"), Card("BITPIX", "8"), Card("NAXIS", "2"), Card("naxis1", "2"),
               Card("NAXIS2", "1"), Card("bscale", "0.5")},
              {100, 200}),
         Grey({0, 100}), 8},
        {"the third plane of three", Fits(Axes(8, 2, 1, 3), {1, 2, 3, 4, 50, 60}), Grey({0, 10}), 8},
        {"32-bit signed", Fits(with(Axes(32, 2, 1), {Card("DATAMIN", "-10"), Card("DATAMAX", "10")}),
                               {0xFF, 0xFF, 0xFF, 0xF6, 0, 0, 0, 5}),
         Grey({0, 15}), 32},
        {"NaN shows black", Fits(Axes(-32, 3, 1), BeFloat<float>({0.0f, std::nanf(""), 1.0f})), Grey({0, 0, 255}), -32},
        {"a flat plane is black", Fits(Axes(8, 2, 1), {9, 9}), Grey({0, 0}), 8},
        {"unsigned 16-bit through BZERO with the full range given",
         Fits(with(Axes(16, 4, 1), {Card("BZERO", "3.27680E+04"), Card("DATAMAX", "6.55350E+04"), Card("DATAMIN", "0.0")}),
              Be16({-32768, -16384, 0, 32767})),
         Grey({0, 63, 127, 255}), 16},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const OPENED o = OpenBytes(dir, "a.fit", c.file);
        ASSERT_EQ(o.rc, kOk);
        EXPECT_EQ(o.bpp, c.bpp);
        EXPECT_EQ(o.bgr, c.want);
    }
}

TEST(Fits, DrawsTheDisplayBitmapAndFillsTheDecodedPixels)
{
    TempDir dir;
    Bytes data(100 * 50);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7);
    WriteBytes(dir.File("big.fit"), Fits(Axes(8, 100, 50), data));
    TIMAGE_INFO doc;
    LoadPicture(doc, 3, 3, Bytes(27, 0xEE));
    ASSERT_EQ(doc.Open(dir.File("big.fit")), kOk);
    ASSERT_EQ(doc.display->Width(), 100);
    ASSERT_EQ(doc.display->Height(), 50);
    EXPECT_EQ(doc.context->compression_name, "None");
    const Bytes shown = DisplayPixels(doc);
    const Bytes decoded(doc.context->decoded.data(), doc.context->decoded.data() + shown.size());
    EXPECT_EQ(shown, decoded);
    EXPECT_EQ(shown[0], data[49 * 100]) << "top-left is the first sample of the last data row";
    EXPECT_EQ(shown[3 * (49 * 100 + 1)], data[1]);

    // Without a document only the decoded pixels are filled.
    CODEC_CTX ctx;
    ctx.input_file_name = dir.File("big.fit");
    ASSERT_EQ(ReadFits(ctx), kOk);
    EXPECT_EQ(Bytes(ctx.decoded.data(), ctx.decoded.data() + shown.size()), shown);
}

TEST(Fits, MalformedFilesEndInResultCodes)
{
    auto cards = [](std::initializer_list<std::pair<const char*, const char*>> kv) {
        std::vector<std::string> c;
        for (auto [k, v] : kv)
            c.push_back(Card(k, v));
        return c;
    };
    const struct {
        const char* name;
        Bytes file;
        int want;
    } cases[] = {
        {"empty", {}, kMagicError},
        {"not SIMPLE first", Fits(cards({{"BITPIX", "8"}, {"SIMPLE", "T"}}), {}), kMagicError},
        {"SIMPLE false", Fits(cards({{"SIMPLE", "F"}, {"NAXIS", "2"}, {"NAXIS1", "1"}, {"NAXIS2", "1"}}), {0}),
         kFormatNotSupported},
        {"no axes", Fits(cards({{"SIMPLE", "T"}, {"NAXIS", "0"}}), {}), kFormatNotSupported},
        {"five axes", Fits(cards({{"SIMPLE", "T"}, {"NAXIS", "5"}}), {0}), kFormatNotSupported},
        {"empty first axis", Fits(cards({{"SIMPLE", "T"}, {"NAXIS", "2"}, {"NAXIS1", "0"}, {"NAXIS2", "4"}}), {}),
         kFormatNotSupported},
        {"no END", Fits(Axes(8, 1, 1), {1}, false), kDataError},
        {"BITPIX 12", Fits(Axes(12, 1, 1), {1, 2}), kBitDepthNotSupported},
        {"data far short of the header", Fits(Axes(16, 1000, 1000), {1, 2}), kDataError},
        {"planes past the file", Fits(Axes(8, 10, 10, 50), Bytes(100)), kDataError},
        {"sizes past the cap", Fits(Axes(8, 100000, 100000), {1}), kImageTooLarge},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OpenBytes(dir, "bad.fit", c.file).rc, c.want);
    }
}

TEST(Fits, TruncatedDataEndsInBlack)
{
    TempDir dir;
    TIMAGE_INFO doc;
    LoadPicture(doc, 2, 2, Bytes(12, 0xEE));
    WriteBytes(dir.File("t.fit"), Fits(Axes(8, 2, 2), {0, 255, 128}));
    ASSERT_EQ(doc.Open(dir.File("t.fit")), kOk);
    // The first data row is the bottom one; the half of the top row that is missing is black.
    EXPECT_EQ(DisplayPixels(doc), Grey({128, 0, 0, 255}));
}

TEST(Fits, EightBitFilesOpenLikeImageMagickDecodesThem)
{
    if (!HaveTool("convert"))
        GTEST_SKIP() << "no ImageMagick";
    TempDir dir;
    const std::string src = dir.File("src.pgm");
    ASSERT_EQ(RunCommand("convert -size 17x9 gradient:black-white -swirl 90 -depth 8 " + src), 0);
    ASSERT_EQ(RunCommand("convert " + src + " FITS:" + dir.File("im.fit")), 0);
    const OPENED o = OpenFile(dir.File("im.fit"));
    ASSERT_EQ(o.rc, kOk);
    int w = 0, h = 0;
    Bytes want;
    ASSERT_TRUE(ToolDecode("convert " + dir.File("im.fit") + " -depth 8 PPM:-", w, h, want));
    EXPECT_EQ(o.bgr, want);
}

// A Python interpreter that has astropy, or "".
std::string AstropyPython()
{
    for (const char* p : {"python3", "/usr/bin/python3"})
        if (RunCommand(std::string(p) + " -c 'import astropy.io.fits' >/dev/null 2>&1") == 0)
            return p;
    return {};
}

TEST(Fits, GreysFollowAstropysSamples)
{
    const std::string python = AstropyPython();
    if (python.empty())
        GTEST_SKIP() << "astropy is missing (python3-astropy): FITS decodes are not compared";
    TempDir dir;
    std::vector<std::string> files;
    if (HaveTool("pamtofits")) {
        // netpbm writes BZERO 32768 with DATAMIN and DATAMAX for 16-bit samples.
        auto be16_ramp = [](int n, int max) {
            Bytes b;
            for (int i = 0; i < n; ++i) {
                const int v = i * max / (n - 1);
                b.push_back(static_cast<std::uint8_t>(v >> 8));
                b.push_back(static_cast<std::uint8_t>(v & 0xFF));
            }
            return b;
        };
        const std::pair<std::string, Bytes> made[] = {
            {"grey16", Cat({ToBytes("P5\n16 4\n65535\n"), be16_ramp(64, 65535)})},
            {"grey1000", Cat({ToBytes("P5\n8 2\n1000\n"), be16_ramp(16, 1000)})},
            {"grey8", Cat({ToBytes("P5\n9 3\n255\n"), PatternPixels(9, 1)})},
            {"colour16", Cat({ToBytes("P6\n5 2\n65535\n"), be16_ramp(30, 65535)})},
        };
        for (const auto& [name, pnm] : made) {
            WriteBytes(dir.File(name + ".pnm"), pnm);
            ASSERT_EQ(RunCommand("pamtofits '" + dir.File(name + ".pnm") + "' > '" + dir.File(name + ".fit") +
                                 "' 2>/dev/null"),
                      0);
            files.push_back(dir.File(name + ".fit"));
        }
    }
    for (const CorpusEntry& e : CorpusEntries("fit"))
        files.push_back(e.path);
    int compared = 0;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const OPENED o = OpenFile(file);
        if (o.rc != kOk)
            continue; // refusals are pinned by the corpus test
        const int rc = RunCommand(python + " '" RAVELSCOPE_SOURCE_DIR "/tests/fits_greys.py' '" + file + "' '" +
                                  dir.File("want.ppm") + "' 2>/dev/null");
        if (rc != 0) {
            EXPECT_FALSE(file.starts_with(dir.path())) << "astropy reads every file netpbm wrote";
            continue;
        }
        int w = 0, h = 0;
        Bytes want;
        ASSERT_TRUE(ParsePpm(ReadBytes(dir.File("want.ppm")), w, h, want));
        ASSERT_EQ(w, o.width);
        ASSERT_EQ(h, o.height);
        ASSERT_EQ(want.size(), o.bgr.size());
        // astropy scales 16-bit samples in single precision: a grey may land one step away.
        std::size_t off = 0;
        for (std::size_t i = 0; i < want.size(); ++i)
            off += std::abs(int(want[i]) - int(o.bgr[i])) > 1;
        EXPECT_EQ(off, 0u) << "greys further than one step from astropy's";
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

TEST(Fits, CorpusFilesEndInTheirExpectedCodes)
{
    const std::string corpus = CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << NoCorpus();
    const std::pair<const char*, int> cases[] = {
        {"hopper.fit", kOk},           {"m13.fit", kOk},
        {"im_input.fit", kOk},         {"devil_WFPC2u5780205r_c0fx.fit", kOk},
        {"astropy_scale.fit", kOk},    {"hopper_naxis_zero.fit", kFormatNotSupported},
        {"astropy_group.fit", kFormatNotSupported},
    };
    for (auto [file, want] : cases) {
        const std::string path = corpus + "/fit/" + file;
        if (!std::filesystem::exists(path))
            continue;
        SCOPED_TRACE(path);
        EXPECT_EQ(OpenFile(path).rc, want);
    }
}

} // namespace
