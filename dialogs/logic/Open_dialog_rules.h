// The open dialog's rules that need no window: its type list and the types' masks, the
// type it starts on, where the preview box puts a picture, and its information lines.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct OPEN_TYPE {
    std::string text;
    std::vector<std::string> exts; // lower case, with the dot; empty: every file
};
// The list as the dialog shows it: "All pictures" first, which takes every extension the
// open dispatcher knows, then the 46 fixed entries in their fixed order.
std::span<const OPEN_TYPE> OpenTypes();

// The settings file keeps a type by its place among the fixed entries (0 AVI ... 45 WMV;
// 46 "All pictures"), so that a remembered index keeps its meaning. The list's index of a
// stored one: 1 to 46 as stored; 0 or below, or past the list, "All pictures".
std::int32_t OpenTypeIndex(std::int32_t stored);
// The index the settings file keeps for a list index.
std::int32_t OpenTypeStoredIndex(std::int32_t list_index);
// What the file-name box shows for a type: "*.bmp", "*" for every file, and the masks
// joined with ";" for "All pictures".
std::string OpenTypeMask(std::int32_t index);
// Whether a file name belongs to a type; extensions match in any case.
bool OpenTypeMatches(std::int32_t index, const std::string& file_name);

struct PREVIEW_PLACE {
    std::int32_t left = 0, top = 0, width = 0, height = 0; // dialog client coordinates
    bool fitted = false;                                   // scaled down into the box
};
// The 85 x 85 preview box at (378, 82): pictures up to 85 pixels a side keep their size,
// larger ones are scaled to 85 along their longer side; centred in integer halves. A
// scaled side never drops below 1 pixel.
PREVIEW_PLACE PreviewPlace(std::int32_t w, std::int32_t h);

// The information lines below the preview.
std::string OpenWidthLine(std::int32_t width);   // "Width:\t640"
std::string OpenHeightLine(std::int32_t height); // "Height:\t480"
std::string OpenBppLine(std::int32_t bpp);       // "BPP:\t24"
// Kilobytes up to 1000 KB, megabytes beyond: "Size:\t1000.00 KB", "Size:\t0.98 MB".
std::string OpenSizeLine(double size_kb);
// "MPEG 1.0 128 kbps 44100 Hz" (version codes 1, 2, 3: 2.5, 2.0, 1.0; others "(N/A)").
std::string OpenMpegLine(std::int32_t version_code, std::int32_t kbps, std::int32_t hz);
// "Length:\t1 hr 6 min 40 sec" from an hour on, "Length:\t3 min 5 sec" below.
std::string OpenLengthLine(std::int32_t seconds);
