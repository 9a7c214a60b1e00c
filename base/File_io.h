// File access for the codecs: an owning FILE handle, whole-file loading into a buffer that
// keeps its capacity, and a cursor that cannot run past the end of the bytes it reads.
#pragma once

#include "base/Pixel_buffer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Opens a regular file for reading; null for anything else. A FIFO or a device named like
// a picture is refused without waiting for a writer (the open never blocks).
FilePtr OpenForRead(const std::string& path);
// Opens for writing with a 1 MiB stream buffer: row-sized writes reach the system in
// large blocks.
FilePtr OpenForWrite(const std::string& path);

// Why path cannot be read as a picture file, in the system's words ("No such file or
// directory", "Permission denied", "it is a directory", "it is not a regular file"); ""
// when it can.
std::string UnreadableReason(const std::string& path);

// Size of an open file in bytes, or -1.
std::int64_t FileSize(FILE* f);

// Reads the whole file into buf (sized to the file). Returns kOk, kOpenFileError,
// kImageTooLarge for files past kMaxPictureBytes, or kMemoryError.
int LoadWholeFile(const std::string& path, PixelBuffer& buf);

// The one whole-file read of the small text files: the settings file, the desktop's key
// files, the help file, a document for the text viewer. Opens as OpenForRead does (a FIFO
// or a device is refused, never waited on). Returns kOk; kOpenFileError when the file
// cannot be opened or read; kImageTooLarge when it holds more than max_bytes (text is
// then empty: nothing of such a file is read); kMemoryError.
inline constexpr std::uint64_t kMaxTextFileBytes = std::uint64_t{64} << 20;
int ReadTextFile(const std::string& path, std::string& text, std::uint64_t max_bytes = kMaxTextFileBytes);
// The one atomic text replace beside it: text written through ReplaceFileWith
// (base/Replace_file), so the file is replaced only once all of it is written. kOk or
// kOpenFileError; *sys_error (when given) the system's error number behind a failure.
int ReplaceTextFile(const std::string& target, std::string_view text, int* sys_error = nullptr);

// How many bytes of picture one byte of a file can stand for at most in a format family
// (num / den), and how a claim is held against it: a header whose claim needs more of
// the file than there is, is refused before anything is allocated for it; below that, a
// file cut short shows black where it ends. With `divide` the claim is divided by the
// ratio, rounded down, and compared with the bytes there: that lets a claim through by up
// to one ratio's worth more than multiplying the bytes by the ratio does.
struct Expansion {
    std::uint64_t num;
    std::uint64_t den;
    bool divide;
};

namespace expansion {
inline constexpr Expansion kWhole{1, 1, false};          // every claimed byte must be there
inline constexpr Expansion kStoredHalf{2, 1, false};     // stored data, at least half there
inline constexpr Expansion kStoredHalfDiv{2, 1, true};   // ... the claim halved, rounded down
inline constexpr Expansion kStoredEighth{8, 1, false};   // stored data cut to an eighth opens
inline constexpr Expansion kStoredEighthDiv{8, 1, true}; // ... the claim divided, rounded down
inline constexpr Expansion kRowBits{8, 1, false};        // fax and JBIG: a row in one bit
inline constexpr Expansion kPcxRuns{63, 2, false};       // a count and a value byte: 63 bytes
inline constexpr Expansion kPackBits{64, 1, true};       // a count byte and a unit: 128 units
inline constexpr Expansion kStoredTga{128, 1, false};    // TARGA pixels cut to a 128th open
inline constexpr Expansion kLzwCodes{4096, 1, false};    // indices per LZW code (not per byte)
inline constexpr Expansion kRunLengthHalf{170, 1, false}; // runs of 85 to one, half there
inline constexpr Expansion kDeflate{1032, 1, true};
inline constexpr Expansion kTiffCoded{2048, 1, false};   // LZW, Deflate and JPEG strips
inline constexpr Expansion kJpegHuffman{8192, 1, true};  // a bit a block, 1024 pixels a block
inline constexpr Expansion kUtahRuns{65536, 1, true};    // a 4-byte run: 65536 pixels at most
} // namespace expansion

// The one rule for such claims. Claims of up to always_fits bytes pass whatever the file
// holds (the small raster readers let pictures of up to 64 KiB show a short tail black).
constexpr bool ClaimFits(std::uint64_t claimed_bytes, std::uint64_t available, Expansion e,
                         std::uint64_t always_fits = 0)
{
    using Wide = unsigned __int128;
    if (claimed_bytes <= always_fits)
        return true;
    const Wide claim = Wide{claimed_bytes} * e.den;
    return e.divide ? claim / e.num <= available : claim <= Wide{available} * e.num;
}

// A regular file's bytes mapped read-only, for readers that go through them once: the
// kernel reads ahead, and ReleaseBefore gives back the pages a reader has passed, so a
// large file never stands in memory whole. Passed pages read again come back from the
// file. A file cut short by another program while it is mapped reads as zero bytes from
// where it ends, instead of the bus error the kernel would raise.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Maps path. kOk, or kOpenFileError for anything but a readable regular file (an
    // empty file maps to no bytes) and when 64 mappings are live already.
    int Map(const std::string& path);
    std::span<const std::uint8_t> Bytes() const { return {data_, size_}; }
    // Gives back the whole pages before `offset` that were not given back yet; a call that
    // passes less than 1 MiB since the last one does nothing.
    void ReleaseBefore(std::size_t offset);
    // The same for a reader that goes from the end: the whole pages from `offset` on.
    void ReleaseFrom(std::size_t offset);
    void ReleaseBefore(const std::uint8_t* p)
    {
        if (p >= data_ && p <= data_ + size_)
            ReleaseBefore(static_cast<std::size_t>(p - data_));
    }
    void Unmap();

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t released_ = 0;      // pages before this are given back
    std::size_t released_tail_ = 0; // and from this on (0: none)
    int slot_ = -1;
};

// Closes the stream and reports whether every byte reached the file.
int FinishWrite(FilePtr f);

// Forward-only view of a file's bytes; never reads past the end.
class ByteCursor {
public:
    ByteCursor() = default;
    explicit ByteCursor(std::span<const std::uint8_t> b) : bytes_(b) {}

    int Get() { return pos_ < bytes_.size() ? bytes_[pos_++] : -1; } // -1 at the end
    int Peek() const { return pos_ < bytes_.size() ? bytes_[pos_] : -1; }
    // Up to n bytes; fewer at the end of the data.
    std::span<const std::uint8_t> Take(std::size_t n)
    {
        n = std::min(n, bytes_.size() - pos_);
        pos_ += n;
        return bytes_.subspan(pos_ - n, n);
    }
    // Copies up to n bytes to dst and returns how many there were.
    std::size_t Read(std::uint8_t* dst, std::size_t n)
    {
        auto s = Take(n);
        std::copy(s.begin(), s.end(), dst);
        return s.size();
    }
    // 0xFF for every byte past the end, like ReadWord on a stream.
    std::uint16_t Word(int order);
    std::uint32_t Dword(int order);
    void Skip(std::size_t n) { pos_ += std::min(n, bytes_.size() - pos_); }
    // Moves to an absolute offset; false (and at the end) when it is past the data.
    bool Seek(std::size_t pos)
    {
        pos_ = std::min(pos, bytes_.size());
        return pos <= bytes_.size();
    }
    std::size_t Pos() const { return pos_; }
    std::size_t Left() const { return bytes_.size() - pos_; }
    std::size_t Size() const { return bytes_.size(); }
    bool AtEnd() const { return pos_ >= bytes_.size(); }
    std::span<const std::uint8_t> Bytes() const { return bytes_; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

// The extension of a path from its last dot, dot included; "" when the name has none.
std::string ExtensionOf(const std::string& path);
