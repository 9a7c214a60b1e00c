// What the AVIF reader and the AVIF frame source share.
#pragma once

#include <avif/avif.h>

#include <cstddef>
#include <cstdint>
#include <span>

// A decoder over bytes (which must outlive it) with this program's limits, or null.
avifDecoder* CreateAvifDecoder(std::span<const std::uint8_t> bytes);
// Converts an image to 8-bit rows: red-green-blue-alpha when alpha, else blue-green-red.
avifResult AvifImageTo8Bit(const avifImage* image, std::uint8_t* pixels, std::size_t stride, bool alpha);
