// The row sinks of Row_stream.h. Headers, settings and row layouts are the writers' own
// (Ppm_w, Pgm_rw, Tga_rw, Sun_w, Jpeg_w, Tiff_w and the display bitmap's BMP save), so a
// streamed file is the file the writer makes of the same picture.
#include "base/Byte_order.h"
#include "base/Pixel_ops.h"
#include "base/Replace_file.h"
#include "base/Result_codes.h"
#include "dec_enc/Jpeg_err.h"
#include "dec_enc/Png_encoder.h"
#include "dec_enc/Row_stream.h"
#include "dec_enc/Tiff_io.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// Rows written in order after a header, each converted into a row buffer first.
class OrderedSink : public RowSink {
public:
    using Convert = void (*)(const std::uint8_t* bgr, std::size_t width, std::uint8_t* out);
    OrderedSink(FilePtr f, std::size_t width, std::size_t out_bytes, Convert convert)
        : f_(std::move(f)), width_(width), row_(out_bytes, 0), convert_(convert)
    {
    }
    int WriteRow(const std::uint8_t* bgr) override
    {
        convert_(bgr, width_, row_.data());
        return std::fwrite(row_.data(), 1, row_.size(), f_.get()) == row_.size() ? kOk : kOpenFileError;
    }
    int Finish() override { return FinishWrite(std::move(f_)); }

private:
    FilePtr f_;
    std::size_t width_;
    std::vector<std::uint8_t> row_;
    Convert convert_;
};

void ToRgb(const std::uint8_t* bgr, std::size_t w, std::uint8_t* out) { SwapRedBlue(bgr, out, w); }
void ToGreen(const std::uint8_t* bgr, std::size_t w, std::uint8_t* out)
{
    for (std::size_t x = 0; x < w; ++x)
        out[x] = bgr[3 * x + 1];
}
void AsIs(const std::uint8_t* bgr, std::size_t w, std::uint8_t* out) { std::memcpy(out, bgr, w * 3); }

// Rows stored bottom up: row y goes to first + (height - 1 - y) × stride.
class BottomUpSink : public RowSink {
public:
    BottomUpSink(FilePtr f, std::int32_t height, std::size_t first, std::size_t stride)
        : f_(std::move(f)), height_(height), first_(first), row_(stride, 0)
    {
    }
    int WriteRow(const std::uint8_t* bgr) override
    {
        const std::size_t at = first_ + static_cast<std::size_t>(height_ - 1 - y_) * row_.size();
        std::memcpy(row_.data(), bgr, std::min(row_.size(), row_bytes));
        ++y_;
        return fseeko(f_.get(), static_cast<off_t>(at), SEEK_SET) == 0 &&
                       std::fwrite(row_.data(), 1, row_.size(), f_.get()) == row_.size()
                   ? kOk
                   : kOpenFileError;
    }
    int Finish() override { return FinishWrite(std::move(f_)); }
    std::size_t row_bytes = 0; // the picture bytes of a row; the rest is zero padding

private:
    FilePtr f_;
    std::int32_t height_;
    std::size_t first_;
    std::vector<std::uint8_t> row_;
    std::int32_t y_ = 0;
};

class PngSink : public RowSink {
public:
    PngSink(FilePtr f, std::int32_t w, std::int32_t h)
        : f_(std::move(f)), png_(f_.get(), w, h, PngEncoder::Mode::Streaming, unused_)
    {
    }
    int Start() { return png_.Start(); }
    int WriteRow(const std::uint8_t* bgr) override { return png_.AddRow(bgr); }
    int Finish() override
    {
        if (int rc = png_.Finish(); rc != kOk)
            return rc;
        return FinishWrite(std::move(f_));
    }

private:
    FilePtr f_;
    PixelBuffer unused_;
    PngEncoder png_;
};

class JpegSink : public RowSink {
public:
    explicit JpegSink(FilePtr f) : f_(std::move(f)) {}
    ~JpegSink() override
    {
        if (created_)
            jpeg_destroy_compress(&cinfo_);
    }
    // The writer's settings: quality 75 (baseline), floating-point DCT.
    int Start(std::int32_t w, std::int32_t h)
    {
        std::memset(&cinfo_, 0, sizeof cinfo_);
        cinfo_.err = InstallJpegErrors(err_);
        if (setjmp(err_.jump))
            return kUnknownError;
        jpeg_create_compress(&cinfo_);
        created_ = true;
        jpeg_stdio_dest(&cinfo_, f_.get());
        cinfo_.image_width = static_cast<JDIMENSION>(w);
        cinfo_.image_height = static_cast<JDIMENSION>(h);
        cinfo_.input_components = 3;
        cinfo_.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&cinfo_);
        jpeg_set_quality(&cinfo_, 75, TRUE);
        cinfo_.dct_method = JDCT_FLOAT;
        jpeg_start_compress(&cinfo_, TRUE);
        return kOk;
    }
    int WriteRow(const std::uint8_t* bgr) override
    {
        if (setjmp(err_.jump))
            return std::ferror(f_.get()) != 0 ? kOpenFileError : kUnknownError;
        JSAMPROW row = const_cast<std::uint8_t*>(bgr);
        jpeg_write_scanlines(&cinfo_, &row, 1);
        return kOk;
    }
    int Finish() override
    {
        if (setjmp(err_.jump))
            return std::ferror(f_.get()) != 0 ? kOpenFileError : kUnknownError;
        jpeg_finish_compress(&cinfo_);
        return FinishWrite(std::move(f_));
    }

private:
    FilePtr f_;
    JPEG_ERROR err_;
    jpeg_compress_struct cinfo_;
    bool created_ = false;
};

class TiffSink : public RowSink {
public:
    TiffSink(TiffPtr tif, std::int32_t w, std::int32_t h) : tif_(std::move(tif)), row_(static_cast<std::size_t>(w) * 3)
    {
        SetRgbFields(tif_.get(), static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h));
    }
    int WriteRow(const std::uint8_t* bgr) override
    {
        SwapRedBlue(bgr, row_.data(), row_.size() / 3);
        if (TIFFWriteScanline(tif_.get(), row_.data(), y_++, 0) < 0) {
            NoteWriteError(errno);
            return kOpenFileError;
        }
        return kOk;
    }
    int Finish() override
    {
        if (TIFFFlush(tif_.get()) != 1) {
            NoteWriteError(errno);
            return kOpenFileError;
        }
        tif_.reset();
        return kOk;
    }

private:
    TiffPtr tif_;
    std::vector<std::uint8_t> row_;
    std::uint32_t y_ = 0;
};

std::unique_ptr<RowSink> OpenSink(RowFormat format, const std::string& path, std::int32_t w, std::int32_t h, int& rc)
{
    const auto width = static_cast<std::size_t>(w);
    if (format == RowFormat::Tiff) {
        TiffPtr tif = OpenTiff(path, "w");
        if (!tif) {
            NoteWriteError(errno);
            return nullptr;
        }
        return std::make_unique<TiffSink>(std::move(tif), w, h);
    }
    FilePtr f = OpenForWrite(path);
    if (!f)
        return nullptr;
    rc = kOk;
    switch (format) {
    case RowFormat::Ppm:
        std::fprintf(f.get(), "P6\n#Created using Oxbel 1.0\n%d %d\n255\n", w, h);
        return std::make_unique<OrderedSink>(std::move(f), width, width * 3, ToRgb);
    case RowFormat::Pgm:
        std::fprintf(f.get(), "P5\n#PGM file generated by Oxbel 1.0\n%d %d\n255\n", w, h);
        return std::make_unique<OrderedSink>(std::move(f), width, width, ToGreen);
    case RowFormat::Sun: {
        const std::size_t padded = width * 3 + (width * 3 & 1);
        const std::uint32_t words[8] = {0x59A66A95u, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), 24u,
                                        static_cast<std::uint32_t>(padded * static_cast<std::size_t>(h)), 0u, 0u, 0u};
        for (std::uint32_t word : words)
            WriteDword(kBigEndian, word, f.get());
        return std::make_unique<OrderedSink>(std::move(f), width, padded, AsIs);
    }
    case RowFormat::Tga: {
        if (w > 0xFFFF || h > 0xFFFF) {
            rc = kImageTooLarge;
            return nullptr;
        }
        std::uint8_t header[18] = {};
        header[2] = 2;
        StoreWord(kLittleEndian, static_cast<std::uint32_t>(w), header + 12);
        StoreWord(kLittleEndian, static_cast<std::uint32_t>(h), header + 14);
        header[16] = 24;
        std::fwrite(header, 1, sizeof header, f.get());
        auto sink = std::make_unique<BottomUpSink>(std::move(f), h, 18, width * 3);
        sink->row_bytes = width * 3;
        return sink;
    }
    case RowFormat::Bmp: {
        const std::size_t stride = (width * 3 + 3) / 4 * 4;
        const std::uint64_t image = std::uint64_t{stride} * static_cast<std::uint64_t>(h);
        if (image > 0xFFFFFFFFu - 54) {
            rc = kImageTooLarge;
            return nullptr;
        }
        std::uint8_t header[54] = {'B', 'M'};
        StoreDword(kLittleEndian, static_cast<std::uint32_t>(54 + image), header + 2);
        StoreDword(kLittleEndian, 54, header + 10);
        StoreDword(kLittleEndian, 40, header + 14);
        StoreDword(kLittleEndian, static_cast<std::uint32_t>(w), header + 18);
        StoreDword(kLittleEndian, static_cast<std::uint32_t>(h), header + 22);
        StoreWord(kLittleEndian, 1, header + 26);
        StoreWord(kLittleEndian, 24, header + 28);
        StoreDword(kLittleEndian, static_cast<std::uint32_t>(image), header + 34);
        StoreDword(kLittleEndian, 2835, header + 38); // 72 dpi
        StoreDword(kLittleEndian, 2835, header + 42);
        std::fwrite(header, 1, sizeof header, f.get());
        auto sink = std::make_unique<BottomUpSink>(std::move(f), h, 54, stride);
        sink->row_bytes = width * 3;
        return sink;
    }
    case RowFormat::Png: {
        auto sink = std::make_unique<PngSink>(std::move(f), w, h);
        if (rc = sink->Start(); rc != kOk)
            return nullptr;
        return sink;
    }
    case RowFormat::Jpeg: {
        auto sink = std::make_unique<JpegSink>(std::move(f));
        if (rc = sink->Start(w, h); rc != kOk)
            return nullptr;
        return sink;
    }
    default:
        rc = kFormatNotSupported;
        return nullptr;
    }
}

} // namespace

std::unique_ptr<RowSink> OpenRowSink(RowFormat format, const std::string& path, std::int32_t width,
                                     std::int32_t height, int& rc)
{
    rc = kOpenFileError;
    if (width < 1 || height < 1) {
        rc = kDataError;
        return nullptr;
    }
    try {
        return OpenSink(format, path, width, height, rc);
    } catch (...) {
        rc = kMemoryError;
        return nullptr;
    }
}
