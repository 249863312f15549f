#include "app/PanelBox.h"

#include "app/ComposedImage.h"

#include <QMouseEvent>

PanelBox::PanelBox(Handlers h, QWidget* parent) : QWidget(parent), m_h(std::move(h)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

void PanelBox::Recompose() { ComposedImage{m_h.compose, m_h.image}.Recompose(*this); }

void PanelBox::paintEvent(QPaintEvent*) { ComposedImage{m_h.compose, m_h.image}.Paint(*this); }

void PanelBox::resizeEvent(QResizeEvent*) { Recompose(); }

void PanelBox::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !m_h.leftDown) return;
    const auto mods = e->modifiers();
    const bool taken = m_h.leftDown(mods & Qt::AltModifier, mods & Qt::ControlModifier, int(e->position().x()),
                                    int(e->position().y()));
    update();
    if (!taken && m_unclaimed && !(mods & (Qt::AltModifier | Qt::ControlModifier | Qt::ShiftModifier))) m_unclaimed();
}

void PanelBox::mouseMoveEvent(QMouseEvent* e) {
    if (m_h.move) m_h.move(int(e->position().x()), int(e->position().y()), e->modifiers() & Qt::ControlModifier);
    update();
}

void PanelBox::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && m_h.up) m_h.up();
    update();
}
