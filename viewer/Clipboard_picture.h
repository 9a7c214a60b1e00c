// The clipboard's picture as Paste takes it: Qt GUI only (no widgets), so the fuzz build
// can run it without the viewer.
#pragma once

class Dib;
class QImage;

// The image as a 24-bit picture; a picture with alpha is laid over white. kOk,
// kImageTooLarge past the size cap, kMemoryError when the picture cannot be made, and
// kDataError for a null image.
int ClipboardPicture(const QImage& src, Dib& pic);
