// libFuzzer target for the key-file editing of mimeapps.list and desktop entries: any
// bytes as the file. A key set reads back as set, setting it again changes nothing, and a
// desktop list survives a join and a split.
#include "system/Xdg_text.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    constexpr std::string_view kSection = "Default Applications";
    constexpr std::string_view kKey = "image/png";
    constexpr std::string_view kValue = "ravelscope.desktop;other.desktop;";

    if (const auto old = KeyFileGet(text, kSection, kKey)) {
        const std::vector<std::string> entries = SplitDesktopList(*old);
        if (SplitDesktopList(JoinDesktopList(entries)) != entries)
            std::abort();
    }
    const std::string set = KeyFileSet(text, kSection, kKey, kValue);
    if (KeyFileGet(set, kSection, kKey) != std::string(kValue))
        std::abort();
    if (KeyFileSet(set, kSection, kKey, kValue) != set)
        std::abort();
    const std::string removed = KeyFileRemove(set, kSection, kKey);
    if (removed.size() >= set.size())
        std::abort();
    (void)DesktopExecQuote(text);
    (void)FileUri(text);
    return 0;
}
