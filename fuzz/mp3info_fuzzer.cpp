// libFuzzer target for the MPEG audio and ID3v1 walk over bytes, with the facts it must
// keep whatever the input: a frame count only with the frames flag, a mean rate from the
// rate tables, a genre name only for the list's indices, and tag texts that read the same
// once made UTF-8.
#include "audio/Mp3info.h"

#include <cstdint>
#include <cstring>
#include <span>

namespace {

void Check(bool fact)
{
    if (!fact)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CMP3INFO info;
    info.ParseBytes(std::span<const std::uint8_t>(data, size));
    Check((info.frame_count != 0) == ((info.flags & CMP3INFO::kHasFrames) != 0));
    Check(info.bit_rate >= 0 && info.bit_rate <= 448);
    Check(info.length >= 0);
    Check(info.genre >= 0 && info.genre <= 255);
    Check((info.flags & CMP3INFO::kHasTag) != 0 || info.genre == 255);
    Check((std::strlen(info.GenreName()) != 0) == (info.genre < 148));
    for (const std::string* text : {&info.title, &info.artist, &info.album, &info.comment, &info.year}) {
        Check(text->size() <= 30);
        const std::string utf8 = TextAsUtf8(*text);
        Check(TextAsUtf8(utf8) == utf8);
    }
    return 0;
}
