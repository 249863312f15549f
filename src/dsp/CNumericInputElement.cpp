#include "dsp/CNumericInputElement.h"

#include "dsp/CPanelCanvas.h"

#include <cmath>

namespace {
constexpr uint32_t kLabelColour = Rgb(238, 238, 238);
constexpr int kLabelFont = 9;

inline int DigitOf(float v, float unit) { return static_cast<int>(v / unit) % 10; }
} // namespace

NumericReadout MakeNumericReadout(float value, int format, bool showSign) {
    NumericReadout r;
    const float v = std::fabs(value);
    int cells[4];
    int n = 0;
    auto twoPointOne = [&](float w) {
        cells[n++] = DigitOf(w, 10.0f);
        cells[n++] = static_cast<int>(w) % 10;
        cells[n++] = static_cast<int>(w * 10.0f) % 10;
        r.pointAfter = 1;
    };
    if (format == 1) {
        if (v < 1000.0f) {
            cells[n++] = DigitOf(v, 100.0f);
            cells[n++] = DigitOf(v, 10.0f);
            cells[n++] = static_cast<int>(v) % 10;
        } else {
            twoPointOne(v / 1000.0f);
            r.secondUnit = true;
        }
    } else {
        twoPointOne(v);
    }
    if (showSign) {
        bool allZero = true;
        for (int i = 0; i < n; ++i) allZero = allZero && cells[i] == 0;
        r.glyphs[r.count++] = allZero ? GlyphSignZero : (value > 0.0f ? GlyphPlus : GlyphMinus);
        if (r.pointAfter >= 0) ++r.pointAfter;
    }
    for (int i = 0; i < n; ++i) r.glyphs[r.count++] = cells[i];
    return r;
}

CNumericInputElement::CNumericInputElement(const std::string& label, float minimum, float maximum, float value,
                                           int format, int taper, const std::string& unit,
                                           const std::string& unitThousands, bool showSign)
    : CDataInputElement(22, 22, value), m_min(minimum), m_max(maximum), m_label(label), m_format(format),
      m_taper(taper), m_unit(unit), m_unitThousands(unitThousands), m_signed(showSign) {
    StoreValue(Clamp(value));
}

float CNumericInputElement::Clamp(float v) const {
    if (!(v >= m_min)) return m_min; // also catches NaN
    if (v > m_max) return m_max;
    return v;
}

void CNumericInputElement::SetValue(float v) { StoreValue(Clamp(v)); }

void CNumericInputElement::SetValueAndRecall(float v) {
    SetValue(v);
    m_recall = Clamp(v);
}

float CNumericInputElement::Travel() const {
    float span = m_max - m_min;
    if (span <= 0.0f) return 0.0f;
    float p = (Value() - m_min) / span;
    if (p < 0.0f) p = 0.0f;
    if (p > 1.0f) p = 1.0f;
    return m_taper == TaperSqrt ? std::sqrt(p) : p;
}

int CNumericInputElement::KnobIndex() const {
    int i = static_cast<int>(12.0f * Travel());
    return i < 0 ? 0 : (i > 12 ? 12 : i);
}

std::string CNumericInputElement::UnitShown() const { return Readout().secondUnit ? m_unitThousands : m_unit; }

void CNumericInputElement::DragTick() {
    if (m_pressModifiers & ModAlt) {
        if (HasRecall() && Value() != m_recall) {
            SetValue(m_recall);
            Redraw();
        }
        return;
    }
    if (m_curX == m_lastX && m_curY == m_lastY) return;
    const float span = m_max - m_min;
    float p = Travel();
    float delta = static_cast<float>((m_curX - m_lastX) + (m_lastY - m_curY)) / kDragSpan;
    if (FineKeyDown()) delta *= 0.1f;
    p += delta;
    if (p < 0.0f) p = 0.0f;
    if (p > 1.0f) p = 1.0f;
    SetValue(m_taper == TaperSqrt ? m_min + p * p * span : m_min + p * span);
    m_lastX = m_curX;
    m_lastY = m_curY;
    Redraw();
}

void CNumericInputElement::PaintLabel() {
    if (!m_canvas) return;
    m_canvas->Text(m_x + 22, m_y + 12, kLabelFont, kLabelColour, m_label);
}

void CNumericInputElement::DrawReadout(int x, int y) {
    NumericReadout r = Readout();
    const int w = CPanelCanvas::kDigitWidth;
    m_canvas->FillRect(x, y, w * 5 + 30, CPanelCanvas::kDigitHeight, Rgb(0, 0, 0));
    for (int i = 0; i < r.count; ++i) {
        m_canvas->Digit(x + i * w, y, r.glyphs[i], m_greyed);
        if (i == r.pointAfter) m_canvas->DecimalPoint(x + (i + 1) * w, y, m_greyed);
    }
    m_canvas->Text(x + r.count * w + 2, y, kLabelFont, kLabelColour, UnitShown());
}

void CNumericInputElement::Redraw() {
    if (!m_canvas) return;
    m_canvas->Knob(m_x, m_y, 22, KnobIndex(), m_greyed);
    DrawReadout(m_x + 23, m_y + 1);
}

void CNumDisplay::Show(float value, bool greyed) {
    if (!m_canvas) return;
    NumericReadout r = MakeNumericReadout(value, 0, true);
    const int cw = CPanelCanvas::kDigitWidth + 3, ch = CPanelCanvas::kDigitHeight + 4;
    m_canvas->FillRect(m_x, m_y, cw * 4 + 1, ch, Rgb(51, 51, 51));
    for (int i = 0; i < r.count && i < 4; ++i) {
        m_canvas->DigitFrame(m_x + i * cw, m_y, cw, ch);
        m_canvas->Digit(m_x + i * cw + 2, m_y + 2, r.glyphs[i], greyed);
        if (i == r.pointAfter) m_canvas->DecimalPoint(m_x + (i + 1) * cw, m_y + 2, greyed);
    }
    m_canvas->Text(m_x + 4, m_y + ch + 2, kLabelFont, kLabelColour, m_unit);
}

CLargePotInputElement::CLargePotInputElement(const std::string& label, float minimum, float maximum, float value,
                                             const std::string& unit)
    : CNumericInputElement(label, minimum, maximum, value, 0, TaperLinear, unit, unit, true), m_display(unit) {
    m_width = 48;
    m_height = 48;
}

void CLargePotInputElement::Place(CPanelCanvas* canvas, int x, int y) {
    CNumericInputElement::Place(canvas, x, y);
    // The display sits left of the knob, where the panel has room.
    m_display.Place(canvas, x - 46, y + 10);
}

void CLargePotInputElement::PaintLabel() {
    if (!m_canvas) return;
    int w = m_canvas->TextWidth(kLabelFont, m_label);
    m_canvas->Text(m_x + (48 - w) / 2, m_y + 50, kLabelFont, kLabelColour, m_label);
}

void CLargePotInputElement::Redraw() {
    if (!m_canvas) return;
    m_canvas->Knob(m_x, m_y, 48, KnobIndex(), m_greyed);
    m_display.Show(Value(), m_greyed);
}
