#include "dialogs/logic/Browse.h"

#include "base/Result_codes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <utility>

bool HoldsUnsavedEdits(const TIMAGE_INFO& doc) { return doc.state == kPictureOpen && doc.edited != 0; }

bool FileExists(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string AbsolutePath(const std::string& path)
{
    if (path.empty() || path[0] == '/')
        return path;
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr)
        return path;
    const std::string base = cwd;
    return base == "/" ? "/" + path : base + "/" + path;
}

std::int32_t FILE_BROWSER::OpenKeepingShown(TIMAGE_INFO& doc, const std::string& path)
{
    if (!scratch_)
        scratch_ = std::make_unique<TIMAGE_INFO>();
    TIMAGE_INFO& scratch = *scratch_;
    scratch.direct_decode = doc.direct_decode;
    scratch.load_timing = doc.load_timing;
    std::int32_t rc = kUnknownError;
    try {
        rc = scratch.Open(path);
    } catch (const std::bad_alloc&) {
        rc = kMemoryError;
    } catch (...) {
        rc = kUnknownError;
    }
    if (rc != kOk) {
        // The shown picture stays; only the failure's reason is the document's to tell.
        if (doc.context && scratch.context)
            doc.context->failure_reason = scratch.context->failure_reason;
        return rc;
    }
    doc.AdoptOpened(scratch);
    doc.direct_decode = scratch.direct_decode;
    return rc;
}

std::int32_t FILE_BROWSER::OpenAndList(TIMAGE_INFO& doc, const std::string& requested)
{
    const std::string path = AbsolutePath(requested);
    const std::int32_t rc = OpenKeepingShown(doc, path);
    if (rc == kOk)
        doc.edited = 0;
    const std::string dir = DirectoryOf(path);
    if (!dir.empty() && doc.BuildFileList(dir, true)) {
        const std::string shown = doc.current_path;
        doc.current_path = path; // the list's position is the requested file's
        doc.FindCurrent();
        doc.current_path = shown;
    }
    return rc;
}

BROWSE_RESULT FILE_BROWSER::Next(TIMAGE_INFO& doc)
{
    BROWSE_RESULT r;
    std::int32_t i = doc.current_index;
    for (std::size_t tries = doc.file_list.size(); tries > 0 && !doc.file_list.empty(); --tries) {
        const auto count = static_cast<std::int32_t>(doc.file_list.size());
        i = i < count - 1 ? i + 1 : 0;
        const std::string entry = doc.file_list[static_cast<std::size_t>(i)];
        r.path = entry;
        r.rc = OpenKeepingShown(doc, entry);
        if (r.rc == kOk) {
            doc.edited = 0;
            r.shown = true;
            return r;
        }
        const std::string shown = doc.current_path;
        doc.current_path = entry;
        doc.DropCurrentFromList();
        doc.current_path = shown;
        --i; // the entry after the dropped one now sits at i
    }
    doc.FindCurrent();
    return r;
}

BROWSE_RESULT FILE_BROWSER::Previous(TIMAGE_INFO& doc)
{
    BROWSE_RESULT r;
    std::int32_t i = doc.current_index;
    const auto count = static_cast<std::int32_t>(doc.file_list.size());
    for (std::int32_t tries = count; tries > 0; --tries) {
        i = i <= 0 ? count - 1 : i - 1;
        r.path = doc.file_list[static_cast<std::size_t>(i)];
        r.rc = OpenKeepingShown(doc, r.path);
        if (r.rc == kOk) {
            doc.edited = 0;
            r.shown = true;
            return r;
        }
    }
    return r;
}

BROWSE_RESULT FILE_BROWSER::First(TIMAGE_INFO& doc)
{
    doc.current_index = -1;
    return Next(doc); // which finds the shown picture's place again when none opens
}

BROWSE_RESULT FILE_BROWSER::Last(TIMAGE_INFO& doc)
{
    const std::int32_t was = doc.current_index;
    doc.current_index = static_cast<std::int32_t>(doc.file_list.size());
    BROWSE_RESULT r = Previous(doc);
    if (!r.shown)
        doc.current_index = was;
    return r;
}

BROWSE_RESULT FILE_BROWSER::SlideShowTick(TIMAGE_INFO& doc)
{
    BROWSE_RESULT r;
    if (doc.file_list.empty())
        return r;
    std::int32_t i = doc.current_index;
    if (i < 0 || i >= static_cast<std::int32_t>(doc.file_list.size()))
        i = 0;
    const std::string entry = doc.file_list[static_cast<std::size_t>(i)];
    r.path = entry;
    r.rc = OpenKeepingShown(doc, entry);
    if (r.rc == kOk) {
        doc.edited = 0;
        doc.current_index = i + 1;
        r.shown = true;
        return r;
    }
    const std::string shown = doc.current_path;
    doc.current_path = entry;
    doc.DropCurrentFromList();
    doc.current_path = shown;
    doc.current_index = i;
    return r;
}
