#include "base/Replace_file.h"

#include "base/Result_codes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

constexpr int kMaxLinks = 40; // the system's own limit on a chain of symbolic links

namespace fs = std::filesystem;

std::string DirectoryOf(const std::string& path)
{
    const fs::path dir = fs::path(path).parent_path();
    return dir.empty() ? "." : dir.string();
}

// Follows symbolic links to the path of the file they end at (which need not exist).
// Returns 0 or the error number.
int FollowLinks(std::string& path)
{
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return 0;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = readlink(path.c_str(), link.data(), link.size());
        if (n < 0)
            return errno;
        if (static_cast<std::size_t>(n) >= link.size())
            return ENAMETOOLONG; // the link changed under us
        link.resize(static_cast<std::size_t>(n));
        path = link.starts_with('/') ? link : DirectoryOf(path) + "/" + link;
    }
    return ELOOP;
}

// A name part that no other save of this or another process picks at the same moment;
// the exclusive create catches the rare clash.
std::string UniquePart()
{
    static std::atomic<unsigned> counter{0};
    std::uint64_t v = static_cast<std::uint64_t>(getpid()) * 0x9E3779B97F4A7C15ull ^
                      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                      (static_cast<std::uint64_t>(counter.fetch_add(1)) << 40);
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string s;
    for (int i = 0; i < 8; ++i, v /= 36)
        s += kDigits[v % 36];
    return s;
}

} // namespace

int ReplaceFile::Begin()
{
    Abort();
    error_ = 0;
    final_path_ = target_;
    if (final_path_.empty()) {
        error_ = ENOENT;
        return kOpenFileError;
    }
    if (int e = FollowLinks(final_path_); e != 0) {
        error_ = e;
        return kOpenFileError;
    }
    struct stat st {};
    existed_ = stat(final_path_.c_str(), &st) == 0;
    if (existed_) {
        if (S_ISDIR(st.st_mode)) {
            error_ = EISDIR;
            return kOpenFileError;
        }
        if (faccessat(AT_FDCWD, final_path_.c_str(), W_OK, AT_EACCESS) != 0) {
            error_ = errno;
            return kOpenFileError;
        }
        if (!S_ISREG(st.st_mode)) {
            in_place_ = true;
            write_path_ = final_path_;
            return kOk;
        }
        mode_ = st.st_mode & 07777;
        uid_ = st.st_uid;
        gid_ = st.st_gid;
    }
    in_place_ = false;
    const fs::path target(final_path_);
    const std::string name = target.filename().string();
    const std::string ext = target.extension().string();
    // The stem is shortened so that a long target name still leaves room for the rest.
    const std::string stem = name.substr(0, std::min<std::size_t>(name.size() - ext.size(), 100));
    const std::string dir = DirectoryOf(final_path_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string tmp = dir + "/." + stem + ".tmp-" + UniquePart() + ext;
        // Until the commit gives it the old file's bits, the temporary file is no more
        // open to others than the file it replaces.
        const mode_t mode = existed_ ? static_cast<mode_t>((mode_ & 0666) | S_IWUSR) : 0666;
        const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            close(fd);
            write_path_ = std::move(tmp);
            pending_ = true;
            return kOk;
        }
        if (errno != EEXIST) {
            error_ = errno;
            return kOpenFileError;
        }
    }
    error_ = EEXIST;
    return kOpenFileError;
}

int ReplaceFile::Commit()
{
    if (in_place_)
        return kOk;
    if (!pending_) {
        error_ = EINVAL;
        return kOpenFileError;
    }
    const int fd = open(write_path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error_ = errno;
        Abort();
        return kOpenFileError;
    }
    bool ok = fsync(fd) == 0;
    int e = ok ? 0 : errno;
    if (ok && existed_) {
        // Owner and group only where the process may give them; the permission bits after
        // them, since a change of owner clears the set-id bits.
        if (fchown(fd, uid_, gid_) != 0)
            mode_ &= ~static_cast<unsigned>(S_ISUID | S_ISGID);
        if (fchmod(fd, static_cast<mode_t>(mode_)) != 0) {
            ok = false;
            e = errno;
        }
    }
    close(fd);
    if (ok && std::rename(write_path_.c_str(), final_path_.c_str()) != 0) {
        ok = false;
        e = errno;
    }
    if (!ok) {
        error_ = e;
        Abort();
        return kOpenFileError;
    }
    pending_ = false;
    // The rename is on disk once the directory is; a file system that cannot sync a
    // directory has nothing more to do.
    const int dfd = open(DirectoryOf(final_path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        fsync(dfd);
        close(dfd);
    }
    return kOk;
}

void ReplaceFile::Abort()
{
    if (pending_)
        unlink(write_path_.c_str());
    pending_ = false;
}

namespace {

// The write under way on this thread: whether one is, and the first error its writer noted.
struct NOTED_WRITE_ERROR {
    bool active = false;
    int error = 0;
};
thread_local NOTED_WRITE_ERROR t_noted;

} // namespace

void NoteWriteError(int sys_error)
{
    if (t_noted.active && t_noted.error == 0)
        t_noted.error = sys_error;
}

int ReplaceFileWith(const std::string& target, const std::function<int(const std::string&)>& write, int* sys_error)
{
    ReplaceFile file(target);
    int rc = file.Begin();
    int e = file.Error();
    if (rc == kOk) {
        const NOTED_WRITE_ERROR outer = t_noted; // a write inside a writer keeps its own
        t_noted = {true, 0};
        rc = write(file.WritePath());
        e = rc == kOk ? 0 : t_noted.error;
        t_noted = outer;
        if (rc == kOk) {
            rc = file.Commit();
            e = file.Error();
        }
    }
    if (sys_error != nullptr)
        *sys_error = rc == kOk ? 0 : e;
    return rc;
}

std::string ResultTextWithReason(int code, int sys_error)
{
    char buf[256];
    return ResultTextWithReason(code, sys_error != 0 ? std::string(strerror_r(sys_error, buf, sizeof buf)) : std::string());
}
