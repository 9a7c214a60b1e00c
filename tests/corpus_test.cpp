// Every file of the shared sample corpus goes through the open dispatcher with one reused
// document, as in the viewer. Each open ends in a result code, a success leaves a display
// bitmap of the picture's size, and the broken files of some formats are all refused.
// Every file the index marks "ok" opens: pictures as a picture, sounds and music as media;
// the only exceptions are the refusals listed below, each of which must still end in its
// code, so the list cannot go stale. Skipped when the corpus is not there.
#include "base/Result_codes.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <set>
#include <sstream>

namespace {

bool IsMedia(const std::string& ext) { return ext == "mp3" || ext == "mid" || ext == "wav" || ext == "au"; }

// "ok" files refused today, with the code they end in and why.
struct KnownRefusal {
    const char* ext;
    const char* file;
    int rc;
    const char* reason;
};
const KnownRefusal kKnownRefusals[] = {
    {"tif", "im_input_16.tif", kBitDepthNotSupported, "4-bit palette TIFF"},
    {"tif", "im_input_gray_4bit.tif", kBitDepthNotSupported, "4-bit grey TIFF"},
    {"tif", "libtiff_palette-1c-4b.tif", kBitDepthNotSupported, "4-bit palette TIFF"},
    {"tif", "its_c16f4894de3142b98e8f3d8fc6b3d23e.tif", kBitDepthNotSupported, "32 bits per sample"},
};

const KnownRefusal* FindKnownRefusal(const CorpusEntry& e)
{
    for (const KnownRefusal& k : kKnownRefusals)
        if (e.ext == k.ext && e.file == k.file)
            return &k;
    return nullptr;
}

// Formats whose every broken file is refused (the others show part of some).
// (The broken PBM of the corpus is a PNG by its content, and opens as one.)
const std::set<std::string> kBrokenAlwaysRefused = {"dic", "fit", "pcx", "png", "ppm", "sgi"};

} // namespace

TEST(Corpus, EveryFileEndsInAResultCode)
{
    const std::string dir = CorpusDir();
    if (dir.empty())
        GTEST_SKIP() << NoCorpus();
    TIMAGE_INFO doc;
    std::map<std::string, std::map<int, int>> results; // extension -> code -> count
    std::map<std::string, std::pair<int, int>> by_status; // status -> opened, refused
    for (const CorpusEntry& e : CorpusEntries()) {
        SCOPED_TRACE(e.path);
        const int rc = doc.Open(e.path);
        ++results[e.ext][rc];
        ++(rc == kOk ? by_status[e.status].first : by_status[e.status].second);
        EXPECT_TRUE(rc <= 0 && rc >= kUnknownError) << "have " << rc;
        if (e.status == "broken" && kBrokenAlwaysRefused.count(e.ext) == 1) {
            EXPECT_NE(rc, kOk) << "a broken file opens";
        }
        if (rc == kOk && doc.state == kPictureOpen) {
            EXPECT_EQ(doc.display->Width(), doc.display_width);
            EXPECT_EQ(doc.display->Height(), doc.display_height);
        }
    }
    std::ostringstream summary;
    for (const auto& [ext, codes] : results) {
        summary << ext << ':';
        for (const auto& [code, n] : codes)
            summary << ' ' << code << "x" << n;
        summary << "  ";
    }
    RecordProperty("summary", summary.str());
    std::cout << "[ corpus ] " << summary.str() << "\n";
    for (const auto& [status, n] : by_status)
        std::cout << "[ corpus ] " << status << " files: " << n.first << " opened, " << n.second << " refused\n";
}

TEST(Corpus, EveryOkFileOpens)
{
    const std::string dir = CorpusDir();
    if (dir.empty())
        GTEST_SKIP() << NoCorpus();
    TIMAGE_INFO doc;
    int pictures = 0, media = 0, known = 0;
    std::set<const KnownRefusal*> seen;
    for (const CorpusEntry& e : CorpusEntries()) {
        if (e.status != "ok")
            continue;
        SCOPED_TRACE(e.path);
        const int rc = doc.Open(e.path);
        if (const KnownRefusal* k = FindKnownRefusal(e)) {
            seen.insert(k);
            ++known;
            EXPECT_EQ(rc, k->rc) << "listed as refused (" << k->reason << ") but ends in " << rc
                                 << (rc == kOk ? ": it opens now, remove it from the list" : "");
            continue;
        }
        EXPECT_EQ(rc, kOk) << ResultText(rc);
        if (rc != kOk)
            continue;
        if (IsMedia(e.ext)) {
            EXPECT_EQ(doc.state, kMediaOpen);
            ++media;
        } else {
            EXPECT_EQ(doc.state, kPictureOpen);
            EXPECT_GT(doc.display_width, 0);
            EXPECT_GT(doc.display_height, 0);
            ++pictures;
        }
    }
    for (const KnownRefusal& k : kKnownRefusals)
        EXPECT_TRUE(seen.count(&k) == 1) << k.ext << '/' << k.file << " is listed but not an \"ok\" file of the index";
    std::cout << "[ corpus ] \"ok\" files: " << pictures << " pictures and " << media << " media opened, " << known
              << " refused as listed\n";
}
