#include "views/CScrollbar.h"

#include <QColor>
#include <QPainter>

#include <algorithm>

void CScrollbar::SetRect(int left, int top, int right, int bottom) {
    m_outer = {left, top, right - left + 1, bottom - top + 1};
    m_inner = {left + 1, top + 1, std::max(0, m_outer.width - 2), std::max(0, m_outer.height - 2)};
}

void CScrollbar::Configure(int orientation, int page, int total) {
    m_orientation = orientation == Vertical ? Vertical : Horizontal;
    m_page = std::max(0, page);
    m_total = std::max(0, total);
    m_max = m_page < m_total ? m_total - m_page : 0;
    m_position = std::clamp(m_position, 0, m_max);
}

bool CScrollbar::SetPosition(int position) {
    const int p = std::clamp(position, 0, m_max);
    if (p == m_position) return false;
    m_position = p;
    return true;
}

TapeRect CScrollbar::ThumbRect() const {
    TapeRect t = m_inner;
    if (m_max <= 0 || m_total <= 0) return t;
    const bool h = m_orientation == Horizontal;
    const int length = h ? m_inner.width : m_inner.height;
    int thumb = static_cast<int>(static_cast<double>(m_page) / m_total * length);
    thumb = std::min(std::max(thumb, 6), length);
    const int track = length - thumb;
    const int at = static_cast<int>(static_cast<int64_t>(track) * m_position / m_max);
    if (h) {
        t.left = m_inner.left + at;
        t.width = thumb;
    } else {
        t.top = m_inner.top + at;
        t.height = thumb;
    }
    return t;
}

int CScrollbar::Track() const {
    const TapeRect t = ThumbRect();
    return m_orientation == Horizontal ? m_inner.width - t.width : m_inner.height - t.height;
}

int CScrollbar::Press(int x, int y) {
    if (!m_enabled || !m_outer.Contains(x, y)) return None;
    const TapeRect t = ThumbRect();
    if (t.Contains(x, y)) {
        m_dragging = true;
        m_pressPointer = m_orientation == Horizontal ? x : y;
        m_pressThumb = m_orientation == Horizontal ? t.left : t.top;
        return Thumb;
    }
    const int v = m_orientation == Horizontal ? x : y;
    const int start = m_orientation == Horizontal ? t.left : t.top;
    if (v < start) {
        StepBack();
        return Before;
    }
    StepForward();
    return After;
}

bool CScrollbar::Drag(int x, int y) {
    if (!m_dragging) return false;
    const int track = Track();
    if (track <= 0 || m_max <= 0) return false;
    const int innerStart = m_orientation == Horizontal ? m_inner.left : m_inner.top;
    const int v = m_orientation == Horizontal ? x : y;
    const int thumb = std::clamp(m_pressThumb + (v - m_pressPointer), innerStart, innerStart + track);
    const int position = static_cast<int>(static_cast<double>(thumb - innerStart) * m_max / track + 0.5);
    return SetPosition(position);
}

void CScrollbar::Paint(QPainter& p) const {
    if (m_outer.Empty()) return;
    const TapeRect t = ThumbRect();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    // The track on both sides of the thumb, where there is more than a pixel of it.
    if (m_orientation == Horizontal) {
        if (t.left - m_inner.left > 1) p.drawRect(m_inner.left, m_inner.top, t.left - m_inner.left, m_inner.height);
        if (m_inner.Right() - t.Right() > 1)
            p.drawRect(t.Right(), m_inner.top, m_inner.Right() - t.Right(), m_inner.height);
    } else {
        if (t.top - m_inner.top > 1) p.drawRect(m_inner.left, m_inner.top, m_inner.width, t.top - m_inner.top);
        if (m_inner.Bottom() - t.Bottom() > 1)
            p.drawRect(m_inner.left, t.Bottom(), m_inner.width, m_inner.Bottom() - t.Bottom());
    }
    if (!t.Empty()) {
        p.setBrush(QColor(0xAA, 0xAA, 0xAA));
        p.drawRect(t.left, t.top, t.width, t.height);
        // Raised edge: light on the top and left, dark on the bottom and right.
        p.setPen(QColor(0xE8, 0xE8, 0xE8));
        p.drawLine(t.left, t.top, t.Right() - 1, t.top);
        p.drawLine(t.left, t.top, t.left, t.Bottom() - 1);
        p.setPen(QColor(0x55, 0x55, 0x55));
        p.drawLine(t.left, t.Bottom() - 1, t.Right() - 1, t.Bottom() - 1);
        p.drawLine(t.Right() - 1, t.top, t.Right() - 1, t.Bottom() - 1);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(Qt::black);
    p.drawRect(m_outer.left, m_outer.top, m_outer.width - 1, m_outer.height - 1);
}
