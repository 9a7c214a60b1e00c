#include "widgets/logic/View_zoom.h"

#include "base/Result_codes.h"
#include "platform/Dib.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// floor(a / b) for b > 0 and any a.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

std::int32_t ToPictureAxis(std::int32_t v, std::int32_t origin, std::int32_t pic, std::int32_t shown)
{
    if (shown <= 0)
        return 0;
    return static_cast<std::int32_t>(FloorDiv(static_cast<std::int64_t>(v - origin) * pic, shown));
}

std::int32_t ToViewAxis(std::int32_t p, std::int32_t origin, std::int32_t pic, std::int32_t shown)
{
    if (pic <= 0)
        return origin;
    // ceil(p * shown / pic)
    return origin + static_cast<std::int32_t>(-FloorDiv(-static_cast<std::int64_t>(p) * shown, pic));
}

} // namespace

double ZOOM_STATE::FactorAt(std::int32_t steps) const
{
    return steps >= 0 ? base_ * std::pow(1.1, steps) : base_ * std::pow(0.9, -steps);
}

bool ZOOM_STATE::In()
{
    if (FactorAt(steps_ + 1) > kZoomMax)
        return false;
    ++steps_;
    return true;
}

bool ZOOM_STATE::Out()
{
    if (FactorAt(steps_ - 1) < kZoomMin)
        return false;
    --steps_;
    return true;
}

double FitFactor(std::int32_t pic_w, std::int32_t pic_h, std::int32_t avail_w, std::int32_t avail_h)
{
    if (pic_w <= 0 || pic_h <= 0 || avail_w <= 0 || avail_h <= 0)
        return 1.0;
    if (pic_w <= avail_w && pic_h <= avail_h)
        return 1.0;
    return std::min(static_cast<double>(avail_w) / pic_w, static_cast<double>(avail_h) / pic_h);
}

std::int32_t ScaledLength(std::int32_t n, double factor)
{
    if (n <= 0)
        return 0;
    const double s = std::floor(n * factor + 0.5);
    return s < 1 ? 1 : static_cast<std::int32_t>(std::min(s, 2147483647.0));
}

std::int32_t HandleBand(double factor)
{
    if (factor <= 0)
        return 5;
    const double band = std::floor(5.0 / factor + 0.5);
    return band < 1 ? 1 : static_cast<std::int32_t>(std::min(band, 1e6));
}

std::string ZoomText(double factor)
{
    const long percent = std::lround(factor * 100);
    if (percent == 100)
        return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "Zoom %ld%%", percent);
    return buf;
}

VIEW_MAP VIEW_MAP::Make(std::int32_t pic_w, std::int32_t pic_h, double factor, std::int32_t origin_x,
                        std::int32_t origin_y)
{
    VIEW_MAP m;
    m.pic_w = pic_w;
    m.pic_h = pic_h;
    m.shown_w = ScaledLength(pic_w, factor);
    m.shown_h = ScaledLength(pic_h, factor);
    m.origin_x = origin_x;
    m.origin_y = origin_y;
    return m;
}

std::int32_t VIEW_MAP::PictureX(std::int32_t view_x) const { return ToPictureAxis(view_x, origin_x, pic_w, shown_w); }
std::int32_t VIEW_MAP::PictureY(std::int32_t view_y) const { return ToPictureAxis(view_y, origin_y, pic_h, shown_h); }
std::int32_t VIEW_MAP::ViewX(std::int32_t pic_x) const { return ToViewAxis(pic_x, origin_x, pic_w, shown_w); }
std::int32_t VIEW_MAP::ViewY(std::int32_t pic_y) const { return ToViewAxis(pic_y, origin_y, pic_h, shown_h); }

VIEW_LAYOUT LayOutPicture(std::int32_t shown_w, std::int32_t shown_h, std::int32_t area_w, std::int32_t area_h,
                          std::int32_t bar_w, std::int32_t bar_h)
{
    VIEW_LAYOUT l;
    const std::int64_t content_w = std::int64_t{shown_w} + 2 * kViewMargin;
    const std::int64_t content_h = std::int64_t{shown_h} + 2 * kViewMargin;
    if (shown_w > 0 && shown_h > 0) {
        l.h_bar = content_w > area_w;
        l.v_bar = content_h > area_h;
        // Each bar narrows the room of the other axis; two rounds settle it.
        for (int round = 0; round < 2; ++round) {
            l.h_bar = l.h_bar || content_w > area_w - (l.v_bar ? bar_w : 0);
            l.v_bar = l.v_bar || content_h > area_h - (l.h_bar ? bar_h : 0);
        }
    }
    l.view_w = std::max(0, area_w - (l.v_bar ? bar_w : 0));
    l.view_h = std::max(0, area_h - (l.h_bar ? bar_h : 0));
    l.max_pan_x = l.h_bar ? static_cast<std::int32_t>(std::max<std::int64_t>(0, content_w - l.view_w)) : 0;
    l.max_pan_y = l.v_bar ? static_cast<std::int32_t>(std::max<std::int64_t>(0, content_h - l.view_h)) : 0;
    return l;
}

std::int32_t PictureOrigin(std::int32_t shown, std::int32_t view, std::int32_t pan, std::int32_t max_pan,
                           bool centred)
{
    if (max_pan > 0)
        return kViewMargin - std::clamp(pan, 0, max_pan);
    return centred ? std::max(kViewMargin, (view - shown) / 2) : kViewMargin;
}

std::int32_t PanKeeping(std::int32_t at, std::int32_t origin_old, std::int32_t shown_old, std::int32_t shown_new,
                        std::int32_t max_pan)
{
    if (shown_old <= 0 || max_pan <= 0)
        return 0;
    // The middle of view pixel `at` lies (at + 0.5 - origin) / shown of the way along the
    // picture, before and after.
    const double along = (at + 0.5 - origin_old) / shown_old;
    const double origin_new = at + 0.5 - along * shown_new;
    const double pan = std::floor(kViewMargin - origin_new + 0.5);
    return static_cast<std::int32_t>(std::clamp(pan, 0.0, static_cast<double>(max_pan)));
}

int ScaleDownArea(const Dib& src, std::int32_t dst_w, std::int32_t dst_h, Dib& dst)
{
    const std::int32_t w = src.Width(), h = src.Height();
    if (src.Empty() || src.PixelFormat() != 24 || dst_w <= 0 || dst_h <= 0 || dst_w > w || dst_h > h)
        return kDataError;
    if (const int rc = dst.SetSize(dst_w, dst_h, 24); rc != kOk)
        return rc;
    // The first source column of every destination column, and one past the last.
    std::vector<std::int32_t> col(static_cast<std::size_t>(dst_w) + 1);
    for (std::int32_t d = 0; d <= dst_w; ++d)
        col[static_cast<std::size_t>(d)] = static_cast<std::int32_t>(static_cast<std::int64_t>(d) * w / dst_w);
    std::vector<std::uint64_t> sums(static_cast<std::size_t>(dst_w) * 3);
    for (std::int32_t dy = 0; dy < dst_h; ++dy) {
        const auto y0 = static_cast<std::int32_t>(static_cast<std::int64_t>(dy) * h / dst_h);
        const auto y1 = static_cast<std::int32_t>(static_cast<std::int64_t>(dy + 1) * h / dst_h);
        std::fill(sums.begin(), sums.end(), 0u);
        for (std::int32_t y = y0; y < y1; ++y) {
            const std::uint8_t* row = src.ScanLine(y);
            std::uint64_t* s = sums.data();
            for (std::int32_t d = 0; d < dst_w; ++d, s += 3) {
                const std::uint8_t* p = row + static_cast<std::size_t>(col[static_cast<std::size_t>(d)]) * 3;
                const std::uint8_t* end = row + static_cast<std::size_t>(col[static_cast<std::size_t>(d) + 1]) * 3;
                std::uint64_t b = 0, g = 0, r = 0;
                for (; p < end; p += 3) {
                    b += p[0];
                    g += p[1];
                    r += p[2];
                }
                s[0] += b;
                s[1] += g;
                s[2] += r;
            }
        }
        std::uint8_t* out = dst.ScanLine(dy);
        const auto rows = static_cast<std::uint64_t>(y1 - y0);
        for (std::int32_t d = 0; d < dst_w; ++d) {
            const std::uint64_t n =
                rows * static_cast<std::uint64_t>(col[static_cast<std::size_t>(d) + 1] - col[static_cast<std::size_t>(d)]);
            for (int c = 0; c < 3; ++c) {
                const std::uint64_t sum = sums[static_cast<std::size_t>(d) * 3 + static_cast<std::size_t>(c)];
                out[static_cast<std::size_t>(d) * 3 + static_cast<std::size_t>(c)] =
                    static_cast<std::uint8_t>((sum + n / 2) / n);
            }
        }
    }
    return kOk;
}
