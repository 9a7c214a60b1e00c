// GIF reading (87a and 89a): the first image of the file, LZW-decoded by our own decoder.
//
// Layout: "GIF", the version, a 7-byte logical screen descriptor (width, height, flags,
// background index, aspect), the global colour table (flags bit 7; 2 << (flags & 7)
// red-green-blue entries), then blocks: extensions (0x21, label, sub-blocks), image
// descriptors (0x2C; left, top, width, height, flags; an optional local table; the LZW
// minimum code size; data sub-blocks) and the trailer 0x3B. A sub-block is a count byte
// and that many bytes; a count of 0 ends the sequence.
//
// The picture is the logical screen, grown where the first image reaches past it; the
// image is placed at its left and top offsets and the pixels it leaves uncovered take the
// background index. Colour tables of any size are read. Besides the blue-green-red
// picture the reader leaves one index a pixel in the index buffer and the image's colour
// table (blue, green, red per entry, black past its end) in the palette, which the GIF
// writer can put back without a colour reduction. Graphic control extensions are read
// and ignored (no transparency); the later images of an animation are not read.
//
// The LZW decoder keeps, for every table code, where its string first appeared in the
// output and its length: a code's string is copied from there, and the table entry made
// from it (the previous string plus one index) is the previous string's own place in the
// output, one longer. Nothing is allocated per code. Data that ends early, or a code the
// table does not hold yet, ends the image: the pixels decoded so far are kept and the
// rest is black.
#include "base/Byte_order.h"
#include "base/Diagnostics.h"
#include "base/File_io.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Gif_lzw.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// A damaged file: the diagnostic line, and the reason shown to the person.
int Fail(CODEC_CTX& ctx, const char* message, const char* reason)
{
    Diagnose("%s", message);
    return Refuse(ctx, kDataError, reason);
}

// Reads the entries of a colour table: red, green, blue in the file, blue, green, red in
// the palette. Entries past the table are black.
void StoreTable(std::span<const std::uint8_t> rgb, std::uint8_t* palette)
{
    std::memset(palette, 0, 256 * 3);
    for (std::size_t i = 0; i < rgb.size() / 3 && i < 256; ++i) {
        palette[3 * i] = rgb[3 * i + 2];
        palette[3 * i + 1] = rgb[3 * i + 1];
        palette[3 * i + 2] = rgb[3 * i];
    }
}

// Skips a sequence of sub-blocks; false when the file ends inside it.
bool SkipSubBlocks(ByteCursor& in)
{
    for (;;) {
        const int count = in.Get();
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        if (in.Left() < static_cast<std::size_t>(count)) {
            in.Skip(in.Left());
            return false;
        }
        in.Skip(static_cast<std::size_t>(count));
    }
}

void HandleExtension(ByteCursor& in, int label)
{
    const char* name = nullptr;
    char unknown[32];
    switch (label) {
    case 0xF9: // graphic control: disposal, delay and transparency do not change the picture
    case 0xFE: // comment
        break;
    case 0x01:
        name = "Plain Text Extension";
        break;
    case 0xFF:
        name = "Application Extension";
        break;
    default:
        std::snprintf(unknown, sizeof unknown, "UNKNOWN (0x%02x)", label);
        name = unknown;
        break;
    }
    if (name != nullptr)
        Diagnose("got a '%s' extension", name);
    SkipSubBlocks(in);
}

} // namespace

// Decodes the LZW codes of data (data_bits bits, followed by 8 readable padding bytes)
// into out[0 .. total). out needs 8 bytes of room past total.
LzwResult DecodeLzw(const std::uint8_t* data, std::uint64_t data_bits, int min_code_size, std::uint8_t* out,
                    std::size_t total)
{
    struct Entry {
        std::uint32_t offset;
        std::uint32_t length;
    };
    Entry table[4096]; // only entries below next are read
    const std::uint32_t clear = 1u << min_code_size;
    const std::uint32_t end_code = clear + 1;
    std::uint32_t next = clear + 2;
    int width = min_code_size + 1;
    std::uint32_t limit = 1u << width;
    std::uint32_t mask = limit - 1;
    std::uint64_t bit = 0;
    bool have_old = false;
    std::size_t old_pos = 0, old_len = 0, pos = 0;

    while (pos < total) {
        if (bit + static_cast<std::uint64_t>(width) > data_bits)
            return {pos, LzwEnd::OutOfData};
        std::uint64_t word;
        std::memcpy(&word, data + (bit >> 3), sizeof word);
        const std::uint32_t code = static_cast<std::uint32_t>(word >> (bit & 7)) & mask;
        bit += static_cast<std::uint64_t>(width);

        if (code == clear) {
            next = clear + 2;
            width = min_code_size + 1;
            limit = 1u << width;
            mask = limit - 1;
            have_old = false;
            continue;
        }
        if (code == end_code)
            return {pos, LzwEnd::EndCode};
        std::size_t len;
        if (code < clear) {
            out[pos] = static_cast<std::uint8_t>(code);
            len = 1;
        } else if (!have_old) {
            return {pos, LzwEnd::BadCode}; // the first code after a reset must be an index
        } else if (code < next) {
            const Entry e = table[code];
            len = std::min<std::size_t>(e.length, total - pos);
            const std::uint8_t* src = out + e.offset;
            std::uint8_t* dst = out + pos;
            if (pos - e.offset >= 8) {
                for (std::size_t i = 0; i < len; i += 8)
                    std::memcpy(dst + i, src + i, 8);
            } else {
                for (std::size_t i = 0; i < len; ++i)
                    dst[i] = src[i];
            }
        } else if (code == next) {
            // The previous string and its own first index.
            len = std::min(old_len + 1, total - pos);
            const std::size_t copy = std::min(old_len, len);
            std::memmove(out + pos, out + old_pos, copy);
            if (len > old_len)
                out[pos + old_len] = out[old_pos];
        } else {
            return {pos, LzwEnd::BadCode};
        }
        if (have_old && next < 4096) {
            table[next] = {static_cast<std::uint32_t>(old_pos), static_cast<std::uint32_t>(old_len + 1)};
            ++next;
            if (next >= limit && width < 12) {
                ++width;
                limit <<= 1;
                mask = limit - 1;
            }
        }
        have_old = true;
        old_pos = pos;
        old_len = len;
        pos += len;
    }
    // The picture is full: anything but the end code after it is surplus data.
    if (bit + static_cast<std::uint64_t>(width) <= data_bits) {
        std::uint64_t word;
        std::memcpy(&word, data + (bit >> 3), sizeof word);
        const std::uint32_t code = static_cast<std::uint32_t>(word >> (bit & 7)) & mask;
        if (code != end_code)
            Diagnose("too much input data, ignoring extra...");
    }
    return {pos, LzwEnd::Full};
}

// The image row that stream row r fills: interlaced images come in four passes, rows
// 0, 8, 16 ..., then 4, 12 ..., then 2, 6 ..., then 1, 3, 5 ....
void InterlacedRows(int h, std::vector<int>& rows)
{
    rows.clear();
    const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = starts[pass]; y < h; y += steps[pass])
            rows.push_back(y);
}

namespace {

struct IMAGE_DESC {
    int left, top, width, height;
    bool interlaced;
};

int DecodeImage(CODEC_CTX& ctx, ByteCursor& in, const IMAGE_DESC& d, int screen_w, int screen_h,
                int background)
{
    const int min_code_size = in.Get();
    if (min_code_size < 0)
        return Fail(ctx, "EOF / read error on image data", kReasonEndsEarly);
    if (min_code_size < 1 || min_code_size > 8)
        return Fail(ctx, "bad LZW minimum code size", "an LZW code size out of range");
    if (d.width < 1 || d.height < 1)
        return Fail(ctx, "image of zero width or height", "the picture has no width or no height");

    // Gather the data sub-blocks into one run of bytes, with padding for the bit reader.
    std::size_t data_bytes = 0;
    bool terminated = false;
    {
        ByteCursor scan = in;
        for (;;) {
            const int count = scan.Get();
            if (count <= 0) {
                terminated = count == 0;
                break;
            }
            const std::size_t n = std::min(static_cast<std::size_t>(count), scan.Left());
            data_bytes += n;
            scan.Skip(n);
            if (n < static_cast<std::size_t>(count))
                break;
        }
    }
    if (int rc = ctx.raw_rows.Reserve(data_bytes + 8); rc != kOk)
        return rc;
    {
        std::uint8_t* p = ctx.raw_rows.data();
        for (;;) {
            const int count = in.Get();
            if (count <= 0)
                break;
            p += in.Read(p, static_cast<std::size_t>(count));
        }
        std::memset(p, 0, 8);
    }

    // A picture larger than the data could expand to is refused before it is allocated:
    // the k-th code after a reset stands for at most k indices, and no code for more than
    // 4096. So is a logical screen of more than a million pixels that is mostly
    // background around a small image.
    const std::uint64_t codes = std::uint64_t{data_bytes} * 8 / static_cast<std::uint64_t>(min_code_size + 1);
    const std::uint64_t image_pixels = std::uint64_t(d.width) * std::uint64_t(d.height);
    if (!ClaimFits(image_pixels, codes, expansion::kLzwCodes) || image_pixels > codes * (codes + 1) / 2)
        return Fail(ctx, "image data too short for the image's size", kReasonTooShort);
    const std::int64_t cw = std::max<std::int64_t>(screen_w, std::int64_t{d.left} + d.width);
    const std::int64_t ch = std::max<std::int64_t>(screen_h, std::int64_t{d.top} + d.height);
    const std::uint64_t canvas_pixels = std::uint64_t(cw) * std::uint64_t(ch);
    if (canvas_pixels > (std::uint64_t{1} << 20) && canvas_pixels > image_pixels * 16)
        return Fail(ctx, "logical screen far larger than its image", "the logical screen is far larger than its picture");
    if (int rc = ctx.ReserveDecoded(cw, ch); rc != kOk)
        return rc;
    if (int rc = ctx.index.Reserve(static_cast<std::size_t>(canvas_pixels) + 8); rc != kOk)
        return rc;
    ctx.width = static_cast<std::int32_t>(cw);
    ctx.height = static_cast<std::int32_t>(ch);

    const std::size_t w = static_cast<std::size_t>(d.width);
    const bool in_place = d.left == 0 && d.top == 0 && d.width == cw && d.height == ch && !d.interlaced;
    std::uint8_t* target = ctx.index.data();
    if (!in_place) {
        if (int rc = ctx.unpack.Reserve(static_cast<std::size_t>(image_pixels) + 8); rc != kOk)
            return rc;
        target = ctx.unpack.data();
    }
    const LzwResult r = DecodeLzw(ctx.raw_rows.data(), std::uint64_t{data_bytes} * 8, min_code_size, target,
                                  static_cast<std::size_t>(image_pixels));
    switch (r.end) {
    case LzwEnd::EndCode:
        if (!terminated)
            Diagnose("missing EOD in data stream (common occurence)");
        break;
    case LzwEnd::OutOfData:
        Diagnose("ran off the end of my bits");
        break;
    case LzwEnd::BadCode:
        Diagnose("code not in the table yet, ignoring the rest of the image");
        break;
    case LzwEnd::Full:
        break;
    }
    // Pixels the data did not reach are index 0 in the index buffer and black on screen.
    std::memset(target + r.produced, 0, static_cast<std::size_t>(image_pixels) - r.produced);

    std::vector<int> rows;
    if (d.interlaced)
        InterlacedRows(d.height, rows);
    const std::size_t canvas_w = static_cast<std::size_t>(cw);
    if (!in_place) {
        std::memset(ctx.index.data(), background, static_cast<std::size_t>(canvas_pixels));
        for (int k = 0; k < d.height; ++k) {
            const int y = d.interlaced ? rows[static_cast<std::size_t>(k)] : k;
            std::memcpy(ctx.index.data() + static_cast<std::size_t>(d.top + y) * canvas_w + static_cast<std::size_t>(d.left),
                        ctx.unpack.data() + static_cast<std::size_t>(k) * w, w);
        }
    }

    const std::uint8_t* pal = ctx.palette;
    const std::uint8_t* idx = ctx.index.data();
    std::uint8_t* out = ctx.decoded.data();
    for (std::size_t i = 0; i < static_cast<std::size_t>(canvas_pixels); ++i, out += 3) {
        const std::uint8_t* c = pal + 3 * std::size_t{idx[i]};
        out[0] = c[0];
        out[1] = c[1];
        out[2] = c[2];
    }
    ctx.index_matches_picture = r.produced == image_pixels;
    if (!ctx.index_matches_picture) {
        // Blacken the stream rows from the first one the data did not complete.
        for (std::size_t k = r.produced / w; k < static_cast<std::size_t>(d.height); ++k) {
            const std::size_t first = k == r.produced / w ? r.produced % w : 0;
            const int y = d.interlaced ? rows[k] : static_cast<int>(k);
            std::memset(ctx.DecodedRow(d.top + y) + (static_cast<std::size_t>(d.left) + first) * 3, 0,
                        (w - first) * 3);
        }
    }
    return ctx.CopyToDirectTarget();
}

// Reads the blocks up to and including the first image. Returns kOk with the picture in
// the context, or a failure code after its message.
int DecodeFile(CODEC_CTX& ctx, ByteCursor& in)
{
    std::uint8_t magic[6];
    if (in.Read(magic, 6) < 6)
        return Fail(ctx, "error reading magic number", kReasonHeaderCut);
    if (std::memcmp(magic, "GIF", 3) != 0)
        return Fail(ctx, "not a GIF file", "no GIF signature");
    if (std::memcmp(magic + 3, "87a", 3) != 0 && std::memcmp(magic + 3, "89a", 3) != 0)
        return Fail(ctx, "bad version number, not '87a' or '89a'", "not GIF version 87a or 89a");
    std::uint8_t screen[7];
    if (in.Read(screen, 7) < 7)
        return Fail(ctx, "failed to read screen descriptor", kReasonHeaderCut);
    const int screen_w = LoadWord(kLittleEndian, screen);
    const int screen_h = LoadWord(kLittleEndian, screen + 2);
    const int flags = screen[4];
    ctx.bits_per_pixel = (flags & 7) + 1;
    if (screen_w == 0 || screen_h == 0)
        return Refuse(ctx, kDataError, "the header gives the picture no width or no height");
    std::uint8_t global[256 * 3] = {};
    const bool has_global = (flags & 0x80) != 0;
    if (has_global) {
        const std::size_t bytes = (std::size_t{2} << (flags & 7)) * 3;
        if (in.Left() < bytes)
            return Fail(ctx, "bad colormap", "the file ends inside a colour table");
        StoreTable(in.Take(bytes), global);
    }

    bool bogus_reported = false;
    for (;;) {
        const int block = in.Get();
        if (block < 0)
            return Fail(ctx, "EOF / read error on image data", "the file ends before its first picture");
        if (block == 0x3B)
            return Fail(ctx, "only 0 image found in file", "the file holds no picture");
        if (block == 0x21) {
            const int label = in.Get();
            if (label < 0)
                return Fail(ctx, "OF / read error on extention function code", kReasonEndsEarly);
            HandleExtension(in, label);
            continue;
        }
        if (block != 0x2C) {
            // Named once a file: a damaged file would otherwise print a line a byte.
            if (!bogus_reported)
                Diagnose("bogus character 0x%02x, ignoring", block);
            bogus_reported = true;
            continue;
        }
        std::uint8_t desc[9];
        if (in.Read(desc, 9) < 9)
            return Fail(ctx, "couldn't read left/top/width/height", kReasonEndsEarly);
        const IMAGE_DESC d {LoadWord(kLittleEndian, desc), LoadWord(kLittleEndian, desc + 2),
                            LoadWord(kLittleEndian, desc + 4), LoadWord(kLittleEndian, desc + 6),
                            (desc[8] & 0x40) != 0};
        if (desc[8] & 0x80) {
            const std::size_t bytes = (std::size_t{1} << ((desc[8] & 7) + 1)) * 3;
            if (in.Left() < bytes)
                return Fail(ctx, "bad colormap", "the file ends inside a colour table");
            StoreTable(in.Take(bytes), ctx.palette);
        } else {
            std::memcpy(ctx.palette, global, sizeof global);
        }
        return DecodeImage(ctx, in, d, screen_w, screen_h, screen[5]);
    }
}

} // namespace

int DecodeGif(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    const bool got = bytes.size() >= 6;
    const std::uint8_t* magic = bytes.data();
    const bool lower = got && std::memcmp(magic, "GIF", 3) == 0 &&
                       (std::memcmp(magic + 3, "87a", 3) == 0 || std::memcmp(magic + 3, "89a", 3) == 0);
    const bool upper = got && (std::memcmp(magic + 3, "87A", 3) == 0 || std::memcmp(magic + 3, "89A", 3) == 0);
    if (!lower && !upper)
        return Refuse(ctx, kMagicError, "no GIF signature");
    ByteCursor in(bytes);
    return DecodeFile(ctx, in);
}
