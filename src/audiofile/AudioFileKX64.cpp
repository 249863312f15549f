#include "audiofile/AudioFileKX64.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "common/ByteIO.h"

namespace {

constexpr uint8_t kGroupMarker = 0x55;
constexpr uint8_t kBlockMarker = 0xAA;
constexpr int kRecordBytes = 156;
constexpr int kReadBuffer = 1 << 16;

// Wrapping int32 arithmetic: the predictors work modulo 2^32, so the inverse in the decoder
// restores every sample exactly even where a 32-bit residual overflows.
inline int32_t Add(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }
inline int32_t Sub(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); }
inline int32_t Mul(int32_t a, int32_t k) { return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(k)); }
inline uint32_t Abs(int32_t v) { return v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v); }
inline int BitLength(uint32_t v) { return v == 0 ? 0 : 32 - __builtin_clz(v); }

// The integer quotient a / d truncated toward zero, as a float. Operands stay below 2^34, so
// the correctly rounded double quotient never reaches the next integer and truncating it is
// exact; a double division is several times cheaper than a 64-bit integer one.
inline float Quotient(int64_t a, int64_t d) {
    return static_cast<float>(std::trunc(static_cast<double>(a) / static_cast<double>(d)));
}

inline void StoreBE64(uint8_t* p, uint64_t v) {
    v = __builtin_bswap64(v);
    std::memcpy(p, &v, 8);
}

inline int32_t AdaptiveTerm(int32_t c, int32_t x1, int32_t x2) {
    return static_cast<int32_t>((static_cast<int64_t>(c) * Sub(x1, x2)) >> 4);
}

inline int32_t Residual(int p, const int32_t* x, int i, int32_t c) {
    switch (p) {
    case 0: return x[i];
    case 1: return i < 1 ? x[i] : Sub(x[i], x[i - 1]);
    case 2: return i < 2 ? x[i] : Add(Sub(x[i], Mul(x[i - 1], 2)), x[i - 2]);
    case 3: return i < 3 ? x[i] : Sub(Add(Sub(x[i], Mul(x[i - 1], 3)), Mul(x[i - 2], 3)), x[i - 3]);
    default: return i < 2 ? x[i] : Sub(Sub(x[i], x[i - 1]), AdaptiveTerm(c, x[i - 1], x[i - 2]));
    }
}

// Samples within ±2^22 take the narrow path of the coder: see EncodeChannel.
constexpr uint32_t kNarrow = uint32_t{1} << 22;
// Sums up to 2^24 of integers are exact in single precision.
constexpr uint32_t kExactSum = uint32_t{1} << 24;

// The single-precision running sum of |v[i]| over i = from..n−1, in that order. Kept out of
// line: one copy, vectorised, serves all five predictors.
__attribute__((noinline)) float MagnitudeSum(const int32_t* v, int from, int n) {
    uint32_t total = 0, any = 0;
    for (int i = from; i < n; ++i) {
        const uint32_t a = Abs(v[i]);
        total += a;
        any |= a;
    }
    // Without overflow and with a total of at most 2^24, every partial sum is an integer a float
    // holds exactly, so the running float sum is the integer sum.
    if (static_cast<uint64_t>(any) * static_cast<uint64_t>(std::max(n - from, 0)) < (uint64_t{1} << 32) &&
        total <= kExactSum)
        return static_cast<float>(total);
    // |v| as a float: the conversion rounds symmetrically, so this equals float(|v|) even for
    // the lowest int32.
    float sum = 0.0f;
    for (int i = from; i < n; ++i) sum += std::fabs(static_cast<float>(v[i]));
    return sum;
}

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

// Codes n residuals MSB first into out (room for the codes plus 8 bytes); returns the bytes
// used, counting a partly filled last byte. Each residual v: L zero bits, a one bit and the
// L − 1 bits of q = |v| >> k below its leading one, the k low bits of |v| and the sign. After
// the L zeros, q and the low bits together are just |v| (for L = 0 the lone one bit stands
// above it), so a code is |v| and the sign behind leading zeros.
uint32_t WriteResiduals(const int32_t* r, int n, int k, uint8_t* out) {
    uint64_t acc = 0; // pending bits at the bottom (and spent ones above them)
    int fill = 0;     // pending bit count; below 8 after every store
    size_t pos = 0;
    auto put = [&](uint64_t value, int len) { // 2 ≤ len ≤ 56, value < 2^len
        acc = (acc << len) | value;
        fill += len;
        // Whole bytes go out; the bits of a partial byte go out again with the next code.
        StoreBE64(out + pos, acc << (64 - fill));
        pos += static_cast<size_t>(fill >> 3);
        fill &= 7;
    };
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
                put((static_cast<uint64_t>(values[i]) << lengths[i + 1]) | values[i + 1], lengths[i] + lengths[i + 1]);
            if (i < count) put(values[i], lengths[i]);
            continue;
        }
        if (tier == 1) {
            for (int i = 0; i < count; ++i) put(values[i], lengths[i]);
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
                put(0, L);
                len -= L;
            }
            put(value, len);
        }
    }
    if (fill > 0) out[pos++] = static_cast<uint8_t>(acc << (8 - fill));
    return static_cast<uint32_t>(pos);
}

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

int32_t ScaleFor(int bits) {
    switch (bits) {
    case 8: return 127;
    case 16: return 32767;
    default: return 8388607;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------
// Channel coder

AudioFileKX64::ChannelCode AudioFileKX64::EncodeChannel(const int32_t* x, int n, uint8_t* out) {
    if (n <= 0) return ChannelCode{}; // nothing to code (and no mean to take)
    n = std::min(n, static_cast<int>(kMaxBlockFrames));
    // Residuals of the fixed predictors, in a plain loop that the compiler vectorises.
    alignas(32) int32_t r1[kMaxBlockFrames], r2[kMaxBlockFrames], r3[kMaxBlockFrames], r4[kMaxBlockFrames];
    for (int i = 0; i < std::min(n, 3); ++i) {
        r1[i] = Residual(1, x, i, 0);
        r2[i] = Residual(2, x, i, 0);
        r3[i] = Residual(3, x, i, 0);
    }
    for (int i = 3; i < n; ++i) {
        const int32_t d1 = Sub(x[i], x[i - 1]);
        const int32_t d2 = Sub(x[i - 1], x[i - 2]);
        const int32_t d3 = Sub(x[i - 2], x[i - 3]);
        r1[i] = d1;
        r2[i] = Sub(d1, d2);
        r3[i] = Sub(Sub(d1, d2), Sub(d2, d3));
    }
    float sum[5];
    sum[0] = MagnitudeSum(x, 0, n);
    sum[1] = MagnitudeSum(r1, 1, n);
    sum[2] = MagnitudeSum(r2, 2, n);
    sum[3] = MagnitudeSum(r3, 3, n);

    // The adaptive coefficient: the mean of the integer quotients of successive steps, leaving
    // out flat steps.
    uint32_t wide = 0;
    for (int i = 0; i < n; ++i) wide |= static_cast<uint32_t>(x[i]) + kNarrow;
    const bool narrow = (wide & ~(2 * kNarrow - 1)) == 0;
    float qsum;
    if (narrow) {
        // Every sample within ±2^22, so steps are below 2^23 in size: a correctly rounded
        // single-precision quotient of two such integers never reaches the next integer away
        // from zero, and truncating it gives the integer quotient exactly.
        alignas(32) int32_t q[kMaxBlockFrames];
        for (int i = 0; i < std::min(n, 2); ++i) q[i] = 0;
        for (int i = 2; i < n; ++i) {
            // Flat steps divide by 1 and are masked out, without branches, so the loop
            // vectorises.
            const int32_t d = x[i - 1] - x[i - 2];
            const int32_t e = x[i] - x[i - 1];
            const int32_t flat = d == 0 ? 1 : 0;
            const int32_t qi = static_cast<int32_t>(static_cast<float>(e) / static_cast<float>(d | flat));
            q[i] = qi & (flat - 1);
        }
        uint32_t mag = 0, any = 0, total = 0;
        for (int i = 2; i < n; ++i) {
            const uint32_t a = Abs(q[i]);
            mag += a;
            any |= a;
            total += static_cast<uint32_t>(q[i]);
        }
        if (static_cast<uint64_t>(any) * static_cast<uint64_t>(n) < (uint64_t{1} << 32) && mag <= kExactSum) {
            // No partial sum can leave ±2^24, where every integer is a float: the running float
            // sum is exact, so it equals the integer sum.
            qsum = static_cast<float>(static_cast<int32_t>(total));
        } else {
            qsum = 0.0f;
            for (int i = 2; i < n; ++i) qsum += static_cast<float>(q[i]);
        }
    } else {
        qsum = 0.0f;
        for (int i = 2; i < n; ++i) {
            const int64_t d = static_cast<int64_t>(x[i - 1]) - x[i - 2];
            const int64_t e = static_cast<int64_t>(x[i]) - x[i - 1];
            if (d != 0) qsum += Quotient(e, d);
        }
    }
    float cf = qsum / static_cast<float>(n);
    cf = std::clamp(cf, -1.0f, 1.0f);
    const int32_t c = static_cast<int32_t>(cf * 16.0f);
    for (int i = 0; i < std::min(n, 2); ++i) r4[i] = x[i];
    if (narrow) {
        // |c| ≤ 16 and steps below 2^23: the product fits 32 bits.
        for (int i = 2; i < n; ++i) r4[i] = x[i] - x[i - 1] - ((c * (x[i - 1] - x[i - 2])) >> 4);
    } else {
        for (int i = 2; i < n; ++i) r4[i] = Residual(4, x, i, c);
    }
    sum[4] = MagnitudeSum(r4, 2, n);

    int best = 0;
    int64_t bestMean = static_cast<int64_t>(sum[0] / static_cast<float>(n));
    for (int p = 1; p < 5; ++p) {
        const int64_t mean = static_cast<int64_t>(sum[p] / static_cast<float>(n));
        if (mean < bestMean) {
            bestMean = mean;
            best = p;
        }
    }
    const int32_t* r = best == 0 ? x : best == 1 ? r1 : best == 2 ? r2 : best == 3 ? r3 : r4;

    // k: the first bit length at which more than two thirds of the residuals are covered.
    // Negative residuals count as length 0, so the residuals of length j or less are exactly
    // those below 2^j; the count is searched from a guess near the mean's length.
    const int threshold = (2 * n) / 3;
    auto covered = [&](int j) {
        if (j >= 31) return n;
        const int32_t limit = int32_t{1} << j;
        int count = 0;
        for (int i = 0; i < n; ++i) count += r[i] < limit ? 1 : 0;
        return count;
    };
    int k = std::clamp(BitLength(static_cast<uint32_t>(std::clamp<int64_t>(bestMean, 0, INT32_MAX))) - 1, 0, 31);
    if (covered(k) > threshold) {
        while (k > 0 && covered(k - 1) > threshold) --k;
    } else {
        while (k < 31 && covered(k) <= threshold) ++k;
    }

    ChannelCode code;
    code.predictor = best;
    code.k = k;
    code.coefficient = c;
    code.payloadBytes = WriteResiduals(r, n, k, out);
    return code;
}

bool AudioFileKX64::DecodeChannel(const uint8_t* payload, uint32_t payloadBytes, int predictor, int k,
                                  int32_t c, int32_t* x, int n) {
    BitCache bc;
    const size_t bytes = payloadBytes;
    // A code of L zeros, then L bits of q and k + 1 more, fits 56 bits while L ≤ fastL.
    const int fastL = (55 - k) / 2;
    // Two codes of L ≤ fastL2 take at most 28 bits each, so both come from one refill.
    const int fastL2 = k <= 26 ? (26 - k) / 2 : -1;
    int i = 0;
    bool ok = true;
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
    // Residuals first, straight into x.
    while (i < n) {
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
                x[i++] = take(L);
                L = __builtin_clzll(bc.cache | 1);
                if (L <= fastL2 && i < n) x[i++] = take(L);
                continue;
            }
            if (L <= fastL) {
                x[i++] = take(L);
                continue;
            }
        }
        BitCache slow = bc;
        uint32_t m;
        if (!SlowResidual(slow, payload, bytes, k, m)) {
            ok = false;
            break;
        }
        bc = slow;
        x[i++] = static_cast<int32_t>(m);
    }
    if (!ok) std::fill(x + i, x + n, 0);
    // Then the inverse predictor over what was decoded; the first values are verbatim.
    const int got = i;
    switch (predictor) {
    case 0: break;
    case 1:
        for (int j = 1; j < got; ++j) x[j] = Add(x[j], x[j - 1]);
        break;
    case 2:
        for (int j = 2; j < got; ++j) x[j] = Sub(Add(x[j], Mul(x[j - 1], 2)), x[j - 2]);
        break;
    case 3:
        for (int j = 3; j < got; ++j) x[j] = Add(Sub(Add(x[j], Mul(x[j - 1], 3)), Mul(x[j - 2], 3)), x[j - 3]);
        break;
    default:
        for (int j = 2; j < got; ++j) x[j] = Add(Add(x[j], x[j - 1]), AdaptiveTerm(c, x[j - 1], x[j - 2]));
        break;
    }
    return ok;
}

// ---------------------------------------------------------------------------------------
// Writer

bool AudioFileKX64::OpenWrite(uint32_t ch, int32_t r, int32_t b, int32_t type, int32_t) {
    m_writing = false;
    SetWriteFormat(ch, r, b, type);
    dataOffset = kHeaderBytes;
    m_blocksWritten = 0;
    m_markerLenPos = 0;
    m_inputFrames = 0;
    m_stageFrames = 0;
    m_stagePos = 0;
    m_blockLen = kBlockFrames;
    m_blocksPerGroup = kBlocksPerGroup;
    m_framesPerGroup = static_cast<int64_t>(kBlockFrames) * kBlocksPerGroup;
    m_isFloat = type != 0;
    if ((ch != 1 && ch != 2) || r <= 0 || (b != 8 && b != 16 && b != 24 && b != 32) || (m_isFloat && b != 32)) {
        SetError("Unsupported sample format.");
        return false;
    }
    if (!OpenWriteChecked()) return false;
    m_stage.assign(static_cast<size_t>(kBlockFrames) * ch, 0);
    // The writer stages each channel in its own array, ready for the coder.
    for (int c = 0; c < 2; ++c) m_channel[c].assign(c < static_cast<int>(ch) ? kBlockFrames : 0, 0);
    m_blockBuf.assign(5 + 2 * (10 + kMaxPayload + 16), 0);
    m_writing = true;

    ByteWriter w;
    w.Bytes("KX64", 4);
    w.U64(0);
    w.Bytes("PRMS", 4);
    w.U64(kRecordBytes);
    w.I64(0);
    w.U32(kBlockFrames);
    w.U32(static_cast<uint32_t>(r));
    w.U32(ch == 2 ? 3 : 16);
    w.I16(static_cast<int16_t>(ch));
    w.I16(static_cast<int16_t>(b));
    w.I16(static_cast<int16_t>((b + 7) / 8));
    // The reserved word after bytes per sample marks 32-bit float material; integer files
    // keep it zero.
    w.I16(m_isFloat ? 1 : 0);
    w.I32(kBlocksPerGroup);
    w.Zeros(124);
    w.Bytes("SMPL", 4);
    w.U64(0);
    const int64_t n = static_cast<int64_t>(w.Size());
    NoteWrite(n, Write(w.Data().data(), n));
    return FinishResult();
}

bool AudioFileKX64::CodeBlock() {
    const int ch = static_cast<int>(channels);
    if (m_blocksWritten % kBlocksPerGroup == 0) {
        const int64_t markerPos = kHeaderBytes + dataBytes;
        uint8_t marker[5] = {kGroupMarker, 0, 0, 0, 0};
        NoteWrite(5, Write(marker, 5));
        if (m_blocksWritten > 0) {
            uint8_t len[4];
            StoreLE32(len, static_cast<uint32_t>(markerPos - (m_markerLenPos + 4)));
            if (!WriteAt(m_markerLenPos, len, 4)) writeFailed = true;
        }
        m_markerLenPos = markerPos + 1;
        dataBytes += 5;
    }
    uint8_t* out = m_blockBuf.data();
    size_t pos = 5;
    for (int c = 0; c < ch; ++c) {
        ChannelCode code = EncodeChannel(m_channel[c].data(), kBlockFrames, out + pos + 10);
        StoreLE32(out + pos, code.payloadBytes);
        out[pos + 4] = static_cast<uint8_t>(code.predictor);
        out[pos + 5] = static_cast<uint8_t>(code.k);
        StoreLE32(out + pos + 6, static_cast<uint32_t>(code.coefficient));
        pos += 10 + code.payloadBytes;
    }
    out[0] = kBlockMarker;
    StoreLE32(out + 1, static_cast<uint32_t>(pos - 5));
    NoteWrite(static_cast<int64_t>(pos), Write(out, static_cast<int64_t>(pos)));
    dataBytes += static_cast<int64_t>(pos);
    ++m_blocksWritten;
    m_stageFrames = 0;
    return !writeFailed;
}

int32_t AudioFileKX64::WriteFloat(float* buffer, int32_t n) {
    if (!IsOpen() || !m_writing || buffer == nullptr || n <= 0) return 0;
    const int ch = static_cast<int>(channels);
    const double scale = bits == 32 ? 2147483648.0 : static_cast<double>(ScaleFor(bits));
    const double hi = bits == 32 ? static_cast<double>(INT32_MAX) : static_cast<double>(ScaleFor(bits));
    const double lo = bits == 32 ? static_cast<double>(INT32_MIN) : -hi - 1.0;
    // The sample times the scale, truncated toward zero and held to the depth's range; not a
    // number gives 0. A float times the scale is exact in double precision. Written without
    // branches so that the loops below vectorise.
    auto toInt = [&](double f) {
        const double v = f * scale;
        const double atLeast = v > lo ? v : lo;
        const double held = atLeast < hi ? atLeast : hi;
        return static_cast<int32_t>(v == v ? held : 0.0);
    };
    for (int32_t done = 0; done < n;) {
        const auto take = static_cast<int32_t>(std::min<int64_t>(n - done, kBlockFrames - m_stageFrames));
        const float* src = buffer + 2 * static_cast<int64_t>(done);
        int32_t* dst = m_channel[0].data() + m_stageFrames;
        if (ch == 2) {
            int32_t* right = m_channel[1].data() + m_stageFrames;
            if (m_isFloat) {
                // 32-bit float samples keep their bit pattern.
                for (int32_t i = 0; i < take; ++i) {
                    dst[i] = std::bit_cast<int32_t>(src[2 * i]);
                    right[i] = std::bit_cast<int32_t>(src[2 * i + 1]);
                }
            } else {
                for (int32_t i = 0; i < take; ++i) {
                    dst[i] = toInt(src[2 * i]);
                    right[i] = toInt(src[2 * i + 1]);
                }
            }
        } else {
            // Mono files keep the mean of left and right.
            if (m_isFloat) {
                for (int32_t i = 0; i < take; ++i) {
                    const float m = (src[2 * i] + src[2 * i + 1]) / 2.0f;
                    std::memcpy(&dst[i], &m, 4);
                }
            } else {
                // The mean is taken in double, where it is exact, as the PCM writers do.
                for (int32_t i = 0; i < take; ++i)
                    dst[i] = toInt((static_cast<double>(src[2 * i]) + src[2 * i + 1]) * 0.5);
            }
        }
        m_inputFrames += take;
        m_stageFrames += take;
        done += take;
        if (m_stageFrames == kBlockFrames && !CodeBlock()) return 0;
    }
    frames = m_inputFrames;
    return n * 8;
}

bool AudioFileKX64::FinishWrite() {
    // A file opened for reading has nothing to finish (and no coder buffers).
    if (!IsOpen() || !m_writing) return false;
    if (m_stageFrames > 0) {
        // The last partial block, padded with silence; the header keeps the true length.
        for (uint32_t c = 0; c < channels; ++c) std::fill(m_channel[c].begin() + m_stageFrames, m_channel[c].end(), 0);
        m_stageFrames = kBlockFrames;
        CodeBlock();
    }
    frames = m_inputFrames;
    uint8_t v[8];
    auto put64 = [&](int64_t at, uint64_t value) {
        for (int i = 0; i < 8; ++i) v[i] = static_cast<uint8_t>(value >> (8 * i));
        if (!WriteAt(at, v, 8)) writeFailed = true;
    };
    put64(184, static_cast<uint64_t>(dataBytes));
    put64(4, static_cast<uint64_t>(dataBytes + 172));
    put64(24, static_cast<uint64_t>(frames));
    return FinishResult();
}

void AudioFileKX64::Close() {
    AudioFile::Close();
    m_stageFrames = 0;
    m_stagePos = 0;
    m_bufLen = m_bufPos = 0;
}

// ---------------------------------------------------------------------------------------
// Reader

bool AudioFileKX64::OpenRead() {
    m_writing = false;
    if (!OpenReadChecked()) return false;
    const int64_t fileSize = FileSize();
    uint8_t h[12];
    if (!ReadMark(h, "KX64", "No KX64 chunk.")) return false;
    bool havePrms = false, haveSmpl = false;
    int64_t pos = 12;
    uint32_t blockLen = 0;
    int32_t blocksPerGroup = 0;
    int64_t statedFrames = 0;
    while (!(havePrms && haveSmpl)) {
        if (pos + 12 > fileSize || Seek(pos) < 0 || Read(h, 12) < 12) {
            SetError("No PRMS/SMPL chunks found (malformed?).");
            return false;
        }
        const uint64_t size = LoadLE32(h + 4) | (static_cast<uint64_t>(LoadLE32(h + 8)) << 32);
        const int64_t body = pos + 12;
        const int64_t avail = fileSize - body;
        if (std::memcmp(h, "PRMS", 4) == 0 && !havePrms) {
            uint8_t rec[kRecordBytes];
            if (Read(rec, kRecordBytes) < kRecordBytes) {
                SetError("Incomplete PRMS chunk (malformed?).");
                return false;
            }
            statedFrames = LoadLE32(rec);
            blockLen = LoadLE32(rec + 8);
            rate = static_cast<int32_t>(std::min<uint32_t>(LoadLE32(rec + 12), INT32_MAX));
            const int16_t ch = static_cast<int16_t>(LoadLE16(rec + 20));
            bits = static_cast<int16_t>(LoadLE16(rec + 22));
            const int16_t bytesPerSample = static_cast<int16_t>(LoadLE16(rec + 24));
            m_isFloat = LoadLE16(rec + 26) == 1 && bits == 32;
            blocksPerGroup = static_cast<int32_t>(LoadLE32(rec + 28));
            channels = ch == 1 || ch == 2 ? static_cast<uint32_t>(ch) : 0;
            if (bits > 8 && bits < 32 && bits % 8 != 0) bits = (bits + 7) / 8 * 8;
            if (bits == 24 && bytesPerSample == 4) {
                SetError("Zero-padded 24bit not supported.");
                return false;
            }
            if (!CheckReadFormat()) return false;
            if (blockLen == 0 || blockLen > kMaxBlockFrames || blocksPerGroup <= 0) {
                SetError("Invalid KX64 block layout (malformed?).");
                return false;
            }
            pos = body + static_cast<int64_t>(std::min<uint64_t>(size, static_cast<uint64_t>(std::max<int64_t>(avail, 0))));
            pos = std::max(pos, body + kRecordBytes);
            havePrms = true;
        } else if (std::memcmp(h, "SMPL", 4) == 0 && !haveSmpl) {
            dataOffset = body;
            // An unfinished file states 0: take what is there.
            dataBytes = (size == 0 || size > static_cast<uint64_t>(avail)) ? avail : static_cast<int64_t>(size);
            pos = body + dataBytes;
            haveSmpl = true;
        } else {
            // Skip by the low 32 bits of the size.
            pos = body + (size & 0xFFFFFFFFu);
        }
    }
    m_blockLen = blockLen;
    m_blocksPerGroup = blocksPerGroup;
    m_framesPerGroup = static_cast<int64_t>(blockLen) * blocksPerGroup;
    // No stream can hold more frames than its blocks: bounds a damaged count.
    const int64_t minBlockBytes = 5 + static_cast<int64_t>(channels) * 10;
    frames = std::min<int64_t>(statedFrames, (dataBytes / minBlockBytes) * blockLen);
    dataPos = 0;
    m_streamEnd = dataOffset + dataBytes;
    m_stage.assign(static_cast<size_t>(blockLen) * channels, 0);
    m_stageFrames = m_stagePos = 0;
    m_readFrame = 0;
    m_buf.resize(kReadBuffer);
    m_bufStart = dataOffset;
    m_bufLen = m_bufPos = 0;
    m_payload.assign(kMaxPayload + 16, 0);
    for (auto& c : m_channel) c.assign(blockLen, 0);
    return true;
}

bool AudioFileKX64::Fill() {
    if (m_bufPos < m_bufLen) return true;
    const int64_t start = Tell();
    if (start >= m_streamEnd) return false;
    const int64_t want = std::min<int64_t>(kReadBuffer, m_streamEnd - start);
    if (Seek(start) < 0) return false;
    const int64_t got = Read(m_buf.data(), want);
    m_bufStart = start;
    m_bufPos = 0;
    m_bufLen = static_cast<size_t>(got);
    return got > 0;
}

int AudioFileKX64::GetByte() {
    if (!Fill()) return -1;
    return m_buf[m_bufPos++];
}

bool AudioFileKX64::GetBytes(uint8_t* out, size_t n) {
    while (n > 0) {
        if (!Fill()) return false;
        const size_t take = std::min(n, m_bufLen - m_bufPos);
        std::memcpy(out, m_buf.data() + m_bufPos, take);
        m_bufPos += take;
        out += take;
        n -= take;
    }
    return true;
}

bool AudioFileKX64::GetU32(uint32_t& v) {
    uint8_t b[4];
    if (!GetBytes(b, 4)) return false;
    v = LoadLE32(b);
    return true;
}

void AudioFileKX64::SeekTo(int64_t pos) {
    pos = std::clamp(pos, dataOffset, m_streamEnd);
    if (pos >= m_bufStart && pos <= m_bufStart + static_cast<int64_t>(m_bufLen)) {
        m_bufPos = static_cast<size_t>(pos - m_bufStart);
    } else {
        m_bufStart = pos;
        m_bufLen = m_bufPos = 0;
    }
}

bool AudioFileKX64::DecodeNextBlock() {
    m_stageFrames = m_stagePos = 0;
    int b;
    for (;;) {
        b = GetByte();
        if (b == kGroupMarker) {
            uint32_t len;
            if (!GetU32(len)) return false;
            continue;
        }
        break;
    }
    if (b != kBlockMarker) return false;
    uint32_t blockLength;
    if (!GetU32(blockLength)) return false;
    const int ch = static_cast<int>(channels);
    const int n = static_cast<int>(m_blockLen);
    for (int c = 0; c < ch; ++c) {
        uint8_t rec[10];
        if (!GetBytes(rec, 10)) return false;
        const uint32_t payloadBytes = LoadLE32(rec);
        const int predictor = rec[4];
        const int k = rec[5];
        const int32_t coefficient = static_cast<int32_t>(LoadLE32(rec + 6));
        if (predictor > 4 || k > 31 || payloadBytes > static_cast<uint32_t>(kMaxPayload)) return false;
        if (!GetBytes(m_payload.data(), payloadBytes)) return false;
        std::memset(m_payload.data() + payloadBytes, 0, 16);
        // A payload that runs out leaves the rest of the channel silent.
        DecodeChannel(m_payload.data(), payloadBytes, predictor, k, coefficient, m_channel[c].data(), n);
    }
    int32_t* stage = m_stage.data();
    if (ch == 2) {
        const int32_t* l = m_channel[0].data();
        const int32_t* r = m_channel[1].data();
        for (int i = 0; i < n; ++i) {
            stage[2 * i] = l[i];
            stage[2 * i + 1] = r[i];
        }
    } else {
        std::memcpy(stage, m_channel[0].data(), static_cast<size_t>(n) * 4);
    }
    m_stageFrames = n;
    return true;
}

template <typename T> int32_t AudioFileKX64::ReadFrames(T* out, int32_t n, bool) {
    if (out == nullptr || n <= 0) return 0;
    int32_t got = 0;
    const int ch = static_cast<int>(channels);
    const float scale = bits == 8 ? 1.0f / 128 : bits == 16 ? 1.0f / 32768 : 1.0f / 8388608;
    while (IsOpen() && got < n && m_readFrame < frames) {
        if (m_stagePos >= m_stageFrames && !DecodeNextBlock()) break;
        const int64_t take = std::min<int64_t>({n - got, m_stageFrames - m_stagePos, frames - m_readFrame});
        const int32_t* src = &m_stage[static_cast<size_t>(m_stagePos) * ch];
        T* dst = out + 2 * static_cast<int64_t>(got);
        for (int64_t i = 0; i < take; ++i) {
            const int32_t l = src[i * ch];
            const int32_t r = ch == 2 ? src[i * ch + 1] : l;
            if constexpr (std::is_same_v<T, float>) {
                if (m_isFloat) {
                    std::memcpy(&dst[2 * i], &l, 4);
                    std::memcpy(&dst[2 * i + 1], &r, 4);
                } else if (bits == 32) {
                    dst[2 * i] = static_cast<float>(l / 2147483648.0);
                    dst[2 * i + 1] = static_cast<float>(r / 2147483648.0);
                } else {
                    dst[2 * i] = static_cast<float>(l) * scale;
                    dst[2 * i + 1] = static_cast<float>(r) * scale;
                }
            } else {
                dst[2 * i] = l;
                dst[2 * i + 1] = r;
            }
        }
        m_stagePos += take;
        m_readFrame += take;
        got += static_cast<int32_t>(take);
    }
    std::memset(out + 2 * static_cast<int64_t>(got), 0, static_cast<size_t>(n - got) * 8);
    return got;
}

int32_t AudioFileKX64::ReadFloat(float* buffer, int32_t n) { return ReadFrames(buffer, n, true); }
int32_t AudioFileKX64::ReadInt(int32_t* buffer, int32_t n) { return ReadFrames(buffer, n, false); }

bool AudioFileKX64::SeekFrame(int64_t f) {
    if (!IsOpen() || m_stage.empty()) return false;
    f = std::clamp<int64_t>(f, 0, frames);
    m_stageFrames = m_stagePos = 0;
    if (f == frames) {
        // Nothing follows the end: no need to walk the stream.
        m_readFrame = f;
        return true;
    }
    SeekTo(dataOffset);
    int64_t p = 0;
    for (;;) {
        const int64_t at = Tell();
        const int b = GetByte();
        uint32_t len = 0;
        if (b == kBlockMarker) {
            if (!GetU32(len)) {
                SeekTo(at);
                break;
            }
            if (f < p + m_blockLen) {
                SeekTo(at);
                break;
            }
            SeekTo(Tell() + len);
            p += m_blockLen;
        } else if (b == kGroupMarker) {
            if (!GetU32(len)) {
                SeekTo(at);
                break;
            }
            // A group of unknown length (the last one) is walked block by block.
            if (f < p + m_framesPerGroup || len == 0) continue;
            SeekTo(Tell() + len);
            p += m_framesPerGroup;
        } else {
            SeekTo(at);
            break;
        }
    }
    m_readFrame = f;
    if (f > p && f - p <= static_cast<int64_t>(m_blockLen)) {
        if (DecodeNextBlock()) m_stagePos = std::min<int64_t>(f - p, m_stageFrames);
    }
    return true;
}
