#include "audiofile/KX64Predictor.h"

#include <algorithm>
#include <cmath>

#include "audiofile/KX64Arith.h"
#include "audiofile/KX64BitWriter.h"

namespace {

using kx64::Abs;
using kx64::Add;
using kx64::BitLength;
using kx64::Mul;
using kx64::Sub;

// The integer quotient a / d truncated toward zero, as a float. Operands stay below 2^34, so
// the correctly rounded double quotient never reaches the next integer and truncating it is
// exact; a double division is several times cheaper than a 64-bit integer one.
inline float Quotient(int64_t a, int64_t d) {
    return static_cast<float>(std::trunc(static_cast<double>(a) / static_cast<double>(d)));
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

// Samples within ±2^22 take the narrow path of the coefficient and residuals: see Encode.
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

} // namespace

KX64Predictor::Choice KX64Predictor::Encode(const int32_t* x, int n, uint8_t* out) {
    if (n <= 0) return Choice{}; // nothing to code (and no mean to take)
    n = std::min(n, kMaxFrames);
    // Residuals of the fixed predictors, in a plain loop that the compiler vectorises.
    alignas(32) int32_t r1[kMaxFrames], r2[kMaxFrames], r3[kMaxFrames], r4[kMaxFrames];
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
        alignas(32) int32_t q[kMaxFrames];
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
    const auto meanBits = BitLength(static_cast<uint32_t>(std::clamp<int64_t>(bestMean, 0, INT32_MAX)));
    int k = std::clamp(meanBits - 1, 0, 31);
    if (covered(k) > threshold) {
        while (k > 0 && covered(k - 1) > threshold) --k;
    } else {
        while (k < 31 && covered(k) <= threshold) ++k;
    }

    Choice choice;
    choice.predictor = best;
    choice.k = k;
    choice.coefficient = c;
    choice.payloadBytes = KX64BitWriter::WriteResiduals(r, n, k, out);
    return choice;
}

void KX64Predictor::Restore(int predictor, int32_t c, int32_t* x, int n) {
    // The first values are verbatim.
    switch (predictor) {
    case 0: break;
    case 1:
        for (int j = 1; j < n; ++j) x[j] = Add(x[j], x[j - 1]);
        break;
    case 2:
        for (int j = 2; j < n; ++j) x[j] = Sub(Add(x[j], Mul(x[j - 1], 2)), x[j - 2]);
        break;
    case 3:
        for (int j = 3; j < n; ++j) x[j] = Add(Sub(Add(x[j], Mul(x[j - 1], 3)), Mul(x[j - 2], 3)), x[j - 3]);
        break;
    default:
        for (int j = 2; j < n; ++j) x[j] = Add(Add(x[j], x[j - 1]), AdaptiveTerm(c, x[j - 1], x[j - 2]));
        break;
    }
}
