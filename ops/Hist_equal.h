// Histogram equalization, the histogram plot and the channel statistics.
#pragma once

#include "platform/Dib.h"

#include <cstdint>

// Equalizes src into dst (sized like src at 24 bits; dst may be src): each byte position
// gets the table trunc(255 × cdf(c)). Returns kOk or the sizing's code.
int EqualizeHistogram(const Dib& src, Dib& dst);

// Channels of the plot and the statistics: 0 red (byte 2), 1 green (byte 1), 2 blue (byte 0).
enum HistChannel : int { kHistRed = 0, kHistGreen = 1, kHistBlue = 2 };

// Draws the histogram of one channel into plot: 255 × 256 pixels, white, one column per
// value 0 .. 254 in the channel's colour scaled to the largest of those counts.
int PlotChannel(const Dib& src, int channel, Dib& plot);

struct ChannelStatistics {
    std::int32_t mean = 0;
    std::int32_t std_dev = 0;
    std::int32_t median = 0;
};
// Integer mean, sample standard deviation and median of each channel (indexed by
// HistChannel). Sums are 64 bits wide, exact for every picture size; a one-pixel picture
// has a standard deviation of 0. An empty picture gives zeros.
void ComputeStatistics(const Dib& src, ChannelStatistics stats[3]);
