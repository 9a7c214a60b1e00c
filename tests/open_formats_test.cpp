// Files people have on disk: the longer extensions, files recognised by their bytes, DCX
// containers and camera JPEGs with an orientation.
#include "base/Byte_order.h"
#include "core/Picture_types.h"
#include "base/Result_codes.h"
#include "core/Sniff.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Exif.h"
#include "tests/open_bytes.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

int SaveAs(TIMAGE_INFO& doc, std::int32_t code, const std::string& path)
{
    if (int rc = PrepareSave(doc, code, path); rc != kOk)
        return rc;
    return doc.Save();
}

// The bytes our writer of save code makes of a w × h pattern.
Bytes Written(const TempDir& dir, std::int32_t code, int w, int h, const Bytes& bgr)
{
    TIMAGE_INFO doc;
    LoadPicture(doc, w, h, bgr);
    const std::string path = dir.File(std::string("written") + SaveExtension(code));
    EXPECT_EQ(SaveAs(doc, code, path), kOk);
    return ReadBytes(path);
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Fits8(int w, int h, const Bytes& grey)
{
    std::string head;
    for (const std::string& card : std::vector<std::string>{"SIMPLE  =                    T", "BITPIX  =                    8",
                                   "NAXIS   =                    2", "NAXIS1  =                    " + std::to_string(w),
                                   "NAXIS2  =                    " + std::to_string(h), "END"}) {
        std::string c = card;
        c.resize(80, ' ');
        head += c;
    }
    head.resize(2880, ' ');
    Bytes f = Text(head);
    f.insert(f.end(), grey.begin(), grey.end());
    f.resize(2880 * 2, 0);
    return f;
}

Bytes SgiGrey(int w, int h, const Bytes& grey_bottom_up)
{
    Bytes b(512, 0);
    StoreWord(kBigEndian, 474, b.data());
    b[3] = 1; // one byte a channel, verbatim
    StoreWord(kBigEndian, 2, b.data() + 4);
    StoreWord(kBigEndian, static_cast<std::uint32_t>(w), b.data() + 6);
    StoreWord(kBigEndian, static_cast<std::uint32_t>(h), b.data() + 8);
    StoreWord(kBigEndian, 1, b.data() + 10);
    b.insert(b.end(), grey_bottom_up.begin(), grey_bottom_up.end());
    return b;
}

// The one DICOM layout of the older reader: 8-bit grey at offset 922.
Bytes FixedDicom(int w, int h, const Bytes& grey)
{
    Bytes f(922, 0);
    StoreDword(kLittleEndian, 0x00100028, f.data() + 794);
    StoreDword(kLittleEndian, 2, f.data() + 798);
    StoreWord(kLittleEndian, static_cast<std::uint32_t>(h), f.data() + 802);
    StoreDword(kLittleEndian, 0x00110028, f.data() + 804);
    StoreDword(kLittleEndian, 2, f.data() + 808);
    StoreWord(kLittleEndian, static_cast<std::uint32_t>(w), f.data() + 812);
    StoreDword(kLittleEndian, 0x00107FE0, f.data() + 914);
    StoreDword(kLittleEndian, static_cast<std::uint32_t>(grey.size()), f.data() + 918);
    f.insert(f.end(), grey.begin(), grey.end());
    return f;
}

Bytes GreyBgr(const Bytes& grey)
{
    Bytes out;
    for (std::uint8_t g : grey)
        out.insert(out.end(), {g, g, g});
    return out;
}

struct Opened {
    int rc = kUnknownError;
    std::int32_t format = -1;
    int w = 0, h = 0;
    Bytes bgr;
    std::int32_t orientation = -1;
};

Opened OpenAt(const std::string& path)
{
    TIMAGE_INFO doc;
    Opened o;
    o.rc = doc.Open(path);
    if (o.rc == kOk) {
        o.format = doc.format_code;
        o.w = doc.display_width;
        o.h = doc.display_height;
        o.bgr = DisplayPixels(doc);
        o.orientation = doc.orientation;
    }
    return o;
}

} // namespace

TEST(OpenFormats, LongerAndOtherExtensionsOpenThroughTheirReadersAndAreListed)
{
    TempDir dir;
    const int w = 4, h = 3;
    const Bytes pattern = PatternPixels(w, h);
    const Bytes grey = {0, 20, 40, 60, 80, 100, 120, 140, 160, 180, 200, 220};
    const Bytes jpg = Written(dir, kSaveJpeg, w, h, pattern);
    const Bytes tif = Written(dir, kSaveTiff, w, h, pattern);
    const Bytes tga = Written(dir, kSaveTga, w, h, pattern);
    const Bytes ppm = Written(dir, kSavePpm, w, h, pattern);
    const Bytes pgm = Written(dir, kSavePgm, w, h, GreyBgr(grey));
    Bytes sgi_rows; // bottom row first
    for (int y = h - 1; y >= 0; --y)
        sgi_rows.insert(sgi_rows.end(), grey.begin() + y * w, grey.begin() + (y + 1) * w);
    Bytes fits_rows = sgi_rows; // FITS stores the bottom row first too

    struct Case {
        std::string name;
        Bytes file;
        std::int32_t format;
        Bytes want; // empty: lossy, only the size is checked
    };
    const std::vector<Case> cases = {
        {"photo.jpeg", jpg, kFmtJpeg, {}},
        {"photo.jpe", jpg, kFmtJpeg, {}},
        {"scan.tiff", tif, kFmtTiff, pattern},
        {"x.icb", tga, kFmtTga, pattern},
        {"x.vda", tga, kFmtTga, pattern},
        {"x.vst", tga, kFmtTga, pattern},
        {"x.bw", SgiGrey(w, h, sgi_rows), kFmtSgi, GreyBgr(grey)},
        {"x.fits", Fits8(w, h, fits_rows), kFmtFits, GreyBgr(grey)},
        {"x.fts", Fits8(w, h, fits_rows), kFmtFits, GreyBgr(grey)},
        {"x.dcm", FixedDicom(w, h, grey), kFmtDicom, GreyBgr(grey)},
        {"pix.pnm", ppm, kFmtPpm, pattern},
        {"grey.pnm", pgm, kFmtPgm, GreyBgr(grey)},
        {"ink.pnm", Text("P1\n4 3\n1 0 1 0\n0 1 0 1\n1 1 0 0\n"), kFmtPbm,
         GreyBgr({0, 255, 0, 255, 255, 0, 255, 0, 0, 0, 255, 255})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File(c.name), c.file);
        const Opened o = OpenAt(dir.File(c.name));
        ASSERT_EQ(o.rc, kOk);
        EXPECT_EQ(o.format, c.format);
        EXPECT_EQ(o.w, w);
        EXPECT_EQ(o.h, h);
        if (!c.want.empty()) {
            EXPECT_EQ(o.bgr, c.want);
        }
        EXPECT_NE(PictureFormatOf(c.name.substr(c.name.find('.')).c_str()), -2) << "missing from the picture types";
    }

    TIMAGE_INFO doc;
    ASSERT_TRUE(doc.BuildFileList(dir.path()));
    for (const Case& c : cases)
        EXPECT_NE(std::find(doc.file_list.begin(), doc.file_list.end(), dir.File(c.name)), doc.file_list.end())
            << c.name << " is not browsable";
}

TEST(OpenFormats, SniffRecognisesFirstBytes)
{
    auto head = [](std::initializer_list<std::uint8_t> start, std::size_t size = 512) {
        Bytes b(start);
        b.resize(std::max(size, b.size()), 0);
        return b;
    };
    Bytes dicom(132, 0);
    std::memcpy(dicom.data() + 128, "DICM", 4);
    Bytes bmp = head({'B', 'M'});
    bmp[14] = 40;
    Bytes bmp_odd = bmp;
    bmp_odd[14] = 41;
    Bytes xwd = head({0, 0, 0, 100, 0, 0, 0, 7});
    Bytes psp = Text("Paint Shop Pro Image File\n\x1a");
    Bytes bare_dicom = head({0x08, 0x00, 0x05, 0x00, 'C', 'S', 10, 0});
    struct Case {
        const char* name;
        Bytes bytes;
        std::int32_t want;
    };
    const std::vector<Case> cases = {
        {"png", head({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}), kFmtPng},
        {"jpeg", head({0xFF, 0xD8, 0xFF, 0xE1}), kFmtJpeg},
        {"gif", Text("GIF89a"), kFmtGif},
        {"bmp", bmp, kFmtBmp},
        {"tiff intel", head({'I', 'I', 42, 0}), kFmtTiff},
        {"tiff motorola", head({'M', 'M', 0, 42}), kFmtTiff},
        {"pbm", Text("P4\n"), kFmtPbm},
        {"pgm plain", Text("P2 "), kFmtPgm},
        {"ppm", Text("P6#"), kFmtPpm},
        {"pcx", head({10, 5, 1, 8}), kFmtPcx},
        {"dcx", head({0xB1, 0x68, 0xDE, 0x3A}), kFmtDcx},
        {"sgi", head({0x01, 0xDA, 1, 1}), kFmtSgi},
        {"xwd", xwd, kFmtXwd},
        {"fits", Text("SIMPLE  =                    T"), kFmtFits},
        {"sun", head({0x59, 0xA6, 0x6A, 0x95}), kFmtSun},
        {"psp", psp, kFmtPsp},
        {"dicom", dicom, kFmtDicom},
        {"dicom without preamble", bare_dicom, kFmtDicom},
        {"BM with an unknown header size", bmp_odd, -1},
        {"P7 is no netpbm picture here", Text("P7 "), -1},
        {"PCX version 1 does not exist", head({10, 1, 1, 8}), -1},
        {"PCX header cut short", head({10, 5, 1, 8}, 64), -1},
        {"text", Text("hello, world"), -1},
        {"nothing", Bytes{}, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SniffFormat(c.bytes), c.want) << c.name;
}

TEST(OpenFormats, ContentDecidesWhenTheNameDoesNot)
{
    TempDir dir;
    const int w = 3, h = 2;
    const Bytes pattern = PatternPixels(w, h);
    const Bytes png = Written(dir, kSavePng, w, h, pattern);
    const Bytes bmp = Written(dir, kSaveBmp, w, h, pattern);
    const Bytes ppm = Written(dir, kSavePpm, w, h, pattern);
    struct Case {
        std::string name;
        Bytes file;
        int rc;
        std::int32_t format;
    };
    const std::vector<Case> cases = {
        {"download.dat", png, kOk, kFmtPng},        // unknown extension
        {"noextension", ppm, kOk, kFmtPpm},         // no extension at all
        {"renamed.jpg", png, kOk, kFmtPng},         // the JPEG reader answers Magic Error
        {"renamed.png", bmp, kOk, kFmtBmp},         // and so does the PNG reader
        {"notes.txt", Text("just text\n"), kDataError, -1},   // matches nothing: as before
        {"fake.png", Text("just text\n"), kMagicError, -1},   // the reader's own answer stays
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File(c.name), c.file);
        const Opened o = OpenAt(dir.File(c.name));
        ASSERT_EQ(o.rc, c.rc);
        if (c.rc == kOk) {
            EXPECT_EQ(o.format, c.format);
            EXPECT_EQ(o.bgr, pattern);
        }
    }
}

namespace {

// A DCX of the given PCX pages, with the page table as written by other programs.
Bytes Dcx(const std::vector<Bytes>& pages)
{
    Bytes f(4 + 4 * (pages.size() + 1), 0);
    StoreDword(kLittleEndian, 987654321u, f.data());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        StoreDword(kLittleEndian, static_cast<std::uint32_t>(f.size()), f.data() + 4 + 4 * i);
        f.insert(f.end(), pages[i].begin(), pages[i].end());
    }
    return f;
}

} // namespace

TEST(DcxRead, OpensPagesAndChecksEveryOffset)
{
    TempDir dir;
    const Bytes first = PatternPixels(5, 3);
    Bytes second = PatternPixels(2, 4);
    for (auto& b : second)
        b = static_cast<std::uint8_t>(255 - b);
    const Bytes pcx1 = Written(dir, kSavePcx, 5, 3, first);
    const Bytes pcx2 = Written(dir, kSavePcx, 2, 4, second);
    const Bytes ours = Written(dir, kSaveDcx, 5, 3, first);
    const Bytes two = Dcx({pcx1, pcx2});

    Bytes no_end = Dcx({pcx1});
    no_end.resize(8); // the table never ends
    Bytes past_end = two;
    StoreDword(kLittleEndian, static_cast<std::uint32_t>(two.size()), past_end.data() + 8);
    Bytes into_table = two;
    StoreDword(kLittleEndian, 4, into_table.data() + 4);
    Bytes too_many(4 + 4 * 1025, 0);
    StoreDword(kLittleEndian, 987654321u, too_many.data());
    for (int i = 0; i < 1024; ++i)
        StoreDword(kLittleEndian, 4 + 4 * 1025, too_many.data() + 4 + 4 * i);
    too_many.insert(too_many.end(), pcx1.begin(), pcx1.end());
    Bytes no_pages(8, 0);
    StoreDword(kLittleEndian, 987654321u, no_pages.data());
    Bytes not_pcx = two;
    not_pcx[LoadDword(kLittleEndian, two.data() + 4)] = 0; // the first page's manufacturer byte
    Bytes bad_magic = two;
    bad_magic[0] ^= 1;

    struct Case {
        const char* name;
        Bytes file;
        int page;
        int rc;
        int w, h;
        const Bytes* want;
        std::size_t pages;
    };
    const std::vector<Case> cases = {
        {"written by our DCX writer", ours, 0, kOk, 5, 3, &first, 1},
        {"first of two pages", two, 0, kOk, 5, 3, &first, 2},
        {"second of two pages", two, 1, kOk, 2, 4, &second, 2},
        {"no third page", two, 2, kDataError, 0, 0, nullptr, 0},
        {"page table without its zero", no_end, 0, kDataError, 0, 0, nullptr, 0},
        {"offset past the end", past_end, 0, kDataError, 0, 0, nullptr, 0},
        {"offset inside the table", into_table, 0, kDataError, 0, 0, nullptr, 0},
        {"more than 1023 pages", too_many, 0, kDataError, 0, 0, nullptr, 0},
        {"no pages", no_pages, 0, kDataError, 0, 0, nullptr, 0},
        {"a page that is no PCX", not_pcx, 0, kDataError, 0, 0, nullptr, 0},
        {"wrong magic", bad_magic, 0, kMagicError, 0, 0, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CODEC_CTX ctx;
        ctx.page_index = c.page;
        ASSERT_EQ(DecodeDcx(ctx, c.file), c.rc);
        if (c.rc != kOk)
            continue;
        EXPECT_EQ(ctx.width, c.w);
        EXPECT_EQ(ctx.height, c.h);
        EXPECT_EQ(Bytes(ctx.decoded.data(), ctx.decoded.data() + c.want->size()), *c.want);
        EXPECT_EQ(ctx.page_offsets.size(), c.pages);
    }

    SCOPED_TRACE("through the document");
    WriteBytes(dir.File("pages.dcx"), two);
    const Opened o = OpenAt(dir.File("pages.dcx"));
    ASSERT_EQ(o.rc, kOk);
    EXPECT_EQ(o.format, kFmtDcx);
    EXPECT_EQ(o.bgr, first);
}

namespace {

// An APP1 Exif segment whose IFD0 holds the given entries (tag, type, count, value).
struct IfdEntry {
    std::uint16_t tag, type;
    std::uint32_t count, value;
};

Bytes ExifSegment(const std::vector<IfdEntry>& entries, bool big_endian = false)
{
    const int order = big_endian ? kBigEndian : kLittleEndian;
    Bytes tiff(8 + 2 + 12 * entries.size() + 4, 0);
    tiff[0] = tiff[1] = big_endian ? 'M' : 'I';
    StoreWord(order, 42, tiff.data() + 2);
    StoreDword(order, 8, tiff.data() + 4);
    StoreWord(order, static_cast<std::uint32_t>(entries.size()), tiff.data() + 8);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::uint8_t* e = tiff.data() + 10 + 12 * i;
        StoreWord(order, entries[i].tag, e);
        StoreWord(order, entries[i].type, e + 2);
        StoreDword(order, entries[i].count, e + 4);
        if (entries[i].type == 3)
            StoreWord(order, entries[i].value, e + 8);
        else
            StoreDword(order, entries[i].value, e + 8);
    }
    Bytes seg = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    seg.insert(seg.end(), tiff.begin(), tiff.end());
    StoreWord(kBigEndian, static_cast<std::uint32_t>(seg.size() - 2), seg.data() + 2);
    return seg;
}

// The JPEG with the segment put right after its start-of-image marker.
Bytes WithSegment(const Bytes& jpeg, const Bytes& segment)
{
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), segment.begin(), segment.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

} // namespace

TEST(ExifRead, FindsTheOrientationTagAndNothingElse)
{
    const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 'J', 'F', 0xFF, 0xDA, 0, 2, 0xFF, 0xD9};
    const IfdEntry six = {0x0112, 3, 1, 6};
    const IfdEntry width = {0x0100, 4, 1, 640};
    Bytes cut = WithSegment(jpeg, ExifSegment({width, six}));
    cut.resize(2 + 10 + 8 + 2 + 12 + 6); // the segment claims more than the file holds
    Bytes many = ExifSegment({width});
    many[10 + 8] = 0xFF; // 255 entries in an IFD of one
    Bytes after_scan = jpeg;
    const Bytes seg = ExifSegment({six});
    after_scan.insert(after_scan.end() - 2, seg.begin(), seg.end());
    struct Case {
        const char* name;
        Bytes bytes;
        int want;
    };
    const std::vector<Case> cases = {
        {"little-endian, after other tags", WithSegment(jpeg, ExifSegment({width, six})), 6},
        {"big-endian", WithSegment(jpeg, ExifSegment({{0x0112, 3, 1, 8}}, true)), 8},
        {"after the JFIF segment", [&] {
             Bytes b(jpeg.begin(), jpeg.begin() + 8);
             const Bytes s = ExifSegment({{0x0112, 3, 1, 3}});
             b.insert(b.end(), s.begin(), s.end());
             b.insert(b.end(), jpeg.begin() + 8, jpeg.end());
             return b;
         }(), 3},
        {"no orientation tag", WithSegment(jpeg, ExifSegment({width})), 0},
        {"value 9 is no orientation", WithSegment(jpeg, ExifSegment({{0x0112, 3, 1, 9}})), 0},
        {"a LONG is not the tag's type", WithSegment(jpeg, ExifSegment({{0x0112, 4, 1, 6}})), 0},
        {"segment cut short", cut, 0},
        {"entry count past the segment", WithSegment(jpeg, many), 0},
        {"after the scan", after_scan, 0},
        {"no Exif at all", jpeg, 0},
        {"not a JPEG", Bytes{0x89, 'P', 'N', 'G'}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExifOrientation(c.bytes), c.want) << c.name;
}

TEST(ExifRead, CameraJpegsShowTheWayTheyWereTaken)
{
    // Four flat quadrants that JPEG keeps: stored top-left red, top-right green,
    // bottom-left blue, bottom-right white; 32 × 16 so that turns show in the size.
    const int w = 32, h = 16;
    enum Colour { kRed, kGreen, kBlue, kWhite };
    const std::uint8_t bgr[4][3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {255, 255, 255}};
    Bytes pixels;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int q = (y < h / 2 ? 0 : 2) + (x < w / 2 ? 0 : 1);
            pixels.insert(pixels.end(), bgr[q], bgr[q] + 3);
        }
    TempDir dir;
    const Bytes jpeg = Written(dir, kSaveJpeg, w, h, pixels);
    WriteBytes(dir.File("plain.jpg"), jpeg);
    const Opened plain = OpenAt(dir.File("plain.jpg"));
    ASSERT_EQ(plain.rc, kOk);
    EXPECT_EQ(plain.orientation, 0);

    // The colours shown at the top-left, top-right, bottom-left and bottom-right corners.
    struct Case {
        int orientation;
        Colour tl, tr, bl, br;
    };
    const Case cases[] = {
        {1, kRed, kGreen, kBlue, kWhite},  {2, kGreen, kRed, kWhite, kBlue}, {3, kWhite, kBlue, kGreen, kRed},
        {4, kBlue, kWhite, kRed, kGreen},  {5, kRed, kBlue, kGreen, kWhite}, {6, kBlue, kRed, kWhite, kGreen},
        {7, kWhite, kGreen, kBlue, kRed},  {8, kGreen, kWhite, kRed, kBlue},
    };
    for (const bool direct : {false, true})
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "orientation " << c.orientation << (direct ? ", direct" : ""));
            const std::string path = dir.File("o" + std::to_string(c.orientation) + ".jpg");
            WriteBytes(path, WithSegment(jpeg, ExifSegment({{0x0112, 3, 1, static_cast<std::uint32_t>(c.orientation)}})));
            TIMAGE_INFO doc;
            doc.direct_decode = direct ? 1 : 0;
            ASSERT_EQ(doc.Open(path), kOk);
            EXPECT_EQ(doc.orientation, c.orientation);
            const bool turned = c.orientation >= 5;
            const int ow = turned ? h : w, oh = turned ? w : h;
            ASSERT_EQ(doc.display->Width(), ow);
            ASSERT_EQ(doc.display->Height(), oh);
            EXPECT_EQ(doc.display_width, ow);
            EXPECT_EQ(doc.display_height, oh);
            const Bytes shown = DisplayPixels(doc);
            if (c.orientation == 1) {
                EXPECT_EQ(shown, plain.bgr) << "orientation 1 keeps the decoded pixels";
            }
            auto near = [&](int x, int y, Colour want) {
                const std::uint8_t* p = shown.data() + (static_cast<std::size_t>(y) * ow + x) * 3;
                for (int k = 0; k < 3; ++k)
                    if (std::abs(p[k] - bgr[want][k]) > 24)
                        return false;
                return true;
            };
            EXPECT_TRUE(near(2, 2, c.tl));
            EXPECT_TRUE(near(ow - 3, 2, c.tr));
            EXPECT_TRUE(near(2, oh - 3, c.bl));
            EXPECT_TRUE(near(ow - 3, oh - 3, c.br));
            if (!direct) {
                SCOPED_TRACE("a save writes what is shown");
                ASSERT_EQ(SaveAs(doc, kSaveBmp, dir.File("shown.bmp")), kOk);
                const Opened back = OpenAt(dir.File("shown.bmp"));
                EXPECT_EQ(back.bgr, shown);
            }
        }
}
