// Photo CD image packs (.PCD): the Base resolution (768 × 512) through the Photo CD layer
// in dec_enc/Pcd_lib, converted from its red-green-blue lines to blue-green-red rows.
// The rotation recorded in the pack is not applied.
#include "base/Diagnostics.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Pcd_lib.h"

#include <cstdio>
#include <memory>

namespace {

constexpr int kBaseResolution = 3;
constexpr int kRgbLine = 2;

struct PcdCloser {
    void operator()(PCD_IMAGE* img) const
    {
        pcd_close(img);
        delete img;
    }
};

// Reports a failure of the layer and maps it to a result code.
int LayerFailure(const PCD_IMAGE& img)
{
    Diagnose("libpcd: %s", img.errmsg);
    switch (img.failure) {
    case kPcdOpenFailed:
        return kOpenFileError;
    case kPcdNotAPack:
        return kMagicError;
    default:
        return kDataError;
    }
}

} // namespace

int DecodePcd(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes)
{
    std::unique_ptr<PCD_IMAGE, PcdCloser> img(new PCD_IMAGE);
    if (pcd_open_bytes(img.get(), bytes.data(), bytes.size()) != 0)
        return LayerFailure(*img);
    int left = 0, top = 0, width = 0, height = 0;
    if (pcd_select(img.get(), kBaseResolution, 0, 0, 0, 0, &left, &top, &width, &height) == -1)
        return LayerFailure(*img);
    if (width == 0 || height == 0)
        return kDataError;
    if (int rc = ctx.ReserveDecoded(width, height); rc != kOk)
        return rc;
    if (int rc = ctx.index.Reserve(static_cast<std::size_t>(width) * 3); rc != kOk)
        return rc;
    ctx.width = width;
    ctx.height = height;
    ctx.compression_name = "None";
    if (pcd_decode(img.get()) == -1)
        return LayerFailure(*img);
    std::uint8_t* line = ctx.index.data();
    for (int y = 0; y < height; ++y) {
        if (pcd_get_image_line(img.get(), y, line, kRgbLine, 0) == -1)
            return LayerFailure(*img);
        std::uint8_t* out = ctx.DecodedRow(y);
        for (int x = 0; x < width; ++x, out += 3) {
            out[0] = line[3 * x + 2];
            out[1] = line[3 * x + 1];
            out[2] = line[3 * x];
        }
    }
    return kOk;
}
