#include "dsp/CParaEQ4B.h"

#include "dsp/CFFT.h"
#include "dsp/CNumericInputElement.h"
#include "dsp/CPanelCanvas.h"
#include "dsp/CToggleInputElement.h"

#include <cmath>
#include <utility>

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

namespace {

using Ext = long double;

// The general form for one output: double coefficients widened to extended precision, float
// data, the five products summed left to right, rounded once to float.
inline float GeneralForm(const BiquadCoefs& k, float x, float x1, float x2, float y1, float y2) {
    return static_cast<float>(Ext(k.b0) * x + Ext(k.b1) * x1 + Ext(k.b2) * x2 - Ext(k.a1) * y1 - Ext(k.a2) * y2);
}

// All running stages for both channels in one pass. Each output is exactly the general form's
// expression on the same values as a stage-by-stage run, so the result is bit-identical to it.
//
// The stages are skewed: at step t stage s works on sample t − s, using what stage s − 1 made at
// the step before. Within one step the stage updates are independent, so the processor overlaps
// them instead of waiting for each stage's result to feed the next. Every stage keeps its last
// four outputs in a small ring, which is at the same time the input history of the stage after
// it; the input has a ring of its own. Nothing is shifted or copied between steps, and in the
// steady part of the block, unrolled four steps at a time, every ring cell is a fixed address.
// The output gain is applied as the last stage writes, so the block is filtered in place.
template <int S> class Cascade {
public:
    Cascade(const BiquadCoefs* k, BiquadHistory* const* hist, float* left, float* right, int n, float gain)
        : m_n(n), m_gain(gain) {
        m_io[0] = left;
        m_io[1] = right;
        for (int s = 0; s < S; ++s) {
            m_k[s] = k[s];
            for (int c = 0; c < 2; ++c) {
                m_hist[c][s] = hist[2 * s + c];
                m_start[c][s] = *m_hist[c][s];
            }
        }
    }

    void Run() {
        const int total = m_n + S - 1;
        int t = 0;
        // Until every stage is two samples into the block and the ring index is back at 0.
        for (; t < total && !(t >= S + 1 && (t & 3) == 0); ++t) EdgeStep(t);
        for (; t + 3 < m_n; t += 4) {
            SteadyStep<0>(t);
            SteadyStep<1>(t + 1);
            SteadyStep<2>(t + 2);
            SteadyStep<3>(t + 3);
        }
        for (; t < total; ++t) EdgeStep(t);
        StoreHistories();
    }

private:
    // Step t near either end of the block: some stages have nothing to do, and the first two
    // samples of each stage take their histories from the previous block.
    void EdgeStep(int t) {
        if (t < m_n)
            for (int c = 0; c < 2; ++c) m_ring[c][0][t & 3] = m_io[c][t];
        for (int s = S - 1; s >= 0; --s) {
            const int i = t - s;
            if (i < 0 || i >= m_n) continue;
            for (int c = 0; c < 2; ++c) {
                const float* in = m_ring[c][s];
                float* out = m_ring[c][s + 1];
                const BiquadHistory& h = m_start[c][s];
                const float x1 = i >= 1 ? in[(i - 1) & 3] : h.x1;
                const float x2 = i >= 2 ? in[(i - 2) & 3] : (i == 1 ? h.x1 : h.x2);
                const float y1 = i >= 1 ? out[(i - 1) & 3] : h.y1;
                const float y2 = i >= 2 ? out[(i - 2) & 3] : (i == 1 ? h.y1 : h.y2);
                const float y = GeneralForm(m_k[s], in[i & 3], x1, x2, y1, y2);
                out[i & 3] = y;
                if (s == S - 1) m_io[c][i] = m_gain * y;
            }
        }
    }

    // Step t with t ≡ U (mod 4), every stage inside the block and past its first two samples.
    template <int U> void SteadyStep(int t) {
        m_ring[0][0][U] = m_io[0][t];
        m_ring[1][0][U] = m_io[1][t];
        StagesDown<U>(t, std::make_integer_sequence<int, S>{});
    }

    template <int U, int... Is> void StagesDown(int t, std::integer_sequence<int, Is...>) {
        (SteadyStage<U, S - 1 - Is>(t), ...); // last stage first
    }

    template <int U, int s> void SteadyStage(int t) {
        constexpr int i0 = (U - s) & 3, i1 = (U - s - 1) & 3, i2 = (U - s - 2) & 3;
        for (int c = 0; c < 2; ++c) {
            const float* in = m_ring[c][s];
            float* out = m_ring[c][s + 1];
            const float y = GeneralForm(m_k[s], in[i0], in[i1], in[i2], out[i1], out[i2]);
            out[i0] = y;
            if constexpr (s == S - 1) m_io[c][t - s] = m_gain * y;
            // Every operand comes fresh from memory: kept in registers the compiler would hold
            // them widened to 80 bits, and such values load and spill slowly.
            asm volatile("" ::: "memory");
        }
    }

    void StoreHistories() {
        for (int s = 0; s < S; ++s)
            for (int c = 0; c < 2; ++c) {
                const float* in = m_ring[c][s];
                const float* out = m_ring[c][s + 1];
                BiquadHistory& h = *m_hist[c][s];
                const int last = m_n - 1;
                if (m_n >= 2) {
                    h.x1 = in[last & 3];
                    h.x2 = in[(last - 1) & 3];
                    h.y1 = out[last & 3];
                    h.y2 = out[(last - 1) & 3];
                } else {
                    h.x2 = h.x1;
                    h.x1 = in[0];
                    h.y2 = h.y1;
                    h.y1 = out[0];
                }
            }
    }

    int m_n;
    float m_gain;
    float* m_io[2];
    BiquadCoefs m_k[S];
    BiquadHistory* m_hist[2][S];
    BiquadHistory m_start[2][S];
    // [channel][0] the input, [channel][s + 1] the output of stage s; cell = sample index & 3.
    float m_ring[2][S + 1][4] = {};
};

template <int S>
void RunCascade(const BiquadCoefs* k, BiquadHistory* const* hist, float* left, float* right, int n, float gain) {
    Cascade<S>(k, hist, left, right, n, gain).Run();
}

} // namespace

void CParaEQ4B::Process(float* left, float* right, int n, int sampleRate) {
    if (Param(IdOn, 1.0f) < 0.5f) return;
    if (n <= 0 || !left || !right || sampleRate <= 0) return;
    const Design d = MakeDesign(sampleRate);
    const float gain = static_cast<float>(d.compensation * std::pow(10.0, Param(IdOutput) / 20.0));
    BiquadCoefs k[StageCount];
    BiquadHistory* hist[2 * StageCount];
    int count = 0;
    for (int s = 0; s < StageCount; ++s) {
        if (!d.runs[s]) continue;
        k[count] = d.stage[s];
        hist[2 * count] = &m_hist[0][s];
        hist[2 * count + 1] = &m_hist[1][s];
        ++count;
    }
    switch (count) {
    case 1: RunCascade<1>(k, hist, left, right, n, gain); break;
    case 2: RunCascade<2>(k, hist, left, right, n, gain); break;
    case 3: RunCascade<3>(k, hist, left, right, n, gain); break;
    case 4: RunCascade<4>(k, hist, left, right, n, gain); break;
    case 5: RunCascade<5>(k, hist, left, right, n, gain); break;
    case 6: RunCascade<6>(k, hist, left, right, n, gain); break;
    case 7: RunCascade<7>(k, hist, left, right, n, gain); break;
    default:
        for (int i = 0; i < n; ++i) left[i] *= gain, right[i] *= gain;
        break;
    }
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
