// libFuzzer target for one writer (RAVELSCOPE_FUZZ_SAVE_EXT), fed with a fuzzed picture.
//
// Input: width and height (one little-endian 16-bit word each, reduced to 1..1024 with at
// most 256 Ki pixels), a flag byte, then pixel bytes repeated to fill the picture.
// Flags: bit 0 saves it as an edit (the working buffer, with a different picture left in
// the decoded buffer), bit 1 hands the GIF writer the picture's own palette and indices.
// The saved file is opened again through the dispatcher (a DCX file's page as PCX): it must
// open, and the lossless formats must give back exactly the picture that was saved.
#include "core/Commit_edit.h"
#include "core/Imageinfo.h"
#include "base/Result_codes.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifndef RAVELSCOPE_FUZZ_SAVE_EXT
#error "RAVELSCOPE_FUZZ_SAVE_EXT names the extension this target writes"
#endif

namespace {

std::string OutputPath()
{
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/rvs-fuzz-write-" + std::to_string(getpid()) + RAVELSCOPE_FUZZ_SAVE_EXT;
}

bool IsLossless(std::int32_t save_code)
{
    switch (save_code) {
    case kSaveBmp: case kSaveDcx: case kSavePcx: case kSavePng: case kSavePpm:
    case kSaveSun: case kSaveTga: case kSaveTiff: case kSaveXwd:
        return true;
    default:
        return false;
    }
}

void Fail(const char* what, int rc)
{
    std::fprintf(stderr, "%s%s: %d\n", RAVELSCOPE_FUZZ_SAVE_EXT, what, rc);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = OutputPath();
    static const std::int32_t save_code = SaveCodeForExtension(RAVELSCOPE_FUZZ_SAVE_EXT);
    static TIMAGE_INFO doc; // reused like the viewer's, so stale buffers would show
    static TIMAGE_INFO reopened;
    if (size < 6)
        return 0;
    int w = 1 + (data[0] | data[1] << 8) % 1024;
    int h = 1 + (data[2] | data[3] << 8) % 1024;
    if (static_cast<long>(w) * h > 256 * 1024)
        h = std::max(1, 256 * 1024 / w);
    const std::uint8_t flags = data[4];
    const std::uint8_t* pixels = data + 5;
    const std::size_t count = size - 5;

    CODEC_CTX& ctx = *doc.context;
    if (!doc.display)
        doc.display = std::make_unique<Dib>();
    if (ctx.ReserveDecoded(w, h) != kOk || doc.display->SetSize(w, h, 24) != kOk)
        return 0;
    ctx.width = w;
    ctx.height = h;
    ctx.bits_per_pixel = 24;
    const std::size_t row = static_cast<std::size_t>(w) * 3;
    std::size_t k = 0;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* d = doc.display->ScanLine(y);
        for (std::size_t x = 0; x < row; ++x, k = k + 1 == count ? 0 : k + 1)
            d[x] = pixels[k];
        std::memcpy(ctx.DecodedRow(y), d, row);
    }
    doc.display_width = w;
    doc.display_height = h;
    doc.state = kPictureOpen;
    doc.edited = 0;
    ctx.edited = false; // as an open leaves it: the decoded buffer holds the picture
    doc.format_code = kFmtPpm;
    ctx.index_matches_picture = false;
    if (flags & 1) {
        std::memset(ctx.decoded.data(), 0x5A, PictureBytes(w, h, 3));
        if (CommitEdit(doc) != kOk)
            return 0;
    }
    if ((flags & 2) && save_code == kSaveGif) {
        // A palette and indices that describe the picture exactly: at most 256 colours.
        if (ctx.index.Reserve(static_cast<std::size_t>(w) * static_cast<std::size_t>(h)) != kOk)
            return 0;
        for (int i = 0; i < 256 * 3; ++i)
            ctx.palette[i] = pixels[static_cast<std::size_t>(i) % count];
        for (int y = 0; y < h; ++y) {
            std::uint8_t* d = doc.display->ScanLine(y);
            std::uint8_t* indices = ctx.index.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
            for (int x = 0; x < w; ++x) {
                const std::uint8_t i = d[x * 3];
                indices[x] = i;
                d[x * 3] = ctx.palette[i * 3 + 2];
                d[x * 3 + 1] = ctx.palette[i * 3 + 1];
                d[x * 3 + 2] = ctx.palette[i * 3];
            }
        }
        if (CommitEdit(doc) != kOk)
            return 0;
        ctx.index_matches_picture = true;
    }

    std::vector<std::uint8_t> saved(PictureBytes(w, h, 3));
    for (int y = 0; y < h; ++y)
        std::memcpy(saved.data() + static_cast<std::size_t>(y) * row, doc.display->ScanLine(y), row);

    int rc = PrepareSave(doc, save_code, path);
    if (rc != kOk)
        Fail(" prepare", rc);
    rc = doc.Save();
    if (rc != kOk)
        Fail(" save", rc);

    std::string reopen_path = path;
    if (save_code == kSaveDcx) {
        // The program does not open DCX files: check the container and open its one page.
        static const std::string page = path + ".pcx";
        FILE* in = std::fopen(path.c_str(), "rb");
        FILE* out = std::fopen(page.c_str(), "wb");
        if (in == nullptr || out == nullptr)
            Fail(" page copy", 0);
        std::uint8_t head[12] = {};
        static const std::uint8_t kContainer[12] = {0xB1, 0x68, 0xDE, 0x3A, 12, 0, 0, 0, 0, 0, 0, 0};
        if (std::fread(head, 1, 12, in) != 12 || std::memcmp(head, kContainer, 12) != 0)
            Fail(" container header", 0);
        std::uint8_t buf[65536];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, in)) > 0;)
            std::fwrite(buf, 1, n, out);
        std::fclose(in);
        std::fclose(out);
        std::remove(path.c_str());
        reopen_path = page;
    }
    rc = reopened.Open(reopen_path);
    std::remove(reopen_path.c_str());
    if (rc != kOk)
        Fail(" reopen", rc);
    Dib& back = *reopened.display;
    if (back.Width() != w || back.Height() != h)
        Fail(" size changed", back.Width() * 65536 + back.Height());
    if (back.SetPixelFormat(24) != kOk)
        Fail(" depth conversion", 0);
    if (IsLossless(save_code))
        for (int y = 0; y < h; ++y)
            if (std::memcmp(back.ScanLine(y), saved.data() + static_cast<std::size_t>(y) * row, row) != 0)
                Fail(" pixels changed in row", y);
    return 0;
}
