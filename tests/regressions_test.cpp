// Inputs the reader fuzzers found (fuzz/regressions/<ext>/) open through the dispatcher under their
// own extension without a crash, a hang or a sanitizer report, and each ends in exactly the
// outcome fuzz/regressions/expected.tsv records for it: the result code and, for a success,
// the picture's size.
#include "base/Result_codes.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace {

// Directories of the targets that are not readers: their own unit tests and
// scripts/run_fuzz.sh replay them.
const std::set<std::string> kOtherTargets = {"keyfile", "ini", "rtf", "mp3", "clipboard", "dicom_meta"};

struct Expected {
    int rc = 0;
    int width = 0, height = 0;
};

// ext/file -> outcome; lines "ext<TAB>file<TAB>code<TAB>width<TAB>height", '#' for comments.
std::map<std::string, Expected> ReadManifest(const std::string& path)
{
    std::map<std::string, Expected> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream cols(line);
        std::string ext, file;
        Expected e;
        std::getline(cols, ext, '\t');
        std::getline(cols, file, '\t');
        cols >> e.rc >> e.width >> e.height;
        out[ext + "/" + file] = e;
    }
    return out;
}

} // namespace

TEST(FuzzRegressions, EveryKeptInputEndsInAResultCode)
{
    namespace fs = std::filesystem;
    const fs::path root = fs::path(RAVELSCOPE_SOURCE_DIR) / "fuzz" / "regressions";
    if (!fs::exists(root))
        GTEST_SKIP() << "no regression inputs at " << root;
    const std::string manifest_path = (root / "expected.tsv").string();
    std::map<std::string, Expected> manifest = ReadManifest(manifest_path);
    TempDir tmp;
    TIMAGE_INFO doc;
    int count = 0;
    for (const auto& ext_dir : fs::directory_iterator(root)) {
        if (!ext_dir.is_directory())
            continue;
        const std::string ext = ext_dir.path().filename().string();
        if (kOtherTargets.contains(ext))
            continue;
        for (const auto& f : fs::directory_iterator(ext_dir.path())) {
            const std::string file = f.path().filename().string();
            SCOPED_TRACE(ext + "/" + file);
            const std::string path = tmp.File("input." + ext);
            fs::copy_file(f.path(), path, fs::copy_options::overwrite_existing);
            const int rc = doc.Open(path);
            ++count;
            EXPECT_TRUE(rc <= 0 && rc >= kUnknownError) << "have " << rc;
            const int w = rc == kOk ? doc.display_width : 0;
            const int h = rc == kOk ? doc.display_height : 0;
            const auto it = manifest.find(ext + "/" + file);
            if (it == manifest.end()) {
                ADD_FAILURE() << "no expected outcome: after checking that it is the right one, add the line\n"
                              << ext << '\t' << file << '\t' << rc << '\t' << w << '\t' << h << "\nto "
                              << manifest_path;
                continue;
            }
            EXPECT_EQ(rc, it->second.rc) << ResultText(rc);
            EXPECT_EQ(w, it->second.width);
            EXPECT_EQ(h, it->second.height);
            manifest.erase(it);
        }
    }
    for (const auto& [name, e] : manifest)
        ADD_FAILURE() << manifest_path << " lists " << name << ", which is not in " << root.string();
    std::cout << "[ regressions ] " << count << " inputs checked against expected.tsv\n";
    RecordProperty("inputs", count);
}
