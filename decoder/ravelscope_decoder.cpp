// ravelscope-decoder: runs one reader of decoder/Readers.cpp over the file on its standard
// input and writes the reply of dec_enc/Decode_helper_protocol.h to its standard output.
// DecodeInHelper (dec_enc/Decode_helper.h) starts one for each file:
//   ravelscope-decoder READER MEMORY_MIB CPU_SECONDS
// Before it reads a byte of the input it limits its own address space, processor time and
// core files; an allocation that fails under the limit ends it with kHelperExitOutOfMemory.
#include "base/Result_codes.h"
#include "dec_enc/Decode_helper_protocol.h"
#include "decoder/Readers.h"

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <span>
#include <string>
#include <vector>

namespace {

// A positive decimal number, or 0.
unsigned long Number(const char* text)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' ? v : 0;
}

void Limit(int resource, rlim_t soft, rlim_t hard)
{
    const rlimit r {soft, hard};
    setrlimit(resource, &r);
}

bool ReadInput(std::vector<std::uint8_t>& input)
{
    struct stat st {};
    if (fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        input.reserve(static_cast<std::size_t>(st.st_size));
    std::uint8_t chunk[1 << 16];
    for (;;) {
        const ssize_t k = read(STDIN_FILENO, chunk, sizeof chunk);
        if (k < 0 && errno == EINTR)
            continue;
        if (k < 0)
            return false;
        if (k == 0)
            return true;
        input.insert(input.end(), chunk, chunk + k);
    }
}

bool WriteAll(const void* data, std::size_t n)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (n > 0) {
        const ssize_t k = write(STDOUT_FILENO, p, n);
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0)
            return false;
        p += k;
        n -= static_cast<std::size_t>(k);
    }
    return true;
}

bool WriteReply(int rc, const HELPER_PICTURE& pic)
{
    HELPER_REPLY reply;
    reply.rc = rc;
    std::snprintf(reply.reason, sizeof reply.reason, "%s", pic.reason.c_str());
    if (rc == kOk) {
        reply.width = pic.width;
        reply.height = pic.height;
        reply.bits_per_pixel = pic.bits_per_pixel;
        reply.icc_bytes = static_cast<std::uint32_t>(pic.icc_profile.size());
        reply.exif_bytes = static_cast<std::uint32_t>(pic.exif.size());
        reply.comment_bytes = static_cast<std::uint32_t>(pic.comment.size());
        reply.pixel_bytes = pic.bgr.size();
        std::snprintf(reply.compression, sizeof reply.compression, "%s", pic.compression.c_str());
        reply.colour_primaries = pic.colour_primaries;
        reply.transfer_characteristics = pic.transfer_characteristics;
        reply.matrix_coefficients = pic.matrix_coefficients;
        reply.bits_per_sample = pic.bits_per_sample;
        reply.full_range = pic.full_range ? 1 : 0;
        reply.alpha = pic.alpha ? 1 : 0;
    }
    return WriteAll(&reply, sizeof reply) &&
           (rc != kOk || (WriteAll(pic.icc_profile.data(), pic.icc_profile.size()) &&
                          WriteAll(pic.exif.data(), pic.exif.size()) &&
                          WriteAll(pic.comment.data(), pic.comment.size()) &&
                          WriteAll(pic.bgr.data(), pic.bgr.size())));
}

} // namespace

int main(int argc, char** argv)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL); // not left running when the thread that started it is gone
    if (argc != 4)
        return kHelperExitUsage;
    const HELPER_READ read_with = FindHelperReader(argv[1]);
    const unsigned long memory_mib = Number(argv[2]);
    const unsigned long cpu_seconds = Number(argv[3]);
    if (read_with == nullptr || memory_mib == 0 || cpu_seconds == 0)
        return kHelperExitUsage;
    Limit(RLIMIT_CORE, 0, 0);
    Limit(RLIMIT_CPU, cpu_seconds, cpu_seconds + 1); // SIGXCPU, then SIGKILL a second later
#ifndef RAVELSCOPE_HELPER_UNDER_ASAN // the sanitizer's allocator keeps the limit there (see the client)
    const rlim_t bytes = static_cast<rlim_t>(memory_mib) << 20;
    Limit(RLIMIT_AS, bytes, bytes);
#endif

    try {
        std::vector<std::uint8_t> input;
        HELPER_PICTURE pic;
        int rc = ReadInput(input) ? kOk : kOpenFileError;
        try {
            if (rc == kOk)
                rc = read_with(input, pic);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (...) {
            rc = kUnknownError; // no exception leaves a reader
        }
        std::vector<std::uint8_t>().swap(input);
        if (rc == kOk && (pic.width == 0 || pic.height == 0 ||
                          pic.bgr.size() != std::size_t{pic.width} * pic.height * 3))
            rc = kUnknownError; // a reader that broke its own contract
        _exit(WriteReply(rc, pic) ? 0 : 1);
    } catch (const std::bad_alloc&) {
        _exit(kHelperExitOutOfMemory);
    }
}
