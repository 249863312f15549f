#pragma once
// CDSPEngine: the vector kernels of the mastering chain, in three sets (plain, SSE2, AVX) behind
// one table of functions.
//
// The set is chosen at run time: plain, or with the "use SSE" switch on the best set the
// processor has (AVX where it has 256-bit vectors, else SSE2). Tests and benchmarks may pin any
// set the processor can run (ForceKernels). The choice may change while the audio thread is
// inside a kernel, so each call reads the table once on entry, and all sets give bit-identical
// results: they use only operations that IEEE 754 rounds exactly (add, subtract, multiply,
// divide, square root, compare) in the same order per element. The one exception is the
// equaliser's cascade, whose plain form sums in x87 extended precision; the SIMD sets sum in
// double and prove, value by value, that the float they round to is the one the extended sum
// rounds to, forming the value in extended precision where they cannot (kernels::sse2::Cascade).
// Besides the ten operations of the chain, the engine runs the valve stage, the compressor's
// multi-band path, the stereo imager and the equaliser's stages whole (ValveStage, CompressSplit,
// ImagerPass, Cascade), so that a SIMD set can do each in one pass; the plain form of the first
// three is the sequence of kernel calls they stand for.
//
// Threading: Sum, Sub, Scale, ClipAtDb, Valve, Compress, CompressBands, CompressSplit, ValveStage,
// ImagerPass and Cascade run on the audio thread; AllocMem, FreeMem, Load, Unload, UseSSE, ForceKernels
// and ReleaseKernels on the main thread. The one instance is reached through DSPEngine().

#include "dsp/Biquad.h"
#include "dsp/KernelArgs.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

struct DSPKernels;

class CDSPEngine {
public:
    static constexpr int kWorkBuffers = 4;      // main left, main right, spare left, spare right
    static constexpr size_t kWorkBytes = 65536; // 16,384 floats each
    static constexpr int kWorkFloats = 16384;
    static constexpr size_t kAlignment = 64;

    CDSPEngine();
    ~CDSPEngine();
    CDSPEngine(const CDSPEngine&) = delete;
    CDSPEngine& operator=(const CDSPEngine&) = delete;

    // Makes the kernels available. Our kernels are linked in, so this cannot fail; the message
    // is kept for the caller's "DSPEngine module not found" path.
    bool Load(std::string& message);
    void Unload();
    bool Loaded() const { return m_loaded; }

    // The four work buffers of the stack, each kWorkBytes from AllocMem.
    bool AllocWorkBuffers();
    void FreeWorkBuffers();
    float* WorkBuffer(int i) const { return (i >= 0 && i < kWorkBuffers) ? m_work[i] : nullptr; }

    // dst[i] += src[i]
    void Sum(float* dst, const float* src, int n) const;
    // dst[i] -= src[i]
    void Sub(float* dst, const float* src, int n) const;
    // buf[i] *= factor. Part of the kernel set; the chain itself does not use it.
    void Scale(float* buf, int n, float factor) const;
    // Every sample clamped to ±10^(dB/20). NaN becomes the positive limit.
    void ClipAtDb(float* buf, int n, float ceilingDb) const;
    // Saturates buf in place at drive; *peak := the largest |sample × drive| of the block.
    void Valve(float* buf, int n, int sampleRate, float drive, float* peak) const;
    // The valve amplifier's saturation stage on a stereo pair: the symmetric-form high-pass
    // (split, with one history per channel) takes the high bands into highLeft and highRight,
    // Sub leaves the low bands in left and right, Valve saturates the four bands at drive into
    // peaks (low left, low right, high left, high right) and Sum adds them back into left and
    // right. The AVX set does all of it in one pass, keeping the high bands in registers, with
    // the same operations per sample; the other sets need the high-band buffers.
    void ValveStage(const ValveStageArgs& a, float peaks[4]) const;
    // The single-band gain computer, applied in place to the pair, one CompressorGainStep per
    // sample; *state.gain carries over to the next call, *state.scratch keeps the last target
    // gain and *state.minGain is lowered to the smallest gain used.
    void Compress(float* left, float* right, int n, const GainState& state, const CompressorSettings& s) const;
    // Compress on up to kMaxBands band pairs with the same settings, band b with its own
    // state.gain[b], state.scratch[b] and state.minGain[b]: exactly what one Compress call per
    // band gives. The SIMD sets run the bands' gain recursions side by side.
    static constexpr int kMaxBands = 4;
    void CompressBands(float* const* left, float* const* right, int bands, int n, const GainState& state,
                       const CompressorSettings& s) const;
    // The compressor's multi-band path on a stereo pair: the symmetric-form high-pass first
    // (histories firstHist[channel]) makes mid+high into midHigh, second makes high from it into
    // high; Sub leaves low in left/right and mid in midHigh; CompressBands runs the three bands
    // (low, mid, high) with the three entries of state; Sum adds mid and then high back into
    // left/right. The SIMD sets do it in one pass with the same operations.
    void CompressSplit(const CompressSplitArgs& a) const;
    // The stereo imager's chunk in one pass, where the active set has one; false when it runs
    // the imager as separate passes, which the caller then makes (CStereoImager).
    bool ImagerPass(const ImagerPassArgs& a) const;
    // The equaliser's stages in series on a stereo pair, in place: each stage in the general
    // form (RunBiquad) with its own history per channel, then every sample times the gain.
    // The plain set runs the extended-precision form itself; the SIMD sets reach the same bits
    // by a faster route (see kernels::sse2::Cascade).
    void Cascade(const CascadeArgs& a) const;

    // Size bytes aligned for the SIMD path (rounded up to whole vectors); null on failure.
    void* AllocMem(size_t size) const;
    void FreeMem(void* p) const;

    // True when the processor can run the SSE2 kernels.
    uint8_t SSESupport() const;
    // The "use SSE" switch: on picks the best SIMD set the processor has, off the plain set.
    // While a set is forced the switch is remembered and takes effect on ReleaseKernels.
    void UseSSE(uint8_t on);
    bool UsingSSE() const { return m_useSSE.load(std::memory_order_relaxed) != 0; }

    // Whether this build and processor can run a set.
    static bool KernelsAvailable(KernelSet set);
    // Pins a set whatever the switch says, for tests and benchmarks; false (and no change) when
    // the set is not available.
    bool ForceKernels(KernelSet set);
    // Back to the set the switch picks.
    void ReleaseKernels();
    KernelSet ActiveKernels() const;
    static const char* KernelSetName(KernelSet set);

private:
    const DSPKernels& Kernels() const { return *m_kernels.load(std::memory_order_acquire); }
    void Select();

    bool m_loaded = false;
    bool m_forced = false;
    std::atomic<uint8_t> m_useSSE{0};
    std::atomic<const DSPKernels*> m_kernels;
    float* m_work[kWorkBuffers] = {nullptr, nullptr, nullptr, nullptr};
};

// The process-wide engine.
CDSPEngine& DSPEngine();

// The valve transfer curve for one already-driven sample u = x × drive:
//   y = u / (1 + u^4)^(1/4)
// Odd, smooth, strictly increasing (dy/du = (1 + u^4)^(-5/4) > 0), bounded by ±1, and within
// u^5/4 of linear, so small signals at drive 1 pass almost untouched while loud ones round off
// softly towards full scale. Computed in double as u / sqrt(sqrt(1 + (u*u)*(u*u))) and rounded
// once to float, which keeps the float curve monotonic; the SIMD sets repeat it operation for
// operation.
float ValveCurve(float u);

// One sample of the compressor's gain computer: p the stereo peak, g the gain so far; returns
// the new gain and leaves the wanted gain in target. The ratio acts on the linear level above
// the threshold; release and attack are in samples (+1). While less than about 6 dB of reduction
// is wanted the release runs four times slower with opto and four times faster without.
float CompressorGainStep(float p, float g, float threshold, float attack, float release, float ratio, bool opto,
                         float& target);
