// The rule of the main window's modal dialogs without a window: the first dialog pauses
// what runs of the registered work, nested dialogs change nothing, and the last one to
// close resumes exactly what was paused.
#include "viewer/logic/Modal_session.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

// A timer as the window's: running or not, with the pauses and resumes it saw.
struct FAKE_TIMER {
    bool running = false;
    int resumed = 0;

    void Register(MODAL_SESSION& session)
    {
        session.Register(
            [this] {
                const bool was = running;
                running = false;
                return was;
            },
            [this] {
                running = true;
                ++resumed;
            });
    }
};

} // namespace

TEST(ModalSession, PausesWhatRunsUntilTheLastDialogCloses)
{
    MODAL_SESSION session;
    FAKE_TIMER slide_show, clipboard_poll;
    slide_show.Register(session);
    clipboard_poll.Register(session);
    clipboard_poll.running = true; // the slide show is not started

    {
        const MODAL_SESSION::SCOPE dialog = session.Run();
        EXPECT_TRUE(session.Active());
        EXPECT_FALSE(clipboard_poll.running);
        {
            const MODAL_SESSION::SCOPE question = session.Run(); // a dialog from the dialog
            EXPECT_EQ(session.Depth(), 2u);
        }
        EXPECT_TRUE(session.Active());
        EXPECT_FALSE(clipboard_poll.running) << "still paused while the first dialog runs";
    }
    EXPECT_FALSE(session.Active());
    EXPECT_TRUE(clipboard_poll.running);
    EXPECT_EQ(clipboard_poll.resumed, 1);
    EXPECT_FALSE(slide_show.running) << "what was not running is not started";
    EXPECT_EQ(slide_show.resumed, 0);
}

TEST(ModalSession, WorkRegisteredDuringARunWaitsAtOnceAndAScopeMovesItsRun)
{
    MODAL_SESSION session;
    std::optional<MODAL_SESSION::SCOPE> blocked;
    blocked.emplace(session.Run()); // moved into place: one run, not two
    EXPECT_EQ(session.Depth(), 1u);
    FAKE_TIMER late;
    late.running = true;
    late.Register(session);
    EXPECT_FALSE(late.running);
    blocked.reset();
    EXPECT_FALSE(session.Active());
    EXPECT_TRUE(late.running);
}
