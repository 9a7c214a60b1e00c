// Shared parts of the netpbm readers (PBM, PGM, PPM).
#pragma once

#include "dec_enc/Codec_ctx.h"
#include "base/File_io.h"

#include <cstdint>

// Reads one decimal header number. Whitespace (space, tab, CR, LF, VT, FF), commas and
// "#" comments before it are skipped; one whitespace character after it is consumed.
// Returns the value (at most kNetpbmNumberCap), 0 at the end of the data, or -1 when any
// other character stands where the number should be.
std::int64_t ReadNetpbmNumber(ByteCursor& in);
inline constexpr std::int64_t kNetpbmNumberCap = std::int64_t{1} << 40;

enum class NetpbmKind { Bitmap, Greymap, Pixmap };

struct NETPBM_HEADER {
    NetpbmKind kind;
    bool plain;   // the ASCII variants P1, P2, P3
    int maxval;   // 1 for bitmaps
    std::int64_t width;
    std::int64_t height;
};

// Decodes the raster that follows a header into the picture's target (SizeNetpbmPicture
// has sized it). Data that ends early leaves the remaining pixels black.
int DecodeNetpbmRaster(ByteCursor& in, const NETPBM_HEADER& h, CODEC_CTX& ctx);

// Checks the header's size (kDataError below 1 or for a raster the rest of the data cannot
// hold, kImageTooLarge past the memory cap), then sizes the picture's target (ReserveTarget).
int SizeNetpbmPicture(ByteCursor& in, const NETPBM_HEADER& h, CODEC_CTX& ctx);

// Reads the magic and header numbers of a netpbm file of the given kind: kMagicError for
// another magic, kDataError for a size or maximum value that is not usable (with the
// reason in the context).
int ReadNetpbmHeader(CODEC_CTX& ctx, ByteCursor& in, NetpbmKind kind, NETPBM_HEADER& h);
