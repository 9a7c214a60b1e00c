// The GDCM side of the DICOM reader, a module of its own that only the decoding helper
// (decoder/) loads, for a DICOM file: GDCM builds its data dictionaries when it is loaded,
// which no other start should pay.
#include "dec_enc/gdcm/Gdcm_frame.h"

#include <gdcmImageApplyLookupTable.h>
#include <gdcmImageReader.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <span>
#include <streambuf>
#include <string>

namespace {

using namespace dicom_gdcm;

// A read-only stream buffer over bytes in memory, seekable for GDCM's look-ahead.
class SpanBuf : public std::streambuf {
public:
    explicit SpanBuf(std::span<const std::uint8_t> b)
    {
        char* p = const_cast<char*>(reinterpret_cast<const char*>(b.data()));
        setg(p, p, p + b.size());
    }

protected:
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override
    {
        if (!(which & std::ios_base::in))
            return pos_type(off_type(-1));
        const off_type size = egptr() - eback();
        const off_type base = dir == std::ios_base::beg ? 0 : dir == std::ios_base::cur ? gptr() - eback() : size;
        if ((off < 0 && -off > base) || (off > 0 && off > size - base))
            return pos_type(off_type(-1));
        setg(eback(), eback() + base + off, egptr());
        return pos_type(base + off);
    }
    pos_type seekpos(pos_type pos, std::ios_base::openmode which) override
    {
        return seekoff(off_type(pos), std::ios_base::beg, which);
    }
};

// The first value of a decimal-string element, or NaN when it is missing or unreadable.
double FirstDecimal(const gdcm::DataSet& ds, std::uint16_t group, std::uint16_t element)
{
    const gdcm::Tag tag(group, element);
    if (!ds.FindDataElement(tag))
        return std::nan("");
    const gdcm::ByteValue* bv = ds.GetDataElement(tag).GetByteValue();
    if (bv == nullptr || bv->GetPointer() == nullptr)
        return std::nan("");
    std::string text(bv->GetPointer(), std::min<std::size_t>(bv->GetLength(), 64));
    text = text.substr(0, text.find('\\'));
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    return end == text.c_str() || !std::isfinite(v) ? std::nan("") : v;
}

const char* CompressionOf(const gdcm::TransferSyntax& ts)
{
    if (ts.IsEncapsulated()) {
        switch (ts) {
        case gdcm::TransferSyntax::RLELossless: return "RLE";
        case gdcm::TransferSyntax::JPEGLSLossless:
        case gdcm::TransferSyntax::JPEGLSNearLossless: return "JPEG-LS";
        case gdcm::TransferSyntax::JPEG2000Lossless:
        case gdcm::TransferSyntax::JPEG2000: return "JPEG 2000";
        default: return "JPEG";
        }
    }
    return ts == gdcm::TransferSyntax::DeflatedExplicitVRLittleEndian ? "Deflate" : "None";
}

// The GDCM side: parses the data set and decodes its pixels; fills f and the first
// frame's samples.
void ReadWithGdcm(std::span<const std::uint8_t> bytes, Frame& f, std::vector<std::uint8_t>& samples)
{
    SpanBuf buf(bytes);
    std::istream in(&buf);
    gdcm::ImageReader reader;
    reader.SetStream(in);
    if (!reader.Read()) {
        f.rc = kMagicError;
        return;
    }
    const gdcm::DataSet& ds = reader.GetFile().GetDataSet();
    const gdcm::Image* image = &reader.GetImage();
    gdcm::ImageApplyLookupTable palette;
    if (image->GetPhotometricInterpretation() == gdcm::PhotometricInterpretation::PALETTE_COLOR) {
        // The lookup decodes every frame first: the size limits apply before it runs.
        const unsigned int* d = image->GetDimensions();
        if (d == nullptr || PictureBytes(d[0], d[1], 3) == SIZE_MAX ||
            image->GetBufferLength() > kMaxPictureBytes / 3) {
            f.rc = kImageTooLarge;
            return;
        }
        if (image->GetTransferSyntax().IsEncapsulated() && image->GetBufferLength() / 1024 > bytes.size()) {
            f.rc = kDataError;
            return;
        }
        palette.SetInput(*image);
        f.rc = kDataError;
        if (!palette.Apply())
            return;
        image = &palette.GetOutput();
    }
    const gdcm::Image& im = *image;
    const gdcm::PixelFormat pf = im.GetPixelFormat();
    const gdcm::PhotometricInterpretation pi = im.GetPhotometricInterpretation();
    const unsigned int* dims = im.GetDimensions();
    f.rc = kDataError;
    if (dims == nullptr || im.GetNumberOfDimensions() < 2)
        return;
    const gdcm::TransferSyntax ts = im.GetTransferSyntax();
    f.width = dims[0];
    f.height = dims[1];
    f.samples = pf.GetSamplesPerPixel();
    f.bits_allocated = pf.GetBitsAllocated();
    f.bits_stored = pf.GetBitsStored();
    f.high_bit = pf.GetHighBit();
    f.is_signed = pf.GetPixelRepresentation() == 1 ? 1 : 0;
    f.planar = im.GetPlanarConfiguration() == 1 ? 1 : 0;
    f.slope = im.GetSlope();
    f.intercept = im.GetIntercept();
    f.centre = FirstDecimal(ds, 0x0028, 0x1050);
    f.window = FirstDecimal(ds, 0x0028, 0x1051);
    std::snprintf(f.compression, sizeof f.compression, "%s", CompressionOf(ts));
    if (pi == gdcm::PhotometricInterpretation::MONOCHROME1)
        f.kind = Kind::InvertedGrey;
    else if (pi == gdcm::PhotometricInterpretation::MONOCHROME2)
        f.kind = Kind::Grey;
    else if (pi == gdcm::PhotometricInterpretation::YBR_FULL_422 && !ts.IsEncapsulated())
        f.kind = Kind::Ybr422;
    else if (pi == gdcm::PhotometricInterpretation::YBR_FULL || pi == gdcm::PhotometricInterpretation::YBR_FULL_422)
        f.kind = Kind::Ybr;
    else
        f.kind = Kind::Rgb; // RGB, and the YBR_RCT / YBR_ICT that the JPEG 2000 decoder turns into RGB
    if (pf.GetScalarType() == gdcm::PixelFormat::FLOAT32 || pf.GetScalarType() == gdcm::PixelFormat::FLOAT64) {
        f.rc = kBitDepthNotSupported;
        return;
    }
    if (int rc = CheckFrame(f); rc != kOk) {
        f.rc = rc;
        return;
    }
    const std::uint64_t frame_bytes = FrameBytes(f);
    f.rc = kDataError;
    if (f.kind == Kind::Ybr422 || !ts.IsEncapsulated()) {
        // Native data must hold the first frame; it is taken from the element itself.
        const gdcm::Tag pixel_data(0x7FE0, 0x0010);
        const gdcm::ByteValue* bv = ds.FindDataElement(pixel_data) ? ds.GetDataElement(pixel_data).GetByteValue() : nullptr;
        if (bv == nullptr || bv->GetPointer() == nullptr || bv->GetLength() < frame_bytes)
            return;
        if (f.kind == Kind::Ybr422) {
            samples.assign(bv->GetPointer(), bv->GetPointer() + frame_bytes);
            f.bytes = frame_bytes;
            f.rc = kOk;
            return;
        }
    } else if (frame_bytes / 1024 > bytes.size()) {
        return; // compressed data does not expand a thousandfold
    }
    const std::uint64_t length = im.GetBufferLength();
    if (length > kMaxPictureBytes) {
        f.rc = kImageTooLarge;
        return;
    }
    if (length < frame_bytes)
        return;
    samples.assign(static_cast<std::size_t>(length), 0); // what a decoder leaves unwritten shows black
    if (!im.GetBuffer(reinterpret_cast<char*>(samples.data())))
        return;
    samples.resize(static_cast<std::size_t>(frame_bytes));
    f.bytes = frame_bytes;
    f.rc = kOk;
}


} // namespace

extern "C" [[gnu::visibility("default")]] void ravelscope_read_with_gdcm(const std::uint8_t* data, std::size_t size,
                                                                         dicom_gdcm::Frame* f, std::vector<std::uint8_t>* samples)
{
    ReadWithGdcm(std::span<const std::uint8_t>(data, size), *f, *samples);
}
