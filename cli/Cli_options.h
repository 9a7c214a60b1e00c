// The command line of ravelscope-cli, taken apart by getopt_long: options and operations
// may stand before or after the command and the file names ("--x=v", "-j4", "-oDIR"),
// "--" ends them.
#pragma once

#include "cli/Cli_operations.h"

#include <string>
#include <vector>

struct Step {
    const Operation* op;
    std::string value;
};

struct CommandLine {
    bool help = false;
    bool version = false;
    bool verbose = false; // diagnostics on stderr
    std::string command;
    std::vector<std::string> files;
    std::vector<Step> steps; // the operations in the order given
    bool has_output_dir = false;
    std::string output_dir;
    std::string to;  // output extension of a batch, without its dot
    int jobs = 0;    // 0: one per processor
    int count = 0;   // loads of a bench run; 0: the run's default
    std::string csv; // where bench saves its summary
    int quality = 0;       // convert: the lossy writers' quality; 0: the default
    bool lossless = false; // convert: the writers that can keep every pixel do
};

extern const char kUsage[];

// Parses argv. Returns 0, or 2 after a message and the usage on stderr.
int ParseCommandLine(int argc, char** argv, CommandLine& cl);

// The usage on stderr; returns 2.
int Usage();
// "ravelscope-cli: why" and the usage on stderr; returns 2.
int BadUsage(const std::string& why);
