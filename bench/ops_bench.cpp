// The picture operations on a 4096 × 4096 picture, beside a memcpy of the same 48 MiB.
// Each benchmark reports "x_memcpy": its time as a multiple of the memcpy's.
#include "base/Result_codes.h"
#include "ops/Edgedetection.h"
#include "ops/Explssn.h"
#include "ops/Hist_equal.h"
#include "ops/Medfltr.h"
#include "ops/Ops_common.h"
#include "ops/Pixel_commands.h"
#include "ops/Pixelize.h"
#include "ops/Rotation.h"
#include "ops/Solarized.h"

#include "bench/bench_support.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr int kSide = 4096;
constexpr std::size_t kBytes = std::size_t{kSide} * kSide * 3;

// The source picture, made once: smooth gradients with noise, like a photograph.
const Dib& Source()
{
    static Dib pic;
    if (pic.Empty()) {
        if (pic.SetSize(kSide, kSide, 24) != kOk)
            std::abort();
        std::uint32_t r = 12345;
        for (int y = 0; y < kSide; ++y) {
            std::uint8_t* p = pic.ScanLine(y);
            for (int x = 0; x < kSide * 3; ++x) {
                r = r * 1103515245u + 12345u;
                p[x] = static_cast<std::uint8_t>((x / 3 + y) / 32 + (r >> 28));
            }
        }
    }
    return pic;
}

// Times op(src, dst) per iteration; dst is reused (sized by a first untimed run).
void Run(benchmark::State& state, const std::function<void(const Dib&, Dib&)>& op)
{
    const Dib& src = Source();
    Dib dst;
    op(src, dst);
    double total = 0;
    for (auto _ : state) {
        const auto s = std::chrono::steady_clock::now();
        op(src, dst);
        benchmark::DoNotOptimize(dst.Bits());
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - s).count();
    }
    state.counters["x_memcpy"] = total / static_cast<double>(state.iterations()) / MemcpySeconds(kBytes);
}

// In-place commands run on a copy made once; repeating them is fine for timing.
void RunInPlace(benchmark::State& state, const std::function<void(Dib&)>& op)
{
    Dib pic;
    if (CopyBitmap(Source(), pic) != kOk)
        std::abort();
    double total = 0;
    for (auto _ : state) {
        const auto s = std::chrono::steady_clock::now();
        op(pic);
        benchmark::DoNotOptimize(pic.Bits());
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - s).count();
    }
    state.counters["x_memcpy"] = total / static_cast<double>(state.iterations()) / MemcpySeconds(kBytes);
}

void BM_OpsMemcpy(benchmark::State& state)
{
    RunInPlace(state, [](Dib& d) {
        static std::vector<std::uint8_t> other(kBytes);
        std::memcpy(other.data(), d.Bits(), kBytes);
    });
}
void BM_Negative(benchmark::State& s) { RunInPlace(s, Negative); }
void BM_GrayScale(benchmark::State& s) { RunInPlace(s, [](Dib& d) { GrayScale(d); }); }
void BM_SwapGbr(benchmark::State& s)
{
    const int order[3] = {1, 2, 0};
    RunInPlace(s, [&](Dib& d) { SwapChannels(d, order); });
}
void BM_Mirror(benchmark::State& s) { RunInPlace(s, Mirror); }
void BM_Flip(benchmark::State& s) { RunInPlace(s, FlipVertical); }
void BM_Gamma(benchmark::State& s) { Run(s, [](const Dib& a, Dib& b) { (void)GammaCorrect(a, b, 2.2); }); }
void BM_Solarize(benchmark::State& s)
{
    Run(s, [](const Dib& a, Dib& b) {
        (void)EnsureBitmap(b, a.Width(), a.Height());
        Solarize(a, b, 100);
    });
}
void BM_Equalize(benchmark::State& s) { Run(s, [](const Dib& a, Dib& b) { (void)EqualizeHistogram(a, b); }); }
void BM_RotateLeft(benchmark::State& s) { Run(s, [](const Dib& a, Dib& b) { (void)RotateLeft(a, b); }); }
void BM_RotateRight(benchmark::State& s) { Run(s, [](const Dib& a, Dib& b) { (void)RotateRight(a, b); }); }
void BM_Edges(benchmark::State& s)
{
    Run(s, [](const Dib& a, Dib& b) {
        (void)EnsureBitmap(b, a.Width(), a.Height());
        DetectEdges(a, b);
    });
}
void BM_Rotate45(benchmark::State& s)
{
    static const std::uint8_t kWhite[3] = {255, 255, 255};
    Run(s, [](const Dib& a, Dib& b) { (void)RotateBitmap(a, b, 45.0, kWhite); });
}
void BM_Median3(benchmark::State& s) { Run(s, [](const Dib& a, Dib& b) { (void)MedianFilter(a, b, 3); }); }
void BM_Median11(benchmark::State& s) { Run(s, [](const Dib& a, Dib& b) { (void)MedianFilter(a, b, 11); }); }
void BM_Pixelate5(benchmark::State& s) { Run(s, [](const Dib& a, Dib& b) { (void)Pixelate(a, b, 5); }); }
void BM_Explode5(benchmark::State& s) { Run(s, [](const Dib& a, Dib& b) { (void)Explode(a, b, 5); }); }
void BM_Statistics(benchmark::State& s)
{
    Run(s, [](const Dib& a, Dib&) {
        ChannelStatistics st[3];
        ComputeStatistics(a, st);
        benchmark::DoNotOptimize(st);
    });
}

#define OPS_BENCH(f) BENCHMARK(f)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.5)
OPS_BENCH(BM_OpsMemcpy);
OPS_BENCH(BM_Negative);
OPS_BENCH(BM_GrayScale);
OPS_BENCH(BM_SwapGbr);
OPS_BENCH(BM_Mirror);
OPS_BENCH(BM_Flip);
OPS_BENCH(BM_Gamma);
OPS_BENCH(BM_Solarize);
OPS_BENCH(BM_Equalize);
OPS_BENCH(BM_RotateLeft);
OPS_BENCH(BM_RotateRight);
OPS_BENCH(BM_Edges);
OPS_BENCH(BM_Rotate45);
OPS_BENCH(BM_Median3);
BENCHMARK(BM_Median11)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
OPS_BENCH(BM_Pixelate5);
OPS_BENCH(BM_Explode5);
OPS_BENCH(BM_Statistics);

} // namespace
