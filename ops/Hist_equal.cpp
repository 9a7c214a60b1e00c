#include "ops/Hist_equal.h"

#include "base/Result_codes.h"
#include "ops/Ops_common.h"

#include <cmath>
#include <cstring>

namespace {

// Counts of each byte position (0 blue, 1 green, 2 red).
void CountBytes(const Dib& src, std::uint32_t hist[3][256])
{
    std::memset(hist, 0, sizeof(std::uint32_t) * 3 * 256);
    for (int y = 0; y < src.Height(); ++y) {
        const std::uint8_t* p = src.ScanLine(y);
        for (int x = 0; x < src.Width(); ++x, p += 3) {
            ++hist[0][p[0]];
            ++hist[1][p[1]];
            ++hist[2][p[2]];
        }
    }
}

} // namespace

int EqualizeHistogram(const Dib& src, Dib& dst)
{
    if (const int rc = EnsureBitmap(dst, src.Width(), src.Height()); rc != kOk)
        return rc;
    if (src.Empty())
        return kOk;
    std::uint32_t hist[3][256];
    CountBytes(src, hist);
    const double n = static_cast<double>(src.Width()) * src.Height();
    std::uint8_t table[3][256];
    for (int k = 0; k < 3; ++k) {
        std::uint64_t running = 0;
        for (int v = 0; v < 256; ++v) {
            running += hist[k][v];
            double cdf = static_cast<double>(running) / n;
            if (cdf > 1.0)
                cdf = 1.0;
            table[k][v] = static_cast<std::uint8_t>(255.0 * cdf);
        }
    }
    ApplyTables(src, dst, table, 0, 0, src.Width(), src.Height());
    return kOk;
}

int PlotChannel(const Dib& src, int channel, Dib& plot)
{
    if (const int rc = EnsureBitmap(plot, 255, 256); rc != kOk)
        return rc;
    FillBitmap(plot, 255, 255, 255);
    if (channel < 0 || channel > 2)
        return kOk;
    std::uint32_t hist[3][256];
    CountBytes(src, hist);
    const std::uint32_t* count = hist[2 - channel];
    std::uint32_t max = 0;
    for (int j = 0; j < 255; ++j)
        max = count[j] > max ? count[j] : max;
    if (max == 0)
        return kOk;
    // Pure red, dark green (0x80) and pure blue, in pixel order blue, green, red.
    static const std::uint8_t kColour[3][3] = {{0, 0, 255}, {0, 0x80, 0}, {255, 0, 0}};
    const std::uint8_t* colour = kColour[channel];
    for (int j = 0; j < 255; ++j) {
        const int a = static_cast<int>(static_cast<double>(count[j]) / max * 256.0);
        if (a <= 0 || a > 256)
            continue;
        for (int y = 256 - a; y < 256; ++y) {
            std::uint8_t* p = plot.ScanLine(y) + j * 3;
            p[0] = colour[0];
            p[1] = colour[1];
            p[2] = colour[2];
        }
    }
    return kOk;
}

void ComputeStatistics(const Dib& src, ChannelStatistics stats[3])
{
    for (int c = 0; c < 3; ++c)
        stats[c] = ChannelStatistics{};
    if (src.Empty())
        return;
    std::uint32_t hist[3][256];
    CountBytes(src, hist);
    const std::uint64_t n = static_cast<std::uint64_t>(src.Width()) * static_cast<std::uint64_t>(src.Height());
    for (int c = 0; c < 3; ++c) {
        const std::uint32_t* count = hist[2 - c];
        std::uint64_t sum = 0;
        for (int v = 0; v < 256; ++v)
            sum += static_cast<std::uint64_t>(v) * count[v];
        const std::uint64_t mean = sum / n;
        std::uint64_t below = 0;
        int median = 255;
        for (int v = 0; v < 256; ++v) {
            below += count[v];
            if (below > n / 2) {
                median = v;
                break;
            }
        }
        // The squared deviations from the integer mean, from the histogram (exact).
        std::uint64_t squares = 0;
        for (int v = 0; v < 256; ++v) {
            const std::int64_t d = v - static_cast<std::int64_t>(mean);
            squares += static_cast<std::uint64_t>(d * d) * count[v];
        }
        stats[c].mean = static_cast<std::int32_t>(mean);
        stats[c].median = median;
        stats[c].std_dev = n > 1 ? static_cast<std::int32_t>(std::sqrt(static_cast<double>(squares / (n - 1)))) : 0;
    }
}
