// The broken files of the shared sample corpus, side by side with ImageMagick.
//
// Each file is opened twice through one reused document, once after every buffer of the
// context was left full of 0x11 bytes and once after 0xEE: the result code and the picture
// must be the same both times, so a file we open anyway shows a defined picture and never
// memory it did not decode. Where ImageMagick (when installed) refuses a file, we refuse
// it or show that defined picture; the comparison is printed. Skipped without the corpus.
#include "core/Result_codes.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
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
    pImageInfo = &doc;
    std::ostringstream table;
    int files = 0, im_refused = 0, we_refused = 0, both_refused = 0;
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
        im_refused += refused_by_im;
        we_refused += a.rc != kOk;
        both_refused += refused_by_im && a.rc != kOk;
        table << e.ext << '/' << e.file << '\t' << (have_im ? (refused_by_im ? "refused" : "opened") : "-")
              << '\t' << (a.rc == kOk ? std::string("opened") : "refused " + std::to_string(a.rc)) << '\n';
    }
    std::cout << "[ malformed ] file\tImageMagick\tours\n" << table.str();
    std::cout << "[ malformed ] " << files << " files; ImageMagick refused " << im_refused << ", we refused "
              << we_refused << ", both " << both_refused << "\n";
}
