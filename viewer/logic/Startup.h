// The hand-off of a command-line path from the entry point to the main window through
// the file "~tmp.xb" in the working directory.
#pragma once

#include <string>

inline constexpr const char* kHandOffFile = "~tmp.xb";

// The entry point's part. With a path: makes it absolute, makes its directory the working
// directory and writes the path into "~tmp.xb" there. Without one: deletes a stale
// "~tmp.xb" from the working directory. Returns the absolute path ("" without one); the
// caller keeps it for the case that the file could not be written.
std::string HandOffPath(const std::string& arg);

// The main window's part: reads the path from "~tmp.xb" in the working directory and
// deletes the file. Without the file, returns fallback (the path the entry point kept
// because the directory was not writable).
std::string TakeHandOff(const std::string& fallback);
