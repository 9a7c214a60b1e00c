#include "dec_enc/Pcd_lib.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>

namespace {

constexpr std::size_t kSector = 2048;

struct PCD_RESOLUTION {
    int width;
    int height;
    std::size_t sector;
};

constexpr PCD_RESOLUTION kResolutions[] = {
    {192, 128, 4},  // Base/16
    {384, 256, 23}, // Base/4
    {768, 512, 96}, // Base
};

constexpr std::size_t PlaneBytes(const PCD_RESOLUTION& r)
{
    return static_cast<std::size_t>(r.width) * static_cast<std::size_t>(r.height) * 3 / 2;
}
constexpr std::size_t kPackBytes = kResolutions[2].sector * kSector + PlaneBytes(kResolutions[2]);

int Fail(PCD_IMAGE* img, PCD_FAILURE failure, const char* text)
{
    img->failure = failure;
    std::snprintf(img->errmsg, sizeof img->errmsg, "%s", text);
    return -1;
}

std::uint8_t Clamp(float v)
{
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 255.0f)));
}

// Chroma of a 4:2:0 plane at full resolution: samples sit on the even luma positions; odd
// positions take the mean of their two neighbours (the last column and row repeat).
float ChromaAt(const std::uint8_t* const* rows, int half_w, int half_h, int x, int y)
{
    const int x0 = x / 2, y0 = y / 2;
    const int x1 = (x & 1) ? std::min(x0 + 1, half_w - 1) : x0;
    const int y1 = (y & 1) ? std::min(y0 + 1, half_h - 1) : y0;
    return (static_cast<float>(rows[y0][x0]) + rows[y0][x1] + rows[y1][x0] + rows[y1][x1]) * 0.25f;
}

} // namespace

int pcd_open(PCD_IMAGE* img, const char* filename)
{
    *img = PCD_IMAGE{};
    std::FILE* f = std::fopen(filename, "rb");
    if (f == nullptr)
        return Fail(img, kPcdOpenFailed, "can't open file");
    std::vector<unsigned char> pack;
    try {
        pack.resize(kPackBytes);
    } catch (const std::exception&) {
        std::fclose(f);
        return Fail(img, kPcdOpenFailed, "out of memory");
    }
    const std::size_t got = std::fread(pack.data(), 1, pack.size(), f);
    std::fclose(f);
    return pcd_open_bytes(img, pack.data(), got);
}

int pcd_open_bytes(PCD_IMAGE* img, const unsigned char* data, std::size_t size)
{
    *img = PCD_IMAGE{};
    const std::size_t got = std::min<std::size_t>(size, kPackBytes);
    try {
        img->file.assign(data, data + got);
    } catch (const std::exception&) {
        return Fail(img, kPcdOpenFailed, "out of memory");
    }
    if (got < kPackBytes) {
        img->file.clear();
        return Fail(img, kPcdNotAPack, "probably not a PhotoCD image (too small)");
    }
    if (std::memcmp(img->file.data() + kSector, "PCD_IPI", 7) != 0) {
        img->file.clear();
        return Fail(img, kPcdNotAPack, "probably not a PhotoCD image (no PCD_IPI signature)");
    }
    return 0;
}

int pcd_select(PCD_IMAGE* img, int res, int n, int gray, int /*verbose*/, int rot, int* left, int* top,
               int* width, int* height)
{
    if (img->file.empty())
        return Fail(img, kPcdBadRequest, "no image pack open");
    if (res < 1 || res > 3)
        return Fail(img, kPcdBadRequest, "resolution not available");
    if (n != 0)
        return Fail(img, kPcdBadRequest, "picture not available");
    if (rot != 0)
        return Fail(img, kPcdBadRequest, "rotation not available");
    img->res = res;
    img->gray = gray;
    img->width = kResolutions[res - 1].width;
    img->height = kResolutions[res - 1].height;
    img->decoded = false;
    *left = 0;
    *top = 0;
    *width = img->width;
    *height = img->height;
    return 0;
}

int pcd_decode(PCD_IMAGE* img)
{
    if (img->res == 0)
        return Fail(img, kPcdBadRequest, "no resolution selected");
    const PCD_RESOLUTION& r = kResolutions[img->res - 1];
    const auto w = static_cast<std::size_t>(r.width);
    try {
        img->rgb.resize(w * static_cast<std::size_t>(r.height) * 3);
    } catch (const std::exception&) {
        return Fail(img, kPcdOpenFailed, "out of memory");
    }
    const int half_w = r.width / 2, half_h = r.height / 2;
    std::vector<const std::uint8_t*> luma(static_cast<std::size_t>(r.height));
    std::vector<const std::uint8_t*> c1(static_cast<std::size_t>(half_h)), c2(static_cast<std::size_t>(half_h));
    const std::uint8_t* base = img->file.data() + r.sector * kSector;
    for (int g = 0; g < half_h; ++g) {
        const std::uint8_t* group = base + static_cast<std::size_t>(g) * w * 3;
        luma[2 * static_cast<std::size_t>(g)] = group;
        luma[2 * static_cast<std::size_t>(g) + 1] = group + w;
        c1[static_cast<std::size_t>(g)] = group + 2 * w;
        c2[static_cast<std::size_t>(g)] = group + 2 * w + w / 2;
    }
    // PhotoYCC to RGB: L = 1.3584 Y, C1' = 2.2179 (C1 - 156), C2' = 1.8215 (C2 - 137);
    // R = L + C2', G = L - 0.194 C1' - 0.509 C2', B = L + C1', clipped to 0..255.
    std::uint8_t* out = img->rgb.data();
    for (int y = 0; y < r.height; ++y) {
        for (int x = 0; x < r.width; ++x, out += 3) {
            const float l = 1.3584f * luma[static_cast<std::size_t>(y)][x];
            if (img->gray != 0) {
                out[0] = out[1] = out[2] = Clamp(l);
                continue;
            }
            const float a = 2.2179f * (ChromaAt(c1.data(), half_w, half_h, x, y) - 156.0f);
            const float b = 1.8215f * (ChromaAt(c2.data(), half_w, half_h, x, y) - 137.0f);
            out[0] = Clamp(l + b);
            out[1] = Clamp(l - 0.194f * a - 0.509f * b);
            out[2] = Clamp(l + a);
        }
    }
    img->decoded = true;
    return 0;
}

int pcd_get_image_line(PCD_IMAGE* img, int y, unsigned char* dest, int type, int scale)
{
    if (!img->decoded)
        return Fail(img, kPcdBadRequest, "image not decoded");
    if (y < 0 || y >= img->height || scale != 0)
        return Fail(img, kPcdBadRequest, "line not available");
    const std::uint8_t* line = img->rgb.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(img->width) * 3;
    if (type == 2) {
        std::memcpy(dest, line, static_cast<std::size_t>(img->width) * 3);
    } else if (type == 1) {
        for (int x = 0; x < img->width; ++x)
            dest[x] = line[3 * x + 1];
    } else {
        return Fail(img, kPcdBadRequest, "output type not available");
    }
    return 0;
}

void pcd_close(PCD_IMAGE* img)
{
    img->file = {};
    img->rgb = {};
    img->decoded = false;
    img->res = 0;
}
