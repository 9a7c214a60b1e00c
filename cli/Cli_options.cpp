#include "cli/Cli_options.h"

#include <getopt.h>

#include <cstdio>

const char kUsage[] =
    "usage: ravelscope-cli info FILE...\n"
    "       ravelscope-cli convert [OPERATION...] IN OUT\n"
    "       ravelscope-cli convert [OPERATION...] IN... -o DIR --to EXT [-j N]\n"
    "       ravelscope-cli histogram FILE\n"
    "       ravelscope-cli bench DIR [--count N] [--csv FILE]\n"
    "       ravelscope-cli --help | --version\n"
    "operations, applied in order: --gamma G, --solarize T, --equalize, --background RRGGBB,\n"
    "--rotate ANGLE, --edge, --median N, --pixelate N, --explode N, --mirror, --flip,\n"
    "--rotate-left, --rotate-right, --negative, --grayscale, --reduce-colors, --swap RBG|BGR|BRG|GRB|GBR\n"
    "OUT's extension (or EXT) picks the format: .bmp .dcx .gif .jpg .pat .pcx .png .pgm .ppm .sun\n"
    ".tga .tif .xwd .webp .avif .jxl (any case).\n"
    "--quality N            convert: the lossy writers' quality, 1 (smallest) to 100 (best); default 90\n"
    "--lossless             convert: WebP, AVIF and JPEG XL keep every pixel\n"
    "-o DIR, --output DIR   write each IN as DIR/<name of IN without extension>.EXT\n"
    "--to EXT               the output format of -o\n"
    "-j N, --jobs N         convert N files at a time (default: one per processor)\n"
    "--count N              bench: loads of the run, wrapping around DIR's files (default 1000)\n"
    "--csv FILE             bench: save the per-format summary as CSV\n"
    "--verbose              diagnostics of the readers and writers on stderr\n"
    "Options may come before or after the file names; \"--\" ends the options.\n";

namespace {

enum : int {
    kHelp = 'h',
    kOutput = 'o',
    kJobs = 'j',
    kVersion = 256,
    kVerbose,
    kTo,
    kCount,
    kCsv,
    kQuality,
    kLossless,
    kFirstOperation = 512, // operation i has the code kFirstOperation + i
};

} // namespace

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

int BadUsage(const std::string& why)
{
    std::fprintf(stderr, "ravelscope-cli: %s\n", why.c_str());
    return Usage();
}

int ParseCommandLine(int argc, char** argv, CommandLine& cl)
{
    std::vector<option> longs = {
        {"help", no_argument, nullptr, kHelp},       {"version", no_argument, nullptr, kVersion},
        {"verbose", no_argument, nullptr, kVerbose}, {"output", required_argument, nullptr, kOutput},
        {"to", required_argument, nullptr, kTo},     {"jobs", required_argument, nullptr, kJobs},
        {"count", required_argument, nullptr, kCount}, {"csv", required_argument, nullptr, kCsv},
        {"quality", required_argument, nullptr, kQuality}, {"lossless", no_argument, nullptr, kLossless},
    };
    const std::vector<Operation>& ops = Operations();
    for (std::size_t i = 0; i < ops.size(); ++i)
        longs.push_back({ops[i].name, ops[i].takes_value ? required_argument : no_argument, nullptr,
                         kFirstOperation + static_cast<int>(i)});
    longs.push_back({nullptr, 0, nullptr, 0});

    optind = 0; // a fresh scan, also for a second parse in one process
    opterr = 0;
    for (;;) {
        optopt = 0;
        const int c = getopt_long(argc, argv, ":ho:j:", longs.data(), nullptr);
        if (c == -1)
            break;
        // The word that failed: a short option's letter, else the last word taken.
        const bool letter = (c == '?' || c == ':') && optopt > ' ' && optopt < 127;
        const std::string word = letter ? std::string("-") + static_cast<char>(optopt) : argv[optind - 1];
        switch (c) {
        case kHelp: cl.help = true; break;
        case kVersion: cl.version = true; break;
        case kVerbose: cl.verbose = true; break;
        case kOutput:
            cl.has_output_dir = true;
            cl.output_dir = optarg;
            break;
        case kTo: {
            const std::string v = optarg;
            cl.to = v.starts_with('.') ? v.substr(1) : v;
            break;
        }
        case kJobs:
            if (!ParseInt(optarg, 1, 1024, cl.jobs))
                return BadUsage("-j takes a number of jobs from 1 to 1024");
            break;
        case kCount:
            if (!ParseInt(optarg, 1, 100000000, cl.count))
                return BadUsage("--count takes a number of loads from 1 to 100000000");
            break;
        case kQuality:
            if (!ParseInt(optarg, 1, 100, cl.quality))
                return BadUsage("--quality takes a number from 1 to 100");
            break;
        case kLossless: cl.lossless = true; break;
        case kCsv:
            if (*optarg == '\0')
                return BadUsage("--csv needs a file name");
            cl.csv = optarg;
            break;
        case ':':
            return BadUsage(word + " needs a value");
        case '?':
            return BadUsage("unknown or incomplete operation " + word);
        default:
            cl.steps.push_back({&ops[static_cast<std::size_t>(c - kFirstOperation)], optarg != nullptr ? optarg : ""});
            break;
        }
    }
    // What getopt_long left, in order: the command, then the files.
    for (int i = optind; i < argc; ++i) {
        if (cl.command.empty())
            cl.command = argv[i];
        else
            cl.files.push_back(argv[i]);
    }
    return 0;
}
