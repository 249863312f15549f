#pragma once
// Knobs: CNumericInputElement (small knob with a three-digit display) and
// CLargePotInputElement (large knob with its own four-cell CNumDisplay).
//
// Threading: as CDataInputElement.

#include "dsp/CDataInputElement.h"

// The seven-segment cells a numeric display shows for a value.
struct NumericReadout {
    int count = 0;       // cells used
    int glyphs[5] = {};  // digit or DigitGlyph per cell, sign cell first when signed
    int pointAfter = -1; // a decimal point follows this cell; −1 for none
    bool secondUnit = false;
};

// Format 0 and 2: tens, units, point, tenths. Format 1: three whole digits below 1,000, else
// the value in thousands as tens, units, point, tenths with the second unit. A signed display
// puts a sign cell first: blank-sign when every shown digit is 0, else plus or minus.
NumericReadout MakeNumericReadout(float value, int format, bool showSign);

enum Taper : int { TaperLinear = 0, TaperSqrt = 1 };

class CNumericInputElement : public CDataInputElement {
public:
    static constexpr int kDragSpan = 400;

    CNumericInputElement(const std::string& label, float minimum, float maximum, float value, int format = 0,
                         int taper = TaperLinear, const std::string& unit = "", const std::string& unitThousands = "",
                         bool showSign = false);

    void SetValue(float v) override;
    void SetValueAndRecall(float v) override;
    void DragTick() override;
    void Redraw() override;

    float Minimum() const { return m_min; }
    float Maximum() const { return m_max; }
    int Format() const { return m_format; }
    int TaperKind() const { return m_taper; }
    // The knob's travel 0 to 1 (square-rooted for the square-root taper).
    float Travel() const;
    // Knob picture 0 to 12.
    int KnobIndex() const;
    NumericReadout Readout() const { return MakeNumericReadout(Value(), m_format, m_signed); }
    const std::string& Label() const { return m_label; }
    // The unit text the display shows with the current value.
    std::string UnitShown() const;

    float step = 0.0f; // kept with the element; values are never quantised

protected:
    void PaintLabel() override;
    // Seven-segment digits and unit at (x, y).
    void DrawReadout(int x, int y);
    float Clamp(float v) const;

    float m_min, m_max;
    std::string m_label;
    int m_format;
    int m_taper;
    std::string m_unit, m_unitThousands;
    bool m_signed;
};

// The framed four-cell display of the large knob: sign, tens, units, point, tenths and the unit.
class CNumDisplay {
public:
    explicit CNumDisplay(const std::string& unit) : m_unit(unit) {}
    void Place(CPanelCanvas* canvas, int x, int y) {
        m_canvas = canvas;
        m_x = x;
        m_y = y;
    }
    void Show(float value, bool greyed);
    int X() const { return m_x; }
    int Y() const { return m_y; }

private:
    CPanelCanvas* m_canvas = nullptr;
    int m_x = 0, m_y = 0;
    std::string m_unit;
};

class CLargePotInputElement : public CNumericInputElement {
public:
    CLargePotInputElement(const std::string& label, float minimum, float maximum, float value, const std::string& unit);
    void Place(CPanelCanvas* canvas, int x, int y) override;
    void Redraw() override;
    CNumDisplay& Display() { return m_display; }

protected:
    void PaintLabel() override;

private:
    CNumDisplay m_display;
};
