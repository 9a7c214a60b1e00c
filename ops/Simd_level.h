// The instruction sets the pixel loops of the operations may use, picked once from the
// processor. Each fast loop exists per level; the straightforward loop is the reference.
#pragma once

enum class SimdLevel : int {
    kPlain = 0,
    kSsse3 = 1, // byte shuffles (pshufb), 16-byte vectors
    kAvx2 = 2,  // 32-byte vectors
    kAvx512 = 3, // 64-byte vectors with byte permutes (AVX-512 BW, VL and VBMI)
};

// The best level this processor has.
SimdLevel DetectedSimdLevel();
// The level the operations use now: the detected one, unless lowered by CapSimdLevel.
SimdLevel ActiveSimdLevel();
// Makes the operations use at most level (tests run every loop this way); never raises
// the level above the detected one.
void CapSimdLevel(SimdLevel level);
