// The eight Exif orientations as pixel transforms: what turns a camera's stored rows into
// the picture the photographer saw.
#pragma once

#include <cstddef>
#include <cstdint>

// Size of a w × h picture after the transform of orientation (5 to 8 swap the sides;
// anything outside 2..8 leaves the picture as it is).
void OrientedSize(int orientation, int w, int h, int& out_w, int& out_h);

// Writes the w × h picture src (3 bytes a pixel, rows src_stride bytes apart) into dst,
// transformed for orientation: 2 mirror, 3 half turn, 4 top-bottom flip, 5 transpose,
// 6 quarter turn clockwise, 7 transverse, 8 quarter turn counter-clockwise; 1 and any
// other value copy. dst has the OrientedSize and rows dst_stride bytes apart; it must not
// overlap src.
void OrientPixels(int orientation, const std::uint8_t* src, std::size_t src_stride, int w, int h, std::uint8_t* dst,
                  std::size_t dst_stride);
