#include "dsp/CFFT.h"

#include <gtest/gtest.h>

#include "support/Signals.h"

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace {

std::vector<std::complex<double>> NaiveDft(const std::vector<float>& re, const std::vector<float>& im) {
    const size_t n = re.size();
    std::vector<std::complex<double>> out(n);
    for (size_t k = 0; k < n; ++k) {
        std::complex<double> s = 0.0;
        for (size_t m = 0; m < n; ++m)
            s += std::complex<double>(re[m], im[m]) * std::polar(1.0, -2.0 * M_PI * double(k * m % n) / double(n));
        out[k] = s;
    }
    return out;
}

std::vector<float> Random(size_t n, unsigned seed) { return Noise(n, seed, 1.0f); }

} // namespace

TEST(FFT, ForwardMatchesTheDefinitionForEverySizeUpTo1024) {
    for (int n = 1; n <= 1024; n *= 2) {
        auto re = Random(n, n), im = Random(n, n + 7);
        std::vector<float> ore(n), oim(n);
        ASSERT_TRUE(CFFT::Transform(n, false, re.data(), im.data(), ore.data(), oim.data()));
        auto ref = NaiveDft(re, im);
        for (int k = 0; k < n; ++k) {
            EXPECT_NEAR(ore[k], ref[k].real(), 1e-4 * n) << "n " << n << " k " << k;
            EXPECT_NEAR(oim[k], ref[k].imag(), 1e-4 * n) << "n " << n << " k " << k;
        }
    }
}

TEST(FFT, InverseUndoesForwardAndMissingImaginaryInputIsZero) {
    const int n = 256;
    auto re = Random(n, 3);
    std::vector<float> zeros(n, 0.0f), fre(n), fim(n), gre(n), gim(n), back(n), backIm(n);
    ASSERT_TRUE(CFFT::Transform(n, false, re.data(), nullptr, fre.data(), fim.data()));
    ASSERT_TRUE(CFFT::Transform(n, false, re.data(), zeros.data(), gre.data(), gim.data()));
    EXPECT_EQ(fre, gre);
    EXPECT_EQ(fim, gim);
    ASSERT_TRUE(CFFT::Transform(n, true, fre.data(), fim.data(), back.data(), backIm.data()));
    for (int i = 0; i < n; ++i) {
        EXPECT_NEAR(back[i], re[i], 1e-5);
        EXPECT_NEAR(backIm[i], 0.0f, 1e-5);
    }
}

TEST(FFT, InPlaceGivesTheSameAsOutOfPlace) {
    const int n = 64;
    auto re = Random(n, 11), im = Random(n, 12);
    std::vector<float> ore(n), oim(n);
    CFFT::Transform(n, false, re.data(), im.data(), ore.data(), oim.data());
    ASSERT_TRUE(CFFT::Transform(n, false, re.data(), im.data(), re.data(), im.data()));
    EXPECT_EQ(re, ore);
    EXPECT_EQ(im, oim);
}

TEST(FFT, RefusesSizesThatAreNotPowersOfTwoAndLeavesOutputsAlone) {
    std::vector<float> in(12, 1.0f), re(12, 5.0f), im(12, 5.0f);
    for (int n : {0, -4, 3, 12, 1000})
        EXPECT_FALSE(CFFT::Transform(n, false, in.data(), nullptr, re.data(), im.data()));
    EXPECT_FALSE(CFFT::Transform(8, false, nullptr, nullptr, re.data(), im.data()));
    EXPECT_EQ(re, std::vector<float>(12, 5.0f));
}
