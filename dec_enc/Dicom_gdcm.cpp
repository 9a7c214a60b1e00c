// DICOM data sets through GDCM, which parses the file and decodes every common transfer
// syntax (native, deflate, RLE, JPEG, JPEG-LS, JPEG 2000); only the first frame is shown.
//
// GDCM asserts (and so ends its process) on some damaged headers, and its decoders were not
// written for hostile input: it runs in the decoding helper (dec_enc/Decode_helper.h),
// which hands back the finished picture (dec_enc/Dicom_pixels.h maps the samples there).
// This side only checks the meta group and the lengths first (dec_enc/Dicom_meta.h), so
// that bytes that are no data set, or whose lengths promise gigabytes, start no helper.
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Decode_helper.h"
#include "dec_enc/Dicom_meta.h"

#include <vector>

int DecodeDicomGdcm(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    std::vector<std::uint8_t> made;
    std::span<const std::uint8_t> data;
    if (int rc = PrepareDicomBytes(bytes, made, data); rc != kOk)
        return rc;
    return DecodeInHelper(ctx, HelperReader::kDicom, data);
}

int DecodeDicomFile(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    const int rc = DecodeDicomGdcm(ctx, bytes);
    if (rc == kOk)
        return kOk;
    // Files GDCM cannot read may still have the one fixed layout of the older reader; when
    // they have not, GDCM's answer and its reason stand.
    const std::string reason = ctx.failure_reason;
    const int fixed = DecodeDicom(ctx, bytes);
    if (fixed == kOk || rc == kMagicError)
        return fixed;
    ctx.failure_reason = reason;
    return rc;
}
