// The media panel's rules that need no widget: the caption lines and their cycle, the
// one mapping between a slider's knob and a ratio, the position timer's tick with the
// repeat rule, the play/stop/pause state, and the frame size an AVI file declares.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class CMP3INFO;

// What the caption lines are made of. Texts are UTF-8; an empty text or a zero rate
// leaves its line empty, and the cycle passes over empty lines.
struct TRACK_FACTS {
    std::int64_t seconds = -1; // playing time; below 0 while unknown
    std::string title, album, artist;
    std::int32_t bit_rate = 0;    // kbit/s
    std::int32_t sample_rate = 0; // Hz
};

// The facts of an MPEG audio file: its playing time when frames were found, its tag texts
// (UTF-8 when valid, else read as Latin-1, trailing blanks dropped) when it has a tag.
TRACK_FACTS TrackFactsOf(const CMP3INFO& mp3);

// "m:s " under an hour, "h:m:s" from an hour on, without padding: 185 s gives "3:5 ",
// 3700 s gives "1:1:40".
std::string DurationCaption(std::int64_t seconds);
// "m:ss" or "h:mm:ss" for the time labels beside the position slider.
std::string ClockText(std::int64_t ms);

constexpr int kCaptionLines = 6;
constexpr std::size_t kCaptionChars = 99; // each line is cut to 99 characters (not bytes)
using CAPTION_LINES = std::array<std::string, kCaptionLines>;
// 0 duration, 1 "Title: %s", 2 "Album: %s", 3 "Artist: %s", 4 "Playing at: %d K bit/sec",
// 5 "%d Hz".
CAPTION_LINES ComposeCaptions(const TRACK_FACTS& facts);

// A slider's knob track: from `start` to `line_end` (the drawn line). Knob x and ratio map
// both ways through the same line, clamped to it.
struct SLIDER_TRACK {
    static constexpr std::int32_t kStart = 11;
    std::int32_t start = kStart;
    std::int32_t end = 0; // the control's width − 10
    static SLIDER_TRACK ForWidth(std::int32_t control_width) { return {kStart, control_width - 10}; }
    std::int32_t LineEnd() const { return end - 2 * start; }
    // The knob x kept on the line.
    std::int32_t Clamp(std::int32_t x) const;
    // 0..1 for a knob x (clamped first).
    double RatioAt(std::int32_t x) const;
    // The knob x of a ratio (clamped to 0..1), rounded.
    std::int32_t KnobAt(double ratio) const;
};

// Volume 0..1000 from a knob x, and back.
std::int32_t VolumeAt(const SLIDER_TRACK& t, std::int32_t x);
std::int32_t VolumeKnob(const SLIDER_TRACK& t, std::int32_t volume);

// Position over length as a ratio in 0..1 (0 while the length is not known).
double PositionRatio(std::int64_t position, std::int64_t length);

// The panel's playing state, the caption cycle and the position timer's rules.
class MEDIA_PANEL {
public:
    static constexpr int kTicksPerCaption = 5;

    // A new file: nothing plays, the next Play starts at 0, the captions are to be composed.
    void Opened();

    enum class PlayAction { kNone, kPlayFromStart, kResume };
    // Play: the timer runs from now on. `facts` compose the captions the first time after
    // an open.
    PlayAction Play(const TRACK_FACTS& facts);
    // Stop: the next Play starts at 0, the knob goes to the start.
    void Stop();
    // Pause: playback halts, the playing flag stays (a later Play resumes).
    void Pause();
    // The length became known (ms). The duration line follows it when the track facts
    // had no playing time of their own.
    void SetLength(std::int64_t ms);
    // The end of the media was reached. True when it plays again from 0 (repeat).
    bool Ended();

    struct TICK {
        bool restart = false;   // play from 0 now
        bool move_knob = false; // the knob goes to `ratio`
        double ratio = 0;
        int caption = -1;       // the caption line to show, or -1 to leave the shown one
    };
    TICK Tick(std::int64_t position);

    enum class SeekAction { kPlayFrom, kSeek };
    // The end of a drag on the position slider at `ratio`: the target in ms, and whether it
    // plays from there (while running) or only seeks (stopped or paused).
    SeekAction DragEnded(double ratio, std::int64_t* target_ms);

    bool repeat = false;
    bool playing = false;  // set by Play, cleared by Stop and by an open
    bool running = false;  // playback runs now (the position timer runs with it)
    bool at_start = true;  // the next Play starts from 0
    bool composed = false; // the captions were composed since the open
    std::int64_t length = 0; // ms
    int last_percent = 0;
    int caption_index = 0;
    int tick_count = 0;
    CAPTION_LINES captions;

private:
    bool duration_from_length_ = false;
};

// The frame size in the main header of a RIFF/AVI file: true with both sides in
// 1..16384 when the file is a regular file that starts with RIFF....AVI LIST....hdrl avih.
bool AviFrameSize(const std::string& path, std::int32_t* width, std::int32_t* height);
