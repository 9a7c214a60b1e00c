// GIF decoding and encoding, colour reduction, PCX and BMP decoding of a 4096 × 4096
// photograph-like picture, beside a memcpy of the same 48 MiB ("x_memcpy": time as a
// multiple of the memcpy's). With giflib's headers on the machine, giflib's DGifSlurp plus
// the palette expansion runs on the same GIF file for comparison.
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"
#include "dec_enc/Gif_cpp_w.h"
#include "dec_enc/Rcd.h"

#include "bench/bench_support.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef RAVELSCOPE_HAVE_GIFLIB
#include <gif_lib.h>
#endif

namespace {

constexpr int kSide = 4096;
constexpr std::size_t kBytes = std::size_t{kSide} * kSide * 3;

// Smooth shading, edges and a little noise in every channel: thousands of colours.
void FillPhoto(std::uint8_t* bgr)
{
    std::uint32_t noise = 12345;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x, bgr += 3) {
            noise = noise * 1664525u + 1013904223u;
            const int n = static_cast<int>(noise >> 28) - 8;
            const double fx = x / 4096.0, fy = y / 4096.0;
            const double edge = ((x / 512 + y / 384) & 1) ? 30.0 : -30.0;
            const double b = 110 + 80 * std::sin(fx * 9.0 + fy * 2.0) + edge;
            const double g = 120 + 70 * std::cos(fy * 7.0 - fx * 3.0) + edge / 2;
            const double r = 130 + 90 * std::sin((fx + fy) * 5.0) - edge;
            bgr[0] = static_cast<std::uint8_t>(std::clamp(b + n, 0.0, 255.0));
            bgr[1] = static_cast<std::uint8_t>(std::clamp(g + n, 0.0, 255.0));
            bgr[2] = static_cast<std::uint8_t>(std::clamp(r + n, 0.0, 255.0));
        }
}

// The photograph in a document, and files of it written by our writers.
struct Inputs {
    TIMAGE_INFO doc;
    std::string gif = Scratch("photo.gif"), pcx = Scratch("photo.pcx"), bmp = Scratch("photo.bmp");
    bool ok = false;

    Inputs()
    {
        CODEC_CTX& ctx = *doc.context;
        if (ctx.ReserveDecoded(kSide, kSide) != kOk || doc.display->SetSize(kSide, kSide, 24) != kOk)
            return;
        ctx.width = ctx.height = kSide;
        ctx.bits_per_pixel = 24;
        FillPhoto(ctx.decoded.data());
        for (int y = 0; y < kSide; ++y)
            std::memcpy(doc.display->ScanLine(y), ctx.DecodedRow(y), std::size_t{kSide} * 3);
        doc.display_width = doc.display_height = kSide;
        doc.state = kPictureOpen;
        ok = PrepareSave(doc, kSaveGif, gif) == kOk && doc.Save() == kOk && PrepareSave(doc, kSavePcx, pcx) == kOk &&
             doc.Save() == kOk && PrepareSave(doc, kSaveBmp, bmp) == kOk && doc.Save() == kOk;
    }
    ~Inputs()
    {
        std::remove(gif.c_str());
        std::remove(pcx.c_str());
        std::remove(bmp.c_str());
    }
};

Inputs& Shared()
{
    static Inputs inputs;
    return inputs;
}

template <class F>
void Timed(benchmark::State& state, F&& run)
{
    if (!Shared().ok) {
        state.SkipWithError("cannot write the inputs");
        return;
    }
    run(); // warm the buffers once
    double total = 0;
    for (auto _ : state) {
        const auto s = std::chrono::steady_clock::now();
        if (!run())
            state.SkipWithError("failed");
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - s).count();
    }
    state.counters["x_memcpy"] = total / static_cast<double>(state.iterations()) / MemcpySeconds(kBytes);
}

void ReaderBench(benchmark::State& state, ReaderFn reader, const std::string& path)
{
    CODEC_CTX ctx;
    ctx.input_file_name = path;
    Timed(state, [&] { return reader(ctx) == kOk; });
}

void BM_GifDecode(benchmark::State& s) { ReaderBench(s, ReadGif, Shared().gif); }
void BM_PcxDecode(benchmark::State& s) { ReaderBench(s, ReadPcx, Shared().pcx); }
void BM_BmpDecode(benchmark::State& s) { ReaderBench(s, ReadBmp, Shared().bmp); }

void BM_GifEncode(benchmark::State& state)
{
    CODEC_CTX& ctx = *Shared().doc.context; // index buffer and palette of the reduction
    ctx.output_file_name = Scratch("encode.gif");
    Timed(state, [&] {
        TGIF gif;
        return gif.Save(ctx) == kOk;
    });
    std::remove(ctx.output_file_name.c_str());
}

void BM_Trcd(benchmark::State& state)
{
    CODEC_CTX& ctx = *Shared().doc.context;
    Timed(state, [&] {
        auto rcd = std::make_unique<TRCD>();
        return rcd->ReduceColorDepth(ctx) == kOk;
    });
}

#ifdef RAVELSCOPE_HAVE_GIFLIB
// giflib reading the same file: DGifSlurp, then each index through the colour map into
// blue-green-red pixels.
void BM_GifDecodeGiflib(benchmark::State& state)
{
    std::vector<std::uint8_t> out(kBytes);
    Timed(state, [&] {
        int error = 0;
        GifFileType* gif = DGifOpenFileName(Shared().gif.c_str(), &error);
        if (gif == nullptr)
            return false;
        bool ok = DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0;
        if (ok) {
            const SavedImage& im = gif->SavedImages[0];
            const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
            const std::size_t n = static_cast<std::size_t>(im.ImageDesc.Width) * static_cast<std::size_t>(im.ImageDesc.Height);
            std::uint8_t* d = out.data();
            for (std::size_t i = 0; i < n; ++i, d += 3) {
                const GifColorType& c = map->Colors[im.RasterBits[i]];
                d[0] = c.Blue;
                d[1] = c.Green;
                d[2] = c.Red;
            }
        }
        DGifCloseFile(gif, &error);
        return ok;
    });
}
BENCHMARK(BM_GifDecodeGiflib)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

BENCHMARK(BM_GifDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GifEncode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Trcd)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PcxDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BmpDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
