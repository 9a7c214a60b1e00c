#include "ops/Area_average.h"

#include "base/Result_codes.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// The source pixels one destination pixel covers along a side, and their weights. In
// units of 1/dst of a source pixel, source pixel i spans [i * dst, (i + 1) * dst) and
// destination pixel d spans [d * src, (d + 1) * src): the weights are the overlaps and add
// up to src.
struct SPAN {
    int first = 0;
    int count = 0;
    std::size_t weights = 0; // index of the first weight
};

void MakeSpans(int src, int dst, std::vector<SPAN>& spans, std::vector<std::uint32_t>& weights)
{
    spans.resize(static_cast<std::size_t>(dst));
    weights.clear();
    const auto s = static_cast<std::int64_t>(src), n = static_cast<std::int64_t>(dst);
    for (std::int64_t d = 0; d < n; ++d) {
        const std::int64_t lo = d * s, hi = (d + 1) * s;
        const std::int64_t first = lo / n, last = (hi - 1) / n;
        SPAN& span = spans[static_cast<std::size_t>(d)];
        span.first = static_cast<int>(first);
        span.count = static_cast<int>(last - first + 1);
        span.weights = weights.size();
        for (std::int64_t i = first; i <= last; ++i)
            weights.push_back(static_cast<std::uint32_t>(std::min(hi, (i + 1) * n) - std::max(lo, i * n)));
    }
}

} // namespace

int ReduceByArea(const Dib& src, int dst_w, int dst_h, Dib& dst)
{
    const int w = src.Width(), h = src.Height();
    if (src.Empty() || src.PixelFormat() != 24 || dst_w < 1 || dst_h < 1 || dst_w > w || dst_h > h)
        return kDataError;
    if (int rc = dst.SetSize(dst_w, dst_h, 24); rc != kOk)
        return rc;
    std::vector<SPAN> cols, rows;
    std::vector<std::uint32_t> col_weights, row_weights;
    MakeSpans(w, dst_w, cols, col_weights);
    MakeSpans(h, dst_h, rows, row_weights);
    const std::size_t out_values = static_cast<std::size_t>(dst_w) * 3;
    // One source row reduced across (each value at most 255 × w), then the rows summed
    // down with their weights (at most 255 × w × h); 64 bits hold both.
    std::vector<std::uint64_t> across(out_values);
    std::vector<std::uint64_t> down(out_values);
    const std::uint64_t area = static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h);
    for (int dy = 0; dy < dst_h; ++dy) {
        const SPAN& r = rows[static_cast<std::size_t>(dy)];
        std::fill(down.begin(), down.end(), 0u);
        for (int k = 0; k < r.count; ++k) {
            const std::uint8_t* line = src.ScanLine(r.first + k);
            for (int dx = 0; dx < dst_w; ++dx) {
                const SPAN& c = cols[static_cast<std::size_t>(dx)];
                const std::uint8_t* p = line + static_cast<std::size_t>(c.first) * 3;
                const std::uint32_t* cw = col_weights.data() + c.weights;
                std::uint64_t b = 0, g = 0, rd = 0;
                for (int i = 0; i < c.count; ++i, p += 3) {
                    b += std::uint64_t{cw[i]} * p[0];
                    g += std::uint64_t{cw[i]} * p[1];
                    rd += std::uint64_t{cw[i]} * p[2];
                }
                std::uint64_t* a = across.data() + static_cast<std::size_t>(dx) * 3;
                a[0] = b;
                a[1] = g;
                a[2] = rd;
            }
            const std::uint64_t rw = row_weights[r.weights + static_cast<std::size_t>(k)];
            for (std::size_t i = 0; i < out_values; ++i)
                down[i] += rw * across[i];
        }
        std::uint8_t* out = dst.ScanLine(dy);
        for (std::size_t i = 0; i < out_values; ++i)
            out[i] = static_cast<std::uint8_t>((down[i] + area / 2) / area);
    }
    return kOk;
}
