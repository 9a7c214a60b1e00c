#include "system/Trash.h"

#include "base/Result_codes.h"
#include "platform/Xdg_dirs.h"
#include "system/Xdg_text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Errno(int error)
{
    return std::strerror(error);
}

// rename without replacing an existing target (false with errno set when it cannot).
bool RenameNoReplace(const std::string& from, const std::string& to)
{
    if (syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A filesystem without the flag: check, then rename (a race here is the filesystem's).
    struct stat st {};
    if (lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return std::rename(from.c_str(), to.c_str()) == 0;
}

// Makes folder and its missing parents, the ones made here with mode 0700.
bool MakeFolders(const fs::path& folder)
{
    struct stat st {};
    if (stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    if (folder.has_parent_path() && folder.parent_path() != folder && !MakeFolders(folder.parent_path()))
        return false;
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// The device of the nearest existing folder at or above folder.
bool DeviceOf(fs::path folder, dev_t& device)
{
    for (;;) {
        struct stat st {};
        if (stat(folder.c_str(), &st) == 0) {
            device = st.st_dev;
            return true;
        }
        if (!folder.has_parent_path() || folder.parent_path() == folder)
            return false;
        folder = folder.parent_path();
    }
}

// The top folder of the filesystem that holds the entry at path (whose device is device):
// the highest folder above it on the same device.
fs::path TopFolder(const fs::path& path, dev_t device)
{
    fs::path top = path.parent_path();
    while (top.has_parent_path() && top.parent_path() != top) {
        struct stat st {};
        if (stat(top.parent_path().c_str(), &st) != 0 || st.st_dev != device)
            break;
        top = top.parent_path();
    }
    return top;
}

struct TRASH_PLACE {
    fs::path folder;   // holds files/ and info/
    fs::path relative; // the top folder Path= is relative to; empty for absolute paths
};

// The trash at a filesystem's top folder, made when missing; false with the reason.
bool TopFolderTrash(const fs::path& top, TRASH_PLACE& place, std::string& reason)
{
    const std::string uid = std::to_string(getuid());
    struct stat st {};
    const fs::path shared = top / ".Trash";
    if (lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0) {
        const fs::path mine = shared / uid;
        if (MakeFolders(mine) && lstat(mine.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid()) {
            place = {mine, top};
            return true;
        }
    }
    const fs::path own = top / (".Trash-" + uid);
    if (lstat(own.c_str(), &st) != 0 && mkdir(own.c_str(), 0700) != 0) {
        reason = "there is no trash on its filesystem (" + top.string() + ": " + Errno(errno) + ")";
        return false;
    }
    if (lstat(own.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) {
        reason = "there is no usable trash on its filesystem (" + own.string() + " is not a folder of ours)";
        return false;
    }
    place = {own, top};
    return true;
}

bool StartsWith(const fs::path& path, const fs::path& folder)
{
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (f->empty())
            continue; // a trailing slash
        if (p == path.end() || *p != *f)
            return false;
    }
    return true;
}

// The name itself for n = 1, else n after the name's first part as GIO numbers them:
// "img.2.tar.gz", "notes.2".
std::string Candidate(const std::string& name, int n)
{
    if (n == 1)
        return name;
    const auto dot = name.find('.', 1);
    if (dot == std::string::npos)
        return name + "." + std::to_string(n);
    return name.substr(0, dot) + "." + std::to_string(n) + name.substr(dot);
}

bool WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::string HomeTrashFolder()
{
    const XDG_DIR data = UserDirectory(XdgDir::kData);
    return data.Ok() ? (fs::path(data.path) / "Trash").string() : std::string();
}

std::string TrashInfoText(const std::string& path, long long deletion_time)
{
    const std::time_t t = static_cast<std::time_t>(deletion_time);
    std::tm local{};
    localtime_r(&t, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    // Percent-encoded as GIO writes it: all but letters, digits, "-._~" and "/".
    return "[Trash Info]\nPath=" + FileUri(path).substr(7) + "\nDeletionDate=" + date + "\n";
}

int MoveToTrash(const std::string& path, TRASHED_FILE& record, std::string& reason, const TRASH_OPTIONS& options)
{
    std::error_code ec;
    fs::path file = fs::absolute(path, ec).lexically_normal();
    if (ec || path.empty() || !file.has_filename()) {
        reason = "\"" + path + "\" does not name a file";
        return kOpenFileError;
    }
    struct stat st {};
    if (lstat(file.c_str(), &st) != 0) {
        reason = file.string() + ": " + Errno(errno);
        return kOpenFileError;
    }

    TRASH_PLACE place;
    const std::string home = HomeTrashFolder();
    dev_t home_device = 0;
    if (!home.empty() && DeviceOf(home, home_device) && home_device == st.st_dev) {
        place.folder = home;
    } else if (!options.top_folder_trashes) {
        reason = home.empty() ? std::string("there is no trash: ") + kNoHomeText
                              : "it is on another filesystem than the trash, which has no trash of its own here";
    } else {
        const fs::path top = TopFolder(file, st.st_dev);
        if (!TopFolderTrash(top, place, reason))
            place.folder.clear();
    }
    if (place.folder.empty()) {
        reason = file.string() + " was not moved to the trash: " + reason;
        return kOpenFileError;
    }
    if (StartsWith(file, place.folder) || StartsWith(place.folder, file)) {
        reason = file.string() + " was not moved to the trash: it holds the trash or is in it";
        return kOpenFileError;
    }
    const fs::path files = place.folder / "files", info = place.folder / "info";
    if (!MakeFolders(files) || !MakeFolders(info)) {
        reason = file.string() + " was not moved to the trash: cannot make " + place.folder.string() + ": " +
                 Errno(errno);
        return kOpenFileError;
    }

    const std::string text =
        TrashInfoText(place.relative.empty() ? file.string() : file.lexically_relative(place.relative).string(),
                      static_cast<long long>(std::time(nullptr)));
    for (int n = 1; n < 10000; ++n) {
        const std::string name = Candidate(file.filename().string(), n);
        const fs::path info_path = info / (name + ".trashinfo");
        const fs::path trashed = files / name;
        if (lstat(trashed.c_str(), &st) == 0)
            continue;
        const int fd = open(info_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            reason = file.string() + " was not moved to the trash: " + info_path.string() + ": " + Errno(errno);
            return kOpenFileError;
        }
        const bool written = WriteAll(fd, text);
        const int write_error = errno;
        if (close(fd) != 0 || !written) {
            unlink(info_path.c_str());
            reason = file.string() + " was not moved to the trash: " + info_path.string() + ": " + Errno(write_error);
            return kOpenFileError;
        }
        if (!RenameNoReplace(file.string(), trashed.string())) {
            const int error = errno;
            unlink(info_path.c_str());
            if (error == EEXIST)
                continue; // taken between the check and the rename
            reason = file.string() + " was not moved to the trash: " + Errno(error);
            return kOpenFileError;
        }
        record = {file.string(), trashed.string(), info_path.string()};
        return kOk;
    }
    reason = file.string() + " was not moved to the trash: no free name in " + files.string();
    return kOpenFileError;
}

int RestoreFromTrash(const TRASHED_FILE& record, std::string& reason)
{
    const fs::path target(record.original_path);
    struct stat st {};
    if (lstat(record.trashed_path.c_str(), &st) != 0) {
        reason = record.original_path + " cannot be restored: it is no longer in the trash";
        return kOpenFileError;
    }
    if (lstat(target.c_str(), &st) == 0) {
        reason = record.original_path + " cannot be restored: something else is there now";
        return kOpenFileError;
    }
    if (stat(target.parent_path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        reason = record.original_path + " cannot be restored: its folder is gone";
        return kOpenFileError;
    }
    if (!RenameNoReplace(record.trashed_path, record.original_path)) {
        const int error = errno;
        reason = record.original_path + " cannot be restored: " +
                 (error == EEXIST ? std::string("something else is there now") : Errno(error));
        return kOpenFileError;
    }
    unlink(record.info_path.c_str()); // a stray .trashinfo is only an entry the file manager drops
    return kOk;
}
