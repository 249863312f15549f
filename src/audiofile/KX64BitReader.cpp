#include "audiofile/KX64BitReader.h"

#include <cstddef>
#include <cstring>

namespace {

// Bit cache of the residual decoder: the top `bits` bits of `cache` are the next bits of the
// stream and the byte at `pos` starts right after them. A refill loads eight bytes at `pos`, so
// every bit of the cache below the counted ones is the stream's too; loading again merely
// rewrites them.
struct BitCache {
    uint64_t cache = 0;
    int bits = 0;
    size_t pos = 0;
};

// One residual the careful way, near the end of the payload and for long codes: refills only
// from bytes the payload and its 16 bytes of zero padding really hold, and fails when the code
// is malformed or runs past the payload. On success m is the residual's bit pattern.
__attribute__((noinline)) bool SlowResidual(BitCache& b, const uint8_t* payload, size_t bytes, int k, uint32_t& out) {
    auto refill = [&] {
        if (b.bits <= 56 && b.pos < bytes + 8) {
            uint64_t w;
            std::memcpy(&w, payload + b.pos, 8);
            b.cache |= __builtin_bswap64(w) >> b.bits;
            const int take = (63 - b.bits) >> 3;
            b.pos += static_cast<size_t>(take);
            b.bits += take * 8;
        }
    };
    auto skip = [&](int nb) {
        b.cache <<= nb;
        b.bits -= nb;
    };
    auto take = [&](int nb) -> uint32_t { // nb ≤ 32, with nb bits present
        if (nb == 0) return 0;
        const auto v = static_cast<uint32_t>(b.cache >> (64 - nb));
        skip(nb);
        return v;
    };
    refill();
    if (b.cache == 0) return false;
    const int L = __builtin_clzll(b.cache);
    if (L > 32) return false;
    uint32_t q = 0;
    uint32_t tail;
    // A refill leaves at least 56 counted bits: a longer code is read in parts, so the count
    // never falls below zero.
    if (2 * L + k + 1 <= 56) {
        const int lead = L == 0 ? 1 : 2 * L;
        const uint64_t code = b.cache >> (64 - lead - k - 1);
        q = L == 0 ? 0u : static_cast<uint32_t>(code >> (k + 1));
        tail = static_cast<uint32_t>(code & ((uint64_t{2} << k) - 1));
        skip(lead + k + 1);
    } else {
        if (L == 0) {
            skip(1);
        } else {
            skip(L);
            refill();
            q = take(L);
        }
        refill();
        tail = take(k + 1);
    }
    if (static_cast<int64_t>(b.pos) * 8 - b.bits > static_cast<int64_t>(bytes) * 8) return false;
    const uint32_t m = (q << k) | (tail >> 1);
    out = (tail & 1) ? 0u - m : m;
    return true;
}

} // namespace

int KX64BitReader::ReadResiduals(const uint8_t* payload, uint32_t payloadBytes, int k, int32_t* x, int n) {
    if (n <= 0) return 0;
    BitCache bc;
    const size_t bytes = payloadBytes;
    // A code of L zeros, then L bits of q and k + 1 more, fits 56 bits while L ≤ fastL.
    const int fastL = (55 - k) / 2;
    // Two codes of L ≤ fastL2 take at most 28 bits each, so both come from one refill.
    const int fastL2 = k <= 26 ? (26 - k) / 2 : -1;
    // The output as a moving pointer: an index here costs the fast path a spilled register.
    int32_t* dst = x;
    int32_t* const end = x + n;
    // One code from the cache, which holds it whole: from the leading one (or the lone one bit
    // when L is 0) come q's L bits, the k low bits and the sign — q and the low bits together
    // make |v|, plus 2^k for L = 0. Written without branches: whether q is 0 is a coin toss on
    // real material.
    auto take = [&](int L) {
        const uint32_t zero = L == 0;
        const int width = L + static_cast<int>(zero) + k + 1;
        const uint64_t code = (bc.cache << L) >> (64 - width);
        bc.cache <<= L + width;
        bc.bits -= L + width;
        const uint32_t m = static_cast<uint32_t>(code >> 1) - (zero << k);
        const uint32_t sign = static_cast<uint32_t>(code & 1);
        return static_cast<int32_t>((m ^ (0u - sign)) + sign);
    };
    while (dst < end) {
        if (bc.pos + 8 <= bytes) {
            // At least eight bytes of payload left: after the refill the cache holds 56 bits or
            // more, all inside the payload, so codes that fit them cannot overrun it.
            uint64_t w;
            std::memcpy(&w, payload + bc.pos, 8);
            bc.cache |= __builtin_bswap64(w) >> bc.bits;
            bc.pos += static_cast<size_t>((63 - bc.bits) >> 3);
            bc.bits |= 56;
            int L = __builtin_clzll(bc.cache | 1);
            if (L <= fastL2) {
                *dst++ = take(L);
                L = __builtin_clzll(bc.cache | 1);
                if (L <= fastL2 && dst < end) *dst++ = take(L);
                continue;
            }
            if (L <= fastL) {
                *dst++ = take(L);
                continue;
            }
        }
        BitCache slow = bc;
        uint32_t m;
        if (!SlowResidual(slow, payload, bytes, k, m)) break;
        bc = slow;
        *dst++ = static_cast<int32_t>(m);
    }
    return static_cast<int>(dst - x);
}
