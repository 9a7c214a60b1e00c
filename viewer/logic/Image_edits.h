// The main window's edits of the picture, each one step of the undo chain: the image and
// colour commands, crop, cut and paste. Qt-free; the window maps menus to these calls.
//
// Area rules: the flips, quarter turns, Histogram Equalization and Reduce Colors work on
// the whole picture; the colour commands, the channel swaps, Edge Detection and the
// effect results work on the selection when one is given, else on the whole picture.
// A selection is first intersected with the picture; an empty intersection changes
// nothing and pushes no state (the call returns kOk).
#pragma once

#include "ops/Picture_edits.h"
#include "platform/Dib.h"
#include "viewer/logic/Rect_object.h"

#include <cstdint>
#include <memory>

class TIMAGE_INFO;
class UNDO_CHAIN;

// A selection intersected with a width × height picture (corners in any order); its
// width or height is 0 when nothing of it lies on the picture.
RECT_BOUNDS ClampArea(const RECT_BOUNDS& selection, std::int32_t width, std::int32_t height);

// Runs a command; selection null means none. kOk, or a code (nothing changed then).
int RunImageCommand(TIMAGE_INFO& doc, UNDO_CHAIN& chain, ImageCommand cmd, const RECT_BOUNDS* selection);

// Copies the document's effect result bitmap (at the picture's size) into the area.
int ApplyEffectResult(TIMAGE_INFO& doc, UNDO_CHAIN& chain, const RECT_BOUNDS* selection);

// The document's side of an effect dialog's outcome, the one place that writes it: with a
// result, the result bitmap takes it (no copy) and the dialog-accepted flag is set;
// without one both are cleared. The direct-decode flag, which the pixelate and explosion
// dialogs stand for, is clear after every run.
void RecordEffectResult(TIMAGE_INFO& doc, std::unique_ptr<Dib> result);
// Forgets a recorded outcome once the command has applied it (flag clear, memory freed).
void ClearEffectResult(TIMAGE_INFO& doc);

// Turns the whole picture by angle degrees (positive counter-clockwise) onto the enlarged
// canvas, uncovered pixels in background (bytes 0, 1, 2); an angle of 0 changes nothing.
int RotatePictureBy(TIMAGE_INFO& doc, UNDO_CHAIN& chain, double angle, const std::uint8_t background[3]);

// Cuts the picture down to the selection.
int CropPicture(TIMAGE_INFO& doc, UNDO_CHAIN& chain, const RECT_BOUNDS& selection);

// The selection's pixels as a 24-bit bitmap; kDataError when the area is empty.
int CopyArea(const TIMAGE_INFO& doc, const RECT_BOUNDS& selection, Dib& out);

// Copies the selection into out and fills it with the document's fill colour (bits 0-7,
// 8-15, 16-23 as bytes 0, 1, 2), as one edit.
int CutArea(TIMAGE_INFO& doc, UNDO_CHAIN& chain, const RECT_BOUNDS& selection, Dib& out);

// The 24-bit picture (a paste, a scan, a capture) becomes the picture shown, as one edit
// that no file holds: while it (or an edit after it) is shown the document has no path, so
// Save asks for a name. With no picture open it becomes the first state of a document
// without a file (no path, edited).
int PastePicture(TIMAGE_INFO& doc, UNDO_CHAIN& chain, const Dib& picture);
