// Entry points of every reader and writer. Each takes the decoder context and returns a
// result code (base/Result_codes.h). The open dispatcher (core/Open_dispatch.cpp) and the
// save dispatcher (core/Save_dispatch.cpp) hold the tables that call them.
//
// Every reader decodes a file's bytes: DecodeXxx(ctx, bytes) reads nothing else (the bytes
// may be ctx.file's, which it leaves alone). ReadXxx(ctx) loads ctx.input_file_name into
// ctx.file with one read and decodes that.
#pragma once

#include "dec_enc/Codec_ctx.h"

#include <cstdint>
#include <span>

using DecoderFn = int (*)(CODEC_CTX&, std::span<const std::uint8_t>);
using ReaderFn = int (*)(CODEC_CTX&);
using WriterFn = int (*)(CODEC_CTX&);

// Loads ctx.input_file_name into ctx.file (kOpenFileError, kImageTooLarge past the memory
// cap, kMemoryError) and decodes it.
int ReadWith(CODEC_CTX& ctx, DecoderFn decode);

// Netpbm (Pgm_rw, Ppm_r, Ppm_w, Pbm_r)
int DecodePgm(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadPgm(CODEC_CTX& ctx) { return ReadWith(ctx, DecodePgm); }
int DecodePpm(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadPpm(CODEC_CTX& ctx) { return ReadWith(ctx, DecodePpm); }
int DecodePbm(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadPbm(CODEC_CTX& ctx) { return ReadWith(ctx, DecodePbm); }
int WritePgm(CODEC_CTX& ctx);
int WritePpm(CODEC_CTX& ctx);

// Simple writers (Tga_rw, Sun_w, Pat_w)
int WriteTga(CODEC_CTX& ctx);
int WriteSun(CODEC_CTX& ctx);
int WritePat(CODEC_CTX& ctx);

// Windows bitmaps, PCX, DCX, GIF
int DecodeBmp(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadBmp(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeBmp); }
int DecodePcx(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadPcx(CODEC_CTX& ctx) { return ReadWith(ctx, DecodePcx); }
// DCX: the page ctx.page_index (0: the first) of the container; fills ctx.page_offsets.
int DecodeDcx(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadDcx(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeDcx); }
int WritePcx(CODEC_CTX& ctx); // reads SourceRow(), one row of planes at a time
int WriteDcx(CODEC_CTX& ctx);
int DecodeGif(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadGif(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeGif); }
int WriteGif(CODEC_CTX& ctx); // colour reduction where needed, then the encoder

// PNG, JPEG, TIFF
int DecodePng(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadPng(CODEC_CTX& ctx) { return ReadWith(ctx, DecodePng); }
int WritePng(CODEC_CTX& ctx); // reads SourceRow()
int DecodeJpeg(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadJpeg(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeJpeg); }
int WriteJpeg(CODEC_CTX& ctx); // reads ctx.source_bitmap, or ctx.quad without one
int DecodeTiff(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadTiff(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeTiff); }
int WriteTiff(CODEC_CTX& ctx);

// TARGA, Silicon Graphics, PICT, Paint Shop Pro, Photo CD
int DecodeTga(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadTga(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeTga); }
int DecodeSgi(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadSgi(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeSgi); }
int DecodePict(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadPict(CODEC_CTX& ctx) { return ReadWith(ctx, DecodePict); }
int DecodePsp(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadPsp(CODEC_CTX& ctx) { return ReadWith(ctx, DecodePsp); }
int DecodePcd(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadPcd(CODEC_CTX& ctx) { return ReadWith(ctx, DecodePcd); }

// Utah RLE, Scitex CT, X window dumps, X pixmaps, FITS
int DecodeUtahRle(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadUtahRle(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeUtahRle); }
int DecodeSct(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadSct(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeSct); }
int DecodeXwd(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadXwd(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeXwd); }
int WriteXwd(CODEC_CTX& ctx); // reads SourceRow()
int DecodeXpm(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadXpm(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeXpm); }
int DecodeFits(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadFits(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeFits); }

// Other raster formats
int DecodeMacPaint(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadMacPaint(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeMacPaint); }
int DecodePixar(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadPixar(CODEC_CTX& ctx) { return ReadWith(ctx, DecodePixar); }
int DecodeSun(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadSun(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeSun); }
int DecodeGimpPattern(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadGimpPattern(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeGimpPattern); }
int DecodeVicar(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadVicar(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeVicar); }
int DecodeNokiaLogo(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadNokiaLogo(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeNokiaLogo); }
int DecodeDicom(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes); // the fixed layout only
inline int ReadDicom(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeDicom); }
// DICOM data sets through GDCM (every common transfer syntax), else the fixed layout.
int DecodeDicomGdcm(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
int DecodeDicomFile(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadDicomFile(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeDicomFile); }
int DecodeMtv(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadMtv(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeMtv); }
int DecodeFbm(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadFbm(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeFbm); }
int DecodeCorel(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadCorel(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeCorel); }
int DecodeQrt(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadQrt(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeQrt); }
int DecodeMsp(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadMsp(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeMsp); }

// The pictures of today's cameras and web pages (Webp_rw, Avif_rw, Heif_r, Jxl_rw, Apng_r).
// Each fills ctx.meta with the profile, the samples' depth, alpha and the animation facts;
// an animation gives its first frame composed (dec_enc/Frame_source.h plays them all).
int DecodeWebp(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadWebp(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeWebp); }
int WriteWebp(CODEC_CTX& ctx); // ctx.quality, or ctx.lossless
int DecodeAvif(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadAvif(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeAvif); }
int WriteAvif(CODEC_CTX& ctx); // ctx.quality and ctx.speed, or ctx.lossless
// HEIF and HEIC: the primary image, turned and mirrored as the container says, decoded in
// the decoding helper process (dec_enc/Decode_helper.h) with its limits.
int DecodeHeif(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadHeif(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeHeif); }
int DecodeJxl(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadJxl(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeJxl); }
int WriteJxl(CODEC_CTX& ctx); // ctx.lossless, else lossy by ctx.quality
// Animated PNG: the first frame composed, with the animation facts; a PNG without an
// animation reads as DecodePng reads it.
int DecodeApng(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
inline int ReadApng(CODEC_CTX& ctx) { return ReadWith(ctx, DecodeApng); }
// The PNG and GIF rows of the open dispatcher: DecodePng or DecodeGif, then the animation
// facts of the file (frame count, delays, loops) in ctx.meta.
int DecodePngFile(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
int DecodeGifFile(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
// Decodes the first frame of an animation with its frame source into the context's target
// and fills the animation facts. kOk or the source's code.
int PutFirstFrame(CODEC_CTX& ctx, std::span<const std::uint8_t> bytes);
