// A test-only effect over the solarize contract of ops/: threshold 0..255, starting at
// 128, failing above a limit so the error path can be driven.
#pragma once

#include "base/Result_codes.h"
#include "dialogs/logic/Effect_rules.h"
#include "ops/Solarized.h"

#include <cstdint>

class TEST_SOLARIZE_RULES : public EFFECT_RULES {
public:
    std::int32_t fail_above = 1000;
    mutable int applied = 0;

    EFFECT_RANGE Range() const override { return {0, 255, 128, 1, 16}; }
    std::string ValueText(std::int32_t value) const override { return "Threshold " + std::to_string(value); }
    std::int32_t Apply(const Dib& source, std::int32_t value, Dib& out) const override
    {
        ++applied;
        if (value > fail_above)
            return kMemoryError;
        if (const std::int32_t rc = CopyDib(source, out); rc != kOk)
            return rc;
        Solarize(source, out, value);
        return kOk;
    }
};

// A 4 × 3 picture whose pixel bytes run 0, 20, 40, ...
inline void FillTestPicture(Dib& d)
{
    if (d.SetSize(4, 3, 24) != kOk)
        return;
    int v = 0;
    for (int y = 0; y < d.Height(); ++y)
        for (int x = 0; x < d.Width() * 3; ++x, v += 20)
            d.ScanLine(y)[x] = static_cast<std::uint8_t>(v);
}

// The byte the solarize contract makes of an inner pixel byte c at threshold t.
inline std::uint8_t Solarized(int c, int t) { return static_cast<std::uint8_t>(c < t ? c : 255 - c); }
