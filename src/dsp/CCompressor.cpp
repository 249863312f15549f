#include "dsp/CCompressor.h"

#include "dsp/CDSPEngine.h"
#include "dsp/CNumericInputElement.h"
#include "dsp/CPanelCanvas.h"
#include "dsp/CToggleInputElement.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr int kX[10] = {55, 180, 180, 260, 260, 320, 320, 110, 110, 950};
constexpr int kY[10] = {25, 7, 37, 7, 37, 7, 37, 15, 35, 25};

constexpr uint32_t kLabelColour = Rgb(238, 238, 238);
constexpr uint32_t kTickColour = Rgb(150, 150, 150);
constexpr uint32_t kFrameBorder = Rgb(60, 60, 64);
constexpr int kMeterHeight = 6;

inline float DbToLinear(double db) { return static_cast<float>(std::pow(10.0, db / 20.0)); }

} // namespace

CCompressor::CCompressor(CDSPEngine& engine) : CProcessor(KindCompressor), m_engine(engine) {
    AddControl(new CRoundButtonToggle("On", "Bypass", 1.0f), IdOn);
    AddControl(new CNumericInputElement("Split1", 100.0f, 900.0f, 300.0f, 1, TaperSqrt, "Hz   ", "KHz"), IdSplit1);
    AddControl(new CNumericInputElement("Split2", 1000.0f, 6000.0f, 3000.0f, 1, TaperSqrt, "Hz   ", "KHz"), IdSplit2);
    AddControl(new CNumericInputElement("Thres", -60.0f, 0.0f, -6.0f, 0, TaperLinear, "dB", "dB", true), IdThres);
    AddControl(new CNumericInputElement("Ratio", 1.0f, 40.0f, 2.0f, 0, TaperSqrt, ":1", ":1"), IdRatio);
    AddControl(new CNumericInputElement("Attack", 0.1f, 90.0f, 20.0f, 0, TaperSqrt, "ms", "ms"), IdAttack);
    AddControl(new CNumericInputElement("Release", 15.0f, 3000.0f, 250.0f, 1, TaperSqrt, "ms ", "sec"), IdRelease);
    AddControl(new CRoundButtonToggle("Opto", "Electro", 0.0f), IdOpto);
    AddControl(new CRoundButtonToggle("Multi", "Single", 0.0f), IdMulti);
    AddControl(new CNumericInputElement("Makeup", -12.0f, 18.0f, 0.0f, 0, TaperLinear, "dB", "dB", true), IdMakeup);
    for (auto& b : m_band) b = static_cast<float*>(m_engine.AllocMem(sizeof(float) * kBlockFloats));
    for (auto& m : m_minGain) m.store(1.0f, std::memory_order_relaxed);
    for (auto& m : m_meters) m.SetDirection(CMeterBar::Reversed);
    ApplyScheme();
}

CCompressor::~CCompressor() {
    for (auto& b : m_band) m_engine.FreeMem(b);
}

void CCompressor::Layout(int x, int y, int width, int height) {
    PlaceControls(x, y, width, height, kX, kY);
    const double s = ScaleX();
    m_mx = static_cast<int>(s * 320) + x + 180;
    m_my = y + 24;
    m_mw = static_cast<int>(s * 950 - m_mx - 30);
    if (m_mw < 0) m_mw = 0;
    for (int b = 0; b < BandCount; ++b) {
        m_meters[b].SetCanvas(m_canvas);
        m_meters[b].SetBounds(m_mx, m_my + 8 * b, m_mw, kMeterHeight);
    }
}

void CCompressor::SingleBand(float* left, float* right, int n, const CompressorSettings& s, float& minGain) {
    float g = m_gain[BandLow], m = minGain, target = m_scratch[BandLow];
    for (int i = 0; i < n; ++i) {
        const float a = std::fabs(left[i]), b = std::fabs(right[i]);
        g = CompressorGainStep(a > b ? a : b, g, s.threshold, s.attack, s.release, s.ratio, s.opto, target);
        if (g < m) m = g;
        left[i] *= g;
        right[i] *= g;
    }
    m_gain[BandLow] = g;
    m_scratch[BandLow] = target;
    minGain = m;
}

void CCompressor::ProcessChunk(float* left, float* right, int n, const CompressorSettings& s, bool multi,
                               float mins[BandCount]) {
    if (!multi) {
        SingleBand(left, right, n, s, mins[BandLow]);
        return;
    }
    // Split at Split1 into low and mid+high, mid+high at Split2 into mid and high; each band's
    // gain computer with its own gain, scratch and minimum; the bands added back.
    CompressSplitArgs a;
    a.left = left;
    a.right = right;
    a.midHighLeft = m_band[MidHighLeft];
    a.midHighRight = m_band[MidHighRight];
    a.highLeft = m_band[HighLeft];
    a.highRight = m_band[HighRight];
    a.n = n;
    a.first = &m_splitCoefs[0];
    a.second = &m_splitCoefs[1];
    a.firstHist = m_hist[0];
    a.secondHist = m_hist[1];
    a.state = {m_gain, m_scratch, mins};
    a.settings = s;
    m_engine.CompressSplit(a);
}

void CCompressor::Process(float* left, float* right, int n, int sampleRate) {
    if (Param(IdOn, 1.0f) < 0.5f) return;
    if (n <= 0 || !left || !right || sampleRate <= 0) return;
    CompressorSettings settings;
    settings.threshold = DbToLinear(Param(IdThres));
    settings.attack = static_cast<float>(sampleRate * 0.001 * Param(IdAttack) + 1.0);
    settings.release = static_cast<float>(sampleRate * 0.001 * Param(IdRelease) + 1.0);
    settings.ratio = Param(IdRatio, 2.0f);
    settings.opto = static_cast<int>(Param(IdOpto)) != 0;
    const float makeup = DbToLinear(Param(IdMakeup));
    bool multi = static_cast<int>(Param(IdMulti)) != 0;
    for (auto* b : m_band) multi = multi && b != nullptr;
    m_split[0] = Param(IdSplit1, 300.0f);
    m_split[1] = Param(IdSplit2, 3000.0f);
    if (multi) {
        // Designed again only when the rate or a split frequency (as designed, whole hertz) moved.
        const int design[3] = {sampleRate, static_cast<int>(m_split[0]), static_cast<int>(m_split[1])};
        if (design[0] != m_splitDesign[0] || design[1] != m_splitDesign[1] || design[2] != m_splitDesign[2]) {
            m_splitCoefs[0] = DesignHighPass(sampleRate, design[1], 1.0f);
            m_splitCoefs[1] = DesignHighPass(sampleRate, design[2], 1.0f);
            for (int i = 0; i < 3; ++i) m_splitDesign[i] = design[i];
        }
    }
    float mins[BandCount] = {1.0f, 1.0f, 1.0f};
    for (int done = 0; done < n; done += kBlockFloats) {
        const int len = n - done < kBlockFloats ? n - done : kBlockFloats;
        ProcessChunk(left + done, right + done, len, settings, multi, mins);
    }
    for (int b = 0; b < BandCount; ++b) m_minGain[b].store(mins[b], std::memory_order_relaxed);
    for (int i = 0; i < n; ++i) {
        left[i] *= makeup;
        right[i] *= makeup;
    }
}

void CCompressor::Reset() {
    for (auto& split : m_hist)
        for (auto& h : split) h.Clear();
}

void CCompressor::ClearState() {
    Reset();
    for (int b = 0; b < BandCount; ++b) m_gain[b] = m_scratch[b] = 1.0f;
}

void CCompressor::MeterColours(int scheme, uint32_t& bar, uint32_t& hold) {
    switch (scheme) {
    case SchemeBlue: bar = Rgb(44, 133, 192), hold = Rgb(60, 69, 106); break;
    case SchemeYellow: bar = Rgb(230, 216, 0), hold = Rgb(108, 130, 32); break;
    case SchemeGreen: bar = Rgb(0, 236, 83), hold = Rgb(44, 122, 94); break;
    default: bar = Rgb(218, 98, 0), hold = Rgb(138, 82, 32); break;
    }
}

uint32_t CCompressor::CurveDark(int scheme) {
    switch (scheme) {
    case SchemeBlue: return Rgb(7, 13, 38);
    case SchemeYellow: return Rgb(35, 33, 11);
    case SchemeGreen: return Rgb(16, 35, 11);
    default: return Rgb(34, 11, 11);
    }
}

uint32_t CCompressor::CurveBright(int scheme) {
    uint32_t bar, hold;
    MeterColours(scheme, bar, hold);
    return bar;
}

void CCompressor::ApplyScheme() {
    uint32_t bar, hold;
    MeterColours(m_scheme, bar, hold);
    for (auto& m : m_meters) m.SetColours(bar, hold);
}

void CCompressor::DrawMeters() {
    if (!m_shown || !m_canvas) return;
    // In Single mode the one gain shows on all three meters.
    const bool multi = static_cast<int>(Param(IdMulti)) != 0;
    for (int b = 0; b < BandCount; ++b) {
        m_meters[b].SetCanvas(m_canvas);
        m_meters[b].SetValue(1.0f - MinimumGain(multi ? b : BandLow));
    }
}

void CCompressor::RedrawMeters() { DrawMeters(); }

void CCompressor::DecayMeters() {
    for (auto& m : m_minGain) {
        float v = m.load(std::memory_order_relaxed) + 0.1f;
        m.store(v > 1.0f ? 1.0f : v, std::memory_order_relaxed);
    }
    DrawMeters();
}

CCompressor::Curve CCompressor::TransferCurve(float thresDb, float ratio) const {
    const double s = ScaleX();
    const int x0 = static_cast<int>(s * 320) + PanelX() + 98, y0 = PanelY() + 56;
    const double g = -thresDb / 60.0;
    if (!(ratio >= 1.0f)) ratio = 1.0f;
    Curve c;
    c.x[0] = x0;
    c.y[0] = y0;
    c.x[1] = static_cast<int>(x0 + 48 - 48 * g);
    c.y[1] = static_cast<int>(y0 - 48 + 48 * g);
    c.x[2] = x0 + 48;
    c.y[2] = static_cast<int>(y0 - 48 * (1 - g + g / ratio));
    return c;
}

void CCompressor::DrawCurve(float thresDb, float ratio, uint32_t colour) {
    const Curve c = TransferCurve(thresDb, ratio);
    m_canvas->Line(c.x[0], c.y[0], c.x[1], c.y[1], colour);
    m_canvas->Line(c.x[1], c.y[1], c.x[2], c.y[2], colour);
}

void CCompressor::Tick() {
    if (m_captured) {
        m_captured->DragTick();
        m_dirty = true;
    }
    if (m_shown && m_dirty && m_canvas) {
        // Wipe the old curve with the ground colour, then draw the new one.
        if (m_curveDrawn) DrawCurve(m_lastThres, m_lastRatio, CurveDark(m_scheme));
        m_lastThres = Param(IdThres, -6.0f);
        m_lastRatio = Param(IdRatio, 2.0f);
        DrawCurve(m_lastThres, m_lastRatio, CurveBright(m_scheme));
        m_curveDrawn = true;
        m_dirty = false;
    }
    CProcessor::Tick();
}

void CCompressor::Paint() {
    if (!m_canvas) return;
    const double s = ScaleX();
    const int x = PanelX(), y = PanelY(), h = PanelHeight();
    m_canvas->Title(x + 25, y + (h - 12) / 2, "CMP", m_scheme);

    // Transfer graph frame; the curve itself is drawn by the tick.
    const int fx = static_cast<int>(s * 320) + x + 80, fy = y + 5;
    m_canvas->FillRect(fx, fy, 72, 56, CurveDark(m_scheme));
    m_canvas->Line(fx, fy, fx + 71, fy, kFrameBorder);
    m_canvas->Line(fx, fy + 55, fx + 71, fy + 55, kFrameBorder);
    m_canvas->Line(fx, fy, fx, fy + 55, kFrameBorder);
    m_canvas->Line(fx + 71, fy, fx + 71, fy + 55, kFrameBorder);
    m_curveDrawn = false;

    // "Redux" scale: a tick every half decibel of reduction, labels at a few whole ones.
    m_canvas->Text(m_mx, m_my - 14, 9, kLabelColour, "Redux");
    for (int half = 0; half <= 30; ++half) {
        const double d = half * 0.5;
        const int tx = m_mx + static_cast<int>(m_mw * std::pow(10.0, -d / 20.0));
        const int len = half % 2 == 0 ? 6 : 3;
        m_canvas->Line(tx, m_my - 1 - len, tx, m_my - 1, kTickColour);
    }
    for (int d : {0, 1, 3, 6, 10, 15}) {
        char text[16];
        if (d == 0) std::snprintf(text, sizeof text, "0dB");
        else if (d < 10) std::snprintf(text, sizeof text, "-%1.0f", static_cast<double>(d));
        else std::snprintf(text, sizeof text, "-%2.0f", static_cast<double>(d));
        const int tx = m_mx + static_cast<int>(m_mw * std::pow(10.0, -d / 20.0));
        m_canvas->Text(tx - m_canvas->TextWidth(8, text) / 2, m_my + 23, 8, kLabelColour, text);
    }
    static const char* const kBandNames[BandCount] = {"Low", "Mid", "High"};
    for (int b = 0; b < BandCount; ++b)
        m_canvas->Text(m_mx + m_mw + 4, m_my - 1 + 8 * b, 7, kLabelColour, kBandNames[b]);
    for (auto& m : m_meters) {
        m.SetCanvas(m_canvas);
        m.Paint();
    }
}
