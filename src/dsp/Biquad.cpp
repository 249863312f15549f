#include "dsp/Biquad.h"

#include <cmath>

#include "dsp/BiquadLanes.h"

namespace {

constexpr double kTwoPi = 6.283;

BiquadCoefs Normalise(double b0, double b1, double b2, double a0, double a1, double a2) {
    BiquadCoefs c;
    c.b0 = b0 / a0;
    c.b1 = b1 / a0;
    c.b2 = b2 / a0;
    c.a1 = a1 / a0;
    c.a2 = a2 / a0;
    return c;
}

double Omega(int fs, int f) { return fs > 0 ? kTwoPi * f / fs : 0.0; }

} // namespace

BiquadCoefs DesignLowShelf(int fs, int f, int gainDb, float shape) {
    double w = Omega(fs, f), A = std::pow(10.0, gainDb / 40.0), c = std::cos(w), s = std::sin(w);
    double inner = (A * A + 1.0) / shape - (A - 1.0) * (A - 1.0);
    double beta = std::sqrt(inner > 0.0 ? inner : 0.0);
    return Normalise(A * ((A + 1) - (A - 1) * c + beta * s), 2 * A * ((A - 1) - (A + 1) * c),
                     A * ((A + 1) - (A - 1) * c - beta * s), (A + 1) + (A - 1) * c + beta * s,
                     -2 * ((A - 1) + (A + 1) * c), (A + 1) + (A - 1) * c - beta * s);
}

BiquadCoefs DesignHighShelf(int fs, int f, int gainDb, float shape) {
    double w = Omega(fs, f), A = std::pow(10.0, gainDb / 40.0), c = std::cos(w), s = std::sin(w);
    double inner = (A * A + 1.0) / shape - (A - 1.0) * (A - 1.0);
    double beta = std::sqrt(inner > 0.0 ? inner : 0.0);
    return Normalise(A * ((A + 1) + (A - 1) * c + beta * s), -2 * A * ((A - 1) + (A + 1) * c),
                     A * ((A + 1) + (A - 1) * c - beta * s), (A + 1) - (A - 1) * c + beta * s,
                     2 * ((A - 1) - (A + 1) * c), (A + 1) - (A - 1) * c - beta * s);
}

BiquadCoefs DesignPeaking(int fs, int f, int gainDb, float q) {
    double w = Omega(fs, f), A = std::pow(10.0, gainDb / 40.0), c = std::cos(w), s = std::sin(w);
    double alpha = s / (2.0 * q);
    double d = 1.0 + alpha / A;
    BiquadCoefs r;
    r.b0 = (1.0 + alpha * A) / d;
    r.b1 = r.a1 = -2.0 * c / d;
    r.b2 = (1.0 - alpha * A) / d;
    r.a2 = (1.0 - alpha / A) / d;
    return r;
}

BiquadCoefs DesignHighPass(int fs, int f, float q) {
    double w = Omega(fs, f), c = std::cos(w), s = std::sin(w);
    double alpha = s * std::sinh(1.0 / (2.0 * q));
    double d = 1.0 + alpha;
    BiquadCoefs r;
    r.b0 = r.b2 = (1.0 + c) / (2.0 * d);
    r.b1 = -(1.0 + c) / d;
    r.a1 = -2.0 * c / d;
    r.a2 = (1.0 - alpha) / d;
    return r;
}

BiquadCoefs DesignLowPass(int fs, int f, float q) {
    double w = Omega(fs, f), c = std::cos(w), s = std::sin(w);
    double alpha = s * std::sinh(1.0 / (2.0 * q));
    double d = 1.0 + alpha;
    BiquadCoefs r;
    r.b0 = r.b2 = (1.0 - c) / (2.0 * d);
    r.b1 = (1.0 - c) / d;
    r.a1 = -2.0 * c / d;
    r.a2 = (1.0 - alpha) / d;
    return r;
}

void RunBiquad(const BiquadCoefs& c, BiquadHistory& h, const float* in, float* out, int n) {
    const long double b0 = c.b0, b1 = c.b1, b2 = c.b2, a1 = c.a1, a2 = c.a2;
    float x1 = h.x1, x2 = h.x2, y1 = h.y1, y2 = h.y2;
    for (int i = 0; i < n; ++i) {
        float x = in[i];
        float y = static_cast<float>(b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2);
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        out[i] = y;
    }
    h.x1 = x1;
    h.x2 = x2;
    h.y1 = y1;
    h.y2 = y2;
}

void RunBiquadSymmetric(const BiquadCoefs& c, BiquadHistory& h, const float* in, float* out, int n) {
    const float b0 = static_cast<float>(c.b0), b1 = static_cast<float>(c.b1);
    const float a1 = static_cast<float>(c.a1), a2 = static_cast<float>(c.a2);
    float x1 = h.x1, x2 = h.x2, y1 = h.y1, y2 = h.y2;
    for (int i = 0; i < n; ++i) {
        float x = in[i];
        float y = b0 * (x + x2) + b1 * x1 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        out[i] = y;
    }
    h.x1 = x1;
    h.x2 = x2;
    h.y1 = y1;
    h.y2 = y2;
}


void RunBiquadSymmetricPair(const BiquadCoefs& c, BiquadHistory& hl, BiquadHistory& hr, const float* inLeft,
                            const float* inRight, float* outLeft, float* outRight, int n) {
#if defined(__SSE2__)
    if (n <= 0) return;
    BiquadHistory spare[2];
    const BiquadCoefs* const coefs[4] = {&c, &c, &c, &c};
    const BiquadHistory* const in[4] = {&hl, &hr, &spare[0], &spare[1]};
    BiquadHistory* const out[4] = {&hl, &hr, nullptr, nullptr};
    SymmetricLanes f;
    f.Load(coefs, in);
    for (int i = 0; i < n; ++i) {
        const __m128 y = f.Step(LoadPair(inLeft, inRight, i));
        _mm_store_ss(outLeft + i, y);
        _mm_store_ss(outRight + i, _mm_shuffle_ps(y, y, _MM_SHUFFLE(1, 1, 1, 1)));
    }
    f.Store(out);
#else
    RunBiquadSymmetric(c, hl, inLeft, outLeft, n);
    RunBiquadSymmetric(c, hr, inRight, outRight, n);
#endif
}

void RunBiquadSymmetricSeries(const BiquadCoefs& first, const BiquadCoefs& second, BiquadHistory* firstHist,
                              BiquadHistory* secondHist, const float* inLeft, const float* inRight, float* midLeft,
                              float* midRight, float* outLeft, float* outRight, int n) {
#if defined(__SSE2__)
    if (n <= 0) return;
    // Lanes: first left, first right, second left, second right. The first sample of the first
    // filter and the last of the second run alone; in between, step i takes samples i of the
    // first filter and i − 1 of the second, whose input the first made at the step before.
    RunBiquadSymmetricPair(first, firstHist[0], firstHist[1], inLeft, inRight, midLeft, midRight, 1);
    const BiquadCoefs* const coefs[4] = {&first, &first, &second, &second};
    const BiquadHistory* const in[4] = {&firstHist[0], &firstHist[1], &secondHist[0], &secondHist[1]};
    BiquadHistory* const out[4] = {&firstHist[0], &firstHist[1], &secondHist[0], &secondHist[1]};
    SymmetricLanes f;
    f.Load(coefs, in);
    for (int i = 1; i < n; ++i) SeriesStep(f, inLeft, inRight, midLeft, midRight, outLeft, outRight, i);
    f.Store(out);
    RunBiquadSymmetricPair(second, secondHist[0], secondHist[1], midLeft + n - 1, midRight + n - 1, outLeft + n - 1,
                           outRight + n - 1, 1);
#else
    RunBiquadSymmetric(first, firstHist[0], inLeft, midLeft, n);
    RunBiquadSymmetric(first, firstHist[1], inRight, midRight, n);
    RunBiquadSymmetric(second, secondHist[0], midLeft, outLeft, n);
    RunBiquadSymmetric(second, secondHist[1], midRight, outRight, n);
#endif
}
