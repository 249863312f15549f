#pragma once
// KX64Predictor: the five predictors of a KX64 channel, the choice among them and the inverse.
// 0 keeps the samples; 1, 2 and 3 are the fixed predictors of first, second and third order;
// 4 is the adaptive one, the first difference less c/16 of the step before, where c is the
// block's mean integer quotient of successive steps, clamped to ±1 and scaled by 16. The first
// samples of a block, before a predictor has its history, stay verbatim. The predictor with the
// smallest mean magnitude of residual wins, the lower number on a tie; its residuals are then
// coded (KX64BitWriter) with the parameter k at which more than two thirds of them fit.
//
// The means and the adaptive coefficient are single-precision sums taken in sample order, and
// all arithmetic wraps modulo 2^32: the choice and the residuals are part of the file format.
//
// Threading: no state; any thread.

#include <cstdint>

class KX64Predictor {
public:
    static constexpr int kMaxFrames = 8192;

    struct Choice {
        int predictor = 0;
        int k = 0;
        int32_t coefficient = 0; // of the adaptive predictor (0 to ±16)
        uint32_t payloadBytes = 0;
    };

    // Chooses predictor and k for n samples x (at most kMaxFrames are taken) and codes the
    // winner's residuals into out with KX64BitWriter (room as KX64BitWriter::WriteResiduals
    // asks). The residuals of all five live on this function's stack only while it runs: so
    // they need no copy and the compiler knows they overlap nothing. No samples give an empty
    // payload.
    static Choice Encode(const int32_t* x, int n, uint8_t* out);

    // Turns n residuals of predictor back into samples, in place.
    static void Restore(int predictor, int32_t coefficient, int32_t* x, int n);
};
