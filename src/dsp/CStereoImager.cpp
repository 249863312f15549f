#include "dsp/CStereoImager.h"

#include "dsp/BiquadLanes.h"
#include "dsp/CDSPEngine.h"
#include "dsp/CNumericInputElement.h"
#include "dsp/CPanelCanvas.h"
#include "dsp/CToggleInputElement.h"

#include <cmath>

namespace {

constexpr int kX[10] = {55, 110, 110, 220, 320, 440, 820, 590, 660, 720};
constexpr int kY[10] = {25, 15, 35, 25, 25, 25, 25, 25, 25, 25};

constexpr uint32_t kScopeGround = Rgb(4, 4, 6);
constexpr uint32_t kScopeBorder = Rgb(60, 60, 64);

inline float DbToLinear(double db) { return static_cast<float>(std::pow(10.0, db / 20.0)); }
inline float NotZero(float w) { return w == 0.0f ? CStereoImager::kTinyWeight : w; }
inline float Clamp1(float v) { return v > 1.0f ? 1.0f : (v < -1.0f ? -1.0f : v); }

#if defined(__SSE2__)
// The whole imager for one chunk in a single pass, (left, right) in two lanes: cross-mix, the
// right channel through the delay line, the high-pass split, the mid and side gains on the high
// band and the sum of the bands. The split's recursion waits on its own latency and the rest
// rides along in its shadow; per sample every value is formed by the same operations, in the
// same order, as the step-by-step passes.
template <bool Spatialize>
void ImagerPass(float* left, float* right, int n, const BiquadCoefs& hp, BiquadHistory& histLeft,
                BiquadHistory& histRight, float wll, float wrl, float wrr, float wlr, float c, float s, float* delay,
                int cells, int& write, int& read) {
    const BiquadCoefs* const coefs[4] = {&hp, &hp, &hp, &hp};
    BiquadHistory spare[2];
    const BiquadHistory* const in[4] = {&histLeft, &histRight, &spare[0], &spare[1]};
    BiquadHistory* const out[4] = {&histLeft, &histRight, nullptr, nullptr};
    SymmetricLanes split;
    split.Load(coefs, in);
    const __m128 w1 = _mm_setr_ps(wll, wrr, 0.0f, 0.0f), w2 = _mm_setr_ps(wrl, wlr, 0.0f, 0.0f);
    const __m128 half = _mm_set1_ps(0.5f), vc = _mm_set1_ps(c), vs = _mm_set1_ps(s);
    int w = write, r = read;
    for (int i = 0; i < n; ++i) {
        // left := l·wll + r·wrl, right := r·wrr + l·wlr.
        const __m128 x = LoadPair(left, right, i);
        __m128 mixed = _mm_add_ps(_mm_mul_ps(x, w1), _mm_mul_ps(_mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 2, 0, 1)), w2));
        if (Spatialize) {
            _mm_store_ss(delay + w, _mm_shuffle_ps(mixed, mixed, _MM_SHUFFLE(1, 1, 1, 1)));
            mixed = _mm_movelh_ps(_mm_unpacklo_ps(mixed, _mm_load_ss(delay + r)), _mm_setzero_ps());
            if (++w == cells) w = 0;
            if (++r == cells) r = 0;
        }
        const __m128 high = split.Step(mixed);
        const __m128 low = _mm_sub_ps(mixed, high);
        // m := (hl + hr) × 0.5; hl := c·m + s·(hl − m); hr := c·m − s·(hl − m).
        const __m128 m = _mm_mul_ps(_mm_add_ps(high, _mm_shuffle_ps(high, high, _MM_SHUFFLE(3, 2, 0, 1))), half);
        const __m128 cm = _mm_mul_ps(vc, _mm_shuffle_ps(m, m, _MM_SHUFFLE(0, 0, 0, 0)));
        const __m128 sd = _mm_mul_ps(vs, _mm_shuffle_ps(_mm_sub_ps(high, m), high, _MM_SHUFFLE(0, 0, 0, 0)));
        const __m128 shaped = _mm_move_ss(_mm_sub_ps(cm, sd), _mm_add_ps(cm, sd));
        const __m128 sum = _mm_add_ps(low, shaped);
        _mm_store_ss(left + i, sum);
        _mm_store_ss(right + i, _mm_shuffle_ps(sum, sum, _MM_SHUFFLE(1, 1, 1, 1)));
    }
    split.Store(out);
    write = w;
    read = r;
}
#endif

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
    const BiquadCoefs hp = DesignHighPass(sampleRate, static_cast<int>(Param(IdHiPass, 900.0f)), 1.0f);
    const float c = DbToLinear(Param(IdCenter)), s = DbToLinear(Param(IdSide));
#if defined(__SSE2__)
    if (m_engine.UsingSSE()) {
        if (spatialize)
            ImagerPass<true>(left, right, n, hp, m_hist[0], m_hist[1], wll, wrl, wrr, wlr, c, s, m_delay, kDelayCells,
                             m_write, m_read);
        else
            ImagerPass<false>(left, right, n, hp, m_hist[0], m_hist[1], wll, wrl, wrr, wlr, c, s, m_delay,
                              kDelayCells, m_write, m_read);
        return;
    }
#endif
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

void CStereoImager::ScopeColours(int scheme, uint32_t out[3]) {
    switch (scheme) {
    case SchemeBlue:
        out[0] = Rgb(9, 17, 50), out[1] = Rgb(60, 69, 106), out[2] = Rgb(44, 133, 192);
        break;
    case SchemeYellow:
        out[0] = Rgb(51, 41, 9), out[1] = Rgb(108, 130, 32), out[2] = Rgb(230, 216, 0);
        break;
    case SchemeGreen:
        out[0] = Rgb(20, 51, 9), out[1] = Rgb(44, 122, 94), out[2] = Rgb(0, 236, 83);
        break;
    default:
        out[0] = Rgb(45, 15, 14), out[1] = Rgb(138, 82, 32), out[2] = Rgb(218, 98, 0);
        break;
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
