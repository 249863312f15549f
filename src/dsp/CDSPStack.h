#pragma once
// CDSPStack: the fixed per-block sequence through which every played or rendered block passes:
// VST effects, guard noise, EQ, stereo imager, compressor, valve amplifier, dither, clip at
// 0 dBFS. Export renders through this same stack; there is no second path.
//
// The stack also holds the per-tick panel work of the four processors, which the main timer
// calls once per tick.
//
// Threading: ProcessBlock, ProcessChannels and ResetAll run on the audio thread; PanelTick and
// the Set... wiring on the main thread (wiring before the audio thread starts). The dry-clone
// and compare-hold flags are written by the main thread and read once per block.

#include <atomic>

#include "common/TransportState.h"

class CDSPEngine;
class CDitherEngine;
class CProcessor;
class CTubeAmp;

// The hosted effect chain as the stack and the panel tick see it.
class CEffectChain {
public:
    virtual ~CEffectChain() = default;
    // True while a snap recall is rebuilding the chain; the stack then skips it.
    virtual bool Rebuilding() const = 0;
    // Audio thread, around one block's run through the chain: Enter says whether the chain may
    // be run now (not rebuilding); when it returns true, Leave follows the run. A chain whose
    // list the main thread changes while playing uses the pair to keep the two threads apart.
    virtual bool Enter() { return !Rebuilding(); }
    virtual void Leave() {}
    virtual int Count() const = 0;
    virtual bool Bypassed(int i) const = 0;
    // Runs effect i from the input pair into the output pair (n frames).
    virtual void Run(int i, float* inLeft, float* inRight, float* outLeft, float* outRight, int n) = 0;
    // Tells effect i whether it is active; the chain passes only changes on to the effect.
    virtual void SetActive(int i, bool active) = 0;
    // The editor's idle call.
    virtual void Idle(int i) = 0;
};

// Takes a render's blocks where the valve amplifier's limiter takes them in, so that the same
// render at another loudness gain can run the stages after that point only (RunTail) instead of
// the whole chain again. Called on the audio thread, in block order: Block at the start of each
// block the transport runs, then one call per piece of at most kMaxFrames frames.
class CStackCapture {
public:
    virtual ~CStackCapture() = default;
    virtual void Block(int frames) = 0;
    // A piece the stack ran: its two channels after the valve stage.
    virtual void Ran(const float* left, const float* right, int frames) = 0;
    // A piece a skip rule passed on untouched: interleaved, as it leaves the stack.
    virtual void Passed(const float* interleaved, int frames) = 0;
};

class CDSPStack {
public:
    static constexpr int kMaxFrames = 16384;
    static constexpr int kFallOffTicks = 200;

    // The engine's four work buffers must be allocated (CDSPEngine::AllocWorkBuffers).
    CDSPStack(CDSPEngine& engine, CDitherEngine& dither, CTubeAmp& valveAmp);

    // The processors that the later parts of the chain supply; null leaves the slot empty.
    void SetEqualiser(CProcessor* eq) { m_eq = eq; }
    void SetStereoImager(CProcessor* imager) { m_imager = imager; }
    void SetCompressor(CProcessor* compressor) { m_compressor = compressor; }
    void SetEffectChain(CEffectChain* chain) { m_chain = chain; }
    CProcessor* Equaliser() const { return m_eq; }
    CProcessor* StereoImager() const { return m_imager; }
    CProcessor* Compressor() const { return m_compressor; }
    CTubeAmp& ValveAmp() const { return m_valve; }

    // A dry clone is being rendered: blocks pass untouched.
    void SetDryClone(bool on) { m_dryClone.store(on, std::memory_order_relaxed); }
    // The middle mouse button is held for comparison: blocks pass untouched unless rendering.
    void SetCompareHold(bool on) { m_compareHold.store(on, std::memory_order_relaxed); }

    // Runs one block of interleaved stereo floats (frames pairs) in place. rendering and
    // renderBits describe the transport: the dither word length follows a render's sample width.
    // Blocks longer than the work buffers are run in pieces. Returns false when the block was
    // passed through untouched by a skip rule.
    bool ProcessBlock(float* interleaved, int frames, int sampleRate, bool rendering, int renderBits);
    // The same on two channel arrays.
    bool ProcessChannels(float* left, float* right, int frames, int sampleRate, bool rendering, int renderBits);

    // Renders from now on are taken by capture (null: none). Set by the main thread while the
    // transport is stopped.
    void SetCapture(CStackCapture* capture) { m_capture.store(capture, std::memory_order_release); }

    // The stages after the capture point on one piece the stack ran (the limiter with the
    // loudness gain, dither, the clip), in place: a captured piece given to it comes out as the
    // whole chain would have made it at the current settings, provided the pieces come in their
    // captured order after a ClearAll. left and right hold at most kMaxFrames frames and are
    // aligned as TailBuffer's are. Called by the thread that runs the stack while no transport
    // run uses it.
    void RunTail(float* left, float* right, int frames, int sampleRate, bool rendering, int renderBits);
    // Buffers for RunTail (the stack's own work buffers 0 and 1).
    float* TailBuffer(int channel) const;

    // Before the first block of every playback: EQ, compressor, stereo imager, valve amplifier.
    void ResetAll();
    // ClearState of the four and the noise back at its start: a render that must not hear the
    // run before it (export items).
    void ClearAll();

    // The panels' share of one main-timer tick. positionMoved: the play position changed since
    // the last tick (meters are redrawn only then).
    void PanelTick(int transportState, bool positionMoved = true);
    int FallOffCounter() const { return m_fallOff; }

private:
    bool SkipBlock(bool rendering) const;
    // Hosted effects, guard noise, the processors, the valve stage, dither and the clip on the main
    // pair; returns the pair that holds the result.
    void RunPair(int n, int sampleRate, bool rendering, int renderBits, float*& outLeft, float*& outRight,
                 CStackCapture* capture = nullptr);
    bool ProcessPiece(float* interleaved, int frames, int sampleRate, bool rendering, int renderBits,
                      CStackCapture* capture);
    bool ProcessChannelPiece(float* left, float* right, int frames, int sampleRate, bool rendering, int renderBits);

    CDSPEngine& m_engine;
    CDitherEngine& m_dither;
    CTubeAmp& m_valve;
    CProcessor* m_eq = nullptr;
    CProcessor* m_imager = nullptr;
    CProcessor* m_compressor = nullptr;
    CEffectChain* m_chain = nullptr;
    std::atomic<CStackCapture*> m_capture{nullptr};
    std::atomic<bool> m_dryClone{false};
    std::atomic<bool> m_compareHold{false};
    int m_fallOff = kFallOffTicks;
};
