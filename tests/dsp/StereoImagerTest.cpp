#include "dsp/CStereoImager.h"

#include "dsp/CDSPEngine.h"
#include "RecordingCanvas.h"

#include <gtest/gtest.h>

#include "support/Signals.h"

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

namespace {

struct Pixel {
    int x, y;
    uint32_t rgb;
};
class ScopeCanvas : public RecordingCanvas {
public:
    void Line(int x0, int y0, int, int, uint32_t rgb) override { pixels.push_back({x0, y0, rgb}); }
    std::vector<Pixel> pixels;
};

} // namespace

TEST(StereoImager, CrossMixKeepsSwapsAndSumsToMono) {
    const int n = 2000;
    const auto l0 = Noise(n, 1), r0 = Noise(n, 2);
    struct Case {
        float mix;
        double ll, lr; // left out = ll × left in + lr × right in
    };
    for (Case c : {Case{0.0f, 1.0, 0.0}, Case{99.9f, 0.0, 1.0}, Case{49.95f, 0.5, 0.5}}) {
        CStereoImager im(DSPEngine());
        im.SetParam(CStereoImager::IdCrossMix, c.mix);
        auto l = l0, r = r0;
        im.Process(l.data(), r.data(), n, 44100);
        for (int i = 0; i < n; ++i) {
            ASSERT_NEAR(l[i], c.ll * l0[i] + c.lr * r0[i], 2e-6) << c.mix << " at " << i;
            ASSERT_NEAR(r[i], c.lr * l0[i] + c.ll * r0[i], 2e-6) << c.mix << " at " << i;
        }
    }
}

TEST(StereoImager, MutesPhaseAndBalanceShapeTheChannelGains) {
    const int n = 1000;
    const auto l0 = Noise(n, 3), r0 = Noise(n, 4);
    auto run = [&](int id, float v, std::vector<float>& l, std::vector<float>& r) {
        CStereoImager im(DSPEngine());
        im.SetParam(id, v);
        l = l0;
        r = r0;
        im.Process(l.data(), r.data(), n, 48000);
    };
    std::vector<float> l, r;
    run(CStereoImager::IdPhase, 1.0f, l, r);
    for (int i = 0; i < n; ++i) {
        ASSERT_NEAR(l[i], l0[i], 2e-6);
        ASSERT_NEAR(r[i], -r0[i], 2e-6);
    }
    run(CStereoImager::IdBalance, 6.0f, l, r);
    for (int i = 0; i < n; ++i) {
        ASSERT_NEAR(l[i], l0[i] * std::pow(10.0, -6 / 20.0), 2e-6);
        ASSERT_NEAR(r[i], r0[i], 2e-6);
    }
    run(CStereoImager::IdBalance, -0.05f, l, r); // inside the dead zone
    for (int i = 0; i < n; ++i) ASSERT_NEAR(r[i], r0[i], 2e-6);

    // Both muted: a faint 10^−9 of both channels is left in each, not silence.
    CStereoImager both(DSPEngine());
    both.SetParam(CStereoImager::IdLeftOn, 0.0f);
    both.SetParam(CStereoImager::IdRightOn, 0.0f);
    l = l0;
    r = r0;
    both.Process(l.data(), r.data(), n, 44100);
    for (int i = 0; i < n; ++i) {
        const double expect = 1e-9 * (l0[i] + r0[i]);
        ASSERT_NEAR(l[i], expect, 1e-14);
        ASSERT_NEAR(r[i], expect, 1e-14);
    }
}

TEST(StereoImager, SpatializeDelaysTheRightChannelAndKeepsTheLineAcrossPlaybacks) {
    CStereoImager im(DSPEngine());
    im.SetParam(CStereoImager::IdSpatialize, 1.0f);
    const int n = 1000;
    std::vector<float> l(n, 0.0f), r(n, 0.0f);
    l[10] = 0.5f;
    r[10] = 1.0f;
    r[n - 5] = 0.75f; // still in the line when the block ends
    im.Process(l.data(), r.data(), n, 96000);
    EXPECT_EQ(CStereoImager::kDelay, 222);
    EXPECT_NEAR(l[10], 0.5f, 1e-6); // left is not delayed
    EXPECT_NEAR(r[10], 0.0f, 1e-6);
    EXPECT_NEAR(r[10 + 222], 1.0f, 1e-5);
    int peak = 0;
    for (int i = 1; i < n; ++i)
        if (std::fabs(r[i]) > std::fabs(r[peak])) peak = i;
    EXPECT_EQ(peak, 232);

    // The next playback starts with what the last one left in the line.
    im.Reset();
    std::vector<float> l2(n, 0.0f), r2(n, 0.0f);
    im.Process(l2.data(), r2.data(), n, 44100);
    EXPECT_NEAR(r2[222 - 5], 0.75f, 1e-5);
    EXPECT_NEAR(r2[0], 0.0f, 1e-6);
}

TEST(StereoImager, CenterAndSideActAboveTheHighPassOnly) {
    const int fs = 44100, n = fs / 2;
    auto centred = [&](double f, float centerDb) {
        CStereoImager im(DSPEngine());
        im.SetParam(CStereoImager::IdCenter, centerDb);
        std::vector<float> l(n), r(n);
        for (int i = 0; i < n; ++i) l[i] = r[i] = static_cast<float>(0.5 * std::sin(2 * M_PI * f * i / fs));
        for (int at = 0; at < n; at += 4096) im.Process(l.data() + at, r.data() + at, std::min(4096, n - at), fs);
        float peak = 0;
        for (int i = n / 2; i < n; ++i) peak = std::max(peak, std::fabs(l[i]));
        return peak / 0.5f;
    };
    // Output = low + c × high with low = input − high: |1 − H + c·H| for the 900 Hz high-pass H.
    auto expected = [&](double f, double centerDb) {
        const BiquadCoefs hp = DesignHighPass(fs, 900, 1.0f);
        const std::complex<double> z1 = std::polar(1.0, -2 * M_PI * f / fs), z2 = z1 * z1;
        const std::complex<double> h = (hp.b0 + hp.b1 * z1 + hp.b2 * z2) / (1.0 + hp.a1 * z1 + hp.a2 * z2);
        return std::abs(1.0 - h + std::pow(10.0, centerDb / 20) * h);
    };
    for (double f : {60.0, 900.0, 6000.0, 15000.0}) EXPECT_NEAR(centred(f, -40.0f), expected(f, -40), 2e-3) << f;
    EXPECT_LT(centred(15000, -40.0f), 0.05f); // centred treble nearly gone
    EXPECT_GT(centred(60, -40.0f), 0.98f);    // the bass keeps its centre
    EXPECT_NEAR(centred(6000, 0.0f), 1.0f, 1e-3);

    // Side +6 dB widens anti-phase treble by 6 dB.
    CStereoImager im(DSPEngine());
    im.SetParam(CStereoImager::IdSide, 6.0f);
    std::vector<float> l(n), r(n);
    for (int i = 0; i < n; ++i) r[i] = -(l[i] = static_cast<float>(0.25 * std::sin(2 * M_PI * 8000 * i / fs)));
    for (int at = 0; at < n; at += 4096) im.Process(l.data() + at, r.data() + at, std::min(4096, n - at), fs);
    float peak = 0;
    for (int i = n / 2; i < n; ++i) peak = std::max(peak, std::fabs(l[i]));
    EXPECT_NEAR(peak / 0.25f, std::pow(10.0, 6 / 20.0), 0.02);
}

TEST(StereoImager, SwitchedOffBlockIsUntouched) {
    CStereoImager im(DSPEngine());
    im.SetParam(CStereoImager::IdCrossMix, 60.0f);
    im.SetParam(CStereoImager::IdSpatialize, 1.0f);
    im.SetParam(CStereoImager::IdOn, 0.0f);
    auto l = Noise(3000, 9), r = Noise(3000, 10);
    auto l0 = l, r0 = r;
    im.Process(l.data(), r.data(), 3000, 44100);
    EXPECT_EQ(std::memcmp(l.data(), l0.data(), l.size() * 4), 0);
    EXPECT_EQ(std::memcmp(r.data(), r0.data(), r.size() * 4), 0);
    EXPECT_EQ(im.WritePosition(), 0);
    EXPECT_EQ(im.ReadPosition(), 4578);
}

TEST(StereoImager, LongBlocksAreProcessedWholeAndLikeShortOnes) {
    CStereoImager a(DSPEngine()), b(DSPEngine());
    for (CStereoImager* im : {&a, &b}) {
        im->SetParam(CStereoImager::IdSpatialize, 1.0f);
        im->SetParam(CStereoImager::IdSide, 4.0f);
        im->SetParam(CStereoImager::IdCrossMix, 20.0f);
    }
    const int n = 40000; // more than the high-band buffers hold
    auto l = Noise(n, 11), r = Noise(n, 12);
    auto l2 = l, r2 = r;
    a.Process(l.data(), r.data(), n, 44100);
    for (int at = 0; at < n; at += 10000) b.Process(l2.data() + at, r2.data() + at, 10000, 44100);
    EXPECT_EQ(l, l2);
    EXPECT_EQ(r, r2);
}

TEST(StereoImager, ScopeShowsTheBlockStartExpandedAndTrailsSixFrames) {
    EXPECT_FLOAT_EQ(CStereoImager::Expand(0.5f), 0.75f);
    EXPECT_FLOAT_EQ(CStereoImager::Expand(-0.5f), -0.75f);
    EXPECT_FLOAT_EQ(CStereoImager::Expand(3.0f), 1.0f);
    EXPECT_FLOAT_EQ(CStereoImager::Expand(-3.0f), -1.0f);

    CStereoImager im(DSPEngine());
    std::vector<float> l(20, 0.5f), r(20, 0.0f); // shorter than the scope
    im.Process(l.data(), r.data(), 20, 44100);
    EXPECT_NEAR(im.ScopeSide(0), 1 - 0.75 * 0.75, 1e-6);
    EXPECT_NEAR(im.ScopeMid(19), 1 - 0.75 * 0.75, 1e-6);
    EXPECT_EQ(im.ScopeSide(20), 0.0f);

    ScopeCanvas canvas; // 1024 wide: s = 1, centre (952, y + 33)
    im.SetCanvas(&canvas);
    im.Layout(0, 70, 1023, 70);
    im.SetShown(true);
    im.SetScheme(SchemeBlue);
    im.RedrawMeters();
    EXPECT_EQ(im.FrameIndex(), 1);
    uint32_t col[3];
    CStereoImager::ScopeColours(SchemeBlue, col);
    EXPECT_EQ(col[2], Rgb(44, 133, 192));
    ASSERT_EQ(canvas.pixels.size(), 3u * CStereoImager::kScopePoints);
    const Pixel bright = canvas.pixels[2 * CStereoImager::kScopePoints]; // a copy: the list is cleared below
    EXPECT_EQ(bright.rgb, col[2]);
    EXPECT_EQ(bright.x, static_cast<int>(952 - 24 * im.ScopeSide(0)));
    EXPECT_EQ(bright.y, static_cast<int>(103 - 24 * im.ScopeMid(0)));

    // Five ticks later the frame just drawn comes round as the dim one; DecayMeters clears it.
    for (int i = 0; i < 4; ++i) im.DecayMeters();
    canvas.pixels.clear();
    im.DecayMeters();
    EXPECT_EQ(im.FrameIndex(), 0);
    EXPECT_EQ(canvas.pixels[0].rgb, col[0]);
    EXPECT_EQ(canvas.pixels[0].x, bright.x);
    EXPECT_EQ(canvas.pixels.back().x, 952); // cleared points sit at the centre
    EXPECT_EQ(canvas.pixels.back().y, 103);
}
