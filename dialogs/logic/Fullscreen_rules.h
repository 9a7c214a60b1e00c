// The full-screen viewer's rules that need no window: where a picture goes on the screen,
// stepping over the directory list when files may fail, and the position text.
#pragma once

#include <cstdint>
#include <functional>
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
