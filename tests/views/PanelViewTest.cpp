#include "dsp/CDSPEngine.h"
#include "dsp/CDitherEngine.h"
#include "dsp/CNumericInputElement.h"
#include "dsp/CTubeAmp.h"
#include "views/DSPPanelView.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

namespace {

// QPainter text needs a GUI application; the offscreen platform gives one without a display.
QGuiApplication& App() {
    static int argc = 1;
    static char name[] = "test_views";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

CDitherEngine& SharedDither() {
    static CDitherEngine d(DSPEngine());
    return d;
}

class GainPanel : public CProcessor {
public:
    GainPanel() : CProcessor(KindEQ) { AddControl(new CNumericInputElement("Output", -20.0f, 10.0f, 0.0f), 15); }
    void Layout(int x, int y, int w, int h) override {
        static const int X[1] = {760}, Y[1] = {20};
        PlaceControls(x, y, w, h, X, Y);
    }
};

int CountNot(const QImage& img, QRgb colour, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += img.pixel(x, y) != colour;
    return n;
}

} // namespace

TEST(ControlAmpView, DrawsTheValveAmpAndForwardsPressesAndDrags) {
    App();
    CTubeAmp amp(DSPEngine(), SharedDither());
    amp.SetShown(true);
    ControlAmpView view;
    view.SetValveAmp(&amp);
    view.Paint(1024, 70);
    const QImage& img = view.Image();
    ASSERT_EQ(img.width(), 1024);
    EXPECT_EQ(img.pixel(5, 69), qRgb(0, 0, 0)); // separating line
    // Knob of "Release" at (490, 35) holds drawn pixels; so does the large knob at 690.
    EXPECT_GT(CountNot(img, img.pixel(0, 60), QRect(490, 35, 22, 22)), 50);
    EXPECT_GT(CountNot(img, img.pixel(0, 60), QRect(690, 5, 48, 48)), 300);

    // Press "Mono Check" (925, 30): the switch flips and no panel drag starts.
    EXPECT_FALSE(view.LeftButtonDown({}, 930, 35));
    view.MouseUp();
    EXPECT_EQ(amp.Param(CTubeAmp::IdMonoCheck), 1.0f);
    // Empty space: the window should drag the panel, unless a modifier is held.
    EXPECT_TRUE(view.LeftButtonDown({}, 600, 60));
    EXPECT_FALSE(view.LeftButtonDown({true, false}, 600, 60));
    // Drag "Thres" up by 100 pixels with the timer ticking: a quarter of its range.
    amp.SetParam(CTubeAmp::IdThres, -36.0f);
    EXPECT_FALSE(view.LeftButtonDown({}, 495, 15));
    view.MouseMove(495, -85, false);
    amp.Tick();
    view.MouseUp();
    EXPECT_FLOAT_EQ(amp.Param(CTubeAmp::IdThres), -27.0f);
    // Ctrl reaches this panel's drags as the fine key, not as a press modifier.
    EXPECT_FALSE(view.LeftButtonDown({false, true}, 495, 15));
    EXPECT_EQ(amp.Captured()->PressModifiers(), 0);
    view.MouseMove(495, -85, true);
    amp.Tick();
    view.MouseUp();
    EXPECT_NEAR(amp.Param(CTubeAmp::IdThres), -27.0f + 0.9f, 1e-4);
}

TEST(DSPPanelView, RowsAreLaidOutInThirdsAndEveryProcessorIsAsked) {
    App();
    GainPanel eq, imager, comp;
    for (CProcessor* p : {&eq, &imager, &comp}) p->SetShown(true);
    DSPPanelView view;
    view.SetProcessors(&eq, &imager, &comp);
    view.Paint(1024, 210, 1024);
    EXPECT_EQ(eq.Control(0)->Y(), 20);
    EXPECT_EQ(imager.Control(0)->Y(), 90);
    EXPECT_EQ(comp.Control(0)->Y(), 160);
    EXPECT_EQ(comp.PanelWidth(), 1023);
    for (int y : {69, 139, 209}) EXPECT_EQ(view.Image().pixel(500, y), qRgb(0, 0, 0));
    // A press on the imager's knob is taken by it; the others lose any capture.
    EXPECT_FALSE(view.LeftButtonDown({}, 765, 95));
    EXPECT_EQ(imager.Captured(), imager.Control(0));
    EXPECT_EQ(eq.Captured(), nullptr);
    view.MouseMove(865, 95, false);
    imager.Tick();
    view.MouseUp();
    EXPECT_FLOAT_EQ(imager.Param(15), 7.5f);
    EXPECT_EQ(eq.Param(15), 0.0f);
    EXPECT_TRUE(view.LeftButtonDown({}, 10, 10));
    // A hidden processor draws nothing: the panel equals one without it.
    GainPanel hidden;
    DSPPanelView v2, empty;
    v2.SetProcessors(&hidden, nullptr, nullptr);
    v2.Paint(1024, 210, 1024);
    empty.Paint(1024, 210, 1024);
    EXPECT_TRUE(v2.Image() == empty.Image());
    EXPECT_FALSE(view.Image() == empty.Image());
}
