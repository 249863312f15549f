#include "dsp/CDataInputElement.h"

std::atomic<bool> CDataInputElement::s_fineKey{false};

CDataInputElement::CDataInputElement(int width, int height, float value)
    : m_width(width), m_height(height), m_value(value) {}

void CDataInputElement::SetValue(float v) { StoreValue(v); }

void CDataInputElement::SetValueAndRecall(float v) {
    SetValue(v);
    m_recall = v;
}

void CDataInputElement::SetGreyed(bool g) { m_greyed = g; }

void CDataInputElement::Place(CPanelCanvas* canvas, int x, int y) {
    m_canvas = canvas;
    m_x = x;
    m_y = y;
    m_hit[0] = x;
    m_hit[1] = y;
    m_hit[2] = m_width;
    m_hit[3] = m_height;
}

bool CDataInputElement::MouseDown(uint8_t modifiers, int x, int y) {
    if (x < m_hit[0] || y < m_hit[1] || x >= m_hit[0] + m_hit[2] || y >= m_hit[1] + m_hit[3]) return false;
    m_pressX = m_curX = m_lastX = x;
    m_pressY = m_curY = m_lastY = y;
    m_pressModifiers = modifiers;
    Press(x, y);
    Redraw();
    return true;
}

void CDataInputElement::MouseMove(int x, int y) {
    m_curX = x;
    m_curY = y;
}

void CDataInputElement::Paint() {
    PaintLabel();
    Redraw();
}
