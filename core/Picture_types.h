// Every picture extension the open dispatcher takes, with the format it opens as: the list
// the open dialog offers and the browsable list follows.
#pragma once

#include <cstdint>
#include <span>

struct PICTURE_TYPE {
    const char* ext;          // lower case, with the dot
    std::int32_t format_code; // core/Imageinfo.h; -1: decided by the file's first bytes
};

std::span<const PICTURE_TYPE> PictureTypes();
// The format code of an extension (any case), -1 for ".pnm", -2 for extensions not listed.
std::int32_t PictureFormatOf(const char* ext);
