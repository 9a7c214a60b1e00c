// Area averaging: the weights are the overlaps of the two pixel grids.
#include "base/Result_codes.h"
#include "ops/Area_average.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A one-row picture of grey levels.
void Row(Dib& dib, const std::vector<int>& levels, int rows = 1)
{
    ASSERT_EQ(dib.SetSize(static_cast<int>(levels.size()), rows, 24), kOk);
    for (int y = 0; y < rows; ++y)
        for (std::size_t x = 0; x < levels.size(); ++x)
            for (int c = 0; c < 3; ++c)
                dib.ScanLine(y)[x * 3 + static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(levels[x]);
}

} // namespace

TEST(AreaAverage, WeighsEverySourcePixelByTheShareItCovers)
{
    struct Case {
        const char* name;
        std::vector<int> in;
        std::vector<int> want;
    };
    const Case cases[] = {
        {"halving", {10, 20, 200, 100}, {15, 150}},
        {"three to two: a third of the middle pixel each", {0, 90, 180}, {30, 150}},
        {"five to three", {0, 50, 100, 150, 250}, {20, 100, 210}},
        {"same size", {1, 2, 3}, {1, 2, 3}},
        {"to one: the mean, rounded", {0, 0, 1}, {0}},
        {"to one: rounded half up", {0, 1}, {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dib in, out;
        Row(in, c.in, 3);
        ASSERT_EQ(ReduceByArea(in, static_cast<int>(c.want.size()), 1, out), kOk);
        for (std::size_t x = 0; x < c.want.size(); ++x)
            for (int ch = 0; ch < 3; ++ch)
                EXPECT_EQ(out.ScanLine(0)[x * 3 + static_cast<std::size_t>(ch)], c.want[x]) << x;
    }
}

TEST(AreaAverage, KeepsAFlatColourFlatAtAnyRatio)
{
    Dib in, out;
    ASSERT_EQ(in.SetSize(997, 613, 24), kOk);
    for (int y = 0; y < in.Height(); ++y)
        for (int x = 0; x < in.Width(); ++x) {
            in.ScanLine(y)[x * 3] = 17;
            in.ScanLine(y)[x * 3 + 1] = 128;
            in.ScanLine(y)[x * 3 + 2] = 255;
        }
    ASSERT_EQ(ReduceByArea(in, 128, 79, out), kOk);
    for (int y = 0; y < out.Height(); ++y)
        for (int x = 0; x < out.Width(); ++x) {
            ASSERT_EQ(out.ScanLine(y)[x * 3], 17);
            ASSERT_EQ(out.ScanLine(y)[x * 3 + 1], 128);
            ASSERT_EQ(out.ScanLine(y)[x * 3 + 2], 255);
        }
}

TEST(AreaAverage, RefusesSizesItCannotReduceTo)
{
    Dib in, out, empty;
    Row(in, {1, 2, 3});
    EXPECT_EQ(ReduceByArea(in, 4, 1, out), kDataError);
    EXPECT_EQ(ReduceByArea(in, 1, 2, out), kDataError);
    EXPECT_EQ(ReduceByArea(in, 0, 1, out), kDataError);
    EXPECT_EQ(ReduceByArea(empty, 1, 1, out), kDataError);
}
