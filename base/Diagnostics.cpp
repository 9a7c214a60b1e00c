#include "base/Diagnostics.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

std::atomic<DiagnosticSink> g_sink {nullptr};

} // namespace

void SetDiagnosticSink(DiagnosticSink sink) { g_sink.store(sink); }

void Diagnose(const char* format, ...)
{
    const DiagnosticSink sink = g_sink.load();
    if (sink == nullptr)
        return;
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    const std::size_t n = std::strlen(line);
    if (n > 0 && line[n - 1] == '\n')
        line[n - 1] = '\0';
    sink(line);
}

void DiagnoseToStderr(const char* line) { std::fprintf(stderr, "%s\n", line); }
