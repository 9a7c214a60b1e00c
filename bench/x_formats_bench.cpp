// Readers of Utah RLE, Scitex CT, X window dumps, X pixmaps and FITS on a 4096 × 4096
// picture, in pixels per second, each beside a memcpy of the picture's 48 MiB
// ("x_memcpy": the read's time as a multiple of the memcpy's).
#include "dec_enc/Codec_ctx.h"
#include "core/Imageinfo.h"
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

constexpr int kSide = 4096;
constexpr std::size_t kPixels = std::size_t{kSide} * kSide;

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

std::uint8_t Sample(std::size_t x, std::size_t y, int c) { return static_cast<std::uint8_t>(x * 3 + y * 5 + c * 70); }

void Word(std::vector<std::uint8_t>& b, int v)
{
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

// Three channels of byte data per row, runs where the row repeats.
std::vector<std::uint8_t> MakeRle()
{
    std::vector<std::uint8_t> b{0x52, 0xCC};
    for (int v : {0, 0, kSide, kSide})
        Word(b, v);
    b.insert(b.end(), {2, 3, 8, 0, 0, 0});
    for (std::size_t y = 0; y < kSide; ++y) {
        for (int c = 0; c < 3; ++c) {
            b.insert(b.end(), {2, static_cast<std::uint8_t>(c)});
            if (c == 2) { // a long run
                b.insert(b.end(), {0x46, 0});
                Word(b, kSide - 1);
                Word(b, Sample(0, y, c));
                continue;
            }
            b.insert(b.end(), {0x45, 0});
            Word(b, kSide - 1);
            for (std::size_t x = 0; x < kSide; ++x)
                b.push_back(Sample(x, y, c));
        }
        b.insert(b.end(), {1, 1});
    }
    b.insert(b.end(), {7, 0});
    return b;
}

std::vector<std::uint8_t> MakeSct()
{
    std::vector<std::uint8_t> b(2048, 0);
    b[80] = 'C', b[81] = 'T', b[1025] = 3;
    char field[16];
    std::snprintf(field, sizeof field, "+%013d", kSide);
    std::memcpy(&b[1056], field, 14);
    std::memcpy(&b[1070], field, 14);
    for (std::size_t y = 0; y < kSide; ++y)
        for (int c = 0; c < 3; ++c)
            for (std::size_t x = 0; x < kSide; ++x)
                b.push_back(Sample(x, y, c));
    return b;
}

std::vector<std::uint8_t> MakeXpm()
{
    std::string s = "/* XPM */\nstatic char *big[] = {\n\"4096 4096 256 2\",\n";
    const char* digits = "ABCDEFGHIJKLMNOP";
    for (int i = 0; i < 256; ++i) {
        char line[40];
        std::snprintf(line, sizeof line, "\"%c%c c #%02X%02X%02X\",\n", digits[i / 16], digits[i % 16], i, 255 - i, i / 2);
        s += line;
    }
    std::string row(kSide * 2 + 4, '"');
    for (std::size_t y = 0; y < kSide; ++y) {
        for (std::size_t x = 0; x < kSide; ++x) {
            const std::uint8_t v = Sample(x, y, 0);
            row[1 + 2 * x] = digits[v / 16];
            row[2 + 2 * x] = digits[v % 16];
        }
        row[kSide * 2 + 1] = '"';
        row[kSide * 2 + 2] = ',';
        row[kSide * 2 + 3] = '\n';
        s += row;
    }
    s += "};\n";
    return {s.begin(), s.end()};
}

std::vector<std::uint8_t> MakeFits(int bitpix)
{
    std::string h;
    auto card = [&h](const std::string& c) { h += (c + std::string(80, ' ')).substr(0, 80); };
    card("SIMPLE  =                    T");
    card("BITPIX  =                   " + std::to_string(bitpix));
    card("NAXIS   =                    2");
    card("NAXIS1  =                 4096");
    card("NAXIS2  =                 4096");
    card("END");
    h.resize(2880, ' ');
    std::vector<std::uint8_t> b(h.begin(), h.end());
    const int bytes = bitpix / 8;
    for (std::size_t y = 0; y < kSide; ++y)
        for (std::size_t x = 0; x < kSide; ++x)
            for (int k = 0; k < bytes; ++k)
                b.push_back(Sample(x, y, k));
    return b;
}

std::vector<std::uint8_t> MakeXwd()
{
    TIMAGE_INFO doc;
    CODEC_CTX& ctx = *doc.context;
    if (ctx.ReserveDecoded(kSide, kSide) != kOk || doc.display->SetSize(kSide, kSide, 24) != kOk)
        return {};
    ctx.width = ctx.height = kSide;
    for (int y = 0; y < kSide; ++y)
        for (std::size_t x = 0; x < kSide * 3; ++x)
            doc.display->ScanLine(y)[x] = Sample(x / 3, static_cast<std::size_t>(y), static_cast<int>(x % 3));
    doc.display_width = doc.display_height = kSide;
    doc.state = kPictureOpen;
    const std::string path = Scratch("-make.xwd");
    std::vector<std::uint8_t> out;
    if (PrepareSave(doc, kSaveXwd, path) == kOk && doc.Save() == kOk) {
        FILE* f = std::fopen(path.c_str(), "rb");
        std::vector<std::uint8_t> buf(1 << 20);
        std::size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0)
            out.insert(out.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(n));
        std::fclose(f);
    }
    std::remove(path.c_str());
    return out;
}

void ReadBench(benchmark::State& state, ReaderFn reader, const std::vector<std::uint8_t>& file, const char* ext)
{
    const std::string path = Scratch(ext);
    WriteFile(path, file);
    CODEC_CTX ctx;
    ctx.input_file_name = path;
    double total = 0;
    for (auto _ : state) {
        const auto s = std::chrono::steady_clock::now();
        if (reader(ctx) != kOk)
            state.SkipWithError("read failed");
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - s).count();
    }
    std::remove(path.c_str());
    state.counters["pixels_per_s"] =
        benchmark::Counter(static_cast<double>(kPixels) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["x_memcpy"] = total / static_cast<double>(state.iterations()) / MemcpySeconds(kPixels * 3);
}

void BM_ReadXwd24(benchmark::State& s) { ReadBench(s, ReadXwd, MakeXwd(), ".xwd"); }
void BM_ReadUtahRle(benchmark::State& s) { ReadBench(s, ReadUtahRle, MakeRle(), ".rle"); }
void BM_ReadSct(benchmark::State& s) { ReadBench(s, ReadSct, MakeSct(), ".sct"); }
void BM_ReadXpm(benchmark::State& s) { ReadBench(s, ReadXpm, MakeXpm(), ".xpm"); }
void BM_ReadFits8(benchmark::State& s) { ReadBench(s, ReadFits, MakeFits(8), ".fit"); }
void BM_ReadFits16(benchmark::State& s) { ReadBench(s, ReadFits, MakeFits(16), ".fit"); }
BENCHMARK(BM_ReadXwd24)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadUtahRle)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadSct)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadXpm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadFits8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadFits16)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
