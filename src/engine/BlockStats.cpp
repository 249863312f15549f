#include "engine/BlockStats.h"

#include <cmath>

void CBlockStats::Measure(const float* block, int32_t frames, BlockStatSet& set) {
    float peakL = 0.0f, peakR = 0.0f;
    double sumL = 0.0, sumR = 0.0, sumSide = 0.0;
    for (int32_t i = 0; i < frames; ++i) {
        const float l = block[2 * i], r = block[2 * i + 1];
        const float al = std::fabs(l), ar = std::fabs(r);
        peakL = al > peakL ? al : peakL;
        peakR = ar > peakR ? ar : peakR;
        sumL += al;
        sumR += ar;
        sumSide += std::fabs(static_cast<double>(l) - r);
    }
    const double n = frames > 0 ? frames : 1;
    const float powerL = static_cast<float>(sumL / n), powerR = static_cast<float>(sumR / n);
    set.v[StatPeakLeft].store(peakL, std::memory_order_relaxed);
    set.v[StatPeakRight].store(peakR, std::memory_order_relaxed);
    set.v[StatPowerLeft].store(powerL, std::memory_order_relaxed);
    set.v[StatPowerRight].store(powerR, std::memory_order_relaxed);
    set.v[StatCentre].store((powerL + powerR) / 2.0f, std::memory_order_relaxed);
    set.v[StatSide].store(static_cast<float>(sumSide / n / 2.0), std::memory_order_relaxed);
}

void CBlockStats::Zero() {
    for (int i = 0; i < kStatItems; ++i) {
        pre.v[i].store(0.0f, std::memory_order_relaxed);
        post.v[i].store(0.0f, std::memory_order_relaxed);
    }
}
