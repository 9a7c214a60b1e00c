// Result codes shared by every reader, writer and dispatcher, with their fixed texts.
#pragma once

#include <cstdint>
#include <string>

enum : std::int32_t {
    kOk = 0,
    kOpenFileError = -1,
    kMagicError = -2,
    kDataError = -3,
    kMemoryError = -4,
    kFormatNotSupported = -5,
    kCompressionNotSupported = -6,
    kImageTooLarge = -7,
    kBitDepthNotSupported = -8,
    kUnknownError = -9,
};

struct RESULT_TEXT {
    std::int32_t code;
    char text[64];
};

// The one table of codes and texts.
extern const RESULT_TEXT kResultTexts[10];

// The fixed text of a code; "" for 0 and for codes outside the table.
const char* ResultText(std::int32_t code);

// How every result is shown to a person: the fixed text, then the reason in brackets when
// there is one: "Data Error. (the file ends early)". Readers and writers give their reason
// through CODEC_CTX::failure_reason; a system error's text comes through the overload in
// base/Replace_file.h.
std::string ResultTextWithReason(std::int32_t code, const std::string& reason);
