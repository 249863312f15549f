#pragma once
// CParaEQ4B: the equaliser, first built-in processor of the chain. Seven biquad stages: low
// shelf, high shelf, two peaking bands, low cut, high cut and a narrow sub-bass shelf
// ("SubReson"), then an output gain with an automatic level drop for boosts, so that switching
// a boost in does not simply sound "better" because it is louder.
//
// Its panel is the top third of "DSP Panel" and shows the frequency response of the current
// settings as a small graph.
//
// Threading: Process and Reset on the audio thread; everything else, the response graph
// included, on the main thread. The two share only the control values; the graph has its own
// coefficients, histories and buffers.

#include "dsp/Biquad.h"
#include "dsp/CProcessor.h"

#include <vector>

class CParaEQ4B : public CProcessor {
public:
    enum ParamId : int {
        IdOn = 0,
        IdLowCut = 1,
        IdHiCut = 2,
        IdLowShelf = 3,
        IdMid1 = 4,
        IdMid2 = 5,
        IdHiShelf = 6,
        IdQ1 = 7,
        IdQ2 = 8,
        IdLowShelfGain = 9,
        IdMid1Gain = 10,
        IdMid2Gain = 11,
        IdHiShelfGain = 12,
        IdSubReson = 13,
        IdSubResonGain = 14,
        IdOutput = 15,
    };
    enum Stage : int { LowShelf = 0, HiShelf, Mid1, Mid2, LowCut, HiCut, SubReson, StageCount };

    static constexpr int kGraphPoints = 8192;
    static constexpr int kGraphRate = 44100;
    static constexpr int kGraphColumns = 178; // x = 0 to 177

    // The coefficient set of one block: every stage's design, whether it runs at this rate,
    // and the factor that lowers the output by a third of the boost.
    struct Design {
        BiquadCoefs stage[StageCount];
        bool runs[StageCount] = {};
        double compensation = 1.0;
    };

    CParaEQ4B();

    void Layout(int x, int y, int width, int height) override;
    void Paint() override;
    void Tick() override;
    void Process(float* left, float* right, int n, int sampleRate) override;
    void Reset() override;

    // The coefficient set for the current controls at sample rate fs.
    Design MakeDesign(int fs) const;
    // The level drop for the current gains, 1 / 10^((b / 3) / 20).
    double Compensation() const { return MakeDesign(kGraphRate).compensation; }
    // The response graph: the level in dB shown in each pixel column, from an impulse through
    // the stages at 44,100 Hz. Recomputed and drawn by Tick when shown and dirty.
    void ComputeResponse(float levels[kGraphColumns]);
    const BiquadHistory& History(int channel, int stage) const { return m_hist[channel & 1][stage]; }

private:
    void DrawGraph();
    // The design for this block, made afresh only when a control or the rate moved.
    const Design& BlockDesign(int fs, float& gain);

    BiquadHistory m_hist[2][StageCount];
    // The last block's design, its output gain and the control values and rate it was made
    // from (audio thread only).
    Design m_design;
    float m_designGain = 1.0f;
    float m_designInputs[IdOutput + 1] = {};
    int m_designRate = 0;
    // Response-graph workspace (main thread).
    std::vector<float> m_impulse, m_graphScratch, m_re, m_im;
};
