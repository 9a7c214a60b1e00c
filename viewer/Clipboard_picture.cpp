#include "viewer/Clipboard_picture.h"

#include "core/Pixel_buffer.h"
#include "core/Result_codes.h"
#include "platform/Dib.h"

#include <QImage>
#include <QPainter>

#include <cstdint>
#include <cstring>

int ClipboardPicture(const QImage& src, Dib& pic)
{
    if (src.isNull())
        return kDataError;
    if (PictureBytes(src.width(), src.height(), 3) == SIZE_MAX)
        return kImageTooLarge;
    QImage rgb;
    if (src.hasAlphaChannel()) {
        rgb = QImage(src.size(), QImage::Format_BGR888);
        if (!rgb.isNull()) {
            rgb.fill(Qt::white);
            QPainter p(&rgb);
            p.drawImage(0, 0, src);
        }
    } else {
        rgb = src.convertToFormat(QImage::Format_BGR888);
    }
    if (rgb.isNull() || pic.SetSize(rgb.width(), rgb.height(), 24) != kOk)
        return kMemoryError;
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(pic.ScanLine(y), rgb.constScanLine(y), static_cast<std::size_t>(rgb.width()) * 3);
    return kOk;
}
