#pragma once
// QtPanelCanvas: the processor panels' drawing surface on an off-screen QImage. Knobs,
// seven-segment digits, lamps, buttons and background strips are drawn with QPainter; the
// window only shows the finished image.
//
// Threading: main thread only.

#include "dsp/CPanelCanvas.h"

#include <QImage>

class QPainter;

class QtPanelCanvas : public CPanelCanvas {
public:
    explicit QtPanelCanvas(QImage& image) : m_image(image) {}

    int Width() const override { return m_image.width(); }
    int Height() const override { return m_image.height(); }
    void FillRect(int x, int y, int w, int h, uint32_t rgb) override;
    void Line(int x0, int y0, int x1, int y1, uint32_t rgb) override;
    void Text(int x, int y, int fontHeight, uint32_t rgb, const std::string& text) override;
    int TextWidth(int fontHeight, const std::string& text) override;
    void Knob(int x, int y, int size, int index, bool greyed) override;
    void Digit(int x, int y, int glyph, bool greyed) override;
    void DecimalPoint(int x, int y, bool greyed) override;
    void DigitFrame(int x, int y, int w, int h) override;
    void Lamp(int x, int y, bool lit, bool greyed) override;
    void Button(int x, int y, int w, int h, bool down, bool greyed) override;
    void MeterColumn(int x, int y, int index, int scheme) override;
    void BackgroundStrip(int x, int y) override;
    void Title(int x, int y, const std::string& title, int scheme) override;

    // The bright colour of a scheme (Blue, Amber, Yellow, Green).
    static uint32_t SchemeColour(int scheme);

private:
    QImage& m_image;
};
