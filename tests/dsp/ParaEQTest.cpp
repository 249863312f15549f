#include "dsp/CParaEQ4B.h"

#include "RecordingCanvas.h"

#include <gtest/gtest.h>

#include "support/Signals.h"

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

namespace {

using Cx = std::complex<double>;

Cx Response(const BiquadCoefs& c, double w) {
    const Cx z1 = std::polar(1.0, -w), z2 = z1 * z1;
    return (c.b0 + c.b1 * z1 + c.b2 * z2) / (1.0 + c.a1 * z1 + c.a2 * z2);
}

double DesignMagnitude(const CParaEQ4B::Design& d, double w) {
    Cx h = 1.0;
    for (int s = 0; s < CParaEQ4B::StageCount; ++s)
        if (d.runs[s]) h *= Response(d.stage[s], w);
    return std::abs(h);
}

// Amplitude of a sine at f after the EQ, measured over whole periods once it has settled.
double MeasuredGain(CParaEQ4B& eq, double f, int fs) {
    const int n = fs; // one second, processed in engine-sized blocks
    std::vector<float> l(n), r(n);
    for (int i = 0; i < n; ++i) l[i] = r[i] = static_cast<float>(0.25 * std::sin(2 * M_PI * f * i / fs));
    eq.Reset();
    for (int at = 0; at < n; at += 4096) {
        int len = std::min(4096, n - at);
        eq.Process(l.data() + at, r.data() + at, len, fs);
    }
    const int tail = fs / 4; // the last quarter second holds f / 4 whole periods for whole f
    double s = 0, c = 0;
    for (int i = n - tail; i < n; ++i) {
        s += l[i] * std::sin(2 * M_PI * f * i / fs);
        c += l[i] * std::cos(2 * M_PI * f * i / fs);
    }
    return 2.0 * std::hypot(s, c) / tail / 0.25;
}

// A canvas that keeps the full segment of every line.
struct Segment {
    int x0, y0, x1, y1;
    uint32_t rgb;
};
class LineCanvas : public RecordingCanvas {
public:
    using RecordingCanvas::RecordingCanvas;
    void Line(int x0, int y0, int x1, int y1, uint32_t rgb) override { lines.push_back({x0, y0, x1, y1, rgb}); }
    std::vector<Segment> lines;
};

} // namespace

TEST(ParaEQ, DesignsHaveTheirAnalyticGainsAtTheirFrequencies) {
    const int fs = 48000;
    const double w = 6.283 * 1000 / fs;
    // A peak reaches its full gain at its own frequency; shelves reach it at the far end.
    EXPECT_NEAR(std::abs(Response(DesignPeaking(fs, 1000, 9, 1.5f), w)), std::pow(10.0, 9 / 20.0), 1e-9);
    EXPECT_NEAR(std::abs(Response(DesignPeaking(fs, 1000, -6, 0.3f), w)), std::pow(10.0, -6 / 20.0), 1e-9);
    EXPECT_NEAR(std::abs(Response(DesignLowShelf(fs, 100, 12, 1.0f), 0.0)), std::pow(10.0, 12 / 20.0), 1e-9);
    EXPECT_NEAR(std::abs(Response(DesignLowShelf(fs, 100, 12, 1.0f), M_PI)), 1.0, 1e-6);
    EXPECT_NEAR(std::abs(Response(DesignHighShelf(fs, 4000, -9, 1.0f), M_PI)), std::pow(10.0, -9 / 20.0), 1e-9);
    EXPECT_NEAR(std::abs(Response(DesignHighShelf(fs, 4000, -9, 1.0f), 0.0)), 1.0, 1e-9);
    EXPECT_NEAR(std::abs(Response(DesignHighPass(fs, 50, 1.0f), 0.0)), 0.0, 1e-12);
    EXPECT_NEAR(std::abs(Response(DesignLowPass(fs, 15000, 1.0f), 0.0)), 1.0, 1e-12);
}

TEST(ParaEQ, OutputMagnitudeEqualsTheProductOfTheDesignedStages) {
    CParaEQ4B eq;
    eq.SetParam(CParaEQ4B::IdLowShelfGain, 6.0f);
    eq.SetParam(CParaEQ4B::IdMid1, 1000.0f);
    eq.SetParam(CParaEQ4B::IdMid1Gain, -9.7f); // designs as −9
    eq.SetParam(CParaEQ4B::IdQ1, 1.2f);
    eq.SetParam(CParaEQ4B::IdMid2, 5000.0f);
    eq.SetParam(CParaEQ4B::IdMid2Gain, 4.0f);
    eq.SetParam(CParaEQ4B::IdHiShelfGain, -3.0f);
    eq.SetParam(CParaEQ4B::IdLowCut, 40.0f);
    eq.SetParam(CParaEQ4B::IdHiCut, 15000.0f);
    eq.SetParam(CParaEQ4B::IdSubResonGain, 5.0f);
    eq.SetParam(CParaEQ4B::IdOutput, -2.5f);
    for (int fs : {44100, 48000}) {
        const CParaEQ4B::Design d = eq.MakeDesign(fs);
        for (int s = 0; s < CParaEQ4B::StageCount; ++s) EXPECT_TRUE(d.runs[s]) << s;
        const double out = d.compensation * std::pow(10.0, -2.5 / 20.0);
        for (double f : {60.0, 200.0, 1000.0, 3000.0, 5000.0, 12000.0}) {
            const double expected = DesignMagnitude(d, 2 * M_PI * f / fs) * out;
            EXPECT_NEAR(MeasuredGain(eq, f, fs), expected, 2e-4 * expected + 1e-6) << f << " Hz at " << fs;
        }
    }
}

TEST(ParaEQ, StagesSwitchOffNearNyquistAtEachRate) {
    CParaEQ4B eq;
    auto runs = [&](int fs, int stage) { return eq.MakeDesign(fs).runs[stage]; };
    // Defaults: the low-pass at 20 kHz runs only above 40,816 Hz; the low cut and sub shelf are off.
    EXPECT_FALSE(runs(40816, CParaEQ4B::HiCut));
    EXPECT_TRUE(runs(40817, CParaEQ4B::HiCut));
    EXPECT_FALSE(runs(44100, CParaEQ4B::LowCut));
    EXPECT_FALSE(runs(44100, CParaEQ4B::SubReson));
    for (int s : {CParaEQ4B::LowShelf, CParaEQ4B::HiShelf, CParaEQ4B::Mid1, CParaEQ4B::Mid2})
        EXPECT_TRUE(runs(44100, s));

    struct Edge {
        int id, stage;
        float on, off;
    };
    // At 32 kHz: HiShelf from 14,400, Mid2 from 12,800 and HiCut from 15,680 Hz drop out.
    for (Edge e : {Edge{CParaEQ4B::IdHiShelf, CParaEQ4B::HiShelf, 14399.9f, 14400.0f},
                   Edge{CParaEQ4B::IdMid2, CParaEQ4B::Mid2, 12799.9f, 12800.0f},
                   Edge{CParaEQ4B::IdHiCut, CParaEQ4B::HiCut, 15679.9f, 15680.0f}}) {
        eq.SetParam(e.id, e.on);
        EXPECT_TRUE(runs(32000, e.stage)) << e.id;
        eq.SetParam(e.id, e.off);
        EXPECT_FALSE(runs(32000, e.stage)) << e.id;
    }
    // At 44.1 kHz only HiCut can, from 21,609 Hz; at 96 kHz everything runs at the top of its range.
    eq.SetParam(CParaEQ4B::IdHiShelf, 18000.0f);
    eq.SetParam(CParaEQ4B::IdMid1, 8000.0f);
    eq.SetParam(CParaEQ4B::IdMid2, 14000.0f);
    eq.SetParam(CParaEQ4B::IdHiCut, 21608.0f);
    for (int s : {CParaEQ4B::HiShelf, CParaEQ4B::Mid1, CParaEQ4B::Mid2, CParaEQ4B::HiCut}) EXPECT_TRUE(runs(44100, s));
    eq.SetParam(CParaEQ4B::IdHiCut, 21609.0f);
    EXPECT_FALSE(runs(44100, CParaEQ4B::HiCut));
    eq.SetParam(CParaEQ4B::IdHiCut, 22000.0f);
    eq.SetParam(CParaEQ4B::IdLowCut, 11.5f);
    eq.SetParam(CParaEQ4B::IdSubResonGain, 0.1f);
    for (int s = 0; s < CParaEQ4B::StageCount; ++s) EXPECT_TRUE(runs(96000, s)) << s;
    eq.SetParam(CParaEQ4B::IdLowCut, 11.0f);
    EXPECT_FALSE(runs(96000, CParaEQ4B::LowCut));
}

TEST(ParaEQ, FlatSettingsWithoutTheLowPassAreBitExact) {
    // At 32 kHz the default 20 kHz low-pass is out and the other stages are exact unity.
    CParaEQ4B eq;
    auto l = Noise(5000, 1), r = Noise(5000, 2);
    auto l0 = l, r0 = r;
    eq.Process(l.data(), r.data(), 5000, 32000);
    EXPECT_EQ(l, l0);
    EXPECT_EQ(r, r0);
}

TEST(ParaEQ, CompensationDropsAThirdOfTheBoost) {
    CParaEQ4B eq;
    auto db = [&] { return 20.0 * std::log10(eq.Compensation()); };
    EXPECT_NEAR(db(), 0.0, 1e-12);
    eq.SetParam(CParaEQ4B::IdLowShelfGain, 6.0f);
    EXPECT_NEAR(db(), -2.0, 1e-9);
    // Cuts never count.
    eq.SetParam(CParaEQ4B::IdMid1Gain, -12.0f);
    eq.SetParam(CParaEQ4B::IdHiShelfGain, -15.0f);
    EXPECT_NEAR(db(), -2.0, 1e-9);
    // A later boost counts only where it exceeds the boost so far, with its weight.
    eq.SetParam(CParaEQ4B::IdHiShelfGain, 9.0f); // b = 6 + 4.5
    EXPECT_NEAR(db(), -10.5 / 3, 1e-6);
    eq.SetParam(CParaEQ4B::IdMid2Gain, 8.0f); // 8 < 10.5: no change
    EXPECT_NEAR(db(), -10.5 / 3, 1e-6);
    eq.SetParam(CParaEQ4B::IdSubResonGain, 12.0f); // 12 > 10.5: b = 22.5
    EXPECT_NEAR(db(), -22.5 / 3, 1e-6);

    // Half a decibel designs flat but still lowers the output by a sixth of a decibel.
    CParaEQ4B half;
    half.SetParam(CParaEQ4B::IdLowShelfGain, 0.5f);
    EXPECT_NEAR(20.0 * std::log10(half.Compensation()), -0.5 / 3, 1e-6);
    const auto d = half.MakeDesign(44100);
    EXPECT_EQ(d.stage[CParaEQ4B::LowShelf].b0, 1.0);
    EXPECT_EQ(d.stage[CParaEQ4B::LowShelf].a1, d.stage[CParaEQ4B::LowShelf].b1);
}

TEST(ParaEQ, ControlValuesDesignTruncatedTowardZero) {
    CParaEQ4B a, b;
    a.SetParam(CParaEQ4B::IdMid1Gain, 2.9f);
    b.SetParam(CParaEQ4B::IdMid1Gain, 2.0f);
    a.SetParam(CParaEQ4B::IdMid2Gain, -3.7f);
    b.SetParam(CParaEQ4B::IdMid2Gain, -3.0f);
    a.SetParam(CParaEQ4B::IdLowShelf, 99.9f);
    b.SetParam(CParaEQ4B::IdLowShelf, 99.0f);
    const auto da = a.MakeDesign(44100), db = b.MakeDesign(44100);
    for (int s = 0; s < CParaEQ4B::StageCount; ++s) {
        EXPECT_EQ(da.stage[s].b0, db.stage[s].b0) << s;
        EXPECT_EQ(da.stage[s].b1, db.stage[s].b1) << s;
        EXPECT_EQ(da.stage[s].a2, db.stage[s].a2) << s;
    }
    EXPECT_LT(a.Compensation(), b.Compensation()); // the comparison sees 2.9, not 2
}

TEST(ParaEQ, SwitchedOffBlockIsUntouched) {
    CParaEQ4B eq;
    eq.SetParam(CParaEQ4B::IdLowShelfGain, 12.0f);
    eq.SetParam(CParaEQ4B::IdOutput, -10.0f);
    eq.SetParam(CParaEQ4B::IdOn, 0.0f);
    auto l = Noise(4096, 3), r = Noise(4096, 4);
    l[7] = std::nanf("");
    auto l0 = l, r0 = r;
    eq.Process(l.data(), r.data(), 4096, 44100);
    EXPECT_EQ(std::memcmp(l.data(), l0.data(), 4096 * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(r.data(), r0.data(), 4096 * sizeof(float)), 0);
}

TEST(ParaEQ, HistoriesCarryAcrossBlocksAndResetClearsThem) {
    CParaEQ4B one, two;
    for (CParaEQ4B* eq : {&one, &two}) {
        eq->SetParam(CParaEQ4B::IdLowCut, 80.0f);
        eq->SetParam(CParaEQ4B::IdMid1Gain, 7.0f);
        eq->SetParam(CParaEQ4B::IdSubResonGain, 9.0f);
    }
    auto l = Noise(3000, 5), r = Noise(3000, 6);
    auto l2 = l, r2 = r;
    one.Process(l.data(), r.data(), 3000, 44100);
    // Pieces shorter than the stage count as well as long ones.
    int at = 0;
    for (int len : {1, 2, 3, 6, 1234}) {
        two.Process(l2.data() + at, r2.data() + at, len, 44100);
        at += len;
    }
    two.Process(l2.data() + at, r2.data() + at, 3000 - at, 44100);
    EXPECT_EQ(l, l2);
    EXPECT_EQ(r, r2);
    EXPECT_NE(one.History(1, CParaEQ4B::LowCut).y1, 0.0f);
    one.Reset();
    for (int c = 0; c < 2; ++c)
        for (int s = 0; s < CParaEQ4B::StageCount; ++s) {
            const BiquadHistory& h = one.History(c, s);
            EXPECT_TRUE(h.x1 == 0 && h.x2 == 0 && h.y1 == 0 && h.y2 == 0);
        }
}

TEST(ParaEQ, ResponseGraphFollowsTheDesignAndClampsItsRange) {
    CParaEQ4B eq;
    eq.SetParam(CParaEQ4B::IdMid1, 1000.0f);
    eq.SetParam(CParaEQ4B::IdMid1Gain, 12.0f);
    eq.SetParam(CParaEQ4B::IdQ1, 1.0f);
    eq.SetParam(CParaEQ4B::IdLowCut, 1000.0f);
    eq.SetParam(CParaEQ4B::IdOutput, 10.0f); // the graph ignores output and compensation
    float levels[CParaEQ4B::kGraphColumns];
    eq.ComputeResponse(levels);
    const auto d = eq.MakeDesign(44100);
    int checked = 0;
    for (int x = 0; x < CParaEQ4B::kGraphColumns; ++x) {
        const long long k = 1LL * x * x * x * 4096 / (177LL * 177 * 177);
        const double db = 20 * std::log10(std::max(DesignMagnitude(d, 2 * M_PI * k / 8192), 0.01));
        if (db < -22.0) {
            EXPECT_EQ(levels[x], -21.0f) << x;
        } else if (db > 21.0) {
            EXPECT_EQ(levels[x], 21.0f) << x;
        } else if (db > -20.0) {
            EXPECT_NEAR(levels[x], db, 0.05) << x;
            ++checked;
        }
    }
    EXPECT_GT(checked, 100);
    EXPECT_EQ(levels[0], -21.0f); // DC under the low cut
}

TEST(ParaEQ, TickDrawsTheGraphOnlyWhenShownAndDirty) {
    LineCanvas canvas(1024, 210);
    CParaEQ4B eq;
    eq.SetCanvas(&canvas);
    eq.Layout(0, 0, 1023, 70);
    eq.Tick();
    EXPECT_TRUE(canvas.lines.empty()); // not shown
    eq.SetShown(true);
    eq.SetScheme(SchemeGreen);
    eq.Tick();
    EXPECT_FALSE(eq.Dirty());
    int curve = 0;
    for (const Segment& s : canvas.lines) {
        if (s.rgb != Rgb(0, 236, 83)) continue;
        EXPECT_EQ(s.x1, s.x0 + 1);
        EXPECT_GE(s.x0, 1024 - 188);
        EXPECT_LE(s.x0, 1024 - 188 + 177);
        EXPECT_GE(s.y0, 7);
        EXPECT_LE(s.y0, 49);
        ++curve;
    }
    EXPECT_EQ(curve, CParaEQ4B::kGraphColumns);
    canvas.lines.clear();
    eq.Tick();
    EXPECT_TRUE(canvas.lines.empty()); // clean: nothing redrawn

    // The panel: separators left of the group controls, 12 scaled units in.
    eq.PaintAll();
    int separators = 0;
    for (const Segment& s : canvas.lines)
        if (s.x0 == s.x1 && s.y0 == 5 && s.y1 == 60) ++separators;
    EXPECT_EQ(separators, 12);
    bool separatorAtSub = false;
    for (const Segment& s : canvas.lines) separatorAtSub = separatorAtSub || (s.x0 == 188 && s.y0 == 5);
    EXPECT_TRUE(separatorAtSub);
}

TEST(ParaEQ, ProcessEqualsTheGeneralFormRunStageByStage) {
    CParaEQ4B eq;
    eq.SetParam(CParaEQ4B::IdLowCut, 35.0f);
    eq.SetParam(CParaEQ4B::IdHiCut, 17000.0f);
    eq.SetParam(CParaEQ4B::IdSubResonGain, 4.0f);
    eq.SetParam(CParaEQ4B::IdLowShelfGain, -5.0f);
    eq.SetParam(CParaEQ4B::IdMid1Gain, 8.0f);
    eq.SetParam(CParaEQ4B::IdMid2Gain, -7.0f);
    eq.SetParam(CParaEQ4B::IdHiShelfGain, 3.0f);
    eq.SetParam(CParaEQ4B::IdOutput, 1.5f);
    for (int fs : {32000, 44100, 96000}) {
        eq.Reset();
        auto l = Noise(6000, 21), r = Noise(6000, 22);
        std::vector<float> ref[2] = {l, r};
        const auto d = eq.MakeDesign(fs);
        const float gain = static_cast<float>(d.compensation * std::pow(10.0, 1.5 / 20.0));
        for (auto& ch : ref) {
            for (int s = 0; s < CParaEQ4B::StageCount; ++s) {
                if (!d.runs[s]) continue;
                BiquadHistory h;
                RunBiquad(d.stage[s], h, ch.data(), ch.data(), 6000);
            }
            for (float& v : ch) v = gain * v;
        }
        eq.Process(l.data(), r.data(), 6000, fs);
        EXPECT_EQ(l, ref[0]) << fs;
        EXPECT_EQ(r, ref[1]) << fs;
    }
}
