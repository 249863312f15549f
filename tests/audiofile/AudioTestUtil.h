#pragma once
// Small helpers shared by the audio file tests.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audiofile/AudioFile.h"

inline std::vector<uint8_t> LoadBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void SaveBytes(const std::filesystem::path& p, const std::vector<uint8_t>& b) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Every frame of an opened reader as stereo int32 (ReadInt), in blocks of `block` frames.
inline std::vector<int32_t> ReadAllInt(AudioFile& f, int32_t block = 4096) {
    std::vector<int32_t> all, buf(static_cast<size_t>(block) * 2);
    for (;;) {
        int32_t n = f.ReadInt(buf.data(), block);
        if (n <= 0) break;
        all.insert(all.end(), buf.begin(), buf.begin() + 2 * n);
    }
    return all;
}

inline std::vector<float> ReadAllFloat(AudioFile& f, int32_t block = 4096) {
    std::vector<float> all, buf(static_cast<size_t>(block) * 2);
    for (;;) {
        int32_t n = f.ReadFloat(buf.data(), block);
        if (n <= 0) break;
        all.insert(all.end(), buf.begin(), buf.begin() + 2 * n);
    }
    return all;
}

// Deterministic music-like test material: two tones, a slow envelope and a little noise,
// as integers of the given depth.
inline std::vector<int32_t> MakeSignal(int64_t frames, int channels, int bits, uint32_t seed = 1) {
    std::vector<int32_t> v(static_cast<size_t>(frames * channels));
    const double full = bits == 32 ? 2147483647.0 : static_cast<double>((1LL << (bits - 1)) - 1);
    uint32_t s = seed;
    for (int64_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            s = s * 1664525u + 1013904223u;
            double noise = (static_cast<double>(s >> 8) / 16777216.0 - 0.5) * 0.02;
            double t = static_cast<double>(i);
            double x = 0.45 * __builtin_sin(t * (0.031 + 0.007 * c)) + 0.3 * __builtin_sin(t * 0.0023) *
                       __builtin_sin(t * 0.17) + noise;
            v[static_cast<size_t>(i * channels + c)] = static_cast<int32_t>(x * full);
        }
    }
    return v;
}
