// The TARGA, Silicon Graphics, PICT, Paint Shop Pro and Photo CD readers on a 4096 × 4096
// picture (Photo CD: its 768 × 512 Base image), in pixels per second. Each input is
// written once by small encoders here; the reader runs on a reused context, as in the
// viewer.
#include "base/Byte_order.h"
#include "base/Result_codes.h"
#include "dec_enc/Codecs.h"

#include "bench/bench_support.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr int kSide = 4096;

// A photo-like picture: smooth gradients with some noise, so run-length coders meet both
// runs and literals. Red, green, blue planes.
const std::vector<Bytes>& Planes()
{
    static const std::vector<Bytes> planes = [] {
        std::vector<Bytes> p(3, Bytes(std::size_t{kSide} * kSide));
        std::uint32_t seed = 1;
        for (std::size_t y = 0; y < kSide; ++y)
            for (std::size_t x = 0; x < kSide; ++x) {
                seed = seed * 1103515245u + 12345u;
                const unsigned noise = (seed >> 16) & ((x / 512) % 2 == 0 ? 0 : 7);
                p[0][y * kSide + x] = static_cast<std::uint8_t>(x / 16 + noise);
                p[1][y * kSide + x] = static_cast<std::uint8_t>(y / 16);
                p[2][y * kSide + x] = static_cast<std::uint8_t>((x + y) / 32 + noise);
            }
        return p;
    }();
    return planes;
}

void Append(Bytes& b, std::initializer_list<std::uint8_t> v) { b.insert(b.end(), v); }
void Word(Bytes& b, int order, std::uint32_t v)
{
    std::uint8_t t[2];
    StoreWord(order, v, t);
    b.push_back(t[0]);
    b.push_back(t[1]);
}
void Dword(Bytes& b, int order, std::uint32_t v)
{
    std::uint8_t t[4];
    StoreDword(order, v, t);
    b.insert(b.end(), t, t + 4);
}

// Generic run-length coding of units: runs of 3 or more, literals otherwise.
template <typename EmitRun, typename EmitLiteral>
void RunLength(const std::uint8_t* p, std::size_t n, std::size_t unit, std::size_t max_count, EmitRun run,
               EmitLiteral literal)
{
    std::size_t i = 0;
    while (i < n) {
        std::size_t r = 1;
        while (i + r < n && r < max_count && std::equal(p + i * unit, p + (i + 1) * unit, p + (i + r) * unit))
            ++r;
        if (r >= 3) {
            run(p + i * unit, r);
            i += r;
            continue;
        }
        std::size_t l = 1;
        while (i + l < n && l < max_count &&
               !(i + l + 2 < n && std::equal(p + (i + l) * unit, p + (i + l + 1) * unit, p + (i + l + 1) * unit) &&
                 std::equal(p + (i + l) * unit, p + (i + l + 1) * unit, p + (i + l + 2) * unit)))
            ++l;
        literal(p + i * unit, l);
        i += l;
    }
}

Bytes TgaFile(bool rle)
{
    Bytes b(18, 0);
    b[2] = rle ? 10 : 2;
    StoreWord(kLittleEndian, kSide, b.data() + 12);
    StoreWord(kLittleEndian, kSide, b.data() + 14);
    b[16] = 24;
    b[17] = 0x20;
    const auto& p = Planes();
    Bytes row(std::size_t{kSide} * 3);
    for (std::size_t y = 0; y < kSide; ++y) {
        for (std::size_t x = 0; x < kSide; ++x) {
            row[3 * x] = p[2][y * kSide + x];
            row[3 * x + 1] = p[1][y * kSide + x];
            row[3 * x + 2] = p[0][y * kSide + x];
        }
        if (!rle) {
            b.insert(b.end(), row.begin(), row.end());
            continue;
        }
        RunLength(
            row.data(), kSide, 3, 128,
            [&](const std::uint8_t* px, std::size_t n) {
                b.push_back(static_cast<std::uint8_t>(0x80 | (n - 1)));
                b.insert(b.end(), px, px + 3);
            },
            [&](const std::uint8_t* px, std::size_t n) {
                b.push_back(static_cast<std::uint8_t>(n - 1));
                b.insert(b.end(), px, px + 3 * n);
            });
    }
    return b;
}

Bytes SgiFile(bool rle)
{
    Bytes b(512, 0);
    StoreWord(kBigEndian, 474, b.data());
    b[2] = rle ? 1 : 0;
    b[3] = 1;
    StoreWord(kBigEndian, 3, b.data() + 4);
    StoreWord(kBigEndian, kSide, b.data() + 6);
    StoreWord(kBigEndian, kSide, b.data() + 8);
    StoreWord(kBigEndian, 3, b.data() + 10);
    const auto& p = Planes();
    if (!rle) {
        for (int c = 0; c < 3; ++c)
            for (std::size_t r = 0; r < kSide; ++r) {
                const auto* row = p[c].data() + (kSide - 1 - r) * kSide;
                b.insert(b.end(), row, row + kSide);
            }
        return b;
    }
    const std::size_t entries = std::size_t{kSide} * 3;
    Bytes data;
    std::vector<std::uint32_t> starts, lengths;
    for (int c = 0; c < 3; ++c)
        for (std::size_t r = 0; r < kSide; ++r) {
            const std::size_t start = data.size();
            RunLength(
                p[c].data() + (kSide - 1 - r) * kSide, kSide, 1, 127,
                [&](const std::uint8_t* v, std::size_t n) { Append(data, {static_cast<std::uint8_t>(n), *v}); },
                [&](const std::uint8_t* v, std::size_t n) {
                    data.push_back(static_cast<std::uint8_t>(0x80 | n));
                    data.insert(data.end(), v, v + n);
                });
            data.push_back(0);
            starts.push_back(static_cast<std::uint32_t>(512 + entries * 8 + start));
            lengths.push_back(static_cast<std::uint32_t>(data.size() - start));
        }
    for (std::uint32_t s : starts)
        Dword(b, kBigEndian, s);
    for (std::uint32_t l : lengths)
        Dword(b, kBigEndian, l);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

// Version 2, one DirectBitsRect of 32-bit pixels, rows PackBits-coded by planes.
Bytes PictFile()
{
    Bytes b(512, 0);
    Word(b, kBigEndian, 0);
    for (std::uint32_t v : {0u, 0u, std::uint32_t{kSide}, std::uint32_t{kSide}})
        Word(b, kBigEndian, v);
    Append(b, {0x00, 0x11, 0x02, 0xFF, 0x0C, 0x00});
    b.insert(b.end(), 24, 0);
    Append(b, {0x00, 0x9A});
    Dword(b, kBigEndian, 0xFF);
    Word(b, kBigEndian, 0x8000 | (kSide * 4));
    auto rect = [&] {
        for (std::uint32_t v : {0u, 0u, std::uint32_t{kSide}, std::uint32_t{kSide}})
            Word(b, kBigEndian, v);
    };
    rect();
    for (std::uint32_t v : {0u, 4u})
        Word(b, kBigEndian, v);
    for (std::uint32_t v : {0u, 0x480000u, 0x480000u})
        Dword(b, kBigEndian, v);
    for (std::uint32_t v : {16u, 32u, 3u, 8u})
        Word(b, kBigEndian, v);
    for (int i = 0; i < 3; ++i)
        Dword(b, kBigEndian, 0);
    rect();
    rect();
    Word(b, kBigEndian, 0);
    const auto& p = Planes();
    Bytes row(std::size_t{kSide} * 3), packed;
    for (std::size_t y = 0; y < kSide; ++y) {
        for (int c = 0; c < 3; ++c)
            std::copy_n(p[c].data() + y * kSide, kSide, row.begin() + c * kSide);
        packed.clear();
        RunLength(
            row.data(), row.size(), 1, 128,
            [&](const std::uint8_t* v, std::size_t n) { Append(packed, {static_cast<std::uint8_t>(257 - n), *v}); },
            [&](const std::uint8_t* v, std::size_t n) {
                packed.push_back(static_cast<std::uint8_t>(n - 1));
                packed.insert(packed.end(), v, v + n);
            });
        Word(b, kBigEndian, static_cast<std::uint32_t>(packed.size()));
        b.insert(b.end(), packed.begin(), packed.end());
    }
    if (b.size() & 1)
        b.push_back(0);
    Append(b, {0x00, 0xFF});
    return b;
}

// Version 3 blocks, one layer of three zlib channels.
Bytes PspFile()
{
    Bytes b(32, 0);
    const char sig[] = "Paint Shop Pro Image File\n\x1a";
    std::copy(sig, sig + sizeof sig - 1, b.begin());
    Word(b, kLittleEndian, 3);
    Word(b, kLittleEndian, 0);
    auto block = [&](int id, const Bytes& data) {
        Append(b, {'~', 'B', 'K', 0});
        Word(b, kLittleEndian, static_cast<std::uint32_t>(id));
        Dword(b, kLittleEndian, static_cast<std::uint32_t>(data.size()));
        Dword(b, kLittleEndian, static_cast<std::uint32_t>(data.size()));
        b.insert(b.end(), data.begin(), data.end());
    };
    Bytes gia(38, 0);
    StoreDword(kLittleEndian, kSide, gia.data());
    StoreDword(kLittleEndian, kSide, gia.data() + 4);
    StoreWord(kLittleEndian, 2, gia.data() + 17);
    StoreWord(kLittleEndian, 24, gia.data() + 19);
    block(0, gia);
    for (int c = 0; c < 3; ++c) {
        const Bytes& plane = Planes()[static_cast<std::size_t>(c)];
        uLongf n = compressBound(static_cast<uLong>(plane.size()));
        Bytes z(n);
        compress2(z.data(), &n, plane.data(), static_cast<uLong>(plane.size()), 1);
        z.resize(n);
        Bytes data;
        Dword(data, kLittleEndian, static_cast<std::uint32_t>(z.size()));
        Dword(data, kLittleEndian, static_cast<std::uint32_t>(plane.size()));
        Word(data, kLittleEndian, 0);
        Word(data, kLittleEndian, static_cast<std::uint32_t>(c + 1));
        data.insert(data.end(), z.begin(), z.end());
        block(5, data);
    }
    return b;
}

Bytes PcdFile()
{
    Bytes b(96 * 2048 + 768 * 512 * 3 / 2, 0);
    std::copy_n("PCD_IPI", 7, b.begin() + 2048);
    for (std::size_t i = 96 * 2048; i < b.size(); ++i)
        b[i] = static_cast<std::uint8_t>(100 + (i * 7) % 80);
    return b;
}

void ReaderBench(benchmark::State& state, const char* ext, Bytes (*make)(), ReaderFn read, std::int64_t pixels)
{
    const std::string path = Scratch(std::string("read.") + ext);
    {
        const Bytes file = make();
        FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr || std::fwrite(file.data(), 1, file.size(), f) != file.size()) {
            state.SkipWithError("cannot write the input");
            return;
        }
        std::fclose(f);
    }
    CODEC_CTX ctx;
    ctx.input_file_name = path;
    for (auto _ : state)
        if (read(ctx) != kOk)
            state.SkipWithError("read failed");
    state.SetItemsProcessed(state.iterations() * pixels);
    std::remove(path.c_str());
}

constexpr std::int64_t kPixels = std::int64_t{kSide} * kSide;

void BM_ReadTga(benchmark::State& s) { ReaderBench(s, "tga", [] { return TgaFile(false); }, ReadTga, kPixels); }
void BM_ReadTgaRle(benchmark::State& s) { ReaderBench(s, "tga", [] { return TgaFile(true); }, ReadTga, kPixels); }
void BM_ReadSgi(benchmark::State& s) { ReaderBench(s, "sgi", [] { return SgiFile(false); }, ReadSgi, kPixels); }
void BM_ReadSgiRle(benchmark::State& s) { ReaderBench(s, "sgi", [] { return SgiFile(true); }, ReadSgi, kPixels); }
void BM_ReadPict(benchmark::State& s) { ReaderBench(s, "pct", PictFile, ReadPict, kPixels); }
void BM_ReadPsp(benchmark::State& s) { ReaderBench(s, "psp", PspFile, ReadPsp, kPixels); }
void BM_ReadPcd(benchmark::State& s) { ReaderBench(s, "pcd", PcdFile, ReadPcd, 768 * 512); }
BENCHMARK(BM_ReadTga)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadTgaRle)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadSgi)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadSgiRle)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadPict)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadPsp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadPcd)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
