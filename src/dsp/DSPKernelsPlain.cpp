// The plain kernel set: one sample at a time, in the operation order the SIMD sets repeat.

#include "dsp/CDSPEngine.h"
#include "dsp/DSPKernels.h"

#include <cmath>

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
