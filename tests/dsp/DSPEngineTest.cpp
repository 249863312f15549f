#include "dsp/CDSPEngine.h"

#include <gtest/gtest.h>

#include "support/Signals.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

std::vector<float> RandomData(size_t n, uint32_t seed, float scale) { return Noise(n, seed, scale); }

bool SameBits(const float* a, const float* b, int n) { return std::memcmp(a, b, sizeof(float) * n) == 0; }

// Runs op on copies of the same data with each path and demands identical bits.
template <typename Op> void ExpectPathsAgree(Op op, int n, int offset, uint32_t seed, float scale) {
    CDSPEngine& e = DSPEngine();
    std::vector<float> base = RandomData(n + 8, seed, scale);
    std::vector<float> other = RandomData(n + 8, seed + 1, scale);
    std::vector<float> plain = base, simd = base, plain2 = other, simd2 = other;
    e.UseSSE(0);
    float pPeak = op(plain.data() + offset, plain2.data() + offset, n);
    e.UseSSE(1);
    float sPeak = op(simd.data() + offset, simd2.data() + offset, n);
    e.UseSSE(0);
    EXPECT_TRUE(SameBits(plain.data(), simd.data(), n + 8)) << "n=" << n << " offset=" << offset;
    EXPECT_TRUE(SameBits(plain2.data(), simd2.data(), n + 8)) << "n=" << n << " offset=" << offset;
    EXPECT_EQ(pPeak, sPeak) << "n=" << n << " offset=" << offset;
}

} // namespace

TEST(DSPEngine, PlainAndSimdPathsAgreeOnOddLengthsAndMisalignedStarts) {
    if (!DSPEngine().SSESupport()) GTEST_SKIP() << "no SSE2 on this processor";
    CDSPEngine& e = DSPEngine();
    const int lengths[] = {1, 3, 7, 17, 255, 1001, 4099};
    uint32_t seed = 7;
    for (int n : lengths) {
        for (int offset = 0; offset < 4; ++offset) {
            ++seed;
            ExpectPathsAgree(
                [&](float* a, float* b, int k) {
                    e.Sum(a, b, k);
                    return 0.0f;
                },
                n, offset, seed, 1.0f);
            ExpectPathsAgree(
                [&](float* a, float* b, int k) {
                    e.Sub(a, b, k);
                    return 0.0f;
                },
                n, offset, seed, 1.0f);
            ExpectPathsAgree(
                [&](float* a, float*, int k) {
                    e.Scale(a, k, 0.3f);
                    return 0.0f;
                },
                n, offset, seed, 1.0f);
            ExpectPathsAgree(
                [&](float* a, float*, int k) {
                    e.ClipAtDb(a, k, 0.0f);
                    return 0.0f;
                },
                n, offset, seed, 3.0f);
            ExpectPathsAgree(
                [&](float* a, float*, int k) {
                    float peak = -1.0f;
                    e.Valve(a, k, 44100, 1.7f, &peak);
                    return peak;
                },
                n, offset, seed, 2.0f);
            ExpectPathsAgree(
                [&](float* a, float* b, int k) {
                    float gain = 1.0f, scratch = 0.0f, minGain = 1.0f;
                    e.Compress(a, b, k, {&gain, &scratch, &minGain}, {0.3f, 45.0f, 2000.0f, 3.0f, true});
                    return gain + minGain * 10.0f + scratch * 100.0f;
                },
                n, offset, seed, 1.5f);
        }
    }
}

TEST(DSPEngine, ClipAndValveHandleNonFiniteInputAlikeOnBothPaths) {
    CDSPEngine& e = DSPEngine();
    const float bad[5] = {NAN, INFINITY, -INFINITY, 1e30f, -1e30f};
    for (uint8_t sse : {0, 1}) {
        e.UseSSE(sse);
        float clip[8], valve[8];
        for (int i = 0; i < 8; ++i) clip[i] = valve[i] = bad[i % 5];
        e.ClipAtDb(clip, 8, 0.0f);
        float peak = 0.0f;
        e.Valve(valve, 8, 48000, 1.0f, &peak);
        for (int i = 0; i < 8; ++i) {
            EXPECT_TRUE(std::fabs(clip[i]) <= 1.0f) << i;
            EXPECT_TRUE(std::fabs(valve[i]) <= 1.0f) << i;
        }
        EXPECT_TRUE(std::isfinite(peak));
    }
    e.UseSSE(0);
}

TEST(DSPEngine, ClipAtDbLimitsToTheCeiling) {
    CDSPEngine& e = DSPEngine();
    float b[4] = {1.5f, -2.0f, 0.25f, -0.999f};
    e.ClipAtDb(b, 4, 0.0f);
    EXPECT_EQ(b[0], 1.0f);
    EXPECT_EQ(b[1], -1.0f);
    EXPECT_EQ(b[2], 0.25f);
    EXPECT_EQ(b[3], -0.999f);
    float c[2] = {1.0f, -1.0f};
    e.ClipAtDb(c, 2, -6.0f);
    EXPECT_NEAR(c[0], 0.501187f, 1e-5);
    EXPECT_NEAR(c[1], -0.501187f, 1e-5);
}

TEST(DSPEngine, ValveCurveIsMonotonicBoundedAndNearlyLinearWhenQuiet) {
    float prev = -2.0f;
    for (float u = -50.0f; u <= 50.0f; u += 0.01f) {
        float y = ValveCurve(u);
        EXPECT_GE(y, prev) << u;
        EXPECT_LE(std::fabs(y), 1.0f) << u;
        EXPECT_EQ(ValveCurve(-u), -y) << u;
        prev = y;
    }
    EXPECT_NEAR(ValveCurve(0.01f), 0.01f, 1e-9);
    EXPECT_NEAR(ValveCurve(0.1f), 0.1f, 1e-5);
    EXPECT_GT(ValveCurve(1e7f), 0.999f);
    // The peak is the block's largest |sample × drive|, before shaping.
    float b[3] = {0.1f, -0.5f, 0.25f};
    float peak = -1.0f;
    DSPEngine().Valve(b, 3, 44100, 2.0f, &peak);
    EXPECT_FLOAT_EQ(peak, 1.0f);
    EXPECT_FLOAT_EQ(b[1], ValveCurve(-1.0f));
}

TEST(DSPEngine, CompressSettlesOnTheLinearRatioRuleAndTracksItsMinimum) {
    CDSPEngine& e = DSPEngine();
    std::vector<float> l(20000, 1.0f), r(20000, 1.0f);
    float gain = 1.0f, scratch = 0.0f, minGain = 1.0f;
    // T = 0.5, 2:1 on the linear level: (0.5 + 0.5 / 2) / 1 = 0.75, not the 0.707 of a dB rule.
    e.Compress(l.data(), r.data(), 20000, {&gain, &scratch, &minGain}, {0.5f, 10.0f, 1000.0f, 2.0f, false});
    EXPECT_NEAR(gain, 0.75f, 1e-4);
    EXPECT_NEAR(l.back(), 0.75f, 1e-4);
    EXPECT_NEAR(scratch, 0.75f, 1e-6);
    EXPECT_LE(minGain, gain);
    // Ratio 1 wants no reduction anywhere.
    std::vector<float> q(100, 0.9f), q2(100, -0.9f);
    gain = 1.0f;
    minGain = 1.0f;
    e.Compress(q.data(), q2.data(), 100, {&gain, &scratch, &minGain}, {0.1f, 10.0f, 1000.0f, 1.0f, false});
    EXPECT_EQ(gain, 1.0f);
    EXPECT_EQ(q[50], 0.9f);
}

TEST(DSPEngine, CompressReleasesFourTimesSlowerWithOptoAndFasterWithout) {
    CDSPEngine& e = DSPEngine();
    auto recovered = [&](uint8_t opto) {
        std::vector<float> l(100, 0.01f), r(100, 0.01f);
        float gain = 0.6f, scratch = 0.0f, minGain = 1.0f;
        e.Compress(l.data(), r.data(), 100, {&gain, &scratch, &minGain}, {0.5f, 10.0f, 400.0f, 2.0f, opto != 0});
        return gain - 0.6f;
    };
    const float plain = 1.0f - std::pow(1.0f - 1.0f / 400.0f, 100.0f);
    EXPECT_NEAR(recovered(1), 0.4f * (1.0f - std::pow(1.0f - 1.0f / 1600.0f, 100.0f)), 1e-4);
    EXPECT_NEAR(recovered(0), 0.4f * (1.0f - std::pow(1.0f - 1.0f / 100.0f, 100.0f)), 1e-4);
    EXPECT_LT(recovered(1), 0.4f * plain);
    EXPECT_GT(recovered(0), 0.4f * plain);
}

TEST(DSPEngine, AllocMemIsAlignedZeroedAndWorkBuffersComeInFour) {
    CDSPEngine& e = DSPEngine();
    for (size_t size : {1u, 3u, 65536u, 100000u}) {
        void* p = e.AllocMem(size);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
        for (size_t i = 0; i < size; ++i) ASSERT_EQ(static_cast<unsigned char*>(p)[i], 0);
        e.FreeMem(p);
    }
    std::string message;
    EXPECT_TRUE(e.Load(message));
    ASSERT_TRUE(e.AllocWorkBuffers());
    for (int i = 0; i < CDSPEngine::kWorkBuffers; ++i) EXPECT_NE(e.WorkBuffer(i), nullptr);
    EXPECT_EQ(e.WorkBuffer(4), nullptr);
}
