#include "core/Stream_convert.h"

#include "base/File_io.h"
#include "core/Imageinfo.h"
#include "base/Replace_file.h"
#include "base/Result_codes.h"
#include "dec_enc/Row_stream.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

// JPEG outputs take the document path: the document's writer encodes at the chosen
// quality and carries the source's Exif block, ICC profile and comment, which a stream of
// rows has no way to hand on.
bool SinkFor(std::int32_t save_code, RowFormat& format)
{
    switch (save_code) {
    case kSavePpm: format = RowFormat::Ppm; return true;
    case kSavePgm: format = RowFormat::Pgm; return true;
    case kSaveBmp: format = RowFormat::Bmp; return true;
    case kSaveTga: format = RowFormat::Tga; return true;
    case kSaveSun: format = RowFormat::Sun; return true;
    case kSavePng: format = RowFormat::Png; return true;
    case kSaveTiff: format = RowFormat::Tiff; return true;
    default: return false;
    }
}

} // namespace

StreamOutcome StreamConvert(const std::string& in, const std::string& out, std::int32_t save_code, int& rc,
                            int& sys_error, bool& reading)
{
    rc = kOk;
    sys_error = 0;
    reading = false;
    RowFormat format {};
    if (!SinkFor(save_code, format))
        return StreamOutcome::kNotStreamed;
    std::string ext = ExtensionOf(in);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    MappedFile file;
    if (file.Map(in) != kOk)
        return StreamOutcome::kNotStreamed; // the document path names the failure
    std::unique_ptr<RowSource> source = OpenRowSource(ext, file.Bytes(), &file);
    if (!source)
        return StreamOutcome::kNotStreamed;
    std::vector<std::uint8_t> row;
    try {
        row.resize(static_cast<std::size_t>(source->Width()) * 3);
    } catch (...) {
        rc = kMemoryError;
        return StreamOutcome::kFailed;
    }
    rc = ReplaceFileWith(
        out,
        [&](const std::string& path) -> int {
            int opened = kOk;
            std::unique_ptr<RowSink> sink = OpenRowSink(format, path, source->Width(), source->Height(), opened);
            if (!sink)
                return opened;
            for (std::int32_t y = 0; y < source->Height(); ++y) {
                if (int r = source->ReadRow(row.data()); r != kOk) {
                    reading = true;
                    return r;
                }
                if (int w = sink->WriteRow(row.data()); w != kOk)
                    return w;
            }
            return sink->Finish();
        },
        &sys_error);
    return rc == kOk ? StreamOutcome::kConverted : StreamOutcome::kFailed;
}
