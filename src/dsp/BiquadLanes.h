#pragma once
// The symmetric biquad form on four channels at once with SSE2, for the band splitters. Internal
// to the DSP library.

#include "dsp/Biquad.h"

#if defined(__SSE2__)
#include <emmintrin.h>

// Four channels of the symmetric form at once, lane by lane the same operations in the same
// order as the scalar loop, so every lane rounds exactly as a separate run would.
struct SymmetricLanes {
    __m128 b0, b1, a1, a2;
    __m128 x1, x2, y1, y2;

    void Load(const BiquadCoefs* const c[4], const BiquadHistory* const h[4]) {
        auto f = [](double v) { return static_cast<float>(v); };
        b0 = _mm_setr_ps(f(c[0]->b0), f(c[1]->b0), f(c[2]->b0), f(c[3]->b0));
        b1 = _mm_setr_ps(f(c[0]->b1), f(c[1]->b1), f(c[2]->b1), f(c[3]->b1));
        a1 = _mm_setr_ps(f(c[0]->a1), f(c[1]->a1), f(c[2]->a1), f(c[3]->a1));
        a2 = _mm_setr_ps(f(c[0]->a2), f(c[1]->a2), f(c[2]->a2), f(c[3]->a2));
        x1 = _mm_setr_ps(h[0]->x1, h[1]->x1, h[2]->x1, h[3]->x1);
        x2 = _mm_setr_ps(h[0]->x2, h[1]->x2, h[2]->x2, h[3]->x2);
        y1 = _mm_setr_ps(h[0]->y1, h[1]->y1, h[2]->y1, h[3]->y1);
        y2 = _mm_setr_ps(h[0]->y2, h[1]->y2, h[2]->y2, h[3]->y2);
    }

    void Store(BiquadHistory* const h[4]) const {
        alignas(16) float v[4][4];
        _mm_store_ps(v[0], x1);
        _mm_store_ps(v[1], x2);
        _mm_store_ps(v[2], y1);
        _mm_store_ps(v[3], y2);
        for (int i = 0; i < 4; ++i) {
            if (!h[i]) continue;
            h[i]->x1 = v[0][i];
            h[i]->x2 = v[1][i];
            h[i]->y1 = v[2][i];
            h[i]->y2 = v[3][i];
        }
    }

    // y = b0·(x + x2) + b1·x1 − a1·y1 − a2·y2, then the histories move on.
    __m128 Step(__m128 x) {
        __m128 y = _mm_mul_ps(b0, _mm_add_ps(x, x2));
        y = _mm_add_ps(y, _mm_mul_ps(b1, x1));
        y = _mm_sub_ps(y, _mm_mul_ps(a1, y1));
        y = _mm_sub_ps(y, _mm_mul_ps(a2, y2));
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// (l[i], r[i], 0, 0)
inline __m128 LoadPair(const float* l, const float* r, int i) {
    return _mm_unpacklo_ps(_mm_load_ss(l + i), _mm_load_ss(r + i));
}

// One step of two filters in series on a stereo pair, lanes (first left, first right, second
// left, second right): sample i of the first filter from in into mid, and sample i − 1 of the
// second from mid into out, whose input the first made at the step before (its y1 lanes).
inline void SeriesStep(SymmetricLanes& f, const float* inLeft, const float* inRight, float* midLeft, float* midRight,
                       float* outLeft, float* outRight, int i) {
    const __m128 y = f.Step(_mm_movelh_ps(LoadPair(inLeft, inRight, i), f.y1));
    _mm_store_ss(midLeft + i, y);
    _mm_store_ss(midRight + i, _mm_shuffle_ps(y, y, _MM_SHUFFLE(1, 1, 1, 1)));
    _mm_store_ss(outLeft + i - 1, _mm_shuffle_ps(y, y, _MM_SHUFFLE(2, 2, 2, 2)));
    _mm_store_ss(outRight + i - 1, _mm_shuffle_ps(y, y, _MM_SHUFFLE(3, 3, 3, 3)));
}

#endif
