#include "cli/Cli_operations.h"

#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "ops/Explssn.h"
#include "ops/Medfltr.h"
#include "ops/Ops_common.h"
#include "ops/Picture_edits.h"
#include "ops/Pixelize.h"
#include "ops/Rotation.h"
#include "ops/Solarized.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

bool ParseDouble(const std::string& word, double& out)
{
    char* end = nullptr;
    out = std::strtod(word.c_str(), &end);
    return !word.empty() && *end == '\0' && out == out;
}

template <ImageCommand cmd>
int Command(TIMAGE_INFO& doc, const std::string&)
{
    return ApplyImageCommand(doc, cmd);
}

int Gamma(TIMAGE_INFO& doc, const std::string& value)
{
    double g = 0;
    if (!ParseDouble(value, g) || g < 0.0 || g > 100.0)
        return kDataError;
    return ApplyPictureEditInPlace(doc, [g](Dib& p) { return GammaCorrect(p, p, g); });
}

int Solarization(TIMAGE_INFO& doc, const std::string& value)
{
    int t = 0;
    if (!ParseInt(value, 0, 256, t))
        return kDataError;
    return ApplyPictureEditInPlace(doc, [t](Dib& p) {
        Solarize(p, p, t);
        return kOk;
    });
}

int Rotation(TIMAGE_INFO& doc, const std::string& value)
{
    double angle = 0;
    if (!ParseDouble(value, angle) || angle < -3600.0 || angle > 3600.0)
        return kDataError;
    if (angle == 0)
        return kOk; // as the viewer: nothing to turn
    const std::uint8_t bg[3] = {static_cast<std::uint8_t>(doc.fill_colour & 0xFF),
                                static_cast<std::uint8_t>((doc.fill_colour >> 8) & 0xFF),
                                static_cast<std::uint8_t>((doc.fill_colour >> 16) & 0xFF)};
    return ApplyPictureEdit(doc, [&](const Dib& s, Dib& d) { return RotateBitmap(s, d, angle, bg); });
}

int Background(TIMAGE_INFO& doc, const std::string& value)
{
    // RRGGBB; kept as blue, green, red in pixel order.
    char* end = nullptr;
    const unsigned long rgb = std::strtoul(value.c_str(), &end, 16);
    if (value.size() != 6 || *end != '\0')
        return kDataError;
    doc.fill_colour = static_cast<std::uint32_t>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
    return kOk;
}

// The effects' parameter: a size or count from 1 to hi.
template <int hi, int (*effect)(const Dib&, Dib&, int)>
int Effect(TIMAGE_INFO& doc, const std::string& value)
{
    int n = 0;
    if (!ParseInt(value, 1, hi, n))
        return kDataError;
    return ApplyPictureEdit(doc, [n](const Dib& s, Dib& d) { return effect(s, d, n); });
}

int Swap(TIMAGE_INFO& doc, const std::string& value)
{
    for (ImageCommand c : {ImageCommand::kSwapRBG, ImageCommand::kSwapBGR, ImageCommand::kSwapBRG,
                           ImageCommand::kSwapGRB, ImageCommand::kSwapGBR})
        if (value == SwapName(c))
            return ApplyImageCommand(doc, c);
    return kDataError;
}

} // namespace

bool ParseInt(const std::string& word, long lo, long hi, int& out)
{
    char* end = nullptr;
    const long v = std::strtol(word.c_str(), &end, 10);
    if (word.empty() || *end != '\0' || v < lo || v > hi)
        return false;
    out = static_cast<int>(v);
    return true;
}

const std::vector<Operation>& Operations()
{
    static const std::vector<Operation> ops = {
        {"gamma", true, Gamma},
        {"solarize", true, Solarization},
        {"equalize", false, Command<ImageCommand::kHistogramEqualization>},
        {"background", true, Background},
        {"rotate", true, Rotation},
        {"edge", false, Command<ImageCommand::kEdgeDetection>},
        {"median", true, Effect<255, MedianFilter>},
        {"pixelate", true, Effect<1 << 20, Pixelate>},
        {"explode", true, Effect<255, Explode>},
        {"mirror", false, Command<ImageCommand::kMirror>},
        {"flip", false, Command<ImageCommand::kVerticalFlip>},
        {"rotate-left", false, Command<ImageCommand::kRotateLeft>},
        {"rotate-right", false, Command<ImageCommand::kRotateRight>},
        {"negative", false, Command<ImageCommand::kNegative>},
        {"grayscale", false, Command<ImageCommand::kGrayScale>},
        {"reduce-colors", false, Command<ImageCommand::kReduceColors>},
        {"swap", true, Swap},
    };
    return ops;
}
