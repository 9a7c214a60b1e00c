// Entry points of every reader and writer. Each takes the decoder context and returns a
// result code (core/Result_codes.h).
#pragma once

#include "core/Codec_ctx.h"

using ReaderFn = int (*)(CODEC_CTX&);
using WriterFn = int (*)(CODEC_CTX&);

// Netpbm
int ReadPgm(CODEC_CTX& ctx);
int ReadPpm(CODEC_CTX& ctx);
int ReadPbm(CODEC_CTX& ctx);
int WritePgm(CODEC_CTX& ctx);
int WritePpm(CODEC_CTX& ctx);

// Simple writers
int WriteTga(CODEC_CTX& ctx);
int WriteSun(CODEC_CTX& ctx);
int WritePat(CODEC_CTX& ctx);
