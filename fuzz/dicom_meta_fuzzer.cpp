// libFuzzer target for the checks a DICOM file passes before the decoding helper sees it:
// the meta group made for a bare data set and the walk over the element lengths, over any
// bytes. A made meta group starts the file with the preamble and "DICM" and keeps the data
// set (less up to three stray bytes before it) whole at the end.
#include "dec_enc/Dicom_meta.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    (void)DicomLengthsFit(bytes);
    const std::vector<std::uint8_t> made = WithDicomMetaGroup(bytes);
    if (!made.empty()) {
        if (made.size() < 132 + size - 3 || std::memcmp(made.data() + 128, "DICM", 4) != 0)
            std::abort();
        bool whole = false;
        for (std::size_t skip = 0; skip < 4 && skip <= size && !whole; ++skip)
            whole = std::memcmp(made.data() + made.size() - (size - skip), data + skip, size - skip) == 0;
        if (!whole)
            std::abort();
    }
    std::vector<std::uint8_t> kept;
    std::span<const std::uint8_t> out;
    (void)PrepareDicomBytes(bytes, kept, out);
    return 0;
}
