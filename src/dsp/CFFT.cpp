#include "dsp/CFFT.h"

#include <cmath>
#include <utility>

namespace {

int Bits(int n) {
    int b = 0;
    while ((1 << b) < n) ++b;
    return b;
}

unsigned Reverse(unsigned v, int bits) {
    unsigned r = 0;
    for (int i = 0; i < bits; ++i, v >>= 1) r = (r << 1) | (v & 1u);
    return r;
}

} // namespace

bool CFFT::Transform(int n, bool inverse, const float* realIn, const float* imagIn, float* realOut, float* imagOut) {
    if (!IsPowerOfTwo(n) || !realIn || !realOut || !imagOut) return false;
    const int bits = Bits(n);

    // Bit-reversed copy. When input and output are the same array the permutation is done by
    // swapping pairs, so nothing is read after it has been overwritten.
    const bool realInPlace = realIn == realOut;
    const bool imagInPlace = imagIn == imagOut;
    for (int i = 0; i < n; ++i) {
        const int j = static_cast<int>(Reverse(static_cast<unsigned>(i), bits));
        if (realInPlace) {
            if (j > i) std::swap(realOut[i], realOut[j]);
        } else {
            realOut[j] = realIn[i];
        }
        if (!imagIn) {
            imagOut[j] = 0.0f;
        } else if (imagInPlace) {
            if (j > i) std::swap(imagOut[i], imagOut[j]);
        } else {
            imagOut[j] = imagIn[i];
        }
    }

    // Forward: X[k] = sum of x[m] e^(-2 pi i k m / n); the inverse turns the angle round.
    const double sign = inverse ? 1.0 : -1.0;
    for (int block = 2; block <= n; block <<= 1) {
        const double angle = sign * 2.0 * 3.14159265358979323846 / block;
        const double sm2 = std::sin(-2.0 * angle), sm1 = std::sin(-angle);
        const double cm2 = std::cos(-2.0 * angle), cm1 = std::cos(-angle);
        const double w = 2.0 * cm1;
        const int half = block / 2;
        for (int start = 0; start < n; start += block) {
            double ar2 = cm2, ar1 = cm1, ai2 = sm2, ai1 = sm1;
            for (int j = start, m = 0; m < half; ++j, ++m) {
                const double ar0 = w * ar1 - ar2;
                ar2 = ar1;
                ar1 = ar0;
                const double ai0 = w * ai1 - ai2;
                ai2 = ai1;
                ai1 = ai0;
                const int k = j + half;
                const double tr = ar0 * realOut[k] - ai0 * imagOut[k];
                const double ti = ar0 * imagOut[k] + ai0 * realOut[k];
                realOut[k] = static_cast<float>(realOut[j] - tr);
                imagOut[k] = static_cast<float>(imagOut[j] - ti);
                realOut[j] = static_cast<float>(realOut[j] + tr);
                imagOut[j] = static_cast<float>(imagOut[j] + ti);
            }
        }
    }
    if (inverse) {
        const float inv = 1.0f / static_cast<float>(n);
        for (int i = 0; i < n; ++i) {
            realOut[i] *= inv;
            imagOut[i] *= inv;
        }
    }
    return true;
}
