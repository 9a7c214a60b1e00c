// The full-screen viewer's rules that need no window: where a picture goes on the screen,
// stepping over the directory list when files may fail, and the position text.
#pragma once

#include "dialogs/logic/Browse.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct FS_PLACE {
    std::int32_t left = 0, top = 0, width = 0, height = 0;
    bool stretched = false;
};
// A picture that fits the screen keeps its size; a larger one is fitted by the side that
// limits it (W*SH >= H*SW: the width, else the height). Either way it is centred in integer
// halves. A fitted side never drops below 1 pixel; an empty picture or screen gives 0 x 0.
FS_PLACE FullscreenPlace(std::int64_t w, std::int64_t h, std::int32_t screen_w, std::int32_t screen_h);

// Steps from `current` through a list of `count` entries, wrapping at both ends, and calls
// `open` on each entry until one succeeds. One full round without success stops: the result
// is the index that opened, or -1 (nothing was shown; the caller keeps its picture).
// direction > 0 steps forwards, otherwise backwards.
std::int32_t FullscreenStep(std::int32_t count, std::int32_t current, std::int32_t direction,
                            const std::function<bool(std::int32_t)>& open);

// "2/3" beside a picture; media files show "2 / 3".
std::string FullscreenPositionText(std::int32_t index, std::int32_t count, bool media = false);

// Where the media window goes for a media format code: MP3 and WMA a 512 x 28 strip at
// (1, 288); AU and AIFF the panel's designed 185 x 41 at (512, 244); video its frame size
// (fitted as a picture when larger than the screen) centred, or the designed place while
// the size is unknown (0). Other codes get no media window (0 x 0).
FS_PLACE FullscreenMediaPlace(std::int32_t format_code, std::int32_t video_w, std::int32_t video_h,
                              std::int32_t screen_w, std::int32_t screen_h);

// Opens the entries of the document's directory list for the full-screen viewer, each
// through FILE_BROWSER::OpenKeepingShown: a file that fails leaves the document as it was
// shown (path, index, state, context and display bitmap).
class FULLSCREEN_OPENER {
public:
    // Opens entry index; true when it opened (the edited flag is then clear).
    bool OpenEntry(TIMAGE_INFO& doc, std::int32_t index);
    // The next (direction > 0) or previous entry that opens, from the current index, at
    // most one round; the index that opened, or -1 with the document untouched.
    std::int32_t Step(TIMAGE_INFO& doc, std::int32_t direction);
    // The first entry that opens from the start of the list, or the last from its end.
    std::int32_t First(TIMAGE_INFO& doc);
    std::int32_t Last(TIMAGE_INFO& doc);

private:
    std::int32_t StepFrom(TIMAGE_INFO& doc, std::int32_t from, std::int32_t direction);

    FILE_BROWSER browser_;
};
