#include "dsp/CStereoImager.h"

#include "dsp/CDSPEngine.h"
#include "dsp/CNumericInputElement.h"
#include "dsp/CPanelCanvas.h"
#include "dsp/CToggleInputElement.h"

#include <algorithm>
#include <iterator>
#include <cmath>

namespace {

constexpr int kX[10] = {55, 110, 110, 220, 320, 440, 820, 590, 660, 720};
constexpr int kY[10] = {25, 15, 35, 25, 25, 25, 25, 25, 25, 25};

constexpr uint32_t kScopeGround = Rgb(4, 4, 6);
constexpr uint32_t kScopeBorder = Rgb(60, 60, 64);

inline float DbToLinear(double db) { return static_cast<float>(std::pow(10.0, db / 20.0)); }
inline float NotZero(float w) { return w == 0.0f ? CStereoImager::kTinyWeight : w; }
inline float Clamp1(float v) { return v > 1.0f ? 1.0f : (v < -1.0f ? -1.0f : v); }

} // namespace

CStereoImager::CStereoImager(CDSPEngine& engine) : CProcessor(KindStereoImager), m_engine(engine) {
    AddControl(new CRoundButtonToggle("On", "Bypass", 1.0f), IdOn);
    AddControl(new CRoundButtonToggle("L Mute", "", 1.0f, true, true), IdLeftOn);
    AddControl(new CRoundButtonToggle("R Mute", "", 1.0f, true, true), IdRightOn);
    AddControl(new CRoundButtonToggle("Phase 180", "Norm Phase", 0.0f, true), IdPhase);
    AddControl(new CNumericInputElement("L/R   R/L", 0.0f, 99.9f, 0.0f, 0, TaperLinear, "%", "%"), IdCrossMix);
    AddControl(new CNumericInputElement("Balance", -20.0f, 20.0f, 0.0f, 0, TaperLinear, "dB", "dB"), IdBalance);
    AddControl(new CRoundButtonToggle("Spatialize", "Off", 0.0f), IdSpatialize);
    AddControl(new CNumericInputElement("HiPass", 300.0f, 6000.0f, 900.0f, 1, TaperSqrt, "Hz   ", "KHz"), IdHiPass);
    AddControl(new CNumericInputElement("Center", -40.0f, 0.0f, 0.0f, 0, TaperLinear, "dB", "dB", true), IdCenter);
    AddControl(new CNumericInputElement("Side", -20.0f, 20.0f, 0.0f, 0, TaperLinear, "dB", "dB", true), IdSide);
    for (auto& h : m_high) h = static_cast<float*>(m_engine.AllocMem(sizeof(float) * kBlockFloats));
    for (int i = 0; i < kScopePoints; ++i) {
        m_side[i].store(0.0f, std::memory_order_relaxed);
        m_mid[i].store(0.0f, std::memory_order_relaxed);
    }
}

CStereoImager::~CStereoImager() {
    for (auto& h : m_high) m_engine.FreeMem(h);
}

void CStereoImager::Layout(int x, int y, int width, int height) { PlaceControls(x, y, width, height, kX, kY); }

float CStereoImager::Expand(float v) {
    v = Clamp1(v);
    return v > 0.0f ? 1.0f - (1.0f - v) * (1.0f - v) : (1.0f + v) * (1.0f + v) - 1.0f;
}

void CStereoImager::Process(float* left, float* right, int n, int sampleRate) {
    if (Param(IdOn, 1.0f) < 0.5f) return;
    if (n <= 0 || !left || !right || sampleRate <= 0 || !m_high[0] || !m_high[1]) return;
    for (int done = 0; done < n; done += kBlockFloats) {
        const int len = n - done < kBlockFloats ? n - done : kBlockFloats;
        ProcessChunk(left + done, right + done, len, sampleRate);
    }
    // The scope shows the start of the block.
    const int shown = n < kScopePoints ? n : kScopePoints;
    for (int i = 0; i < kScopePoints; ++i) {
        float side = 0.0f, mid = 0.0f;
        if (i < shown) {
            side = Expand((left[i] - right[i]) * 0.5f);
            mid = Expand((left[i] + right[i]) * 0.5f);
        }
        m_side[i].store(side, std::memory_order_relaxed);
        m_mid[i].store(mid, std::memory_order_relaxed);
    }
}

void CStereoImager::ProcessChunk(float* left, float* right, int n, int sampleRate) {
    // Channel gains: mutes, phase, balance.
    float gl = Param(IdLeftOn, 1.0f) >= 0.5f ? 1.0f : 0.0f;
    float gr = Param(IdRightOn, 1.0f) >= 0.5f ? 1.0f : 0.0f;
    if (Param(IdPhase) > 0.5f) gr = -gr;
    const float e = Param(IdBalance);
    if (e < -0.1f) gr *= DbToLinear(e);
    if (e > 0.1f) gl *= DbToLinear(-e);

    // Cross-mix: at 99.9 the channels swap, halfway they meet in mono.
    const float d = Param(IdCrossMix) / 99.9f;
    const float wll = NotZero(gl * (1.0f - d)), wrl = NotZero(d * gr);
    const float wrr = NotZero((1.0f - d) * gr), wlr = NotZero(d * gl);
    const bool spatialize = Param(IdSpatialize) >= 0.5f;
    const int hiPass = static_cast<int>(Param(IdHiPass, 900.0f));
    if (sampleRate != m_splitDesign[0] || hiPass != m_splitDesign[1]) {
        m_split = DesignHighPass(sampleRate, hiPass, 1.0f);
        m_splitDesign[0] = sampleRate;
        m_splitDesign[1] = hiPass;
    }
    const BiquadCoefs& hp = m_split;
    const float c = DbToLinear(Param(IdCenter)), s = DbToLinear(Param(IdSide));
    // The SIMD sets do the whole chunk in one pass; the passes below are its plain form.
    ImagerPassArgs a;
    a.left = left;
    a.right = right;
    a.n = n;
    a.wll = wll;
    a.wrl = wrl;
    a.wrr = wrr;
    a.wlr = wlr;
    a.spatialize = spatialize;
    a.delay = m_delay;
    a.cells = kDelayCells;
    a.write = &m_write;
    a.read = &m_read;
    a.split = &hp;
    a.histLeft = &m_hist[0];
    a.histRight = &m_hist[1];
    a.centre = c;
    a.side = s;
    if (m_engine.ImagerPass(a)) return;
    int w = m_write, r = m_read;
    for (int i = 0; i < n; ++i) {
        const float l = left[i], rr = right[i];
        left[i] = l * wll + rr * wrl;
        right[i] = rr * wrr + l * wlr;
        if (spatialize) {
            m_delay[w] = right[i];
            right[i] = m_delay[r];
            if (++w == kDelayCells) w = 0;
            if (++r == kDelayCells) r = 0;
        }
    }
    m_write = w;
    m_read = r;

    // Mid and side levels change above the high-pass only.
    float* hl = m_high[0];
    float* hr = m_high[1];
    RunBiquadSymmetricPair(hp, m_hist[0], m_hist[1], left, right, hl, hr, n);
    m_engine.Sub(left, hl, n);
    m_engine.Sub(right, hr, n);
    for (int i = 0; i < n; ++i) {
        const float a = hl[i], b = hr[i];
        const float m = (a + b) * 0.5f;
        hl[i] = c * m + s * (a - m);
        hr[i] = c * m - s * (a - m);
    }
    m_engine.Sum(left, hl, n);
    m_engine.Sum(right, hr, n);
}

void CStereoImager::Reset() {
    m_hist[0].Clear();
    m_hist[1].Clear();
}

void CStereoImager::ClearState() {
    Reset();
    std::fill(std::begin(m_delay), std::end(m_delay), 0.0f);
    m_write = 0;
    m_read = kReadStart;
}

void CStereoImager::ScopeColours(int scheme, uint32_t out[3]) {
    switch (scheme) {
    case SchemeBlue: out[0] = Rgb(9, 17, 50), out[1] = Rgb(60, 69, 106), out[2] = Rgb(44, 133, 192); break;
    case SchemeYellow: out[0] = Rgb(51, 41, 9), out[1] = Rgb(108, 130, 32), out[2] = Rgb(230, 216, 0); break;
    case SchemeGreen: out[0] = Rgb(20, 51, 9), out[1] = Rgb(44, 122, 94), out[2] = Rgb(0, 236, 83); break;
    default: out[0] = Rgb(45, 15, 14), out[1] = Rgb(138, 82, 32), out[2] = Rgb(218, 98, 0); break;
    }
}

void CStereoImager::DrawPoints(const float* side, const float* mid, uint32_t colour) {
    const double s = ScaleX();
    const int cx = PanelX() + static_cast<int>(s * 910) + 42, cy = PanelY() + 33;
    for (int i = 0; i < kScopePoints; ++i) {
        const int px = static_cast<int>(cx - 24 * side[i]);
        const int py = static_cast<int>(cy - 24 * mid[i]);
        m_canvas->Line(px, py, px, py + 1, colour);
    }
}

void CStereoImager::DrawScope() {
    // Six frames trail: the oldest fades to dim, the one two steps on to medium, the newest is
    // bright and is kept as the frame just before the new index.
    m_frameIndex = (m_frameIndex + 1) % kScopeFrames;
    float side[kScopePoints], mid[kScopePoints];
    for (int i = 0; i < kScopePoints; ++i) {
        side[i] = ScopeSide(i);
        mid[i] = ScopeMid(i);
    }
    const bool draw = m_shown && m_canvas;
    if (draw) {
        uint32_t col[3];
        ScopeColours(m_scheme, col);
        const int dim = m_frameIndex, medium = (m_frameIndex + 2) % kScopeFrames;
        DrawPoints(m_historySide[dim], m_historyMid[dim], col[0]);
        DrawPoints(m_historySide[medium], m_historyMid[medium], col[1]);
        DrawPoints(side, mid, col[2]);
    }
    const int keep = (m_frameIndex + 5) % kScopeFrames;
    for (int i = 0; i < kScopePoints; ++i) {
        m_historySide[keep][i] = side[i];
        m_historyMid[keep][i] = mid[i];
    }
}

void CStereoImager::RedrawMeters() { DrawScope(); }

void CStereoImager::DecayMeters() {
    for (int i = 0; i < kScopePoints; ++i) {
        m_side[i].store(0.0f, std::memory_order_relaxed);
        m_mid[i].store(0.0f, std::memory_order_relaxed);
    }
    DrawScope();
}

void CStereoImager::Paint() {
    if (!m_canvas) return;
    const double s = ScaleX();
    const int x = PanelX(), y = PanelY(), h = PanelHeight();
    m_canvas->Title(x + 25, y + (h - 12) / 2, "IMG", m_scheme);
    // The scope's frame: 84 × 60 around the centre (x + s × 910 + 42, y + 33).
    const int fx = x + static_cast<int>(s * 910), fy = y + 3;
    m_canvas->FillRect(fx, fy, 84, 60, kScopeGround);
    m_canvas->Line(fx, fy, fx + 83, fy, kScopeBorder);
    m_canvas->Line(fx, fy + 59, fx + 83, fy + 59, kScopeBorder);
    m_canvas->Line(fx, fy, fx, fy + 59, kScopeBorder);
    m_canvas->Line(fx + 83, fy, fx + 83, fy + 59, kScopeBorder);
}
