// convert IN... -o DIR --to EXT [-j N]: every input into the output directory, N files at a
// time, each thread with a document of its own (the library keeps no state shared between
// documents). Failures are reported as they happen and counted; a terminal sees a
// progress line; two inputs of one output name are a failure of the later one.
#pragma once

#include "cli/Cli_options.h"

// Returns the exit status.
int ConvertBatch(const CommandLine& cl);
