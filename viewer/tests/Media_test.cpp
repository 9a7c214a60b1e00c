// The media panel and its media window against the real player: clips are made here by
// ffmpeg, played offscreen in real time (no sound card is needed), and the panel is
// watched as a person would see it. A clip the installed plugins cannot play skips with
// the player's message.
#include "core/Imageinfo.h"
#include "platform/Ini_file.h"
#include "viewer/Media_page.h"
#include "viewer/Unit1.h"
#include "viewer/tests/Picture_files.h"
#include "viewer/tests/Window_test_base.h"
#include "widgets/Help_window.h"
#include "widgets/Media_window.h"
#include "widgets/logic/Rect_object.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QToolBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

#include <memory>

namespace {

void Click(QWidget* w, QPoint pos, QEvent::Type type)
{
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Press at `from`, move to `to`, release there.
void Drag(QWidget* w, QPoint from, QPoint to)
{
    Click(w, from, QEvent::MouseButtonPress);
    Click(w, to, QEvent::MouseMove);
    Click(w, to, QEvent::MouseButtonRelease);
}

// A standard MIDI file of one half-second note.
QByteArray MidiNote()
{
    const char track[] = "\x00\x90\x3C\x64" "\x60\x80\x3C\x40" "\x00\xFF\x2F\x00";
    QByteArray b("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0\x0C", 22);
    b.append(track, 12);
    return b;
}

} // namespace

class TestMedia : public TWindowTestBase {
    Q_OBJECT

private:
    std::unique_ptr<TForm1> form_;

    QString Path(const QString& name) const { return dir_->filePath(name); }

    // Makes a clip with ffmpeg from lavfi sources; false when ffmpeg fails.
    bool Make(const QString& name, const QStringList& args)
    {
        QProcess p;
        p.start("ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-y"} + args + QStringList{Path(name)});
        return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
    bool Tone(const QString& name, double seconds, const QStringList& codec = {})
    {
        return Make(name, QStringList{"-f", "lavfi", "-i", QString("sine=frequency=440:duration=%1").arg(seconds)} +
                              codec);
    }
    bool MjpegAvi(const QString& name)
    {
        return Make(name, {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2", "-c:v", "mjpeg"});
    }

    TForm1& Form()
    {
        if (!form_) {
            FORM_OPTIONS o;
            o.settings_dir = settings_->path().toStdString();
            form_ = std::make_unique<TForm1>(*doc_, *selection_, *help_, o);
            form_->show();
        }
        return *form_;
    }

    void Open(const QString& name)
    {
        doc_->current_path = Path(name).toStdString();
        Form().OpenCurrentPath();
    }

    // Waits until the player knows the length, or reports an error (returned).
    QString WaitPlayable()
    {
        TMediaWindow* w = Form().MediaPage().Player();
        if (w == nullptr)
            return "no media window";
        (void)QTest::qWaitFor([w] { return w->Length() > 0 || !w->ErrorString().isEmpty(); }, 10000);
        return w->Length() > 0 ? QString() : "no length; " + w->ErrorString();
    }

    template <class T> T* Child(const char* name) { return Form().findChild<T*>(name); }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("ffmpeg").isEmpty())
            QSKIP("ffmpeg is not installed: no clips to play");
    }

    void init()
    {
        MakeFixture();
        IniFile(settings_->filePath("RVS.ini").toStdString()).WriteInteger("Screen", "Width", 630);
    }

    void cleanup()
    {
        form_.reset();
        DropFixture();
    }

    // Every audio kind plays as audio (none is left without a panel), through Play: the
    // timer runs and the panel shows the audio buttons, not the video bar.
    void audioKindsPlay_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("codec");
        QTest::newRow("WAV") << "a.wav" << QStringList{};
        QTest::newRow("SND") << "a.snd" << QStringList{"-f", "au"};
        QTest::newRow("AU") << "a.au" << QStringList{};
        QTest::newRow("AIF") << "a.aif" << QStringList{"-f", "aiff"};
        QTest::newRow("MP3") << "a.mp3" << QStringList{"-c:a", "libmp3lame"};
        QTest::newRow("WMA") << "a.wma" << QStringList{"-c:a", "wmav2", "-f", "asf"};
        QTest::newRow("MID") << "a.mid" << QStringList{};
        QTest::newRow("ASF of sound only") << "a.asf" << QStringList{"-c:a", "wmav2", "-f", "asf"};
    }
    void audioKindsPlay()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, codec);
        if (name.endsWith(".mid")) {
            QFile f(Path(name));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(MidiNote()) > 0);
        } else {
            QVERIFY(Tone(name, 1, codec));
        }
        Open(name);
        const QString why = WaitPlayable();
        if (!why.isEmpty())
            QSKIP(qPrintable("the player cannot play " + name + ": " + why));
        QVERIFY(Form().MediaPage().Rules().running);
        QVERIFY(Child<QTimer>("MediaTimer")->isActive());
        QTRY_VERIFY(Child<QWidget>("AudioButtons")->isVisible());
        QVERIFY(!Child<QWidget>("VideoBar")->isVisible());
        QVERIFY(Form().MediaPage().isVisible());
        QCOMPARE(Child<QLabel>("MediaName")->text(), name);
    }

    // A 2-s WAV plays to its end with the knob moving on; then it rests at the line's end
    // and the next Play starts again from the beginning.
    void playsToTheEnd()
    {
        QVERIFY(Tone("two.wav", 2));
        Open("two.wav");
        QCOMPARE(WaitPlayable(), QString());
        TForm1& f = Form();
        const int start = SLIDER_TRACK::kStart;
        QSignalSpy ended(f.MediaPage().Player(), &TMediaWindow::Finished);
        QTRY_VERIFY_WITH_TIMEOUT(f.MediaPage().PositionKnob() > start, 3000);
        QVERIFY(ended.isEmpty());
        QVERIFY(ended.wait(5000));
        QVERIFY(!f.MediaPage().Rules().running);
        QVERIFY(!Child<QTimer>("MediaTimer")->isActive());
        QCOMPARE(f.MediaPage().PositionKnob(), SLIDER_TRACK::ForWidth(249).LineEnd());
        QCOMPARE(Child<QLabel>("MediaTime")->text(), QString("0:02 / 0:02"));
        Child<QPushButton>("Bttn_Play0")->click();
        QTRY_VERIFY_WITH_TIMEOUT(f.MediaPage().Player()->IsPlaying(), 3000);
        QVERIFY(f.MediaPage().Player()->Position() < 1500);
    }

    // "Repeated Play" starts the clip again at its end, again and again.
    void repeatLoops()
    {
        QVERIFY(Tone("one.wav", 1));
        Open("one.wav");
        QCOMPARE(WaitPlayable(), QString());
        Child<QCheckBox>("RepeatBox0")->setChecked(true);
        QVERIFY(Child<QCheckBox>("RepeatBox1")->isChecked());
        QVERIFY(Form().MediaPage().Repeat());
        QSignalSpy ended(Form().MediaPage().Player(), &TMediaWindow::Finished);
        QTRY_VERIFY_WITH_TIMEOUT(ended.count() >= 2, 8000);
        QVERIFY(Form().MediaPage().Rules().running);
        QTRY_VERIFY_WITH_TIMEOUT(Form().MediaPage().Player()->IsPlaying(), 2000);
    }

    // While a file plays: Tests > "Keep Listenning..." ticks the panel's boxes at once, and
    // F1 opens the media topic.
    void keepListeningAndHelp()
    {
        QVERIFY(Tone("k.wav", 2));
        Open("k.wav");
        QCOMPARE(WaitPlayable(), QString());
        QVERIFY(!Child<QCheckBox>("RepeatBox0")->isChecked());
        Form().Command("mn_Tests_KeepListening")->trigger();
        QVERIFY(Child<QCheckBox>("RepeatBox0")->isChecked());
        QVERIFY(Child<QCheckBox>("RepeatBox1")->isChecked());
        QVERIFY(Form().MediaPage().Rules().repeat);
        QTest::keyClick(&Form(), Qt::Key_F1);
        QVERIFY(help_->Form() != nullptr);
        QCOMPARE(help_->Form()->CurrentContext(), 107);
    }

    // Stop rewinds; Pause halts with the timer; a drag while paused only seeks (the timer
    // stays off and nothing plays); Space plays and pauses.
    void stopPauseAndDrag()
    {
        QVERIFY(Tone("three.wav", 3));
        Open("three.wav");
        QCOMPARE(WaitPlayable(), QString());
        TForm1& f = Form();
        QTimer* timer = Child<QTimer>("MediaTimer");
        Child<QPushButton>("Bttn_Pause0")->click();
        QVERIFY(!timer->isActive());
        QTRY_VERIFY(!f.MediaPage().Player()->IsPlaying());
        auto* slider = Child<QWidget>("PositionSlider");
        const SLIDER_TRACK track = SLIDER_TRACK::ForWidth(249);
        Drag(slider, QPoint(track.start + 5, 20), QPoint(track.KnobAt(0.5), 20));
        QCOMPARE(f.MediaPage().PositionKnob(), track.KnobAt(0.5));
        QVERIFY(!timer->isActive());
        QTRY_VERIFY(std::abs(f.MediaPage().Player()->Position() - 1500) < 200);
        QTest::qWait(300);
        QVERIFY(!f.MediaPage().Player()->IsPlaying());

        QTest::keyClick(&f, Qt::Key_Space, Qt::NoModifier, 0);
        QVERIFY(timer->isActive());
        QTRY_VERIFY(f.MediaPage().Player()->IsPlaying());
        QVERIFY(f.MediaPage().Player()->Position() >= 1300); // it went on from the chosen place
        QTest::keyClick(&f, Qt::Key_Space);
        QVERIFY(!timer->isActive());

        // A drag past the right end seeks to the end, not beyond; Stop rewinds.
        Drag(slider, QPoint(100, 20), QPoint(400, 20));
        QCOMPARE(f.MediaPage().PositionKnob(), track.LineEnd());
        Child<QPushButton>("Bttn_Stop0")->click();
        QCOMPARE(f.MediaPage().PositionKnob(), track.start);
        QVERIFY(f.MediaPage().Rules().at_start);
        QTRY_VERIFY(f.MediaPage().Player()->Position() == 0);
    }

    // The volume slider reaches 0 and 1000 and the volume is kept in the settings file for
    // the next file.
    void volumeOverTheFullRange()
    {
        QVERIFY(Tone("v.wav", 1));
        Open("v.wav");
        auto* slider = Child<QWidget>("VolumeSlider");
        Drag(slider, QPoint(100, 20), QPoint(0, 20));
        QCOMPARE(Form().MediaPage().Player()->Volume(), 0);
        Drag(slider, QPoint(100, 20), QPoint(248, 20));
        QCOMPARE(Form().MediaPage().Player()->Volume(), 1000);
        const SLIDER_TRACK track = SLIDER_TRACK::ForWidth(249);
        const int quarter = track.KnobAt(0.25);
        Drag(slider, QPoint(100, 20), QPoint(quarter, 20));
        const int volume = VolumeAt(track, quarter);
        QVERIFY(std::abs(volume - 250) < 5);
        QCOMPARE(Form().MediaPage().Player()->Volume(), volume);
        IniFile ini(settings_->filePath("RVS.ini").toStdString());
        QCOMPARE(ini.ReadInteger("Media", "Volume", -1), volume);
        Open("v.wav");
        QCOMPARE(Form().MediaPage().Player()->Volume(), volume);
        QCOMPARE(Form().MediaPage().VolumeKnob(), quarter);
    }

    // A file handed over on the command line opens before the window is shown: the panel
    // still ends up under the menu bar and the toolbar, and the window holds it whole.
    void panelUnderTheToolbar()
    {
        QVERIFY(Tone("cmd.wav", 1));
        FORM_OPTIONS o;
        o.settings_dir = settings_->path().toStdString();
        o.hand_off_fallback = Path("cmd.wav").toStdString();
        form_ = std::make_unique<TForm1>(*doc_, *selection_, *help_, o);
        QVERIFY(Form().MediaPage().Player() != nullptr);
        form_->show();
        QWidget* panel = &Form().MediaPage();
        auto* toolbar = Form().findChild<QToolBar*>();
        QVERIFY(toolbar != nullptr && toolbar->isVisible());
        const auto placed = [&] { return QRect(panel->mapTo(form_.get(), QPoint(0, 0)), panel->size()); };
        QTRY_VERIFY(placed().top() > toolbar->geometry().bottom());
        QVERIFY(placed().bottom() < Form().statusBar()->geometry().top());
        QVERIFY(panel->height() >= panel->sizeHint().height());
    }

    // A picture opened after a media file closes the media window and hides the panel.
    void pictureClosesTheMediaWindow()
    {
        QVERIFY(Tone("m.wav", 1));
        QVERIFY(WriteSolidPicture(Path("p.ppm").toStdString(), 40, 30, 1, 2, 3));
        Open("m.wav");
        QPointer<TMediaWindow> w = Form().MediaPage().Player();
        QVERIFY(w);
        Open("p.ppm");
        QVERIFY(Form().MediaPage().Player() == nullptr);
        QVERIFY(!Form().MediaPage().isVisible());
        QVERIFY(!Child<QTimer>("MediaTimer")->isActive());
        QVERIFY(Form().PicturePage().PictureShown());
        QTRY_VERIFY(w.isNull());
        // The panel's buttons do nothing now.
        Child<QPushButton>("Bttn_Play0")->click();
        QVERIFY(!Child<QTimer>("MediaTimer")->isActive());
    }

    // Junk named .mp3 and an empty .wav end in the player's error on the caption line.
    void unplayableFilesShowTheError_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("junk MP3") << "junk.mp3" << QByteArray(5000, '\x5A');
        QTest::newRow("empty WAV") << "empty.wav" << QByteArray();
        QTest::newRow("CD track stub") << "track01.cda" << QByteArray("RIFF\x24\0\0\0CDDAfmt ", 16);
        QTest::newRow("FIFO") << "fifo.wav" << QByteArray(); // refused at once, never waited on
    }
    void unplayableFilesShowTheError()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        if (name.startsWith("fifo")) {
            QCOMPARE(mkfifo(Path(name).toLocal8Bit().constData(), 0600), 0);
        } else {
            QFile f(Path(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
            f.close();
        }
        Open(name);
        TMediaWindow* w = Form().MediaPage().Player();
        QVERIFY(w != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!w->ErrorString().isEmpty(), 10000);
        QCOMPARE(Form().MediaPage().Caption(), w->ErrorString());
        QVERIFY(!Child<QTimer>("MediaTimer")->isActive());
        Child<QPushButton>("Bttn_Play0")->click(); // no crash, no hang
        QTest::qWait(200);
    }

    // A video delivers frames into the window, whose size comes from a sound AVI header or
    // else from the first frame; the video bar replaces the audio buttons.
    void videoDeliversFrames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("codec");
        QTest::addColumn<bool>("bad_header");
        QTest::newRow("MJPEG AVI") << "v.avi" << QStringList{"-c:v", "mjpeg"} << false;
        QTest::newRow("MJPEG AVI, header size out of range") << "v.avi" << QStringList{"-c:v", "mjpeg"} << true;
        QTest::newRow("MPEG-1") << "v.mpg" << QStringList{"-c:v", "mpeg1video", "-f", "mpeg"} << false;
        QTest::newRow("WMV") << "v.wmv" << QStringList{"-c:v", "wmv2", "-f", "asf"} << false;
    }
    void videoDeliversFrames()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, codec);
        QFETCH(bool, bad_header);
        QVERIFY(Make(name, QStringList{"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2"} + codec));
        if (bad_header) {
            QFile f(Path(name));
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(64));
            f.write("\xFF\xFF\xFF\x7F\0\0\0\0", 8); // 2147483647 × 0
        }
        Open(name);
        const QString why = WaitPlayable();
        if (!why.isEmpty())
            QSKIP(qPrintable("the player cannot play " + name + ": " + why));
        TMediaWindow* w = Form().MediaPage().Player();
        QTRY_VERIFY_WITH_TIMEOUT(w->FramesReceived() > 3, 5000);
        QCOMPARE(w->SourceRect(), QRect(0, 0, 160, 120));
        QTRY_COMPARE(Child<QWidget>("MediaHost")->size(), QSize(160, 120));
        QVERIFY(Child<QWidget>("VideoBar")->isVisible());
        QVERIFY(!Child<QWidget>("AudioButtons")->isVisible());
        // Pause keeps the current frame on screen.
        Child<QPushButton>("Bttn_Pause1")->click();
        QTRY_VERIFY(!w->IsPlaying());
        const QImage still = w->grab().toImage();
        QVERIFY(still.pixelColor(80, 60) != QColor(Qt::black) || still.pixelColor(20, 20) != QColor(Qt::black));
    }

    // The captions follow the table: the duration first, the next line after five ticks,
    // tag texts as plain text (never markup).
    void captionsOfAnMp3()
    {
        QVERIFY(Tone("t.mp3", 3,
                     {"-c:a", "libmp3lame", "-b:a", "128k", "-write_id3v1", "1", "-metadata", "title=<b>x</b>",
                      "-metadata", "artist=Somebody", "-ar", "44100"}));
        Open("t.mp3");
        QCOMPARE(WaitPlayable(), QString());
        TForm1& f = Form();
        Child<QTimer>("MediaTimer")->stop();
        const CAPTION_LINES& c = f.MediaPage().Rules().captions;
        QCOMPARE(c[0], std::string("0:3 "));
        QCOMPARE(c[1], std::string("Title: <b>x</b>"));
        QCOMPARE(c[2], std::string());
        QCOMPARE(c[3], std::string("Artist: Somebody"));
        QCOMPARE(c[4], std::string("Playing at: 128 K bit/sec"));
        QCOMPARE(c[5], std::string("44100 Hz"));
        f.MediaPage().TimerTick();
        QCOMPARE(f.MediaPage().Caption(), QString("0:3 "));
        for (int i = 0; i < 4; ++i)
            f.MediaPage().TimerTick();
        QCOMPARE(f.MediaPage().Caption(), QString("Title: <b>x</b>"));
        QCOMPARE(Child<QLabel>("MediaCaption")->textFormat(), Qt::PlainText);
        for (int i = 0; i < 5; ++i)
            f.MediaPage().TimerTick();
        QCOMPARE(f.MediaPage().Caption(), QString("Artist: Somebody")); // the empty album line is passed over
    }

    // The window on its own, as the previews use it: preroll shows the first frame without
    // playing; Close releases the file.
    void windowOnItsOwn()
    {
        QVERIFY(MjpegAvi("p.avi"));
        QWidget parent;
        parent.resize(200, 150);
        TMediaWindow* w = TMediaWindow::Create(&parent, Path("p.avi"));
        w->resize(200, 150);
        parent.show();
        QSignalSpy size(w, &TMediaWindow::FrameSizeChanged);
        QTRY_VERIFY_WITH_TIMEOUT(w->FramesReceived() > 0 || !w->ErrorString().isEmpty(), 10000);
        if (!w->ErrorString().isEmpty())
            QSKIP(qPrintable("the player cannot play MJPEG AVI: " + w->ErrorString()));
        QCOMPARE(size.count(), 1);
        QCOMPARE(size.at(0).at(0).toSize(), QSize(160, 120));
        QCOMPARE(w->DestRect(), QRect(0, 0, 200, 150));
        QTest::qWait(300);
        QVERIFY(!w->IsPlaying());
        QCOMPARE(w->Position(), 0);
        w->SetDestRect(QRect(10, 10, 80, 60));
        QCOMPARE(w->DestRect(), QRect(10, 10, 80, 60));
        w->Close();
        QVERIFY(w->Path().isEmpty());
        QVERIFY(w->SourceRect().isEmpty());
        w->Play(); // nothing open: nothing happens
        QVERIFY(!w->IsPlaying());
        QVERIFY(!w->Open(Path("missing.avi")));
        QVERIFY(!w->ErrorString().isEmpty());
    }
    // The open dialog's preview: a paused player sized from the video sink, audio with no
    // picture, and nothing left behind for a file that does not play.
    void previewOfAFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("plays");
        QTest::addColumn<QSize>("source");
        QTest::newRow("MJPEG AVI") << "p.avi" << true << QSize(160, 120);
        QTest::newRow("MP3") << "p.mp3" << true << QSize();
        QTest::newRow("junk named .mp3") << "junk.mp3" << false << QSize();
    }
    void previewOfAFile()
    {
        QFETCH(QString, name);
        QFETCH(bool, plays);
        QFETCH(QSize, source);
        if (name == "p.avi")
            QVERIFY(MjpegAvi(name));
        else if (name == "p.mp3")
            QVERIFY(Tone(name, 1, {"-c:a", "libmp3lame"}));
        else
        {
            QFile junk(Path(name));
            QVERIFY(junk.open(QIODevice::WriteOnly));
            junk.write(QByteArray(4000, 'Z'));
        }
        QWidget host;
        host.resize(129, 100);
        host.show();
        QSize got(-1, -1);
        const bool ok = PreviewMedia(&host, Path(name), &got);
        if (plays && !ok)
            QSKIP(qPrintable("the player cannot play " + name));
        QCOMPARE(ok, plays);
        QCOMPARE(got, source);
        const QList<TMediaWindow*> players = host.findChildren<TMediaWindow*>();
        QCOMPARE(players.size(), plays ? 1 : 0);
        if (!plays)
            return;
        QTest::qWait(300);
        QVERIFY(!players[0]->IsPlaying());
        QCOMPARE(players[0]->Position(), 0);
    }
};

int main(int argc, char** argv)
{
    PreferGStreamerBackend();
    QApplication app(argc, argv);
    TestMedia t;
    return QTest::qExec(&t, argc, argv);
}

#include "Media_test.moc"
