#include "widgets/logic/Rect_object.h"

#include <algorithm>
#include <cstdlib>

RECT_OBJ rect_obj;

namespace {

bool Near(std::int32_t v, std::int32_t edge, std::int32_t band) { return v >= edge - band && v <= edge + band; }
bool Between(std::int32_t v, std::int32_t lo, std::int32_t hi) { return v >= lo && v <= hi; }

std::int32_t Clamp(std::int32_t v, std::int32_t lo, std::int32_t hi) { return std::max(lo, std::min(v, hi)); }

// The handle under (x, y), tested edges first, then corners; kHandleNone elsewhere.
std::int32_t HandleAt(const RECT_POINT* c, std::int32_t x, std::int32_t y, std::int32_t band)
{
    const RECT_POINT tl = c[RECT_OBJ::kTL], tr = c[RECT_OBJ::kTR], br = c[RECT_OBJ::kBR], bl = c[RECT_OBJ::kBL];
    const bool edge_x = Between(x, tl.x + band, tr.x - band);
    const bool edge_y = Between(y, tl.y + band, br.y - band);
    if (edge_x && Near(y, tl.y, band))
        return kHandleTop;
    if (edge_x && Near(y, br.y, band))
        return kHandleBottom;
    if (edge_y && Near(x, tr.x, band))
        return kHandleRight;
    if (edge_y && Near(x, tl.x, band))
        return kHandleLeft;
    if (Near(x, tl.x, band) && Near(y, tl.y, band))
        return kHandleTopLeft;
    if (Near(x, tr.x, band) && Near(y, tr.y, band))
        return kHandleTopRight;
    if (Near(x, br.x, band) && Near(y, br.y, band))
        return kHandleBottomRight;
    if (Near(x, bl.x, band) && Near(y, bl.y, band))
        return kHandleBottomLeft;
    return kHandleNone;
}

} // namespace

void RECT_OBJ::Reset()
{
    for (int i = 0; i < 4; ++i)
        corners[i] = saved[i] = RECT_POINT{};
    anchor = current = RECT_POINT{};
    drawn = false;
}

void RECT_OBJ::SetSpan(RECT_POINT a, RECT_POINT b)
{
    corners[kTL] = a;
    corners[kTR] = {b.x, a.y};
    corners[kBR] = b;
    corners[kBL] = {a.x, b.y};
    centre = {std::abs(a.x + b.x) / 2, std::abs(a.y + b.y) / 2};
}

void RECT_OBJ::Press(std::int32_t x, std::int32_t y)
{
    const RECT_POINT tl = corners[kTL];
    const std::int32_t inner = band + 1; // a press this far inside every edge moves the rectangle
    if (x >= tl.x + inner && x <= corners[kTR].x - inner && y >= tl.y + inner && y <= corners[kBR].y - inner) {
        mode = kRectMove;
        drag_start = {x, y};
        drag_offset = {};
        size = {saved[kTR].x - saved[kTL].x, saved[kBR].y - saved[kTL].y};
    } else if (const std::int32_t h = HandleAt(corners, x, y, band); h != kHandleNone) {
        mode = kRectResize;
        handle = h;
    } else {
        mode = kRectDraw;
    }
    anchor = current = {x, y};
}

bool RECT_OBJ::DragTo(std::int32_t x, std::int32_t y, std::int32_t view_w, std::int32_t view_h)
{
    switch (mode) {
    case kRectDraw: {
        const RECT_POINT p{Clamp(x, 0, view_w), Clamp(y, 0, view_h)};
        if (p == current)
            return false;
        current = p;
        Erase();
        SetSpan(anchor, current);
        Toggle();
        return true;
    }
    case kRectMove: {
        const RECT_POINT off{x - drag_start.x, y - drag_start.y};
        if (off == drag_offset)
            return false;
        drag_offset = off;
        Erase();
        std::int32_t top = saved[kTL].y + off.y, bottom = saved[kBR].y + off.y;
        std::int32_t left = saved[kTL].x + off.x, right = saved[kTR].x + off.x;
        if (top <= 0) {
            top = 0;
            bottom = size.y;
        } else if (bottom >= view_h - 1) {
            bottom = view_h - 1;
            top = bottom - size.y;
        }
        if (left <= 0) {
            left = 0;
            right = size.x;
        } else if (right >= view_w - 1) {
            right = view_w - 1;
            left = right - size.x;
        }
        SetSpan({left, top}, {right, bottom});
        Toggle();
        return true;
    }
    case kRectResize: {
        Erase();
        const std::int32_t cx = Clamp(x, 0, view_w - 1), cy = Clamp(y, 0, view_h - 1);
        RECT_POINT& tl = corners[kTL];
        RECT_POINT& tr = corners[kTR];
        RECT_POINT& br = corners[kBR];
        RECT_POINT& bl = corners[kBL];
        switch (handle) {
        case kHandleTop: tl.y = tr.y = cy; break;
        case kHandleBottom: bl.y = br.y = cy; break;
        case kHandleLeft: tl.x = bl.x = cx; break;
        case kHandleRight: tr.x = br.x = cx; break;
        // A grabbed corner is kept inside the picture like an edge, so a selection never
        // reaches past the pixels the commands read.
        case kHandleTopLeft: tl = {cx, cy}; tr.y = cy; bl.x = cx; break;
        case kHandleTopRight: tr = {cx, cy}; tl.y = cy; br.x = cx; break;
        case kHandleBottomRight: br = {cx, cy}; bl.y = cy; tr.x = cx; break;
        case kHandleBottomLeft: bl = {cx, cy}; br.y = cy; tl.x = cx; break;
        default: break;
        }
        Toggle();
        return true;
    }
    default:
        return false;
    }
}

bool RECT_OBJ::Release()
{
    anchor = current = RECT_POINT{};
    Erase();
    RECT_POINT& tl = corners[kTL];
    RECT_POINT& tr = corners[kTR];
    RECT_POINT& br = corners[kBR];
    RECT_POINT& bl = corners[kBL];
    if (tl.x < tr.x && tr.x < tl.x + 3 && tl.y < br.y && br.y < tl.y + 3) {
        Reset();
        return false;
    }
    if (bl.y < tl.y) {
        std::swap(tl.y, bl.y);
        std::swap(tr.y, br.y);
    }
    if (tr.x < tl.x) {
        std::swap(tl.x, tr.x);
        std::swap(bl.x, br.x);
    }
    Toggle();
    for (int i = 0; i < 4; ++i)
        saved[i] = corners[i];
    return true;
}

RectCursor RECT_OBJ::CursorAt(std::int32_t x, std::int32_t y)
{
    const RECT_POINT tl = corners[kTL];
    if (x > tl.x + band && x < corners[kTR].x - band && y > tl.y + band && y < corners[kBR].y - band)
        return RectCursor::Arrow;
    const std::int32_t h = HandleAt(corners, x, y, band);
    if (h != kHandleNone)
        handle = h;
    switch (h) {
    case kHandleTop:
    case kHandleBottom: return RectCursor::SizeNS;
    case kHandleLeft:
    case kHandleRight: return RectCursor::SizeWE;
    case kHandleTopLeft:
    case kHandleBottomRight: return RectCursor::SizeNWSE;
    case kHandleTopRight:
    case kHandleBottomLeft: return RectCursor::SizeNESW;
    default: return RectCursor::Arrow;
    }
}
