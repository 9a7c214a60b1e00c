// The effect dialogs' session without a window: the value stays in range, the preview is
// the operation at the value, the picture is never touched, and a result leaves only
// through TakeResult.
#include "dialogs/tests/Test_effect.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

// The inner pixel (1, 1) byte 0 of a bitmap: inside the frame solarize leaves alone.
std::uint8_t Inner(const Dib& d) { return d.ScanLine(1)[3]; }

} // namespace

TEST(EffectSession, ValueIsClampedAndThePreviewFollowsIt)
{
    Dib picture;
    FillTestPicture(picture);
    const std::uint8_t original = Inner(picture); // 300 mod 256 = 44
    TEST_SOLARIZE_RULES rules;
    EFFECT_SESSION session(rules, picture);
    EXPECT_EQ(session.Value(), 128);
    EXPECT_EQ(session.ValueText(), "Threshold 128");
    EXPECT_EQ(rules.applied, 1);

    const struct {
        std::int32_t set, want;
        int applied; // total calls of the operation so far
    } steps[] = {{40, 40, 2}, {40, 40, 2}, {-5, 0, 3}, {999, 255, 4}, {300, 255, 4}, {30, 30, 5}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.set);
        EXPECT_EQ(session.SetValue(s.set), kOk);
        EXPECT_EQ(session.Value(), s.want);
        EXPECT_EQ(rules.applied, s.applied) << "recomputed only when the value changes";
        EXPECT_EQ(Inner(session.Preview()), Solarized(original, s.want));
    }
    EXPECT_EQ(Inner(picture), original);

    Dib out;
    ASSERT_EQ(session.TakeResult(out), kOk);
    ASSERT_EQ(out.Width(), 4);
    ASSERT_EQ(out.Height(), 3);
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(std::memcmp(out.ScanLine(y), session.Preview().ScanLine(y), 12), 0);
}

TEST(EffectSession, AFailedPreviewGivesNoResult)
{
    Dib picture;
    FillTestPicture(picture);
    TEST_SOLARIZE_RULES rules;
    rules.fail_above = 200;
    EFFECT_SESSION session(rules, picture);
    EXPECT_EQ(session.SetValue(250), kMemoryError);
    EXPECT_TRUE(session.Preview().Empty());
    Dib out;
    FillTestPicture(out);
    EXPECT_EQ(session.TakeResult(out), kMemoryError);
    EXPECT_EQ(Inner(out), Inner(picture)) << "out is left as it was";
    EXPECT_EQ(session.SetValue(100), kOk); // back in range, the preview returns
    EXPECT_FALSE(session.Preview().Empty());
}

// The picture given to a session may be freed while the session runs (a slide show's tick
// adopting a preloaded picture behind an open dialog): moving the value and taking the
// result work on the session's own copy. The sanitizer build reads freed memory here if
// the session keeps a reference.
TEST(EffectSession, ThePictureGivenMayBeFreedWhileItRuns)
{
    auto picture = std::make_unique<Dib>();
    FillTestPicture(*picture);
    const std::uint8_t original = Inner(*picture);
    TEST_SOLARIZE_RULES rules;
    EFFECT_SESSION session(rules, *picture);
    picture.reset();
    auto other = std::make_unique<Dib>(); // likely to take the freed memory's place
    ASSERT_EQ(other->SetSize(4, 3, 24), kOk);
    std::memset(other->Bits(), 0xEE, other->Stride() * 3);

    ASSERT_EQ(session.SetValue(30), kOk);
    Dib out;
    ASSERT_EQ(session.TakeResult(out), kOk);
    EXPECT_EQ(Inner(out), Solarized(original, 30));
}
