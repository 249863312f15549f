#include "dsp/CMeterBar.h"

#include "RecordingCanvas.h"

#include <gtest/gtest.h>

namespace {

// Keeps every filled rectangle with its colour.
struct Fill {
    int x, y, w, h;
    uint32_t rgb;
};
class FillCanvas : public RecordingCanvas {
public:
    void FillRect(int x, int y, int w, int h, uint32_t rgb) override { fills.push_back({x, y, w, h, rgb}); }
    std::vector<Fill> fills;
};

} // namespace

TEST(MeterBar, RisesAtOnceAndFallsAtMostAFifthPerUpdate) {
    CMeterBar bar;
    bar.SetValue(1.0f);
    EXPECT_FLOAT_EQ(bar.Value(), 1.0f);
    int updates = 0;
    while (bar.Value() > 0.0f && updates < 100) {
        bar.SetValue(0.0f);
        ++updates;
    }
    EXPECT_EQ(updates, 5);
    bar.SetValue(0.5f);
    bar.SetValue(0.45f); // a small drop is taken whole
    EXPECT_FLOAT_EQ(bar.Value(), 0.45f);
    bar.SetValue(7.0f); // limited to the bar
    EXPECT_FLOAT_EQ(bar.Value(), 1.0f);
    bar.SetValue(-3.0f);
    EXPECT_FLOAT_EQ(bar.Value(), 0.8f);
}

TEST(MeterBar, HoldStaysForTheHoldTimeThenSinksButNeverBelowTheValue) {
    CMeterBar bar;
    bar.SetHoldDecay(0.007f);
    bar.SetValue(1.0f);
    EXPECT_FLOAT_EQ(bar.Hold(), 1.0f);
    for (int i = 1; i <= 10; ++i) {
        bar.SetValue(0.0f);
        EXPECT_FLOAT_EQ(bar.Hold(), 1.0f) << "update " << i;
    }
    bar.SetValue(0.0f);
    EXPECT_FLOAT_EQ(bar.Hold(), 0.993f);
    bar.SetValue(0.0f);
    EXPECT_FLOAT_EQ(bar.Hold(), 0.986f);

    // A fast decay cannot take the marker under the bar.
    CMeterBar fast;
    fast.SetHoldTime(0);
    fast.SetHoldDecay(0.5f);
    fast.SetValue(0.9f);
    fast.SetValue(0.85f);
    EXPECT_FLOAT_EQ(fast.Hold(), 0.85f);
}

TEST(MeterBar, SettingsAreKeptInsideTheirLimits) {
    CMeterBar bar;
    EXPECT_EQ(bar.HoldTime(), 10);
    EXPECT_FLOAT_EQ(bar.HoldDecay(), 0.01f);
    bar.SetHoldTime(99);
    EXPECT_EQ(bar.HoldTime(), 30);
    bar.SetHoldTime(-1);
    EXPECT_EQ(bar.HoldTime(), 0);
    bar.SetHoldDecay(2.0f);
    EXPECT_FLOAT_EQ(bar.HoldDecay(), 0.5f);
    bar.SetHoldDecay(-1.0f);
    EXPECT_FLOAT_EQ(bar.HoldDecay(), 0.0f);
    bar.SetValue(0.6f);
    bar.Reset();
    EXPECT_EQ(bar.Value(), 0.0f);
    EXPECT_EQ(bar.Hold(), 0.0f);
}

TEST(MeterBar, PaintsFromTheOriginEdgeWithTheHoldStripInside) {
    FillCanvas canvas;
    CMeterBar bar;
    bar.SetCanvas(&canvas);
    bar.SetBounds(100, 20, 200, 6);
    bar.SetColours(0x111111, 0x222222);
    bar.SetValue(0.25f);
    ASSERT_EQ(canvas.fills.size(), 3u);
    EXPECT_EQ(canvas.fills[0].x, 100); // bar from the left
    EXPECT_EQ(canvas.fills[0].w, 50);
    EXPECT_EQ(canvas.fills[0].rgb, 0x111111u);
    EXPECT_EQ(canvas.fills[1].x, 150); // the rest black
    EXPECT_EQ(canvas.fills[1].rgb, 0u);
    EXPECT_EQ(canvas.fills[2].x, 150); // hold at the value
    EXPECT_EQ(canvas.fills[2].w, 3);
    EXPECT_EQ(canvas.fills[2].rgb, 0x222222u);

    // Reversed: grows from the right end; a full hold stays inside the bar.
    canvas.fills.clear();
    bar.SetDirection(CMeterBar::Reversed);
    bar.SetValue(1.0f);
    EXPECT_EQ(canvas.fills[0].x, 100);
    EXPECT_EQ(canvas.fills[0].w, 200);
    EXPECT_EQ(canvas.fills.back().x, 100);
    canvas.fills.clear();
    bar.SetValue(0.9f);
    EXPECT_EQ(canvas.fills[0].x, 300 - 180);
    EXPECT_EQ(canvas.fills[0].w, 180);

    // Vertical bars grow upwards; without persistence the strip is black.
    canvas.fills.clear();
    CMeterBar v;
    v.SetCanvas(&canvas);
    v.SetOrientation(CMeterBar::Vertical);
    v.SetBounds(10, 0, 8, 100);
    v.SetPersistence(false);
    v.SetValue(0.3f);
    EXPECT_EQ(canvas.fills[0].y, 70);
    EXPECT_EQ(canvas.fills[0].h, 30);
    EXPECT_EQ(canvas.fills[2].rgb, 0u);
}
