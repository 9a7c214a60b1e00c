// The helper's readers, one function for each line of RAVELSCOPE_HELPER_READERS
// (dec_enc/Decode_helper_protocol.h).
#include "decoder/Readers.h"

#include "base/Pixel_buffer.h"
#include "base/Result_codes.h"
#include "dec_enc/Decode_helper_protocol.h"
#include "dec_enc/Dicom_pixels.h"
#include "dec_enc/gdcm/Gdcm_frame.h"
#include "decoder/Heif_reader.h"

#include <dirent.h>
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>

extern char** environ;

namespace {

// DICOM through the GDCM module beside the helper (libravelscope_gdcm.so, dec_enc/gdcm/),
// loaded here only: GDCM builds its data dictionaries when it is loaded.
int ReadDicomInHelper(std::span<const std::uint8_t> input, HELPER_PICTURE& out)
{
    using namespace dicom_gdcm;
    void* module = dlopen((HelperDirectory() + "libravelscope_gdcm.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    void* entry = module != nullptr ? dlsym(module, "ravelscope_read_with_gdcm") : nullptr;
    if (entry == nullptr) {
        out.reason = "libravelscope_gdcm.so is missing beside the decoder";
        return kFormatNotSupported;
    }
    Frame f;
    std::vector<std::uint8_t> samples;
    reinterpret_cast<READ_WITH_GDCM>(entry)(input.data(), input.size(), &f, &samples);
    if (f.rc != kOk)
        return f.rc;
    if (int rc = CheckFrame(f); rc != kOk)
        return rc;
    if (f.bytes != FrameBytes(f))
        return kDataError;
    out.bgr.resize(PictureBytes(f.width, f.height, 3));
    if (int rc = DicomFramePicture(f, samples, out.bgr.data()); rc != kOk)
        return rc;
    out.width = f.width;
    out.height = f.height;
    const bool grey = f.kind == Kind::Grey || f.kind == Kind::InvertedGrey;
    out.bits_per_pixel = grey ? static_cast<std::int32_t>(f.bits_stored) : 24;
    out.compression.assign(f.compression, strnlen(f.compression, sizeof f.compression));
    return kOk;
}

// For the tests: the input says what to do.
int ReadTestInHelper(std::span<const std::uint8_t> input, HELPER_PICTURE& out)
{
    const std::string_view what(reinterpret_cast<const char*>(input.data()), input.size());
    if (what == "crash")
        raise(SIGSEGV);
    if (what == "memory") { // keeps taking larger blocks, as a decoder believing a header would
        std::vector<void*> kept;
        kept.reserve(64);
        for (std::size_t n = std::size_t{1} << 20;; n *= 2) {
            void* block = std::malloc(n);
            if (block == nullptr)
                throw std::bad_alloc();
            static_cast<volatile char*>(block)[0] = 1;
            kept.push_back(block);
        }
    }
    if (what == "spin") {
        volatile unsigned long turns = 0;
        for (;;)
            turns = turns + 1;
    }
    if (what == "sleep")
        for (;;)
            pause();
    if (what.starts_with("reply:")) { // answers with the bytes given, whatever they are
        const std::string_view reply = what.substr(6);
        if (write(STDOUT_FILENO, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size()))
            _exit(1);
        _exit(0);
    }
    if (what == "picture" || what == "inherited") {
        out.width = 3;
        out.height = 2;
        out.bits_per_pixel = 8;
        out.compression = "Test";
        for (int i = 0; i < 18; ++i)
            out.bgr.push_back(static_cast<std::uint8_t>(i * 10));
        out.icc_profile = {1, 2, 3};
        out.exif = {4, 5};
        out.comment = "comment";
        if (what == "inherited") { // the environment and the open descriptors, as the comment
            out.comment.clear();
            for (char** e = environ; *e != nullptr; ++e)
                out.comment += std::string(*e) + "\n";
            if (DIR* d = opendir("/proc/self/fd")) {
                while (const dirent* entry = readdir(d))
                    if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != dirfd(d))
                        out.comment += std::string("fd ") + entry->d_name + "\n";
                closedir(d);
            }
        }
        return kOk;
    }
    out.reason = "the test reader does not know \"" + std::string(what.substr(0, 40)) + "\"";
    return kDataError;
}

struct READER_ROW {
    const char* name;
    HELPER_READ read;
};

constexpr READER_ROW kReaders[] = {
#define RAVELSCOPE_HELPER_ROW(id, name, what, function) {name, function},
    RAVELSCOPE_HELPER_READERS(RAVELSCOPE_HELPER_ROW)
#undef RAVELSCOPE_HELPER_ROW
};

} // namespace

HELPER_READ FindHelperReader(std::string_view name)
{
    for (const READER_ROW& r : kReaders)
        if (name == r.name)
            return r.read;
    return nullptr;
}

std::string HelperDirectory()
{
    std::error_code e;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", e);
    return e ? std::string("./") : (exe.parent_path() / "").string();
}
