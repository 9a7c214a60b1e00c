// The main window's rules that do not need a widget: title and status texts, the window
// size a picture asks for, the enabled states of the commands, and panning.
#pragma once

#include "core/Imageinfo.h"

#include <cstdint>
#include <string>

// "Ravelscope -- name" (with "*" before the name while the picture is edited); a picture
// no file holds is "Untitled".
std::string TitleText(const TIMAGE_INFO& doc);
// The title while browsing with the keyboard: "path -- index / count -- keys".
std::string KeyTitleText(const TIMAGE_INFO& doc, std::int32_t key_count);
// The file-name part of a path.
std::string FileNameOf(const std::string& path);

struct STATUS_TEXTS {
    std::string panel[3];
    bool widen_first = false; // both sides past 999: panel 0 grows by 10 pixels
};
// The three status-bar panels for the document (all empty unless a picture is open; the
// file's size and date empty for a picture no file holds).
STATUS_TEXTS StatusTexts(const TIMAGE_INFO& doc);

// What RefreshView does to the window for a picture.
struct WINDOW_FIT {
    std::int32_t width;  // outer width
    std::int32_t height; // outer height
    bool move_to_top;    // the window goes to the top of the screen
    bool move_to_left = false; // ... and to its left edge
};
// pic_*: the picture; screen_*: the screen; window_*: the window's current outer size;
// chrome: outer window height minus the picture view's height.
WINDOW_FIT FitWindow(std::int32_t pic_w, std::int32_t pic_h, std::int32_t screen_w, std::int32_t screen_h,
                     std::int32_t window_w, std::int32_t window_h, std::int32_t chrome = 104);
// The height the view gets when the picture is taller than the screen allows.
inline std::int32_t MaxViewHeight(std::int32_t screen_h, std::int32_t chrome = 104) { return screen_h - 32 - chrome; }

// Enabled and checked states of the commands. Every state has its menu item and, where
// one exists, its toolbar button.
struct COMMAND_STATES {
    bool print = false, draw_rect = false, copy_button = false, paste_button = false, cut_button = false;
    bool save = false, save_as = false, vflip = false, mirror = false, rotate_left = false, rotate_right = false;
    bool rotate = false, pixelate = false, explosion = false, histogram = false, median = false, solarize = false;
    bool info = false, wallpaper = false, full_screen = false;
    bool copy = false, cut = false, del = false, crop = false, paste = false, clear_clipboard = false;
    bool undo = false, redo = false;
    bool negative = false, gray_scale = false, hist_equal = false, gamma = false, count_colors = false;
    bool edge_detection = false;
    bool swap_colors = false, reduce_colors = false;
    bool next_file = false, previous_file = false;
    bool toolbar_checked = true;
};

struct COMMAND_INPUTS {
    bool picture_shown = false;   // a picture (not a media file) is on screen
    bool selection = false;       // a completed selection exists
    std::int32_t clipboard_state = 0; // 0 idle, 1 after Paste, 2 after Copy, 3 after Crop, 4 after Cut
    bool clipboard_has_bitmap = false;
    bool toolbar_visible = true;
};

// Updates the states from the document and the inputs. Copy follows the picture (without
// a selection it copies the whole picture); Cut, Delete and Crop need a selection too,
// whatever the clipboard state. A selection drawn after a Paste or a Crop (clipboard state
// 1 or 3) puts the clipboard state back to 0 and stays.
struct REFRESH_RESULT {
    std::int32_t clipboard_state = 0;
};
REFRESH_RESULT UpdateCommandStates(COMMAND_STATES& s, const TIMAGE_INFO& doc, const COMMAND_INPUTS& in);

// The view's pan offset (view pixels, what the scroll bars show) and the drag gesture that
// moves it: the picture follows the mouse. Offsets stay within 0 .. the layout's limits
// (VIEW_LAYOUT), so a picture that fits the view along an axis does not move that way.
class PAN_STATE {
public:
    std::int32_t offset_x = 0, offset_y = 0; // current pan
    std::int32_t base_x = 0, base_y = 0;     // pan at the start of the gesture
    std::int32_t start_x = 0, start_y = 0;   // mouse at the start

    void Begin(std::int32_t x, std::int32_t y);
    // Mouse moved to (x, y). Returns true when the offset changed and the view must be
    // repainted. A drag past an end stops the picture at that end.
    bool Move(std::int32_t x, std::int32_t y, std::int32_t max_x, std::int32_t max_y);
    void End()
    {
        base_x = offset_x;
        base_y = offset_y;
    }
    // Keeps the offset within new limits (the picture or the view changed size).
    void Clamp(std::int32_t max_x, std::int32_t max_y);
};

// Whether the window takes the size of each picture it shows or keeps the size the user
// gave it. A window follows the pictures until the user resizes it, maximises it or puts
// it in full screen; from then on it keeps its size for the rest of the run and pictures
// are fitted (with Fit to Window) or scrolled in it.
class WINDOW_SIZING {
public:
    // The window asks the window system for this size itself (fitting a picture).
    void Asked(std::int32_t w, std::int32_t h);
    // The window system reports a new size of the shown window. A size the window asked
    // for lately is a late answer to that request (stepping quickly asks for several); any
    // other comes from the user.
    void Reported(std::int32_t w, std::int32_t h);
    // The window was maximised or put in full screen (or back to normal).
    void StateChanged(bool maximised_or_full)
    {
        if (maximised_or_full)
            kept_ = true;
    }
    bool Kept() const { return kept_; }

private:
    struct SIZE {
        std::int32_t w = -1, h = -1;
    };
    static constexpr int kRemembered = 4;
    SIZE asked_[kRemembered];
    int next_ = 0;
    bool kept_ = false;
};

// The keys of the view besides the character keys.
enum class ViewKey : std::uint8_t { kLeft, kRight, kUp, kDown, kPageUp, kPageDown, kHome, kEnd };
enum class ViewKeyAction : std::uint8_t { kPrevious, kNext, kFirst, kLast, kPanLeft, kPanRight, kPanUp, kPanDown };
// An arrow pans the picture along its axis while the picture is larger than the view
// that way (pans_x, pans_y: it has a scroll bar there); otherwise Left and Up show the
// previous picture, Right and Down the next. Page Up and Page Down always show the
// previous and the next picture, Home and End the first and the last of the list.
ViewKeyAction ActionOfViewKey(ViewKey key, bool pans_x, bool pans_y);
