// The save dialog's rules that need no window: its output types, the type it starts on,
// and what a typed name does.
#pragma once

#include <cstdint>
#include <span>
#include <string>

struct SAVE_TYPE {
    const char* text;       // as the type list shows it
    const char* pattern;    // the file list's mask
    std::int32_t save_code; // core/Imageinfo.h
    const char* ext;        // forced onto the name, with the dot
};
std::span<const SAVE_TYPE> SaveTypes();

// The type the dialog starts on from the stored index: below 0 or past the list, PCX.
std::int32_t SaveTypeIndex(std::int32_t stored);

enum class SAVE_NAME_KIND {
    kNothing, // empty name: OK does nothing
    kFilter,  // a name holding "*" or "?": it becomes the file list's mask
    kFile,    // a file to write: the text is the name with the type's extension
};
struct SAVE_NAME {
    SAVE_NAME_KIND kind = SAVE_NAME_KIND::kNothing;
    std::string text;
};
// What OK does with the typed name for the chosen type (-1: none chosen, the name stays as
// typed). The extension replaced is that of the file-name part ("v2.d/photo" gains ".png",
// "a.b.c" becomes "a.b.png"); a leading dot belongs to the name; an extension equal to the
// type's in another case ("photo.PNG") is kept as typed.
SAVE_NAME SaveNameFor(const std::string& typed, std::int32_t type_index);
