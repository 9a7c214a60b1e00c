// The media panel's rules without a player: captions, the slider mapping, the timer's tick
// with repeat, the play/seek decisions, and the AVI header's frame size.
#include "viewer/logic/Media_panel.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

TEST(MediaPanelRules, DurationCaption)
{
    const struct {
        std::int64_t seconds;
        const char* text;
    } cases[] = {
        {0, "0:0 "}, {59, "0:59 "}, {185, "3:5 "}, {3599, "59:59 "}, {3600, "1:0:0"}, {3700, "1:1:40"},
        {36000 + 61, "10:1:1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DurationCaption(c.seconds), c.text) << c.seconds;
    EXPECT_EQ(ClockText(185'400), "3:05");
    EXPECT_EQ(ClockText(3'700'000), "1:01:40");
    EXPECT_EQ(ClockText(-5), "0:00");
}

TEST(MediaPanelRules, CaptionLines)
{
    TRACK_FACTS f;
    f.seconds = 185;
    f.title = "<b>x</b>";
    f.artist = "Somebody";
    f.bit_rate = 128;
    f.sample_rate = 44100;
    const CAPTION_LINES lines = ComposeCaptions(f);
    const CAPTION_LINES want = {"3:5 ", "Title: <b>x</b>", "", "Artist: Somebody", "Playing at: 128 K bit/sec",
                                "44100 Hz"};
    EXPECT_EQ(lines, want);

    // Nothing known: every line empty (a WAV before its length arrives).
    EXPECT_EQ(ComposeCaptions(TRACK_FACTS{}), CAPTION_LINES{});

    // Cut to 99 characters, counted as characters: a 2-byte letter is never split.
    TRACK_FACTS longer;
    longer.album = std::string(200, 'a');
    EXPECT_EQ(ComposeCaptions(longer)[2], "Album: " + std::string(92, 'a'));
    std::string umlauts;
    for (int i = 0; i < 100; ++i)
        umlauts += "\xC3\xBC";
    longer.album = umlauts;
    EXPECT_EQ(ComposeCaptions(longer)[2], "Album: " + umlauts.substr(0, 2 * 92));
}

TEST(MediaPanelRules, SliderMapsOneWayBothWays)
{
    const SLIDER_TRACK t = SLIDER_TRACK::ForWidth(249); // 11 .. 239, line to 217
    EXPECT_EQ(t.LineEnd(), 217);
    for (int x = t.start; x <= t.LineEnd(); ++x)
        EXPECT_EQ(t.KnobAt(t.RatioAt(x)), x) << x;
    const struct {
        int x;
        double ratio;
    } cases[] = {{-50, 0.0}, {11, 0.0}, {114, 0.5}, {217, 1.0}, {239, 1.0}, {5000, 1.0}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(t.RatioAt(c.x), c.ratio) << c.x;
    EXPECT_EQ(t.KnobAt(1.7), 217); // positions reported past the end
    EXPECT_EQ(t.KnobAt(-0.1), 11);
    EXPECT_EQ(t.Clamp(400), 217);  // a drag past the right end stops at the line's end
    EXPECT_EQ(VolumeAt(t, 0), 0);
    EXPECT_EQ(VolumeAt(t, 248), 1000);
    EXPECT_EQ(VolumeAt(t, 114), 500);
    EXPECT_EQ(VolumeKnob(t, 1000), 217);
    EXPECT_DOUBLE_EQ(PositionRatio(5000, 4000), 1.0);
    EXPECT_DOUBLE_EQ(PositionRatio(100, 0), 0.0);
}

TEST(MediaPanelRules, TickMovesTheKnobByWholePercents)
{
    MEDIA_PANEL p;
    p.Opened();
    p.SetLength(10'000);
    EXPECT_EQ(p.Play(TRACK_FACTS{}), MEDIA_PANEL::PlayAction::kPlayFromStart);
    EXPECT_EQ(p.Play(TRACK_FACTS{}), MEDIA_PANEL::PlayAction::kResume);
    MEDIA_PANEL::TICK t = p.Tick(40); // 0 %: no move
    EXPECT_FALSE(t.move_knob);
    t = p.Tick(1'000);
    EXPECT_TRUE(t.move_knob);
    EXPECT_DOUBLE_EQ(t.ratio, 0.1);
    EXPECT_FALSE(p.Tick(1'040).move_knob); // still 10 %
    t = p.Tick(12'000);                    // past the end: clamped
    EXPECT_TRUE(t.move_knob);
    EXPECT_DOUBLE_EQ(t.ratio, 1.0);
    EXPECT_FALSE(t.restart);

    // Nothing happens while the length is 0 (an error, or not known yet).
    MEDIA_PANEL empty;
    empty.Opened();
    empty.Play(TRACK_FACTS{});
    const MEDIA_PANEL::TICK none = empty.Tick(500);
    EXPECT_FALSE(none.move_knob || none.restart || none.caption >= 0);
}

TEST(MediaPanelRules, RepeatRestartsPast99Percent)
{
    MEDIA_PANEL p;
    p.Opened();
    p.repeat = true;
    p.SetLength(100'000);
    p.Play(TRACK_FACTS{});
    EXPECT_FALSE(p.Tick(99'400).restart); // 99 %
    const MEDIA_PANEL::TICK t = p.Tick(99'600); // 100 %
    EXPECT_TRUE(t.restart);
    EXPECT_TRUE(t.move_knob);
    EXPECT_DOUBLE_EQ(t.ratio, 0.0);
    EXPECT_EQ(p.last_percent, 0);
    EXPECT_TRUE(p.Ended()); // the end itself plays again too
    p.repeat = false;
    EXPECT_FALSE(p.Ended());
    EXPECT_FALSE(p.running);
    EXPECT_TRUE(p.at_start);
    EXPECT_EQ(p.Play(TRACK_FACTS{}), MEDIA_PANEL::PlayAction::kPlayFromStart);
}

TEST(MediaPanelRules, CaptionCycle)
{
    TRACK_FACTS f;
    f.seconds = 3700;
    f.album = "Album";
    f.sample_rate = 22050;
    MEDIA_PANEL p;
    p.Opened();
    p.SetLength(3'700'000);
    p.Play(f);
    std::vector<int> shown;
    for (int i = 0; i < 20; ++i)
        shown.push_back(p.Tick(1000).caption);
    // Five ticks a line; the empty title, artist and rate lines are passed over.
    const std::vector<int> want = {0, 0, 0, 0, 2, 2, 2, 2, 2, 5, 5, 5, 5, 5, 0, 0, 0, 0, 0, 2};
    EXPECT_EQ(shown, want);
    EXPECT_EQ(p.captions[0], "1:1:40");

    // Without a playing time of its own the duration line follows the length.
    MEDIA_PANEL w;
    w.Opened();
    w.Play(TRACK_FACTS{});
    EXPECT_EQ(w.captions[0], "");
    w.SetLength(185'000);
    EXPECT_EQ(w.captions[0], "3:5 ");
    // A new open composes again.
    w.Opened();
    EXPECT_EQ(w.captions[0], "");
    EXPECT_FALSE(w.composed);
}

TEST(MediaPanelRules, DragPlaysOnOnlyWhileRunning)
{
    MEDIA_PANEL p;
    p.Opened();
    p.SetLength(8'000);
    p.Play(TRACK_FACTS{});
    p.last_percent = 40;
    std::int64_t target = -1;
    EXPECT_EQ(p.DragEnded(0.5, &target), MEDIA_PANEL::SeekAction::kPlayFrom);
    EXPECT_EQ(target, 4'000);
    EXPECT_EQ(p.last_percent, 0);
    p.Pause();
    EXPECT_TRUE(p.playing);
    EXPECT_EQ(p.DragEnded(1.5, &target), MEDIA_PANEL::SeekAction::kSeek);
    EXPECT_EQ(target, 8'000);
    p.Stop();
    EXPECT_EQ(p.DragEnded(0.25, &target), MEDIA_PANEL::SeekAction::kSeek);
    EXPECT_EQ(target, 2'000);
    // Play after a seek while stopped goes on from there.
    EXPECT_EQ(p.Play(TRACK_FACTS{}), MEDIA_PANEL::PlayAction::kResume);
}

TEST(MediaPanelRules, AviFrameSizeOnlyFromARealHeader)
{
    TempDir dir;
    const auto avi = [](std::uint32_t w, std::uint32_t h, const char* form) {
        std::vector<std::uint8_t> b(200, 0);
        std::memcpy(b.data(), "RIFF", 4);
        std::memcpy(b.data() + 8, form, 4);
        std::memcpy(b.data() + 12, "LIST", 4);
        std::memcpy(b.data() + 20, "hdrl", 4);
        std::memcpy(b.data() + 24, "avih", 4);
        for (int i = 0; i < 4; ++i) {
            b[static_cast<std::size_t>(64 + i)] = static_cast<std::uint8_t>(w >> (8 * i));
            b[static_cast<std::size_t>(68 + i)] = static_cast<std::uint8_t>(h >> (8 * i));
        }
        return b;
    };
    const std::vector<std::uint8_t> whole = avi(320, 240, "AVI ");
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool ok;
    } cases[] = {
        {"ok", whole, true},
        {"largest", avi(16384, 1, "AVI "), true},
        {"zero width", avi(0, 240, "AVI "), false},
        {"too wide", avi(16385, 240, "AVI "), false},
        {"negative height", avi(320, 0xFFFFFFF0u, "AVI "), false},
        {"WAVE form", avi(320, 240, "WAVE"), false},
        {"short", std::vector<std::uint8_t>(whole.begin(), whole.begin() + 70), false},
    };
    for (const auto& c : cases) {
        const std::string path = dir.File(std::string(c.name) + ".avi");
        WriteBytes(path, c.bytes);
        std::int32_t w = -1, h = -1;
        EXPECT_EQ(AviFrameSize(path, &w, &h), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(w, c.bytes[64] | c.bytes[65] << 8);
            EXPECT_EQ(h, c.bytes[68] | c.bytes[69] << 8);
        }
    }
    std::int32_t w = 0, h = 0;
    EXPECT_FALSE(AviFrameSize(dir.File("missing.avi"), &w, &h));
    ASSERT_EQ(mkfifo(dir.File("fifo.avi").c_str(), 0600), 0);
    EXPECT_FALSE(AviFrameSize(dir.File("fifo.avi"), &w, &h)); // refused at once, no wait for a writer
}
