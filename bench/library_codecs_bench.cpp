// PNG, JPEG and TIFF at 4096 × 4096: each library alone (decode into one buffer of its
// own output rows, encode from one), beside the same work through our readers and writers
// (the open dispatcher's row traffic and the save preparation included). Each of ours
// reports "x_library": its time as a multiple of the library's alone.
#include "core/Imageinfo.h"
#include "base/Result_codes.h"

#include "bench/bench_support.h"

#include <benchmark/benchmark.h>
#include <png.h>
#include <tiffio.h>

#include <cstdio>

#include <jpeglib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kSide = 4096;
constexpr std::size_t kRow = std::size_t{kSide} * 3;

// Seconds per iteration of each library-alone benchmark, for the ratios.
std::map<std::string, double>& LibrarySeconds()
{
    static std::map<std::string, double> s;
    return s;
}

// A photo-like picture: smooth shading with a little noise, so that the compressors work
// as they do on real pictures.
void FillPicture(TIMAGE_INFO& doc)
{
    CODEC_CTX& ctx = *doc.context;
    if (ctx.ReserveDecoded(kSide, kSide) != kOk || doc.display->SetSize(kSide, kSide, 24) != kOk)
        std::abort();
    ctx.width = ctx.height = kSide;
    std::uint32_t seed = 1;
    for (int y = 0; y < kSide; ++y) {
        std::uint8_t* p = ctx.DecodedRow(y);
        for (int x = 0; x < kSide; ++x, p += 3) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = static_cast<int>(seed >> 29) - 4;
            p[0] = static_cast<std::uint8_t>(std::clamp(x / 16 + noise, 0, 255));
            p[1] = static_cast<std::uint8_t>(std::clamp(y / 16 + noise, 0, 255));
            p[2] = static_cast<std::uint8_t>(std::clamp(128 + int(100 * std::sin((x + y) / 300.0)) + noise, 0, 255));
        }
        std::memcpy(doc.display->ScanLine(y), ctx.DecodedRow(y), kRow);
    }
    doc.display_width = doc.display_height = kSide;
    doc.state = kPictureOpen;
}

const std::string& Input(std::int32_t save_code, const char* ext)
{
    static std::map<std::int32_t, std::string> paths;
    auto it = paths.find(save_code);
    if (it != paths.end())
        return it->second;
    TIMAGE_INFO doc;
    FillPicture(doc);
    const std::string path = Scratch(std::string("in") + ext);
    if (PrepareSave(doc, save_code, path) != kOk || doc.Save() != kOk)
        std::abort();
    return paths[save_code] = path;
}

template <typename F>
void Timed(benchmark::State& state, const std::string& name, bool library, F&& work)
{
    double total = 0;
    for (auto _ : state) {
        const auto s = std::chrono::steady_clock::now();
        if (!work()) {
            state.SkipWithError("failed");
            return;
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - s).count();
    }
    const double each = total / static_cast<double>(state.iterations());
    if (library)
        LibrarySeconds()[name] = each;
    else if (LibrarySeconds().count(name) != 0)
        state.counters["x_library"] = each / LibrarySeconds()[name];
}

// The libraries alone.

bool LibPngDecode(const std::string& path, std::vector<std::uint8_t>& out, std::vector<png_bytep>& rows)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON); // as the reader does
    png_read_info(png, info);
    png_set_bgr(png);
    png_read_update_info(png, info);
    for (int y = 0; y < kSide; ++y)
        rows[static_cast<std::size_t>(y)] = out.data() + static_cast<std::size_t>(y) * kRow;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return true;
}

bool LibPngEncode(const std::string& path, std::vector<png_bytep>& rows)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, kSide, kSide, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return true;
}

bool LibJpegDecode(const std::string& path, std::vector<std::uint8_t>& out)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGRX;
    cinfo.dct_method = JDCT_FLOAT;
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.data() + static_cast<std::size_t>(cinfo.output_scanline) * kSide * 4;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return true;
}

bool LibJpegEncode(const std::string& path, std::vector<std::uint8_t>& in)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = cinfo.image_height = kSide;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 75, TRUE);
    cinfo.dct_method = JDCT_FLOAT;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = in.data() + static_cast<std::size_t>(cinfo.next_scanline) * kSide * 4;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(f);
    return true;
}

bool LibTiffDecode(const std::string& path, std::vector<std::uint8_t>& out)
{
    TIFF* t = TIFFOpen(path.c_str(), "r");
    if (t == nullptr)
        return false;
    for (std::uint32_t y = 0; y < kSide; ++y)
        TIFFReadScanline(t, out.data() + y * kRow, y, 0);
    TIFFClose(t);
    return true;
}

bool LibTiffEncode(const std::string& path, std::vector<std::uint8_t>& in)
{
    TIFF* t = TIFFOpen(path.c_str(), "w");
    if (t == nullptr)
        return false;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kSide);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, kSide);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL); // as the writer does
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
    for (std::uint32_t y = 0; y < kSide; ++y)
        TIFFWriteScanline(t, in.data() + y * kRow, y, 0);
    TIFFClose(t);
    return true;
}

void BM_LibDecodePng(benchmark::State& s)
{
    std::vector<std::uint8_t> out(kRow * kSide);
    std::vector<png_bytep> rows(kSide);
    const std::string& in = Input(kSavePng, ".png");
    Timed(s, "decode png", true, [&] { return LibPngDecode(in, out, rows); });
}
void BM_LibDecodeJpeg(benchmark::State& s)
{
    std::vector<std::uint8_t> out(std::size_t{kSide} * kSide * 4);
    const std::string& in = Input(kSaveJpeg, ".jpg");
    Timed(s, "decode jpg", true, [&] { return LibJpegDecode(in, out); });
}
void BM_LibDecodeTiff(benchmark::State& s)
{
    std::vector<std::uint8_t> out(kRow * kSide);
    const std::string& in = Input(kSaveTiff, ".tif");
    Timed(s, "decode tif", true, [&] { return LibTiffDecode(in, out); });
}
void BM_LibEncodePng(benchmark::State& s)
{
    std::vector<std::uint8_t> pixels(kRow * kSide, 7);
    std::vector<png_bytep> rows(kSide);
    for (int y = 0; y < kSide; ++y)
        rows[static_cast<std::size_t>(y)] = pixels.data() + static_cast<std::size_t>(y) * kRow;
    TIMAGE_INFO doc;
    FillPicture(doc);
    std::memcpy(pixels.data(), doc.context->decoded.data(), pixels.size());
    const std::string out = Scratch("lib.png");
    Timed(s, "encode png", true, [&] { return LibPngEncode(out, rows); });
    std::remove(out.c_str());
}
void BM_LibEncodeJpeg(benchmark::State& s)
{
    TIMAGE_INFO doc;
    FillPicture(doc);
    std::vector<std::uint8_t> quad(std::size_t{kSide} * kSide * 4);
    for (std::size_t i = 0; i < std::size_t{kSide} * kSide; ++i)
        std::memcpy(&quad[i * 4], doc.context->decoded.data() + i * 3, 3);
    const std::string out = Scratch("lib.jpg");
    Timed(s, "encode jpg", true, [&] { return LibJpegEncode(out, quad); });
    std::remove(out.c_str());
}
void BM_LibEncodeTiff(benchmark::State& s)
{
    TIMAGE_INFO doc;
    FillPicture(doc);
    std::vector<std::uint8_t> rgb(doc.context->decoded.data(), doc.context->decoded.data() + kRow * kSide);
    const std::string out = Scratch("lib.tif");
    Timed(s, "encode tif", true, [&] { return LibTiffEncode(out, rgb); });
    std::remove(out.c_str());
}

// Ours: open through the dispatcher (document reused, as in the viewer), save through the
// save preparation and the dispatcher.
void OpenBench(benchmark::State& s, std::int32_t code, const char* ext, const char* name)
{
    const std::string& in = Input(code, ext);
    TIMAGE_INFO doc;
    doc.Open(in); // the viewer's document keeps its buffers from one picture to the next
    Timed(s, name, false, [&] { return doc.Open(in) == kOk; });
}
void SaveBench(benchmark::State& s, std::int32_t code, const char* ext, const char* name)
{
    TIMAGE_INFO doc;
    FillPicture(doc);
    const std::string out = Scratch(std::string("ours") + ext);
    if (PrepareSave(doc, code, out) != kOk || doc.Save() != kOk) // buffers sized once, as in the viewer
        s.SkipWithError("failed");
    Timed(s, name, false, [&] { return PrepareSave(doc, code, out) == kOk && doc.Save() == kOk; });
    std::remove(out.c_str());
}

void BM_OpenPng(benchmark::State& s) { OpenBench(s, kSavePng, ".png", "decode png"); }
void BM_OpenJpeg(benchmark::State& s) { OpenBench(s, kSaveJpeg, ".jpg", "decode jpg"); }
void BM_OpenTiff(benchmark::State& s) { OpenBench(s, kSaveTiff, ".tif", "decode tif"); }
void BM_SavePng(benchmark::State& s) { SaveBench(s, kSavePng, ".png", "encode png"); }
void BM_SaveJpeg(benchmark::State& s) { SaveBench(s, kSaveJpeg, ".jpg", "encode jpg"); }
void BM_SaveTiff(benchmark::State& s) { SaveBench(s, kSaveTiff, ".tif", "encode tif"); }

// Library first, then ours, so that each ratio has its reference.
BENCHMARK(BM_LibDecodePng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenPng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibDecodeJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibDecodeTiff)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenTiff)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibEncodePng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SavePng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibEncodeJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibEncodeTiff)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveTiff)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
