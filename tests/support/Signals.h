#pragma once
// Deterministic test material shared by the tests and the benchmarks: the same seed gives the
// same samples on every machine and in every program.

#include <cstddef>
#include <cstdint>
#include <vector>

// The linear congruential generator of the material makers (Numerical Recipes constants).
struct Lcg {
    uint32_t s;
    uint32_t Next() { return s = s * 1664525u + 1013904223u; }
};

// n floats uniform in [-amp, amp) from a Mersenne twister seeded with seed.
std::vector<float> Noise(size_t n, uint32_t seed, float amp = 0.5f);

// Music-like integer material of the given depth: two tones, a slow envelope and a little
// noise, interleaved channels.
std::vector<int32_t> MakeSignal(int64_t frames, int channels, int bits, uint32_t seed = 1);
