#include "dialogs/logic/Preview_rules.h"

#include "base/Result_codes.h"
#include "ops/Explssn.h"
#include "ops/Medfltr.h"
#include "ops/Pixelize.h"
#include "ops/Rotation.h"
#include "ops/Solarized.h"

#include <algorithm>
#include <cstdio>

std::string GAMMA_RULES::ValueText(std::int32_t value) const
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", Gamma(value));
    return text;
}

std::int32_t GAMMA_RULES::Apply(const Dib& source, std::int32_t value, Dib& out) const
{
    if (const std::int32_t rc = CopyDib(source, out); rc != kOk)
        return rc;
    return GammaCorrect(source, out, Gamma(value));
}

std::int32_t SOLAR_RULES::Apply(const Dib& source, std::int32_t value, Dib& out) const
{
    if (const std::int32_t rc = CopyDib(source, out); rc != kOk)
        return rc;
    Solarize(source, out, value);
    return kOk;
}

std::int32_t MEDIAN_RULES::Apply(const Dib& source, std::int32_t value, Dib& out) const
{
    return MedianFilter(source, out, value);
}

std::int32_t PIXELATE_RULES::Apply(const Dib& source, std::int32_t value, Dib& out) const
{
    return Pixelate(source, out, value);
}

std::int32_t EXPLOSION_RULES::Apply(const Dib& source, std::int32_t value, Dib& out) const
{
    return Explode(source, out, value);
}

std::int32_t ROTATION_RULES::Apply(const Dib& source, std::int32_t value, Dib& out) const
{
    constexpr int kFrame = 201;     // the preview's frame
    constexpr float kReduced = 130; // the longer side of a reduced copy
    const int longer = std::max(source.Width(), source.Height());
    if (longer <= kFrame)
        return RotatePreview(source, out, static_cast<float>(value), background_);
    Dib small;
    const float f = kReduced / static_cast<float>(longer);
    if (const std::int32_t rc = ShrinkForPreview(small, source, f, f); rc != kOk)
        return rc;
    return RotatePreview(small, out, static_cast<float>(value), background_);
}
