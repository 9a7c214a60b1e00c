// ravelscope-cli: the headless front of the image document.
//
//   ravelscope-cli info FILE...                  one line of facts per file
//   ravelscope-cli convert [OP...] IN OUT        open IN, apply the operations in order,
//                                                write OUT in the format of its extension
//                                                (JPEG, WebP, AVIF and JPEG XL at --quality N,
//                                                1 to 100, default 90)
//   ravelscope-cli convert [OP...] IN... -o DIR --to EXT [-j N]
//                                                the same for many files, on N threads
//   ravelscope-cli histogram FILE                each channel's mean, deviation and median
//   ravelscope-cli bench DIR [--count N] [--csv FILE]
//                                                the decode-timing run over DIR's files
//
// The commands live in the CLI's library (cli/): the command line (Cli_options), the
// operations (Cli_operations), convert (Cli_convert), the batch pool (Batch_pool) and the
// other commands (Cli_commands). Results go to stdout, failures to stderr. Exit status:
// 0 success, 1 a file failed, 2 bad usage.
#include "cli/Batch_pool.h"
#include "cli/Cli_commands.h"
#include "cli/Cli_convert.h"
#include "cli/Cli_options.h"
#include "base/Diagnostics.h"
#include "core/Imageinfo.h"

#include <cstdio>

int main(int argc, char** argv)
{
    CommandLine cl;
    if (int rc = ParseCommandLine(argc, argv, cl); rc != 0)
        return rc;
    if (cl.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (cl.version) {
        std::printf("ravelscope-cli %s\n", RAVELSCOPE_VERSION);
        return 0;
    }
    if (cl.verbose)
        SetDiagnosticSink(DiagnoseToStderr);
    if (cl.command.empty())
        return Usage();
    if (!cl.steps.empty() && cl.command != "convert")
        return BadUsage("operations apply to convert only");
    if ((cl.has_output_dir || !cl.to.empty() || cl.jobs != 0) && cl.command != "convert")
        return BadUsage("-o, --to and -j apply to convert only");
    if ((cl.quality != 0 || cl.lossless) && cl.command != "convert")
        return BadUsage("--quality and --lossless apply to convert only");
    if ((cl.count != 0 || !cl.csv.empty()) && cl.command != "bench")
        return BadUsage("--count and --csv apply to bench only");
    if (cl.command == "convert" && cl.has_output_dir)
        return ConvertBatch(cl);
    TIMAGE_INFO doc;
    int status = 2;
    if (cl.command == "info")
        status = Info(doc, cl.files);
    else if (cl.command == "histogram")
        status = Histogram(doc, cl.files);
    else if (cl.command == "convert")
        status = ConvertSingle(doc, cl);
    else if (cl.command == "bench")
        status = Bench(doc, cl);
    else
        status = BadUsage("unknown command " + cl.command);
    return status;
}
