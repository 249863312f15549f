#pragma once
// CFFT: the complex fast Fourier transform of the system, radix 2, out of place.
//
// Inputs are copied to the outputs in bit-reversed order, then butterflies run for block sizes
// 2, 4, ... n. Twiddle factors come from the trigonometric recurrence seeded with the sine and
// cosine of the block's angle and of twice that angle, so each block costs two sin/cos calls
// only. The inverse uses the negated angle and divides every output by n.
//
// Threading: no state; callable from any thread.

class CFFT {
public:
    // Transforms n points (a power of two, at least 1). realIn/imagIn may alias realOut/imagOut;
    // imagIn may be null (zeros). Returns false, leaving the outputs untouched, when n is not a
    // power of two or an array is missing.
    static bool Transform(int n, bool inverse, const float* realIn, const float* imagIn, float* realOut,
                          float* imagOut);
    static bool IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }
};
