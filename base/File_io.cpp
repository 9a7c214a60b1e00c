#include "base/File_io.h"

#include "base/Byte_order.h"
#include "base/Replace_file.h"
#include "base/Result_codes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <mutex>
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

// Writers that place rows at their offsets (bottom-up rows written from the top) seek.
int SeekFd(void* cookie, off64_t* pos, int whence)
{
    const off64_t at = lseek64(static_cast<int>(reinterpret_cast<std::intptr_t>(cookie)), *pos, whence);
    if (at < 0) {
        NoteWriteError(errno);
        return -1;
    }
    *pos = at;
    return 0;
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
    const cookie_io_functions_t io {nullptr, WriteToFd, SeekFd, CloseFd};
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
    // A read that failed is no short file: nothing of it is handed on as the picture.
    if (std::ferror(f.get()) != 0)
        return kOpenFileError;
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

// Mappings whose pages a bus error may be answered for: a file cut short under its
// mapping. The handler maps zero pages over the rest of the mapping that holds the fault
// and lets the access run again; any other bus error goes to the handler that was there.
namespace {

constexpr int kMapSlots = 64;
std::atomic<std::uintptr_t> map_begin[kMapSlots];
std::atomic<std::uintptr_t> map_end[kMapSlots];
struct sigaction previous_bus_action;
std::once_flag bus_handler_once;

void OnBusError(int sig, siginfo_t* info, void* uctx)
{
    const auto addr = reinterpret_cast<std::uintptr_t>(info->si_addr);
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    for (int i = 0; i < kMapSlots; ++i) {
        const std::uintptr_t b = map_begin[i].load(std::memory_order_acquire);
        const std::uintptr_t e = map_end[i].load(std::memory_order_acquire);
        if (b != 0 && addr >= b && addr < e) {
            const std::uintptr_t from = addr & ~(page - 1);
            if (mmap(reinterpret_cast<void*>(from), e - from, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1,
                     0) != MAP_FAILED)
                return;
        }
    }
    if (previous_bus_action.sa_flags & SA_SIGINFO) {
        if (previous_bus_action.sa_sigaction != nullptr) {
            previous_bus_action.sa_sigaction(sig, info, uctx);
            return;
        }
    } else if (previous_bus_action.sa_handler != SIG_DFL && previous_bus_action.sa_handler != SIG_IGN) {
        previous_bus_action.sa_handler(sig);
        return;
    }
    signal(SIGBUS, SIG_DFL); // the fault repeats and ends the process as it would have
}

void InstallBusHandler()
{
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &previous_bus_action);
}

} // namespace

MappedFile::~MappedFile() { Unmap(); }

int MappedFile::Map(const std::string& path)
{
    Unmap();
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return kOpenFileError;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return kOpenFileError;
    }
    if (st.st_size == 0) {
        close(fd);
        return kOk;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    void* p = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (p == MAP_FAILED)
        return kOpenFileError;
    madvise(p, size, MADV_SEQUENTIAL);
    data_ = static_cast<const std::uint8_t*>(p);
    size_ = size;
    released_ = 0;
    released_tail_ = 0;
    std::call_once(bus_handler_once, InstallBusHandler);
    const auto b = reinterpret_cast<std::uintptr_t>(p);
    for (int i = 0; i < kMapSlots && slot_ < 0; ++i) {
        std::uintptr_t expected = 0;
        if (map_begin[i].compare_exchange_strong(expected, b, std::memory_order_acq_rel)) {
            map_end[i].store(b + size, std::memory_order_release);
            slot_ = i;
        }
    }
    if (slot_ < 0) { // no slot for the bus error handler: the caller reads the file instead
        Unmap();
        return kOpenFileError;
    }
    return kOk;
}

void MappedFile::ReleaseBefore(std::size_t offset)
{
    static const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t upto = std::min(offset, size_) & ~(page - 1);
    if (upto < released_ + (std::size_t{1} << 20))
        return;
    madvise(const_cast<std::uint8_t*>(data_) + released_, upto - released_, MADV_DONTNEED);
    released_ = upto;
}

void MappedFile::ReleaseFrom(std::size_t offset)
{
    static const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t tail = released_tail_ == 0 ? size_ : released_tail_;
    const std::size_t from = (std::min(offset, size_) + page - 1) & ~(page - 1);
    if (from >= tail || tail - from < (std::size_t{1} << 20))
        return;
    madvise(const_cast<std::uint8_t*>(data_) + from, tail - from, MADV_DONTNEED);
    released_tail_ = from;
}

void MappedFile::Unmap()
{
    if (data_ == nullptr)
        return;
    if (slot_ >= 0) {
        map_end[slot_].store(0, std::memory_order_release);
        map_begin[slot_].store(0, std::memory_order_release);
        slot_ = -1;
    }
    munmap(const_cast<std::uint8_t*>(data_), size_);
    data_ = nullptr;
    size_ = 0;
    released_ = 0;
}
