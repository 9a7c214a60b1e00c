// Conversion of a file into another a row at a time, without the document: the picture
// never stands in memory whole, so one larger than the document's limit converts too.
#pragma once

#include <cstdint>
#include <string>

enum class StreamOutcome : std::uint8_t {
    kNotStreamed, // the pair or the file's variant does not stream: nothing was written
    kConverted,
    kFailed, // the target is as it was; see the code and sys_error
};

// Converts in (its format named by its extension) to out in the format of save_code when
// both stream (dec_enc/Row_stream.h). The output replaces out only when complete
// (base/Replace_file). rc receives the result code of a failed conversion, sys_error the
// system's reason when there is one, and reading whether reading the input failed (a
// damaged file found past its header) rather than writing the output.
StreamOutcome StreamConvert(const std::string& in, const std::string& out, std::int32_t save_code, int& rc,
                            int& sys_error, bool& reading);
