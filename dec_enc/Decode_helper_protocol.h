// What the decoding helper (ravelscope-decoder, decoder/) and its client (dec_enc/Decode_helper)
// agree on: the readers the helper runs, its command line, its exit statuses and the reply
// it writes.
//
// Command line: ravelscope-decoder READER MEMORY_MIB CPU_SECONDS. The input file is the
// helper's standard input (a memfd holding the bytes, or an opened file); the reply goes to
// its standard output; standard error is /dev/null. Reply: one HELPER_REPLY, then
// icc_bytes of ICC profile, exif_bytes of Exif, comment_bytes of comment, then, for a
// success, height rows of width × 3 bytes (blue, green, red), top to bottom. The client
// trusts none of it: every size is checked against the picture cap and against the bytes
// that actually came.
#pragma once

#include <cstdint>

// Set where AddressSanitizer builds the helper and its client: its shadow memory takes far
// more address space than the helper's limit, so the helper then sets no address-space
// limit and the client asks the sanitizer's allocator to refuse large blocks instead.
#if defined(__SANITIZE_ADDRESS__)
#define RAVELSCOPE_HELPER_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RAVELSCOPE_HELPER_UNDER_ASAN 1
#endif
#endif

// The readers that run in the helper, one line each: X(enumerator, name on the helper's
// command line, what the messages call it, the helper's function, in decoder/Readers.cpp).
// A reader joins with a line here and its function there.
//
// kTest is for the tests alone: its input names what it does ("crash", "memory", "spin",
// "sleep", "picture", or "reply:" followed by the bytes to answer with).
#define RAVELSCOPE_HELPER_READERS(X)                                                                                  \
    X(kDicom, "dicom", "DICOM", ReadDicomInHelper)                                                                    \
    X(kHeif, "heif", "HEIF", ReadHeifInHelper)                                                                        \
    X(kTest, "test", "test", ReadTestInHelper)

enum class HelperReader : std::uint32_t {
#define RAVELSCOPE_HELPER_ENUMERATOR(id, name, what, function) id,
    RAVELSCOPE_HELPER_READERS(RAVELSCOPE_HELPER_ENUMERATOR)
#undef RAVELSCOPE_HELPER_ENUMERATOR
};

inline constexpr char kHelperProgram[] = "ravelscope-decoder";

// The helper's exit statuses besides a signal: 0 after a whole reply.
inline constexpr int kHelperExitUsage = 2;       // an unknown reader or bad limits
inline constexpr int kHelperExitOutOfMemory = 3; // an allocation failed (its memory limit)

struct HELPER_REPLY {
    char magic[4] = {'R', 'V', 'D', '2'};
    std::int32_t rc = 0;          // a result code (base/Result_codes.h)
    std::uint32_t width = 0;      // for a success
    std::uint32_t height = 0;
    std::int32_t bits_per_pixel = 0;
    std::uint32_t icc_bytes = 0;  // the meta data that follows
    std::uint32_t exif_bytes = 0;
    std::uint32_t comment_bytes = 0;
    std::uint64_t pixel_bytes = 0; // width × height × 3 for a success, else 0
    char compression[32] = {};     // NUL-terminated
    char reason[200] = {};         // why it failed, NUL-terminated; may be empty
    // The meta of a newer format (CODEC_CTX::PICTURE_META), for a success.
    std::int32_t colour_primaries = -1;
    std::int32_t transfer_characteristics = -1;
    std::int32_t matrix_coefficients = -1;
    std::int32_t bits_per_sample = 0;
    std::uint8_t full_range = 1;
    std::uint8_t alpha = 0;
    std::uint8_t padding[2] = {};
};
