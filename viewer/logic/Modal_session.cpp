#include "viewer/logic/Modal_session.h"

#include <utility>

void MODAL_SESSION::Register(Pause pause, Resume resume)
{
    works_.push_back({std::move(pause), std::move(resume), false});
    if (depth_ > 0)
        works_.back().paused = works_.back().pause();
}

void MODAL_SESSION::Enter()
{
    if (depth_++ > 0)
        return;
    for (WORK& w : works_)
        w.paused = w.pause();
}

void MODAL_SESSION::Leave()
{
    if (depth_ == 0 || --depth_ > 0)
        return;
    for (WORK& w : works_)
        if (std::exchange(w.paused, false))
            w.resume();
}
