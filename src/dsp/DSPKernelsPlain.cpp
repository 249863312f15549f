// The plain kernel set: one sample at a time, in the operation order the SIMD sets repeat, and
// the equaliser's stages in extended precision, whose bits the SIMD sets reach another way.

#include "dsp/CDSPEngine.h"
#include "dsp/DSPKernels.h"

#include <cmath>
#include <utility>

namespace {

// Beyond this the curve equals ±1 in float; clamping first keeps u^4 finite.
constexpr float kValveLimit = 1.0e6f;

// Min and max with the SSE operand rule (a < b ? a : b), so a NaN lands on the limit in every
// set alike.
inline float MinLikeSse(float a, float b) { return a < b ? a : b; }
inline float MaxLikeSse(float a, float b) { return a > b ? a : b; }

inline float ValveOne(float x, float drive, float& peak) {
    float u = MaxLikeSse(MinLikeSse(x * drive, kValveLimit), -kValveLimit);
    float m = std::fabs(u);
    peak = MaxLikeSse(m, peak);
    double d = u;
    double q = d * d;
    return static_cast<float>(d / std::sqrt(std::sqrt(1.0 + q * q)));
}

inline float GainStep(float p, float g, float threshold, float attack, float release, float ratio, bool opto,
                      float& target) {
    if (p < 0.0001f) p = 0.0001f;
    target = p > threshold ? (threshold + (p - threshold) / ratio) / p : 1.0f;
    int k = static_cast<int>(release);
    if (target > 0.5f) k = opto ? k * 4 : k / 4;
    if (k < 1) k = 1; // a release below four samples would divide by zero
    if (target >= g) g = g + (target - g) / static_cast<float>(k);
    else g = g - (g - target) / attack;
    return g;
}

} // namespace

float CompressorGainStep(float p, float g, float threshold, float attack, float release, float ratio, bool opto,
                         float& target) {
    return GainStep(p, g, threshold, attack, release, ratio, opto, target);
}

float ValveCurve(float u) {
    float peak = 0.0f;
    return ValveOne(u, 1.0f, peak);
}

namespace kernels::plain {

void Sum(float* dst, const float* src, int n) {
    for (int i = 0; i < n; ++i) dst[i] += src[i];
}

void Sub(float* dst, const float* src, int n) {
    for (int i = 0; i < n; ++i) dst[i] -= src[i];
}

void Scale(float* buf, int n, float factor) {
    for (int i = 0; i < n; ++i) buf[i] *= factor;
}

void Clip(float* buf, int n, float limit) {
    const float lo = -limit;
    for (int i = 0; i < n; ++i) buf[i] = MaxLikeSse(MinLikeSse(buf[i], limit), lo);
}

float ValveFrom(float* buf, int n, float drive, float peak) {
    for (int i = 0; i < n; ++i) buf[i] = ValveOne(buf[i], drive, peak);
    return peak;
}

float Valve(float* buf, int n, float drive) { return ValveFrom(buf, n, drive, 0.0f); }

void CompressPair(float* left, float* right, int n, const GainState& state, const CompressorSettings& s) {
    float g = *state.gain;
    float m = state.minGain ? *state.minGain : 1.0f;
    float target = state.scratch ? *state.scratch : 1.0f;
    for (int i = 0; i < n; ++i) {
        float p = MaxLikeSse(std::fabs(left[i]), std::fabs(right[i]));
        g = GainStep(p, g, s.threshold, s.attack, s.release, s.ratio, s.opto, target);
        if (g < m) m = g;
        left[i] *= g;
        right[i] *= g;
    }
    *state.gain = g;
    if (state.scratch) *state.scratch = target;
    if (state.minGain) *state.minGain = m;
}

void CompressBands(float* const* left, float* const* right, int bands, int n, const GainState& state,
                   const CompressorSettings& settings) {
    for (int b = 0; b < bands; ++b) {
        const GainState band{&state.gain[b], state.scratch ? &state.scratch[b] : nullptr,
                             state.minGain ? &state.minGain[b] : nullptr};
        CompressPair(left[b], right[b], n, band, settings);
    }
}

} // namespace kernels::plain

namespace {

using Ext = long double;

// The general form for one output: double coefficients widened to extended precision, float
// data, the five products summed left to right, rounded once to float.
inline float GeneralForm(const BiquadCoefs& k, float x, float x1, float x2, float y1, float y2) {
    return static_cast<float>(Ext(k.b0) * x + Ext(k.b1) * x1 + Ext(k.b2) * x2 - Ext(k.a1) * y1 - Ext(k.a2) * y2);
}

// All running stages for both channels in one pass. Each output is exactly the general form's
// expression on the same values as a stage-by-stage run, so the result is bit-identical to it.
//
// The stages are skewed: at step t stage s works on sample t − s, using what stage s − 1 made at
// the step before. Within one step the stage updates are independent, so the processor overlaps
// them instead of waiting for each stage's result to feed the next. Every stage keeps its last
// four outputs in a small ring, which is at the same time the input history of the stage after
// it; the input has a ring of its own. Nothing is shifted or copied between steps, and in the
// steady part of the block, unrolled four steps at a time, every ring cell is a fixed address.
// The output gain is applied as the last stage writes, so the block is filtered in place.
template <int S> class Cascade {
public:
    explicit Cascade(const CascadeArgs& a) : m_n(a.n), m_gain(a.gain) {
        m_io[0] = a.left;
        m_io[1] = a.right;
        for (int s = 0; s < S; ++s) {
            m_k[s] = a.coefs[s];
            for (int c = 0; c < 2; ++c) {
                m_hist[c][s] = a.hist[s][c];
                m_start[c][s] = *m_hist[c][s];
            }
        }
    }

    void Run() {
        const int total = m_n + S - 1;
        int t = 0;
        // Until every stage is two samples into the block and the ring index is back at 0.
        for (; t < total && !(t >= S + 1 && (t & 3) == 0); ++t) EdgeStep(t);
        for (; t + 3 < m_n; t += 4) {
            SteadyStep<0>(t);
            SteadyStep<1>(t + 1);
            SteadyStep<2>(t + 2);
            SteadyStep<3>(t + 3);
        }
        for (; t < total; ++t) EdgeStep(t);
        StoreHistories();
    }

private:
    // Step t near either end of the block: some stages have nothing to do, and the first two
    // samples of each stage take their histories from the previous block.
    void EdgeStep(int t) {
        if (t < m_n)
            for (int c = 0; c < 2; ++c) m_ring[c][0][t & 3] = m_io[c][t];
        for (int s = S - 1; s >= 0; --s) {
            const int i = t - s;
            if (i < 0 || i >= m_n) continue;
            for (int c = 0; c < 2; ++c) {
                const float* in = m_ring[c][s];
                float* out = m_ring[c][s + 1];
                const BiquadHistory& h = m_start[c][s];
                const float x1 = i >= 1 ? in[(i - 1) & 3] : h.x1;
                const float x2 = i >= 2 ? in[(i - 2) & 3] : (i == 1 ? h.x1 : h.x2);
                const float y1 = i >= 1 ? out[(i - 1) & 3] : h.y1;
                const float y2 = i >= 2 ? out[(i - 2) & 3] : (i == 1 ? h.y1 : h.y2);
                const float y = GeneralForm(m_k[s], in[i & 3], x1, x2, y1, y2);
                out[i & 3] = y;
                if (s == S - 1) m_io[c][i] = m_gain * y;
            }
        }
    }

    // Step t with t ≡ U (mod 4), every stage inside the block and past its first two samples.
    template <int U> void SteadyStep(int t) {
        m_ring[0][0][U] = m_io[0][t];
        m_ring[1][0][U] = m_io[1][t];
        StagesDown<U>(t, std::make_integer_sequence<int, S>{});
    }

    template <int U, int... Is> void StagesDown(int t, std::integer_sequence<int, Is...>) {
        (SteadyStage<U, S - 1 - Is>(t), ...); // last stage first
    }

    template <int U, int s> void SteadyStage(int t) {
        constexpr int i0 = (U - s) & 3, i1 = (U - s - 1) & 3, i2 = (U - s - 2) & 3;
        for (int c = 0; c < 2; ++c) {
            const float* in = m_ring[c][s];
            float* out = m_ring[c][s + 1];
            const float y = GeneralForm(m_k[s], in[i0], in[i1], in[i2], out[i1], out[i2]);
            out[i0] = y;
            if constexpr (s == S - 1) m_io[c][t - s] = m_gain * y;
            // Every operand comes fresh from memory: kept in registers the compiler would hold
            // them widened to 80 bits, and such values load and spill slowly.
            asm volatile("" ::: "memory");
        }
    }

    void StoreHistories() {
        for (int s = 0; s < S; ++s)
            for (int c = 0; c < 2; ++c) {
                const float* in = m_ring[c][s];
                const float* out = m_ring[c][s + 1];
                BiquadHistory& h = *m_hist[c][s];
                const int last = m_n - 1;
                if (m_n >= 2) {
                    h.x1 = in[last & 3];
                    h.x2 = in[(last - 1) & 3];
                    h.y1 = out[last & 3];
                    h.y2 = out[(last - 1) & 3];
                } else {
                    h.x2 = h.x1;
                    h.x1 = in[0];
                    h.y2 = h.y1;
                    h.y1 = out[0];
                }
            }
    }

    int m_n;
    float m_gain;
    float* m_io[2];
    BiquadCoefs m_k[S];
    BiquadHistory* m_hist[2][S];
    BiquadHistory m_start[2][S];
    // [channel][0] the input, [channel][s + 1] the output of stage s; cell = sample index & 3.
    float m_ring[2][S + 1][4] = {};
};

template <int S> void RunCascade(const CascadeArgs& a) { Cascade<S>(a).Run(); }

} // namespace

namespace kernels::plain {

void Cascade(const CascadeArgs& a) {
    switch (a.stages) {
    case 1: RunCascade<1>(a); break;
    case 2: RunCascade<2>(a); break;
    case 3: RunCascade<3>(a); break;
    case 4: RunCascade<4>(a); break;
    case 5: RunCascade<5>(a); break;
    case 6: RunCascade<6>(a); break;
    case 7: RunCascade<7>(a); break;
    default:
        for (int i = 0; i < a.n; ++i) a.left[i] *= a.gain, a.right[i] *= a.gain;
        break;
    }
}

} // namespace kernels::plain
