#pragma once
// 64-bit FNV-1a, the hash the golden tests pin outputs with.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

struct Fnv1a64 {
    uint64_t h = 0xcbf29ce484222325ull;
    void Add(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        for (size_t i = 0; i < n; ++i) {
            h ^= b[i];
            h *= 0x100000001b3ull;
        }
    }
};

// The hash of the floats' bit patterns, each taken low byte first whatever the machine.
inline uint64_t Fnv1a(const std::vector<float>& v) {
    Fnv1a64 f;
    for (float x : v) {
        uint32_t bits;
        std::memcpy(&bits, &x, 4);
        const uint8_t le[4] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                               static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
        f.Add(le, 4);
    }
    return f.h;
}
