#pragma once
// CPanelCanvas: the drawing surface of a processor panel, seen from the processing side.
// Panels and their input elements describe what to draw (a knob at position 7, digit 4, a lit
// lamp) without knowing how; the drawing library implements this on an off-screen image.
//
// Threading: main thread only.

#include <cstdint>
#include <string>

// Colours are 0xRRGGBB.
constexpr uint32_t Rgb(int r, int g, int b) {
    return (static_cast<uint32_t>(r & 255) << 16) | (static_cast<uint32_t>(g & 255) << 8) |
           static_cast<uint32_t>(b & 255);
}

// Seven-segment cells beyond the ten digits.
enum DigitGlyph : int {
    GlyphBlank = 10,
    GlyphMinus = 11,    // sign of a negative value
    GlyphPlus = 12,     // sign of a positive value
    GlyphSignZero = 13, // sign cell when every shown digit is 0
};

class CPanelCanvas {
public:
    virtual ~CPanelCanvas() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;

    virtual void FillRect(int x, int y, int w, int h, uint32_t rgb) = 0;
    virtual void Line(int x0, int y0, int x1, int y1, uint32_t rgb) = 0;
    // Text with its top-left corner at (x, y); fontHeight in pixels.
    virtual void Text(int x, int y, int fontHeight, uint32_t rgb, const std::string& text) = 0;
    virtual int TextWidth(int fontHeight, const std::string& text) = 0;

    // Knob of size × size pixels showing position index 0 (minimum) to 12 (maximum).
    virtual void Knob(int x, int y, int size, int index, bool greyed) = 0;
    // One seven-segment cell (glyph 0 to 9 or a DigitGlyph) of kDigitWidth × kDigitHeight.
    virtual void Digit(int x, int y, int glyph, bool greyed) = 0;
    // A decimal point at the bottom left of the cell starting at (x, y).
    virtual void DecimalPoint(int x, int y, bool greyed) = 0;
    // A framed digit cell of the large knob's display.
    virtual void DigitFrame(int x, int y, int w, int h) = 0;
    // A round indicator lamp (about 9 pixels).
    virtual void Lamp(int x, int y, bool lit, bool greyed) = 0;
    // A push button face of w × h pixels.
    virtual void Button(int x, int y, int w, int h, bool down, bool greyed) = 0;
    // One level lamp column of a meter, index 0 (dark) to 5 (full), in the colour scheme.
    virtual void MeterColumn(int x, int y, int index, int scheme) = 0;
    // The textured background strip of a panel row, 1000 × 69 pixels.
    virtual void BackgroundStrip(int x, int y) = 0;
    // A title plate with the processor's name.
    virtual void Title(int x, int y, const std::string& title, int scheme) = 0;

    static constexpr int kDigitWidth = 7;
    static constexpr int kDigitHeight = 11;
};
