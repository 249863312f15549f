#pragma once
// CTubeAmp: the valve amplifier, last processor of the chain and the one always in the signal
// path. A two-band valve stage split at 300 Hz (or "Digital", which skips it), a peak limiter
// with threshold, release and output ceiling, a mono fold-down for checking, and the dither
// configuration by render word length. Its panel, "Control Amp", also carries the chain's
// master switches "Bypass All" and "Bypass Dsp".
//
// Threading: Process and Reset on the audio thread; panel, meters and greying on the main
// thread. The meter values (valve peaks, limiting lamp) are written by the audio thread and read
// and decayed by the main thread without a lock.

#include "dsp/Biquad.h"
#include "dsp/CProcessor.h"

#include <atomic>

class CDSPEngine;
class CDitherEngine;

class CTubeAmp : public CProcessor {
public:
    enum ParamId : int {
        IdBypassAll = 0,
        IdValveGain = 1,
        IdBypassDsp = 2,
        IdValveMode = 3,
        IdCeiling = 4,
        IdThres = 9,
        IdRelease = 10,
        IdDitherType = 11,
        IdDitherAmount = 12,
        IdNoiseShaping = 13,
        IdMonoCheck = 14,
    };
    enum Group : int { GroupLimiter = 0, GroupDither, GroupMono, GroupValve, GroupDsp, GroupCount };
    static constexpr int kBlockFloats = 16384;

    CTubeAmp(CDSPEngine& engine, CDitherEngine& dither);
    ~CTubeAmp() override;

    void Layout(int x, int y, int width, int height) override;
    void Paint() override;
    // The whole amplifier: ProcessValve, then ProcessLimiter.
    void Process(float* left, float* right, int n, int sampleRate) override;
    // The valve stage alone (and its meters).
    void ProcessValve(float* left, float* right, int n, int sampleRate);
    // Everything after the valve stage: the loudness gain, the limiter with its ceiling, the
    // mono fold-down and the dither configuration for the block's word length.
    void ProcessLimiter(float* left, float* right, int n, int sampleRate);
    void Reset() override;
    void ClearState() override;
    void DecayMeters() override;
    void RedrawMeters() override;
    // Presets and snaps never touch Bypass All, Bypass Dsp or Mono Check.
    void ApplyPreset(const CParamBlock& block) override;
    void ApplySnap(const CParamBlock& block) override;

    // The render the audio thread is running: the dither word length follows its sample width.
    void SetRenderState(bool rendering, int sampleBits) {
        m_rendering = rendering;
        m_renderBits = sampleBits;
    }

    // A loudness export's make-up gain (linear), applied after the valve stage and before the
    // limiter, so the limiter's ceiling still holds whatever the gain asks for; and its trim of
    // the ceiling (linear, at most 1), which lowers the ceiling when peaks between the samples
    // would pass it. Both 1 outside such an export. Written by the main thread between renders.
    void SetLoudnessGain(float gain, float ceilingTrim = 1.0f) {
        m_loudnessGain.store(gain, std::memory_order_relaxed);
        m_ceilingTrim.store(ceilingTrim, std::memory_order_relaxed);
    }
    float LoudnessGain() const { return m_loudnessGain.load(std::memory_order_relaxed); }
    float CeilingTrim() const { return m_ceilingTrim.load(std::memory_order_relaxed); }
    // The ceiling the limiter holds, in dB (it moves in tenths of a decibel).
    float CeilingDb() const { return static_cast<int>(Param(IdCeiling) * 10.0f) * 0.1f; }

    bool BypassAll() const { return Param(IdBypassAll, 1.0f) < 0.5f; }
    bool BypassDsp() const { return Param(IdBypassDsp, 1.0f) < 0.5f; }
    bool ValveOn() const { return Param(IdValveMode, 1.0f) >= 0.5f; }

    // Re-evaluates the greyed groups (every main-timer tick).
    void UpdateGreyedGroups();
    bool GroupGreyed(int group) const { return m_groups[group]; }

    float ValvePeak(int i) const { return m_peaks[i].load(std::memory_order_relaxed); }
    bool LimitingLamp() const { return m_lamp.load(std::memory_order_relaxed); }
    float LimiterGain() const { return m_gain; }
    // Word length and amount handed to the dither engine by the last block.
    int DitherWordLength() const { return m_wordLength; }
    float DitherAmount() const { return m_amount; }
    // Lamp picture 0 to 5 for a peak.
    static int MeterIndex(float peak);

protected:
    void ControlPressed(int index) override;

private:
    void ValveChunk(float* left, float* right, int n, int sampleRate, float drive, float peaks[4]);
    void LimiterChunk(float* left, float* right, int n, float threshold, float factor, float release, bool& limited);
    void RegreyDitherChoice();
    void DrawMeters();

    CDSPEngine& m_engine;
    CDitherEngine& m_dither;
    std::atomic<float> m_peaks[4];
    BiquadHistory m_hist[2];
    // The 300 Hz split and the rate it was designed for (audio thread only).
    BiquadCoefs m_split;
    int m_splitRate = 0;
    float* m_high[2] = {nullptr, nullptr};
    float m_gain = 1.0f;
    std::atomic<bool> m_lamp{false};
    std::atomic<float> m_loudnessGain{1.0f};
    std::atomic<float> m_ceilingTrim{1.0f};
    bool m_groups[GroupCount] = {false, false, false, false, false};
    bool m_rendering = false;
    int m_renderBits = 16;
    int m_wordLength = 16;
    float m_amount = 0.0f;
};
