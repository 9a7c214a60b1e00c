// convert IN OUT: a row stream where the pair allows it, else open, operations and save
// through the document.
#pragma once

#include "cli/Cli_options.h"

#include <cstdint>
#include <string>
#include <vector>

class TIMAGE_INFO;

// Converts in to out with the writer of save_code after cl's steps, at cl's quality and
// lossless choice. Without steps, a pair of formats that stream (core/Stream_convert) is
// converted a row at a time. Returns kOk, or a result code with message set to the line
// that says what failed.
int ConvertOne(TIMAGE_INFO& doc, const CommandLine& cl, const std::string& in, const std::string& out,
               std::int32_t save_code, std::string& message);

// The command convert IN OUT. Returns the exit status.
int ConvertSingle(TIMAGE_INFO& doc, const CommandLine& cl);
