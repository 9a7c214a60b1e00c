#include "dec_enc/Decode_helper.h"

#include "base/Result_codes.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct READER_ROW {
    HelperReader id;
    const char* name;
    const char* what;
};

constexpr READER_ROW kReaders[] = {
#define RAVELSCOPE_HELPER_ROW(id, name, what, function) {HelperReader::id, name, what},
    RAVELSCOPE_HELPER_READERS(RAVELSCOPE_HELPER_ROW)
#undef RAVELSCOPE_HELPER_ROW
};

// ICC profiles, Exif blocks and comments a reader hands back stay below this each.
constexpr std::uint32_t kMaxMetaBytes = std::uint32_t{64} << 20;

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void Close()
    {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

// The descriptor moved to 3 or above, close-on-exec: the helper's 0, 1 and 2 are set from
// such descriptors, which must not be 0, 1 or 2 themselves.
int AboveStandard(int fd)
{
    if (fd < 0 || fd > 2)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    close(fd);
    return moved;
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        const ssize_t k = write(fd, bytes.data(), bytes.size());
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0)
            return false;
        bytes = bytes.subspan(static_cast<std::size_t>(k));
    }
    return true;
}

enum class Got { kAll, kEnd, kLate, kFailed };

// Reads n bytes, waiting at most idle for each piece.
Got ReadFully(int fd, std::uint8_t* to, std::size_t n, std::chrono::milliseconds idle)
{
    while (n > 0) {
        pollfd pfd {fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, static_cast<int>(std::clamp<long long>(idle.count(), 0, INT32_MAX)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return Got::kFailed;
        if (ready == 0)
            return Got::kLate;
        const ssize_t k = read(fd, to, n);
        if (k < 0 && errno == EINTR)
            continue;
        if (k < 0)
            return Got::kFailed;
        if (k == 0)
            return Got::kEnd;
        to += k;
        n -= static_cast<std::size_t>(k);
    }
    return Got::kAll;
}

// Reads n bytes into out, growing it only as the bytes come.
Got ReadGrowing(int fd, std::size_t n, std::vector<std::uint8_t>& out, std::chrono::milliseconds idle)
{
    constexpr std::size_t kStep = std::size_t{1} << 20;
    out.clear();
    while (out.size() < n) {
        const std::size_t at = out.size();
        out.resize(at + std::min(kStep, n - at));
        if (const Got got = ReadFully(fd, out.data() + at, out.size() - at, idle); got != Got::kAll)
            return got;
    }
    return Got::kAll;
}

// The helper process: killed and reaped by the end of the call whatever happens.
class Helper {
public:
    explicit Helper(pid_t pid) : pid_(pid) {}
    ~Helper() { KillAndReap(); }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

    void KillAndReap()
    {
        if (reaped_)
            return;
        kill(pid_, SIGKILL);
        Reap(0);
    }

    // Waits up to `within` for the helper to end by itself, then kills it. Its wait status
    // (0 when it cannot be told), and whether it was killed here.
    int WaitForEnd(std::chrono::milliseconds within, bool& killed)
    {
        killed = false;
        const auto deadline = Clock::now() + within;
        auto nap = std::chrono::microseconds(100);
        while (!reaped_ && !Reap(WNOHANG) && Clock::now() < deadline) {
            std::this_thread::sleep_for(nap);
            nap = std::min<std::chrono::microseconds>(nap * 2, std::chrono::milliseconds(10));
        }
        if (!reaped_) {
            killed = true;
            KillAndReap();
        }
        return status_;
    }

private:
    // True once the helper is reaped (or was reaped by someone else: ECHILD).
    bool Reap(int options)
    {
        for (;;) {
            const pid_t r = waitpid(pid_, &status_, options);
            if (r == pid_ || (r < 0 && errno != EINTR)) {
                if (r < 0)
                    status_ = 0;
                reaped_ = true;
                return true;
            }
            if (r == 0)
                return false;
        }
    }

    pid_t pid_;
    bool reaped_ = false;
    int status_ = 0;
};

// Why a helper that gave no whole reply ended, as a refusal.
int Ended(CODEC_CTX& ctx, Helper& helper, Got got, const std::string& what, std::chrono::milliseconds idle)
{
    if (got == Got::kLate) {
        helper.KillAndReap();
        return Refuse(ctx, kDataError, what + " took too long");
    }
    bool killed = false;
    const int status = helper.WaitForEnd(idle, killed);
    if (killed)
        return Refuse(ctx, kDataError, what + " took too long");
    if (WIFEXITED(status) && WEXITSTATUS(status) == kHelperExitOutOfMemory)
        return Refuse(ctx, kMemoryError, what + " ran out of its memory limit");
    if (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL))
        return Refuse(ctx, kDataError, what + " took too long"); // its CPU limit
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return Refuse(ctx, kDataError, what + " gave an answer that is not one"); // cut short
    return Refuse(ctx, kDataError, what + " crashed");
}

std::string HelperPathFromPlaces()
{
    std::vector<std::string> places {RAVELSCOPE_DECODER};
    std::error_code e;
    if (const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", e); !e)
        places.push_back((exe.parent_path() / kHelperProgram).string());
    for (const std::string& p : places)
        if (access(p.c_str(), X_OK) == 0)
            return p;
    return {};
}

// The helper's environment: empty, but for the sanitizer builds' own settings. Under
// AddressSanitizer the helper cannot limit its address space (the sanitizer reserves
// terabytes of it), so the allocator refuses any one block over the memory limit instead.
std::vector<std::string> HelperEnvironment([[maybe_unused]] const HELPER_LIMITS& limits)
{
    std::vector<std::string> env;
#ifdef RAVELSCOPE_HELPER_UNDER_ASAN
    env.push_back("ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=0:max_allocation_size_mb=" +
                  std::to_string(limits.memory_mib));
#endif
    return env;
}

} // namespace

const std::string& DecodeHelperPath()
{
    static const std::string path = HelperPathFromPlaces();
    return path;
}

int DecodeInHelper(CODEC_CTX& ctx, HelperReader reader, std::span<const std::uint8_t> bytes,
                   const HELPER_LIMITS& limits)
{
    const READER_ROW* row = std::find_if(std::begin(kReaders), std::end(kReaders),
                                         [reader](const READER_ROW& r) { return r.id == reader; });
    if (row == std::end(kReaders))
        return kFormatNotSupported;
    const std::string what = std::string("the ") + row->what + " decoder";
    const std::string& program = DecodeHelperPath();
    if (program.empty())
        return Refuse(ctx, kFormatNotSupported, what + " (" + kHelperProgram + ") is not installed");

    Fd input(AboveStandard(memfd_create("ravelscope-input", MFD_CLOEXEC)));
    if (!input || !WriteAll(input.get(), bytes) || lseek(input.get(), 0, SEEK_SET) != 0)
        return Refuse(ctx, kMemoryError, "the file could not be handed to " + what);
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return Refuse(ctx, kUnknownError, what + " could not be started");
    Fd from(AboveStandard(ends[0]));
    Fd to(AboveStandard(ends[1]));
    if (!from || !to)
        return Refuse(ctx, kUnknownError, what + " could not be started");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input.get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, to.get(), STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3); // whatever another thread opened
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::string memory = std::to_string(limits.memory_mib), cpu = std::to_string(limits.cpu_seconds);
    std::string name = row->name;
    char* argv[] = {const_cast<char*>(program.c_str()), name.data(), memory.data(), cpu.data(), nullptr};
    std::vector<std::string> environment = HelperEnvironment(limits);
    std::vector<char*> envp;
    for (std::string& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    to.Close(); // the helper's end: it alone holds it now, so its end is the pipe's end
    input.Close();
    if (spawned != 0)
        return Refuse(ctx, kUnknownError, what + " could not be started");
    Helper helper(pid);

    HELPER_REPLY reply;
    Got got = ReadFully(from.get(), reinterpret_cast<std::uint8_t*>(&reply), sizeof reply, limits.idle);
    if (got != Got::kAll)
        return Ended(ctx, helper, got, what, limits.idle);
    reply.compression[sizeof reply.compression - 1] = '\0';
    reply.reason[sizeof reply.reason - 1] = '\0';
    const std::string not_an_answer = what + " gave an answer that is not one";
    if (std::memcmp(reply.magic, HELPER_REPLY {}.magic, sizeof reply.magic) != 0 || reply.rc > kOk ||
        reply.rc < kUnknownError)
        return Refuse(ctx, kDataError, not_an_answer);
    if (reply.rc != kOk)
        return Refuse(ctx, reply.rc, reply.reason);
    if (reply.icc_bytes > kMaxMetaBytes || reply.exif_bytes > kMaxMetaBytes || reply.comment_bytes > kMaxMetaBytes)
        return Refuse(ctx, kDataError, not_an_answer);
    const std::size_t picture_bytes = PictureBytes(reply.width, reply.height, 3);
    if (reply.width < 1 || reply.height < 1 || reply.width > INT32_MAX || reply.height > INT32_MAX)
        return Refuse(ctx, kDataError, not_an_answer);
    if (picture_bytes == SIZE_MAX)
        return Refuse(ctx, kImageTooLarge, what + " gave a picture over the size limit");
    if (reply.pixel_bytes != picture_bytes)
        return Refuse(ctx, kDataError, not_an_answer);

    CODEC_CTX::PICTURE_META meta;
    std::vector<std::uint8_t> comment;
    if ((got = ReadGrowing(from.get(), reply.icc_bytes, meta.icc_profile, limits.idle)) != Got::kAll ||
        (got = ReadGrowing(from.get(), reply.exif_bytes, meta.exif, limits.idle)) != Got::kAll ||
        (got = ReadGrowing(from.get(), reply.comment_bytes, comment, limits.idle)) != Got::kAll)
        return Ended(ctx, helper, got, what, limits.idle);
    if (int rc = ctx.ReserveDecoded(reply.width, reply.height); rc != kOk)
        return rc;
    if ((got = ReadFully(from.get(), ctx.decoded.data(), picture_bytes, limits.idle)) != Got::kAll)
        return Ended(ctx, helper, got, what, limits.idle);
    helper.KillAndReap(); // all it had to say is here

    ctx.width = static_cast<std::int32_t>(reply.width);
    ctx.height = static_cast<std::int32_t>(reply.height);
    ctx.bits_per_pixel = reply.bits_per_pixel;
    ctx.compression_name = reply.compression;
    meta.comment.assign(comment.begin(), comment.end());
    // Code points are bytes in their boxes and depths at most 16: anything else is dropped.
    const auto code_point = [](std::int32_t v) { return v >= 0 && v <= 255 ? v : -1; };
    meta.colour_primaries = code_point(reply.colour_primaries);
    meta.transfer_characteristics = code_point(reply.transfer_characteristics);
    meta.matrix_coefficients = code_point(reply.matrix_coefficients);
    meta.bits_per_sample = reply.bits_per_sample >= 0 && reply.bits_per_sample <= 16 ? reply.bits_per_sample : 0;
    meta.full_range = reply.full_range != 0;
    meta.alpha = reply.alpha != 0;
    ctx.meta = std::move(meta);
    return ctx.CopyToDirectTarget();
}
