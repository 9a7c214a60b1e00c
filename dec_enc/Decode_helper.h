// Decoding in the helper process, ravelscope-decoder: the readers whose libraries were not
// written for hostile input (dec_enc/Decode_helper_protocol.h lists them) run there, under
// limits on address space and processor time, and only the picture comes back.
//
// Safe from any thread, and from several at once: each call starts a helper of its own with
// posix_spawn (this process is never forked), with a clean environment and only three
// descriptors: the bytes in a memfd as its standard input, the write end of a pipe of the
// call's own as its standard output, /dev/null as its standard error. The call waits at
// most `idle` for each next piece of the reply, kills and reaps the helper on every path
// (no zombie is left), and answers a helper that failed on its own with a result code and
// a reason in ctx.failure_reason, "the DICOM decoder ..." for the DICOM reader:
//   crashed                       kDataError   (a signal, or a failing exit without a reply)
//   ran out of its memory limit   kMemoryError (an allocation failed under its limit)
//   took too long                 kDataError   (no bytes for `idle`, or its CPU limit)
// A reply is checked before anything of it is used: its sizes against the picture cap and
// against the bytes that actually came.
//
// The helper is looked for in the build tree first, then beside the running executable;
// without it the readers give kFormatNotSupported.
#pragma once

#include "dec_enc/Codec_ctx.h"
#include "dec_enc/Decode_helper_protocol.h"

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

struct HELPER_LIMITS {
    std::uint32_t memory_mib = 4096; // the helper's address space (a 1 GiB picture and its samples fit)
    std::uint32_t cpu_seconds = 10;  // its processor time
    std::chrono::milliseconds idle {5000}; // the longest wait for its next bytes
};

// Decodes bytes with the reader in the helper. On success the context holds the picture as
// any reader leaves it: width, height, bits per pixel, compression name, meta and the
// decoded rows (copied to the direct target when the caller gave one).
int DecodeInHelper(CODEC_CTX& ctx, HelperReader reader, std::span<const std::uint8_t> bytes,
                   const HELPER_LIMITS& limits = {});

// The helper's path, or "" when it is in neither place.
const std::string& DecodeHelperPath();
