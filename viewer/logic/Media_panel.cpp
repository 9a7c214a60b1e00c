#include "viewer/logic/Media_panel.h"

#include "audio/Mp3info.h"
#include "base/File_io.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

std::string TrimmedUtf8(const std::string& bytes)
{
    std::string s = TextAsUtf8(bytes);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    return s;
}

// The first `n` characters of valid UTF-8 text.
std::string CutToChars(const std::string& s, std::size_t n)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (chars == n)
                return s.substr(0, i);
            ++chars;
        }
    }
    return s;
}

std::string Line(const char* label, const std::string& text)
{
    return text.empty() ? std::string() : CutToChars(label + text, kCaptionChars);
}

} // namespace

TRACK_FACTS TrackFactsOf(const CMP3INFO& mp3)
{
    TRACK_FACTS f;
    if (mp3.flags & CMP3INFO::kHasFrames) {
        f.seconds = mp3.length;
        f.bit_rate = mp3.bit_rate;
        f.sample_rate = mp3.sample_rate;
    }
    if (mp3.flags & CMP3INFO::kHasTag) {
        f.title = TrimmedUtf8(mp3.title);
        f.album = TrimmedUtf8(mp3.album);
        f.artist = TrimmedUtf8(mp3.artist);
    }
    return f;
}

std::string DurationCaption(std::int64_t seconds)
{
    char buf[64];
    if (seconds < 3600)
        std::snprintf(buf, sizeof buf, "%lld:%lld ", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    else
        std::snprintf(buf, sizeof buf, "%lld:%lld:%lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return buf;
}

std::string ClockText(std::int64_t ms)
{
    const long long s = std::max<std::int64_t>(ms, 0) / 1000;
    char buf[64];
    if (s < 3600)
        std::snprintf(buf, sizeof buf, "%lld:%02lld", s / 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return buf;
}

CAPTION_LINES ComposeCaptions(const TRACK_FACTS& facts)
{
    CAPTION_LINES lines;
    if (facts.seconds >= 0)
        lines[0] = DurationCaption(facts.seconds);
    lines[1] = Line("Title: ", facts.title);
    lines[2] = Line("Album: ", facts.album);
    lines[3] = Line("Artist: ", facts.artist);
    if (facts.bit_rate > 0)
        lines[4] = "Playing at: " + std::to_string(facts.bit_rate) + " K bit/sec";
    if (facts.sample_rate > 0)
        lines[5] = std::to_string(facts.sample_rate) + " Hz";
    return lines;
}

std::int32_t SLIDER_TRACK::Clamp(std::int32_t x) const { return std::clamp(x, start, std::max(start, LineEnd())); }

double SLIDER_TRACK::RatioAt(std::int32_t x) const
{
    const std::int32_t span = LineEnd() - start;
    return span <= 0 ? 0.0 : static_cast<double>(Clamp(x) - start) / span;
}

std::int32_t SLIDER_TRACK::KnobAt(double ratio) const
{
    const double r = std::isfinite(ratio) ? std::clamp(ratio, 0.0, 1.0) : 0.0;
    return Clamp(start + static_cast<std::int32_t>(std::lround(r * (LineEnd() - start))));
}

std::int32_t VolumeAt(const SLIDER_TRACK& t, std::int32_t x)
{
    return static_cast<std::int32_t>(std::lround(t.RatioAt(x) * 1000));
}

std::int32_t VolumeKnob(const SLIDER_TRACK& t, std::int32_t volume) { return t.KnobAt(volume / 1000.0); }

double PositionRatio(std::int64_t position, std::int64_t length)
{
    if (length <= 0)
        return 0;
    return std::clamp(static_cast<double>(position) / static_cast<double>(length), 0.0, 1.0);
}

void MEDIA_PANEL::Opened()
{
    playing = false;
    running = false;
    at_start = true;
    composed = false;
    length = 0;
    last_percent = 0;
    caption_index = 0;
    tick_count = 0;
    captions = {};
    duration_from_length_ = false;
}

MEDIA_PANEL::PlayAction MEDIA_PANEL::Play(const TRACK_FACTS& facts)
{
    running = true;
    playing = true;
    if (!composed) {
        captions = ComposeCaptions(facts);
        duration_from_length_ = facts.seconds < 0;
        composed = true;
        SetLength(length);
    }
    if (at_start) {
        at_start = false;
        last_percent = 0;
        return PlayAction::kPlayFromStart;
    }
    return PlayAction::kResume;
}

void MEDIA_PANEL::Stop()
{
    running = false;
    playing = false;
    at_start = true;
    last_percent = 0;
}

void MEDIA_PANEL::Pause() { running = false; }

void MEDIA_PANEL::SetLength(std::int64_t ms)
{
    length = ms;
    if (duration_from_length_ && ms > 0)
        captions[0] = DurationCaption(ms / 1000);
}

bool MEDIA_PANEL::Ended()
{
    last_percent = 0;
    if (repeat && running)
        return true;
    running = false;
    playing = false;
    at_start = true;
    return false;
}

MEDIA_PANEL::TICK MEDIA_PANEL::Tick(std::int64_t position)
{
    TICK t;
    if (length == 0)
        return t;
    const double ratio = PositionRatio(position, length);
    if (++tick_count >= kTicksPerCaption) {
        tick_count = 0;
        for (int k = 1; k <= kCaptionLines; ++k) {
            const int next = (caption_index + k) % kCaptionLines;
            if (!captions[static_cast<std::size_t>(next)].empty()) {
                caption_index = next;
                break;
            }
        }
    }
    if (!captions[static_cast<std::size_t>(caption_index)].empty())
        t.caption = caption_index;
    int percent = static_cast<int>(std::lround(ratio * 100));
    if (repeat && percent > 99) {
        t.restart = true;
        t.move_knob = true;
        t.ratio = 0;
        last_percent = 0;
        return t;
    }
    if (percent - last_percent < 1)
        return t;
    last_percent = percent;
    t.move_knob = true;
    t.ratio = ratio;
    return t;
}

MEDIA_PANEL::SeekAction MEDIA_PANEL::DragEnded(double ratio, std::int64_t* target_ms)
{
    const double r = std::isfinite(ratio) ? std::clamp(ratio, 0.0, 1.0) : 0.0;
    *target_ms = std::llround(static_cast<double>(length) * r);
    last_percent = 0;
    if (running)
        return SeekAction::kPlayFrom;
    at_start = false; // the next Play goes on from the chosen place
    return SeekAction::kSeek;
}

bool AviFrameSize(const std::string& path, std::int32_t* width, std::int32_t* height)
{
    FilePtr f = OpenForRead(path);
    if (!f)
        return false;
    unsigned char h[72];
    if (std::fread(h, 1, sizeof h, f.get()) != sizeof h)
        return false;
    if (std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 8, "AVI ", 4) != 0 || std::memcmp(h + 12, "LIST", 4) != 0 ||
        std::memcmp(h + 20, "hdrl", 4) != 0 || std::memcmp(h + 24, "avih", 4) != 0)
        return false;
    const auto le32 = [&h](int at) {
        return static_cast<std::uint32_t>(h[at]) | static_cast<std::uint32_t>(h[at + 1]) << 8 |
               static_cast<std::uint32_t>(h[at + 2]) << 16 | static_cast<std::uint32_t>(h[at + 3]) << 24;
    };
    const std::uint32_t w = le32(64), ht = le32(68);
    if (w < 1 || w > 16384 || ht < 1 || ht > 16384)
        return false;
    *width = static_cast<std::int32_t>(w);
    *height = static_cast<std::int32_t>(ht);
    return true;
}
