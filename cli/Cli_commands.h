// The commands besides convert: info (a line of facts per file; MPEG audio files add
// their frame and tag facts on indented lines, and the newer formats, animations and pictures
// with a colour profile their depth, alpha, frames and colour facts), histogram (mean, standard deviation and
// median of each channel) and bench (the batch dialog's decode-timing run over a
// directory, then a summary per format). Each returns the exit status.
#pragma once

#include "cli/Cli_options.h"

#include <string>
#include <vector>

class TIMAGE_INFO;

int Info(TIMAGE_INFO& doc, const std::vector<std::string>& files);
int Histogram(TIMAGE_INFO& doc, const std::vector<std::string>& files);
int Bench(TIMAGE_INFO& doc, const CommandLine& cl);
