// The one crossing between the library's types and Qt's: text (the library's strings are
// UTF-8) and bitmaps (a Dib's rows as a QImage, over the same memory or copied, and a
// QImage copied into a Dib).
#pragma once

#include <QImage>
#include <QString>

#include <memory>
#include <string>

class Dib;

// UTF-8 text as a QString.
inline QString Q(const std::string& s) { return QString::fromStdString(s); }
inline QString Q(const char* s) { return QString::fromUtf8(s); }

// The bitmap's rows as an image over the same memory: no pixel is copied, and the image
// must not outlive the bitmap or a change of its size (copy it, or take DibCopy, to keep
// it). 24-bit bitmaps read as Format_BGR888, 32-bit ones as Format_RGB32, 8-bit ones as
// Format_Indexed8 with the bitmap's palette. An empty bitmap gives a null image.
QImage DibView(const Dib& d);
// The same as an image of its own.
QImage DibCopy(const Dib& d);
// The bitmap handed to the image, which frees it with its last copy.
QImage DibImage(std::unique_ptr<Dib> d);

// The image as a 24-bit bitmap; transparent pixels are laid over white. kOk, kDataError for
// a null image, kImageTooLarge, or kMemoryError when a bitmap of its size cannot be made.
int DibFromImage(const QImage& src, Dib& out);
