// Opening and writing a 4096 × 4096 picture, beside a plain memcpy of the same 48 MiB.
// Each benchmark reports "x_memcpy": its time as a multiple of the memcpy's.
#include "core/Imageinfo.h"
#include "base/Result_codes.h"

#include "bench/bench_support.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kSide = 4096;
constexpr std::size_t kBytes = std::size_t{kSide} * kSide * 3;

void ReportRatio(benchmark::State& state, double total_seconds)
{
    state.counters["x_memcpy"] = total_seconds / static_cast<double>(state.iterations()) / MemcpySeconds(kBytes);
}

void FillPicture(TIMAGE_INFO& doc)
{
    CODEC_CTX& ctx = *doc.context;
    if (ctx.ReserveDecoded(kSide, kSide) != kOk || doc.display->SetSize(kSide, kSide, 24) != kOk)
        std::abort();
    ctx.width = ctx.height = kSide;
    for (std::size_t i = 0; i < kBytes; ++i)
        ctx.decoded.data()[i] = static_cast<std::uint8_t>(i * 131 >> 3);
    for (int y = 0; y < kSide; ++y)
        std::memcpy(doc.display->ScanLine(y), ctx.DecodedRow(y), std::size_t{kSide} * 3);
    doc.display_width = doc.display_height = kSide;
    doc.state = kPictureOpen;
}

void BM_Memcpy(benchmark::State& state)
{
    std::vector<std::uint8_t> a(kBytes, 1), b(kBytes, 2);
    double total = 0;
    for (auto _ : state) {
        const auto s = std::chrono::steady_clock::now();
        std::memcpy(b.data(), a.data(), kBytes);
        benchmark::DoNotOptimize(b.data());
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - s).count();
    }
    ReportRatio(state, total);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();

// Opens a file written by our own writer; the document is reused, as in the viewer. With
// direct, every open decodes straight into the display bitmap.
void OpenBench(benchmark::State& state, std::int32_t save_code, const char* ext, bool direct = false)
{
    TIMAGE_INFO doc;
    FillPicture(doc);
    const std::string path = Scratch(std::string("open") + ext);
    if (PrepareSave(doc, save_code, path) != kOk || doc.Save() != kOk) {
        state.SkipWithError("cannot write the input");
        return;
    }
    double total = 0;
    for (auto _ : state) {
        doc.direct_decode = direct ? 1 : 0;
        const auto s = std::chrono::steady_clock::now();
        if (doc.Open(path) != kOk)
            state.SkipWithError("open failed");
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - s).count();
    }
    ReportRatio(state, total);
    std::remove(path.c_str());
}

void WriteBench(benchmark::State& state, std::int32_t save_code, const char* ext)
{
    TIMAGE_INFO doc;
    FillPicture(doc);
    const std::string path = Scratch(std::string("write") + ext);
    double total = 0;
    for (auto _ : state) {
        const auto s = std::chrono::steady_clock::now();
        if (PrepareSave(doc, save_code, path) != kOk || doc.Save() != kOk)
            state.SkipWithError("write failed");
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - s).count();
    }
    ReportRatio(state, total);
    std::remove(path.c_str());
}

void BM_OpenPpm(benchmark::State& s) { OpenBench(s, kSavePpm, ".ppm"); }
void BM_OpenPpmDirect(benchmark::State& s) { OpenBench(s, kSavePpm, ".ppm", true); }
void BM_OpenPgm(benchmark::State& s) { OpenBench(s, kSavePgm, ".pgm"); }
void BM_WriteTga(benchmark::State& s) { WriteBench(s, kSaveTga, ".tga"); }
void BM_WriteSun(benchmark::State& s) { WriteBench(s, kSaveSun, ".sun"); }
void BM_WritePpm(benchmark::State& s) { WriteBench(s, kSavePpm, ".ppm"); }
void BM_WriteBmp(benchmark::State& s) { WriteBench(s, kSaveBmp, ".bmp"); }
BENCHMARK(BM_OpenPpm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenPpmDirect)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenPgm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteTga)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteSun)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WritePpm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteBmp)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
