// The bridge between Dib and QImage: a view reads the bitmap's own memory with the right
// colours at every depth, a copy and a handed-over bitmap stand alone, and an image comes
// back as 24 bits with transparency laid over white.
#include "base/Result_codes.h"
#include "platform/Dib.h"
#include "widgets/Qt_bridge.h"

#include <QTest>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

// A 3 × 2 bitmap whose pixel (1, 1) is red (0x00BBGGRR 0x0000FF) and every other black.
std::unique_ptr<Dib> RedDot(int bpp)
{
    auto d = std::make_unique<Dib>();
    if (d->SetSize(3, 2, bpp) != kOk)
        return nullptr;
    for (int y = 0; y < 2; ++y)
        std::fill_n(d->ScanLine(y), d->Stride(), std::uint8_t{0});
    if (bpp == 8) {
        d->palette[5] = 0x0000FF;
        d->ScanLine(1)[1] = 5;
    } else {
        d->ScanLine(1)[(bpp / 8) + 2] = 0xFF; // blue, green, red: red is the third byte
    }
    return d;
}

} // namespace

class TestQtBridge : public QObject {
    Q_OBJECT
private slots:
    void ViewSharesMemoryAtEveryDepth_data()
    {
        QTest::addColumn<int>("bpp");
        QTest::newRow("8 bits") << 8;
        QTest::newRow("24 bits") << 24;
        QTest::newRow("32 bits") << 32;
    }
    void ViewSharesMemoryAtEveryDepth()
    {
        QFETCH(int, bpp);
        std::unique_ptr<Dib> d = RedDot(bpp);
        QVERIFY(d);
        const QImage view = DibView(*d);
        QCOMPARE(view.size(), QSize(3, 2));
        QCOMPARE(view.constBits(), d->Bits()); // no pixel copied
        QCOMPARE(view.pixelColor(1, 1), QColor(255, 0, 0));
        QCOMPARE(view.pixelColor(0, 0), QColor(0, 0, 0));

        const QImage copy = DibCopy(*d);
        QVERIFY(copy.constBits() != d->Bits());
        d.reset();
        QCOMPARE(copy.pixelColor(1, 1), QColor(255, 0, 0)); // outlives the bitmap
    }

    void HandedOverBitmapLivesWithTheImage()
    {
        std::unique_ptr<Dib> d = RedDot(24);
        const std::uint8_t* bits = d->Bits();
        QImage img = DibImage(std::move(d));
        QCOMPARE(img.constBits(), bits);
        QCOMPARE(img.pixelColor(1, 1), QColor(255, 0, 0));
        QVERIFY(DibImage(std::make_unique<Dib>()).isNull());
        QVERIFY(DibView(Dib()).isNull());
    }

    void ImageComesBackAs24BitsOverWhite()
    {
        QImage src(2, 1, QImage::Format_ARGB32);
        src.setPixelColor(0, 0, QColor(0, 0, 255, 255));
        src.setPixelColor(1, 0, QColor(0, 0, 0, 0));
        Dib out;
        QCOMPARE(DibFromImage(src, out), kOk);
        QCOMPARE(out.PixelFormat(), 24);
        const std::uint8_t* row = out.ScanLine(0);
        QCOMPARE((std::vector<int>{row[0], row[1], row[2], row[3], row[4], row[5]}),
                 (std::vector<int>{255, 0, 0, 255, 255, 255})); // blue, then transparent over white
        QCOMPARE(DibFromImage(QImage(), out), kDataError);
    }

    void TextIsUtf8()
    {
        QCOMPARE(Q(std::string("\xC3\xA4pfel")), QString::fromUtf8("äpfel"));
        QCOMPARE(Q("\xC3\xA4pfel"), QString::fromUtf8("äpfel"));
    }
};

QTEST_MAIN(TestQtBridge)
#include "Qt_bridge_test.moc"
