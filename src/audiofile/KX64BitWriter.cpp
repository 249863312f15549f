#include "audiofile/KX64BitWriter.h"

#include <algorithm>
#include <bit>

#include "audiofile/KX64Arith.h"

namespace {

using kx64::Abs;

// The codes of up to 256 residuals side by side, in a loop that vectorises: each code's
// value (|v| and the sign, with the lone one bit above them when q is 0) and its length. The
// bit length of q is read from the exponent of q as a float, exact while q < 2^24. Returns 2
// when every code has at most 28 bits, 1 when at most 56, and 0 when some code needs the
// general writer: q of 2^24 or more, |v| = 2^31, or more than 56 bits. Needs k < 31.
int ChunkCodes(const int32_t* __restrict v, int count, int k, uint32_t* __restrict values,
               int32_t* __restrict lengths) {
    uint32_t anyQ = 0, anyM = 0, any28 = 0, any56 = 0;
    for (int i = 0; i < count; ++i) {
        const uint32_t sign = static_cast<uint32_t>(v[i]) >> 31;
        const uint32_t m = Abs(v[i]);
        const uint32_t q = m >> k;
        const uint32_t exponent = std::bit_cast<uint32_t>(static_cast<float>(static_cast<int32_t>(q))) >> 23;
        const uint32_t zero = q == 0 ? 1u : 0u;
        // The exponent field is 127 + (bit length − 1), and 0 for q = 0.
        const int32_t L = static_cast<int32_t>(exponent) - 126 + static_cast<int32_t>(zero) * 126;
        const int32_t len = 2 * L + k + 1 + static_cast<int32_t>(zero);
        values[i] = (m << 1) | sign | (zero << (k + 1));
        lengths[i] = len;
        anyQ |= q;
        anyM |= m;
        any28 |= static_cast<uint32_t>(28 - len);
        any56 |= static_cast<uint32_t>(56 - len);
    }
    if (((anyQ >> 24) | (anyM >> 31) | (any56 >> 31)) != 0) return 0;
    return (any28 >> 31) == 0 ? 2 : 1;
}

} // namespace

uint32_t KX64BitWriter::WriteResiduals(const int32_t* r, int n, int k, uint8_t* out) {
    KX64BitWriter w(out);
    constexpr int kChunk = 256;
    alignas(16) uint32_t values[kChunk];
    alignas(16) int32_t lengths[kChunk];
    for (int base = 0; base < n; base += kChunk) {
        const int count = std::min(kChunk, n - base);
        const int32_t* v = r + base;
        const int tier = k < 31 ? ChunkCodes(v, count, k, values, lengths) : 0;
        if (tier == 2) {
            // Two codes at a time.
            int i = 0;
            for (; i + 1 < count; i += 2)
                w.Put((static_cast<uint64_t>(values[i]) << lengths[i + 1]) | values[i + 1],
                      lengths[i] + lengths[i + 1]);
            if (i < count) w.Put(values[i], lengths[i]);
            continue;
        }
        if (tier == 1) {
            for (int i = 0; i < count; ++i) w.Put(values[i], lengths[i]);
            continue;
        }
        // Wide residuals, long codes or k = 31: one code at a time.
        for (int i = 0; i < count; ++i) {
            const uint32_t sign = static_cast<uint32_t>(v[i]) >> 31;
            const uint32_t m = Abs(v[i]);
            const uint32_t q = m >> k;
            const int L = 63 - __builtin_clzll((static_cast<uint64_t>(q) << 1) | 1);
            const uint64_t zero = q == 0 ? 1 : 0;
            const uint64_t value = (static_cast<uint64_t>(m) << 1) | sign | (zero << (k + 1));
            int len = 2 * L + k + 1 + static_cast<int>(zero);
            if (len > 56) {
                // The leading zeros alone first, so no more than 56 bits go in at once.
                w.Put(0, L);
                len -= L;
            }
            w.Put(value, len);
        }
    }
    return w.Finish();
}
