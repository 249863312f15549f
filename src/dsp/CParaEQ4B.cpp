#include "dsp/CParaEQ4B.h"

#include "dsp/CDSPEngine.h"
#include "dsp/CFFT.h"
#include "dsp/CNumericInputElement.h"
#include "dsp/CPanelCanvas.h"
#include "dsp/CToggleInputElement.h"

#include <cmath>
#include <cstring>

namespace {

// Panel order: X in 1/1024 of the width, Y in pixels from the panel top.
constexpr int kX[16] = {55, 115, 115, 200, 295, 390, 530, 670, 460, 600, 220, 315, 430, 570, 690, 760};
constexpr int kY[16] = {25, 7, 37, 7, 7, 7, 7, 7, 7, 7, 37, 37, 37, 37, 37, 20};
// Controls with a separator to their left: SubReson, LowShelf, Mid1, Mid2, HiShelf, Output.
constexpr int kSeparatorControls[6] = {3, 4, 5, 6, 7, 15};

constexpr uint32_t kCaptionColour = Rgb(150, 150, 150);
constexpr uint32_t kSeparatorLight = Rgb(80, 80, 82);
constexpr uint32_t kSeparatorDark = Rgb(12, 12, 12);
constexpr uint32_t kGraphGround = Rgb(8, 8, 10);
constexpr uint32_t kGraphGrid = Rgb(36, 36, 40);

uint32_t GraphColour(int scheme) {
    switch (scheme) {
    case SchemeBlue: return Rgb(44, 133, 192);
    case SchemeYellow: return Rgb(230, 216, 0);
    case SchemeGreen: return Rgb(0, 236, 83);
    default: return Rgb(218, 98, 0);
    }
}

CNumericInputElement* Freq(const char* label, float lo, float hi, float v) {
    return new CNumericInputElement(label, lo, hi, v, 1, TaperSqrt, "Hz   ", "KHz");
}
CNumericInputElement* Gain(float lo, float hi) {
    return new CNumericInputElement("Gain", lo, hi, 0.0f, 0, TaperLinear, "dB", "dB", true);
}

} // namespace

CParaEQ4B::CParaEQ4B() : CProcessor(KindEQ) {
    AddControl(new CRoundButtonToggle("On", "Bypass", 1.0f), IdOn);
    AddControl(Freq("LowCut", 10.0f, 1000.0f, 10.0f), IdLowCut);
    AddControl(Freq("HiCut", 4000.0f, 22000.0f, 20000.0f), IdHiCut);
    AddControl(Freq("SubReson", 40.0f, 60.0f, 50.0f), IdSubReson);
    AddControl(Freq("LowShelf", 20.0f, 200.0f, 100.0f), IdLowShelf);
    AddControl(Freq("Mid1", 50.0f, 8000.0f, 200.0f), IdMid1);
    AddControl(Freq("Mid2", 200.0f, 14000.0f, 300.0f), IdMid2);
    AddControl(Freq("HiShelf", 1000.0f, 18000.0f, 4000.0f), IdHiShelf);
    AddControl(new CNumericInputElement("Band", 0.1f, 4.0f, 0.5f, 0, TaperLinear, "Q", "Q"), IdQ1);
    AddControl(new CNumericInputElement("Band", 0.1f, 4.0f, 0.5f, 0, TaperLinear, "Q", "Q"), IdQ2);
    AddControl(Gain(0.0f, 15.0f), IdSubResonGain);
    AddControl(Gain(-15.0f, 15.0f), IdLowShelfGain);
    AddControl(Gain(-15.0f, 15.0f), IdMid1Gain);
    AddControl(Gain(-15.0f, 15.0f), IdMid2Gain);
    AddControl(Gain(-15.0f, 15.0f), IdHiShelfGain);
    AddControl(new CNumericInputElement("Output", -20.0f, 10.0f, 0.0f, 0, TaperLinear, "dB", "dB", true), IdOutput);
    m_impulse.assign(kGraphPoints, 0.0f);
    m_graphScratch.assign(kGraphPoints, 0.0f);
    m_re.assign(kGraphPoints, 0.0f);
    m_im.assign(kGraphPoints, 0.0f);
}

void CParaEQ4B::Layout(int x, int y, int width, int height) { PlaceControls(x, y, width, height, kX, kY); }

CParaEQ4B::Design CParaEQ4B::MakeDesign(int fs) const {
    Design d;
    const float lowShelf = Param(IdLowShelf), hiShelf = Param(IdHiShelf);
    const float mid1 = Param(IdMid1), mid2 = Param(IdMid2);
    const float lowCut = Param(IdLowCut), hiCut = Param(IdHiCut);
    const float sub = Param(IdSubReson);
    const float gLow = Param(IdLowShelfGain), gHi = Param(IdHiShelfGain);
    const float gMid1 = Param(IdMid1Gain), gMid2 = Param(IdMid2Gain), gSub = Param(IdSubResonGain);
    auto I = [](float v) { return static_cast<int>(v); }; // frequencies and gains design truncated

    // The boost b is judged on the untruncated gains; each later band counts only where it
    // exceeds what is already there, with its own weight.
    d.stage[LowShelf] = DesignLowShelf(fs, I(lowShelf), I(gLow), 1.0f);
    double b = gLow > 0.0f ? gLow : 0.0;
    d.stage[HiShelf] = DesignHighShelf(fs, I(hiShelf), I(gHi), 1.0f);
    if (gHi > b) b += 0.5 * gHi;
    d.stage[Mid1] = DesignPeaking(fs, I(mid1), I(gMid1), Param(IdQ1, 0.5f));
    if (gMid1 > b) b += 0.75 * gMid1;
    d.stage[Mid2] = DesignPeaking(fs, I(mid2), I(gMid2), Param(IdQ2, 0.5f));
    if (gMid2 > b) b += 0.75 * gMid2;
    d.stage[LowCut] = DesignHighPass(fs, I(lowCut), 1.0f);
    d.stage[HiCut] = DesignLowPass(fs, I(hiCut), 1.0f);
    d.stage[SubReson] = DesignLowShelf(fs, I(sub), I(gSub), 3.0f);
    if (gSub > b) b += gSub;
    d.compensation = 1.0 / std::pow(10.0, (b / 3.0) * 0.05);

    // Stages whose frequency comes too close to the Nyquist rate would misbehave, so they are
    // left out there; the cuts and the sub shelf run only when set to do something.
    d.runs[LowShelf] = true;
    d.runs[HiShelf] = hiShelf < 0.45 * fs;
    d.runs[Mid1] = mid1 < 0.4 * fs;
    d.runs[Mid2] = mid2 < 0.4 * fs;
    d.runs[LowCut] = lowCut > 11.0f;
    d.runs[HiCut] = hiCut < 0.49 * fs;
    d.runs[SubReson] = gSub > 0.0f;
    return d;
}

const CParaEQ4B::Design& CParaEQ4B::BlockDesign(int fs, float& gain) {
    // Seven designs take sines, cosines and powers; most blocks find every control where the
    // block before left it.
    float inputs[IdOutput + 1];
    for (int id = 0; id <= IdOutput; ++id) inputs[id] = id == IdOn ? 0.0f : Param(id);
    if (fs != m_designRate || std::memcmp(inputs, m_designInputs, sizeof inputs) != 0) {
        m_design = MakeDesign(fs);
        m_designGain = static_cast<float>(m_design.compensation * std::pow(10.0, Param(IdOutput) / 20.0));
        std::memcpy(m_designInputs, inputs, sizeof inputs);
        m_designRate = fs;
    }
    gain = m_designGain;
    return m_design;
}

void CParaEQ4B::Process(float* left, float* right, int n, int sampleRate) {
    if (Param(IdOn, 1.0f) < 0.5f) return;
    if (n <= 0 || !left || !right || sampleRate <= 0) return;
    float gain = 1.0f;
    const Design& d = BlockDesign(sampleRate, gain);
    CascadeArgs a;
    a.left = left;
    a.right = right;
    a.n = n;
    a.gain = gain;
    for (int s = 0; s < StageCount; ++s) {
        if (!d.runs[s]) continue;
        a.coefs[a.stages] = d.stage[s];
        a.hist[a.stages][0] = &m_hist[0][s];
        a.hist[a.stages][1] = &m_hist[1][s];
        ++a.stages;
    }
    DSPEngine().Cascade(a);
}

void CParaEQ4B::Reset() {
    for (auto& channel : m_hist)
        for (auto& h : channel) h.Clear();
}

void CParaEQ4B::ComputeResponse(float levels[kGraphColumns]) {
    // An impulse of 4,096 through the stages at 44,100 Hz; its spectrum scaled back by the
    // impulse height gives the response as a power ratio.
    const Design d = MakeDesign(kGraphRate);
    for (float& v : m_impulse) v = 0.0f;
    m_impulse[0] = 4096.0f;
    float* src = m_impulse.data();
    float* dst = m_graphScratch.data();
    for (int s = 0; s < StageCount; ++s) {
        if (!d.runs[s]) continue;
        BiquadHistory h; // every stage starts from rest
        RunBiquad(d.stage[s], h, src, dst, kGraphPoints);
        float* t = src;
        src = dst;
        dst = t;
    }
    CFFT::Transform(kGraphPoints, false, src, nullptr, m_re.data(), m_im.data());
    const double norm = 4.0 / (static_cast<double>(kGraphPoints) * kGraphPoints);
    for (int x = 0; x < kGraphColumns; ++x) {
        // Cube-law bins crowd the columns towards the low frequencies, where the bands sit.
        const long long k = static_cast<long long>(x) * x * x * 4096 / (177LL * 177 * 177);
        const double re = m_re[k], im = m_im[k];
        double power = (re * re + im * im) * norm;
        if (power < 0.0001) power = 0.0001;
        double level = 10.0 * std::log10(power);
        if (level > 21.0) level = 21.0;
        if (level < -22.0) level = -21.0;
        levels[x] = static_cast<float>(level);
    }
}

void CParaEQ4B::DrawGraph() {
    if (!m_canvas) return;
    float levels[kGraphColumns];
    ComputeResponse(levels);
    const int W = m_canvas->Width(), y0 = PanelY();
    // The frame: a dark ground with a 0 dB line across the graph area.
    m_canvas->FillRect(W - 190, y0 + 6, 183, 48, kGraphGround);
    m_canvas->Line(W - 187, y0 + 28, W - 10, y0 + 28, kGraphGrid);
    const uint32_t colour = GraphColour(m_scheme);
    for (int x = 0; x < kGraphColumns; ++x) {
        const int y = y0 + static_cast<int>(28.0 - levels[x]);
        m_canvas->Line(W - 188 + x, y, W - 187 + x, y, colour);
    }
}

void CParaEQ4B::Tick() {
    // The drag first, so a knob being turned shows in the graph on the same tick.
    CProcessor::Tick();
    if (m_shown && m_dirty) {
        DrawGraph();
        m_dirty = false;
    }
}

void CParaEQ4B::Paint() {
    if (!m_canvas) return;
    const double s = ScaleX();
    const int x = PanelX(), y = PanelY(), h = PanelHeight();
    m_canvas->Title(x + 25, y + (h - 12) / 2, "EQ", m_scheme);
    for (int c : kSeparatorControls) {
        const int sx = x + static_cast<int>((kX[c] - 12) * s);
        m_canvas->Line(sx, y + 5, sx, y + 60, kSeparatorLight);
        m_canvas->Line(sx + 1, y + 5, sx + 1, y + 60, kSeparatorDark);
    }
    // Group captions along the bottom edge of each group.
    struct Caption {
        int at;
        const char* text;
    };
    static const Caption kCaptions[] = {{115, "Cuts"},  {200, "Sub"},  {295, "Low"},  {390, "Mid 1"},
                                        {530, "Mid 2"}, {670, "High"}, {760, "Level"}};
    for (const Caption& c : kCaptions)
        m_canvas->Text(x + static_cast<int>(c.at * s), y + 60, 7, kCaptionColour, c.text);
    DrawGraph();
}
