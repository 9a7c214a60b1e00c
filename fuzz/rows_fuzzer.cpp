// libFuzzer target for one row source (dec_enc/Row_stream.h): the input is read a row at
// a time as a file of the target's extension (RAVELSCOPE_FUZZ_ROWS_EXT). Where the
// document opens the same bytes, the rows must be its picture: a difference aborts.
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "dec_enc/Row_stream.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#ifndef RAVELSCOPE_FUZZ_ROWS_EXT
#error "RAVELSCOPE_FUZZ_ROWS_EXT names the extension this target reads"
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string ext = RAVELSCOPE_FUZZ_ROWS_EXT;
    const std::span<const std::uint8_t> bytes(data, size);
    auto source = OpenRowSource(ext, bytes, nullptr);
    if (!source)
        return 0;
    // Claims the file can back but that take long to walk are left unread.
    if (static_cast<std::uint64_t>(source->Width()) * static_cast<std::uint64_t>(source->Height()) > (1u << 22))
        return 0;
    const auto row_bytes = static_cast<std::size_t>(source->Width()) * 3;
    std::vector<std::uint8_t> rows(row_bytes * static_cast<std::size_t>(source->Height()));
    for (std::int32_t y = 0; y < source->Height(); ++y)
        if (source->ReadRow(rows.data() + static_cast<std::size_t>(y) * row_bytes) != kOk)
            return 0;
    static TIMAGE_INFO doc;
    if (doc.OpenBytes("f" + ext, bytes) != kOk || doc.display->Width() != source->Width() ||
        doc.display->Height() != source->Height())
        return 0;
    for (std::int32_t y = 0; y < source->Height(); ++y)
        if (std::memcmp(doc.display->ScanLine(y), rows.data() + static_cast<std::size_t>(y) * row_bytes, row_bytes) != 0)
            std::abort();
    return 0;
}
