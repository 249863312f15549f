#include "app/PanelBox.h"

#include <QMouseEvent>
#include <QPainter>

PanelBox::PanelBox(Handlers h, QWidget* parent) : QWidget(parent), m_h(std::move(h)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

void PanelBox::Recompose() {
    if (m_h.compose && width() > 0 && height() > 0) m_h.compose(width(), height());
    update();
}

void PanelBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QImage* img = m_h.image ? &m_h.image() : nullptr;
    if (img && img->size() != size()) {
        Recompose();
        img = &m_h.image();
    }
    if (img && !img->isNull()) p.drawImage(0, 0, *img);
    else p.fillRect(rect(), Qt::black);
}

void PanelBox::resizeEvent(QResizeEvent*) { Recompose(); }

void PanelBox::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !m_h.leftDown) return;
    const auto mods = e->modifiers();
    m_h.leftDown(mods & Qt::AltModifier, mods & Qt::ControlModifier, int(e->position().x()), int(e->position().y()));
    update();
}

void PanelBox::mouseMoveEvent(QMouseEvent* e) {
    if (m_h.move) m_h.move(int(e->position().x()), int(e->position().y()), e->modifiers() & Qt::ControlModifier);
    update();
}

void PanelBox::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && m_h.up) m_h.up();
    update();
}
