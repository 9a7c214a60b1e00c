#include "widgets/Media_window.h"

#include "base/File_io.h"

#include <QAudioOutput>
#include <QEventLoop>
#include <QMediaPlayer>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>

#include <algorithm>

namespace {

// The player now and then stays in its loading state for a sound file (seen with AIFF);
// after this long the file is opened again, and after the last try the error stands.
constexpr int kLoadTimeoutMs = 2500;
constexpr int kLoadTries = 3;
// How long a preview waits for the player to tell its picture's size.
constexpr int kPreviewWaitMs = 4000;

} // namespace

// ---- the media control window ----

TMediaWindow::TMediaWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName("MediaWindow");
    player_ = new QMediaPlayer(this);
    audio_ = new QAudioOutput(this);
    sink_ = new QVideoSink(this);
    player_->setAudioOutput(audio_);
    player_->setVideoSink(sink_);
    connect(sink_, &QVideoSink::videoFrameChanged, this, &TMediaWindow::FrameArrived);
    connect(player_, &QMediaPlayer::durationChanged, this, &TMediaWindow::LengthChanged);
    load_timer_ = new QTimer(this);
    load_timer_->setSingleShot(true);
    load_timer_->setInterval(kLoadTimeoutMs);
    connect(load_timer_, &QTimer::timeout, this, &TMediaWindow::LoadTimedOut);
    connect(player_, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus s) {
        if (s != QMediaPlayer::LoadingMedia)
            load_timer_->stop();
        if (s == QMediaPlayer::LoadedMedia)
            emit Loaded(player_->hasVideo());
        else if (s == QMediaPlayer::EndOfMedia)
            emit Finished();
        else if (s == QMediaPlayer::InvalidMedia && error_.isEmpty())
            Fail("The file cannot be played.");
    });
    connect(player_, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString& message) { Fail(message); });
}

TMediaWindow::~TMediaWindow()
{
    // The player goes before its outputs.
    player_->stop();
    delete player_;
}

TMediaWindow* TMediaWindow::Create(QWidget* parent, const QString& path)
{
    auto* w = new TMediaWindow(parent);
    if (w->Open(path))
        w->Preroll();
    return w;
}

bool TMediaWindow::Open(const QString& path)
{
    Close();
    path_ = path;
    if (!OpenForRead(path.toStdString())) {
        Fail("The file cannot be read.");
        return false;
    }
    load_tries_ = 1;
    player_->setSource(QUrl::fromLocalFile(path));
    load_timer_->start();
    return true;
}

void TMediaWindow::LoadTimedOut()
{
    if (player_->mediaStatus() != QMediaPlayer::LoadingMedia || path_.isEmpty())
        return;
    if (load_tries_ >= kLoadTries) {
        Fail("The file did not open.");
        return;
    }
    ++load_tries_;
    const QUrl source = player_->source();
    player_->setSource(QUrl());
    player_->setSource(source);
    load_timer_->start();
    if (wanted_ == Wanted::kPlaying)
        player_->play();
    else if (wanted_ == Wanted::kPaused)
        player_->pause();
}

void TMediaWindow::Preroll()
{
    if (player_->source().isEmpty())
        return;
    wanted_ = Wanted::kPaused;
    player_->pause();
}

void TMediaWindow::Play()
{
    if (player_->source().isEmpty())
        return;
    wanted_ = Wanted::kPlaying;
    player_->play();
}

void TMediaWindow::PlayFrom(qint64 ms)
{
    if (player_->source().isEmpty())
        return;
    wanted_ = Wanted::kPlaying;
    if (player_->playbackState() == QMediaPlayer::StoppedState) {
        player_->play();
        if (ms != 0)
            player_->setPosition(ms);
        return;
    }
    player_->setPosition(ms);
    player_->play();
}

void TMediaWindow::Seek(qint64 ms)
{
    if (player_->source().isEmpty())
        return;
    if (player_->playbackState() == QMediaPlayer::StoppedState) {
        wanted_ = Wanted::kPaused;
        player_->pause(); // a stopped player does not move; a paused one shows the frame there
    }
    player_->setPosition(ms);
}

void TMediaWindow::Stop()
{
    if (player_->source().isEmpty())
        return;
    wanted_ = Wanted::kStopped;
    player_->stop();
    player_->setPosition(0);
}

void TMediaWindow::Pause()
{
    if (player_->playbackState() == QMediaPlayer::PlayingState) {
        wanted_ = Wanted::kPaused;
        player_->pause();
    }
}

void TMediaWindow::Close()
{
    load_timer_->stop();
    wanted_ = Wanted::kStopped;
    player_->stop();
    player_->setSource(QUrl());
    path_.clear();
    error_.clear();
    frame_ = QImage();
    frame_size_ = QSize();
    frames_ = 0;
    update();
}

qint64 TMediaWindow::Position() const { return player_->position(); }
qint64 TMediaWindow::Length() const { return player_->duration(); }

void TMediaWindow::SetVolume(int volume)
{
    volume_ = std::clamp(volume, 0, 1000);
    audio_->setVolume(static_cast<float>(volume_) / 1000.0f);
}

void TMediaWindow::SetMuted(bool muted) { audio_->setMuted(muted); }
bool TMediaWindow::Muted() const { return audio_->isMuted(); }
bool TMediaWindow::IsPlaying() const { return player_->playbackState() == QMediaPlayer::PlayingState; }

QRect TMediaWindow::DestRect() const
{
    if (dest_set_)
        return dest_;
    if (frame_size_.isEmpty())
        return rect();
    const QSize fitted = frame_size_.scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

void TMediaWindow::SetDestRect(const QRect& r)
{
    dest_ = r;
    dest_set_ = true;
    update();
}

void TMediaWindow::FrameArrived(const QVideoFrame& frame)
{
    if (!frame.isValid())
        return; // a stop or a seek between frames: the last picture stays
    ++frames_;
    // Only a window on screen converts its frames to pictures.
    // The first frame is always kept: a paused preview delivers no other.
    if (isVisible() || frame_.isNull()) {
        QImage image = frame.toImage();
        if (!image.isNull())
            frame_ = std::move(image);
        update();
    }
    if (frame.size() != frame_size_) {
        frame_size_ = frame.size();
        emit FrameSizeChanged(frame_size_);
    }
}

void TMediaWindow::Fail(const QString& message)
{
    error_ = message;
    emit ErrorOccurred(message);
}

void TMediaWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (frame_.isNull())
        return;
    p.fillRect(rect(), Qt::black);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(DestRect(), frame_);
}

// ---- the slider ----

TMediaSlider::TMediaSlider(QWidget* parent) : QWidget(parent) {}

void TMediaSlider::SetKnob(int x)
{
    if (x == knob_)
        return;
    knob_ = x;
    update();
}

void TMediaSlider::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int mid = height() / 2;
    p.setPen(QPen(QColor(0x0C, 0xBA, 0x0C), 2));
    p.drawLine(11, mid, width() - 10 - 22, mid);
    // The knob inverts what lies under it.
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QPen(Qt::white, 1));
    p.drawLine(knob_, mid - 8, knob_, mid + 8);
    p.drawLine(knob_ - 10, mid - 8, knob_ + 10, mid - 8);
    p.drawLine(knob_ - 10, mid + 8, knob_ + 10, mid + 8);
}

void TMediaSlider::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    dragging_ = true;
    if (pressed)
        pressed(e->position().toPoint().x());
}

void TMediaSlider::mouseMoveEvent(QMouseEvent* e)
{
    if (dragging_ && moved)
        moved(e->position().toPoint().x());
}

void TMediaSlider::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !dragging_)
        return;
    dragging_ = false;
    if (released)
        released(e->position().toPoint().x());
}

void PreferGStreamerBackend()
{
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
}

bool PreviewMedia(QWidget* host, const QString& path, QSize* source)
{
    *source = QSize();
    TMediaWindow* w = TMediaWindow::Create(host, path);
    w->setGeometry(host->rect());
    w->show();
    if (!w->ErrorString().isEmpty()) {
        delete w;
        return false;
    }
    // The caller places the host by the picture's size, so wait (bounded, without user
    // input) until the player knows whether there is a picture and, if so, its size.
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(w, &TMediaWindow::ErrorOccurred, &loop, &QEventLoop::quit);
    QObject::connect(w, &TMediaWindow::FrameSizeChanged, &loop, &QEventLoop::quit);
    QObject::connect(w, &TMediaWindow::Loaded, &loop, [&loop](bool has_video) {
        if (!has_video)
            loop.quit();
    });
    limit.start(kPreviewWaitMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!w->ErrorString().isEmpty()) {
        delete w;
        return false;
    }
    *source = w->SourceRect().size();
    return true;
}
