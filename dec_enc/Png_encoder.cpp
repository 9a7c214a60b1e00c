#include "dec_enc/Png_encoder.h"

#include "base/Byte_order.h"
#include "base/Result_codes.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr int kLevel = 6;
constexpr std::size_t kIdatBytes = std::size_t{256} << 10;
constexpr std::size_t kBpp = 3; // bytes per pixel: the filters' left neighbour
constexpr std::size_t kPieceBytes = std::size_t{4} << 20;

// Bytes an order-0 Huffman code of the data would take at best: its entropy.
double EntropyBytes(const std::uint8_t* data, std::size_t n)
{
    std::size_t count[256] = {};
    for (std::size_t i = 0; i < n; ++i)
        ++count[data[i]];
    double bits = 0;
    for (std::size_t c : count)
        if (c > 0)
            bits += static_cast<double>(c) * std::log2(static_cast<double>(n) / static_cast<double>(c));
    return bits / 8;
}

// The data as one zlib stream coded Huffman-only, in out (sized to it); false on failure.
// The input's pages are given back as they are coded: the data is not needed afterwards.
bool HuffmanOnly(PixelBuffer& in, PixelBuffer& out)
{
    const std::uint8_t* data = in.data();
    const std::size_t n = in.size();
    z_stream z {};
    if (deflateInit2(&z, kLevel, Z_DEFLATED, 15, 8, Z_HUFFMAN_ONLY) != Z_OK)
        return false;
    // Only the pages the stream reaches are touched.
    if (const uLong bound = deflateBound(&z, n); bound > kMaxPictureBytes || out.Reserve(bound) != kOk) {
        deflateEnd(&z);
        return false;
    }
    z.next_in = const_cast<Bytef*>(data);
    z.next_out = out.data();
    bool ok = true;
    for (std::size_t left = n;;) {
        in.Discard(static_cast<std::size_t>(z.next_in - data));
        const auto take = static_cast<uInt>(std::min<std::size_t>(left, kPieceBytes));
        z.avail_in = take;
        left -= take;
        z.avail_out = static_cast<uInt>(std::min<std::size_t>(out.size() - z.total_out, 1u << 30));
        const int zr = deflate(&z, left == 0 ? Z_FINISH : Z_NO_FLUSH);
        if (zr == Z_STREAM_END)
            break;
        if (zr != Z_OK) {
            ok = false;
            break;
        }
    }
    deflateEnd(&z);
    return ok && out.Reserve(z.total_out) == kOk;
}

// Sum of the bytes read as signed values, by magnitude.
inline std::uint32_t Cost(std::uint8_t v) { return v < 128 ? v : 256u - v; }

inline std::uint8_t Paeth(int a, int b, int c)
{
    const int p = b - c, q = a - c;
    const int pa = std::abs(p), pb = std::abs(q), pc = std::abs(p + q);
    return static_cast<std::uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

} // namespace

struct PngEncoder::ZStream {
    z_stream z {};
    bool open = false;
    bool huffman_only = false;
    std::vector<std::uint8_t> out = std::vector<std::uint8_t>(kIdatBytes);
    ~ZStream()
    {
        if (open)
            deflateEnd(&z);
    }
};

PngEncoder::PngEncoder(FILE* out, std::int32_t width, std::int32_t height, Mode mode, PixelBuffer& filtered)
    : out_(out), width_(width), height_(height), mode_(mode), filtered_(filtered),
      row_bytes_(static_cast<std::size_t>(std::max(width, 0)) * 3)
{
}

PngEncoder::~PngEncoder() = default;

int PngEncoder::WriteChunk(const char type[4], const std::uint8_t* data, std::size_t n)
{
    std::uint8_t head[8];
    StoreDword(kBigEndian, static_cast<std::uint32_t>(n), head);
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0L, head + 4, 4);
    if (n > 0)
        crc = crc32_z(crc, data, n);
    std::uint8_t tail[4];
    StoreDword(kBigEndian, static_cast<std::uint32_t>(crc), tail);
    const bool ok = std::fwrite(head, 1, 8, out_) == 8 && (n == 0 || std::fwrite(data, 1, n, out_) == n) &&
                    std::fwrite(tail, 1, 4, out_) == 4;
    return ok ? kOk : kOpenFileError;
}

int PngEncoder::WriteIdat(const std::uint8_t* data, std::size_t n)
{
    for (std::size_t done = 0; done < n;) {
        const std::size_t k = std::min(kIdatBytes, n - done);
        if (int rc = WriteChunk("IDAT", data + done, k); rc != kOk)
            return rc;
        done += k;
    }
    return kOk;
}

int PngEncoder::Start()
{
    if (width_ < 1 || height_ < 1)
        return kDataError;
    std::uint8_t ihdr[13];
    StoreDword(kBigEndian, static_cast<std::uint32_t>(width_), ihdr);
    StoreDword(kBigEndian, static_cast<std::uint32_t>(height_), ihdr + 4);
    ihdr[8] = 8;  // bits per sample
    ihdr[9] = 2;  // RGB
    ihdr[10] = 0; // deflate
    ihdr[11] = 0; // adaptive filters
    ihdr[12] = 0; // not interlaced
    try {
        prev_.assign(row_bytes_, 0);
        cur_.assign(row_bytes_, 0);
        trial_.assign(5 * (row_bytes_ + 1), 0);

    } catch (...) {
        return kMemoryError;
    }
    const std::uint64_t filtered_bytes = static_cast<std::uint64_t>(row_bytes_ + 1) * static_cast<std::uint64_t>(height_);
    if (mode_ == Mode::Whole &&
        (filtered_bytes > kMaxPictureBytes || filtered_.Reserve(static_cast<std::size_t>(filtered_bytes)) != kOk))
        mode_ = Mode::Streaming;
    if (mode_ == Mode::Streaming) {
        try {
            z_ = std::make_unique<ZStream>();
        } catch (...) {
            return kMemoryError;
        }
        // The strategy for filtered rows that libpng uses as well.
        if (deflateInit2(&z_->z, kLevel, Z_DEFLATED, 15, 8, Z_FILTERED) != Z_OK)
            return kMemoryError;
        z_->open = true;
        z_->z.next_out = z_->out.data();
        z_->z.avail_out = static_cast<uInt>(z_->out.size());
    }
    if (std::fwrite(kSignature, 1, sizeof kSignature, out_) != sizeof kSignature)
        return kOpenFileError;
    return WriteChunk("IHDR", ihdr, sizeof ihdr);
}

void PngEncoder::FilterRow(const std::uint8_t* bgr, std::uint8_t* out)
{
    std::uint8_t* cur = cur_.data();
    const std::uint8_t* prev = prev_.data();
    const std::size_t n = row_bytes_;
    for (std::size_t i = 0; i < n; i += 3) {
        cur[i] = bgr[i + 2];
        cur[i + 1] = bgr[i + 1];
        cur[i + 2] = bgr[i];
    }
    const std::size_t stride = n + 1;
    std::uint8_t* f[5];
    for (int k = 0; k < 5; ++k) {
        f[k] = trial_.data() + static_cast<std::size_t>(k) * stride;
        f[k][0] = static_cast<std::uint8_t>(k);
    }
    std::uint32_t cost[5] = {};
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t x = cur[i];
        const std::uint8_t a = i >= kBpp ? cur[i - kBpp] : 0;
        const std::uint8_t b = prev[i];
        const std::uint8_t c = i >= kBpp ? prev[i - kBpp] : 0;
        const auto none = x;
        const auto sub = static_cast<std::uint8_t>(x - a);
        const auto up = static_cast<std::uint8_t>(x - b);
        const auto avg = static_cast<std::uint8_t>(x - ((a + b) >> 1));
        const auto paeth = static_cast<std::uint8_t>(x - Paeth(a, b, c));
        f[0][i + 1] = none;
        f[1][i + 1] = sub;
        f[2][i + 1] = up;
        f[3][i + 1] = avg;
        f[4][i + 1] = paeth;
        cost[0] += Cost(none);
        cost[1] += Cost(sub);
        cost[2] += Cost(up);
        cost[3] += Cost(avg);
        cost[4] += Cost(paeth);
    }
    int best = 0;
    for (int k = 1; k < 5; ++k)
        if (cost[k] < cost[best])
            best = k;
    std::memcpy(out, f[best], stride);
    std::swap(prev_, cur_);
}

int PngEncoder::Deflate(const std::uint8_t* data, std::size_t n, bool last)
{
    z_stream& z = z_->z;
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(n);
    for (;;) {
        const int zr = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
        if (zr == Z_STREAM_ERROR)
            return kUnknownError;
        if (z.avail_out == 0 || (last && zr == Z_STREAM_END)) {
            const std::size_t full = z_->out.size() - z.avail_out;
            if (int rc = WriteIdat(z_->out.data(), full); rc != kOk)
                return rc;
            z.next_out = z_->out.data();
            z.avail_out = static_cast<uInt>(z_->out.size());
        }
        if (last ? zr == Z_STREAM_END : z.avail_in == 0)
            return kOk;
    }
}

int PngEncoder::AddRow(const std::uint8_t* bgr)
{
    if (rows_ >= height_)
        return kDataError;
    const std::size_t stride = row_bytes_ + 1;
    if (mode_ == Mode::Whole) {
        FilterRow(bgr, filtered_.data() + static_cast<std::size_t>(rows_) * stride);
        ++rows_;
        return kOk;
    }
    const std::size_t at = piece_.size();
    try {
        piece_.resize(at + stride);
    } catch (...) {
        return kMemoryError;
    }
    FilterRow(bgr, piece_.data() + at);
    ++rows_;
    return piece_.size() >= kPieceBytes ? FlushPiece(false) : kOk;
}

int PngEncoder::FlushPiece(bool last)
{
    z_stream& z = z_->z;
    const uLong before = z.total_out;
    if (int rc = Deflate(piece_.data(), piece_.size(), last); rc != kOk)
        return rc;
    if (!last && !z_->huffman_only && piece_.size() >= kPieceBytes) {
        // What zlib holds back is at most a block or two: over 4 MiB the count is near.
        const double packed = static_cast<double>(z.total_out - before);
        if (packed >= EntropyBytes(piece_.data(), piece_.size())) {
            z.next_in = nullptr;
            z.avail_in = 0;
            for (;;) { // the change flushes a block, which needs room in the output buffer
                if (int rc = WriteIdat(z_->out.data(), z_->out.size() - z.avail_out); rc != kOk)
                    return rc;
                z.next_out = z_->out.data();
                z.avail_out = static_cast<uInt>(z_->out.size());
                const int zr = deflateParams(&z, kLevel, Z_HUFFMAN_ONLY);
                if (zr == Z_OK)
                    break;
                if (zr != Z_BUF_ERROR)
                    return kUnknownError;
            }
            z_->huffman_only = true;
        }
    }
    piece_.clear();
    return kOk;
}

int PngEncoder::Finish()
{
    if (rows_ != height_)
        return kDataError;
    if (mode_ == Mode::Streaming) {
        if (int rc = FlushPiece(true); rc != kOk)
            return rc;
    } else {
        libdeflate_compressor* c = libdeflate_alloc_compressor(kLevel);
        if (c == nullptr)
            return kMemoryError;
        const std::size_t in = filtered_.size();
        const std::size_t bound = libdeflate_zlib_compress_bound(c, in);
        // Only the pages the compressed data reaches are touched.
        PixelBuffer packed;
        int rc = bound <= kMaxPictureBytes ? packed.Reserve(bound) : kImageTooLarge;
        std::size_t n = 0;
        if (rc == kOk) {
            n = libdeflate_zlib_compress(c, filtered_.data(), in, packed.data(), bound);
            rc = n == 0 ? kUnknownError : kOk;
        }
        libdeflate_free_compressor(c);
        if (rc != kOk)
            return rc;
        const std::uint8_t* best = packed.data();
        PixelBuffer huffman;
        if (EntropyBytes(filtered_.data(), in) < static_cast<double>(n) && HuffmanOnly(filtered_, huffman) &&
            huffman.size() < n) {
            best = huffman.data();
            n = huffman.size();
        }
        if (rc = WriteIdat(best, n); rc != kOk)
            return rc;
    }
    return WriteChunk("IEND", nullptr, 0);
}
