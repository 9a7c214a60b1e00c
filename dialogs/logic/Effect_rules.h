// The Qt-free half of an effect dialog: the parameter's range and label, the operation
// (one of the contracts in ops/) over the picture, and the session that keeps the preview
// and hands out a result only when the dialog is confirmed.
#pragma once

#include "platform/Dib.h"

#include <cstdint>
#include <string>

// The parameter control's range, start value and steps.
struct EFFECT_RANGE {
    std::int32_t min = 0;
    std::int32_t max = 100;
    std::int32_t start = 0;
    std::int32_t single_step = 1; // an arrow key or an arrow button
    std::int32_t page_step = 10;  // a click in the trough, Page Up / Page Down
};

class EFFECT_RULES {
public:
    virtual ~EFFECT_RULES() = default;
    virtual EFFECT_RANGE Range() const = 0;
    // The value label's text.
    virtual std::string ValueText(std::int32_t value) const { return std::to_string(value); }
    // The operation at value over source, written into out (sized by the operation).
    // Returns kOk or the operation's code.
    virtual std::int32_t Apply(const Dib& source, std::int32_t value, Dib& out) const = 0;
};

// One use of an effect dialog over a picture. The session keeps its own copy of the
// picture, so the picture it was given may change or be freed while it runs (a slide show
// or a preload hand-over behind the dialog) without touching what it previews or returns.
// The preview is the operation on the whole picture at the current value.
class EFFECT_SESSION {
public:
    // Copies the picture and computes the preview at the range's start value (a copy that
    // cannot get its memory makes the preview fail with kMemoryError).
    EFFECT_SESSION(const EFFECT_RULES& rules, const Dib& picture);

    // Moves the value (clamped into the range) and recomputes the preview when it
    // changed. Returns the preview's code.
    std::int32_t SetValue(std::int32_t value);
    std::int32_t Value() const { return value_; }
    std::string ValueText() const { return rules_.ValueText(value_); }
    const EFFECT_RANGE& Range() const { return range_; }
    // The preview; empty while its code is not kOk.
    const Dib& Preview() const { return preview_; }
    std::int32_t PreviewCode() const { return code_; }

    // The confirmed picture (the preview shown) copied into out, for OK. When the preview
    // failed, out is left as it was and the preview's code is returned.
    std::int32_t TakeResult(Dib& out) const;

private:
    void Compute();

    const EFFECT_RULES& rules_;
    Dib source_;
    std::int32_t copy_code_ = 0;
    EFFECT_RANGE range_;
    std::int32_t value_ = 0;
    Dib preview_;
    std::int32_t code_ = 0;
};

// Copies src into dst at src's size and depth. Returns kOk or the sizing's code.
std::int32_t CopyDib(const Dib& src, Dib& dst);
