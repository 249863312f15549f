// A chain cleared with ClearAll processes a block exactly as a chain that never ran: the
// compressor's envelope, the limiter's gain and the imager's delay line of the run before are
// gone. ResetAll alone (the start of every playback) keeps them.
#include <gtest/gtest.h>

#include <vector>

#include "support/WiredChain.h"

namespace {

void Configure(WiredChain& c) {
    c.comp.SetParam(CCompressor::IdOn, 1.0f);
    c.comp.SetParam(CCompressor::IdThres, -24.0f);
    c.imager.SetParam(CStereoImager::IdSpatialize, 1.0f);
    c.imager.SetParam(CStereoImager::IdCrossMix, 30.0f);
    c.amp.SetParam(CTubeAmp::IdThres, -12.0f);
}

std::vector<float> Block(float amplitude, int seed) {
    std::vector<float> b(2 * 4096);
    uint32_t x = static_cast<uint32_t>(seed) * 2654435761u + 1u;
    for (float& v : b) {
        x = x * 1664525u + 1013904223u;
        v = amplitude * (static_cast<float>(x >> 8) / 8388608.0f - 1.0f);
    }
    return b;
}

} // namespace

TEST(ClearState, AClearedChainSoundsLikeOneThatNeverRan) {
    WiredChain used, fresh;
    Configure(used);
    Configure(fresh);
    const std::vector<float> loud = Block(0.99f, 1), quiet = Block(0.2f, 2);

    // The run before: loud enough to pull the compressor and the limiter down.
    std::vector<float> b = loud;
    used.stack.ResetAll();
    for (int i = 0; i < 8; ++i) {
        b = loud;
        used.stack.ProcessBlock(b.data(), 4096, 44100, true, 32);
    }

    std::vector<float> want = quiet;
    fresh.stack.ResetAll();
    fresh.stack.ProcessBlock(want.data(), 4096, 44100, true, 32);

    std::vector<float> kept = quiet;
    used.stack.ResetAll();
    used.stack.ProcessBlock(kept.data(), 4096, 44100, true, 32);
    EXPECT_NE(kept, want); // the playback reset keeps envelopes and the delayed audio

    for (int i = 0; i < 8; ++i) {
        b = loud;
        used.stack.ProcessBlock(b.data(), 4096, 44100, true, 32);
    }
    std::vector<float> got = quiet;
    used.stack.ClearAll();
    used.stack.ResetAll();
    used.stack.ProcessBlock(got.data(), 4096, 44100, true, 32);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], want[i]) << i;
}
