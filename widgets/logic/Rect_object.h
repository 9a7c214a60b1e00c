// The selection rectangle of the main view and its gesture rules: drawing a new
// rectangle, moving it, resizing it by an edge or a corner, the handle under the mouse,
// and the normalisation when the button is released. Coordinates are picture pixels.
//
// `drawn` says whether the rectangle is on screen; Toggle() flips it as an inverting
// outline would appear and disappear, and the view paints the outline while it is set.
#pragma once

#include <cstdint>

struct RECT_POINT {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const RECT_POINT&) const = default;
};

enum RectMode : std::uint8_t { kRectDraw = 1, kRectMove = 2, kRectResize = 4 };

// Edges and corners a resize can grab.
enum RectHandle : std::int32_t {
    kHandleTop = 0, kHandleRight = 1, kHandleBottom = 2, kHandleLeft = 3,
    kHandleTopLeft = 4, kHandleTopRight = 5, kHandleBottomRight = 6, kHandleBottomLeft = 7,
    kHandleNone = -1,
};

// The cursor shown over the rectangle.
enum class RectCursor { Arrow, SizeNS, SizeWE, SizeNWSE, SizeNESW };

struct RECT_BOUNDS {
    std::int32_t left, top, right, bottom;
    std::int32_t Width() const { return right - left; }
    std::int32_t Height() const { return bottom - top; }
};

class RECT_OBJ {
public:
    enum Corner { kTL = 0, kTR = 1, kBR = 2, kBL = 3 };

    bool drawn = false;
    RECT_POINT centre;
    RECT_POINT drag_start;
    RECT_POINT drag_offset;
    RECT_POINT anchor;
    RECT_POINT current;
    RECT_POINT corners[4];
    std::uint8_t mode = kRectDraw;
    std::uint8_t style = 0; // 0 solid outline, 1 dotted outline
    RECT_POINT size;
    RECT_POINT saved[4];
    std::int32_t handle = kHandleNone; // the handle a resize moves
    // Half a handle's width in picture pixels: 5, or what 5 view pixels are at the view's
    // zoom. A press band + 1 inside every edge moves the rectangle.
    std::int32_t band = 5;

    // All corners and saved corners, anchor and current 0; not drawn.
    void Reset();
    // The rectangle appears when it was hidden and disappears when it was shown.
    void Toggle() { drawn = !drawn; }
    void Erase()
    {
        if (drawn)
            Toggle();
    }

    // Left button down at (x, y): chooses move, resize (with its handle) or a new rectangle.
    void Press(std::int32_t x, std::int32_t y);
    // Mouse moved with the left button held; view_w and view_h are the picture's size.
    // Returns true when the rectangle changed.
    bool DragTo(std::int32_t x, std::int32_t y, std::int32_t view_w, std::int32_t view_h);
    // Left button up. Returns true when a selection results, false when the rectangle was
    // too small and has been reset.
    bool Release();
    // The cursor for a mouse at (x, y) without a button; remembers the handle found.
    RectCursor CursorAt(std::int32_t x, std::int32_t y);

    RECT_BOUNDS Bounds() const { return {corners[kTL].x, corners[kTL].y, corners[kTR].x, corners[kBR].y}; }

private:
    void SetSpan(RECT_POINT a, RECT_POINT b);
};

// The selection rectangle of the main view.
extern RECT_OBJ rect_obj;
