// The effect-dialog base driven through exec() as a person would: Esc cancels and leaves
// no result, OK gives back what the preview showed, the scroll bar's arrow keys move the
// value the way they point, F1 opens the help topic while the dialog stays open, and the
// picture shown may change or go while the dialog runs.
#include "core/Imageinfo.h"
#include "dialogs/Effect_form.h"
#include "dialogs/Rotate_preview_form.h"
#include "dialogs/tests/Test_effect.h"
#include "viewer/logic/Image_edits.h"
#include "widgets/Help_window.h"
#include "widgets/Picture_view.h"
#include "widgets/logic/Help_file.h"
#include "viewer/tests/Gui_test_support.h"

#include <QApplication>
#include <QColorDialog>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <functional>
#include <memory>

namespace {

// The dialog over the 4 × 3 test picture.
struct EFFECT_RIG {
    EFFECT_RIG()
    {
        FillTestPicture(*doc.display);
        form = std::make_unique<TEffectForm>(rules, doc, help, kHelpMainWindow);
    }

    TIMAGE_INFO doc;
    TEST_SOLARIZE_RULES rules;
    HELP_VIEWER help{RAVELSCOPE_VIEWER_DIR};
    std::unique_ptr<TEffectForm> form;
};

} // namespace

class TestEffectForm : public QObject {
    Q_OBJECT

private slots:
    void escCancelsAndChangesNothing()
    {
        EFFECT_RIG rig;
        TIMAGE_INFO& doc = rig.doc;
        TEffectForm& form = *rig.form;
        const int rc = RunWith(form, [&] {
            QTest::keyClick(form.ScrollBar(), Qt::Key_Right);
            QTest::keyClick(form.ScrollBar(), Qt::Key_Escape);
        });
        QCOMPARE(rc, int(QDialog::Rejected));
        QVERIFY(form.TakeResult() == nullptr);
        QCOMPARE(doc.display->ScanLine(1)[3], std::uint8_t{44}); // the picture itself is never touched
    }

    void arrowsMoveTheValueAndOkAcceptsThePreview()
    {
        EFFECT_RIG rig;
        TIMAGE_INFO& doc = rig.doc;
        TEffectForm& form = *rig.form;
        QCOMPARE(form.ValueLabel()->text(), QString("Threshold 128"));
        const int rc = RunWith(form, [&] {
            QScrollBar* bar = form.ScrollBar();
            QVERIFY(bar->focusPolicy() & Qt::TabFocus);
            const struct {
                Qt::Key key;
                int want;
            } keys[] = {{Qt::Key_Right, 129}, {Qt::Key_Right, 130}, {Qt::Key_Left, 129},
                        {Qt::Key_PageUp, 145},  {Qt::Key_PageDown, 129}, {Qt::Key_Home, 0},
                        {Qt::Key_End, 255},     {Qt::Key_Left, 254}};
            for (const auto& k : keys) {
                QTest::keyClick(bar, k.key);
                QCOMPARE(bar->value(), k.want);
                QCOMPARE(form.Session().Value(), k.want);
            }
            QCOMPARE(form.ValueLabel()->text(), QString("Threshold 254"));
            QTest::mouseClick(form.OkButton(), Qt::LeftButton);
        });
        QCOMPARE(rc, int(QDialog::Accepted));
        QCOMPARE(form.ResultCode(), int(kOk));
        QVERIFY(doc.result_bitmap.Empty()); // the dialog writes nothing into the document
        const std::unique_ptr<Dib> result = form.TakeResult();
        QVERIFY(result != nullptr);
        const Dib& out = *result;
        QCOMPARE(out.Width(), 4);
        QCOMPARE(out.ScanLine(1)[3], Solarized(44, 254));
        QCOMPARE(out.ScanLine(1)[4], Solarized(64, 254));
        QCOMPARE(doc.display->ScanLine(1)[3], std::uint8_t{44});
    }

    // The dialog works on its own copy: the document's bitmap freed and replaced while it
    // runs changes neither the preview nor the result.
    void thePictureShownMayGoWhileTheDialogRuns()
    {
        EFFECT_RIG rig;
        TIMAGE_INFO& doc = rig.doc;
        TEffectForm& form = *rig.form;
        const int rc = RunWith(form, [&] {
            doc.display = std::make_unique<Dib>();
            QVERIFY(doc.display->SetSize(2, 2, 24) == kOk);
            QTest::keyClick(form.ScrollBar(), Qt::Key_End);
            QTest::mouseClick(form.OkButton(), Qt::LeftButton);
        });
        QCOMPARE(rc, int(QDialog::Accepted));
        const std::unique_ptr<Dib> result = form.TakeResult();
        QVERIFY(result != nullptr);
        QCOMPARE(result->Width(), 4);
        QCOMPARE(result->ScanLine(1)[3], Solarized(44, 255));
    }

    void f1OpensTheHelpTopicWhileTheDialogStaysOpen()
    {
        EFFECT_RIG rig;
        TEffectForm& form = *rig.form;
        HELP_VIEWER& help = rig.help;
        const int rc = RunWith(form, [&] {
            QTest::keyClick(form.ScrollBar(), Qt::Key_F1);
            QVERIFY(help.Form() != nullptr);
            QVERIFY(help.Form()->isVisible());
            QCOMPARE(help.Form()->CurrentContext(), int(kHelpMainWindow));
            QVERIFY(form.isVisible());
            QTest::keyClick(&form, Qt::Key_Return); // Enter presses OK
        });
        QCOMPARE(rc, int(QDialog::Accepted));
        QVERIFY(form.Result() != nullptr);
    }

    // The rotation dialog hands back whether it was confirmed, its angle and the colour
    // chosen (kept after Cancel too) and writes nothing into the document; the command's
    // adapter does.
    void rotationHandsBackItsOutcome_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::newRow("OK") << true;
        QTest::newRow("Esc") << false;
    }
    void rotationHandsBackItsOutcome()
    {
        QFETCH(bool, ok);
        TIMAGE_INFO doc;
        FillTestPicture(*doc.display);
        const std::uint8_t start[3] = {1, 2, 3};
        std::memcpy(doc.rotation_options, start, 3);
        HELP_VIEWER help{RAVELSCOPE_VIEWER_DIR};
        TRotatePVForm form(doc, help);
        const int rc = RunWith(form, [&] {
            QTest::keyClick(form.ScrollBar(), Qt::Key_Right);
            QTest::keyClick(form.ScrollBar(), Qt::Key_Right);
            QTimer::singleShot(0, [] {
                auto* chooser = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
                QVERIFY(chooser != nullptr);
                chooser->setCurrentColor(QColor(30, 20, 10));
                chooser->accept();
            });
            form.ColourPanel()->click();
            QCOMPARE(std::memcmp(doc.rotation_options, start, 3), 0); // not while the dialog runs
            if (ok)
                QTest::mouseClick(form.OkButton(), Qt::LeftButton);
            else
                QTest::keyClick(form.ScrollBar(), Qt::Key_Escape);
        });
        QCOMPARE(rc, int(ok ? QDialog::Accepted : QDialog::Rejected));
        const ROTATION_OUTCOME outcome = form.Outcome();
        QCOMPARE(outcome.accepted, ok);
        QCOMPARE(outcome.angle, 4);
        QCOMPARE(std::memcmp(doc.rotation_options, start, 3), 0);

        RecordRotationOutcome(doc, outcome);
        QCOMPARE(doc.rotation_dialog_flag, std::uint8_t(ok ? 0 : 1));
        QCOMPARE(doc.rotation_angle, 4.0);
        const std::uint8_t chosen[3] = {10, 20, 30}; // blue, green, red
        QCOMPARE(std::memcmp(doc.rotation_options, chosen, 3), 0);
    }
};

QTEST_MAIN(TestEffectForm)
#include "Effect_form_test.moc"
