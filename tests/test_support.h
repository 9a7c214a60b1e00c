// Helpers shared by the tests: scratch directories, files from bytes, tools on the PATH.
#pragma once

#include "core/Imageinfo.h"

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A fresh directory under the system's temporary directory, removed with its files.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

Bytes ToBytes(const std::string& s);
void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);

// True when a program of that name is on the PATH.
bool HaveTool(const std::string& name);
// Runs a shell command; returns its exit status.
int RunCommand(const std::string& command);
// Runs a shell command and returns what it printed on stdout.
std::string CaptureCommand(const std::string& command, int* status = nullptr);

// Where the sample corpus is looked for: $RAVELSCOPE_CORPUS when set, else the shared
// directory beside the repository.
std::string CorpusLocation();
// The sample corpus directory, or "" when there is none at CorpusLocation().
std::string CorpusDir();
// Why a corpus test skips: names the place it looked at.
std::string NoCorpus();

struct CorpusEntry {
    std::string ext;
    std::string file;
    std::string status; // ok, edge or broken
    std::string path;
};
// The corpus files listed in its index (all, or those of one extension); empty without
// the corpus.
std::vector<CorpusEntry> CorpusEntries(const std::string& ext = "");

// Puts a blue-green-red picture into the document as if it had been opened.
void LoadPicture(TIMAGE_INFO& doc, int w, int h, const Bytes& bgr);
// The display bitmap's pixels without row padding.
Bytes DisplayPixels(const TIMAGE_INFO& doc);

// A picture whose every pixel differs from its neighbours: for round trips.
Bytes PatternPixels(int w, int h);

// Parses a binary PPM (maxval 255) into blue-green-red pixels; false when it is not one.
bool ParsePpm(const Bytes& file, int& w, int& h, Bytes& bgr);
