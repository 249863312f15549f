#include "dsp/CDSPEngine.h"
#include "dsp/CDitherEngine.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

CDitherEngine& Dither() {
    static CDitherEngine d(DSPEngine());
    return d;
}

float MaxAbs(const float* p, int n) {
    float m = 0.0f;
    for (int i = 0; i < n; ++i) m = std::fmax(m, std::fabs(p[i]));
    return m;
}

} // namespace

TEST(DitherEngine, TablesFollowTheDefaultRandomSequence) {
    CDitherEngine& d = Dither();
    ASSERT_TRUE(d.Ok());
    // The unseeded 15-bit C library sequence begins 41, 18467, 6334, 26500.
    const int first[4] = {41, 18467, 6334, 26500};
    for (int i = 0; i < 2; ++i) {
        float u = static_cast<float>(first[2 * i]) / 32767.0f;
        float u2 = static_cast<float>(first[2 * i + 1]) / 32767.0f;
        EXPECT_EQ(d.WhiteTable()[i], u - 0.5f);
        EXPECT_EQ(d.TriangularTable()[i], u2 + (u - 0.5f) - 0.5f);
    }
    // The guard noise stays at or below 2^-27 everywhere.
    EXPECT_LE(MaxAbs(d.GuardBuffer(), CDitherEngine::kTableSize), std::ldexp(1.0f, -27));
    EXPECT_GT(MaxAbs(d.GuardBuffer(), CDitherEngine::kTableSize), std::ldexp(1.0f, -28));
}

TEST(DitherEngine, MagnitudePerAmountTypeShapingAndWordLength) {
    CDitherEngine& d = Dither();
    const int n = CDitherEngine::kTableSize;
    struct Case {
        int type, shaping, word;
        float amount, bound; // bound in full scale
    };
    const double lsb16 = std::ldexp(1.0, -15);
    const Case cases[] = {
        {0, 0, 16, 1.0f, static_cast<float>(lsb16 / 2)},            // white, ±½ LSB
        {1, 0, 16, 1.0f, static_cast<float>(lsb16)},                // triangular, ±1 LSB
        {0, 0, 16, 2.0f, static_cast<float>(lsb16)},                // 2bit doubles
        {0, 0, 16, 0.0f, static_cast<float>(lsb16 / 4)},            // NoDither halves
        {1, 0, 24, 1.0f, static_cast<float>(std::ldexp(1.0, -23))}, // 24-bit word
        {0, 0, 32, 0.0f, static_cast<float>(std::ldexp(1.0, -33))}, // 32-bit render, amount 0
        {0, 1, 16, 1.0f, static_cast<float>(lsb16)},                // shaped white: difference of two
        {1, 1, 16, 1.0f, static_cast<float>(2 * lsb16)},            // shaped triangular
    };
    for (const Case& c : cases) {
        d.Configure(c.type, c.shaping, c.word, c.amount);
        float m = MaxAbs(d.DitherBuffer(), n);
        EXPECT_LE(m, c.bound * 1.0001f) << c.type << c.shaping << c.word << c.amount;
        EXPECT_GE(m, c.bound * 0.8f) << c.type << c.shaping << c.word << c.amount;
    }
}

TEST(DitherEngine, ConfigurationIsCachedUntilASettingChanges) {
    CDitherEngine& d = Dither();
    d.Configure(0, 0, 16, 1.0f);
    int before = d.Refills();
    d.Configure(0, 0, 16, 1.0f);
    EXPECT_EQ(d.Refills(), before);
    d.Configure(1, 0, 16, 1.0f); // only RPDF/TPDF changed
    EXPECT_EQ(d.Refills(), before + 1);
    d.Configure(1, 0, 16, 1.0f);
    EXPECT_EQ(d.Refills(), before + 1);
    d.Configure(1, 0, 24, 1.0f);
    EXPECT_EQ(d.Refills(), before + 2);
    // A combination that names no table leaves the buffer as it was.
    float first = d.DitherBuffer()[5];
    d.Configure(2, 0, 16, 1.0f);
    EXPECT_EQ(d.DitherBuffer()[5], first);
}

TEST(DitherEngine, SpansStartOnSixteensStayInsideAndWrap) {
    CDitherEngine d(DSPEngine());
    const float* base = d.Dither(0);
    const float* a = d.Dither(100);
    EXPECT_EQ(a, base);
    EXPECT_EQ(d.DitherPosition(), 96);
    const float* b = d.Dither(100);
    EXPECT_EQ(b - base, 96);
    // Each reader keeps its own position.
    EXPECT_EQ(d.GuardPosition(), 0);
    // Walk until the wrap and check every span lies inside the buffer.
    int n = 4096;
    for (int i = 0; i < 400; ++i) {
        if (i == 200) n = 16384; // blocks grow mid-stream
        const float* s = d.Dither(n);
        ASSERT_GE(s - base, 0);
        ASSERT_LE(s - base + n, CDitherEngine::kTableSize);
        ASSERT_EQ((s - base) % 16, 0);
    }
    // Guard spans obey the same rules.
    for (int i = 0; i < 200; ++i) {
        const float* s = d.Guard(8191);
        ASSERT_LE(s - d.GuardBuffer() + 8191, CDitherEngine::kTableSize);
    }
}
