// The dialogs' base: Run() is window-modal, F1 asks for the dialog's help topic (and for
// nothing without help), and a remembered position is used only while it is on a screen:
// else the designed one, else the middle of the parent.
#include "platform/Ini_file.h"
#include "widgets/Modal_dialog.h"

#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdint>
#include <string>
#include <vector>

namespace {

class RECORDED_HELP : public HELP_TOPICS {
public:
    bool ShowContext(std::int32_t n) override
    {
        asked.push_back(n);
        return true;
    }
    std::vector<std::int32_t> asked;
};

class TTestDialog : public TModalDialog {
public:
    TTestDialog(QWidget* parent, HELP_TOPICS* help) : TModalDialog(parent, help, 42) { setFixedSize(200, 100); }
    using TModalDialog::KeepPosition;
    using TModalDialog::RestorePosition;
};

} // namespace

class TestModalDialog : public QObject {
    Q_OBJECT
private slots:
    void RunIsWindowModal()
    {
        QWidget parent;
        parent.show();
        TTestDialog d(&parent, nullptr);
        Qt::WindowModality seen = Qt::NonModal;
        QTimer::singleShot(0, &d, [&] {
            seen = d.windowModality();
            d.accept();
        });
        QCOMPARE(d.Run(), int(QDialog::Accepted));
        QCOMPARE(seen, Qt::WindowModal);
    }

    void F1AsksForTheHelpTopicAndKeepsTheDialog()
    {
        RECORDED_HELP help;
        TTestDialog d(nullptr, &help);
        d.show();
        QTest::keyClick(&d, Qt::Key_F1);
        QCOMPARE(help.asked, std::vector<std::int32_t>{42});
        QVERIFY(d.isVisible());
        QTest::keyClick(&d, Qt::Key_Escape); // other keys still reach QDialog
        QVERIFY(!d.isVisible());

        TTestDialog without(nullptr, nullptr);
        without.show();
        QTest::keyClick(&without, Qt::Key_F1); // no help: nothing happens
        QVERIFY(without.isVisible());
    }

    void RememberedPositionOnlyOnAScreen_data()
    {
        QTest::addColumn<QPoint>("stored");
        QTest::addColumn<QPoint>("designed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("stored on a screen") << QPoint(50, 60) << QPoint(10, 10) << "stored";
        QTest::newRow("stored off every screen") << QPoint(-30000, 60) << QPoint(10, 10) << "designed";
        QTest::newRow("both off every screen") << QPoint(-30000, 60) << QPoint(40000, 40000) << "centred";
        QTest::newRow("a corner on the screen is enough") << QPoint(-160, -60) << QPoint(10, 10) << "stored";
    }
    void RememberedPositionOnlyOnAScreen()
    {
        QFETCH(QPoint, stored);
        QFETCH(QPoint, designed);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const std::string path = dir.filePath("RVS.ini").toStdString();
        IniFile ini(path);
        ini.WriteInteger("Dlg", "Left", stored.x());
        ini.WriteInteger("Dlg", "Top", stored.y());

        QWidget parent;
        parent.setGeometry(300, 200, 400, 300);
        TTestDialog d(&parent, nullptr);
        d.RestorePosition(IniFile(path), "Dlg", designed);
        if (expected == "stored")
            QCOMPARE(d.pos(), stored);
        else if (expected == "designed")
            QCOMPARE(d.pos(), designed);
        else
            QVERIFY((d.geometry().center() - parent.frameGeometry().center()).manhattanLength() <= 2);

        d.move(70, 80);
        d.KeepPosition(ini, "Dlg");
        QCOMPARE(ini.ReadInteger("Dlg", "Left", 0), 70);
        QCOMPARE(ini.ReadInteger("Dlg", "Top", 0), 80);
    }
};

QTEST_MAIN(TestModalDialog)
#include "Modal_dialog_test.moc"
