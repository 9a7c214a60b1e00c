// The checks a DICOM file passes before its decoder sees it, over the file's bytes alone:
// the meta group a bare data set lacks, and the element lengths.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// A preamble and meta group (File Meta Information Version, Transfer Syntax UID naming the
// little-endian syntax the first element shows) for a bare data set, followed by the data
// set; empty when the bytes do not start like one. Up to three stray bytes before the
// first element are dropped.
std::vector<std::uint8_t> WithDicomMetaGroup(std::span<const std::uint8_t> bytes);

// False when a length in the meta group or the data set runs past its container (the file,
// a sequence, an item). Whatever the walk does not understand it leaves to the decoder; a
// deflated data set is not walked.
bool DicomLengthsFit(std::span<const std::uint8_t> bytes);

// The bytes the decoder is handed: the file itself when it has its preamble and meta
// group, else WithDicomMetaGroup's bytes (kept in `made`). kMagicError when the bytes are
// no data set, kDataError when a length does not fit, else kOk.
int PrepareDicomBytes(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& made,
                      std::span<const std::uint8_t>& out);
