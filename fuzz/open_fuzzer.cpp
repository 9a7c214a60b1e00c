// libFuzzer target for one reader, through the document's open dispatcher: the input is
// written to a file with the target's extension (RAVELSCOPE_FUZZ_EXT) and opened.
#include "core/Imageinfo.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#ifndef RAVELSCOPE_FUZZ_EXT
#error "RAVELSCOPE_FUZZ_EXT names the extension this target opens"
#endif

namespace {

std::string InputPath()
{
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/rvs-fuzz-" + std::to_string(getpid()) + RAVELSCOPE_FUZZ_EXT;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = InputPath();
    static TIMAGE_INFO doc; // reused like the viewer's, so stale buffers would show
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    pImageInfo = &doc;
    doc.Open(path);
    std::remove(path.c_str());
    return 0;
}
