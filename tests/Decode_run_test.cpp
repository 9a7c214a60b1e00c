#include "dialogs/logic/Decode_run.h"

#include "base/Result_codes.h"
#include "tests/test_support.h"
#include "viewer/tests/Picture_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class FAKE_CLOCK final : public RUN_CLOCK {
public:
    std::int64_t NowMicros() override { return now; }
    std::int64_t now = 1'000'000;
};

// The real open that keeps the shown picture, taking the next of a cycle of durations on
// the fake clock.
class TIMED_OPENER final : public RUN_OPENER {
public:
    TIMED_OPENER(FAKE_CLOCK& clock, std::vector<std::int64_t> micros) : clock_(clock), micros_(std::move(micros)) {}
    std::int32_t Open(TIMAGE_INFO& doc, const std::string& path) override
    {
        clock_.now += micros_[opens % micros_.size()];
        ++opens;
        return real_.Open(doc, path);
    }
    std::size_t opens = 0;

private:
    FAKE_CLOCK& clock_;
    std::vector<std::int64_t> micros_;
    KEEPING_RUN_OPENER real_;
};

// A directory of tiny pictures: "a.ppm" is 8 × 6 of grey 'a', "d.pgm" 4 × 2, a name with
// "bad" holds a broken header. The document's file list is built for it.
void MakeFiles(const TempDir& dir, TIMAGE_INFO& doc, const std::vector<std::string>& names)
{
    for (const std::string& n : names) {
        if (n.find("bad") != std::string::npos) {
            WriteBytes(dir.File(n), ToBytes("P6 broken"));
            continue;
        }
        const bool pgm = n.ends_with(".pgm");
        const auto level = static_cast<std::uint8_t>(n[0]);
        ASSERT_TRUE(WriteTestPicture(dir.File(n), pgm ? 4 : 8, pgm ? 2 : 6, [=](int, int, std::uint8_t* p) {
            p[0] = p[1] = p[2] = level;
        }, pgm));
    }
    ASSERT_TRUE(doc.BuildFileList(dir.path()));
}

std::uint8_t ShownLevel(const TIMAGE_INFO& doc) { return doc.display->ScanLine(0)[0]; }

class DecodeRunTest : public testing::Test {
protected:
    void Make(const std::vector<std::string>& names) { MakeFiles(dir_, doc_, names); }
    void Show(const std::string& name) { ASSERT_EQ(FILE_BROWSER().OpenKeepingShown(doc_, dir_.File(name)), kOk); }

    TempDir dir_;
    TIMAGE_INFO doc_;
    FAKE_CLOCK clock_;
};

struct RUN_CASE {
    const char* name;
    std::vector<std::string> files;
    std::string shown;          // opened before the run ("" for none)
    std::string current;        // the current path the run starts from (a file name, or "" for the shown one)
    std::int32_t max_loads;
    std::vector<std::int64_t> micros;
    std::vector<std::string> log;
    std::string shown_after;    // the picture the document shows afterwards
    bool failed;
};

TEST_F(DecodeRunTest, LogsOfTheTable)
{
    const std::vector<RUN_CASE> cases = {
        {"wraps from the last entry; the average truncates",
         {"a.ppm", "b.ppm", "c.ppm"}, "b.ppm", "", 5, {5000, 2999, 4500},
         {"Decoding file: b.ppm", "index: 1 -- time_load: 5 -- avg: 5",
          "Decoding file: c.ppm", "index: 2 -- time_load: 2 -- avg: 3",
          "Decoding file: a.ppm", "index: 3 -- time_load: 4 -- avg: 3",
          "Decoding file: b.ppm", "index: 4 -- time_load: 5 -- avg: 4",
          "Decoding file: c.ppm", "index: 5 -- time_load: 2 -- avg: 3"},
         "c.ppm", false},
        {"a failed open ends the run after its file's line and keeps the picture",
         {"a.ppm", "b-bad.ppm", "c.ppm"}, "c.ppm", "a.ppm", 10, {1000},
         {"Decoding file: a.ppm", "index: 1 -- time_load: 1 -- avg: 1", "Decoding file: b-bad.ppm"},
         "a.ppm", true},
        {"a current path outside the list starts at the first entry",
         {"a.ppm", "b.ppm"}, "", "elsewhere.ppm", 3, {999},
         {"Decoding file: a.ppm", "index: 1 -- time_load: 0 -- avg: 0",
          "Decoding file: b.ppm", "index: 2 -- time_load: 0 -- avg: 0",
          "Decoding file: a.ppm", "index: 3 -- time_load: 0 -- avg: 0"},
         "a.ppm", false},
    };
    for (const RUN_CASE& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        TIMAGE_INFO doc;
        MakeFiles(dir, doc, c.files);
        if (!c.shown.empty()) {
            ASSERT_EQ(FILE_BROWSER().OpenKeepingShown(doc, dir.File(c.shown)), kOk);
        }
        if (!c.current.empty())
            doc.current_path = dir.File(c.current);
        TIMED_OPENER opener(clock_, c.micros);
        DECODE_RUN run(doc, opener, clock_, c.max_loads);
        ASSERT_TRUE(run.Start());
        run.Run();
        EXPECT_EQ(run.Log(), c.log);
        EXPECT_TRUE(run.Ended());
        EXPECT_EQ(run.FailedCode() != kOk, c.failed);
        EXPECT_EQ(run.FailedPath(), c.failed ? dir.File(c.log.back().substr(15)) : "");
        EXPECT_EQ(run.FailedText(), c.failed ? "Data Error. (a header field that is not a number)" : "");
        EXPECT_EQ(doc.current_path, dir.File(c.shown_after));
        EXPECT_EQ(ShownLevel(doc), static_cast<std::uint8_t>(c.shown_after[0]));
        EXPECT_EQ(doc.context->width, 8);
    }
}

TEST_F(DecodeRunTest, OneEntryLoadsItAThousandTimes)
{
    Make({"a.ppm"});
    Show("a.ppm");
    TIMED_OPENER opener(clock_, {2000, 3000});
    DECODE_RUN run(doc_, opener, clock_);
    ASSERT_TRUE(run.Start());
    int repaints = 0;
    run.Run([&] { ++repaints; });
    EXPECT_EQ(opener.opens, 1000u);
    EXPECT_EQ(repaints, 1000);
    ASSERT_EQ(run.Log().size(), 2000u);
    EXPECT_EQ(run.Log().back(), "index: 1000 -- time_load: 3 -- avg: 2"); // 2500 ms over 1000 loads
    EXPECT_EQ(run.Loads().back().micros, 3000);
}

TEST_F(DecodeRunTest, EmptyListAndStop)
{
    TIMED_OPENER opener(clock_, {1000});
    DECODE_RUN empty(doc_, opener, clock_);
    doc_.current_index = -1;
    EXPECT_FALSE(empty.Start());
    EXPECT_FALSE(empty.Step());
    EXPECT_TRUE(empty.Log().empty());
    EXPECT_EQ(opener.opens, 0u);

    Make({"a.ppm", "b.ppm"});
    DECODE_RUN run(doc_, opener, clock_);
    ASSERT_TRUE(run.Start());
    EXPECT_TRUE(run.Step());
    run.Stop();
    EXPECT_FALSE(run.Step());
    EXPECT_EQ(run.Loaded(), 1);
}

TEST_F(DecodeRunTest, SummaryPerFormatAndCsvRoundTrip)
{
    Make({"a.pgm", "b.ppm", "c.ppm"});
    Show("a.pgm");
    // Loads a, b, c, a, b.
    TIMED_OPENER opener(clock_, {1000, 2000, 7000, 1000, 2000});
    DECODE_RUN run(doc_, opener, clock_, 5);
    ASSERT_TRUE(run.Start());
    run.Run();
    ASSERT_EQ(run.Loaded(), 5);

    const std::vector<FORMAT_SUMMARY> rows = SummariseRun(run.Loads());
    // PGM: 2 loads of 4 × 2 in 2 ms; PPM: 3 loads of 8 × 6 (2, 7, 2 ms).
    const std::vector<FORMAT_SUMMARY> expected = {
        {FormatName(kFmtPgm), 1, 2, 1.0, 1.0, 16.0 / 2000.0},
        {FormatName(kFmtPpm), 2, 3, 11.0 / 3.0, 2.0, 144.0 / 11000.0},
    };
    EXPECT_EQ(rows, expected);

    TempDir out;
    ASSERT_EQ(SaveSummaryCsv(out.File("summary.csv"), rows), kOk);
    const Bytes saved = ReadBytes(out.File("summary.csv"));
    std::vector<FORMAT_SUMMARY> back;
    ASSERT_TRUE(ParseSummaryCsv(std::string(saved.begin(), saved.end()), back));
    EXPECT_EQ(back, rows);

    // An even count takes the middle two; a name with a comma and a quote survives.
    const std::vector<FORMAT_SUMMARY> named = {{"x, \"y\"", 1, 4, 0.1, 2.5, 0.0}};
    ASSERT_TRUE(ParseSummaryCsv(SummaryCsv(named), back));
    EXPECT_EQ(back, named);
    for (const char* bad : {"", "format,files\n", "format,files,loads,mean_ms,median_ms,megapixels_per_s\nx,1,2,3\n",
                            "format,files,loads,mean_ms,median_ms,megapixels_per_s\n\"x,1,2,3,4,5\n",
                            "format,files,loads,mean_ms,median_ms,megapixels_per_s\nx,1,2,3ms,4,5\n"})
        EXPECT_FALSE(ParseSummaryCsv(bad, back)) << bad;
}

} // namespace
