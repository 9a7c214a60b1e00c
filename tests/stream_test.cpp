// Row streaming: every pair a stream serves writes what the document path writes (PNG:
// the same pixels), and the variants a stream does not read as the readers do are left to
// the document.
#include "base/Byte_order.h"
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "core/Stream_convert.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// The bytes our writer of save code makes of a w × h picture.
Bytes Written(const TempDir& dir, std::int32_t code, int w, int h, const Bytes& bgr)
{
    TIMAGE_INFO doc;
    LoadPicture(doc, w, h, bgr);
    const std::string path = dir.File(std::string("written") + SaveExtension(code));
    EXPECT_EQ(PrepareSave(doc, code, path), kOk);
    EXPECT_EQ(doc.Save(), kOk);
    return ReadBytes(path);
}

// The document path: open in, save it with the writer of code.
int ThroughDocument(const std::string& in, std::int32_t code, const std::string& out)
{
    TIMAGE_INFO doc;
    if (int rc = doc.Open(in); rc != kOk)
        return rc;
    if (int rc = PrepareSave(doc, code, out); rc != kOk)
        return rc;
    return doc.Save();
}

StreamOutcome Stream(const std::string& in, std::int32_t code, const std::string& out)
{
    int rc = kOk, sys_error = 0;
    bool reading = false;
    const StreamOutcome o = StreamConvert(in, out, code, rc, sys_error, reading);
    EXPECT_EQ(rc, kOk);
    return o;
}

Bytes OpenedPixels(const std::string& path)
{
    TIMAGE_INFO doc;
    EXPECT_EQ(doc.Open(path), kOk) << path;
    return DisplayPixels(doc);
}

Bytes Ppm(const std::string& head, const Bytes& samples)
{
    Bytes f = ToBytes(head);
    f.insert(f.end(), samples.begin(), samples.end());
    return f;
}

} // namespace

TEST(StreamConvert, WritesWhatTheDocumentPathWrites)
{
    TempDir dir;
    const int w = 5, h = 3; // odd: BMP rows carry padding, Sun rows a pad byte
    const Bytes pic = PatternPixels(w, h);
    struct Source {
        const char* name;
        Bytes bytes;
    };
    std::vector<Source> sources;
    for (std::int32_t code : {kSavePpm, kSavePgm, kSaveBmp, kSaveTga, kSaveSun, kSavePng, kSaveJpeg, kSaveTiff})
        sources.push_back({SaveExtension(code), Written(dir, code, w, h, pic)});
    Bytes samples(static_cast<std::size_t>(w * h * 3));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::uint8_t>(i % 16);
    sources.push_back({".ppm", Ppm("P6\n5 3\n15\n", samples)}); // scaled samples
    sources.push_back({".pbm", Ppm("P4\n5 3\n", {0xA8, 0x50, 0xF8})});
    Bytes top_down = sources[2].bytes; // the BMP with its rows from the top
    StoreDword(kLittleEndian, static_cast<std::uint32_t>(-h), top_down.data() + 22);
    sources.push_back({".bmp", top_down});
    Bytes tga32 = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 3, 0, 32, 0x20}; // top row first, alpha dropped
    for (std::size_t i = 0; i < pic.size(); i += 3)
        tga32.insert(tga32.end(), {pic[i], pic[i + 1], pic[i + 2], 0x7F});
    sources.push_back({".tga", tga32});
    Bytes sun_rgb = sources[4].bytes; // type 3: red-green-blue rows
    StoreDword(kBigEndian, 3, sun_rgb.data() + 20);
    sources.push_back({".sun", sun_rgb});

    for (std::size_t s = 0; s < sources.size(); ++s) {
        const std::string in = dir.File("in" + std::to_string(s) + sources[s].name);
        WriteBytes(in, sources[s].bytes);
        for (std::int32_t code : {kSavePpm, kSavePgm, kSaveBmp, kSaveTga, kSaveSun, kSavePng, kSaveTiff}) {
            SCOPED_TRACE(std::string(sources[s].name) + " #" + std::to_string(s) + " to " + SaveExtension(code));
            const std::string streamed = dir.File(std::string("streamed") + SaveExtension(code));
            const std::string saved = dir.File(std::string("saved") + SaveExtension(code));
            ASSERT_EQ(Stream(in, code, streamed), StreamOutcome::kConverted);
            ASSERT_EQ(ThroughDocument(in, code, saved), kOk);
            if (code == kSavePng) {
                EXPECT_EQ(OpenedPixels(streamed), OpenedPixels(saved));
                if (HaveTool("pngcheck")) {
                    EXPECT_EQ(RunCommand("pngcheck -q '" + streamed + "' >/dev/null"), 0);
                }
            } else {
                EXPECT_EQ(ReadBytes(streamed), ReadBytes(saved));
            }
        }
    }
}

TEST(StreamConvert, LeavesOtherVariantsToTheDocument)
{
    TempDir dir;
    const Bytes jpeg = [&] {
        TIMAGE_INFO doc;
        LoadPicture(doc, 2, 2, PatternPixels(2, 2));
        EXPECT_EQ(PrepareSave(doc, kSaveJpeg, dir.File("a.jpg")), kOk);
        EXPECT_EQ(doc.Save(), kOk);
        return ReadBytes(dir.File("a.jpg"));
    }();
    // The JPEG turned by an Exif orientation of 6 (the document turns it after the read).
    Bytes turned(jpeg.begin(), jpeg.begin() + 2);
    Bytes exif = {0xFF, 0xE1, 0, 34, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                  0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0};
    turned.insert(turned.end(), exif.begin(), exif.end());
    turned.insert(turned.end(), jpeg.begin() + 2, jpeg.end());
    struct Case {
        const char* name;
        Bytes bytes;
        std::int32_t code;
    };
    const Case cases[] = {
        {"plain.ppm", ToBytes("P3\n1 1\n255\n1 2 3\n"), kSavePng},
        {"sixteen.ppm", Ppm("P6\n1 1\n65535\n", {1, 2, 3, 4, 5, 6}), kSavePng},
        {"short.ppm", ToBytes("P6\n2 2\n255\nabcdef"), kSavePng},
        {"rle.tga", {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 0x80, 1, 2, 3}, kSavePng},
        {"turned.jpg", turned, kSavePpm},
        {"other.gif", ToBytes("GIF89a"), kSavePng},
        {"in.ppm", ToBytes("P6\n1 1\n255\nabc"), kSaveGif},
        {"in.ppm", ToBytes("P6\n1 1\n255\nabc"), kSavePcx},
        {"in.ppm", ToBytes("P6\n1 1\n255\nabc"), kSaveJpeg}, // quality and metadata are the document's
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File(c.name), c.bytes);
        const std::string out = dir.File(std::string("out") + SaveExtension(c.code));
        EXPECT_EQ(Stream(dir.File(c.name), c.code, out), StreamOutcome::kNotStreamed);
        struct stat st {};
        EXPECT_NE(stat(out.c_str(), &st), 0) << "nothing written";
    }
}

TEST(StreamConvert, AFailedWriteLeavesTheTargetAndSaysWhy)
{
    TempDir dir;
    WriteBytes(dir.File("in.ppm"), ToBytes("P6\n1 1\n255\nabc"));
    WriteBytes(dir.File("keep.png"), ToBytes("old"));
    int rc = kOk, sys_error = 0;
    bool reading = true;
    EXPECT_EQ(StreamConvert(dir.File("in.ppm"), dir.File("no/such/dir/x.png"), kSavePng, rc, sys_error, reading),
              StreamOutcome::kFailed);
    EXPECT_EQ(rc, kOpenFileError);
    EXPECT_NE(sys_error, 0);
    EXPECT_FALSE(reading);

    // A PNG whose data breaks off after the header fails while reading; the old file stays.
    Bytes png = Written(dir, kSavePng, 64, 64, PatternPixels(64, 64));
    png.resize(png.size() / 2);
    WriteBytes(dir.File("cut.png"), png);
    EXPECT_EQ(StreamConvert(dir.File("cut.png"), dir.File("keep.png"), kSavePng, rc, sys_error, reading),
              StreamOutcome::kFailed);
    EXPECT_TRUE(reading);
    EXPECT_EQ(ReadBytes(dir.File("keep.png")), ToBytes("old"));
}
