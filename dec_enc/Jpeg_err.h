// The error manager that the JPEG reader and writer share: a library error jumps back to
// the codec's jump point instead of ending the process; messages are not printed.
#pragma once

#include <cstdio> // jpeglib.h needs FILE and size_t first

#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>

struct JPEG_ERROR {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int warnings = 0;
};

inline void JpegErrorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JPEG_ERROR*>(cinfo->err)->jump, 1);
}

inline void JpegEmitMessage(j_common_ptr cinfo, int level)
{
    if (level < 0)
        ++reinterpret_cast<JPEG_ERROR*>(cinfo->err)->warnings;
}

inline void JpegOutputMessage(j_common_ptr) {}

inline jpeg_error_mgr* InstallJpegErrors(JPEG_ERROR& err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = JpegErrorExit;
    err.pub.emit_message = JpegEmitMessage;
    err.pub.output_message = JpegOutputMessage;
    return &err.pub;
}
