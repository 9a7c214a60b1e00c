#include "ops/Medfltr.h"

#include "core/Imageinfo.h"
#include "core/Result_codes.h"
#include "ops/Ops_common.h"

#include <algorithm>
#include <cstring>
#include <vector>

std::int32_t MedianOf(std::int32_t* values, std::int32_t a)
{
    for (std::int32_t i = 0; i + 1 < a; ++i)
        for (std::int32_t j = i + 1; j < a; ++j)
            if (values[i] < values[j])
                std::swap(values[i], values[j]);
    return a > 0 ? values[a / 2] : 0;
}

namespace {

// Sorts lane[0][k] .. lane[a − 1][k] ascending for every k < n with an odd-even
// transposition network of min/max over whole lanes, and returns the lane holding the
// element at ascending index a − 1 − a div 2 (MedianOf's descending index a div 2).
const std::uint8_t* SortLanes(std::uint8_t* const* lane, int a, int n)
{
    // Chunks small enough that all lanes of one stay in the first-level cache.
    constexpr int kStep = 512;
    for (int start = 0; start < n; start += kStep) {
        const int m = std::min(kStep, n - start);
        for (int round = 0; round < a; ++round)
            for (int j = round & 1; j + 1 < a; j += 2) {
                std::uint8_t* __restrict lo = lane[j] + start;
                std::uint8_t* __restrict hi = lane[j + 1] + start;
                for (int k = 0; k < m; ++k) {
                    const std::uint8_t p = lo[k], q = hi[k];
                    lo[k] = p < q ? p : q;
                    hi[k] = p < q ? q : p;
                }
            }
    }
    return lane[a - 1 - a / 2];
}

int Wrap(long long i, int n) { return static_cast<int>(((i % n) + n) % n); }

} // namespace

int MedianFilter(const Dib& src, Dib& dst, std::int32_t a)
{
    if (a < 1)
        return kDataError;
    const int w = src.Width(), h = src.Height();
    if (const int rc = EnsureBitmap(dst, w, h); rc != kOk)
        return rc;
    if (w == 0 || h == 0)
        return kOk;
    const int row_bytes = w * 3;
    const int half = a / 2;
    // Lanes are processed in chunks that stay in the cache.
    constexpr int kChunk = 4096;
    const int lane_bytes = row_bytes;
    std::vector<std::uint8_t> store(static_cast<std::size_t>(a) * static_cast<std::size_t>(lane_bytes));
    std::vector<std::uint8_t*> lane(static_cast<std::size_t>(a));
    for (int o = 0; o < a; ++o)
        lane[static_cast<std::size_t>(o)] = store.data() + static_cast<std::size_t>(o) * static_cast<std::size_t>(lane_bytes);
    Dib mid;
    if (const int rc = mid.SetSize(w, h, 24); rc != kOk)
        return rc;

    // Pass 1: down the columns.
    std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(a));
    for (int y = 0; y < h; ++y) {
        for (int o = 0; o < a; ++o)
            rows[static_cast<std::size_t>(o)] = src.ScanLine(Wrap(static_cast<long long>(y) - half + o, h));
        for (int start = 0; start < row_bytes; start += kChunk) {
            const int n = std::min(kChunk, row_bytes - start);
            for (int o = 0; o < a; ++o)
                std::memcpy(lane[static_cast<std::size_t>(o)], rows[static_cast<std::size_t>(o)] + start,
                            static_cast<std::size_t>(n));
            std::memcpy(mid.ScanLine(y) + start, SortLanes(lane.data(), a, n), static_cast<std::size_t>(n));
        }
    }
    // Pass 2: along the rows; lane o is the row shifted by offset o with wrap-around.
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = mid.ScanLine(y);
        for (int o = 0; o < a; ++o) {
            const int s = Wrap(static_cast<long long>(o) - half, w) * 3;
            std::uint8_t* l = lane[static_cast<std::size_t>(o)];
            std::memcpy(l, row + s, static_cast<std::size_t>(row_bytes - s));
            std::memcpy(l + (row_bytes - s), row, static_cast<std::size_t>(s));
        }
        std::memcpy(dst.ScanLine(y), SortLanes(lane.data(), a, row_bytes), static_cast<std::size_t>(row_bytes));
    }
    return kOk;
}

int MedianFilter(TIMAGE_INFO& doc, Dib& preview, std::int32_t a)
{
    if (!doc.display)
        return kOk;
    return MedianFilter(*doc.display, doc.dialog_accepted != 0 ? doc.result_bitmap : preview, a);
}
