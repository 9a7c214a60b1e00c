#include "base/Pixel_buffer.h"

#include "base/Result_codes.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kMapThreshold = std::size_t{256} << 10;

// Maps n bytes (a multiple of kHugePage) at a kHugePage boundary.
std::uint8_t* MapAligned(std::size_t n)
{
    const std::size_t span = n + kHugePage;
    void* p = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return nullptr;
    auto base = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t aligned = (base + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > base)
        munmap(p, aligned - base);
    const std::size_t tail = (base + span) - (aligned + n);
    if (tail > 0)
        munmap(reinterpret_cast<void*>(aligned + n), tail);
    madvise(reinterpret_cast<void*>(aligned), n, MADV_HUGEPAGE);
    return reinterpret_cast<std::uint8_t*>(aligned);
}

} // namespace

std::size_t PictureBytes(std::int64_t width, std::int64_t height, std::int64_t bytes_per_pixel)
{
    if (width < 1 || height < 1 || bytes_per_pixel < 1)
        return SIZE_MAX;
    const auto limit = static_cast<std::int64_t>(kMaxPictureBytes);
    if (width > limit / height)
        return SIZE_MAX;
    const std::int64_t pixels = width * height;
    if (pixels > limit / bytes_per_pixel)
        return SIZE_MAX;
    return static_cast<std::size_t>(pixels * bytes_per_pixel);
}

PixelBuffer::~PixelBuffer() { Release(); }

PixelBuffer::PixelBuffer(PixelBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)), mapped_(std::exchange(other.mapped_, false))
{
}

PixelBuffer& PixelBuffer::operator=(PixelBuffer&& other) noexcept
{
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        mapped_ = std::exchange(other.mapped_, false);
    }
    return *this;
}

void PixelBuffer::Release()
{
    if (data_ != nullptr) {
        if (mapped_)
            munmap(data_, capacity_);
        else
            std::free(data_);
    }
    data_ = nullptr;
    size_ = capacity_ = 0;
    mapped_ = false;
}

void PixelBuffer::Discard(std::size_t upto)
{
    constexpr std::size_t kPage = 4096;
    if (mapped_ && upto >= kPage)
        madvise(data_, std::min(upto, capacity_) & ~(kPage - 1), MADV_DONTNEED);
}

int PixelBuffer::Reserve(std::size_t n) { return n <= capacity_ ? (size_ = n, kOk) : Grow(n, false); }

int PixelBuffer::Resize(std::size_t n) { return n <= capacity_ ? (size_ = n, kOk) : Grow(n, true); }

int PixelBuffer::Grow(std::size_t n, bool keep)
{
    if (n > kMaxPictureBytes)
        return kImageTooLarge;
    std::uint8_t* fresh = nullptr;
    std::size_t cap = 0;
    bool mapped = false;
    if (n >= kMapThreshold) {
        cap = (n + kHugePage - 1) & ~(kHugePage - 1);
        fresh = MapAligned(cap);
        mapped = true;
    } else {
        cap = n < 64 ? 64 : n;
        fresh = static_cast<std::uint8_t*>(std::calloc(cap, 1));
    }
    if (fresh == nullptr)
        return kMemoryError;
    if (keep && size_ > 0)
        std::memcpy(fresh, data_, size_);
    Release();
    data_ = fresh;
    capacity_ = cap;
    size_ = n;
    mapped_ = mapped;
    return kOk;
}
