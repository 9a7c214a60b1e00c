// The orders a folder's file list can be shown in: name (natural order), date taken,
// modification time, size and type, each ascending or descending.
//
// Names compare in natural order: a run of digits is one number compared by its value
// ("img2" before "img10"; "img02" and "img2" are equal), letters compare without regard
// to case or accents first, then by accents, then lower case before upper case; other
// characters sort before digits and digits before letters. For names of printable ASCII
// this is the order of a Unicode collator for English in numeric mode (Qt's QCollator with
// setNumericMode(true), which the GUI passes in as the NameCompare to get its locale's
// rules for the rest of Unicode). The default knows the accented letters of Latin-1 and
// sorts other characters after the letters by code point.
//
// Every other key falls back to the name for ties, and names that compare equal fall back
// to their bytes, so an order is total and the same every time. "Date taken" is the Exif
// DateTimeOriginal of a JPEG file (a wall-clock time, taken in the local time zone) and,
// for files without one, the modification time. "Type" is the extension, compared as
// names are. Descending reverses the key, not the ties: files of equal key stay in
// ascending order of name.
//
// Reading the facts stats every file (and reads the first 256 KiB of the JPEG files for
// the date taken): call it off the user-interface thread for a large folder. Sorting
// itself reads nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum class SortKey { kName, kDateTaken, kModified, kSize, kType };

struct SORT_ORDER {
    SortKey key = SortKey::kName;
    bool descending = false;
};

// <0, 0 or >0 as a sorts before, with or after b (names as UTF-8).
using NameCompare = std::function<int(std::string_view a, std::string_view b)>;

// The Qt-free natural order of names described above.
int NaturalCompare(std::string_view a, std::string_view b);

struct FILE_FACTS {
    std::string path;
    std::int64_t modified_ns = 0; // modification time, nanoseconds since the epoch
    std::int64_t taken_s = 0;     // date taken (or the modification time), seconds since the epoch
    std::int64_t size = 0;        // bytes; -1 for a file that could not be read
};

// The facts of each path that key needs (the date taken is read only for kDateTaken).
std::vector<FILE_FACTS> ReadFileFacts(const std::vector<std::string>& paths, SortKey key);

// Sorts files by order; compare (NaturalCompare when empty) orders the names, which are
// the paths' last components.
void SortFiles(std::vector<FILE_FACTS>& files, SORT_ORDER order, const NameCompare& compare = {});

// ReadFileFacts and SortFiles in one: the paths in order.
std::vector<std::string> SortedFileList(const std::vector<std::string>& paths, SORT_ORDER order,
                                        const NameCompare& compare = {});
