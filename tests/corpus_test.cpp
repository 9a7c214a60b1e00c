// Every file of the shared sample corpus goes through the open dispatcher with one reused
// document, as in the viewer: each open ends in a result code, and a success leaves a
// display bitmap of the picture's size. Skipped when the corpus is not there.
#include "core/Result_codes.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

TEST(Corpus, EveryFileEndsInAResultCode)
{
    const std::string dir = CorpusDir();
    if (dir.empty())
        GTEST_SKIP() << "no sample corpus beside the repository";
    TIMAGE_INFO doc;
    std::map<std::string, std::map<int, int>> results; // extension -> code -> count
    for (const CorpusEntry& e : CorpusEntries()) {
        const std::string& path = e.path;
        const std::string& ext = e.ext;
        SCOPED_TRACE(path);
        const int rc = doc.Open(path);
        ++results[ext][rc];
        EXPECT_TRUE(rc <= 0 && rc >= kUnknownError) << "have " << rc;
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
}
