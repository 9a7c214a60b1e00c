// Writes seed corpora for the fuzz targets: make_seeds DIR writes DIR/<ext>/... with small
// pictures from the program's own writers and hand-made variants the writers never
// produce (plain netpbm, deep samples, comments).
#include "core/Imageinfo.h"
#include "base/Result_codes.h"
#include "dec_enc/gdcm/Gdcm_frame.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace {

void WriteFile(const std::string& path, const std::string& bytes)
{
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

void Picture(TIMAGE_INFO& doc, int w, int h)
{
    CODEC_CTX& ctx = *doc.context;
    if (ctx.ReserveDecoded(w, h) != kOk || doc.display->SetSize(w, h, 24) != kOk)
        return;
    ctx.width = w;
    ctx.height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * 3; ++x)
            doc.display->ScanLine(y)[x] = ctx.DecodedRow(y)[x] = static_cast<std::uint8_t>(x * 29 + y * 71);
    doc.display_width = w;
    doc.display_height = h;
    doc.state = kPictureOpen;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: make_seeds DIR\n", stderr);
        return 2;
    }
    const std::string root = argv[1];
    mkdir(root.c_str(), 0755);
    TIMAGE_INFO doc;
    const struct {
        const char* ext;
        std::int32_t code;
    } writers[] = {{"ppm", kSavePpm}, {"pgm", kSavePgm}, {"tga", kSaveTga}, {"sun", kSaveSun},
                   {"pat", kSavePat}, {"bmp", kSaveBmp}, {"pcx", kSavePcx}, {"gif", kSaveGif},
                   {"png", kSavePng}, {"jpg", kSaveJpeg}, {"tif", kSaveTiff}, {"xwd", kSaveXwd}};
    const int sizes[][2] = {{1, 1}, {3, 2}, {17, 5}, {64, 48}};
    for (const auto& w : writers) {
        const std::string dir = root + "/" + w.ext;
        mkdir(dir.c_str(), 0755);
        for (const auto& s : sizes) {
            Picture(doc, s[0], s[1]);
            const std::string path = dir + "/ours_" + std::to_string(s[0]) + "x" + std::to_string(s[1]) + "." + w.ext;
            if (PrepareSave(doc, w.code, path) != kOk || doc.Save() != kOk)
                std::remove(path.c_str()); // a writer this build does not have
        }
    }
    const std::string pbm = root + "/pbm";
    mkdir(pbm.c_str(), 0755);
    WriteFile(pbm + "/p4.pbm", std::string("P4\n# c\n10 2\n", 12) + std::string("\x80\x40\xff\x01", 4));
    WriteFile(pbm + "/p1.pbm", "P1\n4 2\n0101\n1 1 0 0\n");
    WriteFile(root + "/pgm/p2.pgm", "P2\n3 2\n15\n0 5 10\n15 3 7\n");
    WriteFile(root + "/pgm/p5_16.pgm", std::string("P5 2 1 65535\n\x12\x34\xff\xff", 17));
    WriteFile(root + "/ppm/p3.ppm", "P3\n# comment\n2 1\n255\n255 0 0 0 0 255\n");
    WriteFile(root + "/ppm/p6_16.ppm", std::string("P6\n1 1\n1000\n\x03\xe8\x00\x00\x01\xf4", 19));
    // A Photo CD pack: the signature in sector 1 and the Base image (768 x 512, 4:2:0) from
    // sector 96, luma rows and chroma ramps.
    const std::string pcd = root + "/pcd";
    mkdir(pcd.c_str(), 0755);
    std::string pack(96 * 2048 + 768 * 512 * 3 / 2, '\0');
    pack.replace(2048, 7, "PCD_IPI");
    for (std::size_t g = 0; g < 256; ++g)
        for (std::size_t i = 0; i < 768 * 3; ++i)
            pack[96 * 2048 + g * 768 * 3 + i] = static_cast<char>(i < 1536 ? (i % 768) / 3 + g / 2 : i * 7 + g);
    WriteFile(pcd + "/ramp.pcd", pack);
    // Frames for fuzz_dicom_pixels: each kind of picture at 4 x 2, its header then its samples.
    const std::string frames = root + "/dicom_pixels";
    mkdir(frames.c_str(), 0755);
    using dicom_gdcm::Kind;
    const struct {
        const char* name;
        Kind kind;
        std::uint32_t samples, allocated, stored, high;
        std::int32_t is_signed;
        double centre, window;
    } kinds[] = {{"grey16_window", Kind::Grey, 1, 16, 12, 11, 1, 100.0, 201.0},
                 {"grey8_stretch", Kind::InvertedGrey, 1, 8, 8, 7, 0, 0.0, 0.0},
                 {"grey1", Kind::Grey, 1, 1, 1, 0, 0, 0.0, 0.0},
                 {"rgb16", Kind::Rgb, 3, 16, 16, 15, 0, 0.0, 0.0},
                 {"ybr8", Kind::Ybr, 3, 8, 8, 7, 0, 0.0, 0.0},
                 {"ybr422", Kind::Ybr422, 3, 8, 8, 7, 0, 0.0, 0.0}};
    for (const auto& k : kinds) {
        dicom_gdcm::Frame f;
        f.rc = kOk;
        f.kind = k.kind;
        f.width = 4;
        f.height = 2;
        f.samples = k.samples;
        f.bits_allocated = k.allocated;
        f.bits_stored = k.stored;
        f.high_bit = k.high;
        f.is_signed = k.is_signed;
        f.centre = k.centre;
        f.window = k.window;
        f.bytes = dicom_gdcm::FrameBytes(f);
        std::string bytes(reinterpret_cast<const char*>(&f), sizeof f);
        for (std::uint64_t i = 0; i < f.bytes; ++i)
            bytes.push_back(static_cast<char>(i * 37 + 11));
        WriteFile(frames + "/" + k.name, bytes);
    }
    return 0;
}
