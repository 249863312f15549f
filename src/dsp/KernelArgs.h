#pragma once
// The kernel sets of the DSP engine and the arguments of its larger kernels, gathered in structs so
// that a call names each buffer and setting instead of passing a score of positional values.
//
// Plain structs only (no functions): the kernel files, some of which are compiled for other
// processor features than the rest of the program, include this header too.

#include "dsp/Biquad.h"

#include <cstdint>

// The kernel sets, slowest first. Plain runs everywhere; SSE2 uses 128-bit vectors; AVX is SSE2
// with the valve's double-precision curve and the equaliser's stages on 256-bit vectors. All give
// the same bits.
enum class KernelSet : uint8_t { Plain, SSE2, AVX };
constexpr int kKernelSetCount = 3;

// The gain computer's settings (see CompressorGainStep), shared by every band of a call.
struct CompressorSettings {
    float threshold = 1.0f; // linear
    float attack = 1.0f;    // samples + 1
    float release = 1.0f;   // samples + 1
    float ratio = 1.0f;
    bool opto = false;
};

// What the gain computers carry from one block to the next, one entry per band. gain is required;
// scratch (the last wanted gain) and minGain (lowered to the smallest gain used) may be null.
struct GainState {
    float* gain = nullptr;
    float* scratch = nullptr;
    float* minGain = nullptr;
};

// The valve amplifier's saturation stage on a stereo pair (CDSPEngine::ValveStage).
struct ValveStageArgs {
    float* left = nullptr; // in: the pair; out: the saturated pair
    float* right = nullptr;
    float* highLeft = nullptr; // work: the high bands, n floats each
    float* highRight = nullptr;
    int n = 0;
    int sampleRate = 0;
    const BiquadCoefs* split = nullptr; // the symmetric-form high-pass
    BiquadHistory* histLeft = nullptr;
    BiquadHistory* histRight = nullptr;
    float drive = 1.0f;
};

// The compressor's multi-band path on a stereo pair (CDSPEngine::CompressSplit).
struct CompressSplitArgs {
    float* left = nullptr; // in: the pair; out: the compressed bands added back
    float* right = nullptr;
    float* midHighLeft = nullptr; // work: mid+high, then mid, n floats each
    float* midHighRight = nullptr;
    float* highLeft = nullptr; // work: high, n floats each
    float* highRight = nullptr;
    int n = 0;
    const BiquadCoefs* first = nullptr;  // low | mid+high
    const BiquadCoefs* second = nullptr; // mid | high
    BiquadHistory* firstHist = nullptr;  // [2]: left, right
    BiquadHistory* secondHist = nullptr; // [2]: left, right
    GainState state;                     // three bands: low, mid, high
    CompressorSettings settings;
};

// The equaliser's running stages on a stereo pair (CDSPEngine::Cascade).
constexpr int kCascadeStages = 7;
struct CascadeArgs {
    float* left = nullptr; // in: the pair; out: through every stage in order, times gain
    float* right = nullptr;
    int n = 0;
    int stages = 0;                              // 0 to kCascadeStages; none leaves only the gain
    BiquadCoefs coefs[kCascadeStages];           // the general form's coefficients, in running order
    BiquadHistory* hist[kCascadeStages][2] = {}; // per stage: left, right
    float gain = 1.0f;
};

// The stereo imager's chunk in one pass (CDSPEngine::ImagerPass).
struct ImagerPassArgs {
    float* left = nullptr;
    float* right = nullptr;
    int n = 0;
    // Cross-mix: left := l·wll + r·wrl, right := r·wrr + l·wlr.
    float wll = 1.0f, wrl = 0.0f, wrr = 1.0f, wlr = 0.0f;
    // The right channel through the delay line of cells floats, at *write and *read.
    bool spatialize = false;
    float* delay = nullptr;
    int cells = 0;
    int* write = nullptr;
    int* read = nullptr;
    // The high-pass split (one history per channel) and the mid and side gains on the high band.
    const BiquadCoefs* split = nullptr;
    BiquadHistory* histLeft = nullptr;
    BiquadHistory* histRight = nullptr;
    float centre = 1.0f, side = 1.0f;
};
