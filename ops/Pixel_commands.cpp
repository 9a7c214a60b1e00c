#include "ops/Pixel_commands.h"

#include "core/Result_codes.h"
#include "ops/Ops_common.h"

#include <algorithm>
#include <cstring>

void Mirror(Dib& pic)
{
    const int w = pic.Width();
    for (int y = 0; y < pic.Height(); ++y) {
        std::uint8_t* row = pic.ScanLine(y);
        for (int l = 0, r = w - 1; l < r; ++l, --r) {
            std::uint8_t* a = row + static_cast<std::size_t>(l) * 3;
            std::uint8_t* b = row + static_cast<std::size_t>(r) * 3;
            std::swap(a[0], b[0]);
            std::swap(a[1], b[1]);
            std::swap(a[2], b[2]);
        }
    }
}

void FlipVertical(Dib& pic)
{
    const std::size_t n = static_cast<std::size_t>(pic.Width()) * 3;
    for (int t = 0, b = pic.Height() - 1; t < b; ++t, --b)
        std::swap_ranges(pic.ScanLine(t), pic.ScanLine(t) + n, pic.ScanLine(b));
}

namespace {

// Quarter turn in 32 × 32 tiles so that both pictures stay in the cache.
int QuarterTurn(const Dib& src, Dib& dst, bool left)
{
    const int w = src.Width(), h = src.Height();
    if (&src == &dst)
        return kDataError;
    if (const int rc = EnsureBitmap(dst, h, w); rc != kOk)
        return rc;
    constexpr int kTile = 32;
    const std::size_t stride = dst.Stride();
    for (int y0 = 0; y0 < h; y0 += kTile)
        for (int x0 = 0; x0 < w; x0 += kTile) {
            const int y1 = std::min(h, y0 + kTile), x1 = std::min(w, x0 + kTile);
            for (int y = y0; y < y1; ++y) {
                const std::uint8_t* s = src.ScanLine(y) + static_cast<std::size_t>(x0) * 3;
                // Left: pixel (x, y) lands in row w − 1 − x, column y; right: row x, column h − 1 − y.
                std::uint8_t* d = left ? dst.ScanLine(w - 1 - x0) + static_cast<std::size_t>(y) * 3
                                       : dst.ScanLine(x0) + static_cast<std::size_t>(h - 1 - y) * 3;
                const std::ptrdiff_t step = left ? -static_cast<std::ptrdiff_t>(stride) : static_cast<std::ptrdiff_t>(stride);
                for (int x = x0; x < x1; ++x, s += 3) {
                    d[0] = s[0];
                    d[1] = s[1];
                    d[2] = s[2];
                    if (x + 1 < x1)
                        d += step;
                }
            }
        }
    return kOk;
}

} // namespace

int RotateLeft(const Dib& src, Dib& dst) { return QuarterTurn(src, dst, true); }
int RotateRight(const Dib& src, Dib& dst) { return QuarterTurn(src, dst, false); }

void Negative(Dib& pic)
{
    const std::size_t n = static_cast<std::size_t>(pic.Width()) * 3;
    for (int y = 0; y < pic.Height(); ++y) {
        std::uint8_t* p = pic.ScanLine(y);
        for (std::size_t i = 0; i < n; ++i)
            p[i] = static_cast<std::uint8_t>(255 - p[i]);
    }
}

void GrayScale(Dib& pic)
{
    for (int y = 0; y < pic.Height(); ++y) {
        std::uint8_t* p = pic.ScanLine(y);
        for (int x = 0; x < pic.Width(); ++x, p += 3) {
            const auto g = static_cast<std::uint8_t>((p[0] + p[1] + p[2]) / 3);
            p[0] = p[1] = p[2] = g;
        }
    }
}

void SwapChannels(Dib& pic, const int order[3])
{
    const int a = order[0], b = order[1], c = order[2];
    for (int y = 0; y < pic.Height(); ++y) {
        std::uint8_t* p = pic.ScanLine(y);
        for (int x = 0; x < pic.Width(); ++x, p += 3) {
            const std::uint8_t old[3] = {p[0], p[1], p[2]};
            p[0] = old[a];
            p[1] = old[b];
            p[2] = old[c];
        }
    }
}

bool SwapOrder(const char* name, int order[3])
{
    if (name == nullptr || std::strlen(name) != 3)
        return false;
    bool seen[3] = {};
    for (int i = 0; i < 3; ++i) {
        const char ch = name[i];
        const int k = ch == 'R' ? 0 : ch == 'G' ? 1 : ch == 'B' ? 2 : -1;
        if (k < 0 || seen[k])
            return false;
        seen[k] = true;
        order[i] = k;
    }
    return !(order[0] == 0 && order[1] == 1 && order[2] == 2);
}
