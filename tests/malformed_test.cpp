// The broken files of the shared sample corpus, side by side with ImageMagick.
//
// Each file is opened twice through one reused document, once after every buffer of the
// context was left full of 0x11 bytes and once after 0xEE: the result code and the picture
// must be the same both times, so a file we open anyway shows a defined picture and never
// memory it did not decode. Where ImageMagick (when installed) refuses a file, we refuse it
// too, unless the file is listed below with what we show instead; the comparison and its
// counts are printed. Skipped without the corpus.
#include "base/Result_codes.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <iterator>
#include <sstream>

namespace {

// Leaves every pixel buffer of the document's context and its display full of one byte,
// as a large previous picture would.
void Soil(TIMAGE_INFO& doc, std::uint8_t byte)
{
    constexpr int kSide = 1024;
    LoadPicture(doc, kSide, kSide, Bytes(static_cast<std::size_t>(kSide) * kSide * 3, byte));
    CODEC_CTX& ctx = *doc.context;
    for (PixelBuffer* b : {&ctx.work, &ctx.quad, &ctx.unpack, &ctx.raw_rows, &ctx.row, &ctx.index,
                           &ctx.quad_row, &ctx.file, &ctx.expanded, &ctx.planar, &ctx.save_rows}) {
        const std::size_t n = static_cast<std::size_t>(kSide) * kSide * 4;
        ASSERT_EQ(b->Reserve(n), kOk);
        std::memset(b->data(), byte, n);
    }
    std::memset(ctx.palette, byte, sizeof ctx.palette);
}

struct Outcome {
    int rc;
    Bytes pixels;
};

Outcome OpenAfter(TIMAGE_INFO& doc, std::uint8_t soil, const std::string& path)
{
    Soil(doc, soil);
    Outcome o{doc.Open(path), {}};
    if (o.rc == kOk && doc.state == kPictureOpen && doc.display->SetPixelFormat(24) == kOk)
        o.pixels = DisplayPixels(doc);
    return o;
}

// Broken files ImageMagick refuses that we open on purpose, and what we show.
struct OpenedAnyway {
    const char* ext;
    const char* file;
    const char* shown;
};
const OpenedAnyway kOpenedAnyway[] = {
    {"bmp", "bmpsuite_b_badplanes.bmp", "the planes field is ignored; the picture is whole"},
    {"bmp", "bmpsuite_b_pal8badindex.bmp", "indices past the palette are black"},
    {"gif", "its_55abb3cc464305dd554171c3d44cb61f.gif", "corrupt image data: what decodes, the rest defined"},
    {"gif", "its_9f8f6046eaf9ffa2d9c5d6db05c5f881.gif", "corrupt image data: what decodes, the rest defined"},
    {"tga", "cross_scan_line_truncated.tga", "the rows before the cut, the rest black"},
    {"jpg", "its_c3018ebe53d0046eecb58858ca869a99.jpg", "what libjpeg decodes past the bad Huffman code"},
    {"tif", "libtiff_testfax3_bug_513.tif", "the fax rows libtiff decodes, the rest black"},
    {"msp", "hopper_bad_checksum.msp", "the header checksum is not checked; the picture is whole"},
};

const OpenedAnyway* FindOpenedAnyway(const CorpusEntry& e)
{
    for (const OpenedAnyway& o : kOpenedAnyway)
        if (e.ext == o.ext && e.file == o.file)
            return &o;
    return nullptr;
}

bool IsPictureExtension(const std::string& ext)
{
    return ext != "mp3" && ext != "mid" && ext != "wav" && ext != "au" && ext != "avi" && ext != "mpg";
}

} // namespace

TEST(Malformed, BrokenFilesEndInACodeOrADefinedPictureWhereImageMagickRefuses)
{
    if (CorpusDir().empty())
        GTEST_SKIP() << NoCorpus();
    const bool have_im = HaveTool("convert-im6.q16");
    TIMAGE_INFO doc;
    std::ostringstream table;
    int files = 0, im_refused = 0, we_refused = 0, both_refused = 0, opened_anyway = 0;
    for (const CorpusEntry& e : CorpusEntries()) {
        if (e.status != "broken" || !IsPictureExtension(e.ext))
            continue;
        SCOPED_TRACE(e.path);
        ++files;
        const Outcome a = OpenAfter(doc, 0x11, e.path);
        const Outcome b = OpenAfter(doc, 0xEE, e.path);
        EXPECT_TRUE(a.rc <= 0 && a.rc >= kUnknownError) << "have " << a.rc;
        EXPECT_EQ(a.rc, b.rc);
        EXPECT_TRUE(a.pixels == b.pixels) << "the picture depends on what the buffers held before";
        bool refused_by_im = false;
        if (have_im) {
            const int status = RunCommand("timeout 30 convert-im6.q16 '" + e.path + "[0]' ppm:/dev/null >/dev/null 2>&1");
            refused_by_im = status != 0;
        }
        const OpenedAnyway* listed = FindOpenedAnyway(e);
        if (have_im && refused_by_im) {
            if (listed != nullptr) {
                ++opened_anyway;
                EXPECT_EQ(a.rc, kOk) << "listed as opened (" << listed->shown << ") but refused: remove it from the list";
                EXPECT_FALSE(a.pixels.empty()) << "opened without a picture to compare";
            } else {
                EXPECT_NE(a.rc, kOk) << "ImageMagick refuses it and we open it: refuse it too, or list it with what "
                                        "we show";
            }
        } else if (have_im && listed != nullptr) {
            ADD_FAILURE() << "listed as opened though ImageMagick refuses it, but ImageMagick opens it";
        }
        im_refused += refused_by_im;
        we_refused += a.rc != kOk;
        both_refused += refused_by_im && a.rc != kOk;
        table << e.ext << '/' << e.file << '\t' << (have_im ? (refused_by_im ? "refused" : "opened") : "-")
              << '\t' << (a.rc == kOk ? std::string("opened") : "refused " + std::to_string(a.rc)) << '\n';
    }
    std::cout << "[ malformed ] file\tImageMagick\tours\n" << table.str();
    std::cout << "[ malformed ] " << files << " files; ImageMagick refused " << im_refused << ", we refused "
              << we_refused << ", both " << both_refused << "; we open " << opened_anyway << " as listed\n";
    EXPECT_GT(files, 0);
    if (have_im) {
        EXPECT_EQ(im_refused, both_refused + opened_anyway);
        EXPECT_EQ(opened_anyway, static_cast<int>(std::size(kOpenedAnyway))) << "a listed file is not a broken file";
    }
}
