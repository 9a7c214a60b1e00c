// DCX: a little-endian magic 987654321, a table of up to 1023 page offsets ending in a
// zero offset, then one PCX image at each offset. A page runs to the next greater offset
// or to the end of the file.
#include "base/Byte_order.h"
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kDcxMagic = 987654321u;
constexpr std::size_t kMaxPages = 1023;

} // namespace

int DecodeDcx(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    ctx.page_offsets.clear();
    if (bytes.size() < 4 || LoadDword(kLittleEndian, bytes.data()) != kDcxMagic)
        return kMagicError;
    std::vector<std::uint32_t> pages;
    std::size_t at = 4;
    for (;; at += 4) {
        if (at + 4 > bytes.size())
            return kDataError; // the table runs off the file without its zero entry
        const std::uint32_t offset = LoadDword(kLittleEndian, bytes.data() + at);
        if (offset == 0)
            break;
        if (pages.size() == kMaxPages)
            return kDataError;
        pages.push_back(offset);
    }
    const std::size_t table_end = at + 4;
    for (std::uint32_t offset : pages)
        if (offset < table_end || offset >= bytes.size())
            return kDataError;
    if (pages.empty())
        return kDataError;
    if (ctx.page_index < 0 || static_cast<std::size_t>(ctx.page_index) >= pages.size())
        return kDataError;

    const std::uint32_t start = pages[static_cast<std::size_t>(ctx.page_index)];
    std::size_t end = bytes.size();
    for (std::uint32_t offset : pages)
        if (offset > start)
            end = std::min<std::size_t>(end, offset);
    ctx.page_offsets = std::move(pages);
    const int rc = DecodePcx(ctx, bytes.subspan(start, end - start));
    // A page that is no PCX image is broken data inside a good container.
    return rc == kMagicError ? kDataError : rc;
}
