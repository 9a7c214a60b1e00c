// The frame sources of each format, for OpenFrameSource (dec_enc/Frame_source.cpp). Each
// reads the headers of bytes and returns a source, or null with rc and reason set.
#pragma once

#include "dec_enc/Frame_source.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using MakeFramesFn = std::unique_ptr<FrameSource> (*)(std::vector<std::uint8_t>& bytes, std::size_t budget, int& rc,
                                                       std::string& reason);
std::unique_ptr<FrameSource> MakeGifFrames(std::vector<std::uint8_t>& bytes, std::size_t budget, int& rc,
                                           std::string& reason);
std::unique_ptr<FrameSource> MakeApngFrames(std::vector<std::uint8_t>& bytes, std::size_t budget, int& rc,
                                            std::string& reason);
std::unique_ptr<FrameSource> MakeWebpFrames(std::vector<std::uint8_t>& bytes, std::size_t budget, int& rc,
                                            std::string& reason);
std::unique_ptr<FrameSource> MakeAvifFrames(std::vector<std::uint8_t>& bytes, std::size_t budget, int& rc,
                                            std::string& reason);
std::unique_ptr<FrameSource> MakeJxlFrames(std::vector<std::uint8_t>& bytes, std::size_t budget, int& rc,
                                           std::string& reason);

// Sources whose formats compose frames themselves reach the base class's members through
// this.
class FrameSourceBase : public FrameSource {
protected:
    FrameSourceBase(std::vector<std::uint8_t>& bytes, std::size_t budget) : FrameSource(std::move(bytes), budget) {}
};
