// The help file "RVS_HELP.HLP": numbered topics of HTML text.
//
// Layout: UTF-8 text. A line "@topic N Title" starts topic N; the lines up to the next
// such line are its HTML body. Lines before the first topic are ignored, and so is a
// "@topic" line without a number. Topics keep the file's order, which is the index's order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The help contexts of the program's windows.
enum HelpContext : std::int32_t {
    kHelpMainWindow = 10, kHelpGamma = 11, kHelpMedian = 13, kHelpOpenDialog = 25, kHelpFullScreen = 27,
    kHelpImageInfo = 33, kHelpSaveDialog = 38, kHelpRotation = 43, kHelpExplosion = 44, kHelpPixelate = 45,
    kHelpHistogram = 47, kHelpSolarize = 54,
    kHelpBatchConversion = 60, kHelpBatchOutputDir = 61, kHelpAbout = 62, kHelpOptions = 63, kHelpMedia = 107,
    kHelpTextViewer = 108,
};

inline constexpr const char* kHelpFileName = "RVS_HELP.HLP";

struct HELP_TOPIC {
    std::int32_t context = 0;
    std::string title;
    std::string body; // HTML
};

class HELP_FILE {
public:
    // Reads the file; false when it cannot be read or holds no topic.
    bool Load(const std::string& path);
    // Parses the text of a help file.
    bool Parse(const std::string& text);
    // The topic of a context, or null.
    const HELP_TOPIC* Topic(std::int32_t context) const;
    const std::vector<HELP_TOPIC>& Topics() const { return topics_; }

private:
    std::vector<HELP_TOPIC> topics_;
};

// Where the help file is: beside the executable, else in the install's data directory
// (<prefix>/share/ravelscope beside <prefix>/bin). "" when neither has it.
std::string FindHelpFile(const std::string& exe_dir);
