// Writes the bundled sample pictures with the program's own writers:
//   make_samples DIR
#include "core/Imageinfo.h"
#include "base/Result_codes.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

namespace {

using Painter = std::function<void(int x, int y, std::uint8_t* bgr)>;

int Paint(TIMAGE_INFO& doc, int w, int h, const Painter& paint)
{
    CODEC_CTX& ctx = *doc.context;
    if (int rc = ctx.ReserveDecoded(w, h); rc != kOk)
        return rc;
    ctx.width = w;
    ctx.height = h;
    ctx.bits_per_pixel = 24;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            paint(x, y, ctx.DecodedRow(y) + 3 * x);
    if (int rc = CopyDecodedTo(ctx, *doc.display); rc != kOk)
        return rc;
    doc.display_width = w;
    doc.display_height = h;
    doc.state = kPictureOpen;
    doc.edited = 0;
    return kOk;
}

std::uint8_t Clamp(double v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: make_samples DIR\n", stderr);
        return 2;
    }
    const std::string dir = argv[1];
    mkdir(dir.c_str(), 0755);
    TIMAGE_INFO doc;

    struct Sample {
        const char* name;
        std::int32_t save_code;
        int w, h;
        Painter paint;
    };
    const Sample samples[] = {
        {"gradient.ppm", kSavePpm, 320, 240,
         [](int x, int y, std::uint8_t* p) {
             p[0] = static_cast<std::uint8_t>(255 - x * 255 / 319);
             p[1] = static_cast<std::uint8_t>(y * 255 / 239);
             p[2] = static_cast<std::uint8_t>(x * 255 / 319);
         }},
        {"rings.tga", kSaveTga, 256, 256,
         [](int x, int y, std::uint8_t* p) {
             const double r = std::hypot(x - 128.0, y - 128.0);
             p[0] = Clamp(128 + 127 * std::sin(r / 6.0));
             p[1] = Clamp(128 + 127 * std::sin(r / 9.0 + 2.0));
             p[2] = Clamp(128 + 127 * std::cos(r / 13.0));
         }},
        {"checker.pgm", kSavePgm, 200, 150,
         [](int x, int y, std::uint8_t* p) { p[0] = p[1] = p[2] = ((x / 25 + y / 25) & 1) ? 230 : 40; }},
        {"plasma.bmp", kSaveBmp, 300, 200,
         [](int x, int y, std::uint8_t* p) {
             const double v = std::sin(x / 17.0) + std::sin(y / 11.0) + std::sin((x + y) / 23.0);
             p[0] = Clamp(128 + 42 * v);
             p[1] = Clamp(128 + 42 * std::sin(v * 2.0));
             p[2] = Clamp(128 - 42 * v);
         }},
        {"stripes.sun", kSaveSun, 161, 101,
         [](int x, int y, std::uint8_t* p) {
             static const std::uint8_t colours[4][3] = {{40, 40, 200}, {40, 200, 40}, {200, 40, 40}, {230, 230, 230}};
             const std::uint8_t* c = colours[((x + y) / 20) & 3];
             p[0] = c[0];
             p[1] = c[1];
             p[2] = c[2];
         }},
    };
    int status = 0;
    for (const Sample& s : samples) {
        const std::string path = dir + "/" + s.name;
        int rc = Paint(doc, s.w, s.h, s.paint);
        if (rc == kOk)
            rc = PrepareSave(doc, s.save_code, path);
        if (rc == kOk)
            rc = doc.Save();
        if (rc != kOk) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), ResultText(rc));
            status = 1;
        }
    }
    return status;
}
