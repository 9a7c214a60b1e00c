#include "base/Result_codes.h"

const RESULT_TEXT kResultTexts[10] = {
    {kOk, ""},
    {kOpenFileError, "Open File Error."},
    {kMagicError, "Magic Error"},
    {kDataError, "Data Error."},
    {kMemoryError, "Memory Error."},
    {kFormatNotSupported, "Format Not Support."},
    {kCompressionNotSupported, "Compression Not Support."},
    {kImageTooLarge, "Image Too Large."},
    {kBitDepthNotSupported, "Bit Depth Not Support."},
    {kUnknownError, "Unknown Error."},
};

const char* ResultText(std::int32_t code)
{
    for (const RESULT_TEXT& r : kResultTexts)
        if (r.code == code)
            return r.text;
    return "";
}

std::string ResultTextWithReason(std::int32_t code, const std::string& reason)
{
    std::string text = ResultText(code);
    if (!reason.empty())
        text += (text.empty() ? "(" : " (") + reason + ")";
    return text;
}
