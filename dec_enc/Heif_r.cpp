// HEIF and HEIC: libheif and its HEVC decoder run in the decoding helper
// (decoder/Heif_reader.cpp); this side starts one only for bytes that open with a file-type
// box, so that a file of another kind costs no process.
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Decode_helper.h"

#include <cstring>

int DecodeHeif(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 12 || std::memcmp(bytes.data() + 4, "ftyp", 4) != 0)
        return kMagicError;
    return DecodeInHelper(ctx, HelperReader::kHeif, bytes);
}
