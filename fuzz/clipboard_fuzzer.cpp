// libFuzzer target for Paste: the input as the clipboard's image/png or image/bmp bytes,
// read by Qt, turned into a 24-bit picture (alpha over white) and pasted over an open
// picture; an undo must show the old picture again and a redo the pasted one.
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "platform/Dib.h"
#include "viewer/Clipboard_picture.h"
#include "viewer/logic/Image_edits.h"
#include "viewer/logic/Undo_chain.h"

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Pictures past this many pixels are read no further, so that each input stays quick.
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 20;

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

bool SamePixels(const Dib& a, const Dib& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != b.PixelFormat())
        return false;
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.ScanLine(y), b.ScanLine(y), static_cast<std::size_t>(a.Width()) * 3) != 0)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Qt's readers warn about every broken input; the fuzzer's log is for findings.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize declared = reader.size();
    if (declared.isValid() && std::int64_t{declared.width()} * declared.height() > kMaxPixels)
        return 0;
    const QImage src = reader.read();

    Dib pic;
    const int rc = ClipboardPicture(src, pic);
    if (src.isNull()) {
        Check(rc == kDataError);
        return 0;
    }
    if (rc != kOk)
        return 0;
    Check(pic.Width() == src.width() && pic.Height() == src.height() && pic.PixelFormat() == 24);
    // A fully transparent pixel shows the white it was laid on.
    if (src.hasAlphaChannel() && qAlpha(src.pixel(0, 0)) == 0)
        Check(pic.ScanLine(0)[0] == 255 && pic.ScanLine(0)[1] == 255 && pic.ScanLine(0)[2] == 255);

    TIMAGE_INFO doc;
    UNDO_CHAIN chain;
    Dib first;
    Check(first.SetSize(3, 2, 24) == kOk);
    std::memset(first.ScanLine(0), 0x5a, 9);
    std::memset(first.ScanLine(1), 0xa5, 9);
    Check(PastePicture(doc, chain, first) == kOk);
    if (PastePicture(doc, chain, pic) != kOk)
        return 0;
    Check(doc.display && SamePixels(*doc.display, pic));
    Check(chain.Undo(doc) == kOk && SamePixels(*doc.display, first));
    Check(chain.Redo(doc) == kOk && SamePixels(*doc.display, pic));
    return 0;
}
