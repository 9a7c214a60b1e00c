// The media control window: a child widget that opens an audio or video file, plays it
// through Qt Multimedia and paints the video's frames, and the slider the media panel
// draws for position and volume.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>

class QAudioOutput;
class QTimer;
class QMediaPlayer;
class QVideoFrame;
class QVideoSink;

// Positions and lengths are milliseconds; the volume runs from 0 to 1000. The window
// owns its player; every operation is safe in any state, also after an error.
class TMediaWindow : public QWidget {
    Q_OBJECT
public:
    explicit TMediaWindow(QWidget* parent);
    ~TMediaWindow() override;

    // A child of `parent` with `path` open; its frame is prerolled (paused at 0) so a video
    // shows its first picture. The window exists even when the file cannot be played: the
    // error arrives through ErrorOccurred and ErrorString.
    static TMediaWindow* Create(QWidget* parent, const QString& path);

    // Opens a file in place of the current one (stopped, at 0). False for a path that is
    // not a readable regular file (the error string says so); nothing is played then.
    bool Open(const QString& path);
    // Shows the first frame without playing (a preview's still).
    void Preroll();
    void Play();
    void PlayFrom(qint64 ms);
    void Seek(qint64 ms);
    void Stop();
    // Halts at the current position; a video keeps its current frame on screen.
    void Pause();
    // Releases the file and the audio device; the window stays, empty, until deleted.
    void Close();

    qint64 Position() const;
    qint64 Length() const;
    void SetVolume(int volume);
    int Volume() const { return volume_; }
    void SetMuted(bool muted);
    bool Muted() const;
    bool IsPlaying() const;

    // The media's own frame size (empty for audio or before the first frame).
    QRect SourceRect() const { return QRect(QPoint(0, 0), frame_size_); }
    // Where the frame is drawn inside the window: the whole window, keeping the frame's
    // proportions and centred, unless set.
    QRect DestRect() const;
    void SetDestRect(const QRect& r);

    QString Path() const { return path_; }
    QString ErrorString() const { return error_; }
    // Frames painted since the open (a video delivers them; audio never does).
    qint64 FramesReceived() const { return frames_; }

signals:
    // The first frame arrived, or a later one of another size.
    void FrameSizeChanged(QSize size);
    void LengthChanged(qint64 ms);
    // The file is loaded: whether it holds a video stream.
    void Loaded(bool has_video);
    // The end of the media was reached.
    void Finished();
    void ErrorOccurred(const QString& message);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void FrameArrived(const QVideoFrame& frame);
    void Fail(const QString& message);
    void LoadTimedOut();

    enum class Wanted { kStopped, kPaused, kPlaying };

    QMediaPlayer* player_ = nullptr;
    QAudioOutput* audio_ = nullptr;
    QVideoSink* sink_ = nullptr;
    QTimer* load_timer_ = nullptr; // a file that stays loading is opened again, then given up
    Wanted wanted_ = Wanted::kStopped;
    int load_tries_ = 0;
    QString path_;
    QString error_;
    QImage frame_;
    QSize frame_size_;
    QRect dest_;
    bool dest_set_ = false;
    int volume_ = 1000;
    qint64 frames_ = 0;
};

// A slider drawn as the media panel draws it: a green line from x = 11 to the control's
// width − 32 at half height and a knob of a vertical mark with two short strokes. The
// knob's place is set by the owner; the mouse is reported through the callbacks.
class TMediaSlider : public QWidget {
public:
    explicit TMediaSlider(QWidget* parent);

    void SetKnob(int x);
    int Knob() const { return knob_; }
    bool Dragging() const { return dragging_; }

    std::function<void(int x)> pressed;
    std::function<void(int x)> moved;
    std::function<void(int x)> released;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    int knob_ = 11;
    bool dragging_ = false;
};

// A paused player for path put into host (the open dialog's preview): sets *source to the
// video's frame size from the video sink, empty for audio. False, with no player left,
// when the file cannot be played.
bool PreviewMedia(QWidget* host, const QString& path, QSize* source);

// Keeps Qt Multimedia off its ffmpeg backend (it fails without an audio device): sets
// QT_MEDIA_BACKEND to gstreamer unless the user chose one. Call before QApplication.
void PreferGStreamerBackend();
