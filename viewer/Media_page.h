// The main window's media page: a media window for an audio or video file, Play, Pause and
// Stop (on the audio panel and on the video bar), "Repeated Play", the position and volume
// sliders, the caption line with its timer, the elapsed and total time and mute. It owns
// the player and its captions; the window shows it in place of the picture view.
#pragma once

#include "viewer/logic/Media_panel.h"

#include <QSize>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <string>

class QCheckBox;
class QLabel;
class QTimer;
class TMediaSlider;
class TMediaWindow;

class TMediaPage : public QWidget {
    Q_OBJECT
public:
    // The remembered volume is read from and written to the settings file at settings_path.
    TMediaPage(std::string settings_path, QWidget* parent);

    // Plays the file (format_code tells a video from sound) in place of the one open.
    void Start(const std::string& path, std::int32_t format_code);
    // Closes the media window; the page is left empty.
    void Close();
    void Play();
    void Stop();
    void Pause();
    // The position timer's tick.
    void TimerTick();
    // The "Repeated Play" boxes follow the flag.
    void SetRepeat(bool on);
    bool Repeat() const { return repeat_; }

    // The player, or null while no file is open.
    TMediaWindow* Player() const { return player_; }
    const MEDIA_PANEL& Rules() const { return rules_; }
    QString Caption() const;
    int PositionKnob() const;
    int VolumeKnob() const;

signals:
    // A "Repeated Play" box was ticked or cleared.
    void RepeatChanged(bool on);
    // The page's controls were laid out again for a file (video frame, sound): the size
    // the page asks for.
    void LaidOut(QSize size);

private:
    void AddButtonRow(QWidget* parent, int set);
    void LayOut(bool video, QSize frame);
    void FrameSize(QSize size);
    void LengthKnown(qint64 ms);
    void Ended();
    void Failed(const QString& message);
    void PositionDragged(int x);
    void PositionReleased(int x);
    void VolumeDragged(int x);
    void VolumeReleased(int x);
    void MoveKnobTo(double ratio);
    void ShowTime();

    std::string settings_path_;
    MEDIA_PANEL rules_;
    TRACK_FACTS track_;
    TMediaWindow* player_ = nullptr;
    bool is_video_ = false;
    bool repeat_ = false;
    QWidget* host_ = nullptr;      // holds the media window; shown for a video
    QWidget* video_bar_ = nullptr; // Play, Pause, Stop and "Repeated Play" under a video
    QWidget* audio_buttons_ = nullptr;
    QLabel* name_ = nullptr;
    QLabel* caption_ = nullptr;
    QLabel* time_ = nullptr;
    TMediaSlider* position_ = nullptr;
    TMediaSlider* volume_ = nullptr;
    QCheckBox* repeat_boxes_[2] = {};
    QCheckBox* mute_ = nullptr;
    QTimer* timer_ = nullptr;
    SLIDER_TRACK position_track_;
    SLIDER_TRACK volume_track_;
};
