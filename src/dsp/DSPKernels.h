#pragma once
// The kernel table of the DSP engine and the kernels of each set, internal to the DSP library.
//
// Each set lives in its own file, compiled with its own processor flags: DSPKernelsPlain.cpp
// with the program's, DSPKernelsSSE2.cpp with SSE2, DSPKernelsAVX.cpp with AVX. The engine
// (CDSPEngine.cpp) builds one table per set and picks one at run time. Nothing in the SSE2 or
// AVX file may run before the engine has checked that the processor has the feature, and the AVX
// file includes no header with inline functions of ours: an inline function compiled there would
// be emitted with AVX instructions, and the linker may keep that copy for every caller.
//
// Every set forms each value by the same IEEE 754 operations in the same order, so all give the
// same bits; the SIMD files only change how many values are formed at once. The equaliser's
// cascade is the exception: its plain form sums in extended precision, and the SIMD sets reach
// the same bits by the margin test of kernels::sse2::Cascade.

#include "dsp/KernelArgs.h"

struct DSPKernels {
    KernelSet set;
    void (*sum)(float* dst, const float* src, int n); // dst[i] += src[i]
    void (*sub)(float* dst, const float* src, int n); // dst[i] -= src[i]
    void (*scale)(float* buf, int n, float factor);   // buf[i] *= factor
    void (*clip)(float* buf, int n, float limit);     // clamped to ±limit, NaN to +limit
    float (*valve)(float* buf, int n, float drive);   // returns the largest |sample × drive|
    // One gain computer per band pair, bands <= 4, all pointers checked by the caller.
    void (*compressBands)(float* const* left, float* const* right, int bands, int n, const GainState& state,
                          const CompressorSettings& settings);
    // Whole stages in one pass; null where the set runs them as the sequence of the kernels above.
    void (*valveStage)(const ValveStageArgs& a, float peaks[4]);
    void (*compressSplit)(const CompressSplitArgs& a);
    void (*imagerPass)(const ImagerPassArgs& a);
    // The equaliser's stages in series on a pair; every set has one.
    void (*cascade)(const CascadeArgs& a);
};

namespace kernels {

namespace plain {
void Sum(float* dst, const float* src, int n);
void Sub(float* dst, const float* src, int n);
void Scale(float* buf, int n, float factor);
void Clip(float* buf, int n, float limit);
float Valve(float* buf, int n, float drive);
void CompressBands(float* const* left, float* const* right, int bands, int n, const GainState& state,
                   const CompressorSettings& settings);
// The building blocks the SIMD sets use for the samples left over after their last whole vector.
// ValveFrom continues a block's peak; CompressPair runs one band, whose state entries are single.
float ValveFrom(float* buf, int n, float drive, float peak);
void CompressPair(float* left, float* right, int n, const GainState& state, const CompressorSettings& settings);
// The general form in extended precision, the stages skewed over both channels. The reference
// the SIMD sets are held to, and where they fall back for a value they cannot settle.
void Cascade(const CascadeArgs& a);
} // namespace plain

namespace sse2 {
void Sum(float* dst, const float* src, int n);
void Sub(float* dst, const float* src, int n);
void Scale(float* buf, int n, float factor);
void Clip(float* buf, int n, float limit);
float Valve(float* buf, int n, float drive);
void CompressBands(float* const* left, float* const* right, int bands, int n, const GainState& state,
                   const CompressorSettings& settings);
void CompressSplit(const CompressSplitArgs& a);
void ImagerPass(const ImagerPassArgs& a);
void Cascade(const CascadeArgs& a);
} // namespace sse2

namespace avx {
float Valve(float* buf, int n, float drive);
void ValveStage(const ValveStageArgs& a, float peaks[4]);
void Cascade(const CascadeArgs& a);
} // namespace avx

} // namespace kernels
