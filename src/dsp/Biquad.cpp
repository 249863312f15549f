#include "dsp/Biquad.h"

#include <cmath>

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
