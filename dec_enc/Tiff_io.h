// Opening TIFF files for the reader and the writer with libtiff's messages kept quiet:
// errors and warnings go to handlers of this open only, never to the standard streams.
#pragma once

#include <tiffio.h>

#include <memory>
#include <string>

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// mode "r" or "w"; null when libtiff cannot open or create the file.
TiffPtr OpenTiff(const std::string& path, const char* mode);
