#include "widgets/logic/Rect_object.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int kW = 200, kH = 150; // the picture

// Press, move through the points, release; returns whether a selection results.
bool Gesture(RECT_OBJ& r, RECT_POINT from, std::vector<RECT_POINT> path)
{
    r.Press(from.x, from.y);
    for (RECT_POINT p : path)
        r.DragTo(p.x, p.y, kW, kH);
    return r.Release();
}

std::vector<int> BoundsOf(const RECT_OBJ& r)
{
    const RECT_BOUNDS b = r.Bounds();
    return {b.left, b.top, b.right, b.bottom};
}

// A selection from (10, 10) to (50, 40).
RECT_OBJ Selected()
{
    RECT_OBJ r;
    EXPECT_TRUE(Gesture(r, {10, 10}, {{30, 25}, {50, 40}}));
    return r;
}

} // namespace

TEST(RectObject, DrawingNormalisesAndDropsTinyRectangles)
{
    const struct {
        const char* name;
        RECT_POINT from, to;
        bool selected;
        std::vector<int> bounds;
    } cases[] = {
        {"forward", {10, 10}, {50, 40}, true, {10, 10, 50, 40}},
        {"backward", {50, 40}, {10, 10}, true, {10, 10, 50, 40}},
        {"up and right", {10, 40}, {50, 10}, true, {10, 10, 50, 40}},
        {"clamped to the picture", {150, 100}, {400, -20}, true, {150, 0, 200, 100}},
        {"2 x 2", {10, 10}, {12, 12}, false, {0, 0, 0, 0}},
        {"1 x 2", {10, 10}, {11, 12}, false, {0, 0, 0, 0}},
        {"3 x 1 stays", {10, 10}, {13, 11}, true, {10, 10, 13, 11}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RECT_OBJ r;
        EXPECT_EQ(Gesture(r, c.from, {c.to}), c.selected);
        EXPECT_EQ(BoundsOf(r), c.bounds);
        EXPECT_EQ(r.drawn, c.selected);
        if (c.selected) {
            EXPECT_EQ(r.saved[RECT_OBJ::kBR], r.corners[RECT_OBJ::kBR]);
        }
    }
}

TEST(RectObject, PressChoosesMoveResizeOrNew)
{
    const struct {
        const char* name;
        RECT_POINT at;
        std::uint8_t mode;
        std::int32_t handle;
    } cases[] = {
        {"6 inside every edge", {16, 16}, kRectMove, kHandleNone},
        {"5 inside the top", {30, 15}, kRectResize, kHandleTop},
        {"on the bottom", {30, 44}, kRectResize, kHandleBottom},
        {"right edge", {54, 25}, kRectResize, kHandleRight},
        {"left edge", {7, 25}, kRectResize, kHandleLeft},
        {"top-left corner", {6, 6}, kRectResize, kHandleTopLeft},
        {"top-right corner", {52, 9}, kRectResize, kHandleTopRight},
        {"bottom-right corner", {55, 45}, kRectResize, kHandleBottomRight},
        {"bottom-left corner", {10, 43}, kRectResize, kHandleBottomLeft},
        {"outside", {100, 100}, kRectDraw, kHandleNone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RECT_OBJ r = Selected();
        r.handle = kHandleNone;
        r.Press(c.at.x, c.at.y);
        EXPECT_EQ(r.mode, c.mode);
        if (c.mode == kRectResize) {
            EXPECT_EQ(r.handle, c.handle);
        }
        EXPECT_EQ(r.anchor, c.at);
    }
}

TEST(RectObject, MovingKeepsTheSizeInsideThePicture)
{
    const struct {
        const char* name;
        RECT_POINT to; // from (30, 25)
        std::vector<int> bounds;
    } cases[] = {
        {"by (20, 10)", {50, 35}, {30, 20, 70, 50}},
        {"past the left border", {0, 25}, {0, 10, 40, 40}},
        {"past the top", {30, -50}, {10, 0, 50, 30}},
        {"past the bottom right", {400, 400}, {159, 119, 199, 149}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RECT_OBJ r = Selected();
        EXPECT_TRUE(Gesture(r, {30, 25}, {c.to}));
        EXPECT_EQ(BoundsOf(r), c.bounds);
    }
}

TEST(RectObject, ResizingMovesTheGrabbedEdgesWithinThePicture)
{
    const struct {
        const char* name;
        RECT_POINT from, to;
        std::vector<int> bounds;
    } cases[] = {
        {"top edge up", {30, 10}, {30, 2}, {10, 2, 50, 40}},
        {"top edge past the top", {30, 10}, {30, -9}, {10, 0, 50, 40}},
        {"right edge right", {50, 25}, {80, 99}, {10, 10, 80, 40}},
        {"right edge past the picture", {50, 25}, {500, 25}, {10, 10, 199, 40}},
        {"left edge across the right", {10, 25}, {70, 25}, {50, 10, 70, 40}},
        {"bottom-right corner", {50, 40}, {90, 70}, {10, 10, 90, 70}},
        {"top-left corner past the picture", {10, 10}, {-30, -30}, {0, 0, 50, 40}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RECT_OBJ r = Selected();
        EXPECT_TRUE(Gesture(r, c.from, {c.to}));
        EXPECT_EQ(BoundsOf(r), c.bounds);
    }
}

TEST(RectObject, CursorFollowsTheHandleUnderTheMouse)
{
    const struct {
        RECT_POINT at;
        RectCursor want;
    } cases[] = {
        {{30, 25}, RectCursor::Arrow},    {{30, 10}, RectCursor::SizeNS},   {{30, 42}, RectCursor::SizeNS},
        {{8, 25}, RectCursor::SizeWE},    {{51, 25}, RectCursor::SizeWE},   {{10, 10}, RectCursor::SizeNWSE},
        {{49, 41}, RectCursor::SizeNWSE}, {{50, 10}, RectCursor::SizeNESW}, {{12, 38}, RectCursor::SizeNESW},
        {{100, 100}, RectCursor::Arrow},
    };
    RECT_OBJ r = Selected();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.at.x << "," << c.at.y);
        EXPECT_EQ(r.CursorAt(c.at.x, c.at.y), c.want);
    }
}

TEST(RectObject, ToggleAndReset)
{
    RECT_OBJ r = Selected();
    EXPECT_TRUE(r.drawn);
    r.Toggle();
    EXPECT_FALSE(r.drawn);
    r.Erase();
    EXPECT_FALSE(r.drawn);
    r.Toggle();
    r.Reset();
    EXPECT_FALSE(r.drawn);
    EXPECT_EQ(BoundsOf(r), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(r.saved[RECT_OBJ::kTR], RECT_POINT{});
}
