// libFuzzer target for the text viewer's reader: the input is read as a file's bytes, and
// every run it gives back must be well-formed UTF-8 within the text limit.
#include "viewer/logic/Rtf_reader.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    RICH_TEXT_LIMITS limits;
    limits.max_depth = 64;
    limits.max_text = 4096;
    RICH_TEXT doc;
    ReadRichText(std::string_view(reinterpret_cast<const char*>(data), size), doc, limits);
    std::size_t total = 0;
    for (const TEXT_RUN& run : doc.runs) {
        if (run.text.empty() || !IsValidUtf8(run.text))
            std::abort();
        total += run.text.size();
    }
    if (total > limits.max_text)
        std::abort();
    return 0;
}
