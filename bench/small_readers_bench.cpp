// The small raster readers on large pictures (4096 × 4096; MacPaint at its fixed
// 576 × 720), in pixels per second, beside a memcpy of the same picture's 3-byte pixels.
// "x_memcpy" is the reader's time as a multiple of that memcpy.
#include "dec_enc/Codec_ctx.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"

#include "bench/bench_support.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kSide = 4096;

void Put(Bytes& b, std::size_t at, std::uint32_t v, int n, bool big)
{
    if (b.size() < at + static_cast<std::size_t>(n))
        b.resize(at + static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        b[at + static_cast<std::size_t>(big ? n - 1 - i : i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Text(Bytes& b, std::size_t at, const std::string& s)
{
    if (b.size() < at + s.size())
        b.resize(at + s.size());
    std::memcpy(b.data() + at, s.data(), s.size());
}

void AppendData(Bytes& b, std::size_t n)
{
    const std::size_t at = b.size();
    b.resize(at + n);
    for (std::size_t i = 0; i < n; ++i)
        b[at + i] = static_cast<std::uint8_t>(i * 131 >> 3);
}

const std::size_t kPlane = std::size_t {kSide} * kSide;

Bytes SunFile()
{
    Bytes b;
    for (std::uint32_t v : {0x59A66A95u, std::uint32_t {kSide}, std::uint32_t {kSide}, 24u, 0u, 1u, 0u, 0u})
        Put(b, b.size(), v, 4, true);
    AppendData(b, kPlane * 3);
    return b;
}

Bytes PatFile()
{
    Bytes b;
    for (std::uint32_t v : {24u, 1u, std::uint32_t {kSide}, std::uint32_t {kSide}, 3u, 0x47504154u})
        Put(b, b.size(), v, 4, true);
    AppendData(b, kPlane * 3);
    return b;
}

Bytes PixarFile()
{
    Bytes b(1024, 0);
    Put(b, 416, kSide, 2, false);
    Put(b, 418, kSide, 2, false);
    AppendData(b, kPlane * 3);
    return b;
}

Bytes MtvFile()
{
    Bytes b;
    Text(b, 0, "4096 4096\n");
    AppendData(b, kPlane * 3);
    return b;
}

Bytes VicarFile()
{
    Bytes b(1024, ' ');
    Text(b, 0, "LBLSIZE=1024 FORMAT='BYTE' N1=4096 N2=4096");
    AppendData(b, kPlane);
    return b;
}

Bytes NokiaFile()
{
    Bytes b(19, 0);
    Text(b, 0, "NOL");
    Put(b, 10, kSide, 2, false);
    Put(b, 12, kSide, 2, false);
    for (std::size_t i = 0; i < kPlane; ++i)
        b.push_back((i * 7 >> 3) & 1 ? '1' : '0');
    return b;
}

Bytes DicomFile()
{
    Bytes b(922, 0);
    Put(b, 794, 0x00100028, 4, false);
    Put(b, 802, kSide, 2, false);
    Put(b, 804, 0x00110028, 4, false);
    Put(b, 812, kSide, 2, false);
    Put(b, 914, 0x00107FE0, 4, false);
    Put(b, 918, static_cast<std::uint32_t>(kPlane), 4, false);
    AppendData(b, kPlane);
    return b;
}

Bytes FbmFile()
{
    Bytes b(256, 0);
    Text(b, 0, "%bitmap");
    Text(b, 8, "4096");
    Text(b, 16, "4096");
    Text(b, 24, "3");
    Text(b, 32, "8");
    AppendData(b, kPlane * 3);
    return b;
}

Bytes CorelFile()
{
    Bytes b(124, 0);
    Put(b, 0, 2771273, 4, false);
    Put(b, 4, 8, 4, false);
    Put(b, 42, kSide, 4, false);
    Put(b, 54, kSide, 4, false);
    AppendData(b, kPlane * 3);
    return b;
}

Bytes QrtFile()
{
    Bytes b;
    Put(b, 0, kSide, 2, false);
    Put(b, 2, kSide, 2, false);
    AppendData(b, (2 + 3 * std::size_t {kSide}) * kSide);
    return b;
}

// Rows of 512 bytes as literal runs of 255, 255 and 2 bytes.
Bytes MspFile()
{
    Bytes b(32, 0);
    Text(b, 0, "LinS");
    Put(b, 4, kSide, 2, false);
    Put(b, 6, kSide, 2, false);
    for (int y = 0; y < kSide; ++y)
        Put(b, b.size(), 515, 2, false);
    for (int y = 0; y < kSide; ++y)
        for (std::size_t n : {255u, 255u, 2u}) {
            b.push_back(static_cast<std::uint8_t>(n));
            AppendData(b, n);
        }
    return b;
}

// 720 rows of one 72-byte literal run each.
Bytes MacPaintFile()
{
    Bytes b(512, 0);
    for (int y = 0; y < 720; ++y) {
        b.push_back(71);
        AppendData(b, 72);
    }
    return b;
}

void ReaderBench(benchmark::State& state, ReaderFn reader, Bytes (*make)(), const char* ext)
{
    const std::string path = "/tmp/rvs-bench-" + std::to_string(getpid()) + ext;
    {
        const Bytes file = make();
        FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr || std::fwrite(file.data(), 1, file.size(), f) != file.size()) {
            state.SkipWithError("cannot write the input");
            if (f != nullptr)
                std::fclose(f);
            return;
        }
        std::fclose(f);
    }
    CODEC_CTX ctx; // reused, as the viewer reuses its context
    ctx.input_file_name = path;
    double total = 0;
    for (auto _ : state) {
        const auto s = std::chrono::steady_clock::now();
        if (reader(ctx) != kOk)
            state.SkipWithError("read failed");
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - s).count();
    }
    const std::size_t pixels = static_cast<std::size_t>(ctx.width) * static_cast<std::size_t>(ctx.height);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * pixels));
    state.counters["x_memcpy"] = total / static_cast<double>(state.iterations()) / MemcpySeconds(pixels * 3);
    std::remove(path.c_str());
}

#define READER_BENCH(name, reader, make, ext)                                                  \
    void BM_Read##name(benchmark::State& s) { ReaderBench(s, reader, make, ext); }             \
    BENCHMARK(BM_Read##name)->Unit(benchmark::kMillisecond)->UseRealTime()

READER_BENCH(Sun, ReadSun, SunFile, ".sun");
READER_BENCH(GimpPattern, ReadGimpPattern, PatFile, ".pat");
READER_BENCH(Pixar, ReadPixar, PixarFile, ".pxr");
READER_BENCH(Mtv, ReadMtv, MtvFile, ".mtv");
READER_BENCH(Vicar, ReadVicar, VicarFile, ".img");
READER_BENCH(NokiaLogo, ReadNokiaLogo, NokiaFile, ".nol");
READER_BENCH(Dicom, ReadDicom, DicomFile, ".dic");
READER_BENCH(Fbm, ReadFbm, FbmFile, ".fbm");
READER_BENCH(Corel, ReadCorel, CorelFile, ".cpt");
READER_BENCH(Qrt, ReadQrt, QrtFile, ".qrt");
READER_BENCH(Msp, ReadMsp, MspFile, ".msp");
READER_BENCH(MacPaint, ReadMacPaint, MacPaintFile, ".mac");

} // namespace
