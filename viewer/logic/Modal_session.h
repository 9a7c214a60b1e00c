// The rule of the main window's modal dialogs: while one runs, the work that would change
// the document behind its back waits. The slide show, the clipboard poll and the hand-over
// of preloaded pictures register here; the first dialog to open pauses what is running
// of them, and when the last one has closed exactly that is resumed. A dialog run holds a
// SCOPE for its whole exec(), so a dialog opened from a dialog nests.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

class MODAL_SESSION {
public:
    // Stops the work and tells whether it was running (only that is resumed).
    using Pause = std::function<bool()>;
    using Resume = std::function<void()>;

    // A work that waits while a dialog runs. Registered during a run, it is paused at once.
    void Register(Pause pause, Resume resume);

    // One dialog's run: from construction to destruction the registered work waits.
    class SCOPE {
    public:
        explicit SCOPE(MODAL_SESSION& session) : session_(&session) { session_->Enter(); }
        ~SCOPE()
        {
            if (session_ != nullptr)
                session_->Leave();
        }
        SCOPE(SCOPE&& other) noexcept : session_(other.session_) { other.session_ = nullptr; }
        SCOPE(const SCOPE&) = delete;
        SCOPE& operator=(const SCOPE&) = delete;
        SCOPE& operator=(SCOPE&&) = delete;

    private:
        MODAL_SESSION* session_;
    };
    [[nodiscard]] SCOPE Run() { return SCOPE(*this); }

    // True while a dialog runs.
    bool Active() const { return depth_ > 0; }
    std::size_t Depth() const { return depth_; }

private:
    void Enter();
    void Leave();

    struct WORK {
        Pause pause;
        Resume resume;
        bool paused = false; // paused by this session and to be resumed
    };
    std::vector<WORK> works_;
    std::size_t depth_ = 0;
};
