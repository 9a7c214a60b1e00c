// The picture edits behind the image commands, without an undo chain. The viewer runs
// them under its chain (viewer/logic/Image_edits); the command-line tool applies them to
// its document directly, as one step each with nothing kept to undo.
#pragma once

#include "platform/Dib.h"

#include <cstdint>
#include <functional>

class TIMAGE_INFO;

enum class ImageCommand : std::uint8_t {
    kMirror, kVerticalFlip, kRotateLeft, kRotateRight,
    kNegative, kGrayScale,
    kSwapRBG, kSwapBGR, kSwapBRG, kSwapGRB, kSwapGBR,
    kHistogramEqualization, kEdgeDetection, kReduceColors,
};

// The caption of a channel swap ("RBG" ... "GBR"); null for other commands.
const char* SwapName(ImageCommand cmd);

// Edge detection of a 24-bit picture into edges (sized here). Inside the area with
// corners (left, top) and (right, bottom), less the one-pixel frame the detector does not
// write, the edges; everywhere else the old picture.
int DetectEdgesInto(const Dib& pic, Dib& edges, int left, int top, int right, int bottom);

// Reduces the document's picture to at most 256 colours (colour reduction reads the
// context's working pixel buffer, which takes the display bitmap first) and paints every
// pixel of the display bitmap in its palette colour. The context's output depth becomes 8.
int ReduceDocumentColors(TIMAGE_INFO& doc);

// Without a chain: the document's display bitmap (turned to 24 bits first) is edited and
// the document marked edited, its working pixel buffer behind the picture shown until a
// save needs it. A failed edit leaves the picture as it was (in place edits that cannot
// fail excepted). kDataError without a picture.
int ApplyImageCommand(TIMAGE_INFO& doc, ImageCommand cmd);
// An edit that draws a new picture from the old one (rotation, the effects).
int ApplyPictureEdit(TIMAGE_INFO& doc, const std::function<int(const Dib&, Dib&)>& edit);
// An edit of the picture in place (gamma, solarization).
int ApplyPictureEditInPlace(TIMAGE_INFO& doc, const std::function<int(Dib&)>& edit);
