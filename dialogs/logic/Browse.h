// Opening and browsing: the open of a path that keeps the shown picture when it fails,
// the open of the current path with its directory list, Next File, Previous File and the
// slide show's tick, all over the document's directory file list.
#pragma once

#include "core/Imageinfo.h"

#include <cstdint>
#include <memory>
#include <string>

struct BROWSE_RESULT {
    bool shown = false;        // a file opened and is to be shown
    std::int32_t rc = 0;       // the result code of the last open tried (0 when none was tried)
    std::string path;          // the last path tried
};

class FILE_BROWSER {
public:
    // Opens path into a scratch document of the browser's and, on success, hands the
    // result to doc (TIMAGE_INFO::AdoptOpened); the scratch keeps doc's former picture and
    // buffers for the next open, so neither outcome copies a picture. When the open fails,
    // an exception included (kMemoryError for an allocation, else kUnknownError), doc is
    // not touched at all: path, state, display bitmap, context and list position stay.
    std::int32_t OpenKeepingShown(TIMAGE_INFO& doc, const std::string& path);

    // Opens path (made absolute) keeping what is shown when it fails, clears the edited
    // flag, lists the file's directory (its pictures, sound and video files, so a sound
    // opened on its own has its place) and puts the list's position on the path. The
    // directory is listed even when the open fails, so browsing can go on from there. The
    // working directory is never changed.
    std::int32_t OpenAndList(TIMAGE_INFO& doc, const std::string& path);

    // The next entry of the list, wrapping to the first. An entry that fails to open is
    // dropped from the list and the entry that takes its place is tried next. Gives up
    // after one round without success.
    BROWSE_RESULT Next(TIMAGE_INFO& doc);
    // The previous entry, wrapping to the last. An entry that fails to open is skipped and
    // stays in the list. Gives up after one round without success.
    BROWSE_RESULT Previous(TIMAGE_INFO& doc);
    // The first entry of the list that opens (Next from before the first), and the last
    // (Previous from past the last); the same rules for failing entries. When none opens,
    // the position in the list stays where it was.
    BROWSE_RESULT First(TIMAGE_INFO& doc);
    BROWSE_RESULT Last(TIMAGE_INFO& doc);
    // One tick of the slide show: opens the entry at the current index (from 0 when the
    // index is past the end) and moves the index on; a failing entry is dropped and the
    // index stays on the entry that takes its place.
    BROWSE_RESULT SlideShowTick(TIMAGE_INFO& doc);

private:
    std::unique_ptr<TIMAGE_INFO> scratch_;
};

// True while the picture shown has edits no file holds: leaving it asks first, the slide
// show and full-screen stepping pause on it.
bool HoldsUnsavedEdits(const TIMAGE_INFO& doc);

// True when a regular file exists at path.
bool FileExists(const std::string& path);
// path made absolute against the working directory.
std::string AbsolutePath(const std::string& path);
