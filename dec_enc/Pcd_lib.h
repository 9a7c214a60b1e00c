// Photo CD image packs: the small decoding layer the Photo CD reader drives.
//
// An image pack is a sequence of 2048-byte sectors. Sector 1 starts with "PCD_IPI" and
// holds the image's attributes; the uncompressed resolutions follow at fixed sectors:
// Base/16 (192 × 128) at sector 4, Base/4 (384 × 256) at sector 23 and Base (768 × 512)
// at sector 96. Each is stored in PhotoYCC 4:2:0 as groups of two luma rows of the full
// width followed by one row of each chroma channel (C1, C2) at half the width. The higher
// resolutions (4Base, 16Base) are Huffman-coded residuals and are not decoded here.
//
// Calls: pcd_open (or pcd_open_bytes), pcd_select, pcd_decode, pcd_get_image_line, pcd_close. Each failing
// call returns -1 and leaves a text in the handle's errmsg.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum PCD_FAILURE : int {
    kPcdNoFailure = 0,
    kPcdOpenFailed,   // the file cannot be read
    kPcdNotAPack,     // not an image pack, or too small to hold the Base image
    kPcdBadRequest,   // a resolution, picture or output type the layer does not provide
};

struct PCD_IMAGE {
    std::vector<std::uint8_t> file; // the sectors up to the end of the Base image
    std::vector<std::uint8_t> rgb;  // decoded picture, red-green-blue
    int res = 0;
    int width = 0;
    int height = 0;
    int gray = 0;
    bool decoded = false;
    PCD_FAILURE failure = kPcdNoFailure;
    char errmsg[128] = {};
};

// Reads the pack's sectors. 0, or -1 with errmsg ("probably not a PhotoCD image (too
// small)" for a file shorter than the Base image ends).
int pcd_open(PCD_IMAGE* img, const char* filename);
// The same over a pack's bytes already in memory (size of them).
int pcd_open_bytes(PCD_IMAGE* img, const unsigned char* data, std::size_t size);
// Chooses resolution res (1 Base/16, 2 Base/4, 3 Base) of picture n (0 only); gray 1 for
// luma only; rotation 0 only. Reports the selected area; -1 on failure.
int pcd_select(PCD_IMAGE* img, int res, int n, int gray, int verbose, int rot, int* left, int* top, int* width,
               int* height);
// Converts the selected resolution from PhotoYCC to red, green, blue. -1 on failure.
int pcd_decode(PCD_IMAGE* img);
// Copies row y: type 2 gives width pixels of red, green, blue; type 1 width grey bytes.
// scale must be 0. -1 on failure.
int pcd_get_image_line(PCD_IMAGE* img, int y, unsigned char* dest, int type, int scale);
// Releases the pack's memory.
void pcd_close(PCD_IMAGE* img);
