#pragma once
// CStereoImager: second built-in processor of the chain. Mutes, inverts, balances and
// cross-mixes the two channels, can delay the right channel by 222 samples ("Spatialize"), and
// changes the level of the centre and side components above a high-pass frequency only, so the
// bass keeps its image. Its panel is the middle third of "DSP Panel" with a small mid/side scope.
//
// Threading: Process and Reset on the audio thread; panel and scope on the main thread. The
// scope points are written by the audio thread and read and cleared by the main thread without
// a lock; a frame may mix two blocks, which the display does not mind.

#include "dsp/Biquad.h"
#include "dsp/CProcessor.h"

#include <atomic>

class CDSPEngine;

class CStereoImager : public CProcessor {
public:
    enum ParamId : int {
        IdOn = 0,
        IdLeftOn = 1,
        IdRightOn = 2,
        IdPhase = 3,
        IdCrossMix = 4,
        IdCenter = 5,
        IdSide = 6,
        IdSpatialize = 7,
        IdHiPass = 8,
        IdBalance = 9,
    };
    static constexpr int kDelayCells = 4800;
    // 4,799 − 5 × 44.1: the read position trails the write position by 222 cells at every rate.
    static constexpr int kReadStart = 4578;
    static constexpr int kDelay = kDelayCells - kReadStart; // 222
    static constexpr int kBlockFloats = 16384;
    static constexpr int kScopePoints = 54;
    static constexpr int kScopeFrames = 6;
    // A weight that would be exactly zero is kept this small instead.
    static constexpr float kTinyWeight = 1.0e-9f;

    explicit CStereoImager(CDSPEngine& engine);
    ~CStereoImager() override;

    void Layout(int x, int y, int width, int height) override;
    void Paint() override;
    void Process(float* left, float* right, int n, int sampleRate) override;
    // Clears the high-pass histories; the delay line keeps its content across playbacks.
    void Reset() override;
    void ClearState() override;
    void DecayMeters() override;
    // Draws the scope from the last block's points (main timer, while playing).
    void RedrawMeters() override;

    float ScopeSide(int i) const { return m_side[i].load(std::memory_order_relaxed); }
    float ScopeMid(int i) const { return m_mid[i].load(std::memory_order_relaxed); }
    int FrameIndex() const { return m_frameIndex; }
    int WritePosition() const { return m_write; }
    int ReadPosition() const { return m_read; }
    // The scope's colours for a scheme: dim, medium, bright.
    static void ScopeColours(int scheme, uint32_t out[3]);
    // Display expansion of a clamped level: small values grow, full scale stays.
    static float Expand(float v);

private:
    void ProcessChunk(float* left, float* right, int n, int sampleRate);
    void DrawPoints(const float* side, const float* mid, uint32_t colour);
    void DrawScope();

    CDSPEngine& m_engine;
    float m_delay[kDelayCells] = {};
    int m_write = 0;
    int m_read = kReadStart;
    BiquadHistory m_hist[2];
    // The high-pass split and the rate and frequency (whole hertz) it was designed for; designed
    // again only when either moves (audio thread only).
    BiquadCoefs m_split;
    int m_splitDesign[2] = {0, 0};
    float* m_high[2] = {nullptr, nullptr};
    std::atomic<float> m_side[kScopePoints];
    std::atomic<float> m_mid[kScopePoints];
    float m_historySide[kScopeFrames][kScopePoints] = {};
    float m_historyMid[kScopeFrames][kScopePoints] = {};
    int m_frameIndex = 0;
};
