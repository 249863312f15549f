#pragma once
// Processor kinds: every DSP parameter is addressed by (kind, id) and held as a float.
#include <cstdint>

enum ProcessorKind : int32_t { KindValveAmp = 0, KindEQ = 1, KindCompressor = 2, KindStereoImager = 3 };
constexpr int kProcessorKinds = 4;
