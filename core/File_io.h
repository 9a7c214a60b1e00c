// File access for the codecs: an owning FILE handle, whole-file loading into a buffer that
// keeps its capacity, and a cursor that cannot run past the end of the bytes it reads.
#pragma once

#include "core/Pixel_buffer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

inline FilePtr OpenForRead(const std::string& path) { return FilePtr(std::fopen(path.c_str(), "rb")); }
// Opens for writing with a 1 MiB stream buffer: row-sized writes reach the system in
// large blocks.
FilePtr OpenForWrite(const std::string& path);

// Size of an open file in bytes, or -1.
std::int64_t FileSize(FILE* f);

// Reads the whole file into buf (sized to the file). Returns kOk, kOpenFileError,
// kImageTooLarge for files past kMaxPictureBytes, or kMemoryError.
int LoadWholeFile(const std::string& path, PixelBuffer& buf);

// Bytes of a regular file from the stream's position to its end; -1 for a stream that is
// not a regular file.
std::int64_t BytesLeft(FILE* f);

// A header may promise more data than a truncated file holds (the rest shows black), but
// not more than eight times what is there: such a header is refused before anything is
// allocated for it. Unknown sizes (-1) pass.
inline bool ClaimFitsFile(std::uint64_t claimed_bytes, std::int64_t available)
{
    return available < 0 || claimed_bytes / 8 <= static_cast<std::uint64_t>(available);
}

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
