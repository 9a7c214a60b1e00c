// The main window's media panel: a media window for the document's audio or video file,
// Play, Pause and Stop (on the audio panel and on the video bar), "Repeated Play", the
// position and volume sliders, the caption line with its timer, the elapsed and total
// time and mute.
#include "viewer/Unit1.h"

#include "audio/Mp3info.h"
#include "core/Imageinfo.h"
#include "platform/Ini_file.h"
#include "viewer/logic/Window_rules.h"
#include "widgets/Media_window.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace {

constexpr int kPositionTimerMs = 1000;
constexpr int kSliderWidth = 249;
constexpr int kSliderHeight = 49;
constexpr int kVideoBarHeight = 41;
constexpr int kAudioPanelWidth = 393;
constexpr int kFrameSide = 16384;
// A video larger than this is shown scaled down, keeping its proportions.
constexpr int kLargestShownWidth = 1024;
constexpr int kLargestShownHeight = 768;
constexpr int kUnknownFrameWidth = 320;
constexpr int kUnknownFrameHeight = 240;
constexpr char kMediaSection[] = "Media";

QString Q(const std::string& s) { return QString::fromStdString(s); }

bool IsVideoCode(std::int32_t code) { return code == kFmtAvi || code == kFmtMpeg || code == kFmtWmv; }

QLabel* PlainLabel(QWidget* parent, const char* name)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText); // tag texts and file names are never markup
    return l;
}

// Places the panel again whenever the window lays itself out (menu bar and toolbar get
// their real heights only then, and the toolbar can be hidden).
class MEDIA_PANEL_PLACER : public QObject {
public:
    MEDIA_PANEL_PLACER(QObject* parent, std::function<void()> place) : QObject(parent), place_(std::move(place)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::LayoutRequest || e->type() == QEvent::Resize || e->type() == QEvent::Show)
            QTimer::singleShot(0, this, place_);
        return QObject::eventFilter(watched, e);
    }

private:
    std::function<void()> place_;
};

} // namespace

// The panel's widgets; they belong to the main window through their parents.
struct MEDIA_UI {
    QWidget* panel = nullptr;
    QWidget* host = nullptr;      // holds the media window; shown for a video
    QWidget* video_bar = nullptr; // Play, Pause, Stop and "Repeated Play" under a video
    QWidget* audio_buttons = nullptr;
    QLabel* name = nullptr;
    QLabel* caption = nullptr;
    QLabel* time = nullptr;
    TMediaSlider* position = nullptr;
    TMediaSlider* volume = nullptr;
    QCheckBox* repeat[2] = {};
    QCheckBox* mute = nullptr;
    QTimer* timer = nullptr;
    SLIDER_TRACK position_track;
    SLIDER_TRACK volume_track;
};

void TForm1::BuildMediaPanel()
{
    media_ui_ = std::make_shared<MEDIA_UI>();
    MEDIA_UI& ui = *media_ui_;
    ui.panel = new QWidget(this);
    ui.panel->setObjectName("MediaPanel");
    ui.panel->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(ui.panel);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);

    ui.host = new QWidget(ui.panel);
    ui.host->setObjectName("MediaHost");
    column->addWidget(ui.host, 0, Qt::AlignHCenter);

    // Play, Pause, Stop and "Repeated Play", once on the video bar and once on the audio panel.
    const auto button_row = [this, &ui](QWidget* parent, int set) {
        auto* row = new QHBoxLayout(parent);
        row->setContentsMargins(0, 0, 0, 0);
        const std::pair<const char*, void (TForm1::*)()> buttons[] = {
            {"Play", &TForm1::MediaPlayClick}, {"Pause", &TForm1::MediaPauseClick}, {"Stop", &TForm1::MediaStopClick}};
        for (const auto& [caption, handler] : buttons) {
            auto* b = new QPushButton(caption, parent);
            b->setObjectName(QString("Bttn_%1%2").arg(caption).arg(set));
            b->setFocusPolicy(Qt::NoFocus); // Space stays with the window: play and pause
            connect(b, &QPushButton::clicked, this, handler);
            row->addWidget(b);
        }
        ui.repeat[set] = new QCheckBox("Repeated Play", parent);
        ui.repeat[set]->setObjectName(QString("RepeatBox%1").arg(set));
        ui.repeat[set]->setFocusPolicy(Qt::NoFocus);
        connect(ui.repeat[set], &QCheckBox::toggled, this, [this](bool on) {
            repeat_play_ = on;
            for (QCheckBox* box : media_ui_->repeat)
                if (box != nullptr && box->isChecked() != on)
                    box->setChecked(on);
        });
        row->addWidget(ui.repeat[set]);
        row->addStretch();
    };
    ui.video_bar = new QWidget(ui.panel);
    ui.video_bar->setObjectName("VideoBar");
    ui.video_bar->setFixedHeight(kVideoBarHeight);
    button_row(ui.video_bar, 1);
    column->addWidget(ui.video_bar);

    ui.name = PlainLabel(ui.panel, "MediaName");
    QFont bold = ui.name->font();
    bold.setBold(true);
    ui.name->setFont(bold);
    column->addWidget(ui.name);
    ui.caption = PlainLabel(ui.panel, "MediaCaption");
    column->addWidget(ui.caption);

    auto* position_row = new QHBoxLayout;
    ui.position = new TMediaSlider(ui.panel);
    ui.position->setObjectName("PositionSlider");
    ui.position->setFixedSize(kSliderWidth, kSliderHeight);
    ui.position_track = SLIDER_TRACK::ForWidth(kSliderWidth);
    ui.position->SetKnob(ui.position_track.start);
    ui.position->pressed = [this](int x) { PositionDragged(x); };
    ui.position->moved = [this](int x) { PositionDragged(x); };
    ui.position->released = [this](int x) { PositionReleased(x); };
    position_row->addWidget(ui.position);
    ui.time = PlainLabel(ui.panel, "MediaTime");
    position_row->addWidget(ui.time);
    position_row->addStretch();
    column->addLayout(position_row);

    ui.audio_buttons = new QWidget(ui.panel);
    ui.audio_buttons->setObjectName("AudioButtons");
    button_row(ui.audio_buttons, 0);
    column->addWidget(ui.audio_buttons);

    auto* volume_row = new QHBoxLayout;
    ui.volume = new TMediaSlider(ui.panel);
    ui.volume->setObjectName("VolumeSlider");
    ui.volume->setFixedSize(kSliderWidth, kSliderHeight);
    ui.volume_track = SLIDER_TRACK::ForWidth(kSliderWidth);
    ui.volume->pressed = [this](int x) { VolumeDragged(x); };
    ui.volume->moved = [this](int x) { VolumeDragged(x); };
    ui.volume->released = [this](int x) { VolumeReleased(x); };
    volume_row->addWidget(new QLabel("Volume", ui.panel));
    volume_row->addWidget(ui.volume);
    ui.mute = new QCheckBox("Mute", ui.panel);
    ui.mute->setObjectName("MuteBox");
    ui.mute->setFocusPolicy(Qt::NoFocus);
    connect(ui.mute, &QCheckBox::toggled, this, [this](bool on) {
        if (media_window_ != nullptr)
            media_window_->SetMuted(on);
    });
    volume_row->addWidget(ui.mute);
    volume_row->addStretch();
    column->addLayout(volume_row);
    column->addStretch();

    ui.timer = new QTimer(this);
    ui.timer->setObjectName("MediaTimer");
    ui.timer->setInterval(kPositionTimerMs);
    connect(ui.timer, &QTimer::timeout, this, &TForm1::MediaTimerTick);
    ui.panel->hide();
    installEventFilter(new MEDIA_PANEL_PLACER(this, [this] { PlaceMediaPanel(); }));
}

// The panel sits where the picture view would be, right under the menu bar and toolbar.
// Returns its top.
int TForm1::PlaceMediaPanel()
{
    MEDIA_UI& ui = *media_ui_;
    int top = menuBar()->sizeHint().height() + (toolbar_visible_ ? toolbar_->sizeHint().height() : 0);
    if (isVisible()) {
        top = menuBar()->geometry().bottom() + 1;
        if (toolbar_->isVisible())
            top = std::max(top, toolbar_->geometry().bottom() + 1);
    }
    ui.panel->layout()->activate();
    const QSize panel = ui.panel->sizeHint().expandedTo(QSize(kAudioPanelWidth, 0));
    ui.panel->setGeometry(0, top, panel.width(), panel.height());
    return top;
}

void TForm1::StartMedia()
{
    if (!media_ui_)
        BuildMediaPanel();
    MEDIA_UI& ui = *media_ui_;
    if (media_window_ != nullptr)
        CloseMedia();
    media_.Opened();
    const std::string& path = doc_.current_path;
    track_ = TRACK_FACTS{};
    if (doc_.format_code == kFmtMp3)
        track_ = TrackFactsOf(CMP3INFO(path));

    media_window_ = new TMediaWindow(ui.host);
    connect(media_window_, &TMediaWindow::FrameSizeChanged, this, &TForm1::MediaFrameSize);
    connect(media_window_, &TMediaWindow::LengthChanged, this, &TForm1::MediaLengthKnown);
    connect(media_window_, &TMediaWindow::Finished, this, &TForm1::MediaEnded);
    connect(media_window_, &TMediaWindow::Loaded, this, [this](bool has_video) {
        if (!has_video && media_is_video_) // an .ASF file of sound only
            LayOutMediaPanel(false, QSize());
    });
    connect(media_window_, &TMediaWindow::ErrorOccurred, this, &TForm1::MediaError);
    const std::int32_t volume = IniFile(settings_path_).ReadInteger(kMediaSection, "Volume", 1000);
    media_window_->SetVolume(volume);
    ui.volume->SetKnob(VolumeKnob(ui.volume_track, media_window_->Volume()));
    media_window_->SetMuted(ui.mute->isChecked());
    for (QCheckBox* box : ui.repeat)
        box->setChecked(repeat_play_);

    ui.name->setText(Q(TextAsUtf8(FileNameOf(path))));
    ui.caption->clear();
    ui.position->SetKnob(ui.position_track.start);
    // An AVI file's main header gives the frame size at once when it is sound; otherwise
    // the first frame tells it.
    QSize frame;
    std::int32_t w = 0, h = 0;
    if (doc_.format_code == kFmtAvi && AviFrameSize(path, &w, &h))
        frame = QSize(w, h);
    LayOutMediaPanel(IsVideoCode(doc_.format_code), frame);
    ui.panel->show();
    ui.panel->raise();
    ShowMediaTime();

    if (media_window_->Open(Q(path)))
        MediaPlayClick();
}

void TForm1::ShowRepeatPlay()
{
    if (!media_ui_)
        return;
    media_.repeat = repeat_play_;
    for (QCheckBox* box : media_ui_->repeat)
        if (box != nullptr)
            box->setChecked(repeat_play_);
}

void TForm1::CloseMedia()
{
    if (!media_ui_)
        return;
    MEDIA_UI& ui = *media_ui_;
    ui.timer->stop();
    if (media_window_ != nullptr) {
        media_window_->disconnect(this);
        media_window_->Close();
        media_window_->hide();
        media_window_->setObjectName(QString());
        media_window_->deleteLater(); // a signal of its player may be on the stack
        media_window_ = nullptr;
    }
    media_.Opened();
    ui.position->SetKnob(ui.position_track.start);
    ui.caption->clear();
    ui.panel->hide();
}

void TForm1::LayOutMediaPanel(bool video, QSize frame)
{
    MEDIA_UI& ui = *media_ui_;
    media_is_video_ = video;
    QSize shown(0, 0);
    if (video) {
        if (frame.isEmpty() || frame.width() > kFrameSide || frame.height() > kFrameSide)
            frame = QSize(kUnknownFrameWidth, kUnknownFrameHeight);
        shown = frame.boundedTo(QSize(kLargestShownWidth, kLargestShownHeight));
        shown = frame.scaled(shown, Qt::KeepAspectRatio);
    }
    ui.host->setFixedSize(shown);
    ui.host->setVisible(video);
    if (media_window_ != nullptr)
        media_window_->setGeometry(QRect(QPoint(0, 0), shown));
    ui.video_bar->setVisible(video);
    ui.video_bar->setMinimumWidth(video ? shown.width() : 0);
    ui.audio_buttons->setVisible(!video);

    const int top = PlaceMediaPanel();
    if (!isMaximized() && !isFullScreen() && !sizing_.Kept()) // a window the user sized keeps its size
        ResizeWindow(ui.panel->width(), top + ui.panel->height() + statusBar()->sizeHint().height());
}

void TForm1::MediaFrameSize(QSize size)
{
    // The first frame of a video whose header told nothing, or a video in an audio file's
    // container (.ASF, .WMA): the video bar appears.
    if (media_ui_ && (!media_is_video_ || media_ui_->host->size() != size))
        LayOutMediaPanel(true, size);
}

void TForm1::MediaLengthKnown(qint64 ms)
{
    media_.SetLength(ms);
    ShowMediaTime();
}

void TForm1::MediaPlayClick()
{
    if (media_window_ == nullptr)
        return;
    media_.repeat = repeat_play_;
    const MEDIA_PANEL::PlayAction action = media_.Play(track_);
    if (media_.length == 0)
        media_.SetLength(media_window_->Length());
    if (action == MEDIA_PANEL::PlayAction::kPlayFromStart)
        media_window_->PlayFrom(0);
    else
        media_window_->Play();
    media_ui_->timer->start();
}

void TForm1::MediaStopClick()
{
    if (media_window_ == nullptr)
        return;
    media_ui_->timer->stop();
    media_.Stop();
    media_window_->Stop();
    media_ui_->position->SetKnob(media_ui_->position_track.start);
    ShowMediaTime();
}

void TForm1::MediaPauseClick()
{
    if (media_window_ == nullptr)
        return;
    media_ui_->timer->stop();
    media_.Pause();
    media_window_->Pause();
}

void TForm1::MediaTimerTick()
{
    if (media_window_ == nullptr)
        return;
    media_.repeat = repeat_play_;
    if (media_.length == 0)
        media_.SetLength(media_window_->Length());
    const MEDIA_PANEL::TICK t = media_.Tick(media_window_->Position());
    if (t.caption >= 0)
        media_ui_->caption->setText(Q(media_.captions[static_cast<std::size_t>(t.caption)]));
    if (t.restart)
        media_window_->PlayFrom(0);
    if (t.move_knob && !media_ui_->position->Dragging())
        MoveKnobTo(t.ratio);
    ShowMediaTime();
}

void TForm1::MediaEnded()
{
    media_.repeat = repeat_play_;
    if (media_.Ended()) {
        media_ui_->position->SetKnob(media_ui_->position_track.start);
        media_window_->PlayFrom(0);
        return;
    }
    media_ui_->timer->stop();
    MoveKnobTo(1.0);
    ShowMediaTime();
}

void TForm1::MediaError(const QString& message)
{
    // The player's own words stand in the caption line; the timer has nothing to follow.
    media_ui_->timer->stop();
    media_.Stop();
    media_ui_->caption->setText(message);
}

void TForm1::PositionDragged(int x)
{
    if (media_window_ == nullptr)
        return;
    media_ui_->position->SetKnob(media_ui_->position_track.Clamp(x));
}

void TForm1::PositionReleased(int x)
{
    if (media_window_ == nullptr)
        return;
    const SLIDER_TRACK& track = media_ui_->position_track;
    media_ui_->position->SetKnob(track.Clamp(x));
    std::int64_t target = 0;
    if (media_.DragEnded(track.RatioAt(x), &target) == MEDIA_PANEL::SeekAction::kPlayFrom) {
        media_window_->PlayFrom(target);
        media_ui_->timer->start();
    } else {
        media_window_->Seek(target);
    }
    ShowMediaTime();
}

void TForm1::VolumeDragged(int x)
{
    if (media_window_ == nullptr)
        return;
    media_ui_->volume->SetKnob(media_ui_->volume_track.Clamp(x));
}

void TForm1::VolumeReleased(int x)
{
    if (media_window_ == nullptr)
        return;
    const SLIDER_TRACK& track = media_ui_->volume_track;
    media_ui_->volume->SetKnob(track.Clamp(x));
    media_window_->SetVolume(VolumeAt(track, x));
    IniFile ini(settings_path_);
    if (ini.Exists())
        ini.WriteInteger(kMediaSection, "Volume", media_window_->Volume());
}

void TForm1::MoveKnobTo(double ratio) { media_ui_->position->SetKnob(media_ui_->position_track.KnobAt(ratio)); }

void TForm1::ShowMediaTime()
{
    const qint64 position = media_window_ != nullptr ? media_window_->Position() : 0;
    const qint64 length = std::max<qint64>(media_.length, 0);
    media_ui_->time->setText(Q(ClockText(std::min(position, length)) + " / " + ClockText(length)));
}

QWidget* TForm1::MediaPanelWidget() const { return media_ui_ ? media_ui_->panel : nullptr; }
QString TForm1::MediaCaption() const { return media_ui_ ? media_ui_->caption->text() : QString(); }
int TForm1::PositionKnob() const { return media_ui_ ? media_ui_->position->Knob() : 0; }
int TForm1::VolumeKnobX() const { return media_ui_ ? media_ui_->volume->Knob() : 0; }
