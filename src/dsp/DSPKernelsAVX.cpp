// The AVX kernels: the valve's double-precision curve four samples at a time on 256-bit vectors,
// the same operations as the SSE2 set, twice as wide, and the equaliser's stages two to a vector.
// The rest of the AVX set is the SSE2 set.
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

namespace {

// The equaliser's general form for one output as the plain set forms it.
float ExtendedForm(const BiquadCoefs& k, float x, float x1, float x2, float y1, float y2) {
    using Ext = long double;
    return static_cast<float>(Ext(k.b0) * x + Ext(k.b1) * x1 + Ext(k.b2) * x2 - Ext(k.a1) * y1 - Ext(k.a2) * y2);
}

inline __m256d AbsPd(__m256d v) {
    return _mm256_and_pd(v, _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffffLL)));
}

constexpr double kFloor = 0x1p-90;

// The four outputs of a vector in extended precision, as the plain set forms them; k names the
// stage of each pair of lanes.
[[gnu::noinline]] __m256d Extended(const BiquadCoefs* const k[2], __m256d x, __m256d x1, __m256d x2, __m256d y1,
                                   __m256d y2) {
    alignas(32) double v[5][4];
    _mm256_store_pd(v[0], x);
    _mm256_store_pd(v[1], x1);
    _mm256_store_pd(v[2], x2);
    _mm256_store_pd(v[3], y1);
    _mm256_store_pd(v[4], y2);
    alignas(32) double y[4];
    for (int c = 0; c < 4; ++c)
        y[c] = ExtendedForm(*k[c / 2], static_cast<float>(v[0][c]), static_cast<float>(v[1][c]),
                            static_cast<float>(v[2][c]), static_cast<float>(v[3][c]), static_cast<float>(v[4][c]));
    return _mm256_load_pd(y);
}

// The equaliser's stages in double with the margin test of kernels::sse2::Cascade (see there for
// why the bits are those of the extended form), two stages per vector: lanes (stage 2v left,
// right, stage 2v + 1 left, right). The stages are skewed, stage s on sample t − s at step t, so
// each vector takes its inputs from the outputs of the one before it one step earlier, moved up
// by one stage. An odd stage count leaves the last vector's upper stage empty, with zero
// coefficients, whose outputs go nowhere.
template <int S> void RunAvxCascade(const CascadeArgs& a) {
    constexpr int V = (S + 1) / 2;
    float* const left = a.left;
    float* const right = a.right;
    const int n = a.n;
    const BiquadCoefs empty{0.0, 0.0, 0.0, 0.0, 0.0};
    const BiquadCoefs* k[2 * V];
    for (int s = 0; s < 2 * V; ++s) k[s] = s < S ? &a.coefs[s] : &empty;
    __m256d b0[V], b1[V], b2[V], a1[V], a2[V], margin[V];
    __m256d x1[V], x2[V], y1[V], y2[V], top[V];
    for (int v = 0; v < V; ++v) {
        const BiquadCoefs& p = *k[2 * v];
        const BiquadCoefs& q = *k[2 * v + 1];
        b0[v] = _mm256_setr_pd(p.b0, p.b0, q.b0, q.b0);
        b1[v] = _mm256_setr_pd(p.b1, p.b1, q.b1, q.b1);
        b2[v] = _mm256_setr_pd(p.b2, p.b2, q.b2, q.b2);
        a1[v] = _mm256_setr_pd(p.a1, p.a1, q.a1, q.a1);
        a2[v] = _mm256_setr_pd(p.a2, p.a2, q.a2, q.a2);
        // Builtins rather than <cmath>, whose inline functions this file must not compile.
        auto bound = [](const BiquadCoefs& c) {
            return (__builtin_fabs(c.b0) + __builtin_fabs(c.b1) + __builtin_fabs(c.b2) + __builtin_fabs(c.a1) +
                    __builtin_fabs(c.a2)) *
                   0x1p-49;
        };
        margin[v] = _mm256_setr_pd(bound(p), bound(p), bound(q), bound(q));
        // Field by field: no object of ours is constructed in this file (see DSPKernels.h).
        double h[4][4] = {};
        for (int c = 0; c < 4; ++c) {
            const int s = 2 * v + c / 2;
            if (s >= S) continue;
            const BiquadHistory& from = *a.hist[s][c & 1];
            h[0][c] = from.x1;
            h[1][c] = from.x2;
            h[2][c] = from.y1;
            h[3][c] = from.y2;
        }
        x1[v] = _mm256_loadu_pd(h[0]);
        x2[v] = _mm256_loadu_pd(h[1]);
        y1[v] = _mm256_loadu_pd(h[2]);
        y2[v] = _mm256_loadu_pd(h[3]);
    }
    // Each lane's running maximum restarts from the operands already there, never below the floor.
    auto refresh = [&] {
#pragma GCC unroll 4
        for (int v = 0; v < V; ++v)
            top[v] = _mm256_max_pd(_mm256_max_pd(_mm256_max_pd(AbsPd(x1[v]), AbsPd(x2[v])),
                                                 _mm256_max_pd(AbsPd(y1[v]), AbsPd(y2[v]))),
                                   _mm256_set1_pd(kFloor));
    };
    // One vector's step: d the double sum, then the test, then the histories move on. keep marks
    // the lanes of a stage that has no sample at this step and keeps its state.
    auto stage = [&](int v, __m256d xv, bool edge, __m256d keep) __attribute__((always_inline)) {
        __m256d m = _mm256_max_pd(top[v], AbsPd(xv));
        // The newest operands last, so that each step waits on as few operations as can be.
        const __m256d older = _mm256_sub_pd(_mm256_add_pd(_mm256_mul_pd(b1[v], x1[v]), _mm256_mul_pd(b2[v], x2[v])),
                                            _mm256_add_pd(_mm256_mul_pd(a1[v], y1[v]), _mm256_mul_pd(a2[v], y2[v])));
        const __m256d d = _mm256_add_pd(older, _mm256_mul_pd(b0[v], xv));
        const __m256d e = _mm256_mul_pd(margin[v], m);
        const __m128 lo = _mm256_cvtpd_ps(_mm256_sub_pd(d, e));
        const __m128 hi = _mm256_cvtpd_ps(_mm256_add_pd(d, e));
        __m256d y = _mm256_cvtps_pd(lo);
        if (__builtin_expect(_mm_movemask_ps(_mm_cmpeq_ps(lo, hi)) != 15, 0))
            y = Extended(&k[2 * v], xv, x1[v], x2[v], y1[v], y2[v]);
        m = _mm256_max_pd(m, AbsPd(y));
        if (edge) {
            top[v] = _mm256_blendv_pd(m, top[v], keep);
            x2[v] = _mm256_blendv_pd(x1[v], x2[v], keep);
            x1[v] = _mm256_blendv_pd(xv, x1[v], keep);
            y2[v] = _mm256_blendv_pd(y1[v], y2[v], keep);
            y1[v] = _mm256_blendv_pd(y, y1[v], keep);
        } else {
            top[v] = m;
            x2[v] = x1[v];
            x1[v] = xv;
            y2[v] = y1[v];
            y1[v] = y;
        }
    };
    // Step t: stage s on sample t − s. The inputs are the stage below's last outputs, moved up
    // one stage, and the block's sample below all. Near either end of the block (edge) some
    // stages have no sample.
    auto step = [&](int t, bool edge) __attribute__((always_inline)) {
        __m128d in = _mm_setzero_pd();
        if (!edge || t < n) in = _mm_cvtps_pd(_mm_unpacklo_ps(_mm_load_ss(left + t), _mm_load_ss(right + t)));
        __m256d x[V];
        x[0] = _mm256_permute2f128_pd(_mm256_castpd128_pd256(in), y1[0], 0x20);
#pragma GCC unroll 4
        for (int v = 1; v < V; ++v) x[v] = _mm256_permute2f128_pd(y1[v - 1], y1[v], 0x21);
#pragma GCC unroll 4
        for (int v = V - 1; v >= 0; --v) {
            if (!edge) {
                stage(v, x[v], false, _mm256_setzero_pd());
                continue;
            }
            const bool on0 = t - 2 * v >= 0 && t - 2 * v < n, on1 = t - 2 * v - 1 >= 0 && t - 2 * v - 1 < n;
            if (!on0 && !on1) continue;
            const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1)), none = _mm256_setzero_pd();
            const __m256d keep = _mm256_permute2f128_pd(on0 ? none : all, on1 ? none : all, 0x20);
            stage(v, x[v], true, keep);
        }
        // The last stage's output, sample t − (S − 1).
        const int i = t - (S - 1);
        if (!edge || (i >= 0 && i < n)) {
            constexpr int v = (S - 1) / 2;
            const __m128d last = (S - 1) % 2 ? _mm256_extractf128_pd(y1[v], 1) : _mm256_castpd256_pd128(y1[v]);
            const __m128 f = _mm_cvtpd_ps(last);
            _mm_store_ss(left + i, f);
            _mm_store_ss(right + i, _mm_shuffle_ps(f, f, _MM_SHUFFLE(1, 1, 1, 1)));
        }
    };

    const int total = n + S - 1;
    refresh();
    int t = 0;
    for (; t < total && t < S - 1; ++t) step(t, true);
    while (t < n) {
        // A loud passage must not widen the margins of the quiet one after it for long.
        const int end = n - t > 64 ? t + 64 : n;
        for (; t < end; ++t) step(t, false);
        refresh();
    }
    for (; t < total; ++t) step(t, true);
    for (int v = 0; v < V; ++v) {
        alignas(32) double h[4][4];
        _mm256_store_pd(h[0], x1[v]);
        _mm256_store_pd(h[1], x2[v]);
        _mm256_store_pd(h[2], y1[v]);
        _mm256_store_pd(h[3], y2[v]);
        for (int c = 0; c < 4; ++c) {
            const int s = 2 * v + c / 2;
            if (s >= S) continue;
            BiquadHistory& to = *a.hist[s][c & 1];
            to.x1 = static_cast<float>(h[0][c]);
            to.x2 = static_cast<float>(h[1][c]);
            to.y1 = static_cast<float>(h[2][c]);
            to.y2 = static_cast<float>(h[3][c]);
        }
    }
}

// The x87 control word: rounding to nearest, and sums kept to at least double's precision.
bool ExtendedRoundsAsAssumed() {
    unsigned short cw = 0;
    __asm__ volatile("fnstcw %0" : "=m"(cw));
    return (cw & 0x0C00) == 0 && (cw & 0x0300) >= 0x0200;
}

} // namespace

void Cascade(const CascadeArgs& a) {
    if (a.stages < 1 || a.stages > kCascadeStages || !ExtendedRoundsAsAssumed()) {
        plain::Cascade(a);
        return;
    }
    // IEEE arithmetic throughout for the margin test (the audio thread flushes denormals, which
    // the extended form never does); the gain afterwards under the caller's mode, as the plain
    // set applies it.
    const unsigned int csr = _mm_getcsr();
    _mm_setcsr((csr & ~0xE040u) | 0x1F80u);
    switch (a.stages) {
    case 1: RunAvxCascade<1>(a); break;
    case 2: RunAvxCascade<2>(a); break;
    case 3: RunAvxCascade<3>(a); break;
    case 4: RunAvxCascade<4>(a); break;
    case 5: RunAvxCascade<5>(a); break;
    case 6: RunAvxCascade<6>(a); break;
    default: RunAvxCascade<7>(a); break;
    }
    _mm_setcsr(csr);
    sse2::Scale(a.left, a.n, a.gain);
    sse2::Scale(a.right, a.n, a.gain);
}

} // namespace kernels::avx

#endif
