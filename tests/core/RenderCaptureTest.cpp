// A render's capture given back through the stack's tail is the whole chain's render at the
// gain of the moment, block for block and bit for bit; a capture that did not take the whole
// render is not used.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/RenderCapture.h"
#include "support/WiredChain.h"

namespace {

constexpr int kRate = 48000;
// Blocks as the engine hands them over, a silent one among them (passed on untouched).
const int kBlocks[] = {4096, 4096, 777, 16384, 1};

std::vector<std::vector<float>> Blocks() {
    std::vector<std::vector<float>> blocks;
    int64_t at = 0;
    for (size_t b = 0; b < std::size(kBlocks); ++b) {
        std::vector<float> x(2 * static_cast<size_t>(kBlocks[b]), 0.0f);
        for (int i = 0; i < kBlocks[b] && b != 1; ++i, ++at) {
            const double t = static_cast<double>(at) / kRate;
            x[2 * i] = static_cast<float>(0.8 * std::sin(2 * M_PI * 180 * t) * std::sin(2 * M_PI * 1.3 * t));
            x[2 * i + 1] = static_cast<float>(0.7 * std::sin(2 * M_PI * 2500 * t + 0.4));
        }
        blocks.push_back(x);
    }
    return blocks;
}

// The whole chain over the blocks from rest, in place.
void RunWhole(WiredChain& chain, std::vector<std::vector<float>>& blocks, CStackCapture* capture) {
    chain.stack.ClearAll();
    chain.stack.SetCapture(capture);
    for (auto& b : blocks) chain.stack.ProcessBlock(b.data(), static_cast<int>(b.size() / 2), kRate, true, 24);
    chain.stack.SetCapture(nullptr);
}

} // namespace

TEST(RenderCapture, ReplayedAtAnotherGainItIsTheWholeChainsRender) {
    WiredChain chain;
    chain.amp.SetParam(CTubeAmp::IdValveMode, 1.0f);
    chain.amp.SetParam(CTubeAmp::IdValveGain, 4.0f);
    chain.amp.SetParam(CTubeAmp::IdThres, -6.0f); // the limiter acts
    chain.amp.SetParam(CTubeAmp::IdDitherAmount, 2.0f);
    chain.amp.SetParam(CTubeAmp::IdDitherType, 1.0f);
    chain.amp.SetParam(CTubeAmp::IdNoiseShaping, 1.0f);

    std::vector<std::vector<float>> measured = Blocks();
    RenderCapture capture;
    RunWhole(chain, measured, &capture);
    int64_t frames = 0;
    for (int n : kBlocks) frames += n;
    capture.Finish(frames);
    ASSERT_TRUE(capture.Usable()) << "no temporary file could be made";

    for (const float gain : {1.0f, 2.5f, 0.3f}) {
        chain.amp.SetLoudnessGain(gain, 0.9f);
        std::vector<std::vector<float>> whole = Blocks();
        RunWhole(chain, whole, nullptr);
        chain.stack.ClearAll();
        ASSERT_TRUE(capture.Rewind());
        std::vector<float> out(2 * 16384);
        for (size_t b = 0; b < whole.size(); ++b) {
            ASSERT_EQ(capture.ReplayBlock(chain.stack, kRate, 24, out.data()), kBlocks[b]) << b;
            out.resize(whole[b].size());
            EXPECT_TRUE(out == whole[b]) << "block " << b << " at gain " << gain;
            out.resize(2 * 16384);
        }
        EXPECT_EQ(capture.ReplayBlock(chain.stack, kRate, 24, out.data()), 0);
    }
    chain.amp.SetLoudnessGain(1.0f);
}

TEST(RenderCapture, ACaptureOfPartOfTheRenderIsNotUsed) {
    WiredChain chain;
    std::vector<std::vector<float>> blocks = Blocks();
    RenderCapture capture;
    RunWhole(chain, blocks, &capture);
    capture.Finish(12345); // the render stopped early, or ran on past what was asked
    EXPECT_FALSE(capture.Usable());
    EXPECT_FALSE(capture.Rewind());
    std::vector<float> out(2 * 16384);
    EXPECT_EQ(capture.ReplayBlock(chain.stack, kRate, 24, out.data()), -1);
}
