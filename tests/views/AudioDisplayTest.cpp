#include <QGuiApplication>
#include <gtest/gtest.h>

#include <cmath>

#include "common/TransportState.h"
#include "engine/BlockStats.h"
#include "views/CAudioDisplay.h"

namespace {

QGuiApplication& Gui() {
    static int argc = 1;
    static char name[] = "test_views";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

MeterStats Stats(float peak, float power, float centre, float side) {
    MeterStats s;
    s.v = {peak, peak, power, power, centre, side};
    return s;
}

} // namespace

TEST(MeterScaleTest, ReadingsOnEveryScale) {
    using D = CAudioDisplay;
    for (int scale = 0; scale <= 4; ++scale) {
        const float range = scale == 2 ? 90.0f : scale == 3 ? 60.0f : 140.0f;
        EXPECT_FLOAT_EQ(D::Reading(scale, range, 1.0f, false), 1.0f) << scale;
        EXPECT_EQ(D::Reading(scale, range, 0.0f, false), 0.0f) << scale;
        EXPECT_EQ(D::Reading(scale, range, std::nanf(""), false), 0.0f) << scale;
    }
    EXPECT_NEAR(D::Reading(D::Special, 0, 0.5f, false), 0.4999f, 0.0001f);
    EXPECT_FLOAT_EQ(D::Reading(D::Special, 0, 0.51f, false), 0.51f);
    // Side and centre bars of the Special scale sit 6 dB lower.
    EXPECT_NEAR(D::Reading(D::Special, 0, 0.5f, true), (20 * std::log10(0.5) + 84) / 168, 1e-6);
    EXPECT_EQ(D::Reading(D::Special, 0, 3e-5f, false), 0.0f);
    // Below −90 dB reads 0 on the 90 dB scale; −45 dB reads half.
    EXPECT_EQ(D::Reading(D::Log90, 90, 3e-5f, false), 0.0f);
    EXPECT_NEAR(D::Reading(D::Log90, 90, static_cast<float>(std::pow(10.0, -45.0 / 20)), false), 0.5f, 1e-5f);
    // A range of 0 is taken as 140 dB.
    EXPECT_FLOAT_EQ(D::Reading(D::Log140, 0, 0.1f, false), D::Reading(D::Log140, 140, 0.1f, false));
}

TEST(MeterScaleTest, TicksAndLabels) {
    using D = CAudioDisplay;
    auto log60 = D::Ticks(D::Log60, 60, 300);
    ASSERT_EQ(log60.size(), 6u);
    EXPECT_EQ(log60[0].position, 300);
    EXPECT_EQ(log60[5].position, 50);
    std::vector<std::string> labels;
    for (const auto& t : log60)
        if (!t.label.empty()) labels.push_back(t.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"0dB", "-20", "-40"}));

    auto special = D::Ticks(D::Special, 140, 400);
    bool half = false, last = false;
    for (const auto& t : special) {
        if (t.label == "-6") half = t.position == 200;
        if (t.label == "-78") last = t.position == 40; // 0.1 of the length
    }
    EXPECT_TRUE(half);
    EXPECT_TRUE(last);

    auto linear = D::Ticks(D::Linear, 140, 1000);
    EXPECT_EQ(linear.size(), 41u);
    EXPECT_FALSE(linear[1].whole); // 0.5 dB: a short tick
    EXPECT_EQ(linear[12].position, static_cast<int>(1000 * std::pow(10.0, -6.0 / 20)));
    EXPECT_EQ(linear[12].label, "-6");
    EXPECT_EQ(linear[20].label, "-10");
    EXPECT_TRUE(linear[21].label.empty());
}

TEST(AudioDisplayTest, BallisticsMenusAndFalloff) {
    Gui();
    CAudioDisplay d;
    EXPECT_EQ(d.GetHold(), 2);
    EXPECT_EQ(d.BarAt(0).HoldTime(), 10);
    EXPECT_FLOAT_EQ(d.BarAt(0).HoldDecay(), 0.007f);
    d.SetHold(4);
    d.SetDecay(0);
    EXPECT_EQ(d.BarAt(11).HoldTime(), 20);
    EXPECT_FLOAT_EQ(d.BarAt(11).HoldDecay(), 0.005f);
    d.SetHold(2);
    d.SetDecay(2);
    d.RedrawAll(1000, 120);
    EXPECT_EQ(d.CounterWidth(), 16 * 8 + 4 * 7 + 2);
    EXPECT_EQ(d.MeterLength(), (1000 - d.CounterWidth() - 56) / 2 - 15);
    EXPECT_EQ(d.BarAt(6).Left(), d.MeterLength() + 55);

    // A mono full-scale signal: side 0, centre equal to the power.
    d.UpdateLevels(Stats(1, 1, 1, 0), Stats(1, 1, 1, 0));
    EXPECT_FLOAT_EQ(d.BarAt(CAudioDisplay::BarSide).Value(), 0.0f);
    EXPECT_FLOAT_EQ(d.BarAt(CAudioDisplay::BarCentre).Value(), 1.0f);
    // A sudden drop to 0 takes five updates.
    int steps = 0;
    while (d.BarAt(0).Value() > 0.0f && steps < 20) {
        d.UpdateLevels(MeterStats{}, MeterStats{});
        ++steps;
    }
    EXPECT_EQ(steps, 5);

    // After a stop the statistics halve for 199 ticks and then stay.
    d.UpdateLevels(Stats(1, 1, 1, 0), Stats(1, 1, 1, 0));
    d.StartFalloff();
    int ticks = 0;
    while (d.Settle()) ++ticks;
    EXPECT_EQ(ticks, 199);
    EXPECT_FLOAT_EQ(d.BarAt(0).Value(), 0.0f);
    EXPECT_FALSE(d.Settle());

    // Hidden groups are not updated; a mask of 0 still gives one row.
    d.SetShownMeters(0b000011);
    d.RedrawAll(1000, 120);
    d.UpdateLevels(Stats(1, 1, 1, 0), Stats(1, 1, 1, 0));
    EXPECT_FLOAT_EQ(d.BarAt(CAudioDisplay::BarPowerLeft).Value(), 0.0f);
    EXPECT_FLOAT_EQ(d.BarAt(CAudioDisplay::BarPeakLeft).Value(), 1.0f);
    d.SetShownMeters(0);
    d.RedrawAll(1000, 120);
    EXPECT_EQ(d.Rows(), 1);
}

TEST(AudioDisplayTest, CounterAndStatusIcon) {
    Gui();
    using D = CAudioDisplay;
    EXPECT_EQ(D::CounterText(0, 44100, 8), "00:00:00:00");
    EXPECT_EQ(D::CounterText(44100 * 3725 + 22050, 44100, 8), "01:02:05:50");
    EXPECT_EQ(D::CounterText(44100 * 3725 + 22050, 44100, 7), "1:02:05:50");
    EXPECT_EQ(D::CounterText(44100 * 65, 44100, 4), "05:00");
    EXPECT_EQ(D::CounterText(-5, 0, 8), "00:00:00:00");
    EXPECT_EQ(D::CounterDigits(3), 5);
    EXPECT_EQ(D::CounterDigits(7), 3);
    CAudioDisplay d;
    d.RedrawAll(1000, 120);
    EXPECT_EQ(d.UpperCounter(), "00:00:00:00");
    EXPECT_EQ(d.LowerCounter(), "00:00:00:00");
    d.UpdateCounter(48000, 96000, 48000);
    EXPECT_EQ(d.UpperCounter(), "00:00:01:00");
    EXPECT_EQ(d.LowerCounter(), "00:00:02:00");
    EXPECT_EQ(D::StatusIcon(kTransportPlaying), 0);
    EXPECT_EQ(D::StatusIcon(kTransportMonitoring), 1);
    EXPECT_EQ(D::StatusIcon(kTransportRecording), 2);
    EXPECT_EQ(D::StatusIcon(kTransportStopped), 3);
    EXPECT_EQ(D::StatusIcon(kTransportRendering), 3);
    d.UpdateStatusIcon(kTransportPlaying);
    EXPECT_EQ(d.ShownIcon(), 0);
    // Background stays #0D0D0D where nothing is drawn.
    EXPECT_EQ(d.Image().pixel(20, 100) & 0xFFFFFF, 0x0D0D0Du);
}

TEST(AudioDisplayTest, EngineStatisticsLampAndFall) {
    Gui();
    // The engine's statistics arrive in the display's own order.
    BlockStatSet set;
    const float block[8] = {0.5f, -0.25f, -0.5f, 0.25f, 0.5f, -0.25f, -0.5f, 0.25f};
    CBlockStats::Measure(block, 4, set);
    const MeterStats m = MeterStats::From(set);
    EXPECT_FLOAT_EQ(m.v[MeterStats::PeakLeft], 0.5f);
    EXPECT_FLOAT_EQ(m.v[MeterStats::PeakRight], 0.25f);
    EXPECT_FLOAT_EQ(m.v[MeterStats::Side], set.Get(StatSide));
    EXPECT_FLOAT_EQ(m.v[MeterStats::Centre], set.Get(StatCentre));

    CAudioDisplay d;
    d.RedrawAll(900, 83);
    d.UpdateLevels(Stats(1, 1, 1, 0), Stats(1, 1, 1, 0));
    // Each fall halves the last statistics: five steps of at most 0.2 bring a full bar to 1/32.
    for (int i = 0; i < 5; ++i) d.Fall();
    EXPECT_NEAR(d.BarAt(0).Value(), 1.0f / 32, 1e-6);
    // The lamp takes the status icon's place until the icon is drawn again.
    const QColor before = d.Image().pixelColor(900 - 14, 11);
    d.DrawStateLamp();
    EXPECT_TRUE(d.LampShown());
    EXPECT_NE(d.Image().pixelColor(900 - 14, 11), before);
    d.UpdateStatusIcon(kTransportStopped);
    EXPECT_FALSE(d.LampShown());
    EXPECT_EQ(d.Image().pixelColor(900 - 14, 11), before);
}
