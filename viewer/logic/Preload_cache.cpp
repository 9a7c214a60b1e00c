#include "viewer/logic/Preload_cache.h"

#include "base/Result_codes.h"
#include "widgets/logic/View_zoom.h"

#include <sys/stat.h>

#include <algorithm>
#include <utility>

FILE_STAMP StampOf(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return {static_cast<std::int64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::size_t DocumentBytes(const TIMAGE_INFO& doc)
{
    std::size_t n = 0;
    if (doc.display)
        n += doc.display->Stride() * static_cast<std::size_t>(doc.display->Height());
    if (const CODEC_CTX* c = doc.context.get()) {
        for (const PixelBuffer* b : {&c->work, &c->decoded, &c->quad, &c->unpack, &c->raw_rows, &c->row, &c->index,
                                     &c->quad_row, &c->file, &c->expanded, &c->planar, &c->save_rows})
            n += b->capacity();
        if (c->decoder_bitmap)
            n += c->decoder_bitmap->Stride() * static_cast<std::size_t>(c->decoder_bitmap->Height());
    }
    return n;
}

PRELOAD_CACHE::PRELOAD_CACHE(std::size_t budget, Opener open) : budget_(budget), open_(std::move(open))
{
    if (!open_)
        open_ = [](TIMAGE_INFO& doc, const std::string& path) { return doc.Open(path); };
}

PRELOAD_CACHE::~PRELOAD_CACHE()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

PRELOAD_CACHE::ENTRY* PRELOAD_CACHE::Find(const std::string& path)
{
    for (ENTRY& e : entries_)
        if (e.path == path)
            return &e;
    return nullptr;
}

void PRELOAD_CACHE::Want(std::vector<std::string> paths, FIT_ROOM room)
{
    paths.erase(std::remove(paths.begin(), paths.end(), std::string()), paths.end());
    for (std::size_t i = 0; i < paths.size(); ++i)
        paths.erase(std::remove(paths.begin() + static_cast<std::ptrdiff_t>(i) + 1, paths.end(), paths[i]), paths.end());
    if (paths.size() > kMaxEntries)
        paths.resize(kMaxEntries);
    std::vector<std::unique_ptr<TIMAGE_INFO>> dropped; // freed outside the lock
    {
        std::lock_guard lock(mutex_);
        if (room != room_) { // the fitted copies are of another size: decoded again
            for (ENTRY& e : entries_)
                if (e.doc)
                    dropped.push_back(std::move(e.doc));
            entries_.clear();
            room_ = room;
        }
        std::vector<ENTRY> kept;
        for (const std::string& p : paths) {
            ENTRY* e = Find(p);
            if (e != nullptr) {
                kept.push_back(std::move(*e));
                e->path.clear(); // moved: not found again
            } else {
                kept.push_back(ENTRY{p, State::kQueued, nullptr, {}, 0, {}});
            }
        }
        for (ENTRY& e : entries_)
            if (e.doc)
                dropped.push_back(std::move(e.doc));
        entries_ = std::move(kept);
        if (!worker_.joinable())
            worker_ = std::thread([this] { Run(); });
    }
    wake_.notify_all();
}

void PRELOAD_CACHE::Dispose(std::unique_ptr<TIMAGE_INFO> doc)
{
    if (!doc)
        return;
    {
        std::lock_guard lock(mutex_);
        if (!worker_.joinable())
            return; // no worker: freed here, on leaving
        trash_.push_back(std::move(doc));
    }
    wake_.notify_all();
}

void PRELOAD_CACHE::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        ENTRY* job = nullptr;
        wake_.wait(lock, [&] {
            if (stop_ || !trash_.empty())
                return true;
            for (ENTRY& e : entries_)
                if (e.state == State::kQueued) {
                    job = &e;
                    return true;
                }
            return false;
        });
        if (stop_)
            return;
        if (!trash_.empty()) {
            std::vector<std::unique_ptr<TIMAGE_INFO>> trash = std::move(trash_);
            trash_.clear();
            lock.unlock();
            trash.clear();
            lock.lock();
            continue;
        }
        job->state = State::kDecoding;
        const std::string path = job->path;
        const FIT_ROOM room = room_;
        std::size_t held = 0;
        for (const ENTRY& e : entries_)
            if (e.state == State::kReady)
                held += e.bytes;
        lock.unlock();

        // Everything from here to the lock is the worker's own: the document, the stamp.
        auto doc = std::make_unique<TIMAGE_INFO>();
        // The stamp is read before the file: a change while it is read shows as a change.
        const FILE_STAMP stamp = StampOf(path);
        std::int32_t rc = kOpenFileError;
        std::size_t bytes = 0;
        // A file bigger than the room left cannot decode into less.
        if (stamp.size >= 0 && static_cast<std::uint64_t>(stamp.size) <= budget_ - std::min(held, budget_)) {
            try {
                rc = open_(*doc, path);
            } catch (...) {
                rc = kUnknownError;
            }
            bytes = DocumentBytes(*doc);
        }
        const bool good = rc == kOk && doc->state == kPictureOpen && doc->display && !doc->display->Empty();
        FITTED_COPY fitted;
        if (good && room.width > 0 && room.height > 0) {
            const Dib& pic = *doc->display;
            fitted.factor = FitFactor(pic.Width(), pic.Height(), room.width, room.height);
            const VIEW_MAP m = VIEW_MAP::Make(pic.Width(), pic.Height(), fitted.factor, 0, 0);
            if (!m.Natural()) {
                fitted.picture = std::make_unique<Dib>();
                if (ScaleDownArea(pic, m.shown_w, m.shown_h, *fitted.picture) == kOk)
                    bytes += fitted.picture->Stride() * static_cast<std::size_t>(fitted.picture->Height());
                else
                    fitted.picture.reset();
            }
        }

        lock.lock();
        // The entry may have been dropped or replaced meanwhile: find it again by path.
        ENTRY* e = Find(path);
        if (e != nullptr && e->state == State::kDecoding) {
            held = 0;
            for (const ENTRY& r : entries_)
                if (r.state == State::kReady)
                    held += r.bytes;
            if (good && held + bytes <= budget_) {
                e->doc = std::move(doc);
                e->stamp = stamp;
                e->bytes = bytes;
                e->fitted = std::move(fitted);
                e->state = State::kReady;
            } else {
                e->state = State::kFailed;
            }
        }
        done_.notify_all();
        if (doc) { // not published: freed without the lock
            lock.unlock();
            doc.reset();
            lock.lock();
        }
    }
}

std::unique_ptr<TIMAGE_INFO> PRELOAD_CACHE::Take(const std::string& path, FITTED_COPY* fitted)
{
    std::unique_ptr<TIMAGE_INFO> doc;
    FITTED_COPY copy;
    FILE_STAMP stamp;
    {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [&] {
            const ENTRY* e = Find(path);
            return e == nullptr || e->state != State::kDecoding;
        });
        ENTRY* e = Find(path);
        if (e == nullptr)
            return nullptr;
        if (e->state == State::kReady) {
            doc = std::move(e->doc);
            copy = std::move(e->fitted);
            stamp = e->stamp;
        }
        // Taken, failed or queued: the caller opens it now, so the entry goes.
        entries_.erase(entries_.begin() + (e - entries_.data()));
    }
    if (doc && StampOf(path) != stamp)
        doc.reset(); // the file changed since it was read
    if (doc && fitted != nullptr)
        *fitted = std::move(copy);
    return doc;
}

void PRELOAD_CACHE::WaitIdle()
{
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] {
        return std::none_of(entries_.begin(), entries_.end(),
                            [](const ENTRY& e) { return e.state == State::kQueued || e.state == State::kDecoding; });
    });
}

std::size_t PRELOAD_CACHE::BytesHeld() const
{
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const ENTRY& e : entries_)
        if (e.state == State::kReady)
            n += e.bytes;
    return n;
}

std::size_t PRELOAD_CACHE::ReadyCount() const
{
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(), [](const ENTRY& e) { return e.state == State::kReady; }));
}

void AdoptPreloaded(TIMAGE_INFO& shown, TIMAGE_INFO& from) { shown.AdoptOpened(from); }
