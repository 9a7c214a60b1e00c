#include "viewer/logic/Window_rules.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <strings.h>

std::string FileNameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

std::string TitleText(const TIMAGE_INFO& doc)
{
    const bool untitled = doc.current_path.empty() && doc.state == kPictureOpen;
    return std::string("Ravelscope -- ") + (doc.edited != 0 ? "*" : "") +
           (untitled ? std::string("Untitled") : FileNameOf(doc.current_path));
}

std::string KeyTitleText(const TIMAGE_INFO& doc, std::int32_t key_count)
{
    return doc.context->input_file_name + " -- " + std::to_string(doc.current_index + 1) + " / " +
           std::to_string(doc.file_list.size()) + " -- " + std::to_string(key_count);
}

STATUS_TEXTS StatusTexts(const TIMAGE_INFO& doc)
{
    STATUS_TEXTS t;
    if (doc.state != kPictureOpen)
        return t;
    char buf[128];
    std::snprintf(buf, sizeof buf, "%d x %d x %d BPP", doc.display_width, doc.display_height, doc.bits_per_pixel);
    t.panel[0] = buf;
    t.widen_first = doc.display_width > 999 && doc.display_height > 999;
    if (doc.current_path.empty())
        return t; // no file: no size or date
    if (doc.file_size_kb > 1024)
        std::snprintf(buf, sizeof buf, "%.2lf MB", doc.file_size_kb / 1024);
    else
        std::snprintf(buf, sizeof buf, "%.2lf KB", doc.file_size_kb);
    t.panel[1] = buf;
    std::snprintf(buf, sizeof buf, "%d/%d/%d -- %d:%d:%d", doc.month, doc.day, doc.year, doc.hour, doc.minute,
                  doc.second);
    t.panel[2] = buf;
    return t;
}

WINDOW_FIT FitWindow(std::int32_t pic_w, std::int32_t pic_h, std::int32_t screen_w, std::int32_t screen_h,
                     std::int32_t window_w, std::int32_t window_h, std::int32_t chrome)
{
    WINDOW_FIT fit{window_w, window_h, false};
    if (pic_w <= 350) {
        fit.width = 360;
    } else if (pic_w < screen_w) {
        fit.width = pic_w + 10;
    } else {
        // A picture as wide as the screen gets the screen's width, not a strip of it.
        fit.width = screen_w;
        fit.move_to_left = true;
    }
    if (pic_h <= 110) {
        fit.height = pic_h + chrome;
    } else if (pic_h > MaxViewHeight(screen_h, chrome)) {
        fit.move_to_top = true;
        fit.height = screen_h - 32;
    } else {
        // A picture that fits the screen gets a window that fits the picture, so one
        // shown after a small picture is not cut off where it cannot be panned.
        fit.height = pic_h + chrome;
    }
    return fit;
}

REFRESH_RESULT UpdateCommandStates(COMMAND_STATES& s, const TIMAGE_INFO& doc, const COMMAND_INPUTS& in)
{
    REFRESH_RESULT r{in.clipboard_state};
    const bool p = in.picture_shown;
    s.print = s.draw_rect = s.copy_button = s.paste_button = s.cut_button = p;
    s.save = s.save_as = s.vflip = s.mirror = s.rotate_left = s.rotate_right = s.rotate = p;
    s.pixelate = s.explosion = s.histogram = s.median = s.solarize = s.info = s.wallpaper = p;
    s.full_screen = doc.picture_present != 0;

    s.copy = p;
    s.cut = s.del = s.crop = p && in.selection;
    if (p && in.selection && (in.clipboard_state == 1 || in.clipboard_state == 3))
        r.clipboard_state = 0;

    s.undo = doc.undo_position != 0;
    s.redo = doc.undo_position != doc.undo_length;
    s.paste = s.clear_clipboard = in.clipboard_has_bitmap;

    s.negative = s.gray_scale = s.hist_equal = s.gamma = s.count_colors = s.swap_colors = s.edge_detection = p;
    s.reduce_colors = p && doc.bits_per_pixel > 8;

    if (doc.file_list.size() == 1) {
        s.next_file = s.previous_file = false;
    } else if (doc.state == kPictureOpen) {
        s.next_file = s.previous_file = p;
    } else if (doc.state == kMediaOpen) {
        s.next_file = s.previous_file = !(doc.format_code == kFmtWma || doc.format_code == kFmtWmv);
    } else {
        s.next_file = s.previous_file = false;
    }
    s.toolbar_checked = in.toolbar_visible;
    return r;
}

void PAN_STATE::Begin(std::int32_t x, std::int32_t y)
{
    base_x = offset_x;
    base_y = offset_y;
    start_x = x;
    start_y = y;
}

bool PAN_STATE::Move(std::int32_t x, std::int32_t y, std::int32_t max_x, std::int32_t max_y)
{
    const std::int32_t ox = std::clamp(base_x + start_x - x, 0, std::max(0, max_x));
    const std::int32_t oy = std::clamp(base_y + start_y - y, 0, std::max(0, max_y));
    if (ox == offset_x && oy == offset_y)
        return false;
    offset_x = ox;
    offset_y = oy;
    return true;
}

void PAN_STATE::Clamp(std::int32_t max_x, std::int32_t max_y)
{
    offset_x = std::clamp(offset_x, 0, std::max(0, max_x));
    offset_y = std::clamp(offset_y, 0, std::max(0, max_y));
    base_x = std::clamp(base_x, 0, std::max(0, max_x));
    base_y = std::clamp(base_y, 0, std::max(0, max_y));
}

void WINDOW_SIZING::Asked(std::int32_t w, std::int32_t h)
{
    asked_[next_] = {w, h};
    next_ = (next_ + 1) % kRemembered;
}

void WINDOW_SIZING::Reported(std::int32_t w, std::int32_t h)
{
    for (const SIZE& s : asked_)
        if (s.w == w && s.h == h)
            return;
    kept_ = true;
}

ViewKeyAction ActionOfViewKey(ViewKey key, bool pans_x, bool pans_y)
{
    switch (key) {
    case ViewKey::kLeft: return pans_x ? ViewKeyAction::kPanLeft : ViewKeyAction::kPrevious;
    case ViewKey::kRight: return pans_x ? ViewKeyAction::kPanRight : ViewKeyAction::kNext;
    case ViewKey::kUp: return pans_y ? ViewKeyAction::kPanUp : ViewKeyAction::kPrevious;
    case ViewKey::kDown: return pans_y ? ViewKeyAction::kPanDown : ViewKeyAction::kNext;
    case ViewKey::kPageUp: return ViewKeyAction::kPrevious;
    case ViewKey::kPageDown: return ViewKeyAction::kNext;
    case ViewKey::kHome: return ViewKeyAction::kFirst;
    case ViewKey::kEnd: break;
    }
    return ViewKeyAction::kLast;
}
