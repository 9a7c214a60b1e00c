// The hand-off of a command-line path from the entry point to the main window through
// the file "~tmp.xb" in the directory of that path. Nothing changes the working directory.
#pragma once

#include <string>

inline constexpr const char* kHandOffFile = "~tmp.xb";

// The entry point's part. With a path: makes it absolute and writes it into "~tmp.xb" in
// its directory. Without one: deletes a stale "~tmp.xb" from the working directory.
// Returns the absolute path ("" without one); the caller hands it to TakeHandOff, which
// also uses it when the file could not be written.
std::string HandOffPath(const std::string& arg);

// The main window's part: reads the path from "~tmp.xb" in the directory of kept (the
// working directory when kept is empty) and deletes the file. Without the file, returns
// kept (the directory was not writable).
std::string TakeHandOff(const std::string& kept);
