#include "dsp/CTubeAmp.h"

#include "dsp/CDSPEngine.h"
#include "dsp/CDitherEngine.h"
#include "dsp/CNumericInputElement.h"
#include "dsp/CPanelCanvas.h"
#include "dsp/CToggleInputElement.h"

#include <cmath>

namespace {

// Panel positions of the controls, in panel order: X in 1/1024 of the width, Y in pixels.
constexpr int kX[11] = {45, 45, 200, 170, 690, 490, 490, 755, 810, 865, 925};
constexpr int kY[11] = {15, 40, 40, 15, 5, 10, 35, 5, 5, 5, 30};
enum PanelIndex : int {
    PBypassAll,
    PBypassDsp,
    PValveGain,
    PValveMode,
    PCeiling,
    PThres,
    PRelease,
    PDitherAmount,
    PDitherType,
    PNoiseShaping,
    PMonoCheck
};

constexpr uint32_t kLabelColour = Rgb(238, 238, 238);
const int kSkipIds[3] = {CTubeAmp::IdBypassAll, CTubeAmp::IdBypassDsp, CTubeAmp::IdMonoCheck};

inline float DbToLinear(double db) { return static_cast<float>(std::pow(10.0, db / 20.0)); }

} // namespace

CTubeAmp::CTubeAmp(CDSPEngine& engine, CDitherEngine& dither)
    : CProcessor(KindValveAmp), m_engine(engine), m_dither(dither) {
    for (auto& p : m_peaks) p.store(0.0f, std::memory_order_relaxed);
    AddControl(new CRoundButtonToggle("Bypass All", "", 1.0f, true, true), IdBypassAll);
    AddControl(new CRoundButtonToggle("Bypass Dsp", "", 1.0f, true, true), IdBypassDsp);
    AddControl(new CNumericInputElement("Valve Gain", 0.0f, 6.0f, 0.0f, 0, TaperLinear, "dB"), IdValveGain);
    AddControl(new CRoundButtonToggle("Valve Amp", "Digital", 1.0f), IdValveMode);
    AddControl(new CLargePotInputElement("Ceiling", -32.0f, 0.0f, 0.0f, "dB"), IdCeiling);
    AddControl(new CNumericInputElement("Thres", -36.0f, 0.0f, 0.0f, 0, TaperLinear, "dB", "dB", true), IdThres);
    AddControl(new CNumericInputElement("Release", 20.0f, 300.0f, 40.0f, 1, TaperLinear, "ms ", "sec"), IdRelease);
    AddControl(new CMultiSwitchInputElement({"NoDither", "1bit", "2bit"}, 0.0f), IdDitherAmount);
    AddControl(new CMultiSwitchInputElement({"RPDF", "TPDF"}, 0.0f), IdDitherType);
    AddControl(new CMultiSwitchInputElement({"NoNShape", "NShape"}, 0.0f), IdNoiseShaping);
    AddControl(new CRoundButtonToggle("Mono Check", "", 0.0f, true, false), IdMonoCheck);
    for (auto& h : m_high) h = static_cast<float*>(m_engine.AllocMem(sizeof(float) * kBlockFloats));
    UpdateGreyedGroups();
    RegreyDitherChoice();
}

CTubeAmp::~CTubeAmp() {
    for (auto& h : m_high) m_engine.FreeMem(h);
}

void CTubeAmp::Layout(int x, int y, int width, int height) { PlaceControls(x, y, width, height, kX, kY); }

void CTubeAmp::Process(float* left, float* right, int n, int sampleRate) {
    ProcessValve(left, right, n, sampleRate);
    ProcessLimiter(left, right, n, sampleRate);
}

void CTubeAmp::ProcessValve(float* left, float* right, int n, int sampleRate) {
    if (n <= 0 || !left || !right) return;
    const float drive = DbToLinear(Param(IdValveGain));
    float peaks[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int done = 0; done < n; done += kBlockFloats) {
        int len = n - done < kBlockFloats ? n - done : kBlockFloats;
        ValveChunk(left + done, right + done, len, sampleRate, drive, peaks);
    }
    if (ValveOn())
        for (int i = 0; i < 4; ++i) m_peaks[i].store(peaks[i], std::memory_order_relaxed);
}

void CTubeAmp::ProcessLimiter(float* left, float* right, int n, int sampleRate) {
    if (n <= 0 || !left || !right) return;
    // The ceiling moves in steps of a tenth of a decibel.
    const int tenths = static_cast<int>(Param(IdCeiling) * 10.0f);
    const float ceiling = DbToLinear(tenths * 0.1);

    // Dither for the word length of what is being made.
    const int amountPos = static_cast<int>(Param(IdDitherAmount));
    float amount = amountPos == 0 ? 0.0f : (amountPos == 2 ? 2.0f : 1.0f);
    int wordLength = 16;
    if (m_rendering && m_renderBits > 16) {
        if (m_renderBits <= 24) {
            wordLength = 24;
        } else {
            wordLength = 32;
            amount = 0.0f;
        }
    }
    m_wordLength = wordLength;
    m_amount = amount;
    m_dither.Configure(static_cast<int>(Param(IdDitherType)), static_cast<int>(Param(IdNoiseShaping)), wordLength,
                       amount);

    const float threshold = DbToLinear(Param(IdThres));
    const float release = static_cast<float>(sampleRate * 0.001 * Param(IdRelease) + 1.0);
    const float factor = ceiling / threshold * m_ceilingTrim.load(std::memory_order_relaxed);
    bool limited = false;
    for (int done = 0; done < n; done += kBlockFloats) {
        int len = n - done < kBlockFloats ? n - done : kBlockFloats;
        LimiterChunk(left + done, right + done, len, threshold, factor, release, limited);
    }
    m_lamp.store(limited, std::memory_order_relaxed);
}

void CTubeAmp::ValveChunk(float* left, float* right, int n, int sampleRate, float drive, float peaks[4]) {
    // Split at 300 Hz, saturate each band, add them back.
    if (!ValveOn() || !m_high[0] || !m_high[1]) return;
    if (sampleRate != m_splitRate) {
        m_split = DesignHighPass(sampleRate, 300, 1.0f);
        m_splitRate = sampleRate;
    }
    const BiquadCoefs& hp = m_split;
    float p[4];
    ValveStageArgs a;
    a.left = left;
    a.right = right;
    a.highLeft = m_high[0];
    a.highRight = m_high[1];
    a.n = n;
    a.sampleRate = sampleRate;
    a.split = &hp;
    a.histLeft = &m_hist[0];
    a.histRight = &m_hist[1];
    a.drive = drive;
    m_engine.ValveStage(a, p);
    for (int i = 0; i < 4; ++i)
        if (p[i] > peaks[i]) peaks[i] = p[i];
}

void CTubeAmp::LimiterChunk(float* left, float* right, int n, float threshold, float factor, float release,
                            bool& limited) {
    // A loudness export's gain goes in ahead of the limiter, which then keeps the ceiling.
    const float loudness = m_loudnessGain.load(std::memory_order_relaxed);
    if (loudness != 1.0f)
        for (int i = 0; i < n; ++i) {
            left[i] *= loudness;
            right[i] *= loudness;
        }
    // Limiter: the gain drops at once to hold a peak at the threshold and recovers with the
    // release time; ceiling / threshold then puts held peaks at the ceiling.
    const bool mono = Param(IdMonoCheck) >= 0.5f;
    float g = m_gain;
    for (int i = 0; i < n; ++i) {
        float a = std::fabs(left[i]), b = std::fabs(right[i]);
        float p = a > b ? a : b;
        if (p < 0.0001f) p = 0.0001f;
        float target = 1.0f;
        if (p > threshold) {
            target = threshold / p;
            limited = true;
        }
        if (g < target) {
            float next = g + (target - g) / release;
            // Near the target the step falls below one unit in the last place and float rounding
            // would leave the gain a hair short for ever; finish the approach instead.
            g = next == g ? target : next;
        } else {
            g = target;
        }
        left[i] = left[i] * g * factor;
        right[i] = right[i] * g * factor;
        if (mono) left[i] = right[i] = (left[i] + right[i]) * 0.5f;
    }
    m_gain = g;
}

void CTubeAmp::Reset() {
    m_hist[0].Clear();
    m_hist[1].Clear();
}

void CTubeAmp::ClearState() {
    Reset();
    m_gain = 1.0f;
}

int CTubeAmp::MeterIndex(float peak) {
    float v = peak < 2.0f ? peak : 2.0f;
    if (!(v >= 0.25f)) v = 0.0f;
    int i = static_cast<int>(v * 4.0f / 7.0f * 5.0f);
    return i < 0 ? 0 : (i > 5 ? 5 : i);
}

void CTubeAmp::DecayMeters() {
    bool any = LimitingLamp();
    for (auto& p : m_peaks) any = any || p.load(std::memory_order_relaxed) != 0.0f;
    if (!any) return;
    for (auto& p : m_peaks) {
        float v = p.load(std::memory_order_relaxed) - 0.3f;
        p.store(v < 0.1f ? 0.0f : v, std::memory_order_relaxed);
    }
    m_lamp.store(false, std::memory_order_relaxed);
    DrawMeters();
}

void CTubeAmp::RedrawMeters() { DrawMeters(); }

void CTubeAmp::DrawMeters() {
    if (!m_shown || !m_canvas) return;
    const double s = ScaleX();
    const int x = PanelX(), y = PanelY();
    if (!ValveOn())
        for (auto& p : m_peaks) p.store(0.0f, std::memory_order_relaxed);
    const int cols[4] = {300, 320, 360, 380};
    for (int i = 0; i < 4; ++i)
        m_canvas->MeterColumn(x + static_cast<int>(s * cols[i]), y + 24, MeterIndex(ValvePeak(i)), m_scheme);
    m_canvas->Lamp(x + static_cast<int>(s * kX[PThres]) - 10, y + kY[PThres] - 5, LimitingLamp(), false);
}

void CTubeAmp::Paint() {
    if (!m_canvas) return;
    const double s = ScaleX();
    const int x = PanelX(), y = PanelY(), bottom = y + PanelHeight();
    m_canvas->Text(x + static_cast<int>(s * 300) + 2, bottom - 19, 9, kLabelColour, "L Low R");
    m_canvas->Text(x + static_cast<int>(s * 360) + 1, bottom - 19, 9, kLabelColour, "L High R");
    DrawMeters();
}

void CTubeAmp::UpdateGreyedGroups() {
    const bool all = BypassAll();
    bool g[GroupCount];
    g[GroupLimiter] = all;
    g[GroupDither] = all;
    g[GroupMono] = all;
    g[GroupValve] = !ValveOn() || all;
    g[GroupDsp] = BypassDsp() || all;
    bool changed = false;
    for (int i = 0; i < GroupCount; ++i) changed = changed || g[i] != m_groups[i];
    if (!changed) return;
    for (int i = 0; i < GroupCount; ++i) m_groups[i] = g[i];
    auto grey = [&](int index, bool greyed) {
        CDataInputElement* c = Control(index);
        if (c->Greyed() == greyed) return;
        c->SetGreyed(greyed);
        if (m_shown) c->Redraw();
    };
    grey(PCeiling, g[GroupLimiter]);
    grey(PThres, g[GroupLimiter]);
    grey(PRelease, g[GroupLimiter]);
    grey(PDitherAmount, g[GroupDither]);
    grey(PMonoCheck, g[GroupMono]);
    grey(PValveMode, g[GroupValve]);
    grey(PValveGain, g[GroupValve]);
    RegreyDitherChoice();
}

void CTubeAmp::RegreyDitherChoice() {
    const bool active = Param(IdDitherAmount) != 0.0f && !BypassAll();
    for (int index : {PDitherType, PNoiseShaping}) {
        CDataInputElement* c = Control(index);
        if (c->Greyed() == !active) continue;
        c->SetGreyed(!active);
        if (m_shown) c->Redraw();
    }
}

void CTubeAmp::ControlPressed(int index) {
    if (index == PDitherAmount) RegreyDitherChoice();
}

void CTubeAmp::ApplyPreset(const CParamBlock& block) {
    ApplyBlock(block, false, kSkipIds, 3);
    UpdateGreyedGroups();
    RegreyDitherChoice();
}

void CTubeAmp::ApplySnap(const CParamBlock& block) {
    ApplyBlock(block, true, kSkipIds, 3);
    UpdateGreyedGroups();
    RegreyDitherChoice();
}
