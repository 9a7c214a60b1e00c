#include "core/File_io.h"

#include "core/Byte_order.h"
#include "core/Replace_file.h"
#include "core/Result_codes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <new>

namespace {

// The write stream's side of the file: every failing system call notes its error where it
// returns (NoteWriteError), before anything the writer does afterwards can change errno.
ssize_t WriteToFd(void* cookie, const char* data, std::size_t n)
{
    const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(cookie));
    std::size_t done = 0;
    while (done < n) {
        const ssize_t k = write(fd, data + done, n - done);
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0) {
            NoteWriteError(k < 0 ? errno : EIO);
            return 0; // the stream's error
        }
        done += static_cast<std::size_t>(k);
    }
    return static_cast<ssize_t>(n);
}

int CloseFd(void* cookie)
{
    if (close(static_cast<int>(reinterpret_cast<std::intptr_t>(cookie))) != 0) {
        NoteWriteError(errno);
        return EOF;
    }
    return 0;
}

} // namespace

FilePtr OpenForWrite(const std::string& path)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        NoteWriteError(errno);
        return nullptr;
    }
    const cookie_io_functions_t io {nullptr, WriteToFd, nullptr, CloseFd};
    FilePtr f(fopencookie(reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)), "w", io));
    if (!f) {
        NoteWriteError(errno);
        close(fd);
        return nullptr;
    }
    std::setvbuf(f.get(), nullptr, _IOFBF, std::size_t{1} << 20);
    return f;
}

std::int64_t FileSize(FILE* f)
{
    struct stat st {};
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return static_cast<std::int64_t>(st.st_size);
}

FilePtr OpenForRead(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    FILE* f = fdopen(fd, "rb");
    if (f == nullptr)
        close(fd);
    return FilePtr(f);
}

namespace {

std::string SystemErrorText(int e)
{
    char buf[256];
    return strerror_r(e, buf, sizeof buf);
}

} // namespace

std::string UnreadableReason(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return SystemErrorText(errno);
    if (S_ISDIR(st.st_mode))
        return "it is a directory";
    if (!S_ISREG(st.st_mode))
        return "it is not a regular file";
    if (access(path.c_str(), R_OK) != 0)
        return SystemErrorText(errno);
    return "";
}

namespace {

// Opens path for one whole read: kOk with the file and its size, kOpenFileError, or
// kImageTooLarge past max_bytes.
int OpenWhole(const std::string& path, std::uint64_t max_bytes, FilePtr& f, std::size_t& size)
{
    f = OpenForRead(path);
    if (!f)
        return kOpenFileError;
    const std::int64_t n = FileSize(f.get());
    if (n < 0)
        return kOpenFileError;
    if (static_cast<std::uint64_t>(n) > max_bytes)
        return kImageTooLarge;
    size = static_cast<std::size_t>(n);
    return kOk;
}

} // namespace

int LoadWholeFile(const std::string& path, PixelBuffer& buf)
{
    FilePtr f;
    std::size_t size = 0;
    if (int rc = OpenWhole(path, kMaxPictureBytes, f, size); rc != kOk)
        return rc;
    if (int rc = buf.Reserve(size); rc != kOk)
        return rc;
    const std::size_t got = std::fread(buf.data(), 1, buf.size(), f.get());
    // A file that shrank under us is read as far as it goes.
    return buf.Reserve(got);
}

int ReadTextFile(const std::string& path, std::string& text, std::uint64_t max_bytes)
{
    text.clear();
    FilePtr f;
    std::size_t size = 0;
    if (int rc = OpenWhole(path, max_bytes, f, size); rc != kOk)
        return rc;
    try {
        text.resize(size);
    } catch (const std::bad_alloc&) {
        return kMemoryError;
    }
    const std::size_t got = text.empty() ? 0 : std::fread(text.data(), 1, text.size(), f.get());
    if (std::ferror(f.get()) != 0) {
        text.clear();
        return kOpenFileError;
    }
    text.resize(got); // a file that shrank under us is read as far as it goes
    return kOk;
}

int ReplaceTextFile(const std::string& target, std::string_view text, int* sys_error)
{
    return ReplaceFileWith(
        target,
        [text](const std::string& write_path) {
            FilePtr f = OpenForWrite(write_path);
            if (!f)
                return static_cast<int>(kOpenFileError);
            std::fwrite(text.data(), 1, text.size(), f.get());
            return FinishWrite(std::move(f));
        },
        sys_error);
}

int FinishWrite(FilePtr f)
{
    FILE* raw = f.release();
    const bool failed = std::ferror(raw) != 0;
    const bool closed = std::fclose(raw) == 0;
    return !failed && closed ? kOk : kOpenFileError;
}

std::uint16_t ByteCursor::Word(int order)
{
    std::uint8_t b[2] = {0xFF, 0xFF};
    Read(b, 2);
    return LoadWord(order, b);
}

std::uint32_t ByteCursor::Dword(int order)
{
    std::uint8_t b[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    Read(b, 4);
    return LoadDword(order, b);
}

std::string ExtensionOf(const std::string& path)
{
    // A name that is only a dot and letters (".png") is taken as its extension, as it
    // always was: a file saved as ".png" is a PNG.
    const std::string name = std::filesystem::path(path).filename().string();
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}
