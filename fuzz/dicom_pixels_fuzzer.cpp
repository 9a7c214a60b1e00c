// libFuzzer target for the DICOM reader's own code inside the decoding helper: a frame
// header as GDCM's side hands it over (the input's first bytes) and the stored samples
// (the rest), mapped to a picture. The helper hides a fault there as a crash of its own,
// so it is fuzzed here, in process.
#include "dec_enc/Dicom_pixels.h"

#include "base/Pixel_buffer.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    dicom_gdcm::Frame f;
    if (size < sizeof f)
        return 0;
    std::memcpy(&f, data, sizeof f);
    if (!(f.kind >= dicom_gdcm::Kind::Grey && f.kind <= dicom_gdcm::Kind::Ybr422))
        return 0; // GDCM's side sets one of these
    // Pictures up to 1 Mi pixels: the mapping is linear in the size.
    if (PictureBytes(f.width, f.height, 3) > (std::size_t{3} << 20))
        return 0;
    std::vector<std::uint8_t> bgr(std::size_t{f.width} * f.height * 3);
    (void)DicomFramePicture(f, std::span<const std::uint8_t>(data + sizeof f, size - sizeof f), bgr.data());
    return 0;
}
