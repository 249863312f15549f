#include "app/TMinipanelForm.h"

#include <QFontMetrics>
#include <QPainter>

#include "app/VSTDockLayout.h"

TMinipanelForm::TMinipanelForm(const QString& caption, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("MinipanelForm");
    setWindowTitle(caption);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(VSTDock::kMiniPanelWidth, VSTDock::kMiniPanelHeight);
    Compose();
}

void TMinipanelForm::resizeEvent(QResizeEvent*) { Compose(); }

void TMinipanelForm::Compose() {
    const qreal ratio = devicePixelRatioF();
    m_image = QImage(size() * ratio, QImage::Format_RGB32);
    m_image.setDevicePixelRatio(ratio);
    QPainter p(&m_image);
    const int w = width(), h = height();
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(0x3C, 0x3C, 0x44));
    g.setColorAt(1, QColor(0x1C, 0x1C, 0x22));
    p.fillRect(0, 0, w, h, g);
    // The same grey edge as the dock, so the panel reads as part of the strip.
    p.setPen(QColor(136, 136, 136));
    p.drawLine(0, 0, w - 1, 0);
    p.drawLine(w - 1, 0, w - 1, h - 1);
    p.drawLine(0, h - 1, w - 1, h - 1);
    QFont f = font();
    f.setPixelSize(12);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0xEF, 0xEF, 0xEF));
    const QRect box(8, 0, w - 16, h);
    p.drawText(box, Qt::AlignVCenter | Qt::AlignLeft,
               QFontMetrics(f).elidedText(windowTitle(), Qt::ElideRight, box.width()));
}

void TMinipanelForm::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, m_image);
}
