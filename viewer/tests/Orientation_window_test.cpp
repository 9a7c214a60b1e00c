// What the main window paints of a TARGA file, for every origin, depth and encoding: the
// first picture shown, the pictures reached by Next (preloaded, with their fitted copies),
// and the picture after Negative and after Undo, each against the command-line tool's
// decode of the same file, at the natural size and fitted.
#include "core/Imageinfo.h"
#include "platform/Ini_file.h"
#include "tests/tga_files.h"
#include "viewer/Unit1.h"
#include "viewer/logic/Preload_cache.h"
#include "viewer/logic/Startup.h"
#include "viewer/tests/Window_test_base.h"
#include "widgets/Help_window.h"
#include "widgets/Picture_view.h"
#include "widgets/logic/Rect_object.h"
#include "widgets/logic/View_zoom.h"

#include <QAction>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTest>

#include <memory>

using namespace tga_files;

namespace {

constexpr int kW = 900, kH = 700;

// Four quadrants of colours that 5 bits a channel keep, blue, green, red.
const std::uint8_t kQuadrant[4][3] = {{8, 16, 248}, {248, 16, 8}, {16, 248, 8}, {128, 64, 200}};

int QuadrantAt(int x, int y) { return (y < kH / 2 ? 0 : 2) + (x < kW / 2 ? 0 : 1); }

Bytes QuadrantPicture()
{
    Bytes p;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            p.insert(p.end(), kQuadrant[QuadrantAt(x, y)], kQuadrant[QuadrantAt(x, y)] + 3);
    return p;
}

// The colour of a quadrant of a blue-green-red picture, as a QColor.
QColor ColourAt(const Bytes& bgr, int x, int y)
{
    const std::uint8_t* p = bgr.data() + 3 * (static_cast<std::size_t>(y) * kW + static_cast<std::size_t>(x));
    return QColor(p[2], p[1], p[0]);
}

// The tool's decode of path as blue-green-red pixels; empty when it failed.
Bytes CliDecode(const QString& path, const QString& ppm)
{
    if (QProcess::execute(RAVELSCOPE_CLI, {"convert", path, ppm}) != 0)
        return {};
    QImage img(ppm);
    if (img.width() != kW || img.height() != kH)
        return {};
    img = img.convertToFormat(QImage::Format_BGR888);
    Bytes out;
    for (int y = 0; y < kH; ++y)
        out.insert(out.end(), img.constScanLine(y), img.constScanLine(y) + kW * 3);
    return out;
}

} // namespace

class TestOrientationWindow : public TWindowTestBase {
    Q_OBJECT

private:
    std::unique_ptr<TForm1> OpenForm(const std::string& path, bool fit)
    {
        IniFile ini(settings_->filePath("RVS.ini").toStdString());
        ini.WriteInteger("Screen", "Width", 630);
        ini.WriteInteger("View", "FitToWindow", fit ? 1 : 0);
        FORM_OPTIONS o;
        o.settings_dir = settings_->path().toStdString();
        o.hand_off_fallback = HandOffPath(path);
        auto form = std::make_unique<TForm1>(*doc_, *selection_, *help_, o);
        form->show();
        return form;
    }

    // The view paints, at the middle of every quadrant it shows, the colour the tool
    // decoded there (negated when asked).
    static bool PaintsAsDecoded(TForm1& form, const Bytes& decoded, bool negated, QString& why)
    {
        const QImage painted = form.PicturePage().View()->grab().toImage();
        const VIEW_MAP map = form.PicturePage().View()->Map();
        for (const QPoint at : {QPoint(kW / 4, kH / 4), QPoint(3 * kW / 4, kH / 4), QPoint(kW / 4, 3 * kH / 4),
                                QPoint(3 * kW / 4, 3 * kH / 4)}) {
            const QPoint v(map.ViewX(at.x()), map.ViewY(at.y()));
            if (!painted.rect().contains(v))
                continue; // scrolled out of the window at the natural size
            QColor want = ColourAt(decoded, at.x(), at.y());
            if (negated)
                want = QColor(255 - want.red(), 255 - want.green(), 255 - want.blue());
            if (painted.pixelColor(v) != want) {
                why = QString("picture point %1,%2: painted %3, decoded %4")
                          .arg(at.x()).arg(at.y()).arg(painted.pixelColor(v).name(), want.name());
                return false;
            }
        }
        return true;
    }

private slots:
    void init() { MakeFixture(); }
    void cleanup() { DropFixture(); }

    void paintsEveryOriginAsTheToolDecodesIt_data()
    {
        QTest::addColumn<bool>("fit");
        QTest::newRow("natural size") << false;
        QTest::newRow("fitted") << true;
    }

    void paintsEveryOriginAsTheToolDecodesIt()
    {
        QFETCH(bool, fit);
        const Bytes picture = QuadrantPicture();
        std::vector<std::string> files;
        for (const int origin : {0x00, 0x20, 0x10, 0x30})
            for (const bool rle : {false, true})
                for (const int bits : {16, 24, 32}) {
                    const QString name = QString("%1-%2-%3.tga").arg(origin, 2, 16, QChar('0')).arg(rle ? "rle" : "raw").arg(bits);
                    files.push_back(dir_->filePath(name).toStdString());
                    QFile f(QString::fromStdString(files.back()));
                    const Bytes bytes = OrientedTga(picture, kW, kH, origin, bits, rle);
                    QVERIFY(f.open(QIODevice::WriteOnly));
                    QCOMPARE(f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())),
                             static_cast<qint64>(bytes.size()));
                }
        std::sort(files.begin(), files.end()); // the order Next walks them

        auto form = OpenForm(files.front(), fit);
        for (std::size_t i = 0; i < files.size(); ++i) {
            const QString file = QString::fromStdString(files[i]);
            if (i > 0) {
                form->Preloads().WaitIdle(); // Next takes the preloaded document
                form->Command("mn_View_NextFile")->trigger();
            }
            QCOMPARE(QString::fromStdString(doc_->current_path), file);
            const Bytes decoded = CliDecode(file, dir_->filePath("cli.ppm"));
            QVERIFY2(decoded == picture, qPrintable(file + ": the tool's decode is not the picture stored"));
            QString why;
            QVERIFY2(PaintsAsDecoded(*form, decoded, false, why), qPrintable(file + " shown: " + why));
            form->Command("mn_Colors_Negative")->trigger();
            QVERIFY2(PaintsAsDecoded(*form, decoded, true, why), qPrintable(file + " after Negative: " + why));
            form->Command("mn_Edit_Undo")->trigger();
            QVERIFY2(PaintsAsDecoded(*form, decoded, false, why), qPrintable(file + " after Undo: " + why));
        }
    }
};

QTEST_MAIN(TestOrientationWindow)
#include "Orientation_window_test.moc"
