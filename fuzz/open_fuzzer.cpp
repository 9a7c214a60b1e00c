// libFuzzer target for one reader, through the document's open dispatcher: the input is
// opened as the bytes of a file with the target's extension (RAVELSCOPE_FUZZ_EXT), with
// no file written or read.
#include "core/Imageinfo.h"

#include <cstdint>
#include <span>
#include <string>

#ifndef RAVELSCOPE_FUZZ_EXT
#error "RAVELSCOPE_FUZZ_EXT names the extension this target opens"
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string name = RAVELSCOPE_FUZZ_EXT;
    static TIMAGE_INFO doc; // reused like the viewer's, so stale buffers would show
    doc.OpenBytes(name, std::span<const std::uint8_t>(data, size));
    return 0;
}
