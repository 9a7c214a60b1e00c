// A growable byte buffer for picture-sized data.
//
// Sized on demand and never shrunk: a buffer keeps its capacity for the next picture, so
// opening pictures of the same size again touches no fresh memory. Large blocks come
// straight from the kernel, 2 MiB aligned and marked for transparent huge pages, which
// cuts the first-touch page-fault cost of a fresh 48 MiB picture to a fraction.
#pragma once

#include <cstddef>
#include <cstdint>

// No single picture buffer may pass this; requests beyond it are refused (kImageTooLarge).
inline constexpr std::size_t kMaxPictureBytes = std::size_t{1} << 30;

class PixelBuffer {
public:
    PixelBuffer() = default;
    ~PixelBuffer();
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;
    PixelBuffer(PixelBuffer&& other) noexcept;
    PixelBuffer& operator=(PixelBuffer&& other) noexcept;

    // Makes the buffer hold n bytes. The old content is not kept when the buffer has to
    // grow. Returns kOk, kImageTooLarge past kMaxPictureBytes, or kMemoryError.
    [[nodiscard]] int Reserve(std::size_t n);
    // The same, but the first min(size, n) bytes survive a growth.
    [[nodiscard]] int Resize(std::size_t n);
    // Returns the memory to the system.
    void Release();
    // Gives the whole pages before byte `upto` back to the system while keeping the
    // capacity: they read as zeros afterwards. Does nothing for small (unmapped) buffers.
    void Discard(std::size_t upto);

    std::uint8_t* data() { return data_; }
    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }

private:
    int Grow(std::size_t n, bool keep);

    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    bool mapped_ = false;
};

// Product of picture dimensions and bytes per pixel, or SIZE_MAX when a factor is not
// positive or the product passes kMaxPictureBytes.
std::size_t PictureBytes(std::int64_t width, std::int64_t height, std::int64_t bytes_per_pixel);
