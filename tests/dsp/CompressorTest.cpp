#include "dsp/CCompressor.h"

#include "dsp/CDSPEngine.h"
#include "RecordingCanvas.h"

#include <gtest/gtest.h>

#include "support/Signals.h"

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

void Sine(std::vector<float>& v, double f, double amp, int fs) {
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<float>(amp * std::sin(2 * M_PI * f * i / fs));
}

struct Segment {
    int x0, y0, x1, y1;
    uint32_t rgb;
};
class LineCanvas : public RecordingCanvas {
public:
    void Line(int x0, int y0, int x1, int y1, uint32_t rgb) override { lines.push_back({x0, y0, x1, y1, rgb}); }
    std::vector<Segment> lines;
};

} // namespace

TEST(Compressor, ConstantFullScaleSettlesAtTheLinearRatioPoint) {
    // T = 0.5 and 2:1 act on the linear excess: 0.5 + 0.5 / 2 = 0.75, not the 0.707 of a dB rule.
    for (float multi : {0.0f, 1.0f}) {
        CCompressor c(DSPEngine());
        c.SetParam(CCompressor::IdThres, static_cast<float>(20 * std::log10(0.5)));
        c.SetParam(CCompressor::IdRatio, 2.0f);
        c.SetParam(CCompressor::IdMulti, multi);
        c.SetParam(CCompressor::IdSplit1, 100.0f); // the low band carries the constant
        std::vector<float> l(4096), r(4096);
        for (int block = 0; block < 20; ++block) {
            std::fill(l.begin(), l.end(), 1.0f);
            std::fill(r.begin(), r.end(), 1.0f);
            c.Process(l.data(), r.data(), 4096, 44100);
        }
        EXPECT_NEAR(l.back(), 0.75f, 1e-4) << multi;
        EXPECT_NEAR(r.back(), 0.75f, 1e-4) << multi;
        EXPECT_NEAR(c.BandGain(CCompressor::BandLow), 0.75f, 1e-4);
        EXPECT_NEAR(c.MinimumGain(CCompressor::BandLow), 0.75f, 1e-3);
    }
}

TEST(Compressor, ThresholdAtFullScaleOrUnityRatioOnlyAppliesMakeup) {
    auto l0 = Noise(8192, 1, 0.99f), r0 = Noise(8192, 2, 0.99f);
    CCompressor top(DSPEngine());
    top.SetParam(CCompressor::IdThres, 0.0f);
    auto l = l0, r = r0;
    top.Process(l.data(), r.data(), 8192, 44100);
    EXPECT_EQ(l, l0);
    EXPECT_EQ(r, r0);

    CCompressor unity(DSPEngine());
    unity.SetParam(CCompressor::IdThres, -40.0f);
    unity.SetParam(CCompressor::IdRatio, 1.0f);
    unity.SetParam(CCompressor::IdMakeup, 6.0f);
    l = l0;
    r = r0;
    unity.Process(l.data(), r.data(), 8192, 44100);
    const float makeup = static_cast<float>(std::pow(10.0, 6 / 20.0));
    for (int i = 0; i < 8192; ++i) {
        ASSERT_NEAR(l[i], l0[i] * makeup, 1e-6);
        ASSERT_NEAR(r[i], r0[i] * makeup, 1e-6);
    }
}

TEST(Compressor, OptoReleasesSixteenTimesSlowerThanElectro) {
    // After a loud passage pulls the gain to about 0.6, quiet input lets it recover: with opto
    // over four times the release, with electro over a quarter of it.
    double recovered[2];
    for (int opto = 0; opto < 2; ++opto) {
        CCompressor c(DSPEngine());
        c.SetParam(CCompressor::IdThres, -20.0f);
        c.SetParam(CCompressor::IdRatio, 4.0f);
        c.SetParam(CCompressor::IdRelease, 1000.0f);
        c.SetParam(CCompressor::IdOpto, static_cast<float>(opto));
        std::vector<float> l(2000, 0.3f), r(2000, 0.3f);
        c.Process(l.data(), r.data(), 2000, 44100);
        const float g0 = c.BandGain(0);
        EXPECT_GT(g0, 0.5f);
        EXPECT_LT(g0, 0.8f);
        std::vector<float> q(1000, 0.001f), q2(1000, 0.001f);
        c.Process(q.data(), q2.data(), 1000, 44100);
        recovered[opto] = std::log((1.0 - c.BandGain(0)) / (1.0 - g0));
    }
    // k = 44,101: electro steps by 1/11,025, opto by 1/176,404 per sample.
    EXPECT_NEAR(recovered[0], 1000 * std::log(1 - 1.0 / 11025), 1e-3);
    EXPECT_NEAR(recovered[1], 1000 * std::log(1 - 1.0 / 176404), 1e-4);
}

TEST(Compressor, BandsAddBackToTheInputWithoutReduction) {
    auto l0 = Noise(12000, 3, 0.5f), r0 = Noise(12000, 4, 0.5f);
    for (float s1 : {100.0f, 300.0f, 900.0f})
        for (float s2 : {1000.0f, 6000.0f}) {
            CCompressor c(DSPEngine());
            c.SetParam(CCompressor::IdMulti, 1.0f);
            c.SetParam(CCompressor::IdThres, 0.0f);
            c.SetParam(CCompressor::IdSplit1, s1);
            c.SetParam(CCompressor::IdSplit2, s2);
            auto l = l0, r = r0;
            c.Process(l.data(), r.data(), 12000, 44100);
            float worst = 0;
            for (int i = 0; i < 12000; ++i) worst = std::max({worst, std::fabs(l[i] - l0[i]), std::fabs(r[i] - r0[i])});
            EXPECT_LT(worst, 1e-6f) << s1 << " / " << s2;
        }
}

TEST(Compressor, MultiBandReducesOnlyTheBandThatIsLoud) {
    CCompressor c(DSPEngine());
    c.SetParam(CCompressor::IdMulti, 1.0f);
    c.SetParam(CCompressor::IdThres, -20.0f);
    c.SetParam(CCompressor::IdRatio, 8.0f);
    std::vector<float> l(16384), r(16384);
    Sine(l, 10000, 0.8, 44100);
    r = l;
    c.Process(l.data(), r.data(), 16384, 44100);
    EXPECT_LT(c.MinimumGain(CCompressor::BandHigh), 0.5f);
    EXPECT_GT(c.MinimumGain(CCompressor::BandLow), 0.99f);
    // The splits are plain high-passes with their phase shift, so some treble is left in the mid
    // band; it is reduced less than the high band all the same.
    EXPECT_GT(c.MinimumGain(CCompressor::BandMid), c.MinimumGain(CCompressor::BandHigh));
    // Single mode sees the same tone as one band.
    c.SetParam(CCompressor::IdMulti, 0.0f);
    Sine(l, 10000, 0.8, 44100);
    r = l;
    c.Process(l.data(), r.data(), 16384, 44100);
    EXPECT_LT(c.MinimumGain(CCompressor::BandLow), 0.5f);
    EXPECT_EQ(c.MinimumGain(CCompressor::BandHigh), 1.0f);
}

TEST(Compressor, LongBlocksMatchShortOnesAndResetKeepsTheGains) {
    CCompressor a(DSPEngine()), b(DSPEngine());
    for (CCompressor* c : {&a, &b}) {
        c->SetParam(CCompressor::IdMulti, 1.0f);
        c->SetParam(CCompressor::IdThres, -12.0f);
        c->SetParam(CCompressor::IdAttack, 1.0f);
    }
    const int n = 40000; // longer than the band buffers
    auto l = Noise(n, 5, 0.9f), r = Noise(n, 6, 0.9f);
    auto l2 = l, r2 = r;
    a.Process(l.data(), r.data(), n, 48000);
    for (int at = 0; at < n; at += 8000) b.Process(l2.data() + at, r2.data() + at, 8000, 48000);
    EXPECT_EQ(l, l2);
    EXPECT_EQ(r, r2);
    const float g = a.BandGain(CCompressor::BandMid);
    EXPECT_LT(g, 1.0f);
    a.Reset();
    EXPECT_EQ(a.BandGain(CCompressor::BandMid), g);
}

TEST(Compressor, SwitchedOffBlockIsUntouched) {
    CCompressor c(DSPEngine());
    c.SetParam(CCompressor::IdThres, -50.0f);
    c.SetParam(CCompressor::IdMakeup, 10.0f);
    c.SetParam(CCompressor::IdOn, 0.0f);
    auto l = Noise(3000, 7, 1.0f), r = Noise(3000, 8, 1.0f);
    auto l0 = l, r0 = r;
    c.Process(l.data(), r.data(), 3000, 44100);
    EXPECT_EQ(std::memcmp(l.data(), l0.data(), l.size() * 4), 0);
    EXPECT_EQ(std::memcmp(r.data(), r0.data(), r.size() * 4), 0);
}

TEST(Compressor, MetersShowReductionAndDecay) {
    RecordingCanvas canvas(1024, 210);
    CCompressor c(DSPEngine());
    c.SetCanvas(&canvas);
    c.Layout(0, 140, 1023, 70);
    c.SetShown(true);
    // Meter area: mx = 320 + 180, my = 140 + 24, width 950 − 500 − 30.
    EXPECT_EQ(c.Meter(0).Left(), 500);
    EXPECT_EQ(c.Meter(2).Top(), 164 + 16);
    EXPECT_EQ(c.Meter(1).Width(), 420);
    c.SetParam(CCompressor::IdThres, -20.0f);
    c.SetParam(CCompressor::IdRatio, 10.0f);
    c.SetParam(CCompressor::IdAttack, 0.1f);
    std::vector<float> l(4096, 0.9f), r(4096, 0.9f);
    c.Process(l.data(), r.data(), 4096, 44100);
    const float redux = 1.0f - c.MinimumGain(0);
    c.RedrawMeters();
    for (int b = 0; b < 3; ++b) EXPECT_FLOAT_EQ(c.Meter(b).Value(), redux) << b; // Single: all show band 1
    c.DecayMeters();
    EXPECT_NEAR(c.MinimumGain(0), 1.0f - redux + 0.1f, 1e-6);
    for (int i = 0; i < 20; ++i) c.DecayMeters();
    EXPECT_EQ(c.MinimumGain(0), 1.0f);
    EXPECT_EQ(c.Meter(0).Value(), 0.0f);

    uint32_t bar, hold;
    CCompressor::MeterColours(SchemeYellow, bar, hold);
    c.SetScheme(SchemeYellow);
    EXPECT_EQ(c.Meter(1).BarColour(), Rgb(230, 216, 0));
    EXPECT_EQ(c.Meter(1).HoldColour(), Rgb(108, 130, 32));

    canvas.calls.clear();
    c.PaintAll();
    std::vector<std::string> texts;
    for (const DrawCall& t : canvas.Of("text")) texts.push_back(t.text);
    for (const char* want : {"Redux", "0dB", "-1", "-3", "-6", "-10", "-15", "Low", "Mid", "High"})
        EXPECT_NE(std::find(texts.begin(), texts.end(), want), texts.end()) << want;
    for (const DrawCall& t : canvas.Of("text"))
        if (t.text == "Redux") {
            EXPECT_TRUE(t.x == 500 && t.y == 150);
        }
}

TEST(Compressor, TransferCurveIsRedrawnOverTheOldOne) {
    LineCanvas canvas;
    CCompressor c(DSPEngine());
    c.SetCanvas(&canvas);
    c.Layout(0, 0, 1023, 70);
    c.SetShown(true);
    c.SetParam(CCompressor::IdThres, -30.0f);
    const CCompressor::Curve k = c.TransferCurve(-30.0f, 2.0f);
    EXPECT_EQ(k.x[0], 418);
    EXPECT_EQ(k.y[0], 56);
    EXPECT_EQ(k.x[1], 442);
    EXPECT_EQ(k.y[1], 32);
    EXPECT_EQ(k.x[2], 466);
    EXPECT_EQ(k.y[2], 20);
    c.SetScheme(SchemeGreen);
    c.Tick();
    ASSERT_EQ(canvas.lines.size(), 2u);
    EXPECT_EQ(canvas.lines[1].rgb, Rgb(0, 236, 83));
    EXPECT_EQ(canvas.lines[1].y1, 20);
    canvas.lines.clear();
    c.Tick(); // clean: nothing
    EXPECT_TRUE(canvas.lines.empty());
    c.SetParam(CCompressor::IdRatio, 40.0f);
    c.SetScheme(SchemeGreen);
    c.Tick();
    ASSERT_EQ(canvas.lines.size(), 4u);
    EXPECT_EQ(canvas.lines[0].rgb, Rgb(16, 35, 11)); // the old curve wiped first
    EXPECT_EQ(canvas.lines[1].y1, 20);
    EXPECT_EQ(canvas.lines[3].rgb, Rgb(0, 236, 83));
    EXPECT_EQ(canvas.lines[3].y1, static_cast<int>(56 - 48 * (1 - 0.5 + 0.5 / 40)));
}
