// Inputs the fuzzers found (fuzz/regressions/<ext>/) open without a crash, a hang or a
// sanitizer report, each through the dispatcher under its own extension.
#include "core/Result_codes.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(FuzzRegressions, EveryKeptInputEndsInAResultCode)
{
    namespace fs = std::filesystem;
    const fs::path root = fs::path(RAVELSCOPE_SOURCE_DIR) / "fuzz" / "regressions";
    if (!fs::exists(root))
        GTEST_SKIP() << "no regression inputs yet";
    TempDir tmp;
    TIMAGE_INFO doc;
    int count = 0;
    for (const auto& ext_dir : fs::directory_iterator(root)) {
        if (!ext_dir.is_directory())
            continue;
        const std::string ext = ext_dir.path().filename().string();
        for (const auto& f : fs::directory_iterator(ext_dir.path())) {
            SCOPED_TRACE(f.path().string());
            const std::string path = tmp.File("input." + ext);
            fs::copy_file(f.path(), path, fs::copy_options::overwrite_existing);
            const int rc = doc.Open(path);
            EXPECT_TRUE(rc <= 0 && rc >= kUnknownError) << "have " << rc;
            ++count;
        }
    }
    RecordProperty("inputs", count);
}
