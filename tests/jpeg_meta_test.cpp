// JPEG metadata and quality: the Exif block, ICC profile and comment a file carries are read
// into the context's meta and written back by a save (as Pillow reads them), the Exif
// orientation set to 1 once the pixels were turned and the thumbnail dropped once it no
// longer shows the picture; the quality a save asks for reaches the file.
#include "base/Byte_order.h"
#include "core/Commit_edit.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Exif.h"
#include "ops/Pixel_commands.h"
#include "tests/peers.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// An Exif block (a TIFF structure): IFD0 with a make tag and the orientation; with a
// thumbnail, an IFD1 linked after it.
Bytes ExifBlock(int orientation, bool big, bool thumbnail)
{
    const int order = big ? kBigEndian : kLittleEndian;
    Bytes t(8 + 30 + (thumbnail ? 18 : 0), 0);
    t[0] = t[1] = big ? 'M' : 'I';
    StoreWord(order, 42, t.data() + 2);
    StoreDword(order, 8, t.data() + 4);
    StoreWord(order, 2, t.data() + 8);
    std::uint8_t* e = t.data() + 10;
    StoreWord(order, 0x010F, e); // Make, ASCII, 4 bytes in the entry
    StoreWord(order, 2, e + 2);
    StoreDword(order, 4, e + 4);
    std::memcpy(e + 8, "RVS", 4);
    e += 12;
    StoreWord(order, 0x0112, e); // Orientation, SHORT
    StoreWord(order, 3, e + 2);
    StoreDword(order, 1, e + 4);
    StoreWord(order, static_cast<std::uint32_t>(orientation), e + 8);
    if (thumbnail) {
        StoreDword(order, 38, t.data() + 34); // IFD1 after IFD0
        StoreWord(order, 1, t.data() + 38);
        StoreWord(order, 0x0103, t.data() + 40); // Compression 6: a JPEG thumbnail
        StoreWord(order, 3, t.data() + 42);
        StoreDword(order, 1, t.data() + 44);
        StoreWord(order, 6, t.data() + 48);
    }
    return t;
}

// The next-IFD link of IFD0 in a block ExifBlock made: the thumbnail's place, or 0.
std::uint32_t ThumbnailLink(const Bytes& block)
{
    return block.size() < 38 ? 0 : LoadDword(block[0] == 'M' ? kBigEndian : kLittleEndian, block.data() + 34);
}

Bytes Segment(int marker, const std::string& head, const Bytes& body)
{
    Bytes s = {0xFF, static_cast<std::uint8_t>(marker), 0, 0};
    s.insert(s.end(), head.begin(), head.end());
    s.insert(s.end(), body.begin(), body.end());
    StoreWord(kBigEndian, static_cast<std::uint32_t>(s.size() - 2), s.data() + 2);
    return s;
}

// The profile's APP2 segments of chunk bytes each, in the order of the sequence numbers
// given (1-based; a number may be left out or given twice).
Bytes IccSegments(const Bytes& profile, std::size_t chunk, const std::vector<int>& order)
{
    const std::size_t count = (profile.size() + chunk - 1) / chunk;
    Bytes out;
    for (const int seq : order) {
        const std::size_t from = static_cast<std::size_t>(seq - 1) * chunk;
        const Bytes body(profile.begin() + static_cast<std::ptrdiff_t>(from),
                         profile.begin() + static_cast<std::ptrdiff_t>(std::min(profile.size(), from + chunk)));
        std::string head("ICC_PROFILE\0", 12);
        head += static_cast<char>(seq);
        head += static_cast<char>(count);
        const Bytes s = Segment(0xE2, head, body);
        out.insert(out.end(), s.begin(), s.end());
    }
    return out;
}

// A profile of n bytes: its size and the ICC signature where a profile has them.
Bytes Profile(std::size_t n)
{
    Bytes p(n);
    for (std::size_t i = 0; i < n; ++i)
        p[i] = static_cast<std::uint8_t>(i * 7 ^ (i >> 8));
    StoreDword(kBigEndian, static_cast<std::uint32_t>(n), p.data());
    std::memcpy(p.data() + 36, "acsp", 4);
    return p;
}

// A 24 x 16 JPEG of quadrants, from our writer, with segments put after its JFIF segment.
Bytes JpegWith(const TempDir& dir, const Bytes& segments)
{
    CODEC_CTX ctx;
    EXPECT_EQ(ctx.ReserveDecoded(24, 16), kOk);
    ctx.width = 24;
    ctx.height = 16;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x) {
            std::uint8_t* p = ctx.DecodedRow(y) + 3 * x;
            p[0] = x < 12 ? 255 : 0;
            p[1] = y < 8 ? 255 : 0;
            p[2] = 128;
        }
    if (ctx.quad.Reserve(PictureBytes(24, 16, 4)) == kOk)
        for (int i = 0; i < 24 * 16; ++i)
            std::memcpy(ctx.quad.data() + 4 * i, ctx.decoded.data() + 3 * i, 3);
    ctx.output_file_name = dir.File("base.jpg");
    EXPECT_EQ(WriteJpeg(ctx), kOk);
    Bytes jpeg = ReadBytes(dir.File("base.jpg"));
    const std::size_t after_jfif = 4 + LoadWord(kBigEndian, jpeg.data() + 4);
    jpeg.insert(jpeg.begin() + static_cast<std::ptrdiff_t>(after_jfif), segments.begin(), segments.end());
    return jpeg;
}

// The payloads of a JPEG's segments of one marker, in file order, up to the scan.
std::vector<Bytes> Segments(const Bytes& jpeg, int marker)
{
    std::vector<Bytes> found;
    for (std::size_t pos = 2; pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF && jpeg[pos + 1] != 0xDA;) {
        const std::size_t n = LoadWord(kBigEndian, jpeg.data() + pos + 2);
        if (jpeg[pos + 1] == marker)
            found.emplace_back(jpeg.begin() + static_cast<std::ptrdiff_t>(pos + 4),
                               jpeg.begin() + static_cast<std::ptrdiff_t>(std::min(jpeg.size(), pos + 2 + n)));
        pos += 2 + n;
    }
    return found;
}

int SaveJpeg(TIMAGE_INFO& doc, const std::string& path)
{
    const int rc = PrepareSave(doc, kSaveJpeg, path);
    return rc != kOk ? rc : doc.Save();
}

// What Pillow reads of a JPEG: "orientation comment-bytes icc-bytes", or "" without Pillow.
std::string PillowMeta(const std::string& path)
{
    const std::string py = PillowPython();
    if (py.empty())
        return "";
    return CaptureCommand(py + " -c 'import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
                               "print(im.getexif().get(274), len(im.info.get(\"comment\", b\"\")), "
                               "len(im.info.get(\"icc_profile\") or b\"\"))' '" + path + "'");
}

} // namespace

TEST(JpegMeta, ReadsTheExifBlockTheProfileInItsOrderAndTheComment)
{
    const Bytes profile = Profile(2500);
    const Bytes exif = ExifBlock(1, false, true);
    struct Case {
        const char* name;
        Bytes segments;
        Bytes want_icc;
        Bytes want_exif;
        std::string want_comment;
    };
    const Bytes exif_segment = Segment(0xE1, std::string("Exif\0\0", 6), exif);
    const Bytes comment = Segment(0xFE, "made by hand", {});
    const std::vector<Case> cases = {
        {"all three", [&] {
             Bytes s = exif_segment;
             const Bytes icc = IccSegments(profile, 3000, {1});
             s.insert(s.end(), icc.begin(), icc.end());
             s.insert(s.end(), comment.begin(), comment.end());
             return s;
         }(), profile, exif, "made by hand"},
        {"profile in three segments out of order", IccSegments(profile, 1000, {3, 1, 2}), profile, {}, ""},
        {"a profile segment missing", IccSegments(profile, 1000, {1, 3}), {}, {}, ""},
        {"a profile segment twice", IccSegments(profile, 1000, {1, 2, 2, 3}), {}, {}, ""},
        {"the first Exif block and comment count", [&] {
             Bytes s = exif_segment;
             const Bytes later = Segment(0xE1, std::string("Exif\0\0", 6), ExifBlock(3, true, false));
             s.insert(s.end(), later.begin(), later.end());
             s.insert(s.end(), comment.begin(), comment.end());
             const Bytes other = Segment(0xFE, "second", {});
             s.insert(s.end(), other.begin(), other.end());
             return s;
         }(), {}, exif, "made by hand"},
        {"XMP is not Exif", Segment(0xE1, "http://ns.adobe.com/xap/1.0/", Bytes(20, 'x')), {}, {}, ""},
        {"nothing", {}, {}, {}, ""},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File("in.jpg"), JpegWith(dir, c.segments));
        TIMAGE_INFO doc;
        ASSERT_EQ(doc.Open(dir.File("in.jpg")), kOk);
        EXPECT_EQ(doc.context->meta.icc_profile, c.want_icc);
        EXPECT_EQ(doc.context->meta.exif, c.want_exif);
        EXPECT_EQ(doc.context->meta.comment, c.want_comment);
    }
}

// Saved from a picture whose file had them: the profile (in segments of at most 65519
// bytes), the Exif block and the comment are in the new file. The orientation is 1 after
// the pixels were turned, and the thumbnail goes with any change of the pixels.
TEST(JpegMeta, ASaveCarriesThemOnAsPillowReadsThem)
{
    ASSERT_FALSE(PillowPython().empty()) << "Pillow (python3-pil, scripts/deps.sh) is needed";
    const Bytes profile = Profile(70000); // two segments
    struct Case {
        const char* name;
        int orientation;
        bool big;
        bool edit;
        bool want_thumbnail;
    };
    const Case cases[] = {
        {"as stored, unedited", 1, false, false, true},
        {"as stored, edited", 1, true, true, false},
        {"turned at open (6)", 6, false, false, false},
        {"turned at open (3), big-endian, edited", 3, true, true, false},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes segs = Segment(0xE1, std::string("Exif\0\0", 6), ExifBlock(c.orientation, c.big, true));
        const Bytes icc = IccSegments(profile, 65519, {1, 2});
        segs.insert(segs.end(), icc.begin(), icc.end());
        const Bytes com = Segment(0xFE, "holiday", {});
        segs.insert(segs.end(), com.begin(), com.end());
        WriteBytes(dir.File("in.jpg"), JpegWith(dir, segs));

        TIMAGE_INFO doc;
        ASSERT_EQ(doc.Open(dir.File("in.jpg")), kOk);
        if (c.edit) {
            Negative(*doc.display);
            ASSERT_EQ(CommitEdit(doc), kOk);
        }
        ASSERT_EQ(SaveJpeg(doc, dir.File("out.jpg")), kOk);

        const Bytes out = ReadBytes(dir.File("out.jpg"));
        ASSERT_GT(out.size(), 11u);
        EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{0xFF, 0xD8, 0xFF, 0xE0}));
        EXPECT_EQ(std::string(out.begin() + 6, out.begin() + 11), std::string("JFIF\0", 5));
        const std::vector<Bytes> app2 = Segments(out, 0xE2);
        ASSERT_EQ(app2.size(), 2u);
        EXPECT_EQ(app2[0].size(), 14u + 65519u);
        EXPECT_EQ(app2[0][12], 1);
        EXPECT_EQ(app2[1][12], 2);
        EXPECT_EQ(app2[1][13], 2);

        TIMAGE_INFO back;
        ASSERT_EQ(back.Open(dir.File("out.jpg")), kOk);
        EXPECT_EQ(back.orientation, 1);
        EXPECT_EQ(back.context->meta.icc_profile, profile);
        EXPECT_EQ(back.context->meta.comment, "holiday");
        EXPECT_EQ(ThumbnailLink(back.context->meta.exif) != 0, c.want_thumbnail);
        EXPECT_EQ(PillowMeta(dir.File("out.jpg")), "1 7 70000\n");
    }
}

TEST(JpegMeta, APictureNoFileHoldsWritesNoneAndAFailedOpenKeepsThem)
{
    TempDir dir;
    Bytes segs = Segment(0xE1, std::string("Exif\0\0", 6), ExifBlock(1, false, false));
    const Bytes com = Segment(0xFE, "kept", {});
    segs.insert(segs.end(), com.begin(), com.end());
    WriteBytes(dir.File("in.jpg"), JpegWith(dir, segs));
    WriteBytes(dir.File("broken.jpg"), Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0x00});
    TIMAGE_INFO doc;
    ASSERT_EQ(doc.Open(dir.File("in.jpg")), kOk);
    ASSERT_NE(doc.Open(dir.File("broken.jpg")), kOk);
    EXPECT_EQ(doc.context->meta.comment, "kept") << "the picture shown keeps its file's metadata";
    ASSERT_EQ(SaveJpeg(doc, dir.File("again.jpg")), kOk);
    EXPECT_EQ(Segments(ReadBytes(dir.File("again.jpg")), 0xFE).size(), 1u);

    doc.current_path.clear(); // a pasted picture
    ASSERT_NE(SaveJpeg(doc, dir.File("no/such/dir.jpg")), kOk);
    EXPECT_EQ(doc.context->meta.comment, "kept") << "a failed save leaves the document as it was";
    ASSERT_EQ(SaveJpeg(doc, dir.File("pasted.jpg")), kOk);
    const Bytes pasted = ReadBytes(dir.File("pasted.jpg"));
    EXPECT_TRUE(Segments(pasted, 0xE1).empty());
    EXPECT_TRUE(Segments(pasted, 0xFE).empty());
    // Save As made pasted.jpg the document's file: the next Save writes what it holds,
    // not the Exif and comment of the file open before the paste.
    doc.current_path = dir.File("pasted.jpg");
    ASSERT_EQ(SaveJpeg(doc, dir.File("pasted.jpg")), kOk);
    EXPECT_TRUE(Segments(ReadBytes(dir.File("pasted.jpg")), 0xE1).empty());
    EXPECT_TRUE(doc.context->meta.comment.empty());
}

TEST(ExifEdit, OrientationAndThumbnailChangeOnlyInsideTheBlock)
{
    for (const bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        Bytes b = ExifBlock(8, big, true);
        EXPECT_TRUE(ResetExifOrientation(b));
        EXPECT_EQ(ExifBlockOrientation(b), 1);
        EXPECT_FALSE(ResetExifOrientation(b)) << "already 1";
        EXPECT_TRUE(DropExifThumbnail(b));
        EXPECT_EQ(ThumbnailLink(b), 0u);
        EXPECT_FALSE(DropExifThumbnail(b));
        Bytes same = ExifBlock(1, big, false);
        same.resize(same.size() - 2); // cut inside the next-IFD link
        const Bytes before = same;
        EXPECT_FALSE(DropExifThumbnail(same));
        EXPECT_FALSE(ResetExifOrientation(same));
        EXPECT_EQ(same, before);
    }
    Bytes none;
    EXPECT_FALSE(ResetExifOrientation(none));
    EXPECT_FALSE(DropExifThumbnail(none));
}

// ImageMagick reads the quality back from the quantisation tables.
TEST(JpegQuality, TheQualityAskedForReachesTheFile)
{
    ASSERT_TRUE(HaveTool("identify")) << "ImageMagick (scripts/deps.sh) is needed";
    TempDir dir;
    WritePpmFile(dir.File("in.ppm"), 32, 24, PatternPixels(32, 24));
    auto quality = [&](const std::string& file) {
        return CaptureCommand("identify -format %Q '" + dir.File(file) + "'");
    };
    TIMAGE_INFO doc;
    ASSERT_EQ(doc.Open(dir.File("in.ppm")), kOk);
    ASSERT_EQ(SaveJpeg(doc, dir.File("default.jpg")), kOk);
    EXPECT_EQ(quality("default.jpg"), "90");
    doc.save_quality = 40;
    ASSERT_EQ(SaveJpeg(doc, dir.File("q40.jpg")), kOk);
    EXPECT_EQ(quality("q40.jpg"), "40");

    const std::string cli = std::string(RAVELSCOPE_CLI) + " convert ";
    EXPECT_EQ(RunCommand(cli + dir.File("in.ppm") + " " + dir.File("cli.jpg")), 0);
    EXPECT_EQ(quality("cli.jpg"), "90");
    EXPECT_EQ(RunCommand(cli + "--quality 55 " + dir.File("in.ppm") + " " + dir.File("cli55.jpg")), 0);
    EXPECT_EQ(quality("cli55.jpg"), "55");
    EXPECT_EQ(RunCommand(cli + "--quality=100 " + dir.File("in.ppm") + " " + dir.File("cli100.jpg")), 0);
    EXPECT_EQ(quality("cli100.jpg"), "100");
    for (const char* bad : {"0", "101", "high", ""}) {
        SCOPED_TRACE(bad);
        const int status = RunCommand(cli + "--quality '" + bad + "' " + dir.File("in.ppm") + " " +
                                      dir.File("bad.jpg") + " 2>/dev/null");
        EXPECT_EQ(status, 2);
    }
}
