#include "dsp/CMeterBar.h"

#include "dsp/CPanelCanvas.h"

namespace {

constexpr uint32_t kBlack = Rgb(0, 0, 0);

float Clamp01(float v) {
    if (!(v > 0.0f)) return 0.0f; // NaN reads as empty
    return v > 1.0f ? 1.0f : v;
}

} // namespace

void CMeterBar::SetBounds(int left, int top, int width, int height) {
    m_left = left;
    m_top = top;
    m_width = width > 0 ? width : 0;
    m_height = height > 0 ? height : 0;
}

void CMeterBar::SetHoldTime(int updates) {
    m_holdTime = updates < 0 ? 0 : (updates > kMaxHoldTime ? kMaxHoldTime : updates);
}

void CMeterBar::SetHoldDecay(float perUpdate) {
    if (!(perUpdate > 0.0f)) perUpdate = 0.0f;
    m_holdDecay = perUpdate > kMaxHoldDecay ? kMaxHoldDecay : perUpdate;
}

void CMeterBar::SetValue(float reading) {
    if (!(reading == reading)) reading = 0.0f;
    if (reading > m_value) {
        m_value = reading;
    } else if (m_value - reading > kMaxFall + 1.0e-6f) {
        // The allowance absorbs the float error of repeated steps of 0.2, which would otherwise
        // leave a sliver after five updates.
        m_value -= kMaxFall;
    } else {
        m_value = reading;
    }
    m_value = Clamp01(m_value);
    Paint();
}

void CMeterBar::Reset() {
    m_value = 0.0f;
    m_hold = 0.0f;
    m_holdCounter = 0;
    Paint();
}

void CMeterBar::UpdateHold() {
    if (m_value >= m_hold) {
        m_hold = m_value;
        m_holdCounter = 0;
        return;
    }
    ++m_holdCounter;
    if (m_holdCounter > m_holdTime) m_hold -= m_holdDecay;
    if (m_hold < m_value) m_hold = m_value;
}

void CMeterBar::Paint() {
    UpdateHold();
    Draw();
}

void CMeterBar::FillSpan(int a, int b, uint32_t rgb) {
    if (b <= a) return;
    const int len = Length();
    // Reversed bars grow from the far end; vertical bars grow upwards unless reversed.
    const bool fromFar = (m_orientation == Vertical) != (m_direction == Reversed);
    const int lo = fromFar ? len - b : a;
    const int span = b - a;
    if (m_orientation == Horizontal) m_canvas->FillRect(m_left + lo, m_top, span, m_height, rgb);
    else m_canvas->FillRect(m_left, m_top + lo, m_width, span, rgb);
}

void CMeterBar::Draw() {
    if (!m_canvas) return;
    const int len = Length();
    if (len <= 0) return;
    const int filled = static_cast<int>(m_value * len);
    FillSpan(0, filled, m_barColour);
    FillSpan(filled, len, kBlack);
    // The hold strip stays inside the bar even at full scale.
    int h = static_cast<int>(m_hold * len);
    int strip = kHoldStrip < len ? kHoldStrip : len;
    if (h + strip > len) h = len - strip;
    FillSpan(h, h + strip, m_persistence ? m_holdColour : kBlack);
}
