// PNG reading and writing through libpng.
//
// Reading: every colour type and depth goes through libpng's transformations to 8-bit
// blue, green, red rows that libpng writes straight into the decoded pixel buffer (or
// into the scan lines of the caller's direct target): palettes and low
// bit depths are expanded, 16-bit samples scaled to 8 bits, grey spread to three
// channels, and alpha (an alpha channel or a tRNS chunk) composited on white.
// Depth reported: 24 for RGB, 32 for RGBA, 8 for palette and grey files; compression
// method 0 is named "LZ77". Pictures wider and taller than 4096 are refused.
//
// Writing: 8-bit RGB, not interlaced, through PngEncoder (adaptive filters, level 6) from
// the rows of SourceRow().
//
// libpng reports errors by a long jump; the functions that set the jump point hold no
// object with a destructor, so the jump skips nothing that needs releasing.
#include "base/Byte_order.h"
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Png_encoder.h"
#include "dec_enc/Png_read.h"

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint8_t kPngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

void SilentWarning(png_structp, png_const_charp) {}

bool SizeRowTable(CODEC_CTX& ctx, std::size_t rows) noexcept
{
    try {
        ctx.row_pointers.resize(rows);
        return true;
    } catch (...) {
        return false;
    }
}

// The reader's error handler: libpng's message becomes the reason, unless the reader gave
// one already. Our read callback's "Read Error" means the bytes ran out.
void JumpOnReadError(png_structp png, png_const_charp message)
{
    if (auto* ctx = static_cast<CODEC_CTX*>(png_get_error_ptr(png)); ctx != nullptr && ctx->failure_reason.empty())
        ctx->failure_reason = std::strcmp(message, "Read Error") == 0 ? kReasonEndsEarly : message;
    png_longjmp(png, 1);
}

// libpng's allocations go through here, each refused above a limit: no chunk can hold more
// than the file (inflated text and profiles get 8 MiB), and once the header is known the
// row buffers get room for their width. A damaged chunk length otherwise had libpng
// allocate and clear hundreds of megabytes for a file of a few hundred bytes.
struct PngMemory {
    png_alloc_size_t limit = 0;
};

png_voidp LimitedMalloc(png_structp png, png_alloc_size_t size)
{
    const auto* memory = static_cast<const PngMemory*>(png_get_mem_ptr(png));
    return size <= memory->limit ? std::malloc(size) : nullptr;
}

void LimitedFree(png_structp, png_voidp p)
{
    std::free(p);
}

// libpng reads the file's bytes through here; running out is a read error, as on a stream.
struct PngInput {
    ByteCursor in;
    const CODEC_CTX& ctx; // gives back the file's pages behind the cursor
};

void ReadFromCursor(png_structp png, png_bytep data, std::size_t length)
{
    auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
    if (input->in.Read(data, length) != length)
        png_error(png, "Read Error");
    input->ctx.ReleaseInputBefore(input->in.Bytes().data() + input->in.Pos());
}

// Sets up the transformations and reads the picture from the file's bytes.
int DecodePngBytes(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    PngInput input {ByteCursor(bytes), ctx};
    PngMemory memory;
    memory.limit = static_cast<png_alloc_size_t>(std::max<std::size_t>(bytes.size(), 8 << 20));
    png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &ctx, JumpOnReadError, SilentWarning, &memory,
                                               LimitedMalloc, LimitedFree);
    if (png == nullptr)
        return kMemoryError;
    png_infop info = png_create_info_struct(png);
    png_infop end_info = info != nullptr ? png_create_info_struct(png) : nullptr;
    if (end_info == nullptr) {
        png_destroy_read_struct(&png, &info, nullptr);
        return kMemoryError;
    }
    // Set before the jump point: a value changed after setjmp is unreliable after the jump.
    volatile int rc = kUnknownError;
    volatile bool filling = false;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, &end_info);
        if (filling) // a picture that breaks off shows no half-written rows
            for (std::uint8_t* row : ctx.row_pointers)
                std::memset(row, 0, ctx.RowBytes());
        return rc;
    }
    png_set_read_fn(png, &input, ReadFromCursor);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, nullptr, 0);
    // Every chunk's CRC is still checked; the zlib stream's own Adler-32 over the whole
    // raster adds nothing to that and costs a pass over the inflated data.
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bit_depth = 0, colour_type = 0, interlace = 0, compression = 0, filter = 0;
    png_get_IHDR(png, info, &width, &height, &bit_depth, &colour_type, &interlace, &compression, &filter);
    memory.limit = std::max<png_alloc_size_t>(memory.limit, png_alloc_size_t{width} * 16 + 65536);
    if (width > 4096 && height > 4096) {
        rc = Refuse(ctx, kImageTooLarge, kReasonOver4096);
        png_longjmp(png, 1);
    }
    if (width == 0 || height == 0) {
        rc = Refuse(ctx, kDataError, "the header gives the picture no width or no height");
        png_longjmp(png, 1);
    }
    if (compression == PNG_COMPRESSION_TYPE_BASE)
        ctx.compression_name = "LZ77";
    if (PictureBytes(width, height, 3) == SIZE_MAX) {
        rc = Refuse(ctx, kImageTooLarge, "the picture would take more than 1 GiB");
        png_longjmp(png, 1);
    }
    // The compressed rows (each with its filter byte) must fit in the file before the
    // buffers are sized for them.
    const std::uint64_t packed_row =
        (static_cast<std::uint64_t>(width) * png_get_channels(png, info) * static_cast<unsigned>(bit_depth) + 7) / 8;
    if (!ClaimFits((packed_row + 1) * height, bytes.size(), expansion::kDeflate)) {
        rc = Refuse(ctx, kDataError, kReasonTooShort);
        png_longjmp(png, 1);
    }

    if (colour_type == PNG_COLOR_TYPE_PALETTE) {
        png_colorp palette = nullptr;
        int entries = 0;
        if (png_get_PLTE(png, info, &palette, &entries) != 0) {
            std::memset(ctx.palette, 0, sizeof ctx.palette);
            for (int i = 0; i < entries && i < 256; ++i) {
                ctx.palette[3 * i] = palette[i].blue;
                ctx.palette[3 * i + 1] = palette[i].green;
                ctx.palette[3 * i + 2] = palette[i].red;
            }
        }
    }
    AskForBgrOverWhite(png, info, colour_type);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<std::size_t>(width) * 3) {
        rc = Refuse(ctx, kFormatNotSupported, "a PNG layout that does not turn into 24-bit rows");
        png_longjmp(png, 1);
    }

    ctx.width = static_cast<std::int32_t>(width);
    ctx.height = static_cast<std::int32_t>(height);
    ctx.bits_per_pixel = colour_type == PNG_COLOR_TYPE_RGB ? 24 : colour_type == PNG_COLOR_TYPE_RGB_ALPHA ? 32 : 8;
    int sized = ctx.ReserveTarget(width, height);
    if (sized != kOk) {
        rc = sized;
        png_longjmp(png, 1);
    }
    if (!SizeRowTable(ctx, height)) {
        rc = Refuse(ctx, kMemoryError, "not enough memory for the picture");
        png_longjmp(png, 1);
    }
    for (png_uint_32 y = 0; y < height; ++y)
        ctx.row_pointers[y] = ctx.TargetRow(static_cast<int>(y));
    filling = true;
    png_read_image(png, ctx.row_pointers.data());
    png_read_end(png, end_info);
    png_destroy_read_struct(&png, &info, &end_info);
    return kOk;
}

} // namespace

int DecodePng(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    const std::uint8_t* head = bytes.data();
    const std::size_t got = std::min<std::size_t>(bytes.size(), 24);
    if (got < 8 || std::memcmp(head, kPngSignature, 8) != 0)
        return Refuse(ctx, kMagicError, "no PNG signature");
    // The size in the header chunk, before libpng (which refuses a zero size as a
    // damaged header) sees it.
    if (got == 24 && std::memcmp(head + 12, "IHDR", 4) == 0) {
        const std::uint32_t w = LoadDword(kBigEndian, head + 16), h = LoadDword(kBigEndian, head + 20);
        if (w > 4096 && h > 4096)
            return Refuse(ctx, kImageTooLarge, kReasonOver4096);
        if (w == 0 || h == 0)
            return Refuse(ctx, kDataError, "the header gives the picture no width or no height");
    }
    return DecodePngBytes(ctx, bytes);
}

int WritePng(CODEC_CTX& ctx)
{
    if (ctx.width < 1 || ctx.height < 1 || !ctx.HasSourceRows())
        return kDataError;
    FilePtr f = OpenForWrite(ctx.output_file_name);
    if (!f)
        return kOpenFileError;
    PngEncoder png(f.get(), ctx.width, ctx.height, PngEncoder::Mode::Whole, ctx.save_rows);
    int rc = png.Start();
    for (int y = 0; y < ctx.height && rc == kOk; ++y)
        rc = png.AddRow(ctx.SourceRow(y));
    if (rc == kOk)
        rc = png.Finish();
    if (rc != kOk)
        return rc;
    return FinishWrite(std::move(f));
}
