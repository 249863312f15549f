#pragma once
// Helpers for the compressed-format tests: real encoders and decoders as oracles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#include "AudioTestUtil.h"
#include "support/OracleTool.h"
#include "support/TempDir.h"

// Raw little-endian 16-bit samples as floats (x / 32768).
inline std::vector<float> LoadS16(const std::filesystem::path& p) {
    std::vector<uint8_t> b = LoadBytes(p);
    std::vector<float> v(b.size() / 2);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = static_cast<float>(static_cast<int16_t>(b[2 * i] | (b[2 * i + 1] << 8))) / 32768.0f;
    return v;
}

// Raw little-endian 32-bit float samples.
inline std::vector<float> LoadF32(const std::filesystem::path& p) {
    std::vector<uint8_t> b = LoadBytes(p);
    std::vector<float> v(b.size() / 4);
    std::memcpy(v.data(), b.data(), v.size() * 4);
    return v;
}

// Largest absolute difference over the common length.
inline double MaxDiff(const std::vector<float>& a, const std::vector<float>& b) {
    double m = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) m = std::max(m, std::fabs(double(a[i]) - b[i]));
    return m;
}

inline double RmsDiff(const std::vector<float>& a, const std::vector<float>& b) {
    double s = 0;
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) s += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return n ? std::sqrt(s / double(n)) : 0.0;
}

// A WAV of music-like material made by sox from our own samples.
inline void MakeWav(const TempDir& dir, const std::string& name, int64_t frames, int ch, int rate, int bits = 16) {
    std::vector<int32_t> v = MakeSignal(frames, ch, bits, 3);
    std::vector<uint8_t> raw;
    raw.reserve(v.size() * static_cast<size_t>(bits / 8));
    for (int32_t x : v)
        for (int k = 0; k < bits / 8; ++k) raw.push_back(static_cast<uint8_t>(static_cast<uint32_t>(x) >> (8 * k)));
    SaveBytes(dir / (name + ".raw"), raw);
    ASSERT_EQ(0,
              RunCommand("sox -D -t raw -r " + std::to_string(rate) + " -e signed -b " + std::to_string(bits) + " -c " +
                         std::to_string(ch) + " -L " + (dir / (name + ".raw")).string() + " " + (dir / name).string()));
}
