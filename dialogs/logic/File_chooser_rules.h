// Rules of the directory half the open and save dialogs share: where "Up One Level" goes
// and which names a typed pattern lets into the file list.
#pragma once

#include <string>

// The parent of an absolute directory ("/home/me" → "/home", "/home" → "/"), ignoring
// trailing slashes; "" at "/" (Up One Level is disabled there) and for relative paths.
std::string ParentDirectory(const std::string& dir);

// Whether a file name matches a typed pattern of "*" (any run) and "?" (one character),
// letters in any case; several patterns may be joined with ";" ("*.bmp;*.dib"). An empty
// pattern matches every name.
bool WildcardMatches(const std::string& patterns, const std::string& name);

// The file name part of what a person typed into a chooser, made a path: an absolute name
// stays as typed, any other counts from the dialog's directory (never from the process's
// working directory).
std::string ChosenPath(const std::string& directory, const std::string& typed);
