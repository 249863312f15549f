#include "app/ViewerBox.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

ViewerBox::ViewerBox(Handlers h, QWidget* parent) : QWidget(parent), m_h(std::move(h)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The window's keys must reach the window, never stop at a paint box.
    setFocusPolicy(Qt::NoFocus);
    // The region graph pops its own menu when the right button comes up.
    setContextMenuPolicy(Qt::PreventContextMenu);
    setAcceptDrops(!m_h.dropMime.isEmpty());
}

void ViewerBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QImage img = m_h.image ? m_h.image() : QImage();
    if (img.isNull()) {
        p.fillRect(rect(), m_h.background);
        return;
    }
    p.drawImage(0, 0, img);
    // A picture of an older size leaves a margin until the next redraw.
    if (img.width() < width()) p.fillRect(img.width(), 0, width() - img.width(), height(), m_h.background);
    if (img.height() < height()) p.fillRect(0, img.height(), width(), height() - img.height(), m_h.background);
}

void ViewerBox::resizeEvent(QResizeEvent*) {
    if (m_h.resized) m_h.resized();
}

void ViewerBox::mousePressEvent(QMouseEvent* e) {
    if (m_h.press) m_h.press(int(e->position().x()), int(e->position().y()), e->button(), e->modifiers());
}

void ViewerBox::mouseMoveEvent(QMouseEvent* e) {
    if (m_h.move) m_h.move(int(e->position().x()), int(e->position().y()), e->buttons());
}

void ViewerBox::mouseReleaseEvent(QMouseEvent* e) {
    if (m_h.release) m_h.release(int(e->position().x()), int(e->position().y()), e->button());
}

void ViewerBox::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && m_h.doubleClick)
        m_h.doubleClick(int(e->position().x()), int(e->position().y()));
}

void ViewerBox::dragEnterEvent(QDragEnterEvent* e) {
    if (!m_h.dropMime.isEmpty() && e->mimeData()->hasFormat(m_h.dropMime)) e->acceptProposedAction();
}

void ViewerBox::dragMoveEvent(QDragMoveEvent* e) {
    if (!m_h.dropMime.isEmpty() && e->mimeData()->hasFormat(m_h.dropMime)) e->acceptProposedAction();
}

void ViewerBox::dropEvent(QDropEvent* e) {
    if (m_h.dropMime.isEmpty() || !e->mimeData()->hasFormat(m_h.dropMime)) return;
    if (m_h.drop) m_h.drop(int(e->position().x()), int(e->position().y()));
    e->acceptProposedAction();
}
