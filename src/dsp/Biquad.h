#pragma once
// Biquad designs and the two running forms shared by the equaliser, the compressor's and the
// stereo imager's band splitters and the valve amplifier's 300 Hz split.
//
// Designs take the sample rate and frequency as whole hertz and gains as whole decibels; callers
// truncate control values toward zero before designing. The angle uses the constant 6.283 so
// that curves stay where earlier settings put them.

struct BiquadCoefs {
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0; // normalised, a0 = 1
};

// Filter memory: the last two inputs and outputs.
struct BiquadHistory {
    float x1 = 0.0f, x2 = 0.0f, y1 = 0.0f, y2 = 0.0f;
    void Clear() { x1 = x2 = y1 = y2 = 0.0f; }
};

BiquadCoefs DesignLowShelf(int fs, int f, int gainDb, float shape);
BiquadCoefs DesignHighShelf(int fs, int f, int gainDb, float shape);
BiquadCoefs DesignPeaking(int fs, int f, int gainDb, float q);
BiquadCoefs DesignHighPass(int fs, int f, float q);
BiquadCoefs DesignLowPass(int fs, int f, float q);

// General form, in place or from in to out (they may be the same array), double coefficients
// with extended-precision arithmetic on float data. Needs n >= 2 to refresh both histories;
// n of 1 keeps them consistent as well.
void RunBiquad(const BiquadCoefs& c, BiquadHistory& h, const float* in, float* out, int n);

// Symmetric float form for designs with b2 == b0 (high-pass, low-pass): coefficients rounded to
// float. in and out are different arrays.
void RunBiquadSymmetric(const BiquadCoefs& c, BiquadHistory& h, const float* in, float* out, int n);

// The symmetric form on a stereo pair: the same coefficients, each channel with its own history.
// Both channels advance together, which gives exactly the results of two separate runs.
void RunBiquadSymmetricPair(const BiquadCoefs& c, BiquadHistory& hl, BiquadHistory& hr, const float* inLeft,
                            const float* inRight, float* outLeft, float* outRight, int n);

// Two symmetric-form filters in series on a stereo pair: the first from in into mid, the second
// from mid into out (histories first[channel], second[channel]). Exactly the results of running
// the first over the block and then the second; the second runs one sample behind the first so
// all four channels advance together. in, mid and out are different arrays.
void RunBiquadSymmetricSeries(const BiquadCoefs& first, const BiquadCoefs& second, BiquadHistory* firstHist,
                              BiquadHistory* secondHist, const float* inLeft, const float* inRight, float* midLeft,
                              float* midRight, float* outLeft, float* outRight, int n);
