#pragma once
// CDSPEngine: the vector kernels of the mastering chain, with a plain path and an SSE2 path.
//
// The path is chosen at run time (UseSSE) and may change while the audio thread is inside a
// kernel, so each kernel reads the choice once on entry and both paths give bit-identical
// results: they use only operations that IEEE 754 rounds exactly (add, subtract, multiply,
// divide, square root, compare) in the same order per element. Where the processor has 256-bit
// vectors the SSE path uses them for the valve's double-precision curve, with the same
// operations. Besides the ten operations of the chain, the engine runs the valve stage and the
// compressor's multi-band path whole (ValveStage, CompressSplit), so that the SSE path can do
// each in one pass; their plain path is the sequence of kernel calls they stand for.
//
// Threading: Sum, Sub, ClipAtDb, Valve, Compress, CompressBands, CompressSplit and ValveStage
// run on the audio thread; AllocMem, FreeMem, Load, Unload and UseSSE on the main thread. The
// one instance is reached through DSPEngine().

#include "dsp/Biquad.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

class CDSPEngine {
public:
    static constexpr int kWorkBuffers = 4;        // main left, main right, spare left, spare right
    static constexpr size_t kWorkBytes = 65536;   // 16,384 floats each
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
    // The compressor's multi-band path on a stereo pair: the symmetric-form high-pass first
    // (histories firstHist[channel]) makes mid+high into mhLeft/mhRight, second makes high from it
    // into highLeft/highRight; Sub leaves low in left/right and mid in mh; CompressBands runs the
    // three bands (low, mid, high) with gain[3], scratch[3] and minGain[3]; Sum adds mid and then
    // high back into left/right. The SSE path does it in one pass with the same operations.
    void CompressSplit(float* left, float* right, float* mhLeft, float* mhRight, float* highLeft, float* highRight,
                       int n, const BiquadCoefs& first, const BiquadCoefs& second, BiquadHistory firstHist[2],
                       BiquadHistory secondHist[2], float* gain, float* scratch, float threshold, float attack,
                       float release, float ratio, float* minGain, uint8_t opto) const;
    // The valve amplifier's saturation stage on a stereo pair: the symmetric-form high-pass
    // (split, with one history per channel) takes the high bands into highLeft and highRight,
    // Sub leaves the low bands in left and right, Valve saturates the four bands at drive into
    // peaks (low left, low right, high left, high right) and Sum adds them back into left and
    // right. Where the processor has 256-bit vectors the SSE path does all of it in one pass,
    // keeping the high bands in registers, with the same operations per sample.
    void ValveStage(float* left, float* right, float* highLeft, float* highRight, int n, int sampleRate,
                    const BiquadCoefs& split, BiquadHistory& histLeft, BiquadHistory& histRight, float drive,
                    float peaks[4]) const;
    // The single-band gain computer, applied in place to the pair, one CompressorGainStep per
    // sample; *gain carries over to the next call, *scratch keeps the last target gain and
    // *minGain is lowered to the smallest gain used.
    void Compress(float* left, float* right, int n, float* gain, float* scratch, float threshold,
                  float attack, float release, float ratio, float* minGain, uint8_t opto) const;
    // Compress on up to kMaxBands band pairs with the same settings, band b with its own
    // gain[b], scratch[b] and minGain[b]: exactly what one Compress call per band gives. The SSE
    // path runs the bands' gain recursions side by side.
    static constexpr int kMaxBands = 4;
    void CompressBands(float* const* left, float* const* right, int bands, int n, float* gain, float* scratch,
                       float threshold, float attack, float release, float ratio, float* minGain,
                       uint8_t opto) const;

    // Size bytes aligned for the SIMD path (rounded up to whole vectors); null on failure.
    void* AllocMem(size_t size) const;
    void FreeMem(void* p) const;

    // True when the processor can run the SSE2 kernels.
    uint8_t SSESupport() const;
    void UseSSE(uint8_t on);
    bool UsingSSE() const { return m_useSSE.load(std::memory_order_relaxed) != 0; }

private:
    bool m_loaded = false;
    std::atomic<uint8_t> m_useSSE{0};
    float* m_work[kWorkBuffers] = {nullptr, nullptr, nullptr, nullptr};
};

// The process-wide engine.
CDSPEngine& DSPEngine();

// The valve transfer curve for one already-driven sample u = x × drive:
//   y = u / (1 + u^4)^(1/4)
// Odd, smooth, strictly increasing (dy/du = (1 + u^4)^(-5/4) > 0), bounded by ±1, and within
// u^5/4 of linear, so small signals at drive 1 pass almost untouched while loud ones round off
// softly towards full scale. Computed in double as u / sqrt(sqrt(1 + (u*u)*(u*u))) and rounded
// once to float, which keeps the float curve monotonic; the SSE path repeats it operation for
// operation.
float ValveCurve(float u);

// One sample of the compressor's gain computer: p the stereo peak, g the gain so far; returns
// the new gain and leaves the wanted gain in target. The ratio acts on the linear level above
// the threshold; release and attack are in samples (+1). While less than about 6 dB of reduction
// is wanted the release runs four times slower with opto and four times faster without.
float CompressorGainStep(float p, float g, float threshold, float attack, float release, float ratio, bool opto,
                         float& target);
