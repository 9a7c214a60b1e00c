// Failures in words: the result text followed by the reason the dispatcher or the reader
// gives, for the common causes (a file that is not there or ends early, a header field out
// of range, a format Ravelscope does not read) in the readers of the common formats.
#include "base/Byte_order.h"
#include "base/Replace_file.h"
#include "base/Result_codes.h"
#include "core/Sniff.h"
#include "tests/peers.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

Bytes Ascii(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Joined(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The text a failed open shows.
std::string OpenMessage(TIMAGE_INFO& doc, const std::string& path)
{
    const int rc = doc.Open(path);
    return rc == kOk ? "opened" : ResultTextWithReason(rc, doc.context->failure_reason);
}

} // namespace

TEST(FailureReasons, TheTextShowsTheReasonInBrackets)
{
    EXPECT_EQ(ResultTextWithReason(kDataError, std::string("the file ends early")), "Data Error. (the file ends early)");
    EXPECT_EQ(ResultTextWithReason(kDataError, std::string()), "Data Error.");
    EXPECT_EQ(ResultTextWithReason(kOpenFileError, ENOSPC), "Open File Error. (No space left on device)");
}

TEST(FailureReasons, CommonFailuresOfTheCommonFormatsSayWhy)
{
    const Bytes jp2 = Joined({{0, 0, 0, 0x0C}, Ascii("jP  \r\n\x87\n"), Bytes(20, 0)});
    const Bytes exr = Joined({{0x76, 0x2F, 0x31, 0x01}, Bytes(20, 0)});
    const Bytes png_head = Joined({{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13}, Ascii("IHDR"),
                                   {0, 0, 0, 4, 0, 0, 0, 4, 8, 2, 0, 0, 0}});
    Bytes bmp = Joined({Ascii("BM"), Bytes(12, 0), {40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 7, 0}, Bytes(24, 0)});
    Bytes tga_type0(18, 0);
    tga_type0[12] = tga_type0[14] = 1;
    tga_type0[16] = 24;
    Bytes tga_big = tga_type0;
    tga_big[2] = 2;
    StoreWord(kLittleEndian, 5000, tga_big.data() + 12);
    StoreWord(kLittleEndian, 5000, tga_big.data() + 14);
    struct Case {
        const char* name;
        std::string file;
        Bytes bytes;
        std::string want;
    };
    const std::vector<Case> cases = {
        {"JPEG 2000 under its own name", "photo.jp2", jp2, "Data Error. (JPEG 2000 is not a format Ravelscope reads)"},
        {"JPEG 2000 under a JPEG name", "photo.jpg", jp2, "Magic Error (JPEG 2000 is not a format Ravelscope reads)"},
        {"OpenEXR under no name", "IMG_0001", exr, "Data Error. (OpenEXR is not a format Ravelscope reads)"},
        {"Photoshop", "a.psd", Joined({Ascii("8BPS"), {0, 1}, Bytes(20, 0)}),
         "Data Error. (Photoshop is not a format Ravelscope reads)"},
        {"bytes of no known format", "notes.xyz", Ascii("hello, world"),
         "Data Error. (neither its name nor its first bytes are of a format Ravelscope reads)"},
        {"GIF bytes under a PNG name, cut", "a.png", Ascii("GIF89a\x04"),
         "Magic Error (the file holds GIF data: the file ends inside its header)"},
        {"TGA header cut", "a.tga", Bytes(10, 0), "Data Error. (the file ends inside its header)"},
        {"TGA without picture data", "a.tga", tga_type0, "Format Not Support. (TGA image type 0 is not read)"},
        {"TGA of 5000 x 5000", "a.tga", tga_big, "Image Too Large. (the picture is wider and taller than 4096 pixels)"},
        {"PNG that ends after its header", "a.png", png_head, "Unknown Error. (the file ends early)"},
        {"PNG signature wrong", "a.png", Ascii("\x89PNX\r\n\x1a\n"), "Magic Error (no PNG signature)"},
        {"GIF without a picture", "a.gif", Joined({Ascii("GIF89a"), {1, 0, 1, 0, 0, 0, 0}, {0x3B}}),
         "Data Error. (the file holds no picture)"},
        {"BMP of 7 bits a pixel", "a.bmp", bmp, "Bit Depth Not Support. (a bit count no BMP has)"},
        {"PPM with a maximum of 70000", "a.ppm", Ascii("P6 2 2 70000\n"),
         "Data Error. (a maximum sample value outside 1 to 65535)"},
        {"PGM header cut", "a.pgm", Ascii("P5 2"), "Data Error. (the file ends inside its header)"},
        {"TIFF signature wrong", "a.tif", Ascii("II+\0\0\0\0\0"), "Open File Error. (no TIFF signature)"},
        {"JPEG without its start", "a.jpg", Ascii("JFIF"), "Magic Error (no JPEG start-of-image marker)"},
    };
    TempDir dir;
    TIMAGE_INFO doc;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File(c.file), c.bytes);
        EXPECT_EQ(OpenMessage(doc, dir.File(c.file)), c.want);
    }

    // A JPEG the library gives up on says what the library said.
    WriteBytes(dir.File("cut.jpg"), Bytes{0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00});
    const std::string jpeg = OpenMessage(doc, dir.File("cut.jpg"));
    EXPECT_TRUE(jpeg.starts_with("Unknown Error. (") && jpeg.size() > 20) << jpeg;

    // Files that cannot be read give the system's reason.
    EXPECT_EQ(OpenMessage(doc, dir.File("missing.png")), "Open File Error. (No such file or directory)");
    ASSERT_EQ(mkdir(dir.File("folder.png").c_str(), 0700), 0);
    EXPECT_EQ(OpenMessage(doc, dir.File("folder.png")), "Open File Error. (it is a directory)");

    // A good open clears the reason of the failure before it.
    WritePpmFile(dir.File("good.ppm"), 2, 2, PatternPixels(2, 2));
    EXPECT_EQ(OpenMessage(doc, dir.File("good.ppm")), "opened");
    EXPECT_EQ(doc.context->failure_reason, "");
}

// The formats named as not read are exactly those no reader takes: WebP, AVIF, HEIF and
// JPEG XL, read now, are not among them.
TEST(FailureReasons, ForeignFormatsAreKnownByTheirFirstBytesOnly)
{
    struct Case {
        Bytes head;
        const char* want; // null: none
    };
    const Case cases[] = {
        {Joined({Ascii("RIFF"), Bytes(4, 0), Ascii("WEBP")}), nullptr},
        {Joined({Ascii("RIFF"), Bytes(4, 0), Ascii("WAVE")}), nullptr},
        {Joined({{0, 0, 0, 0x20}, Ascii("ftypavis")}), nullptr},
        {Joined({{0, 0, 0, 0x20}, Ascii("ftypheic")}), nullptr},
        {Joined({{0, 0, 0, 0x20}, Ascii("ftypmif1")}), nullptr},
        {Joined({{0, 0, 0, 0x20}, Ascii("ftypisom")}), nullptr}, // an MP4 film
        {{0, 0, 0, 0x0C, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A}, nullptr},
        {{0xFF, 0x0A, 0xFA, 0x1F}, nullptr},
        {Joined({{0, 0, 0, 0x0C}, Ascii("jP  \r\n\x87\n")}), "JPEG 2000"},
        {{0xFF, 0x4F, 0xFF, 0x51}, "JPEG 2000"},
        {Joined({Ascii("8BPS"), {0, 1}}), "Photoshop"},
        {Ascii("%PDF-1.7"), "PDF"},
        {{0x89, 'P', 'N', 'G'}, nullptr},
        {{}, nullptr},
    };
    for (const Case& c : cases) {
        const char* got = ForeignFormatName(c.head);
        EXPECT_STREQ(got == nullptr ? "(none)" : got, c.want == nullptr ? "(none)" : c.want);
        if (got != nullptr) {
            EXPECT_LT(SniffFormat(c.head), 0) << got << " has a reader";
        }
    }
}
