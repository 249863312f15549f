#include "app/TapeBox.h"

#include "app/ComposedImage.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QWheelEvent>

namespace {
int ButtonCode(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 3;
    default: return 0;
    }
}
} // namespace

TapeBox::TapeBox(Handlers h, QWidget* parent) : QWidget(parent), m_h(std::move(h)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setAcceptDrops(true);
    setContextMenuPolicy(Qt::PreventContextMenu);
}

void TapeBox::Recompose() { ComposedImage{m_h.compose, m_h.image}.Recompose(*this); }

void TapeBox::StartDrag(const QString& source) {
    auto* drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setData(kMimeType, source.toUtf8());
    drag->setMimeData(mime);
    drag->exec(Qt::MoveAction | Qt::CopyAction);
}

void TapeBox::paintEvent(QPaintEvent*) { ComposedImage{m_h.compose, m_h.image}.Paint(*this); }

void TapeBox::resizeEvent(QResizeEvent*) { Recompose(); }

void TapeBox::mousePressEvent(QMouseEvent* e) {
    const int b = ButtonCode(e->button());
    if (b && m_h.press) m_h.press(int(e->position().x()), int(e->position().y()), b, e->modifiers());
    update();
}

void TapeBox::mouseMoveEvent(QMouseEvent* e) {
    if (m_h.move) m_h.move(int(e->position().x()), int(e->position().y()), e->buttons());
    update();
}

void TapeBox::mouseReleaseEvent(QMouseEvent* e) {
    const int b = ButtonCode(e->button());
    if (b && m_h.release) m_h.release(int(e->position().x()), int(e->position().y()), b);
    update();
}

void TapeBox::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && m_h.doubleClick)
        m_h.doubleClick(int(e->position().x()), int(e->position().y()));
    update();
}

void TapeBox::wheelEvent(QWheelEvent* e) {
    // One step per notch (120 units); smaller deltas add up.
    m_wheelTotal += e->angleDelta().y();
    const int notches = m_wheelTotal / 120;
    m_wheelTotal -= notches * 120;
    if (notches && m_h.wheel) m_h.wheel(notches);
    e->accept();
    update();
}

void TapeBox::keyPressEvent(QKeyEvent* e) {
    if (m_h.key && m_h.key(e->key(), e->modifiers())) {
        e->accept();
        update();
        return;
    }
    QWidget::keyPressEvent(e);
}

void TapeBox::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasFormat(kMimeType)) e->acceptProposedAction();
}

void TapeBox::dragMoveEvent(QDragMoveEvent* e) {
    if (e->mimeData()->hasFormat(kMimeType)) e->acceptProposedAction();
}

void TapeBox::dropEvent(QDropEvent* e) {
    if (!e->mimeData()->hasFormat(kMimeType)) return;
    const QString source = QString::fromUtf8(e->mimeData()->data(kMimeType));
    if (m_h.drop) m_h.drop(int(e->position().x()), int(e->position().y()), source);
    e->acceptProposedAction();
    update();
}
