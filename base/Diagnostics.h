// Diagnostic lines of the library: what a codec or an operation has to say about its input
// (an unknown extension block, a broken run, the stages of colour reduction). They go to
// one sink, which is silent until a program installs one; library code never writes to the
// process's standard streams itself.
#pragma once

// Receives one diagnostic line, without its line end.
using DiagnosticSink = void (*)(const char* line);

// Installs the sink for every later line; null silences them again.
void SetDiagnosticSink(DiagnosticSink sink);

// Formats a line as printf does and hands it to the sink; nothing is formatted while no
// sink is installed. A trailing line end in the format is dropped, and a line longer than
// 1,023 bytes is cut there.
void Diagnose(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A sink that writes each line and a line end to standard error.
void DiagnoseToStderr(const char* line);
