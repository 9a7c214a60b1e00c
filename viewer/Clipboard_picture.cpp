#include "viewer/Clipboard_picture.h"

#include "widgets/Qt_bridge.h"

int ClipboardPicture(const QImage& src, Dib& pic) { return DibFromImage(src, pic); }
