#include "widgets/Qt_bridge.h"

#include "base/Pixel_buffer.h"
#include "base/Result_codes.h"
#include "platform/Dib.h"

#include <QList>
#include <QPainter>

#include <cstdint>
#include <cstring>

namespace {

QImage::Format FormatOf(const Dib& d)
{
    switch (d.PixelFormat()) {
    case 32:
        return QImage::Format_RGB32;
    case 8:
        return QImage::Format_Indexed8;
    default:
        return QImage::Format_BGR888;
    }
}

void SetPalette(const Dib& d, QImage& img)
{
    if (img.format() != QImage::Format_Indexed8)
        return;
    QList<QRgb> table(256);
    for (int i = 0; i < 256; ++i) {
        const std::uint32_t c = d.palette[i]; // 0x00BBGGRR
        table[i] = qRgb(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                        static_cast<int>((c >> 16) & 0xFF));
    }
    img.setColorTable(table);
}

} // namespace

QImage DibView(const Dib& d)
{
    if (d.Empty())
        return {};
    QImage img(d.Bits(), d.Width(), d.Height(), static_cast<qsizetype>(d.Stride()), FormatOf(d));
    SetPalette(d, img);
    return img;
}

QImage DibCopy(const Dib& d) { return DibView(d).copy(); }

QImage DibImage(std::unique_ptr<Dib> dib)
{
    if (!dib || dib->Empty())
        return {};
    Dib* d = dib.release();
    QImage img(d->Bits(), d->Width(), d->Height(), static_cast<qsizetype>(d->Stride()), FormatOf(*d),
               [](void* owned) { delete static_cast<Dib*>(owned); }, d);
    SetPalette(*d, img);
    return img;
}

int DibFromImage(const QImage& src, Dib& out)
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
    if (rgb.isNull() || out.SetSize(rgb.width(), rgb.height(), 24) != kOk)
        return kMemoryError;
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(out.ScanLine(y), rgb.constScanLine(y), static_cast<std::size_t>(rgb.width()) * 3);
    return kOk;
}
