#include "RecordingCanvas.h"
#include "dsp/CDSPEngine.h"
#include "dsp/CDataInputElement.h"
#include "dsp/CDitherEngine.h"
#include "dsp/CTubeAmp.h"
#include "library/CParamBlock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

CDitherEngine& SharedDither() {
    static CDitherEngine d(DSPEngine());
    return d;
}

struct TubeAmpFixture : ::testing::Test {
    CTubeAmp amp{DSPEngine(), SharedDither()};
    void Digital() { amp.SetParam(CTubeAmp::IdValveMode, 0.0f); }
    std::vector<float> Sine(int n, float amplitude, float freq = 1000.0f, int fs = 44100) {
        std::vector<float> v(n);
        for (int i = 0; i < n; ++i) v[i] = amplitude * static_cast<float>(std::sin(2 * M_PI * freq * i / fs));
        return v;
    }
};

float Peak(const std::vector<float>& v, int from = 0) {
    float m = 0.0f;
    for (size_t i = from; i < v.size(); ++i) m = std::fmax(m, std::fabs(v[i]));
    return m;
}

} // namespace

TEST_F(TubeAmpFixture, DigitalAtUnityPassesAudioBitExactOnceTheGainHasRecovered) {
    Digital();
    // A burst above full scale pulls the gain down first.
    std::vector<float> l(4096, 1.5f), r(4096, -1.2f);
    amp.Process(l.data(), r.data(), 4096, 44100);
    EXPECT_LT(amp.LimiterGain(), 1.0f);
    EXPECT_NEAR(l[10], 1.0f, 1e-6);
    // Quiet audio lets it recover completely, not to a hair below unity.
    std::vector<float> q(44100 * 3, 0.0f);
    std::vector<float> q2 = q;
    amp.Process(q.data(), q2.data(), static_cast<int>(q.size()), 44100);
    EXPECT_EQ(amp.LimiterGain(), 1.0f);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> a(9000), b(9000);
    for (int i = 0; i < 9000; ++i) a[i] = d(rng), b[i] = d(rng);
    std::vector<float> a0 = a, b0 = b;
    amp.Process(a.data(), b.data(), 9000, 44100);
    EXPECT_EQ(0, std::memcmp(a.data(), a0.data(), sizeof(float) * 9000));
    EXPECT_EQ(0, std::memcmp(b.data(), b0.data(), sizeof(float) * 9000));
}

TEST_F(TubeAmpFixture, ThresholdLiftsQuietAudioAndHoldsPeaksAtTheCeiling) {
    Digital();
    amp.SetParam(CTubeAmp::IdThres, -6.0f);
    amp.SetParam(CTubeAmp::IdCeiling, -1.0f);
    const float tenDb = std::pow(10.0f, -10.0f / 20.0f);
    std::vector<float> l = Sine(44100, tenDb), r = l;
    amp.Process(l.data(), r.data(), 44100, 44100);
    EXPECT_NEAR(20.0f * std::log10(Peak(l) / tenDb), 5.0f, 0.01f);
    EXPECT_FALSE(amp.LimitingLamp());
    // A louder sine: its peaks land at −1 dBFS.
    std::vector<float> hl = Sine(44100, 0.9f), hr = hl;
    amp.Process(hl.data(), hr.data(), 44100, 44100);
    EXPECT_TRUE(amp.LimitingLamp());
    EXPECT_NEAR(Peak(hl), std::pow(10.0f, -1.0f / 20.0f), 1e-4);
    EXPECT_LE(Peak(hl), std::pow(10.0f, -1.0f / 20.0f) * 1.00001f);
}

TEST_F(TubeAmpFixture, BurstIsCaughtOnItsFirstSampleAndReleaseTakesItsTime) {
    Digital();
    amp.SetParam(CTubeAmp::IdThres, -6.0f);
    amp.SetParam(CTubeAmp::IdRelease, 100.0f);
    const int fs = 48000;
    std::vector<float> l(1000, 0.1f), r(1000, 0.1f);
    l[500] = 1.0f; // one sample 6 dB over the threshold
    amp.Process(l.data(), r.data(), 1000, fs);
    const float threshold = std::pow(10.0f, -6.0f / 20.0f);
    EXPECT_NEAR(l[500], 1.0f, 1e-5); // held at the ceiling (0 dB) on the very first sample
    // After the burst the gain climbs back by 1/e per release time.
    const int rSamples = static_cast<int>(fs * 0.001 * 100 + 1);
    std::vector<float> tl(rSamples, 0.1f), tr(rSamples, 0.1f);
    amp.Process(tl.data(), tr.data(), rSamples - 499, fs);
    // 499 samples of recovery already happened in the first block.
    float gap = 1.0f - amp.LimiterGain();
    EXPECT_NEAR(gap / (1.0f - threshold), std::exp(-1.0f), 0.01f);
}

TEST_F(TubeAmpFixture, MonoCheckFoldsBothChannelsToTheirMean) {
    Digital();
    amp.SetParam(CTubeAmp::IdMonoCheck, 1.0f);
    float l[3] = {0.5f, -0.2f, 0.0f}, r[3] = {0.1f, 0.2f, 0.3f};
    amp.Process(l, r, 3, 44100);
    EXPECT_FLOAT_EQ(l[0], 0.3f);
    EXPECT_FLOAT_EQ(r[0], 0.3f);
    EXPECT_FLOAT_EQ(l[1], 0.0f);
    EXPECT_FLOAT_EQ(r[2], 0.15f);
}

TEST_F(TubeAmpFixture, ValveStageSaturatesLoudAudioKeepsQuietAudioAndFillsTheMeters) {
    std::vector<float> l = Sine(8192, 0.001f, 200.0f), r = Sine(8192, 0.001f, 5000.0f);
    std::vector<float> l0 = l, r0 = r;
    amp.Process(l.data(), r.data(), 8192, 44100);
    for (int i = 0; i < 8192; ++i) {
        ASSERT_NEAR(l[i], l0[i], 1e-6);
        ASSERT_NEAR(r[i], r0[i], 1e-6);
    }
    amp.SetParam(CTubeAmp::IdValveGain, 6.0f);
    std::vector<float> hl = Sine(8192, 0.9f, 100.0f), hr = Sine(8192, 0.9f, 8000.0f);
    amp.Process(hl.data(), hr.data(), 8192, 44100);
    EXPECT_LE(Peak(hl), 1.0f);
    EXPECT_GT(amp.ValvePeak(0), 1.5f); // low band of the left: the 100 Hz tone at drive 2
    EXPECT_GT(amp.ValvePeak(3), 1.5f); // high band of the right
    EXPECT_LT(amp.ValvePeak(1), 0.5f);
    EXPECT_EQ(CTubeAmp::MeterIndex(2.5f), 5);
    EXPECT_EQ(CTubeAmp::MeterIndex(0.2f), 0);
    EXPECT_EQ(CTubeAmp::MeterIndex(1.0f), 2);
    // Meters fall by 0.3 per decay and vanish below 0.1.
    float before = amp.ValvePeak(0);
    amp.DecayMeters();
    EXPECT_NEAR(amp.ValvePeak(0), before - 0.3f, 1e-6);
    for (int i = 0; i < 10; ++i) amp.DecayMeters();
    EXPECT_EQ(amp.ValvePeak(0), 0.0f);
}

TEST_F(TubeAmpFixture, DitherWordLengthFollowsTheRender) {
    float l[4] = {0.1f, 0.1f, 0.1f, 0.1f}, r[4] = {0.1f, 0.1f, 0.1f, 0.1f};
    amp.SetParam(CTubeAmp::IdDitherAmount, 2.0f);
    amp.SetRenderState(false, 24);
    amp.Process(l, r, 4, 44100);
    EXPECT_EQ(amp.DitherWordLength(), 16);
    EXPECT_EQ(amp.DitherAmount(), 2.0f);
    amp.SetRenderState(true, 16);
    amp.Process(l, r, 4, 44100);
    EXPECT_EQ(amp.DitherWordLength(), 16);
    amp.SetRenderState(true, 24);
    amp.Process(l, r, 4, 44100);
    EXPECT_EQ(amp.DitherWordLength(), 24);
    EXPECT_EQ(amp.DitherAmount(), 2.0f);
    amp.SetRenderState(true, 32);
    amp.Process(l, r, 4, 44100);
    EXPECT_EQ(amp.DitherWordLength(), 32);
    EXPECT_EQ(amp.DitherAmount(), 0.0f);
    amp.SetRenderState(false, 16);
    amp.SetParam(CTubeAmp::IdDitherAmount, 7.0f); // any other position counts as 1bit
    amp.Process(l, r, 4, 44100);
    EXPECT_EQ(amp.DitherAmount(), 1.0f);
}

TEST_F(TubeAmpFixture, PresetsAndSnapsLeaveTheMasterSwitchesAlone) {
    amp.SetParam(CTubeAmp::IdBypassAll, 0.0f);
    amp.SetParam(CTubeAmp::IdMonoCheck, 1.0f);
    CParamBlock flat;
    const float entries[][2] = {{0, 1}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {9, 0}, {10, 50}, {11, 0}, {12, 0}, {13, 0}};
    for (auto& e : entries) flat.Append(KindValveAmp, static_cast<int>(e[0]), e[1]);
    flat.Append(KindValveAmp, 14, 0.0f);
    amp.ApplySnap(flat);
    EXPECT_EQ(amp.Param(CTubeAmp::IdBypassAll), 0.0f);
    EXPECT_EQ(amp.Param(CTubeAmp::IdBypassDsp), 1.0f);
    EXPECT_EQ(amp.Param(CTubeAmp::IdMonoCheck), 1.0f);
    EXPECT_EQ(amp.Param(CTubeAmp::IdRelease), 50.0f);
    EXPECT_FALSE(amp.ValveOn());
    EXPECT_EQ(amp.FindControl(CTubeAmp::IdRelease)->RecallValue(), 50.0f);
    EXPECT_FALSE(amp.FindControl(CTubeAmp::IdBypassAll)->HasRecall());
    CParamBlock p;
    p.Append(KindValveAmp, 10, 120.0f);
    p.Append(KindValveAmp, 2, 0.0f);
    amp.ApplyPreset(p);
    EXPECT_EQ(amp.Param(CTubeAmp::IdRelease), 120.0f);
    EXPECT_EQ(amp.FindControl(CTubeAmp::IdRelease)->RecallValue(), 50.0f);
    EXPECT_EQ(amp.Param(CTubeAmp::IdBypassDsp), 1.0f);
    EXPECT_TRUE(amp.Dirty());
}

TEST_F(TubeAmpFixture, GreyedGroupsFollowTheSwitches) {
    RecordingCanvas canvas(1024, 70);
    amp.SetCanvas(&canvas);
    amp.SetShown(true);
    amp.Layout(0, 0, 1024, 70);
    amp.PaintAll();
    auto ctl = [&](int id) { return amp.FindControl(id); };
    EXPECT_FALSE(ctl(CTubeAmp::IdCeiling)->Greyed());
    EXPECT_TRUE(ctl(CTubeAmp::IdDitherType)->Greyed()); // no dither chosen
    // Choosing an amount on the panel wakes type and shaping at once.
    CDataInputElement* amount = ctl(CTubeAmp::IdDitherAmount);
    EXPECT_TRUE(amp.MouseDown(0, amount->X() + 40, amount->Y() + 5));
    amp.MouseUp();
    EXPECT_EQ(amount->Value(), 1.0f);
    EXPECT_FALSE(ctl(CTubeAmp::IdDitherType)->Greyed());
    EXPECT_FALSE(ctl(CTubeAmp::IdNoiseShaping)->Greyed());

    amp.SetParam(CTubeAmp::IdValveMode, 0.0f);
    amp.UpdateGreyedGroups();
    EXPECT_TRUE(amp.GroupGreyed(CTubeAmp::GroupValve));
    EXPECT_TRUE(ctl(CTubeAmp::IdValveGain)->Greyed());
    EXPECT_FALSE(ctl(CTubeAmp::IdThres)->Greyed());

    amp.SetParam(CTubeAmp::IdBypassAll, 0.0f);
    amp.UpdateGreyedGroups();
    for (int id : {4, 9, 10, 12, 14, 11, 13}) EXPECT_TRUE(ctl(id)->Greyed()) << id;
    EXPECT_TRUE(amp.GroupGreyed(CTubeAmp::GroupDsp));
    EXPECT_FALSE(ctl(CTubeAmp::IdBypassAll)->Greyed());
    // Placement: X in 1/1024 of the width.
    EXPECT_EQ(ctl(CTubeAmp::IdCeiling)->X(), 690);
    EXPECT_EQ(ctl(CTubeAmp::IdMonoCheck)->Y(), 30);
    // Meters: four columns and the limiting lamp.
    canvas.calls.clear();
    amp.RedrawMeters();
    EXPECT_EQ(canvas.Of("meter").size(), 4u);
    EXPECT_EQ(canvas.Of("lamp").size(), 1u);
    EXPECT_EQ(canvas.Of("lamp")[0].x, 480);
}
