#include "viewer/logic/Window_rules.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

std::string FileNameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

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
    if (pic_w <= 350)
        fit.width = 360;
    else if (pic_w < screen_w)
        fit.width = pic_w + 10;
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
    if (reset_pending) {
        offset_x = offset_y = base_x = base_y = 0;
        reset_pending = false;
    } else {
        base_x = offset_x;
        base_y = offset_y;
    }
    start_x = x;
    start_y = y;
}

bool PAN_STATE::Move(std::int32_t x, std::int32_t y, std::int32_t pic_w, std::int32_t pic_h, std::int32_t screen_w,
                     std::int32_t view_h)
{
    std::int32_t ox = pic_w < screen_w - 2 ? 0 : start_x - x;
    std::int32_t oy = pic_h < view_h ? 0 : start_y - y;
    if (reset_pending)
        return false;
    ox += base_x;
    oy += base_y;
    const std::int32_t max_x = std::abs(screen_w - (pic_w + 2));
    const std::int32_t max_y = std::abs(view_h - pic_h);
    // Offsets past either end are not taken; the way back to 0, 0 is open.
    if (ox < 0 || ox > max_x || oy < 0 || oy > max_y)
        return false;
    if (ox == offset_x && oy == offset_y)
        return false;
    offset_x = ox;
    offset_y = oy;
    return true;
}
