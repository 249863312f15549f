#include "support/Signals.h"

#include <cmath>
#include <random>

std::vector<float> Noise(size_t n, uint32_t seed, float amp) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-amp, amp);
    std::vector<float> v(n);
    for (float& x : v) x = d(rng);
    return v;
}

std::vector<int32_t> MakeSignal(int64_t frames, int channels, int bits, uint32_t seed) {
    std::vector<int32_t> v(static_cast<size_t>(frames * channels));
    const double full = bits == 32 ? 2147483647.0 : static_cast<double>((1LL << (bits - 1)) - 1);
    uint32_t s = seed;
    for (int64_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            s = s * 1664525u + 1013904223u;
            double noise = (static_cast<double>(s >> 8) / 16777216.0 - 0.5) * 0.02;
            double t = static_cast<double>(i);
            double x = 0.45 * __builtin_sin(t * (0.031 + 0.007 * c)) +
                       0.3 * __builtin_sin(t * 0.0023) * __builtin_sin(t * 0.17) + noise;
            v[static_cast<size_t>(i * channels + c)] = static_cast<int32_t>(x * full);
        }
    }
    return v;
}
