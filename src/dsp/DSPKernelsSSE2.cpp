// The SSE2 kernel set: four floats (or two doubles) per operation, each lane formed by the plain
// set's operations in its order (the equaliser's stages excepted, see Cascade below). The engine
// calls it only where the processor has SSE2.

#include "dsp/DSPKernels.h"

#if defined(SONQUIL_X86_KERNELS) && defined(__SSE2__)

#include "dsp/BiquadLanes.h"
#include "dsp/GainLanes.h"

#include <emmintrin.h>

#include <cmath>

namespace kernels::sse2 {

namespace {

// Beyond this the curve equals ±1 in float; the plain set clamps at the same value.
constexpr float kValveLimit = 1.0e6f;

// The last samples of a block, fewer than a group, one band at a time.
void CompressTail(float* const* left, float* const* right, int bands, int from, int n, const GainState& state,
                  const CompressorSettings& settings) {
    for (int b = 0; b < bands; ++b) {
        float target = state.scratch ? state.scratch[b] : 1.0f;
        const GainState band{&state.gain[b], &target, state.minGain ? &state.minGain[b] : nullptr};
        plain::CompressPair(left[b] + from, right[b] + from, n - from, band, settings);
        if (state.scratch) state.scratch[b] = target;
    }
}

} // namespace

void Sum(float* dst, const float* src, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) _mm_storeu_ps(dst + i, _mm_add_ps(_mm_loadu_ps(dst + i), _mm_loadu_ps(src + i)));
    plain::Sum(dst + i, src + i, n - i);
}

void Sub(float* dst, const float* src, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) _mm_storeu_ps(dst + i, _mm_sub_ps(_mm_loadu_ps(dst + i), _mm_loadu_ps(src + i)));
    plain::Sub(dst + i, src + i, n - i);
}

void Scale(float* buf, int n, float factor) {
    const __m128 f = _mm_set1_ps(factor);
    int i = 0;
    for (; i + 4 <= n; i += 4) _mm_storeu_ps(buf + i, _mm_mul_ps(_mm_loadu_ps(buf + i), f));
    plain::Scale(buf + i, n - i, factor);
}

void Clip(float* buf, int n, float limit) {
    const __m128 vh = _mm_set1_ps(limit), vl = _mm_set1_ps(-limit);
    int i = 0;
    for (; i + 4 <= n; i += 4) _mm_storeu_ps(buf + i, _mm_max_ps(_mm_min_ps(_mm_loadu_ps(buf + i), vh), vl));
    plain::Clip(buf + i, n - i, limit);
}

float Valve(float* buf, int n, float drive) {
    const __m128 vd = _mm_set1_ps(drive);
    const __m128d one = _mm_set1_pd(1.0);
    const __m128 lim = _mm_set1_ps(kValveLimit), nlim = _mm_set1_ps(-kValveLimit);
    const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    __m128 vp = _mm_setzero_ps();
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128 u = _mm_max_ps(_mm_min_ps(_mm_mul_ps(_mm_loadu_ps(buf + i), vd), lim), nlim);
        vp = _mm_max_ps(_mm_and_ps(u, absMask), vp);
        // In double, like the plain set, so rounding cannot break monotonicity near ±1.
        __m128d lo = _mm_cvtps_pd(u), hi = _mm_cvtps_pd(_mm_movehl_ps(u, u));
        __m128d qlo = _mm_mul_pd(lo, lo), qhi = _mm_mul_pd(hi, hi);
        __m128d dlo = _mm_sqrt_pd(_mm_sqrt_pd(_mm_add_pd(one, _mm_mul_pd(qlo, qlo))));
        __m128d dhi = _mm_sqrt_pd(_mm_sqrt_pd(_mm_add_pd(one, _mm_mul_pd(qhi, qhi))));
        __m128 ylo = _mm_cvtpd_ps(_mm_div_pd(lo, dlo)), yhi = _mm_cvtpd_ps(_mm_div_pd(hi, dhi));
        _mm_storeu_ps(buf + i, _mm_movelh_ps(ylo, yhi));
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, vp);
    float pk = 0.0f;
    for (float l : lanes) pk = l > pk ? l : pk;
    return plain::ValveFrom(buf + i, n - i, drive, pk);
}

void CompressBands(float* const* left, float* const* right, int bands, int n, const GainState& state,
                   const CompressorSettings& settings) {
    GainLanes lanes(bands, state, settings);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128 l[4], r[4], p[4], gs[4];
        for (int b = 0; b < 4; ++b) {
            p[b] = _mm_setzero_ps();
            if (b >= bands) continue;
            l[b] = _mm_loadu_ps(left[b] + i);
            r[b] = _mm_loadu_ps(right[b] + i);
            p[b] = GainLanes::Peak(l[b], r[b]);
        }
        lanes.Group(p, gs);
        for (int b = 0; b < bands; ++b) {
            _mm_storeu_ps(left[b] + i, _mm_mul_ps(l[b], gs[b]));
            _mm_storeu_ps(right[b] + i, _mm_mul_ps(r[b], gs[b]));
        }
    }
    lanes.Store(state);
    CompressTail(left, right, bands, i, n, state, settings);
}

// The compressor's multi-band path in one pass. The two splits run as recursions of their own,
// the second on the first's output of the same sample, and a group of four samples ahead of the
// gain computers: while these work through one group, the splits make the next. Both wait on
// their own latency, so together they take little more than the slower. The bands stay in
// registers and are added back at once.
void CompressSplit(const CompressSplitArgs& a) {
    float* const left = a.left;
    float* const right = a.right;
    const int n = a.n;
    // Lanes (left, right); the other two run on silence from spare histories.
    BiquadHistory spare[4];
    const BiquadCoefs* const firstCoefs[4] = {a.first, a.first, a.first, a.first};
    const BiquadCoefs* const secondCoefs[4] = {a.second, a.second, a.second, a.second};
    BiquadHistory* const firstHist[4] = {&a.firstHist[0], &a.firstHist[1], &spare[0], &spare[1]};
    BiquadHistory* const secondHist[4] = {&a.secondHist[0], &a.secondHist[1], &spare[2], &spare[3]};
    SymmetricLanes first, second;
    first.Load(firstCoefs, firstHist);
    second.Load(secondCoefs, secondHist);
    GainLanes lanes(3, a.state, a.settings);

    // Mid+high and high of samples i to i + 3, one row per channel and band: mid+high left,
    // mid+high right, high left, high right.
    auto split = [&](int i, __m128 rows[4]) {
#pragma GCC unroll 4
        for (int j = 0; j < 4; ++j) {
            const __m128 midHigh = first.Step(LoadPair(left, right, i + j));
            rows[j] = _mm_movelh_ps(midHigh, second.Step(midHigh));
        }
        _MM_TRANSPOSE4_PS(rows[0], rows[1], rows[2], rows[3]);
    };
    // The gain computers on the bands of samples i to i + 3, and the bands added back.
    auto compress = [&](int i, const __m128 rows[4]) {
        const __m128 ml = rows[0], mr = rows[1], hl = rows[2], hr = rows[3];
        const __m128 xl = _mm_loadu_ps(left + i), xr = _mm_loadu_ps(right + i);
        // Low = input − mid+high, mid = mid+high − high, as the Sub kernel forms them.
        const __m128 lowL = _mm_sub_ps(xl, ml), lowR = _mm_sub_ps(xr, mr);
        const __m128 midL = _mm_sub_ps(ml, hl), midR = _mm_sub_ps(mr, hr);
        const __m128 p[4] = {GainLanes::Peak(lowL, lowR), GainLanes::Peak(midL, midR), GainLanes::Peak(hl, hr),
                             _mm_setzero_ps()};
        __m128 gs[4];
        lanes.Group(p, gs);
        // (low + mid) + high, each at its gain, the order of the two Sum passes.
        _mm_storeu_ps(left + i,
                      _mm_add_ps(_mm_add_ps(_mm_mul_ps(lowL, gs[0]), _mm_mul_ps(midL, gs[1])), _mm_mul_ps(hl, gs[2])));
        _mm_storeu_ps(right + i,
                      _mm_add_ps(_mm_add_ps(_mm_mul_ps(lowR, gs[0]), _mm_mul_ps(midR, gs[1])), _mm_mul_ps(hr, gs[2])));
    };

    int i = 0;
    if (n >= 4) {
        __m128 current[4];
        split(0, current);
        for (i = 4; i + 4 <= n; i += 4) {
            __m128 next[4];
            split(i, next);
            compress(i - 4, current);
            for (int j = 0; j < 4; ++j) current[j] = next[j];
        }
        compress(i - 4, current);
    }
    // The rest step by step, through the work buffers.
    float* const mhLeft = a.midHighLeft;
    float* const mhRight = a.midHighRight;
    float* const highLeft = a.highLeft;
    float* const highRight = a.highRight;
    for (int k = i; k < n; ++k) {
        const __m128 midHigh = first.Step(LoadPair(left, right, k));
        const __m128 high = second.Step(midHigh);
        _mm_store_ss(mhLeft + k, midHigh);
        _mm_store_ss(mhRight + k, _mm_shuffle_ps(midHigh, midHigh, _MM_SHUFFLE(1, 1, 1, 1)));
        _mm_store_ss(highLeft + k, high);
        _mm_store_ss(highRight + k, _mm_shuffle_ps(high, high, _MM_SHUFFLE(1, 1, 1, 1)));
    }
    first.Store(firstHist);
    second.Store(secondHist);
    lanes.Store(a.state);
    for (int k = i; k < n; ++k) {
        left[k] -= mhLeft[k];
        right[k] -= mhRight[k];
        mhLeft[k] -= highLeft[k];
        mhRight[k] -= highRight[k];
    }
    float* const bl[3] = {left, mhLeft, highLeft};
    float* const br[3] = {right, mhRight, highRight};
    CompressTail(bl, br, 3, i, n, a.state, a.settings);
    for (int k = i; k < n; ++k) {
        left[k] = (left[k] + mhLeft[k]) + highLeft[k];
        right[k] = (right[k] + mhRight[k]) + highRight[k];
    }
}

namespace {

// The whole imager for one chunk in a single pass, (left, right) in two lanes: cross-mix, the
// right channel through the delay line, the high-pass split, the mid and side gains on the high
// band and the sum of the bands. The split's recursion waits on its own latency and the rest
// rides along in its shadow; per sample every value is formed by the same operations, in the
// same order, as the step-by-step passes of CStereoImager.
template <bool Spatialize> void Imager(const ImagerPassArgs& a) {
    float* const left = a.left;
    float* const right = a.right;
    float* const delay = a.delay;
    const int cells = a.cells;
    const BiquadCoefs* const coefs[4] = {a.split, a.split, a.split, a.split};
    BiquadHistory spare[2];
    const BiquadHistory* const in[4] = {a.histLeft, a.histRight, &spare[0], &spare[1]};
    BiquadHistory* const out[4] = {a.histLeft, a.histRight, nullptr, nullptr};
    SymmetricLanes split;
    split.Load(coefs, in);
    const __m128 w1 = _mm_setr_ps(a.wll, a.wrr, 0.0f, 0.0f), w2 = _mm_setr_ps(a.wrl, a.wlr, 0.0f, 0.0f);
    const __m128 half = _mm_set1_ps(0.5f), vc = _mm_set1_ps(a.centre), vs = _mm_set1_ps(a.side);
    int w = *a.write, r = *a.read;
    for (int i = 0; i < a.n; ++i) {
        // left := l·wll + r·wrl, right := r·wrr + l·wlr.
        const __m128 x = LoadPair(left, right, i);
        __m128 mixed = _mm_add_ps(_mm_mul_ps(x, w1), _mm_mul_ps(_mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 2, 0, 1)), w2));
        if (Spatialize) {
            _mm_store_ss(delay + w, _mm_shuffle_ps(mixed, mixed, _MM_SHUFFLE(1, 1, 1, 1)));
            mixed = _mm_movelh_ps(_mm_unpacklo_ps(mixed, _mm_load_ss(delay + r)), _mm_setzero_ps());
            if (++w == cells) w = 0;
            if (++r == cells) r = 0;
        }
        const __m128 high = split.Step(mixed);
        const __m128 low = _mm_sub_ps(mixed, high);
        // m := (hl + hr) × 0.5; hl := c·m + s·(hl − m); hr := c·m − s·(hl − m).
        const __m128 m = _mm_mul_ps(_mm_add_ps(high, _mm_shuffle_ps(high, high, _MM_SHUFFLE(3, 2, 0, 1))), half);
        const __m128 cm = _mm_mul_ps(vc, _mm_shuffle_ps(m, m, _MM_SHUFFLE(0, 0, 0, 0)));
        const __m128 sd = _mm_mul_ps(vs, _mm_shuffle_ps(_mm_sub_ps(high, m), high, _MM_SHUFFLE(0, 0, 0, 0)));
        const __m128 shaped = _mm_move_ss(_mm_sub_ps(cm, sd), _mm_add_ps(cm, sd));
        const __m128 sum = _mm_add_ps(low, shaped);
        _mm_store_ss(left + i, sum);
        _mm_store_ss(right + i, _mm_shuffle_ps(sum, sum, _MM_SHUFFLE(1, 1, 1, 1)));
    }
    split.Store(out);
    *a.write = w;
    *a.read = r;
}

} // namespace

void ImagerPass(const ImagerPassArgs& a) {
    if (a.spatialize) Imager<true>(a);
    else Imager<false>(a);
}

namespace {

// The equaliser's general form for one output as the plain set forms it: double coefficients
// widened to extended precision, float data, the five products summed left to right, rounded
// once to float.
float ExtendedForm(const BiquadCoefs& k, float x, float x1, float x2, float y1, float y2) {
    using Ext = long double;
    return static_cast<float>(Ext(k.b0) * x + Ext(k.b1) * x1 + Ext(k.b2) * x2 - Ext(k.a1) * y1 - Ext(k.a2) * y2);
}

// The equaliser's stages on (left, right) in the two lanes of each vector. Every datum is a float,
// held exactly as a double.
//
// The plain set sums each stage's five products in extended precision (64-bit significands) and
// rounds the sum to float; x87 arithmetic is scalar and slow to issue. Here the five products are
// summed in double, two channels at once. A sum of five products rounds five times on any path
// through it, each time by at most 2^-53 (2^-64 in extended precision) of the value, so the double
// sum D and the extended one both lie within 5.01 × 2^-53 × T of the exact sum, where T = Σ
// |coefficient × operand| ≤ Σ |coefficient| × (largest |operand|); the order of the double sum is
// free, and the newest operand comes last so that each step waits on the one before as little as
// can be. Rounding to float is monotonic: when D − E and D + E round to the same float, with E at
// least that bound, D and the extended sum round to it too. E takes 2^-49 for 5.01 × 2^-53, three
// times over, which also keeps E above eight units in the last place of D, so forming D ± E cannot
// shrink the interval below the bound. The largest operand is bounded by a running maximum of each
// stage's operands, never below 2^-90, so that an interval around zero always straddles it and
// fails the test. Where the test fails (rarely on music, and wherever a NaN or an infinity
// appears) the output is formed in extended precision exactly as the plain set forms it.
struct CascadeCoefs {
    __m128d b0, b1, b2, a1, a2;
    __m128d margin; // 2^-49 × Σ |coefficient|
};

// Both outputs of a stage in extended precision, as the plain set forms them.
[[gnu::noinline]] __m128d Extended(const BiquadCoefs& k, __m128d x, __m128d x1, __m128d x2, __m128d y1, __m128d y2) {
    alignas(16) double v[5][2];
    _mm_store_pd(v[0], x);
    _mm_store_pd(v[1], x1);
    _mm_store_pd(v[2], x2);
    _mm_store_pd(v[3], y1);
    _mm_store_pd(v[4], y2);
    float y[2];
    for (int c = 0; c < 2; ++c)
        y[c] = ExtendedForm(k, static_cast<float>(v[0][c]), static_cast<float>(v[1][c]), static_cast<float>(v[2][c]),
                            static_cast<float>(v[3][c]), static_cast<float>(v[4][c]));
    return _mm_setr_pd(y[0], y[1]);
}

[[gnu::always_inline]] inline __m128d AbsPd(__m128d v) {
    return _mm_and_pd(v, _mm_castsi128_pd(_mm_set1_epi64x(0x7fffffffffffffffLL)));
}

constexpr double kFloor = 0x1p-90;

// The stages skewed as in the plain set: at step t stage s works on sample t − s with what stage
// s − 1 made at the step before, so the stages' recursions overlap.
template <int S> void RunFastCascade(const CascadeArgs& a) {
    float* const left = a.left;
    float* const right = a.right;
    const int n = a.n;
    CascadeCoefs k[S];
    __m128d x1[S], x2[S], y1[S], y2[S];
    __m128d top[S + 1]; // [0] the input's running maximum, [s + 1] stage s's outputs'
    for (int s = 0; s < S; ++s) {
        const BiquadCoefs& c = a.coefs[s];
        k[s].b0 = _mm_set1_pd(c.b0);
        k[s].b1 = _mm_set1_pd(c.b1);
        k[s].b2 = _mm_set1_pd(c.b2);
        k[s].a1 = _mm_set1_pd(c.a1);
        k[s].a2 = _mm_set1_pd(c.a2);
        const double sum = std::fabs(c.b0) + std::fabs(c.b1) + std::fabs(c.b2) + std::fabs(c.a1) + std::fabs(c.a2);
        k[s].margin = _mm_set1_pd(std::ldexp(sum, -49));
        const BiquadHistory& l = *a.hist[s][0];
        const BiquadHistory& r = *a.hist[s][1];
        x1[s] = _mm_setr_pd(l.x1, r.x1);
        x2[s] = _mm_setr_pd(l.x2, r.x2);
        y1[s] = _mm_setr_pd(l.y1, r.y1);
        y2[s] = _mm_setr_pd(l.y2, r.y2);
    }
    // Every operand a stage will take that is already there: its own two outputs and the next
    // stage's two inputs.
    auto refresh = [&] {
        const __m128d floor = _mm_set1_pd(kFloor);
        for (int s = 0; s <= S; ++s) top[s] = floor;
        for (int s = 0; s < S; ++s) {
            top[s] = _mm_max_pd(top[s], _mm_max_pd(AbsPd(x1[s]), AbsPd(x2[s])));
            top[s + 1] = _mm_max_pd(top[s + 1], _mm_max_pd(AbsPd(y1[s]), AbsPd(y2[s])));
        }
    };
    refresh();

    auto stage = [&](int s, int i) __attribute__((always_inline)) {
        __m128d x;
        if (s == 0) {
            x = _mm_cvtps_pd(LoadPair(left, right, i));
            top[0] = _mm_max_pd(top[0], AbsPd(x));
        } else {
            x = y1[s - 1];
        }
        // The newest operands last, so that each step waits on as few operations as can be.
        const __m128d older = _mm_sub_pd(_mm_add_pd(_mm_mul_pd(k[s].b1, x1[s]), _mm_mul_pd(k[s].b2, x2[s])),
                                         _mm_add_pd(_mm_mul_pd(k[s].a1, y1[s]), _mm_mul_pd(k[s].a2, y2[s])));
        const __m128d d = _mm_add_pd(older, _mm_mul_pd(k[s].b0, x));
        const __m128d e = _mm_mul_pd(k[s].margin, _mm_max_pd(top[s], top[s + 1]));
        const __m128 lo = _mm_cvtpd_ps(_mm_sub_pd(d, e));
        const __m128 hi = _mm_cvtpd_ps(_mm_add_pd(d, e));
        __m128d y = _mm_cvtps_pd(lo);
        if (__builtin_expect((_mm_movemask_ps(_mm_cmpeq_ps(lo, hi)) & 3) != 3, 0))
            y = Extended(a.coefs[s], x, x1[s], x2[s], y1[s], y2[s]);
        top[s + 1] = _mm_max_pd(top[s + 1], AbsPd(y));
        x2[s] = x1[s];
        x1[s] = x;
        y2[s] = y1[s];
        y1[s] = y;
        if (s == S - 1) {
            const __m128 f = _mm_cvtpd_ps(y);
            _mm_store_ss(left + i, f);
            _mm_store_ss(right + i, _mm_shuffle_ps(f, f, _MM_SHUFFLE(1, 1, 1, 1)));
        }
    };
    // Near either end of the block some stages have no sample. Last stage first, so each takes
    // what the stage before it made at the previous step.
    auto edge = [&](int t) {
        for (int s = S - 1; s >= 0; --s)
            if (t - s >= 0 && t - s < n) stage(s, t - s);
    };

    const int total = n + S - 1;
    int t = 0;
    for (; t < total && t < S - 1; ++t) edge(t);
    while (t < n) {
        // A loud passage must not widen the margins of the quiet one after it for long.
        const int end = n - t > 64 ? t + 64 : n;
        for (; t < end; ++t) {
#pragma GCC unroll 8
            for (int s = S - 1; s >= 0; --s) stage(s, t - s);
        }
        refresh();
    }
    for (; t < total; ++t) edge(t);
    for (int s = 0; s < S; ++s) {
        alignas(16) double v[4][2];
        _mm_store_pd(v[0], x1[s]);
        _mm_store_pd(v[1], x2[s]);
        _mm_store_pd(v[2], y1[s]);
        _mm_store_pd(v[3], y2[s]);
        for (int c = 0; c < 2; ++c)
            *a.hist[s][c] = {static_cast<float>(v[0][c]), static_cast<float>(v[1][c]), static_cast<float>(v[2][c]),
                             static_cast<float>(v[3][c])};
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
    // The audio thread flushes denormals to zero, which the extended-precision form never does;
    // the margin test needs IEEE arithmetic throughout. The gain is applied afterwards under the
    // caller's mode, as the plain set applies it.
    const unsigned int csr = _mm_getcsr();
    _mm_setcsr((csr & ~0xE040u) | 0x1F80u);
    switch (a.stages) {
    case 1: RunFastCascade<1>(a); break;
    case 2: RunFastCascade<2>(a); break;
    case 3: RunFastCascade<3>(a); break;
    case 4: RunFastCascade<4>(a); break;
    case 5: RunFastCascade<5>(a); break;
    case 6: RunFastCascade<6>(a); break;
    default: RunFastCascade<7>(a); break;
    }
    _mm_setcsr(csr);
    Scale(a.left, a.n, a.gain);
    Scale(a.right, a.n, a.gain);
}

} // namespace kernels::sse2

#endif
