#include "dialogs/logic/Fullscreen_rules.h"

#include "base/Result_codes.h"

#include <algorithm>
#include <utility>

FS_PLACE FullscreenPlace(std::int64_t w, std::int64_t h, std::int32_t screen_w, std::int32_t screen_h)
{
    FS_PLACE p;
    if (w <= 0 || h <= 0 || screen_w <= 0 || screen_h <= 0)
        return p;
    const std::int64_t sw = screen_w, sh = screen_h;
    std::int64_t fw = w, fh = h;
    if (w > sw || h > sh) {
        p.stretched = true;
        if (w * sh >= h * sw) {
            fw = sw;
            fh = std::max<std::int64_t>(1, h * sw / w);
        } else {
            fw = std::max<std::int64_t>(1, w * sh / h);
            fh = sh;
        }
    }
    p.width = static_cast<std::int32_t>(fw);
    p.height = static_cast<std::int32_t>(fh);
    p.left = static_cast<std::int32_t>((sw - fw) / 2);
    p.top = static_cast<std::int32_t>((sh - fh) / 2);
    return p;
}

std::int32_t FullscreenStep(std::int32_t count, std::int32_t current, std::int32_t direction,
                            const std::function<bool(std::int32_t)>& open)
{
    std::int32_t index = current;
    for (std::int32_t tried = 0; tried < count; ++tried) {
        if (direction > 0)
            index = (index >= count - 1 || index < -1) ? 0 : index + 1;
        else
            index = (index <= 0 || index >= count) ? count - 1 : index - 1;
        if (open(index))
            return index;
    }
    return -1;
}

std::string FullscreenPositionText(std::int32_t index, std::int32_t count, bool media)
{
    return std::to_string(index + 1) + (media ? " / " : "/") + std::to_string(count);
}

FS_PLACE FullscreenMediaPlace(std::int32_t format_code, std::int32_t video_w, std::int32_t video_h,
                              std::int32_t screen_w, std::int32_t screen_h)
{
    const FS_PLACE designed {512, 244, 185, 41, false};
    switch (format_code) {
    case kFmtMp3:
    case kFmtWma:
        return {1, 288, 512, 28, false};
    case kFmtAu:
    case kFmtAiff:
        return designed;
    case kFmtAvi:
    case kFmtMpeg:
    case kFmtWmv:
        if (video_w <= 0 || video_h <= 0)
            return designed;
        return FullscreenPlace(video_w, video_h, screen_w, screen_h);
    default:
        return {};
    }
}

bool FULLSCREEN_OPENER::OpenEntry(TIMAGE_INFO& doc, std::int32_t index)
{
    const char* entry = doc.GetListEntry(index);
    if (entry == nullptr || index < 0)
        return false;
    if (browser_.OpenKeepingShown(doc, entry) != kOk)
        return false;
    doc.edited = 0;
    return true;
}

std::int32_t FULLSCREEN_OPENER::StepFrom(TIMAGE_INFO& doc, std::int32_t from, std::int32_t direction)
{
    return FullscreenStep(static_cast<std::int32_t>(doc.file_list.size()), from, direction,
                          [&](std::int32_t i) { return OpenEntry(doc, i); });
}

std::int32_t FULLSCREEN_OPENER::Step(TIMAGE_INFO& doc, std::int32_t direction)
{
    return StepFrom(doc, doc.current_index, direction);
}

std::int32_t FULLSCREEN_OPENER::First(TIMAGE_INFO& doc) { return StepFrom(doc, -1, 1); }

std::int32_t FULLSCREEN_OPENER::Last(TIMAGE_INFO& doc)
{
    return StepFrom(doc, static_cast<std::int32_t>(doc.file_list.size()), -1);
}
