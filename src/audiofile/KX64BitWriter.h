#pragma once
// KX64BitWriter: the bit writer of KX64 channel payloads, and the residual code written with it.
//
// Bits go out most significant first. A residual v with parameter k is coded as L zero bits,
// a one bit and the L − 1 bits of q = |v| >> k below its leading one (L being the bit length
// of q), then the k low bits of |v| and the sign bit. After the L zeros, q and the low bits
// together are just |v| (for L = 0 a lone one bit stands above it), so a code is |v| and the
// sign behind leading zeros.
//
// Threading: an object belongs to one thread; WriteResiduals keeps no state.

#include <cstddef>
#include <cstdint>
#include <cstring>

class KX64BitWriter {
public:
    // Writes into out, which must have room for every bit put plus 8 bytes: each Put stores a
    // whole 64-bit word at the current byte.
    explicit KX64BitWriter(uint8_t* out) : m_out(out) {}

    // Appends the len low bits of value; 2 ≤ len ≤ 56 and value < 2^len.
    void Put(uint64_t value, int len) {
        m_acc = (m_acc << len) | value;
        m_fill += len;
        // Whole bytes go out; the bits of a partial byte go out again with the next code.
        uint64_t word = __builtin_bswap64(m_acc << (64 - m_fill));
        std::memcpy(m_out + m_pos, &word, 8);
        m_pos += static_cast<size_t>(m_fill >> 3);
        m_fill &= 7;
    }

    // Stores the partly filled last byte, if any, and returns the bytes used.
    uint32_t Finish() {
        if (m_fill > 0) m_out[m_pos++] = static_cast<uint8_t>(m_acc << (8 - m_fill));
        m_fill = 0;
        return static_cast<uint32_t>(m_pos);
    }

    // Codes n residuals with parameter k (0 to 31) into out (room for the codes plus 8 bytes;
    // (65 × n + 7) / 8 + 8 bytes always suffice); returns the bytes used, counting a partly
    // filled last byte.
    static uint32_t WriteResiduals(const int32_t* r, int n, int k, uint8_t* out);

private:
    uint8_t* m_out;
    uint64_t m_acc = 0; // pending bits at the bottom (and spent ones above them)
    int m_fill = 0;     // pending bit count; below 8 after every Put
    size_t m_pos = 0;
};
