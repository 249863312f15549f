// The equaliser, stereo imager and compressor in the stack: order, resets and panel ticks.
#include "dsp/CCompressor.h"
#include "dsp/CDSPEngine.h"
#include "dsp/CDSPStack.h"
#include "dsp/CDitherEngine.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CStereoImager.h"
#include "dsp/CTubeAmp.h"

#include <gtest/gtest.h>

#include "support/WiredChain.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

struct Chain : WiredChain {
    Chain() {
        amp.SetParam(CTubeAmp::IdValveMode, 0.0f); // digital: the valve stage stays out of the way
    }
};

} // namespace

TEST(Chain, ImagerRunsAfterTheEqualiserAndBeforeTheCompressor) {
    // The imager swaps the channels and the EQ lowers the level; the compressor's make-up,
    // applied last, brings it back.
    Chain c;
    c.comp.SetParam(CCompressor::IdOn, 0.0f);
    c.imager.SetParam(CStereoImager::IdCrossMix, 99.9f); // swap
    c.eq.SetParam(CParaEQ4B::IdOutput, -6.0f);
    const int n = 4096;
    std::vector<float> block(2 * n);
    for (int i = 0; i < n; ++i) block[2 * i] = 0.5f, block[2 * i + 1] = 0.0f;
    c.stack.ProcessBlock(block.data(), n, 44100, true, 32);
    // Left went to the right and was lowered by the EQ.
    EXPECT_NEAR(block[2 * (n - 1)], 0.0f, 1e-4);
    EXPECT_NEAR(block[2 * (n - 1) + 1], 0.5f * std::pow(10.0, -6 / 20.0), 2e-3);

    // With the compressor on, the make-up comes last: a make-up of +6 dB restores the level.
    c.comp.SetParam(CCompressor::IdOn, 1.0f);
    c.comp.SetParam(CCompressor::IdThres, 0.0f);
    c.comp.SetParam(CCompressor::IdMakeup, 6.0f);
    for (int i = 0; i < n; ++i) block[2 * i] = 0.5f, block[2 * i + 1] = 0.0f;
    c.stack.ProcessBlock(block.data(), n, 44100, true, 32);
    EXPECT_NEAR(block[2 * (n - 1) + 1], 0.5f, 3e-3);
}

TEST(Chain, BypassDspSkipsAllThreeAndPanelTicksGreyThem) {
    Chain c;
    c.eq.SetParam(CParaEQ4B::IdOutput, -20.0f);
    c.amp.SetParam(CTubeAmp::IdBypassDsp, 0.0f);
    const int n = 1024;
    std::vector<float> block(2 * n, 0.25f);
    c.stack.ProcessBlock(block.data(), n, 44100, true, 32);
    EXPECT_NEAR(block[100], 0.25f, 1e-4);

    c.stack.PanelTick(kTransportPlaying);
    EXPECT_TRUE(c.eq.Greyed());
    EXPECT_TRUE(c.imager.Greyed());
    EXPECT_TRUE(c.comp.Greyed());
    c.amp.SetParam(CTubeAmp::IdBypassDsp, 1.0f);
    c.comp.SetParam(CCompressor::IdOn, 0.0f);
    c.stack.PanelTick(kTransportPlaying);
    EXPECT_FALSE(c.eq.Greyed());
    EXPECT_FALSE(c.imager.Greyed());
    EXPECT_TRUE(c.comp.Greyed());
}

TEST(Chain, ResetAllClearsFiltersButKeepsTheDelayLine) {
    Chain c;
    c.imager.SetParam(CStereoImager::IdSpatialize, 1.0f);
    c.eq.SetParam(CParaEQ4B::IdLowCut, 100.0f);
    const int n = 2048;
    std::vector<float> block(2 * n, 0.0f);
    block[2 * (n - 100) + 1] = 0.5f;
    c.stack.ProcessBlock(block.data(), n, 44100, true, 32);
    c.stack.ResetAll();
    EXPECT_EQ(c.eq.History(0, CParaEQ4B::LowCut).y1, 0.0f);
    std::fill(block.begin(), block.end(), 0.0f);
    block[0] = 1e-3f; // not silent, so the stack runs
    c.stack.ProcessBlock(block.data(), n, 44100, true, 32);
    // The click left in the line comes out early in the new playback (low cut shapes it).
    float peak = 0;
    int at = -1;
    for (int i = 0; i < 300; ++i)
        if (std::fabs(block[2 * i + 1]) > peak) peak = std::fabs(block[2 * i + 1]), at = i;
    EXPECT_EQ(at, 222 - 100);
    EXPECT_GT(peak, 0.3f);
}
