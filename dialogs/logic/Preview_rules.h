// The rules of the scroll-bar preview dialogs: gamma, solarize, median, pixelate and
// explosion.
// Each Apply writes the whole picture at its size, so the preview shown is exactly what OK
// hands the document.
#pragma once

#include "dialogs/logic/Effect_rules.h"

#include <cstdint>
#include <string>

// Gamma = position × 0.06 (0 .. 6.0, start 3.0); a gamma of 0 leaves the picture as it is.
class GAMMA_RULES : public EFFECT_RULES {
public:
    EFFECT_RANGE Range() const override { return {0, 100, 50, 1, 10}; }
    std::string ValueText(std::int32_t value) const override;
    std::int32_t Apply(const Dib& source, std::int32_t value, Dib& out) const override;
    static double Gamma(std::int32_t value) { return value * 0.06; }
};

// Solarize threshold 11 .. 189, start 100.
class SOLAR_RULES : public EFFECT_RULES {
public:
    EFFECT_RANGE Range() const override { return {11, 189, 100, 1, 10}; }
    std::int32_t Apply(const Dib& source, std::int32_t value, Dib& out) const override;
};

// Median window 3 .. 11 in steps of 2, start 3.
class MEDIAN_RULES : public EFFECT_RULES {
public:
    EFFECT_RANGE Range() const override { return {3, 11, 3, 2, 2}; }
    std::int32_t Apply(const Dib& source, std::int32_t value, Dib& out) const override;
};

// Pixelate block 3 .. 11, arrows step 2, page keys step 4, start 5.
class PIXELATE_RULES : public EFFECT_RULES {
public:
    EFFECT_RANGE Range() const override { return {3, 11, 5, 2, 4}; }
    std::int32_t Apply(const Dib& source, std::int32_t value, Dib& out) const override;
};

// Explosion window 3 .. 11 in steps of 2, start 3.
class EXPLOSION_RULES : public EFFECT_RULES {
public:
    EFFECT_RANGE Range() const override { return {3, 11, 3, 2, 2}; }
    std::int32_t Apply(const Dib& source, std::int32_t value, Dib& out) const override;
};

// What the rotation dialog hands back: whether it was confirmed, the angle of its last
// preview and the background colour (blue, green, red), which a chosen colour changes
// even when the dialog is then cancelled.
struct ROTATION_OUTCOME {
    bool accepted = false;
    std::int32_t angle = 0;
    std::uint8_t background[3] = {};
};

// The rotation preview: angle −180 .. 182 degrees in steps of 2, start 0, turning a copy
// reduced to at most 130 pixels on its longer side when that side passes 201. The
// background is read at every preview, so a new colour shows at the next move.
class ROTATION_RULES : public EFFECT_RULES {
public:
    explicit ROTATION_RULES(const std::uint8_t* background) : background_(background) {}
    EFFECT_RANGE Range() const override { return {-180, 182, 0, 2, 10}; }
    std::int32_t Apply(const Dib& source, std::int32_t value, Dib& out) const override;

private:
    const std::uint8_t* background_;
};
