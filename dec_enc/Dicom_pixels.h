// A DICOM frame's stored samples as a picture: the grey mapping (stored bits, rescale,
// the VOI window or a stretch) and the colour models.
#pragma once

#include "dec_enc/gdcm/Gdcm_frame.h"

#include <cstdint>
#include <span>

// Writes the frame described by f, from its stored samples, as f.width × f.height pixels of
// 3 bytes (blue, green, red), rows top to bottom, to bgr (which holds that many). Returns
// CheckFrame's refusal, kDataError when samples holds less than the frame, else kOk.
//
// Grey pictures: stored values masked to Bits Stored (sign-extended when signed), then the
// rescale slope and intercept, then the first window centre and width (the linear VOI
// function); without a usable window the frame's range is stretched to 0..255.
// MONOCHROME1 is inverted. Colour: RGB as stored (16-bit samples keep their top 8 stored
// bits), YBR_FULL and YBR_FULL_422 through the full-range YCbCr equations.
int DicomFramePicture(const dicom_gdcm::Frame& f, std::span<const std::uint8_t> samples, std::uint8_t* bgr);
