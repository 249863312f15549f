// The AVX kernels: the valve's double-precision curve four samples at a time on 256-bit vectors,
// the same operations as the SSE2 set, twice as wide. The rest of the AVX set is the SSE2 set.
//
// This file is compiled with -mavx and called only where the processor has AVX. It includes no
// header of ours with inline functions (see DSPKernels.h), and hands the samples after the last
// whole vector to the plain set, compiled for every processor.

#include "dsp/DSPKernels.h"

#if defined(SONQUIL_X86_KERNELS) && defined(__AVX__)

#include <immintrin.h>

namespace kernels::avx {

namespace {

// Beyond this the curve equals ±1 in float; the plain set clamps at the same value.
constexpr float kValveLimit = 1.0e6f;

// u / sqrt(sqrt(1 + u^4)) in double for four clamped, driven samples, rounded once to float.
inline __m128 Curve(__m128 u) {
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d d = _mm256_cvtps_pd(u);
    const __m256d q = _mm256_mul_pd(d, d);
    const __m256d r = _mm256_sqrt_pd(_mm256_sqrt_pd(_mm256_add_pd(one, _mm256_mul_pd(q, q))));
    return _mm256_cvtpd_ps(_mm256_div_pd(d, r));
}

} // namespace

float Valve(float* buf, int n, float drive) {
    const __m128 vd = _mm_set1_ps(drive);
    const __m128 lim = _mm_set1_ps(kValveLimit), nlim = _mm_set1_ps(-kValveLimit);
    const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    __m128 vp = _mm_setzero_ps();
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128 u = _mm_max_ps(_mm_min_ps(_mm_mul_ps(_mm_loadu_ps(buf + i), vd), lim), nlim);
        vp = _mm_max_ps(_mm_and_ps(u, absMask), vp);
        _mm_storeu_ps(buf + i, Curve(u));
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, vp);
    float pk = 0.0f;
    for (float l : lanes) pk = l > pk ? l : pk;
    return plain::ValveFrom(buf + i, n - i, drive, pk);
}

// The whole valve stage in one pass; see CDSPEngine::ValveStage. The high-pass recursion is
// serial and waits on its own latency, so the saturation of the four bands rides along in its
// shadow instead of taking passes of its own. The high bands stay in registers, so the work
// buffers are not touched.
void ValveStage(const ValveStageArgs& a, float peaks[4]) {
    float* const left = a.left;
    float* const right = a.right;
    const BiquadCoefs& c = *a.split;
    BiquadHistory& hl = *a.histLeft;
    BiquadHistory& hr = *a.histRight;
    auto f = [](double v) { return static_cast<float>(v); };
    const __m128 b0 = _mm_set1_ps(f(c.b0)), b1 = _mm_set1_ps(f(c.b1));
    const __m128 a1 = _mm_set1_ps(f(c.a1)), a2 = _mm_set1_ps(f(c.a2));
    __m128 x1 = _mm_setr_ps(hl.x1, hr.x1, 0.0f, 0.0f), x2 = _mm_setr_ps(hl.x2, hr.x2, 0.0f, 0.0f);
    __m128 y1 = _mm_setr_ps(hl.y1, hr.y1, 0.0f, 0.0f), y2 = _mm_setr_ps(hl.y2, hr.y2, 0.0f, 0.0f);
    const __m128 vd = _mm_set1_ps(a.drive);
    const __m128 lim = _mm_set1_ps(kValveLimit), nlim = _mm_set1_ps(-kValveLimit);
    const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    __m128 peak = _mm_setzero_ps();
    for (int i = 0; i < a.n; ++i) {
        // The split: y = b0·(x + x2) + b1·x1 − a1·y1 − a2·y2 on (left, right).
        const __m128 x = _mm_unpacklo_ps(_mm_load_ss(left + i), _mm_load_ss(right + i));
        __m128 y = _mm_mul_ps(b0, _mm_add_ps(x, x2));
        y = _mm_add_ps(y, _mm_mul_ps(b1, x1));
        y = _mm_sub_ps(y, _mm_mul_ps(a1, y1));
        y = _mm_sub_ps(y, _mm_mul_ps(a2, y2));
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        // Low left, low right, high left, high right through the curve.
        const __m128 bands = _mm_movelh_ps(_mm_sub_ps(x, y), y);
        const __m128 u = _mm_max_ps(_mm_min_ps(_mm_mul_ps(bands, vd), lim), nlim);
        peak = _mm_max_ps(_mm_and_ps(u, absMask), peak);
        const __m128 v = Curve(u);
        // Low plus high.
        const __m128 sum = _mm_add_ps(v, _mm_movehl_ps(v, v));
        _mm_store_ss(left + i, sum);
        _mm_store_ss(right + i, _mm_shuffle_ps(sum, sum, _MM_SHUFFLE(1, 1, 1, 1)));
    }
    alignas(16) float h[4][4];
    _mm_store_ps(h[0], x1);
    _mm_store_ps(h[1], x2);
    _mm_store_ps(h[2], y1);
    _mm_store_ps(h[3], y2);
    hl.x1 = h[0][0], hl.x2 = h[1][0], hl.y1 = h[2][0], hl.y2 = h[3][0];
    hr.x1 = h[0][1], hr.x2 = h[1][1], hr.y1 = h[2][1], hr.y2 = h[3][1];
    _mm_storeu_ps(peaks, peak);
}

} // namespace kernels::avx

#endif
