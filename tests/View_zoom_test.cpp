#include "widgets/logic/View_zoom.h"

#include "base/Result_codes.h"
#include "platform/Dib.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ZoomState, StepsStayInsideTheLimitsAndRetraceExactly)
{
    ZOOM_STATE z;
    int ins = 0;
    while (z.In())
        ++ins;
    EXPECT_EQ(ins, 24); // 1.1^24 = 9.85; one more would be 10.83
    EXPECT_LE(z.Factor(), kZoomMax);
    while (ins-- > 0)
        ASSERT_TRUE(z.Out());
    EXPECT_EQ(z.Factor(), 1.0); // exactly where it started

    int outs = 0;
    while (z.Out())
        ++outs;
    EXPECT_EQ(outs, 21); // 0.9^21 = 0.109; one more would be 0.098
    EXPECT_GE(z.Factor(), kZoomMin);
    ASSERT_TRUE(z.In());
    EXPECT_DOUBLE_EQ(z.Factor(), std::pow(0.9, 20));

    z.Reset(0.4); // a fitted picture starts from its fit factor
    ASSERT_TRUE(z.In());
    ASSERT_TRUE(z.Out());
    EXPECT_EQ(z.Factor(), 0.4);
    EXPECT_EQ(z.Steps(), 0);
}

TEST(ZoomState, FitFactorAndTexts)
{
    const struct {
        int pic_w, pic_h, avail_w, avail_h;
        double factor;
    } cases[] = {
        {3000, 2000, 1270, 800, 0.4},      // the height decides
        {3000, 1000, 1200, 900, 0.4},      // the width decides
        {800, 600, 1270, 800, 1.0},        // fits: never enlarged
        {1270, 800, 1270, 800, 1.0},       // exactly fits
        {1271, 800, 1270, 800, 1270.0 / 1271},
        {0, 0, 1270, 800, 1.0},            // no picture
        {3000, 2000, 0, 0, 1.0},           // no room known
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pic_w << "x" << c.pic_h << " in " << c.avail_w << "x" << c.avail_h);
        EXPECT_DOUBLE_EQ(FitFactor(c.pic_w, c.pic_h, c.avail_w, c.avail_h), c.factor);
    }
    EXPECT_EQ(ScaledLength(3000, 0.4), 1200);
    EXPECT_EQ(ScaledLength(3, 0.1), 1); // never vanishes
    EXPECT_EQ(ScaledLength(0, 2.0), 0);
    EXPECT_EQ(HandleBand(1.0), 5);
    EXPECT_EQ(HandleBand(0.4), 13); // five view pixels wide at any zoom
    EXPECT_EQ(HandleBand(10.0), 1); // never narrower than a picture pixel
    EXPECT_EQ(ZoomText(1.0), "");
    EXPECT_EQ(ZoomText(0.9 * 1.1 / 0.99), ""); // rounding noise still reads 100 %
    EXPECT_EQ(ZoomText(0.4), "Zoom 40%");
    EXPECT_EQ(ZoomText(1.1 * 1.1), "Zoom 121%");
}

// The view mapping in both directions, at factors below, at and above 1, with the picture
// placed anywhere in the view.
TEST(ViewMap, MapsBothWaysWithoutDrift)
{
    const struct {
        int pic_w;
        double factor;
        int origin;
    } cases[] = {
        {3000, 0.4, 1}, {10, 0.5, -3}, {37, 0.33, 0}, {10, 1.0, 1}, {10, 1.1, 1}, {10, 2.0, 5}, {7, 3.7, -20}, {5, 10.0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pic_w << " at " << c.factor << " from " << c.origin);
        const VIEW_MAP m = VIEW_MAP::Make(c.pic_w, 4, c.factor, c.origin, 0);
        EXPECT_EQ(m.PictureX(c.origin), 0);
        EXPECT_EQ(m.PictureX(c.origin + m.shown_w), c.pic_w); // one past the right edge
        EXPECT_EQ(m.ViewX(0), c.origin);
        EXPECT_EQ(m.ViewX(c.pic_w), c.origin + m.shown_w);
        EXPECT_LT(m.PictureX(c.origin - 1), 0); // left of the picture is outside it
        if (c.factor >= 1) {
            for (int p = 0; p <= c.pic_w; ++p)
                ASSERT_EQ(m.PictureX(m.ViewX(p)), p) << p;
            // Every view pixel of a block shows that block's picture pixel.
            for (int p = 0; p < c.pic_w; ++p)
                for (int v = m.ViewX(p); v < m.ViewX(p + 1); ++v)
                    ASSERT_EQ(m.PictureX(v), p) << v;
        } else {
            for (int v = c.origin; v <= c.origin + m.shown_w; ++v)
                ASSERT_EQ(m.ViewX(m.PictureX(v)), v) << v;
        }
    }
    const VIEW_MAP half = VIEW_MAP::Make(10, 10, 0.5, 1, 1);
    EXPECT_EQ(half.ToPicture(2, 3), (RECT_POINT{2, 4}));
    EXPECT_EQ(half.ToView(3, 4), (RECT_POINT{3, 3})); // picture column 3 starts in view column 1 + ceil(1.5)
    const VIEW_MAP twice = VIEW_MAP::Make(10, 10, 2.0, 1, 1);
    EXPECT_EQ(twice.ToPicture(6, 7), (RECT_POINT{2, 3}));
    EXPECT_EQ(twice.ToView(2, 3), (RECT_POINT{5, 7}));
    EXPECT_TRUE(VIEW_MAP::Make(10, 10, 1.0, 1, 1).Natural());
}

namespace {

void Columns(Dib& d, int w, int h, std::initializer_list<std::uint8_t> levels)
{
    ASSERT_EQ(d.SetSize(w, h, 24), kOk);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = d.ScanLine(y) + 3 * x;
            p[0] = levels.begin()[x];
            p[1] = static_cast<std::uint8_t>(y * 100);
            p[2] = 7;
        }
}

} // namespace

TEST(ScaleDownArea, AveragesTheBoxTheMappingGivesEachPixel)
{
    Dib src;
    Columns(src, 5, 2, {0, 10, 20, 31, 250});
    Dib out;
    // 5 columns into 2: columns 0-1 and 2-4 (floor(d * 5 / 2)); 2 rows into 1.
    ASSERT_EQ(ScaleDownArea(src, 2, 1, out), kOk);
    ASSERT_EQ(out.Width(), 2);
    ASSERT_EQ(out.Height(), 1);
    EXPECT_EQ(out.ScanLine(0)[0], 5);   // (0 + 10) / 2
    EXPECT_EQ(out.ScanLine(0)[3], 100); // (20 + 31 + 250) / 3 rounded
    EXPECT_EQ(out.ScanLine(0)[1], 50);  // rows 0 and 100 averaged
    EXPECT_EQ(out.ScanLine(0)[5], 7);
    const VIEW_MAP m = VIEW_MAP::Make(5, 2, 2.0 / 5, 0, 0);
    EXPECT_EQ(m.shown_w, 2);
    EXPECT_EQ(m.PictureX(1), 2); // the second view column starts at the second box

    ASSERT_EQ(ScaleDownArea(src, 5, 2, out), kOk); // the same size is a copy
    EXPECT_EQ(out.ScanLine(1)[3 * 4], 250);

    Dib grey;
    ASSERT_EQ(grey.SetSize(4, 4, 8), kOk);
    const struct {
        const Dib* src;
        int w, h;
    } bad[] = {{&src, 6, 1}, {&src, 2, 3}, {&src, 0, 1}, {&src, 2, -1}, {&grey, 2, 2}};
    for (const auto& b : bad)
        EXPECT_EQ(ScaleDownArea(*b.src, b.w, b.h, out), kDataError) << b.w << "x" << b.h;
}

// Scroll bars appear where the picture with its one-pixel margins is longer than the view,
// and a bar along one axis can make the other axis need one.
TEST(ViewLayout, ScrollBarsWhereThePictureIsLonger)
{
    const struct {
        const char* name;
        int shown_w, shown_h, area_w, area_h;
        VIEW_LAYOUT want;
    } cases[] = {
        // Bars 15 wide and 15 high.
        {"fits", 400, 300, 402, 302, {false, false, 402, 302, 0, 0}},
        {"no picture", 0, 0, 500, 400, {false, false, 500, 400, 0, 0}},
        {"one pixel wider", 401, 300, 402, 400, {true, false, 402, 385, 1, 0}},
        {"taller only", 300, 900, 500, 400, {false, true, 485, 400, 0, 502}},
        {"the vertical bar makes it too wide", 480, 900, 490, 400, {true, true, 475, 385, 7, 517}},
        {"the horizontal bar makes it too tall", 900, 390, 500, 400, {true, true, 485, 385, 417, 7}},
        {"both", 4000, 3000, 800, 600, {true, true, 785, 585, 3217, 2417}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const VIEW_LAYOUT l = LayOutPicture(c.shown_w, c.shown_h, c.area_w, c.area_h, 15, 15);
        EXPECT_EQ(l.h_bar, c.want.h_bar);
        EXPECT_EQ(l.v_bar, c.want.v_bar);
        EXPECT_EQ(l.view_w, c.want.view_w);
        EXPECT_EQ(l.view_h, c.want.view_h);
        EXPECT_EQ(l.max_pan_x, c.want.max_pan_x);
        EXPECT_EQ(l.max_pan_y, c.want.max_pan_y);
    }
    // Panned to the end, the last picture pixel and the margin after it are in view.
    const VIEW_LAYOUT l = LayOutPicture(4000, 3000, 800, 600, 15, 15);
    const int origin = PictureOrigin(4000, l.view_w, l.max_pan_x, l.max_pan_x, false);
    EXPECT_EQ(origin + 4000 + kViewMargin, l.view_w);

    EXPECT_EQ(PictureOrigin(300, 800, 0, 0, false), 1);        // fits: one pixel in
    EXPECT_EQ(PictureOrigin(300, 800, 0, 0, true), 250);       // or in the middle
    EXPECT_EQ(PictureOrigin(799, 800, 0, 0, true), 1);         // never on the edge
    EXPECT_EQ(PictureOrigin(900, 800, 50, 102, true), -49);    // panning wins over centring
    EXPECT_EQ(PictureOrigin(900, 800, 500, 102, false), -101); // a pan past the end stops there
}

// Zooming around a view position keeps the picture point under it within half a view
// pixel, in and out, wherever the picture was panned, unless the pan meets an end.
TEST(ViewLayout, ZoomKeepsThePointUnderThePointer)
{
    const struct {
        int pic;     // picture length
        double from; // factor before
        double to;   // factor after
        int origin;  // where the picture started before
        int at;      // the pointer
    } cases[] = {
        {4000, 0.3, 0.33, 1, 300},         {4000, 1.0, 1.1, -1500, 400}, {4000, 1.1, 1.0, -1500, 400},
        {3000, 2.0, 0.9 * 2.0, -2000, 10}, {800, 1.0, 1.21, 1, 700},     {500, 9.0, 9.9, -3000, 250},
        {4000, 0.5, 0.45, -700, 0},
    };
    const int view = 800;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pic << " from " << c.from << " to " << c.to << " at " << c.at);
        const int shown_old = ScaledLength(c.pic, c.from);
        const int shown_new = ScaledLength(c.pic, c.to);
        const int max_pan = shown_new + 2 - view;
        ASSERT_GT(max_pan, 0);
        const int pan = PanKeeping(c.at, c.origin, shown_old, shown_new, max_pan);
        ASSERT_GT(pan, 0);
        ASSERT_LT(pan, max_pan);
        const int origin = PictureOrigin(shown_new, view, pan, max_pan, false);
        const double before = (c.at + 0.5 - c.origin) * c.pic / shown_old;
        const double after = (c.at + 0.5 - origin) * c.pic / shown_new;
        EXPECT_LE(std::abs(after - before), 0.5 * c.pic / shown_new + 1e-9);
    }
    // Near an end the pan stops at that end; a picture that fits does not pan.
    EXPECT_EQ(PanKeeping(700, -5, 1000, 900, 102), 0);      // would be -65
    EXPECT_EQ(PanKeeping(795, -199, 1000, 1100, 250), 250); // would be 299
    EXPECT_EQ(PanKeeping(400, 1, 700, 770, 0), 0);
    EXPECT_EQ(PanKeeping(400, 1, 0, 770, 100), 0); // nothing was shown before
}
