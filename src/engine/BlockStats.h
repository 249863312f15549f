#pragma once
// Block statistics: two sets of six floats measured by the audio thread on every block, Pre
// (before the DSP stack; the input while recording) and Post (after it and the stop fade).
// The main timer reads them without locking; a reading may mix two blocks, which the meter
// ballistics hide.
//
// Threading: Measure on the audio thread; reads, Settle and Zero on the main thread.

#include <atomic>
#include <cstdint>

enum StatItem { StatPeakLeft = 0, StatPeakRight, StatPowerLeft, StatPowerRight, StatCentre, StatSide, kStatItems };

struct BlockStatSet {
    std::atomic<float> v[kStatItems];
    BlockStatSet() {
        for (auto& x : v) x.store(0.0f, std::memory_order_relaxed);
    }
    float Get(int item) const { return v[item].load(std::memory_order_relaxed); }
};

class CBlockStats {
public:
    BlockStatSet pre, post;

    // The six statistics of n frames of interleaved stereo into set.
    static void Measure(const float* block, int32_t frames, BlockStatSet& set);
    // Every value 0 (the start of a recording).
    void Zero();
};
