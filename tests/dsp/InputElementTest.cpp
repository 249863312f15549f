#include "RecordingCanvas.h"
#include "dsp/CNumericInputElement.h"
#include "dsp/CToggleInputElement.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Presses at (x, y), moves by (dx, dy) and lets the timer apply the drag.
void Drag(CDataInputElement& e, int dx, int dy, uint8_t mods = 0) {
    ASSERT_TRUE(e.MouseDown(mods, e.X() + 5, e.Y() + 5));
    e.MouseMove(e.X() + 5 + dx, e.Y() + 5 + dy);
    e.DragTick();
    e.MouseUp();
}

std::vector<int> Glyphs(float value, int format, bool sign) {
    NumericReadout r = MakeNumericReadout(value, format, sign);
    return std::vector<int>(r.glyphs, r.glyphs + r.count);
}

} // namespace

TEST(NumericInputElement, DragArithmeticLinearFineAndLimits) {
    CNumericInputElement k("Thres", -36.0f, 0.0f, -36.0f);
    k.Place(nullptr, 100, 10);
    Drag(k, 200, 0); // half of the 400-pixel sweep
    EXPECT_FLOAT_EQ(k.Value(), -18.0f);
    Drag(k, 0, -100); // moving up increases: a quarter more
    EXPECT_FLOAT_EQ(k.Value(), -9.0f);

    k.SetValue(-36.0f);
    CDataInputElement::SetFineKeyDown(true);
    Drag(k, 200, 0); // a twentieth of the range with the fine key held
    CDataInputElement::SetFineKeyDown(false);
    EXPECT_NEAR(k.Value(), -36.0f + 36.0f / 20.0f, 1e-5);

    k.SetValue(0.0f);
    Drag(k, 50, -50); // at the maximum and pushed further up
    EXPECT_EQ(k.Value(), 0.0f);
    Drag(k, -1000, 0);
    EXPECT_EQ(k.Value(), -36.0f);

    // No movement since the last tick: nothing happens, also no redraw of a stale value.
    ASSERT_TRUE(k.MouseDown(0, 105, 15));
    k.SetValue(-20.0f);
    k.DragTick();
    EXPECT_EQ(k.Value(), -20.0f);
}

TEST(NumericInputElement, SquareRootTaperAndClamping) {
    CNumericInputElement f("HiPass", 300.0f, 6000.0f, 300.0f, 1, TaperSqrt, "Hz   ", "KHz");
    f.Place(nullptr, 0, 0);
    Drag(f, 200, 0); // travel 0.5 → 0.25 of the range
    EXPECT_FLOAT_EQ(f.Value(), 300.0f + 0.25f * 5700.0f);
    EXPECT_NEAR(f.Travel(), 0.5f, 1e-6);
    EXPECT_EQ(f.KnobIndex(), 6);
    f.SetValue(99999.0f);
    EXPECT_EQ(f.Value(), 6000.0f);
    EXPECT_EQ(f.KnobIndex(), 12);
    f.SetValueAndRecall(-5.0f);
    EXPECT_EQ(f.Value(), 300.0f);
    EXPECT_EQ(f.RecallValue(), 300.0f);
}

TEST(NumericInputElement, AltRecallsOnlyAnExistingRecallValue) {
    CNumericInputElement k("Gain", -15.0f, 15.0f, 3.0f);
    k.Place(nullptr, 0, 0);
    EXPECT_FALSE(k.HasRecall());
    Drag(k, 100, 0, ModAlt);
    EXPECT_EQ(k.Value(), 3.0f); // no recall value: nothing changes, not even the drag
    k.SetValueAndRecall(-4.0f);
    k.SetValue(7.0f);
    Drag(k, 100, 0, ModAlt);
    EXPECT_EQ(k.Value(), -4.0f);
}

TEST(NumericInputElement, ReadoutFormats) {
    EXPECT_EQ(Glyphs(250.0f, 1, false), (std::vector<int>{2, 5, 0}));
    EXPECT_FALSE(MakeNumericReadout(250.0f, 1, false).secondUnit);
    EXPECT_EQ(Glyphs(2500.0f, 1, false), (std::vector<int>{0, 2, 5}));
    EXPECT_TRUE(MakeNumericReadout(2500.0f, 1, false).secondUnit);
    EXPECT_EQ(MakeNumericReadout(2500.0f, 1, false).pointAfter, 1);
    EXPECT_EQ(Glyphs(440.0f, 1, false), (std::vector<int>{4, 4, 0}));
    EXPECT_EQ(Glyphs(12500.0f, 1, false), (std::vector<int>{1, 2, 5}));
    EXPECT_EQ(Glyphs(-1500.0f, 1, false), (std::vector<int>{0, 1, 5}));
    EXPECT_EQ(Glyphs(3.7f, 0, false), (std::vector<int>{0, 3, 7}));
    EXPECT_EQ(Glyphs(12.34f, 2, false), (std::vector<int>{1, 2, 3}));
    // Signed: sign cell first; a zero display gets the neutral sign whatever the value's sign.
    EXPECT_EQ(Glyphs(-6.0f, 0, true), (std::vector<int>{GlyphMinus, 0, 6, 0}));
    EXPECT_EQ(Glyphs(6.5f, 0, true), (std::vector<int>{GlyphPlus, 0, 6, 5}));
    EXPECT_EQ(Glyphs(-0.04f, 0, true), (std::vector<int>{GlyphSignZero, 0, 0, 0}));
    EXPECT_EQ(MakeNumericReadout(-6.0f, 0, true).pointAfter, 2);

    CNumericInputElement rel("Release", 15.0f, 3000.0f, 250.0f, 1, TaperSqrt, "ms ", "sec");
    EXPECT_EQ(rel.UnitShown(), "ms ");
    rel.SetValue(2500.0f);
    EXPECT_EQ(rel.UnitShown(), "sec");
}

TEST(NumericInputElement, DrawsKnobDigitsAndLabelOnlyWithACanvas) {
    RecordingCanvas canvas;
    CNumericInputElement k("Release", 20.0f, 300.0f, 40.0f, 1, TaperLinear, "ms ", "sec");
    k.Paint(); // no canvas yet: nothing drawn, no crash
    k.Place(&canvas, 10, 20);
    k.Paint();
    auto texts = canvas.Of("text");
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0].text, "Release");
    EXPECT_EQ(texts[0].x, 32);
    EXPECT_EQ(texts[0].y, 32);
    EXPECT_EQ(canvas.Digits(), (std::vector<int>{0, 4, 0}));
    ASSERT_EQ(canvas.Of("knob").size(), 1u);
    EXPECT_EQ(canvas.Of("knob")[0].a, static_cast<int>(12.0f * 20.0f / 280.0f));

    RecordingCanvas c2;
    CLargePotInputElement pot("Ceiling", -32.0f, 0.0f, -1.5f, "dB");
    pot.Place(&c2, 600, 5);
    pot.Redraw();
    EXPECT_EQ(c2.Digits(), (std::vector<int>{GlyphMinus, 0, 1, 5}));
    EXPECT_EQ(c2.Of("frame").size(), 4u);
    EXPECT_EQ(pot.Width(), 48);
}

TEST(ToggleInputElement, PressFlipsAltRecallsAndLampsFollowValueInversionAndGrey) {
    CToggleInputElement t("Mono Check", "", 0.0f);
    t.Place(nullptr, 50, 50);
    EXPECT_FALSE(t.MouseDown(0, 49, 50)); // outside
    EXPECT_FALSE(t.MouseDown(0, 67, 50));
    EXPECT_TRUE(t.MouseDown(0, 66, 66));
    EXPECT_EQ(t.Value(), 1.0f);
    EXPECT_TRUE(t.LampLit());
    t.MouseDown(ModAlt, 55, 55); // no recall: unchanged
    EXPECT_EQ(t.Value(), 1.0f);
    t.SetValueAndRecall(0.0f);
    t.SetValue(1.0f);
    t.MouseDown(ModAlt, 55, 55);
    EXPECT_EQ(t.Value(), 0.0f);
    t.SetValue(0.7f); // switches store the value as it comes; on from 0.5
    EXPECT_EQ(t.Value(), 0.7f);
    t.MouseDown(0, 55, 55);
    EXPECT_EQ(t.Value(), 0.0f);

    CRoundButtonToggle inv("Bypass All", "", 1.0f, true, true);
    inv.Place(nullptr, 0, 0);
    EXPECT_FALSE(inv.LampLit()); // chain running: lamp dark
    inv.SetValue(0.0f);
    EXPECT_TRUE(inv.LampLit());
    inv.SetGreyed(true);
    EXPECT_FALSE(inv.LampLit());
}

TEST(ToggleInputElement, BlinkingChangesPhaseEveryFifthTickAndRestartsLitOnPress) {
    CRoundButtonToggle b("Bypass Dsp", "", 1.0f, true, true);
    b.Place(nullptr, 0, 0);
    b.MouseDown(0, 1, 1); // engage the bypass: lamp lit at once
    ASSERT_TRUE(b.LampLit());
    for (int i = 0; i < 4; ++i) b.Tick();
    EXPECT_TRUE(b.LampLit());
    b.Tick();
    EXPECT_FALSE(b.LampLit());
    for (int i = 0; i < 3; ++i) b.Tick();
    b.MouseDown(0, 1, 1); // release the bypass (lamp off)
    b.MouseDown(0, 1, 1); // engage again in the dark phase: lit again at once
    EXPECT_TRUE(b.LampLit());

    CToggleInputElement steady("Opto", "Electro", 1.0f);
    for (int i = 0; i < 12; ++i) steady.Tick();
    EXPECT_TRUE(steady.LampLit());
}

TEST(MultiSwitchInputElement, HalvesStepThroughPositionsWithWrap) {
    CMultiSwitchInputElement m({"NoDither", "1bit", "2bit"}, 2.0f);
    m.Place(nullptr, 100, 0);
    EXPECT_EQ(m.Width(), 46);
    m.MouseDown(0, 140, 5); // right half at the last position: first
    EXPECT_EQ(m.Value(), 0.0f);
    m.MouseDown(0, 101, 5); // left half at the first: last
    EXPECT_EQ(m.Value(), 2.0f);
    m.MouseDown(0, 110, 5);
    EXPECT_EQ(m.Value(), 1.0f);
    EXPECT_EQ(m.LitPosition(), 1);
    m.SetGreyed(true);
    EXPECT_EQ(m.LitPosition(), -1);
    m.SetValueAndRecall(2.0f);
    m.SetValue(0.0f);
    m.MouseDown(ModAlt, 140, 5);
    EXPECT_EQ(m.Value(), 2.0f);
    m.SetValue(57.0f); // out-of-range values select the last position without harm
    EXPECT_EQ(m.Selected(), 2);

    RecordingCanvas canvas;
    CMultiSwitchInputElement two({"RPDF", "TPDF"}, 1.0f);
    two.Place(&canvas, 0, 0);
    two.Paint();
    auto lamps = canvas.Of("lamp");
    ASSERT_EQ(lamps.size(), 2u);
    EXPECT_FALSE(lamps[0].flag);
    EXPECT_TRUE(lamps[1].flag);
    EXPECT_EQ(canvas.Of("text")[0].y, 23);
}
