// Acquiring one picture from a scanner through SANE.
//
// SANE is started once in a process (its configuration is read then and kept) and ended
// at exit. Every call here may block for seconds: the window runs them on a worker thread.
// Devices are looked up on this machine only (network discovery takes seconds). A scan
// gives a picture or none: a cancel, short data or an error give none with a status line.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class Dib;

struct SCAN_DEVICE {
    std::string name; // what sane_open takes
    std::string label; // vendor, model and type for the user
};

// The choices a device offers for the scan dialog; empty lists when it has none.
struct SCAN_CHOICES {
    std::vector<std::string> modes;
    std::vector<std::string> sources;
    std::vector<int> resolutions; // a word list, or a range thinned to a few steps
    std::string mode;             // the current values
    std::string source;
    int resolution = 0;
};

struct SCAN_REQUEST {
    std::string device;
    std::string mode;   // "" keeps the device's value
    std::string source; // likewise
    int resolution = 0; // 0 keeps the device's value
    // Further options by name and value as text ("depth" "16", "three-pass" "yes").
    std::vector<std::pair<std::string, std::string>> options;
};

// Shared with the thread that shows progress and offers Cancel.
struct SCAN_PROGRESS {
    std::atomic<bool> cancel{false};
    std::atomic<std::int64_t> bytes{0};    // received so far
    std::atomic<std::int64_t> expected{0}; // bytes of the whole picture, -1 while unknown
};

enum class ScanOutcome : std::uint8_t { kPicture, kNone };

// The status when SANE itself does not start: the scanner's own words, not a picture's
// result text.
inline constexpr char kScannerNotStartedText[] = "The scanner service (SANE) did not start";

struct SCAN_RESULT {
    ScanOutcome outcome = ScanOutcome::kNone;
    std::int32_t rc = 0;  // kOk with a picture; else the code behind "none" (kImageTooLarge...)
    std::string status;   // SANE's status text or what ended the scan, "" with a picture
};

// The devices of this machine. False with a status when SANE cannot start.
bool ListScanDevices(std::vector<SCAN_DEVICE>& out, std::string& status);
// The mode, source and resolution choices of a device. False with a status.
bool ReadScanChoices(const std::string& device, SCAN_CHOICES& out, std::string& status);
// Scans one picture into out as 24 bits (blue, green, red). The picture's height may be
// unknown (a hand scanner): it grows with the data up to the 1 GiB cap.
SCAN_RESULT ScanPicture(const SCAN_REQUEST& request, SCAN_PROGRESS& progress, Dib& out);
