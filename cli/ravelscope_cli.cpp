// ravelscope-cli: the headless front of the image document.
//
//   ravelscope-cli info FILE...        one line of facts per file
//   ravelscope-cli convert IN OUT      open IN, write OUT in the format of its extension
//
// Results go to stdout, failures to stderr. Exit status: 0 success, 1 a file failed,
// 2 bad usage.
#include "core/Imageinfo.h"
#include "core/Result_codes.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: ravelscope-cli info FILE...\n"
    "       ravelscope-cli convert [OPERATION...] IN OUT\n"
    "OUT's extension picks the format: .bmp .dcx .gif .jpg .pat .pcx .png .pgm .ppm .sun .tga\n"
    ".tif .xwd (any case).\n";

// An edit applied to the open picture between open and save.
struct Operation {
    const char* option; // "--name"
    int arguments;      // how many words follow it
    std::function<int(TIMAGE_INFO&, const std::vector<std::string>&)> apply;
};

// Operations that convert offers; each returns a result code.
const std::vector<Operation>& Operations()
{
    static const std::vector<Operation> ops;
    return ops;
}

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

void Fail(const std::string& path, int rc)
{
    std::fprintf(stderr, "%s: %s\n", path.c_str(), ResultText(rc));
}

int Info(TIMAGE_INFO& doc, int argc, char** argv)
{
    if (argc < 1)
        return Usage();
    int status = 0;
    for (int i = 0; i < argc; ++i) {
        const std::string path = argv[i];
        const int rc = doc.Open(path);
        if (rc != kOk) {
            Fail(path, rc);
            status = 1;
            continue;
        }
        if (doc.state == kMediaOpen) {
            std::printf("%s: %s media file, %lld bytes\n", path.c_str(), FormatName(doc.format_code),
                        static_cast<long long>(doc.file_size));
            continue;
        }
        std::printf("%s: %s %d x %d, bpp: %d, compression: %s, %lld bytes, %d ms\n", path.c_str(),
                    FormatName(doc.format_code), doc.display_width, doc.display_height, doc.bits_per_pixel,
                    doc.context->compression_name.c_str(), static_cast<long long>(doc.file_size),
                    doc.last_load_time);
    }
    return status;
}

int Convert(TIMAGE_INFO& doc, int argc, char** argv)
{
    struct Step {
        const Operation* op;
        std::vector<std::string> args;
    };
    std::vector<Step> steps;
    int i = 0;
    while (i < argc && std::strncmp(argv[i], "--", 2) == 0) {
        const Operation* found = nullptr;
        for (const Operation& op : Operations())
            if (std::strcmp(op.option, argv[i]) == 0)
                found = &op;
        if (found == nullptr || i + found->arguments >= argc) {
            std::fprintf(stderr, "ravelscope-cli: unknown or incomplete operation %s\n", argv[i]);
            return Usage();
        }
        steps.push_back({found, std::vector<std::string>(argv + i + 1, argv + i + 1 + found->arguments)});
        i += 1 + found->arguments;
    }
    if (argc - i != 2)
        return Usage();
    const std::string in = argv[i];
    const std::string out = argv[i + 1];
    const std::int32_t save_code = SaveCodeForExtension(ExtensionOf(out));
    if (save_code == 0) {
        std::fprintf(stderr, "ravelscope-cli: %s: unknown output format\n", out.c_str());
        return Usage();
    }
    int rc = doc.Open(in);
    if (rc == kOk && doc.state != kPictureOpen)
        rc = kFormatNotSupported; // a media file has no picture to convert
    if (rc != kOk) {
        Fail(in, rc);
        return 1;
    }
    for (const Step& s : steps)
        if (rc = s.op->apply(doc, s.args); rc != kOk) {
            std::fprintf(stderr, "%s: %s failed: %s\n", in.c_str(), s.op->option, ResultText(rc));
            return 1;
        }
    rc = PrepareSave(doc, save_code, out);
    if (rc == kOk)
        rc = doc.Save();
    if (rc == kFormatNotSupported) {
        std::fprintf(stderr, "%s: this build has no %s writer (%s)\n", out.c_str(), SaveFormatName(save_code),
                     ResultText(rc));
        return 1;
    }
    if (rc != kOk) {
        Fail(out, rc);
        return 1;
    }
    doc.edited = 0;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    TIMAGE_INFO doc;
    pImageInfo = &doc;
    const std::string command = argv[1];
    int status = 2;
    if (command == "info")
        status = Info(doc, argc - 2, argv + 2);
    else if (command == "convert")
        status = Convert(doc, argc - 2, argv + 2);
    else
        status = Usage();
    pImageInfo = nullptr;
    return status;
}
