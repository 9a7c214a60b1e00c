#include "viewer/Media_page.h"

#include "audio/Mp3info.h"
#include "core/Imageinfo.h"
#include "platform/Ini_file.h"
#include "viewer/logic/Window_rules.h"
#include "widgets/Media_window.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

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

bool IsVideoCode(std::int32_t code) { return code == kFmtAvi || code == kFmtMpeg || code == kFmtWmv; }

QLabel* PlainLabel(QWidget* parent, const char* name)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText); // tag texts and file names are never markup
    return l;
}

} // namespace

TMediaPage::TMediaPage(std::string settings_path, QWidget* parent)
    : QWidget(parent), settings_path_(std::move(settings_path))
{
    setObjectName("MediaPanel");
    setAutoFillBackground(true);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);

    host_ = new QWidget(this);
    host_->setObjectName("MediaHost");
    column->addWidget(host_, 0, Qt::AlignHCenter);

    video_bar_ = new QWidget(this);
    video_bar_->setObjectName("VideoBar");
    video_bar_->setFixedHeight(kVideoBarHeight);
    AddButtonRow(video_bar_, 1);
    column->addWidget(video_bar_);

    name_ = PlainLabel(this, "MediaName");
    QFont bold = name_->font();
    bold.setBold(true);
    name_->setFont(bold);
    column->addWidget(name_);
    caption_ = PlainLabel(this, "MediaCaption");
    column->addWidget(caption_);

    auto* position_row = new QHBoxLayout;
    position_ = new TMediaSlider(this);
    position_->setObjectName("PositionSlider");
    position_->setFixedSize(kSliderWidth, kSliderHeight);
    position_track_ = SLIDER_TRACK::ForWidth(kSliderWidth);
    position_->SetKnob(position_track_.start);
    position_->pressed = [this](int x) { PositionDragged(x); };
    position_->moved = [this](int x) { PositionDragged(x); };
    position_->released = [this](int x) { PositionReleased(x); };
    position_row->addWidget(position_);
    time_ = PlainLabel(this, "MediaTime");
    position_row->addWidget(time_);
    position_row->addStretch();
    column->addLayout(position_row);

    audio_buttons_ = new QWidget(this);
    audio_buttons_->setObjectName("AudioButtons");
    AddButtonRow(audio_buttons_, 0);
    column->addWidget(audio_buttons_);

    auto* volume_row = new QHBoxLayout;
    volume_ = new TMediaSlider(this);
    volume_->setObjectName("VolumeSlider");
    volume_->setFixedSize(kSliderWidth, kSliderHeight);
    volume_track_ = SLIDER_TRACK::ForWidth(kSliderWidth);
    volume_->pressed = [this](int x) { VolumeDragged(x); };
    volume_->moved = [this](int x) { VolumeDragged(x); };
    volume_->released = [this](int x) { VolumeReleased(x); };
    volume_row->addWidget(new QLabel("Volume", this));
    volume_row->addWidget(volume_);
    mute_ = new QCheckBox("Mute", this);
    mute_->setObjectName("MuteBox");
    mute_->setFocusPolicy(Qt::NoFocus);
    connect(mute_, &QCheckBox::toggled, this, [this](bool on) {
        if (player_ != nullptr)
            player_->SetMuted(on);
    });
    volume_row->addWidget(mute_);
    volume_row->addStretch();
    column->addLayout(volume_row);
    column->addStretch();

    timer_ = new QTimer(this);
    timer_->setObjectName("MediaTimer");
    timer_->setInterval(kPositionTimerMs);
    connect(timer_, &QTimer::timeout, this, &TMediaPage::TimerTick);
}

// Play, Pause, Stop and "Repeated Play", once on the video bar (set 1) and once on the
// audio panel (set 0).
void TMediaPage::AddButtonRow(QWidget* parent, int set)
{
    auto* row = new QHBoxLayout(parent);
    row->setContentsMargins(0, 0, 0, 0);
    const std::pair<const char*, void (TMediaPage::*)()> buttons[] = {
        {"Play", &TMediaPage::Play}, {"Pause", &TMediaPage::Pause}, {"Stop", &TMediaPage::Stop}};
    for (const auto& [caption, handler] : buttons) {
        auto* b = new QPushButton(caption, parent);
        b->setObjectName(QString("Bttn_%1%2").arg(caption).arg(set));
        b->setFocusPolicy(Qt::NoFocus); // Space stays with the window: play and pause
        connect(b, &QPushButton::clicked, this, handler);
        row->addWidget(b);
    }
    QCheckBox* box = new QCheckBox("Repeated Play", parent);
    repeat_boxes_[set] = box;
    box->setObjectName(QString("RepeatBox%1").arg(set));
    box->setFocusPolicy(Qt::NoFocus);
    connect(box, &QCheckBox::toggled, this, [this](bool on) {
        const bool changed = repeat_ != on;
        SetRepeat(on);
        if (changed)
            emit RepeatChanged(on);
    });
    row->addWidget(box);
    row->addStretch();
}

void TMediaPage::SetRepeat(bool on)
{
    repeat_ = on;
    rules_.repeat = on;
    for (QCheckBox* box : repeat_boxes_)
        if (box != nullptr && box->isChecked() != on)
            box->setChecked(on);
}

void TMediaPage::Start(const std::string& path, std::int32_t format_code)
{
    if (player_ != nullptr)
        Close();
    rules_.Opened();
    track_ = TRACK_FACTS{};
    if (format_code == kFmtMp3)
        track_ = TrackFactsOf(CMP3INFO(path));

    player_ = new TMediaWindow(host_);
    connect(player_, &TMediaWindow::FrameSizeChanged, this, &TMediaPage::FrameSize);
    connect(player_, &TMediaWindow::LengthChanged, this, &TMediaPage::LengthKnown);
    connect(player_, &TMediaWindow::Finished, this, &TMediaPage::Ended);
    connect(player_, &TMediaWindow::Loaded, this, [this](bool has_video) {
        if (!has_video && is_video_) // an .ASF file of sound only
            LayOut(false, QSize());
    });
    connect(player_, &TMediaWindow::ErrorOccurred, this, &TMediaPage::Failed);
    const std::int32_t volume = IniFile(settings_path_).ReadInteger(kMediaSection, "Volume", 1000);
    player_->SetVolume(volume);
    volume_->SetKnob(::VolumeKnob(volume_track_, player_->Volume()));
    player_->SetMuted(mute_->isChecked());
    SetRepeat(repeat_);

    name_->setText(QString::fromStdString(TextAsUtf8(FileNameOf(path))));
    caption_->clear();
    position_->SetKnob(position_track_.start);
    // An AVI file's main header gives the frame size at once when it is sound; otherwise
    // the first frame tells it.
    QSize frame;
    std::int32_t w = 0, h = 0;
    if (format_code == kFmtAvi && AviFrameSize(path, &w, &h))
        frame = QSize(w, h);
    LayOut(IsVideoCode(format_code), frame);
    ShowTime();

    if (player_->Open(QString::fromStdString(path)))
        Play();
}

void TMediaPage::Close()
{
    timer_->stop();
    if (player_ != nullptr) {
        player_->disconnect(this);
        player_->Close();
        player_->hide();
        player_->setObjectName(QString());
        player_->deleteLater(); // a signal of its player may be on the stack
        player_ = nullptr;
    }
    rules_.Opened();
    position_->SetKnob(position_track_.start);
    caption_->clear();
}

void TMediaPage::LayOut(bool video, QSize frame)
{
    is_video_ = video;
    QSize shown(0, 0);
    if (video) {
        if (frame.isEmpty() || frame.width() > kFrameSide || frame.height() > kFrameSide)
            frame = QSize(kUnknownFrameWidth, kUnknownFrameHeight);
        shown = frame.boundedTo(QSize(kLargestShownWidth, kLargestShownHeight));
        shown = frame.scaled(shown, Qt::KeepAspectRatio);
    }
    host_->setFixedSize(shown);
    host_->setVisible(video);
    if (player_ != nullptr)
        player_->setGeometry(QRect(QPoint(0, 0), shown));
    video_bar_->setVisible(video);
    video_bar_->setMinimumWidth(video ? shown.width() : 0);
    audio_buttons_->setVisible(!video);
    layout()->activate();
    emit LaidOut(sizeHint().expandedTo(QSize(kAudioPanelWidth, 0)));
}

void TMediaPage::FrameSize(QSize size)
{
    // The first frame of a video whose header told nothing, or a video in an audio file's
    // container (.ASF, .WMA): the video bar appears.
    if (!is_video_ || host_->size() != size)
        LayOut(true, size);
}

void TMediaPage::LengthKnown(qint64 ms)
{
    rules_.SetLength(ms);
    ShowTime();
}

void TMediaPage::Play()
{
    if (player_ == nullptr)
        return;
    rules_.repeat = repeat_;
    const MEDIA_PANEL::PlayAction action = rules_.Play(track_);
    if (rules_.length == 0)
        rules_.SetLength(player_->Length());
    if (action == MEDIA_PANEL::PlayAction::kPlayFromStart)
        player_->PlayFrom(0);
    else
        player_->Play();
    timer_->start();
}

void TMediaPage::Stop()
{
    if (player_ == nullptr)
        return;
    timer_->stop();
    rules_.Stop();
    player_->Stop();
    position_->SetKnob(position_track_.start);
    ShowTime();
}

void TMediaPage::Pause()
{
    if (player_ == nullptr)
        return;
    timer_->stop();
    rules_.Pause();
    player_->Pause();
}

void TMediaPage::TimerTick()
{
    if (player_ == nullptr)
        return;
    rules_.repeat = repeat_;
    if (rules_.length == 0)
        rules_.SetLength(player_->Length());
    const MEDIA_PANEL::TICK t = rules_.Tick(player_->Position());
    if (t.caption >= 0)
        caption_->setText(QString::fromStdString(rules_.captions[static_cast<std::size_t>(t.caption)]));
    if (t.restart)
        player_->PlayFrom(0);
    if (t.move_knob && !position_->Dragging())
        MoveKnobTo(t.ratio);
    ShowTime();
}

void TMediaPage::Ended()
{
    rules_.repeat = repeat_;
    if (rules_.Ended()) {
        position_->SetKnob(position_track_.start);
        player_->PlayFrom(0);
        return;
    }
    timer_->stop();
    MoveKnobTo(1.0);
    ShowTime();
}

void TMediaPage::Failed(const QString& message)
{
    // The player's own words stand in the caption line; the timer has nothing to follow.
    timer_->stop();
    rules_.Stop();
    caption_->setText(message);
}

void TMediaPage::PositionDragged(int x)
{
    if (player_ == nullptr)
        return;
    position_->SetKnob(position_track_.Clamp(x));
}

void TMediaPage::PositionReleased(int x)
{
    if (player_ == nullptr)
        return;
    position_->SetKnob(position_track_.Clamp(x));
    std::int64_t target = 0;
    if (rules_.DragEnded(position_track_.RatioAt(x), &target) == MEDIA_PANEL::SeekAction::kPlayFrom) {
        player_->PlayFrom(target);
        timer_->start();
    } else {
        player_->Seek(target);
    }
    ShowTime();
}

void TMediaPage::VolumeDragged(int x)
{
    if (player_ == nullptr)
        return;
    volume_->SetKnob(volume_track_.Clamp(x));
}

void TMediaPage::VolumeReleased(int x)
{
    if (player_ == nullptr)
        return;
    volume_->SetKnob(volume_track_.Clamp(x));
    player_->SetVolume(VolumeAt(volume_track_, x));
    IniFile ini(settings_path_);
    if (ini.Exists())
        ini.WriteInteger(kMediaSection, "Volume", player_->Volume());
}

void TMediaPage::MoveKnobTo(double ratio) { position_->SetKnob(position_track_.KnobAt(ratio)); }

void TMediaPage::ShowTime()
{
    const qint64 position = player_ != nullptr ? player_->Position() : 0;
    const qint64 length = std::max<qint64>(rules_.length, 0);
    time_->setText(QString::fromStdString(ClockText(std::min(position, length)) + " / " + ClockText(length)));
}

QString TMediaPage::Caption() const { return caption_->text(); }
int TMediaPage::PositionKnob() const { return position_->Knob(); }
int TMediaPage::VolumeKnob() const { return volume_->Knob(); }
