#pragma once
// CCompressor: third built-in processor of the chain. A stereo-linked peak compressor over the
// whole signal ("Single") or over three bands split at two crossovers ("Multi"), with an "Opto"
// or "Electro" release character and a make-up gain. Its panel is the bottom third of
// "DSP Panel", with three gain-reduction meters ("Redux") and a small transfer-curve graph.
//
// The bands are formed by subtraction (low = input − high-passed, mid = high-passed − higher),
// so with no reduction they add back to the input up to float rounding, whatever the splits.
//
// Threading: Process and Reset on the audio thread; panel, meters and curve on the main thread.
// The minimum gains are written by the audio thread and read and decayed by the main thread
// without a lock.

#include "dsp/Biquad.h"
#include "dsp/CMeterBar.h"
#include "dsp/CProcessor.h"
#include "dsp/KernelArgs.h"

#include <atomic>

class CDSPEngine;

class CCompressor : public CProcessor {
public:
    enum ParamId : int {
        IdOn = 0,
        IdThres = 5,
        IdRatio = 6,
        IdAttack = 7,
        IdRelease = 8,
        IdOpto = 11,
        IdMulti = 12,
        IdMakeup = 13,
        IdSplit1 = 14,
        IdSplit2 = 15,
    };
    enum Band : int { BandLow = 0, BandMid = 1, BandHigh = 2, BandCount = 3 };
    enum Buffer : int { MidHighLeft = 0, MidHighRight, HighLeft, HighRight, BufferCount };
    static constexpr int kBlockFloats = 16384;
    static constexpr int kCurveSize = 48;

    explicit CCompressor(CDSPEngine& engine);
    ~CCompressor() override;

    void Layout(int x, int y, int width, int height) override;
    void Paint() override;
    void ApplyScheme() override;
    void Tick() override;
    void Process(float* left, float* right, int n, int sampleRate) override;
    // Clears the split filters' histories; the band gains carry on.
    void Reset() override;
    void ClearState() override;
    void DecayMeters() override;
    void RedrawMeters() override;

    float BandGain(int band) const { return m_gain[band]; }
    float MinimumGain(int band) const { return m_minGain[band].load(std::memory_order_relaxed); }
    const CMeterBar& Meter(int band) const { return m_meters[band]; }
    // The transfer curve's three corners (origin, knee, end) for a threshold and ratio.
    struct Curve {
        int x[3], y[3];
    };
    Curve TransferCurve(float thresDb, float ratio) const;
    // Meter colours of a scheme: bar and hold.
    static void MeterColours(int scheme, uint32_t& bar, uint32_t& hold);
    // The transfer graph's ground colour of a scheme, with which the old curve is wiped.
    static uint32_t CurveDark(int scheme);
    static uint32_t CurveBright(int scheme);

private:
    void ProcessChunk(float* left, float* right, int n, const CompressorSettings& s, bool multi, float mins[BandCount]);
    void SingleBand(float* left, float* right, int n, const CompressorSettings& s, float& minGain);
    void DrawCurve(float thresDb, float ratio, uint32_t colour);
    void DrawMeters();
    int MeterX() const { return m_mx; }

    CDSPEngine& m_engine;
    float m_gain[BandCount] = {1.0f, 1.0f, 1.0f};
    float m_scratch[BandCount] = {1.0f, 1.0f, 1.0f};
    std::atomic<float> m_minGain[BandCount];
    float m_split[2] = {300.0f, 3000.0f};
    BiquadCoefs m_splitCoefs[2];
    int m_splitDesign[3] = {0, 0, 0}; // rate, Split1, Split2 (whole hertz) of m_splitCoefs
    BiquadHistory m_hist[2][2];       // [split][channel]
    float* m_band[BufferCount] = {nullptr, nullptr, nullptr, nullptr};
    CMeterBar m_meters[BandCount];
    float m_lastThres = -6.0f, m_lastRatio = 2.0f;
    bool m_curveDrawn = false;
    int m_mx = 0, m_my = 0, m_mw = 0;
};
