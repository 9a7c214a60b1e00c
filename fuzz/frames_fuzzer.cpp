// libFuzzer target for the frame sources of animations (GIF, animated PNG, WebP, AVIF,
// JPEG XL, recognised by their first bytes): the source is opened and up to 40 frames
// are decoded, forwards, then the last one asked for again from the start and one in the
// middle, so the composition, the kept key frames and the rewinding all run.
#include "dec_enc/Frame_source.h"

#include <algorithm>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    int rc = 0;
    auto source = OpenFrameSource(std::vector<std::uint8_t>(data, data + size), rc, nullptr, std::size_t{8} << 20);
    if (!source)
        return 0;
    Dib frame;
    const std::int32_t n = std::min(source->FrameCount(), 40);
    for (std::int32_t k = 0; k < n; ++k)
        if (source->DecodeFrame(k, frame) != 0)
            break;
    source->DecodeFrame(n - 1, frame);
    source->DecodeFrame(n / 2, frame);
    source->DecodeFrame(0, frame);
    return 0;
}
