// TIFF reading through libtiff: the first image of the file.
//
// Strip files with contiguous samples are read a scan line at a time: 1-bit bilevel (white
// and black as the photometric interpretation says), 8-bit palette (16-bit colour maps
// reduced to their high byte, maps below 256 used as they stand), 8-bit grey and 8-bit
// RGB. Every other layout that libtiff's RGBA interface knows (16-bit samples, alpha,
// separate planes, tiles, CMYK, YCbCr, LogLuv ...) goes through that interface; alpha is
// composited on white. Samples of 2 to 7 bits are refused, as are depths libtiff cannot
// convert, and headers that claim more pixels than the file can hold. A scan line that
// cannot be read ends the picture: that row and the rest are black. Depth reported: bits per sample × samples per pixel.
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Tiff_io.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

TIFF_BYTES& Bytes(thandle_t h) { return *static_cast<TIFF_BYTES*>(h); }

tmsize_t ReadBytes(thandle_t h, void* buf, tmsize_t size)
{
    TIFF_BYTES& b = Bytes(h);
    if (size < 0)
        return -1;
    const std::uint64_t left = b.pos >= b.bytes.size() ? 0 : b.bytes.size() - b.pos;
    const std::uint64_t n = std::min<std::uint64_t>(static_cast<std::uint64_t>(size), left);
    if (n != 0)
        std::memcpy(buf, b.bytes.data() + b.pos, static_cast<std::size_t>(n));
    b.pos += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteNothing(thandle_t, void*, tmsize_t) { return -1; }

toff_t SeekBytes(thandle_t h, toff_t off, int whence)
{
    TIFF_BYTES& b = Bytes(h);
    const std::uint64_t base = whence == SEEK_CUR ? b.pos : whence == SEEK_END ? b.bytes.size() : 0;
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END)
        return static_cast<toff_t>(-1);
    const std::uint64_t to = base + off; // offsets wrap like a file's signed off_t
    if (static_cast<std::int64_t>(to) < 0)
        return static_cast<toff_t>(-1);
    b.pos = to;
    return to;
}

int CloseNothing(thandle_t) { return 0; }

toff_t SizeOfBytes(thandle_t h) { return Bytes(h).bytes.size(); }

int MapBytes(thandle_t h, void** base, toff_t* size)
{
    const TIFF_BYTES& b = Bytes(h);
    if (b.bytes.empty())
        return 0;
    *base = const_cast<std::uint8_t*>(b.bytes.data()); // libtiff only reads a read-only map
    *size = b.bytes.size();
    return 1;
}

void UnmapNothing(thandle_t, void*, toff_t) {}

int QuietHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

} // namespace

TiffPtr OpenTiffBytes(const std::string& name, TIFF_BYTES& in)
{
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    if (opts == nullptr)
        return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(opts, QuietHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, QuietHandler, nullptr);
    TiffPtr tif(TIFFClientOpenExt(name.c_str(), "r", &in, ReadBytes, WriteNothing, SeekBytes, CloseNothing, SizeOfBytes,
                                  MapBytes, UnmapNothing, opts));
    TIFFOpenOptionsFree(opts);
    return tif;
}

namespace {

struct CompressionName {
    std::uint16_t value;
    const char* name;
};

constexpr CompressionName kCompressionNames[] = {
    {1, "None"},          {2, "CCITTRLE"},     {3, "CCITTFAX3"}, {4, "CCITTFAX4"},  {5, "LZW"},
    {6, "OJPEG"},         {7, "JPEG"},         {8, "Adobe Deflate"}, {32766, "NEXT"}, {32771, "CCITTRLEW"},
    {32773, "PACKBITS"},  {32809, "THUNDERSCAN"}, {32895, "IT8CTPAD"}, {32896, "IT8LW"}, {32897, "IT8MP"},
    {32898, "IT8BL"},     {32908, "PIXARFILM"}, {32909, "PIXARLOG"}, {32946, "Deflate"}, {32947, "DCS"},
    {34661, "JBIG"},      {34676, "SGILOG"},   {34677, "SGILOG24"},
};

// Grey, palette or RGB scan lines into blue, green, red rows.
int ReadScanlines(TIFF* t, const TIFF_LAYOUT& l, CODEC_CTX& ctx)
{
    TIFF_SCANLINES rows;
    if (int rc = rows.Start(t, l); rc != kOk)
        return Refuse(ctx, rc, "rows shorter than the picture's width");
    if (int rc = ctx.raw_rows.Reserve(rows.line_bytes); rc != kOk)
        return rc;
    for (std::uint32_t y = 0; y < l.height; ++y) {
        if (TIFFReadScanline(t, ctx.raw_rows.data(), y, 0) < 0) {
            for (std::uint32_t k = y; k < l.height; ++k)
                std::memset(ctx.TargetRow(static_cast<int>(k)), 0, ctx.RowBytes());
            return kOk;
        }
        rows.ToBgr(ctx.raw_rows.data(), ctx.TargetRow(static_cast<int>(y)));
    }
    return kOk;
}

// Everything else through libtiff's RGBA interface, into the 4-byte pixel buffer first.
int ReadRgba(TIFF* t, const TIFF_LAYOUT& l, CODEC_CTX& ctx)
{
    char message[1024] = {};
    if (TIFFRGBAImageOK(t, message) != 1)
        return Refuse(ctx, l.bits == 8 || l.bits == 16 || l.bits == 1 ? kFormatNotSupported : kBitDepthNotSupported,
                      message);
    if (int rc = ctx.quad.Reserve(PictureBytes(l.width, l.height, 4)); rc != kOk)
        return rc;
    std::memset(ctx.quad.data(), 0, ctx.quad.size()); // what libtiff cannot read stays black
    TIFFRGBAImage img;
    if (TIFFRGBAImageBegin(&img, t, 0, message) != 1)
        return Refuse(ctx, kFormatNotSupported, message);
    img.req_orientation = ORIENTATION_TOPLEFT;
    TIFFRGBAImageGet(&img, reinterpret_cast<std::uint32_t*>(ctx.quad.data()), l.width, l.height);
    const bool alpha = img.alpha != 0;
    // libtiff premultiplies unassociated alpha for colour pictures but not for grey ones.
    const bool premultiplied = img.alpha == EXTRASAMPLE_ASSOCALPHA || img.photometric == PHOTOMETRIC_RGB ||
                               img.photometric == PHOTOMETRIC_SEPARATED;
    TIFFRGBAImageEnd(&img);
    // Pixels are red, green, blue, alpha in memory.
    const std::uint8_t* q = ctx.quad.data();
    for (std::uint32_t y = 0; y < l.height; ++y) {
        std::uint8_t* d = ctx.TargetRow(static_cast<int>(y));
        for (std::uint32_t x = 0; x < l.width; ++x, q += 4, d += 3) {
            const unsigned a = alpha ? q[3] : 255u;
            for (int k = 0; k < 3; ++k) {
                const unsigned c = q[2 - k];
                d[k] = static_cast<std::uint8_t>(premultiplied ? std::min(255u, c + 255u - a)
                                                               : (c * a + 255u * (255u - a) + 127u) / 255u);
            }
        }
    }
    return kOk;
}

} // namespace

// How many bytes of pixels one byte of the file can hold at most, by compression: stored
// data is allowed to be cut to an eighth (the rest reads as black); the byte-oriented
// schemes stay below 2048 (LZW about 1300, Deflate 1032, JPEG 1536). Fax and JBIG code a
// whole row in one bit, so for them only the rows are bounded.
bool TiffDataCanBeInFile(const TIFF_LAYOUT& l, std::uint16_t compression, std::size_t file_size)
{
    switch (compression) {
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
    case COMPRESSION_CCITTRLEW:
    case COMPRESSION_JBIG:
        return ClaimFits(l.height, file_size, expansion::kRowBits);
    default:
        break;
    }
    using Wide = unsigned __int128;
    const Wide raw = (Wide{l.width} * l.samples * l.bits + 7) / 8 * l.height;
    const std::uint64_t claimed = raw > UINT64_MAX ? UINT64_MAX : static_cast<std::uint64_t>(raw);
    return ClaimFits(claimed, file_size,
                     compression == COMPRESSION_NONE ? expansion::kStoredEighth : expansion::kTiffCoded);
}

int TIFF_SCANLINES::Start(TIFF* t, const TIFF_LAYOUT& layout)
{
    l = layout;
    if (l.bits == 8 && l.samples == 1) {
        std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (l.photometric == PHOTOMETRIC_PALETTE && TIFFGetField(t, TIFFTAG_COLORMAP, &r, &g, &b) == 1) {
            bool wide = false;
            for (int i = 0; i < 256; ++i)
                wide = wide || r[i] >= 256 || g[i] >= 256 || b[i] >= 256;
            const int shift = wide ? 8 : 0;
            for (int i = 0; i < 256; ++i) {
                map[0][i] = static_cast<std::uint8_t>(r[i] >> shift);
                map[1][i] = static_cast<std::uint8_t>(g[i] >> shift);
                map[2][i] = static_cast<std::uint8_t>(b[i] >> shift);
            }
        } else {
            const bool white_is_zero = l.photometric == PHOTOMETRIC_MINISWHITE;
            for (int i = 0; i < 256; ++i)
                map[0][i] = map[1][i] = map[2][i] = static_cast<std::uint8_t>(white_is_zero ? 255 - i : i);
        }
    }
    const tmsize_t line = TIFFScanlineSize(t);
    const std::size_t need = l.bits == 1 ? (l.width + 7) / 8 : static_cast<std::size_t>(l.width) * l.samples;
    if (line <= 0 || static_cast<std::size_t>(line) < need)
        return kDataError;
    line_bytes = static_cast<std::size_t>(line);
    return kOk;
}

void TIFF_SCANLINES::ToBgr(const std::uint8_t* in, std::uint8_t* out) const
{
    // A set bit is black unless the file says that 0 is black.
    const std::uint8_t set_bit = l.photometric == PHOTOMETRIC_MINISBLACK ? 255 : 0;
    if (l.bits == 1) {
        for (std::uint32_t x = 0; x < l.width; ++x, out += 3)
            out[0] = out[1] = out[2] = (in[x >> 3] >> (7 - (x & 7)) & 1) ? set_bit : 255 - set_bit;
    } else if (l.samples == 1) {
        for (std::uint32_t x = 0; x < l.width; ++x, out += 3) {
            out[0] = map[2][in[x]];
            out[1] = map[1][in[x]];
            out[2] = map[0][in[x]];
        }
    } else {
        for (std::uint32_t x = 0; x < l.width; ++x, out += 3, in += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
}

int ReadTiffLayout(TIFF* t, TIFF_LAYOUT& l, std::uint16_t& compression)
{
    compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &l.bits);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &l.photometric);
    TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &l.planar);
    if (l.width == 0 || l.height == 0)
        return kDataError;
    if (l.bits >= 2 && l.bits <= 7)
        return kBitDepthNotSupported;
    if (TIFFIsCODECConfigured(compression) != 1)
        return kCompressionNotSupported;
    const bool grey = l.photometric == PHOTOMETRIC_MINISWHITE || l.photometric == PHOTOMETRIC_MINISBLACK;
    l.scanlines = TIFFIsTiled(t) == 0 && l.planar == PLANARCONFIG_CONTIG &&
                  ((l.samples == 1 && l.bits == 1 && grey) ||
                   (l.samples == 1 && l.bits == 8 && (grey || l.photometric == PHOTOMETRIC_PALETTE)) ||
                   (l.samples == 3 && l.bits == 8 && l.photometric == PHOTOMETRIC_RGB));
    return kOk;
}

int DecodeTiff(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    TIFF_BYTES in{bytes};
    TiffPtr tif = OpenTiffBytes(ctx.input_file_name, in);
    if (!tif) {
        const bool signed_tiff = bytes.size() >= 4 && (std::memcmp(bytes.data(), "II*", 4) == 0 ||
                                                      std::memcmp(bytes.data(), "MM\0*", 4) == 0);
        return Refuse(ctx, kOpenFileError, signed_tiff ? "the first image directory is damaged" : "no TIFF signature");
    }
    TIFF* t = tif.get();
    TIFF_LAYOUT l;
    std::uint16_t compression = COMPRESSION_NONE;
    const int checked = ReadTiffLayout(t, l, compression);
    for (const CompressionName& c : kCompressionNames)
        if (c.value == compression)
            ctx.compression_name = c.name;
    switch (checked) {
    case kOk:
        break;
    case kDataError:
        return Refuse(ctx, kDataError, "the header gives the picture no width or no height");
    case kBitDepthNotSupported:
        return Refuse(ctx, kBitDepthNotSupported, std::to_string(l.bits) + " bits a sample are not read");
    case kCompressionNotSupported:
        return Refuse(ctx, kCompressionNotSupported, "TIFF compression " + std::to_string(compression) + " is not read");
    default:
        return checked;
    }
    if (!TiffDataCanBeInFile(l, compression, bytes.size()))
        return Refuse(ctx, kDataError, kReasonTooShort);
    if (int rc = ctx.ReserveTarget(l.width, l.height); rc != kOk)
        return rc;
    ctx.bits_per_pixel = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{l.bits} * l.samples, 1 << 30));
    return l.scanlines ? ReadScanlines(t, l, ctx) : ReadRgba(t, l, ctx);
}
