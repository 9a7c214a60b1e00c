#include "dialogs/logic/Effect_rules.h"

#include "base/Result_codes.h"

#include <algorithm>
#include <cstring>

std::int32_t CopyDib(const Dib& src, Dib& dst)
{
    if (&src == &dst)
        return kOk;
    if (const int rc = dst.SetSize(src.Width(), src.Height(), src.PixelFormat()); rc != kOk)
        return rc;
    std::memcpy(dst.palette, src.palette, sizeof dst.palette);
    for (int y = 0; y < src.Height(); ++y)
        std::memcpy(dst.ScanLine(y), src.ScanLine(y), src.Stride());
    return kOk;
}

EFFECT_SESSION::EFFECT_SESSION(const EFFECT_RULES& rules, const Dib& picture)
    : rules_(rules), range_(rules.Range())
{
    range_.max = std::max(range_.min, range_.max);
    value_ = std::clamp(range_.start, range_.min, range_.max);
    copy_code_ = CopyDib(picture, source_);
    Compute();
}

std::int32_t EFFECT_SESSION::SetValue(std::int32_t value)
{
    value = std::clamp(value, range_.min, range_.max);
    if (value != value_) {
        value_ = value;
        Compute();
    }
    return code_;
}

void EFFECT_SESSION::Compute()
{
    code_ = copy_code_ != kOk ? copy_code_ : rules_.Apply(source_, value_, preview_);
    if (code_ != kOk)
        preview_.Release();
}

std::int32_t EFFECT_SESSION::TakeResult(Dib& out) const
{
    if (code_ != kOk)
        return code_;
    return CopyDib(preview_, out);
}
