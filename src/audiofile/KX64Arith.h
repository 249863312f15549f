#pragma once
// Integer helpers shared by the parts of the KX64 coder (predictors, bit writer, bit reader).
//
// The predictors work modulo 2^32, so the inverse in the decoder restores every sample exactly
// even where a 32-bit residual overflows: hence the wrapping arithmetic.
#include <cstdint>

namespace kx64 {

inline int32_t Add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t Sub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t Mul(int32_t a, int32_t k) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(k));
}
// |v| without overflow: the lowest int32 gives 2^31.
inline uint32_t Abs(int32_t v) { return v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v); }
inline int BitLength(uint32_t v) { return v == 0 ? 0 : 32 - __builtin_clz(v); }

} // namespace kx64
