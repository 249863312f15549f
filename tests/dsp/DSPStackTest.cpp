#include "dsp/CDSPEngine.h"
#include "dsp/CDSPStack.h"
#include "dsp/CDitherEngine.h"
#include "dsp/CNumericInputElement.h"
#include "dsp/CToggleInputElement.h"
#include "dsp/CTubeAmp.h"
#include "library/CParamBlock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

CDitherEngine& SharedDither() {
    static CDitherEngine d(DSPEngine());
    return d;
}

std::vector<std::string> g_log;

// A processor that logs its calls and multiplies by a factor, so order shows in the result.
class LoggingProcessor : public CProcessor {
public:
    LoggingProcessor(int kind, const char* name, float factor) : CProcessor(kind), m_name(name), m_factor(factor) {
        AddControl(new CToggleInputElement("On", "Bypass", 1.0f), 0);
        AddControl(new CNumericInputElement("Gain", -15.0f, 15.0f, 0.0f), 9);
    }
    void Layout(int x, int y, int w, int h) override {
        static const int X[2] = {55, 315}, Y[2] = {25, 37};
        PlaceControls(x, y, w, h, X, Y);
    }
    void Process(float* l, float* r, int n, int) override {
        g_log.push_back(m_name + ".Process");
        if (Param(0) < 0.5f) return;
        for (int i = 0; i < n; ++i) l[i] *= m_factor, r[i] *= m_factor;
    }
    void Reset() override { g_log.push_back(m_name + ".Reset"); }
    void DecayMeters() override { ++decays; }
    void RedrawMeters() override { ++redraws; }
    int decays = 0, redraws = 0;

private:
    std::string m_name;
    float m_factor;
};

class FakeChain : public CEffectChain {
public:
    bool Rebuilding() const override { return rebuilding; }
    int Count() const override { return 2; }
    bool Bypassed(int i) const override { return bypassed[i]; }
    void Run(int i, float* inL, float* inR, float* outL, float* outR, int n) override {
        g_log.push_back("vst" + std::to_string(i));
        for (int k = 0; k < n; ++k) outL[k] = inL[k] + 1.0f, outR[k] = inR[k] + 1.0f;
    }
    void SetActive(int i, bool a) override { active[i] = a; }
    void Idle(int i) override { ++idles; }
    bool rebuilding = false;
    bool bypassed[2] = {false, false};
    bool active[2] = {false, false};
    int idles = 0;
};

struct StackFixture : ::testing::Test {
    StackFixture() {
        DSPEngine().AllocWorkBuffers();
        stack.SetEqualiser(&eq);
        stack.SetStereoImager(&imager);
        stack.SetCompressor(&comp);
        g_log.clear();
        amp.SetParam(CTubeAmp::IdValveMode, 0.0f); // "Digital": the limiter alone
    }
    CTubeAmp amp{DSPEngine(), SharedDither()};
    LoggingProcessor eq{KindEQ, "eq", 0.5f};
    LoggingProcessor imager{KindStereoImager, "imager", 0.5f};
    LoggingProcessor comp{KindCompressor, "comp", 0.5f};
    CDSPStack stack{DSPEngine(), SharedDither(), amp};
    FakeChain chain;

    std::vector<float> Block(int frames, float l, float r) {
        std::vector<float> b(2 * frames);
        for (int i = 0; i < frames; ++i) b[2 * i] = l, b[2 * i + 1] = r;
        return b;
    }
};

} // namespace

TEST_F(StackFixture, RunsEffectsThenEqImagerCompressorValveInThatOrder) {
    stack.SetEffectChain(&chain);
    chain.bypassed[1] = true;
    auto b = Block(64, 0.2f, -0.2f);
    ASSERT_TRUE(stack.ProcessBlock(b.data(), 64, 44100, false, 16));
    EXPECT_EQ(g_log, (std::vector<std::string>{"vst0", "eq.Process", "imager.Process", "comp.Process"}));
    // vst0 adds 1, the three processors halve: (0.2 + 1) / 8 = 0.15, within noise.
    EXPECT_NEAR(b[0], 0.15f, 1e-4);
    EXPECT_NEAR(b[1], 0.1f, 1e-4);
    // Both effects run: the swap leaves the result in the main pair again.
    chain.bypassed[1] = false;
    b = Block(64, 0.2f, -0.2f);
    stack.ProcessBlock(b.data(), 64, 44100, false, 16);
    EXPECT_NEAR(b[0], 2.2f / 8, 1e-4);
    // While the chain is rebuilt it is skipped.
    chain.rebuilding = true;
    g_log.clear();
    b = Block(64, 0.2f, -0.2f);
    stack.ProcessBlock(b.data(), 64, 44100, false, 16);
    EXPECT_EQ(g_log.front(), "eq.Process");
    EXPECT_NEAR(b[0], 0.025f, 1e-4);
}

TEST_F(StackFixture, SkipRulesPassTheBlockUntouched) {
    auto check = [&](bool rendering, bool expectRun) {
        auto b = Block(100, 0.3f, 0.1f);
        auto before = b;
        bool ran = stack.ProcessBlock(b.data(), 100, 44100, rendering, 16);
        EXPECT_EQ(ran, expectRun);
        EXPECT_EQ(std::memcmp(b.data(), before.data(), b.size() * 4) == 0, !expectRun);
    };
    check(false, true);
    stack.SetDryClone(true);
    check(true, false);
    stack.SetDryClone(false);
    amp.SetParam(CTubeAmp::IdBypassAll, 0.0f);
    check(false, false);
    amp.SetParam(CTubeAmp::IdBypassAll, 1.0f);
    stack.SetCompareHold(true);
    check(false, false);
    check(true, true); // a render ignores the compare hold
    stack.SetCompareHold(false);
    // Exact digital silence: no guard noise, no dither.
    amp.SetParam(CTubeAmp::IdDitherAmount, 2.0f);
    auto silent = Block(300, 0.0f, 0.0f);
    silent[7] = -0.0f;
    EXPECT_FALSE(stack.ProcessBlock(silent.data(), 300, 44100, false, 16));
    for (float v : silent) ASSERT_EQ(v, 0.0f);
}

TEST_F(StackFixture, BypassDspKeepsValveDitherAndClip) {
    stack.SetEffectChain(&chain);
    amp.SetParam(CTubeAmp::IdBypassDsp, 0.0f);
    amp.SetParam(CTubeAmp::IdMonoCheck, 1.0f);
    amp.SetParam(CTubeAmp::IdDitherAmount, 2.0f);
    auto b = Block(256, 0.4f, 0.2f);
    b[500] = 3.0f; // over full scale: the limiter and the clip still act
    ASSERT_TRUE(stack.ProcessBlock(b.data(), 256, 44100, false, 16));
    EXPECT_TRUE(g_log.empty());
    const float lsb = std::ldexp(1.0f, -15);
    EXPECT_NEAR(b[100], 0.3f, 2 * lsb);
    EXPECT_NE(b[100], 0.3f); // dither is there
    EXPECT_EQ(b[100] == b[101], false);
    for (float v : b) ASSERT_LE(std::fabs(v), 1.0f);
}

TEST_F(StackFixture, SwitchedOffProcessorsAndNoDitherLeaveOnlyGuardNoise) {
    // Processors switched off, valve "Digital" at unity, no dither chosen: the output differs
    // from the input only by the guard noise and the quarter-LSB of "NoDither".
    for (CProcessor* p :
         {static_cast<CProcessor*>(&eq), static_cast<CProcessor*>(&imager), static_cast<CProcessor*>(&comp)})
        p->SetParam(0, 0.0f);
    auto b = Block(1000, 0.25f, -0.5f);
    stack.ProcessBlock(b.data(), 1000, 44100, false, 16);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_NEAR(b[2 * i], 0.25f, std::ldexp(1.0f, -17) + std::ldexp(1.0f, -26));
        ASSERT_NEAR(b[2 * i + 1], -0.5f, std::ldexp(1.0f, -17) + std::ldexp(1.0f, -26));
    }
}

TEST_F(StackFixture, ChannelArraysAndLongBlocksTakeTheSamePath) {
    const int n = 40000; // longer than the work buffers: run in pieces
    std::vector<float> il(2 * n), l(n), r(n);
    for (int i = 0; i < n; ++i) {
        l[i] = il[2 * i] = 0.5f * std::sin(i * 0.01f);
        r[i] = il[2 * i + 1] = 0.5f * std::cos(i * 0.013f);
    }
    CTubeAmp amp2{DSPEngine(), SharedDither()};
    amp2.SetParam(CTubeAmp::IdValveMode, 1.0f);
    amp.SetParam(CTubeAmp::IdValveMode, 1.0f);
    // Separate dither engines so that both runs read the same noise.
    CDitherEngine d1(DSPEngine()), d2(DSPEngine());
    CDSPStack s1(DSPEngine(), d1, amp), s2(DSPEngine(), d2, amp2);
    ASSERT_TRUE(s1.ProcessBlock(il.data(), n, 44100, false, 16));
    ASSERT_TRUE(s2.ProcessChannels(l.data(), r.data(), n, 44100, false, 16));
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(il[2 * i], l[i]) << i;
        ASSERT_EQ(il[2 * i + 1], r[i]) << i;
    }
}

TEST_F(StackFixture, ResetGoesEqCompressorImagerValve) {
    stack.ResetAll();
    EXPECT_EQ(g_log, (std::vector<std::string>{"eq.Reset", "comp.Reset", "imager.Reset"}));
}

TEST_F(StackFixture, PanelTickGreysDecaysAndFallsOff) {
    stack.SetEffectChain(&chain);
    chain.bypassed[0] = true;
    stack.PanelTick(kTransportPlaying);
    EXPECT_FALSE(chain.active[0]);
    EXPECT_TRUE(chain.active[1]);
    EXPECT_EQ(chain.idles, 2);
    EXPECT_FALSE(eq.Greyed());
    EXPECT_EQ(comp.redraws, 1);
    EXPECT_EQ(imager.redraws, 1);
    // The compressor switched off: greyed, decaying, no meter redraw while playing.
    comp.SetParam(0, 0.0f);
    stack.PanelTick(kTransportPlaying);
    EXPECT_TRUE(comp.Greyed());
    EXPECT_EQ(comp.decays, 1);
    EXPECT_EQ(comp.redraws, 1);
    EXPECT_EQ(imager.redraws, 2);
    // Bypass Dsp greys every side processor and deactivates the effects.
    amp.SetParam(CTubeAmp::IdBypassDsp, 0.0f);
    stack.PanelTick(kTransportPlaying);
    EXPECT_TRUE(eq.Greyed());
    EXPECT_TRUE(imager.Greyed());
    EXPECT_FALSE(chain.active[1]);
    amp.SetParam(CTubeAmp::IdBypassDsp, 1.0f);
    comp.SetParam(0, 1.0f);
    stack.PanelTick(kTransportPlaying);
    EXPECT_FALSE(eq.Greyed());
    // After a stop the meters decay for 199 ticks, then rest.
    int eqDecays = eq.decays;
    for (int i = 0; i < 250; ++i) stack.PanelTick(kTransportStopped);
    EXPECT_EQ(eq.decays - eqDecays, 199);
    // Playing again ends the fall-off at once; a render tick does nothing at all.
    stack.PanelTick(kTransportPlaying);
    EXPECT_EQ(stack.FallOffCounter(), CDSPStack::kFallOffTicks);
    int idles = chain.idles;
    stack.PanelTick(kTransportRendering);
    EXPECT_EQ(chain.idles, idles);
}

TEST_F(StackFixture, StoreParametersAndApplyRoundTripThroughTheBlock) {
    CParamBlock block;
    block.Append(KindEQ, 9, 99.0f); // an old list of the same kind is replaced
    eq.SetParam(9, 4.5f);
    ASSERT_TRUE(eq.StoreParameters(block));
    ASSERT_TRUE(amp.StoreParameters(block));
    float v;
    ASSERT_TRUE(block.Lookup(KindEQ, 9, v));
    EXPECT_EQ(v, 4.5f);
    EXPECT_EQ(block.valueCounts[0], 2);
    EXPECT_EQ(block.ids[0], 0); // panel order
    EXPECT_EQ(block.ids[1], 9);
    ASSERT_TRUE(block.Lookup(KindValveAmp, CTubeAmp::IdRelease, v));
    EXPECT_EQ(v, 40.0f);
    eq.SetParam(9, -3.0f);
    imager.SetParam(9, 2.0f);
    eq.ApplyPreset(block);
    imager.ApplyPreset(block); // holds no imager list: unchanged
    EXPECT_EQ(eq.Param(9), 4.5f);
    EXPECT_FALSE(eq.FindControl(9)->HasRecall());
    EXPECT_EQ(imager.Param(9), 2.0f);
    eq.ApplySnap(block);
    EXPECT_EQ(eq.FindControl(9)->RecallValue(), 4.5f);
    CParamBlock big;
    big.Append(KindEQ, 9, 1000.0f); // values are clamped by the control
    eq.ApplyPreset(big);
    EXPECT_EQ(eq.Param(9), 15.0f);
}
