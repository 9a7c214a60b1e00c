// The zoom of the main view: the factor's steps, the factor that fits a picture into the
// screen, the mapping between view and picture pixels at a factor, and the downscaled copy
// a factor below 1 paints from.
//
// The mapping is exact in integers. A picture w pixels wide shows s = round(w x factor)
// pixels wide; view column v (counted from the picture's left edge) shows picture column
// floor(v * w / s), and picture column p starts at view column ceil(p * s / w). Above 1
// every picture pixel is a block of whole view pixels and PictureX(ViewX(p)) == p; below 1
// every view pixel is one picture pixel's and ViewX(PictureX(v)) == v, so an outline drawn
// at the view position of a picture rectangle is where the mouse drew it.
#pragma once

#include "widgets/logic/Rect_object.h"

#include <cstdint>
#include <string>

class Dib;

inline constexpr double kZoomMax = 10.0;
inline constexpr double kZoomMin = 0.1;

// The zoom factor: a base (1, or the fit factor of a fitted picture) and a signed count
// of steps from it. Steps up multiply by 1.1, steps down by 0.9; a step back towards the
// base undoes the last step exactly, so In then Out returns to the factor it left.
class ZOOM_STATE {
public:
    // A new picture: the base factor and no steps.
    void Reset(double base = 1.0)
    {
        base_ = base;
        steps_ = 0;
    }
    // One step up unless the factor would pass 10; true when it changed.
    bool In();
    // One step down unless the factor would go below 0.1; true when it changed.
    bool Out();
    double Factor() const { return FactorAt(steps_); }
    double Base() const { return base_; }
    std::int32_t Steps() const { return steps_; }

private:
    double FactorAt(std::int32_t steps) const;
    double base_ = 1.0;
    std::int32_t steps_ = 0;
};

// The factor that shows a pic_w x pic_h picture whole in avail_w x avail_h: 1 when it fits
// already (pictures are never enlarged to fit), else the smaller of the two ratios.
double FitFactor(std::int32_t pic_w, std::int32_t pic_h, std::int32_t avail_w, std::int32_t avail_h);
// A picture length at a factor, rounded, at least 1 (0 stays 0).
std::int32_t ScaledLength(std::int32_t n, double factor);
// The selection's handle band (RECT_OBJ::band) for a zoom factor: 5 view pixels in picture
// pixels, at least 1.
std::int32_t HandleBand(double factor);
// "Zoom 25%" for the status bar; "" at 100 %.
std::string ZoomText(double factor);

// The view of a picture at a factor. Picture pixel (0, 0) sits at view pixel
// (origin_x, origin_y).
struct VIEW_MAP {
    std::int32_t pic_w = 0, pic_h = 0;       // the picture
    std::int32_t shown_w = 0, shown_h = 0;   // its scaled size
    std::int32_t origin_x = 0, origin_y = 0; // the view position of picture pixel (0, 0)

    static VIEW_MAP Make(std::int32_t pic_w, std::int32_t pic_h, double factor, std::int32_t origin_x,
                         std::int32_t origin_y);
    bool Natural() const { return shown_w == pic_w && shown_h == pic_h; }
    // View position -> picture pixel (positions past the picture map past it too).
    std::int32_t PictureX(std::int32_t view_x) const;
    std::int32_t PictureY(std::int32_t view_y) const;
    RECT_POINT ToPicture(std::int32_t view_x, std::int32_t view_y) const { return {PictureX(view_x), PictureY(view_y)}; }
    // Picture pixel -> the view position where it starts.
    std::int32_t ViewX(std::int32_t pic_x) const;
    std::int32_t ViewY(std::int32_t pic_y) const;
    RECT_POINT ToView(std::int32_t pic_x, std::int32_t pic_y) const { return {ViewX(pic_x), ViewY(pic_y)}; }
};

// The background the view leaves around a picture: one pixel on every side.
inline constexpr std::int32_t kViewMargin = 1;

// How a picture shown_w x shown_h (its size at the zoom factor) lies in the view's area of
// area_w x area_h, which gives up a bar_w wide column and a bar_h high row to the scroll
// bars a picture larger than the area needs. A bar is shown along an axis where the
// picture with its margins is longer than the view; a bar along one axis takes room from
// the other, which may need its bar then too.
struct VIEW_LAYOUT {
    bool h_bar = false, v_bar = false;         // the horizontal, the vertical scroll bar
    std::int32_t view_w = 0, view_h = 0;       // the view: the area less the bars shown
    std::int32_t max_pan_x = 0, max_pan_y = 0; // the pan offset runs from 0 to these
};
VIEW_LAYOUT LayOutPicture(std::int32_t shown_w, std::int32_t shown_h, std::int32_t area_w, std::int32_t area_h,
                          std::int32_t bar_w, std::int32_t bar_h);
// The view position of a picture's first pixel along one axis: 1 - pan while the picture
// pans along it (pan clamped to 0 .. max_pan), else 1, or the middle of the view when
// centred.
std::int32_t PictureOrigin(std::int32_t shown, std::int32_t view, std::int32_t pan, std::int32_t max_pan,
                           bool centred);
// The pan offset along one axis that keeps the picture point under view position `at`
// there when the picture's shown length changes from shown_old, with its first pixel at
// origin_old, to shown_new: zooming around the mouse pointer (or the view's middle). The
// result is clamped to 0 .. max_pan, so near the picture's edges the point moves.
std::int32_t PanKeeping(std::int32_t at, std::int32_t origin_old, std::int32_t shown_old, std::int32_t shown_new,
                        std::int32_t max_pan);

// Scales a 24-bit picture down to dst_w x dst_h (each at most the source's) by averaging
// the box of source pixels every destination pixel covers: destination column d averages
// source columns floor(d * w / dst_w) up to floor((d + 1) * w / dst_w), the same columns the
// view mapping gives it. Returns kOk, kDataError for a bad source or size, or the Dib's
// code when the copy cannot get its memory.
int ScaleDownArea(const Dib& src, std::int32_t dst_w, std::int32_t dst_h, Dib& dst);
