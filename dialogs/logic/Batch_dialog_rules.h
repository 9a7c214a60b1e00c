// Rules of the batch dialog that need no window: the thumbnail's fit into its box, the
// output file types and the file-list mask.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The thumbnail box's side.
constexpr std::int32_t kThumbBox = 85;

struct THUMB_PLACE {
    std::int32_t left = 0; // inside the box
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool operator==(const THUMB_PLACE&) const = default;
};

// Where a width × height picture goes in a box_w × box_h box: the longer side fills the
// box, the other is scaled and truncated, and the picture is centred. A picture that fits
// the box already gives nothing: the thumbnail keeps the place it had and the picture is
// stretched into it.
std::optional<THUMB_PLACE> SnapToDraw(std::int32_t width, std::int32_t height, std::int32_t box_w = kThumbBox,
                                      std::int32_t box_h = kThumbBox);

struct FILTER_ENTRY {
    std::string name;    // "Windows Bitmap files (*.bmp)"
    std::string pattern; // "*.BMP" as the filter holds it
};

// The output file types, in the filter's order.
inline constexpr std::string_view kOutputTypeFilter =
    "Windows Bitmap files (*.bmp)|*.BMP|Enhanced Meta File files (*.emf)|*.EMF|Graphics Interchange Format "
    "files (*.gif)|*.GIF|Joint Photographics Expert Group files (*.jpg)|*.JPG|ZSoft PaintBrush files "
    "(*.pcx)|*.PCX|Portable Network Graphics files (*.png)|*.PNG|Portable GrayMap files (*.pgm)|*.PGM|Portable "
    "PixelMap files (*.ppm)|*.PPM|TrueVision TARGA files (*.tga)|*.TGA|Tagged Image File Format(*.tif)|*.TIF|";

// "name|pattern|name|pattern|..." split into entries; a trailing "|" adds none, and a name
// without its pattern is dropped.
std::vector<FILTER_ENTRY> ParseFilter(std::string_view filter);

// The pattern the "Ext." box shows for an entry: lower case ("*.bmp").
std::string ShownPattern(const FILTER_ENTRY& entry);

// True when a file name matches a file-list mask. "*" and "?" are wildcards, letters match
// in any case, and "*.*" (as the file box starts) matches every name, dotted or not.
bool MatchesMask(std::string_view name, std::string_view mask);
