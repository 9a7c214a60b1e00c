// Entry points of every reader and writer. Each takes the decoder context and returns a
// result code (core/Result_codes.h). The open dispatcher (core/Open_dispatch.cpp) and the
// save dispatcher (core/Save_dispatch.cpp) hold the tables that call them.
#pragma once

#include "core/Codec_ctx.h"

#include <cstdint>
#include <span>

using ReaderFn = int (*)(CODEC_CTX&);
using WriterFn = int (*)(CODEC_CTX&);

// Netpbm (Pgm_rw, Ppm_r, Ppm_w, Pbm_r)
int ReadPgm(CODEC_CTX& ctx);
int ReadPpm(CODEC_CTX& ctx);
int ReadPbm(CODEC_CTX& ctx);
int WritePgm(CODEC_CTX& ctx);
int WritePpm(CODEC_CTX& ctx);

// Simple writers (Tga_rw, Sun_w, Pat_w)
int WriteTga(CODEC_CTX& ctx);
int WriteSun(CODEC_CTX& ctx);
int WritePat(CODEC_CTX& ctx);

// Windows bitmaps, PCX, DCX, GIF
int ReadBmp(CODEC_CTX& ctx);
int ReadPcx(CODEC_CTX& ctx);
int DecodePcx(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
// DCX: the page ctx.page_index (0: the first) of the container; fills ctx.page_offsets.
int ReadDcx(CODEC_CTX& ctx);
int DecodeDcx(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
int WritePcx(CODEC_CTX& ctx); // reads ctx.planar
int WriteDcx(CODEC_CTX& ctx); // reads ctx.planar
int ReadGif(CODEC_CTX& ctx);
int WriteGif(CODEC_CTX& ctx); // colour reduction where needed, then the encoder

// PNG, JPEG, TIFF
int ReadPng(CODEC_CTX& ctx);
int WritePng(CODEC_CTX& ctx); // reads ctx.row_pointers (red-green-blue rows)
int ReadJpeg(CODEC_CTX& ctx);
int WriteJpeg(CODEC_CTX& ctx); // reads the display bitmap, or ctx.quad without a document
int ReadTiff(CODEC_CTX& ctx);
int WriteTiff(CODEC_CTX& ctx);

// TARGA, Silicon Graphics, PICT, Paint Shop Pro, Photo CD
int ReadTga(CODEC_CTX& ctx);
int ReadSgi(CODEC_CTX& ctx);
int ReadPict(CODEC_CTX& ctx);
int ReadPsp(CODEC_CTX& ctx);
int ReadPcd(CODEC_CTX& ctx);

// Utah RLE, Scitex CT, X window dumps, X pixmaps, FITS
int ReadUtahRle(CODEC_CTX& ctx);
int ReadSct(CODEC_CTX& ctx);
int ReadXwd(CODEC_CTX& ctx);
int WriteXwd(CODEC_CTX& ctx);
int ReadXpm(CODEC_CTX& ctx);
int ReadFits(CODEC_CTX& ctx);

// Other raster formats
int ReadMacPaint(CODEC_CTX& ctx);
int ReadPixar(CODEC_CTX& ctx);
int ReadSun(CODEC_CTX& ctx);
int ReadGimpPattern(CODEC_CTX& ctx);
int ReadVicar(CODEC_CTX& ctx);
int ReadNokiaLogo(CODEC_CTX& ctx);
int ReadDicom(CODEC_CTX& ctx); // the fixed layout only
// DICOM data sets through GDCM (every common transfer syntax), else the fixed layout.
int ReadDicomFile(CODEC_CTX& ctx);
int DecodeDicom(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
int ReadMtv(CODEC_CTX& ctx);
int ReadFbm(CODEC_CTX& ctx);
int ReadCorel(CODEC_CTX& ctx);
int ReadQrt(CODEC_CTX& ctx);
int ReadMsp(CODEC_CTX& ctx);
