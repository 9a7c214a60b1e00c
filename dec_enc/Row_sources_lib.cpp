// The row sources of Row_stream.h over the libraries: PNG (libpng, the reader's
// transformations, a row at a time), JPEG (libjpeg, blue-green-red output with the
// floating-point DCT) and TIFF (libtiff scan lines through the reader's conversion).
//
// libpng and libjpeg report errors by a long jump; the functions that set a jump point
// hold no object with a destructor across it.
#include "base/Result_codes.h"
#include "dec_enc/Exif.h"
#include "dec_enc/Jpeg_source.h"
#include "dec_enc/Png_read.h"
#include "dec_enc/Row_stream.h"
#include "dec_enc/Tiff_io.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void PngJump(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngQuiet(png_structp, png_const_charp) {}

struct PngLimit {
    png_alloc_size_t limit = 0;
};

png_voidp PngMalloc(png_structp png, png_alloc_size_t size)
{
    return size <= static_cast<const PngLimit*>(png_get_mem_ptr(png))->limit ? std::malloc(size) : nullptr;
}

void PngFree(png_structp, png_voidp p) { std::free(p); }

class PngRows : public RowSource {
public:
    PngRows(std::span<const std::uint8_t> bytes, MappedFile* map) : in_(bytes), map_(map) {}
    ~PngRows() override
    {
        if (png_ != nullptr)
            png_destroy_read_struct(&png_, &info_, nullptr);
    }

    // Reads the header and sets up the reader's transformations; false to decline.
    bool Start()
    {
        limit_.limit = std::max<png_alloc_size_t>(in_.Size(), 8 << 20);
        png_ = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, PngJump, PngQuiet, &limit_, PngMalloc, PngFree);
        if (png_ == nullptr)
            return false;
        info_ = png_create_info_struct(png_);
        if (info_ == nullptr || setjmp(png_jmpbuf(png_)))
            return false;
        png_set_read_fn(png_, this, Read);
        png_set_keep_unknown_chunks(png_, PNG_HANDLE_CHUNK_ALWAYS, nullptr, 0);
        png_set_option(png_, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
        png_read_info(png_, info_);
        png_uint_32 w = 0, h = 0;
        int depth = 0, colour = 0, interlace = 0;
        png_get_IHDR(png_, info_, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
        if (interlace != PNG_INTERLACE_NONE || w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF)
            return false;
        // The compressed rows must fit in the file, as the reader checks.
        const std::uint64_t packed_row =
            (std::uint64_t{w} * png_get_channels(png_, info_) * static_cast<unsigned>(depth) + 7) / 8;
        if (!ClaimFits((packed_row + 1) * h, in_.Size(), expansion::kDeflate))
            return false;
        limit_.limit = std::max<png_alloc_size_t>(limit_.limit, png_alloc_size_t{w} * 16 + 65536);
        AskForBgrOverWhite(png_, info_, colour);
        png_read_update_info(png_, info_);
        if (png_get_rowbytes(png_, info_) != std::size_t{w} * 3)
            return false;
        width_ = static_cast<std::int32_t>(w);
        height_ = static_cast<std::int32_t>(h);
        return true;
    }

    int ReadRow(std::uint8_t* bgr) override
    {
        if (setjmp(png_jmpbuf(png_)))
            return kUnknownError; // the reader fails such a file too
        png_read_row(png_, bgr, nullptr);
        return kOk;
    }

private:
    static void Read(png_structp png, png_bytep data, std::size_t length)
    {
        auto* self = static_cast<PngRows*>(png_get_io_ptr(png));
        if (self->in_.Read(data, length) != length)
            png_error(png, "Read Error");
        if (self->map_ != nullptr)
            self->map_->ReleaseBefore(self->in_.Bytes().data() + self->in_.Pos());
    }

    ByteCursor in_;
    MappedFile* map_;
    PngLimit limit_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

class JpegRows : public RowSource {
public:
    JpegRows(std::span<const std::uint8_t> bytes, MappedFile* map) : bytes_(bytes), map_(map) {}
    ~JpegRows() override
    {
        if (created_)
            jpeg_destroy_decompress(&cinfo_);
    }

    bool Start()
    {
        // A turned picture is turned by the document after the read.
        const int turn = ExifOrientation(bytes_.first(std::min<std::size_t>(bytes_.size(), 256 * 1024)));
        if (bytes_.size() < 2 || bytes_[0] != 0xFF || bytes_[1] != 0xD8 || (turn >= 2 && turn <= 8))
            return false;
        std::memset(&cinfo_, 0, sizeof cinfo_);
        cinfo_.err = InstallJpegErrors(err_);
        if (setjmp(err_.jump))
            return false;
        jpeg_create_decompress(&cinfo_);
        created_ = true;
        cinfo_.mem->max_memory_to_use = 1L << 30;
        AttachJpegBytes(&cinfo_, source_, bytes_, nullptr);
        jpeg_read_header(&cinfo_, TRUE);
        if (cinfo_.jpeg_color_space != JCS_GRAYSCALE && cinfo_.jpeg_color_space != JCS_YCbCr &&
            cinfo_.jpeg_color_space != JCS_RGB)
            return false;
        // A header that claims more blocks than the file could encode, as the reader refuses.
        if (!cinfo_.arith_code && !ClaimFits(std::uint64_t{cinfo_.image_width} * cinfo_.image_height, bytes_.size(),
                                             expansion::kJpegHuffman))
            return false;
        cinfo_.out_color_space = JCS_EXT_BGR;
        cinfo_.dct_method = JDCT_FLOAT;
        jpeg_start_decompress(&cinfo_);
        if (cinfo_.output_width > 0x7FFFFFFF || cinfo_.output_height > 0x7FFFFFFF)
            return false;
        width_ = static_cast<std::int32_t>(cinfo_.output_width);
        height_ = static_cast<std::int32_t>(cinfo_.output_height);
        return true;
    }

    int ReadRow(std::uint8_t* bgr) override
    {
        if (setjmp(err_.jump))
            return kUnknownError;
        JSAMPROW row = bgr;
        if (jpeg_read_scanlines(&cinfo_, &row, 1) != 1)
            return kDataError;
        if (map_ != nullptr)
            map_->ReleaseBefore(cinfo_.src->next_input_byte);
        return kOk;
    }

private:
    std::span<const std::uint8_t> bytes_;
    MappedFile* map_;
    JPEG_ERROR err_;
    jpeg_decompress_struct cinfo_;
    JpegByteSource source_;
    bool created_ = false;
};

class TiffRows : public RowSource {
public:
    TiffRows(std::span<const std::uint8_t> bytes, MappedFile* map) : in_{bytes}, map_(map) {}

    bool Start()
    {
        tif_ = OpenTiffBytes("", in_);
        if (!tif_)
            return false;
        TIFF_LAYOUT l;
        std::uint16_t compression = 0;
        if (ReadTiffLayout(tif_.get(), l, compression) != kOk || !l.scanlines ||
            !TiffDataCanBeInFile(l, compression, in_.bytes.size()) || l.width > 0x7FFFFFFF ||
            l.height > 0x7FFFFFFF || rows_.Start(tif_.get(), l) != kOk)
            return false;
        line_.resize(rows_.line_bytes);
        std::uint64_t* offsets = nullptr;
        std::uint32_t per_strip = 0;
        if (TIFFGetField(tif_.get(), TIFFTAG_STRIPOFFSETS, &offsets) == 1 &&
            TIFFGetFieldDefaulted(tif_.get(), TIFFTAG_ROWSPERSTRIP, &per_strip) == 1 && per_strip > 0) {
            per_strip_ = per_strip;
            offsets_.assign(offsets, offsets + TIFFNumberOfStrips(tif_.get()));
            ascending_ = std::is_sorted(offsets_.begin(), offsets_.end());
        }
        width_ = static_cast<std::int32_t>(l.width);
        height_ = static_cast<std::int32_t>(l.height);
        return true;
    }

    int ReadRow(std::uint8_t* bgr) override
    {
        // A scan line that cannot be read ends the picture in black, as in the reader.
        if (failed_ || TIFFReadScanline(tif_.get(), line_.data(), y_, 0) < 0) {
            failed_ = true;
            std::memset(bgr, 0, static_cast<std::size_t>(width_) * 3);
        } else {
            rows_.ToBgr(line_.data(), bgr);
        }
        const std::size_t strip = y_ / per_strip_;
        if (map_ != nullptr && ascending_ && strip < offsets_.size())
            map_->ReleaseBefore(static_cast<std::size_t>(offsets_[strip]));
        ++y_;
        return kOk;
    }

private:
    TIFF_BYTES in_;
    MappedFile* map_;
    TiffPtr tif_;
    TIFF_SCANLINES rows_;
    std::vector<std::uint8_t> line_;
    std::vector<std::uint64_t> offsets_;
    std::uint32_t per_strip_ = 1;
    bool ascending_ = false;
    bool failed_ = false;
    std::uint32_t y_ = 0;
};

template <typename Source>
std::unique_ptr<RowSource> Started(std::span<const std::uint8_t> bytes, MappedFile* map)
{
    auto src = std::make_unique<Source>(bytes, map);
    if (!src->Start())
        return nullptr;
    return src;
}

} // namespace

std::unique_ptr<RowSource> OpenPngRows(std::span<const std::uint8_t> bytes, MappedFile* map)
{
    static constexpr std::uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0)
        return nullptr;
    return Started<PngRows>(bytes, map);
}

std::unique_ptr<RowSource> OpenJpegRows(std::span<const std::uint8_t> bytes, MappedFile* map)
{
    return Started<JpegRows>(bytes, map);
}

std::unique_ptr<RowSource> OpenTiffRows(std::span<const std::uint8_t> bytes, MappedFile* map)
{
    return Started<TiffRows>(bytes, map);
}
