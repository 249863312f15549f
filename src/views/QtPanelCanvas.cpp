#include "views/QtPanelCanvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

QColor ToQColor(uint32_t rgb) { return QColor((rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255); }

QFont PanelFont(int height) {
    QFont f("DejaVu Sans");
    f.setPixelSize(height > 0 ? height : 9);
    return f;
}

// Segments a..g of each glyph, bit 0 = a (top), clockwise, bit 6 = g (middle).
int SegmentsOf(int glyph) {
    static const int digits[10] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};
    if (glyph >= 0 && glyph <= 9) return digits[glyph];
    if (glyph == GlyphMinus) return 0x40;
    return 0; // blank, plus and the neutral sign are drawn apart
}

} // namespace

uint32_t QtPanelCanvas::SchemeColour(int scheme) {
    switch (scheme) {
    case 0: return Rgb(44, 133, 192);
    case 2: return Rgb(230, 216, 0);
    case 3: return Rgb(0, 236, 83);
    default: return Rgb(218, 98, 0);
    }
}

void QtPanelCanvas::FillRect(int x, int y, int w, int h, uint32_t rgb) {
    // A panel that has not been composed yet has no surface; its ticks draw nothing.
    if (m_image.isNull()) return;
    QPainter p(&m_image);
    p.fillRect(x, y, w, h, ToQColor(rgb));
}

void QtPanelCanvas::Line(int x0, int y0, int x1, int y1, uint32_t rgb) {
    if (m_image.isNull()) return;
    QPainter p(&m_image);
    p.setPen(ToQColor(rgb));
    p.drawLine(x0, y0, x1, y1);
}

void QtPanelCanvas::Text(int x, int y, int fontHeight, uint32_t rgb, const std::string& text) {
    if (m_image.isNull()) return;
    QPainter p(&m_image);
    QFont f = PanelFont(fontHeight);
    p.setFont(f);
    p.setPen(ToQColor(rgb));
    QFontMetrics fm(f);
    p.drawText(x, y + fm.ascent(), QString::fromStdString(text));
}

int QtPanelCanvas::TextWidth(int fontHeight, const std::string& text) {
    QFontMetrics fm(PanelFont(fontHeight));
    return fm.horizontalAdvance(QString::fromStdString(text));
}

void QtPanelCanvas::Knob(int x, int y, int size, int index, bool greyed) {
    if (m_image.isNull()) return;
    QPainter p(&m_image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(x, y, size, size, QColor(24, 24, 24));
    QRadialGradient g(x + size * 0.35, y + size * 0.35, size * 0.6);
    g.setColorAt(0, greyed ? QColor(80, 80, 80) : QColor(150, 150, 150));
    g.setColorAt(1, greyed ? QColor(40, 40, 40) : QColor(50, 50, 50));
    p.setBrush(g);
    p.setPen(QColor(10, 10, 10));
    p.drawEllipse(QRectF(x + 1, y + 1, size - 2, size - 2));
    // 13 positions over 270 degrees, from lower left (minimum) to lower right (maximum).
    const double angle = (225.0 - index * 270.0 / 12.0) * M_PI / 180.0;
    const double cx = x + size / 2.0, cy = y + size / 2.0, r = size / 2.0 - 3;
    p.setPen(QPen(greyed ? QColor(110, 110, 110) : QColor(238, 238, 238), size > 30 ? 3 : 2));
    p.drawLine(QPointF(cx + std::cos(angle) * r * 0.3, cy - std::sin(angle) * r * 0.3),
               QPointF(cx + std::cos(angle) * r, cy - std::sin(angle) * r));
}

void QtPanelCanvas::Digit(int x, int y, int glyph, bool greyed) {
    if (m_image.isNull()) return;
    QPainter p(&m_image);
    const int w = kDigitWidth, h = kDigitHeight;
    p.fillRect(x, y, w, h, Qt::black);
    const QColor on = greyed ? QColor(90, 60, 40) : QColor(255, 70, 40);
    const QColor off(40, 16, 12);
    const int segs = SegmentsOf(glyph);
    const int mid = y + h / 2;
    const QRect seg[7] = {
        QRect(x + 1, y, w - 3, 1),
        QRect(x + w - 2, y + 1, 1, h / 2 - 1),
        QRect(x + w - 2, mid + 1, 1, h / 2 - 2),
        QRect(x + 1, y + h - 1, w - 3, 1),
        QRect(x, mid + 1, 1, h / 2 - 2),
        QRect(x, y + 1, 1, h / 2 - 1),
        QRect(x + 1, mid, w - 3, 1),
    };
    for (int i = 0; i < 7; ++i) p.fillRect(seg[i], (segs >> i) & 1 ? on : off);
    if (glyph == GlyphPlus) {
        p.fillRect(x + 1, mid, w - 3, 1, on);
        p.fillRect(x + w / 2 - 1, mid - 2, 1, 5, on);
    }
}

void QtPanelCanvas::DecimalPoint(int x, int y, bool greyed) {
    if (m_image.isNull()) return;
    QPainter p(&m_image);
    p.fillRect(x - 1, y + kDigitHeight - 2, 2, 2, greyed ? QColor(90, 60, 40) : QColor(255, 70, 40));
}

void QtPanelCanvas::DigitFrame(int x, int y, int w, int h) {
    if (m_image.isNull()) return;
    QPainter p(&m_image);
    p.setPen(QColor(90, 90, 90));
    p.setBrush(Qt::black);
    p.drawRect(x, y, w - 1, h - 1);
}

void QtPanelCanvas::Lamp(int x, int y, bool lit, bool greyed) {
    if (m_image.isNull()) return;
    QPainter p(&m_image);
    p.setRenderHint(QPainter::Antialiasing);
    QColor c = greyed ? QColor(60, 60, 60) : (lit ? QColor(255, 60, 30) : QColor(70, 20, 15));
    p.setPen(QColor(15, 15, 15));
    p.setBrush(c);
    p.drawEllipse(QRectF(x, y, 9, 9));
    if (lit && !greyed) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 200, 180));
        p.drawEllipse(QRectF(x + 2, y + 2, 3, 3));
    }
}

void QtPanelCanvas::Button(int x, int y, int w, int h, bool down, bool greyed) {
    if (m_image.isNull()) return;
    QPainter p(&m_image);
    QColor face = greyed ? QColor(55, 55, 55) : (down ? QColor(95, 95, 95) : QColor(120, 120, 120));
    p.fillRect(x, y, w, h, face);
    p.setPen(down ? QColor(30, 30, 30) : QColor(200, 200, 200));
    p.drawLine(x, y, x + w - 1, y);
    p.drawLine(x, y, x, y + h - 1);
    p.setPen(down ? QColor(200, 200, 200) : QColor(30, 30, 30));
    p.drawLine(x + w - 1, y, x + w - 1, y + h - 1);
    p.drawLine(x, y + h - 1, x + w - 1, y + h - 1);
}

void QtPanelCanvas::MeterColumn(int x, int y, int index, int scheme) {
    if (m_image.isNull()) return;
    QPainter p(&m_image);
    const QColor bright = [&] {
        uint32_t c = SchemeColour(scheme);
        return ToQColor(c);
    }();
    const QColor dark = bright.darker(400);
    // Five lamps stacked upwards from the bottom; index lamps lit.
    for (int i = 0; i < 5; ++i) p.fillRect(x, y + (4 - i) * 5, 14, 4, i < index ? bright : dark);
}

void QtPanelCanvas::BackgroundStrip(int x, int y) {
    if (m_image.isNull()) return;
    QPainter p(&m_image);
    QLinearGradient g(x, y, x, y + 69);
    g.setColorAt(0, QColor(58, 58, 60));
    g.setColorAt(0.5, QColor(38, 38, 40));
    g.setColorAt(1, QColor(28, 28, 30));
    p.fillRect(x, y, 1000, 69, g);
    p.setPen(QColor(70, 70, 72));
    for (int i = 0; i < 1000; i += 4) p.drawPoint(x + i, y + 1 + (i * 7) % 67);
}

void QtPanelCanvas::Title(int x, int y, const std::string& title, int scheme) {
    if (m_image.isNull()) return;
    QPainter p(&m_image);
    QFont f = PanelFont(11);
    f.setBold(true);
    p.setFont(f);
    p.setPen(ToQColor(SchemeColour(scheme)));
    p.drawText(x, y + QFontMetrics(f).ascent(), QString::fromStdString(title));
}
