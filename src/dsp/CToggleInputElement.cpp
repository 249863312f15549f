#include "dsp/CToggleInputElement.h"

#include "dsp/CPanelCanvas.h"

namespace {
constexpr uint32_t kLabelColour = Rgb(238, 238, 238);
constexpr int kLabelFont = 9;
} // namespace

CToggleInputElement::CToggleInputElement(const std::string& label, const std::string& label2, float value,
                                         bool blinking, bool invertedLamp)
    : CDataInputElement(17, 17, value), m_blinking(blinking), m_label(label), m_label2(label2),
      m_invertedLamp(invertedLamp) {}

bool CToggleInputElement::LampLit() const {
    if (m_greyed || !m_blinkLit) return false;
    return m_invertedLamp ? Value() < 0.5f : Value() >= 0.5f;
}

void CToggleInputElement::Press(int, int) {
    if (m_pressModifiers & ModAlt) {
        if (HasRecall()) SetValue(m_recall);
        return;
    }
    SetValue(Value() >= 0.5f ? 0.0f : 1.0f);
    bool lampWanted = m_invertedLamp ? Value() < 0.5f : Value() >= 0.5f;
    if (m_blinking && lampWanted) {
        // Light at once, so the press is seen before the next phase change.
        m_blinkLit = true;
        m_blinkCounter = 0;
    }
}

void CToggleInputElement::Tick() {
    if (!m_blinking) return;
    if (++m_blinkCounter >= kBlinkTicks) {
        m_blinkCounter = 0;
        m_blinkLit = !m_blinkLit;
        Redraw();
    }
}

void CToggleInputElement::PaintLabel() {
    if (!m_canvas) return;
    m_canvas->Text(m_x + 20, m_y + 3, kLabelFont, kLabelColour, m_label);
}

void CToggleInputElement::Redraw() {
    if (!m_canvas) return;
    m_canvas->Button(m_x, m_y, 17, 17, On(), m_greyed);
    m_canvas->Lamp(m_x + 4, m_y + 4, LampLit(), m_greyed);
}

void CRoundButtonToggle::Redraw() {
    if (!m_canvas) return;
    m_canvas->Button(m_x, m_y, 17, 17, On(), m_greyed);
    m_canvas->Lamp(m_x - 12, m_y + 4, LampLit(), m_greyed);
}

CMultiSwitchInputElement::CMultiSwitchInputElement(const std::vector<std::string>& positions, float value)
    : CDataInputElement(46, 17, value), m_labels(positions) {
    if (m_labels.empty()) m_labels.push_back("");
    if (m_labels.size() <= 3) {
        m_labelDx = 0;
        m_labelDy = 23;
    } else {
        m_labelDx = 49;
        m_labelDy = 4;
    }
}

int CMultiSwitchInputElement::Selected() const {
    float v = Value();
    if (!(v >= 0.0f)) return 0;
    int s = static_cast<int>(v);
    return s >= Positions() ? Positions() - 1 : s;
}

void CMultiSwitchInputElement::Press(int x, int) {
    if (m_pressModifiers & ModAlt) {
        if (HasRecall()) SetValue(m_recall);
        return;
    }
    const int n = Positions();
    int s = Selected();
    if (x > m_x + m_width / 2) s = (s + 1) % n;
    else s = (s + n - 1) % n;
    SetValue(static_cast<float>(s));
}

void CMultiSwitchInputElement::PaintLabel() {
    if (!m_canvas) return;
    for (int i = 0; i < Positions(); ++i)
        m_canvas->Text(m_x + m_labelDx + 11, m_y + m_labelDy + i * 10, kLabelFont, kLabelColour, m_labels[i]);
}

void CMultiSwitchInputElement::Redraw() {
    if (!m_canvas) return;
    m_canvas->Button(m_x, m_y, m_width, m_height, false, m_greyed);
    const int n = Positions();
    // A marker on the switch face shows the position; lamps beside the labels repeat it.
    int span = m_width - 12;
    int mx = m_x + 3 + (n > 1 ? Selected() * span / (n - 1) : span / 2);
    m_canvas->FillRect(mx, m_y + 4, 6, m_height - 8, m_greyed ? Rgb(90, 90, 90) : Rgb(230, 230, 230));
    for (int i = 0; i < n; ++i) m_canvas->Lamp(m_x + m_labelDx, m_y + m_labelDy + i * 10, i == LitPosition(), m_greyed);
}
