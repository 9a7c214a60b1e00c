// libFuzzer target for HEIF reading as it runs inside the decoding helper (libheif and the
// HEVC decoder). The helper hides a fault there as a crash of its own, so it is fuzzed
// here, in process.
#include "decoder/Heif_reader.h"

#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    HELPER_PICTURE picture;
    (void)ReadHeifInHelper(std::span<const std::uint8_t>(data, size), picture);
    return 0;
}
