// decode_digest SCRATCH_DIR: opens every file named on standard input (one path a line)
// as a file with the extension its directory is named after, copied into SCRATCH_DIR,
// through one reused document, once drawn by the dispatcher and once with the
// direct-decode flag set. Prints per open the result code, the picture's facts and a hash
// of the display bitmap's pixels: two builds that print the same lines decode the same.
#include "core/Imageinfo.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

std::uint64_t Fnv1a(std::uint64_t h, const std::uint8_t* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        h ^= p[i];
        h *= 0x100000001b3ULL;
    }
    return h;
}

std::uint64_t DisplayHash(const TIMAGE_INFO& doc)
{
    std::uint64_t h = 0xcbf29ce484222325ULL;
    if (!doc.display)
        return h;
    const Dib& d = *doc.display;
    const std::size_t row = (static_cast<std::size_t>(d.Width()) * d.PixelFormat() + 7) / 8;
    for (int y = 0; y < d.Height(); ++y)
        h = Fnv1a(h, d.ScanLine(y), row);
    return h;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: decode_digest SCRATCH_DIR < paths\n");
        return 2;
    }
    namespace fs = std::filesystem;
    TIMAGE_INFO doc;
    doc.load_timing = 0;
    std::string path;
    while (std::getline(std::cin, path)) {
        const fs::path source(path);
        const fs::path input = fs::path(argv[1]) / ("input." + source.parent_path().filename().string());
        std::error_code ec;
        fs::copy_file(source, input, fs::copy_options::overwrite_existing, ec);
        for (int direct = 0; direct < 2; ++direct) {
            doc.direct_decode = static_cast<std::uint8_t>(direct);
            const int rc = doc.Open(input.string());
            const CODEC_CTX& c = *doc.context;
            std::printf("%s\t%d\t%d\t%dx%d\t%d\t%d\t%s\t%016llx\n", path.c_str(), direct, rc, c.width, c.height,
                        doc.bits_per_pixel, doc.format_code, c.compression_name.c_str(),
                        static_cast<unsigned long long>(DisplayHash(doc)));
        }
        fs::remove(input, ec);
    }
    return 0;
}
