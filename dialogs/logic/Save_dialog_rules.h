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
    std::int32_t type_index = -1; // kFile: the type the file is written as
};
// What OK does with the typed name for the chosen type (-1: none chosen, the name stays as
// typed). A name whose file part ends in the extension of a type of the list (any case;
// also ".jpeg", ".jpe" and ".tiff") is written as typed, as that type: "photo.jpg" with the
// bitmap type chosen is a JPEG file "photo.jpg". Any other name takes the chosen type's
// extension in place of its own ("v2.d/photo" gains ".png", "a.b.c" becomes "a.b.png",
// "notes.xyz" becomes "notes.png"); a leading dot belongs to the name.
SAVE_NAME SaveNameFor(const std::string& typed, std::int32_t type_index);
// The name the file-name box shows when a type is chosen (and the picture's own name at
// the start): any extension gives way to the type's, except the type's own in other
// letters ("photo.PNG"); "holiday.jpeg" with TIFF chosen becomes "holiday.tif".
SAVE_NAME SaveNameForType(const std::string& typed, std::int32_t type_index);
// The type of the list an extension (with its dot, any case) names, or -1.
std::int32_t SaveTypeForExtension(const std::string& ext);

// The quality the dialog offers for the lossy types (JPEG, WebP, AVIF, JPEG XL), one
// setting for all of them, kept in the settings file under "SaveFileDlg".
inline constexpr const char* kQualityKey = "Quality";
inline constexpr std::int32_t kDefaultQuality = 90;
// The quality from a stored value: 1 to 100 as stored, anything else the default.
std::int32_t QualityFrom(std::int32_t stored);
// The stored quality of the settings file at settings_path (the default without one).
std::int32_t StoredQuality(const std::string& settings_path);
// Whether the type is written at a quality: JPEG, WebP, AVIF and JPEG XL.
bool SaveTypeHasQuality(std::int32_t type_index);
