// TIFF writing through libtiff: 8-bit RGB, contiguous samples, LZW with horizontal
// differencing (predictor 2: about a third smaller on photographs, and quicker to code),
// strips of libtiff's default size (about 8 KiB), from the rows of SourceRow(). Width and
// height are written as 32-bit values.
#include "base/Pixel_ops.h"
#include "base/Replace_file.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Tiff_io.h"

#include <cerrno>

namespace {

int QuietHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

} // namespace

void SetRgbFields(TIFF* t, std::uint32_t width, std::uint32_t height)
{
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
}

TiffPtr OpenTiff(const std::string& path, const char* mode)
{
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    if (opts == nullptr)
        return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(opts, QuietHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, QuietHandler, nullptr);
    TiffPtr tif(TIFFOpenExt(path.c_str(), mode, opts));
    TIFFOpenOptionsFree(opts);
    return tif;
}

int WriteTiff(CODEC_CTX& ctx)
{
    if (ctx.width < 1 || ctx.height < 1 || !ctx.HasSourceRows())
        return kDataError;
    const std::size_t row_bytes = ctx.RowBytes();
    if (int rc = ctx.row.Reserve(row_bytes); rc != kOk)
        return rc;
    // libtiff writes through its own descriptor: the system's error is taken as each call
    // that failed returns.
    TiffPtr tif = OpenTiff(ctx.output_file_name, "w");
    if (!tif) {
        NoteWriteError(errno);
        return kOpenFileError;
    }
    TIFF* t = tif.get();
    SetRgbFields(t, static_cast<std::uint32_t>(ctx.width), static_cast<std::uint32_t>(ctx.height));
    std::uint8_t* row = ctx.row.data();
    for (int y = 0; y < ctx.height; ++y) {
        SwapRedBlue(ctx.SourceRow(y), row, static_cast<std::size_t>(ctx.width));
        if (TIFFWriteScanline(t, row, static_cast<std::uint32_t>(y), 0) < 0) {
            NoteWriteError(errno);
            return kOpenFileError;
        }
    }
    if (TIFFFlush(t) != 1) {
        NoteWriteError(errno);
        return kOpenFileError;
    }
    return kOk;
}
