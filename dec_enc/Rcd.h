// Colour reduction to at most 256 colours with Wu's quantiser: the colour cube, cut into
// 32 × 32 × 32 cells of the top five bits of blue, green and red, is split into boxes by
// greedy axis-aligned cuts that each minimise the summed variance of the two halves; box
// statistics come in constant time from cumulative moment tables. Every pixel gets the
// entry of the box holding its cell (no nearest-colour search); an entry is its box's
// pixel-weighted mean colour, truncated.
#pragma once

#include "dec_enc/Codec_ctx.h"

#include <cstdint>

class TRCD {
public:
    TRCD() = default;
    TRCD(const TRCD&) = delete;
    TRCD& operator=(const TRCD&) = delete;

    // Reduces the context's picture (the working pixel buffer while ctx.edited is set,
    // else the decoded pixel buffer): writes width × height indices into the index
    // buffer (sized to the picture) and palette entries 0 .. K − 1 (blue, green, red);
    // later entries keep their contents. Returns kOk, kDataError when the source holds
    // fewer than width × height pixels, kImageTooLarge or kMemoryError.
    std::int32_t ReduceColorDepth(CODEC_CTX& ctx);

    // Number of palette entries the last run made.
    std::int32_t ColourCount() const { return colour_count_; }

    static constexpr int kSide = 33;
    static constexpr int kCells = kSide * kSide * kSide;

private:
    struct COLOR_BOX {
        std::int32_t blue_lo, blue_hi, green_lo, green_hi, red_lo, red_hi, volume;
    };

    void BuildHistogram(const std::uint8_t* src, std::size_t pixels);
    void CumulateMoments();
    bool SplitBox(COLOR_BOX& a, COLOR_BOX& b);
    float FindBestCut(const COLOR_BOX& box, int axis, int first, int last, int& cut, std::int64_t whole0,
                      std::int64_t whole1, std::int64_t whole2, std::int64_t whole_w) const;
    std::int64_t BoxBase(const COLOR_BOX& box, int axis, const std::int64_t* t) const;
    std::int64_t BoxTop(const COLOR_BOX& box, int axis, int pos, const std::int64_t* t) const;
    std::int64_t BoxSum(const COLOR_BOX& box, const std::int64_t* t) const;
    float BoxSumQ(const COLOR_BOX& box) const;
    float BoxVariance(const COLOR_BOX& box) const;
    static void LabelBox(const COLOR_BOX& box, std::uint8_t label, std::uint8_t* tag);

    std::uint8_t palette0_[256] = {};
    std::uint8_t palette1_[256] = {};
    std::uint8_t palette2_[256] = {};
    float q_[kCells] = {};
    // Counts and component sums in 64 bits: a picture's sums pass 2^31 from 8.4 million
    // pixels on.
    std::int64_t w_[kCells] = {};
    std::int64_t s0_[kCells] = {};
    std::int64_t s1_[kCells] = {};
    std::int64_t s2_[kCells] = {};
    std::int32_t colour_count_ = 256;
    std::uint64_t pixel_count_ = 0;
};
