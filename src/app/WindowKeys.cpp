#include "app/WindowKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include "app/BrowserController.h"
#include "app/CommandTable.h"
#include "app/EditController.h"
#include "app/PanelBox.h"
#include "app/TapeBox.h"
#include "core/CCore.h"
#include "engine/CTransport.h"

namespace {
constexpr int kNotch = 120;
} // namespace

WindowKeys::WindowKeys(QWidget* window, CCore& core, BrowserController& browser, std::function<int()> mode)
    : QObject(window), m_window(window), m_core(core), m_browser(browser), m_mode(std::move(mode)) {}

bool WindowKeys::ControlHasFocus() const {
    // The paint boxes take the focus only so that the window's keys reach it; they are no
    // controls of their own.
    QWidget* f = QApplication::focusWidget();
    if (!f || f == m_window) return false;
    if (qobject_cast<TapeBox*>(f) || qobject_cast<PanelBox*>(f)) return false;
    return f->window() == m_window;
}

bool WindowKeys::InWindow(QObject* watched) const {
    auto* w = qobject_cast<QWidget*>(watched);
    return w && (w == m_window || w->window() == m_window);
}

void WindowKeys::StopTransport(bool finish) {
    CTransport* t = m_core.Transport();
    if (!t) return;
    const bool recording = t->IsRecording();
    t->Stop();
    if (finish && recording && finishRecording) finishRecording();
}

bool WindowKeys::KeyDown(int key, Qt::KeyboardModifiers mods) {
    if (key == Qt::Key_Alt) {
        m_tapeKeys = true;
        return false;
    }
    if (ControlHasFocus()) return false;
    CTransport* t = m_core.Transport();
    const int state = t ? t->State() : kTransportStopped;
    const bool ctrl = mods & Qt::ControlModifier;
    const bool shift = mods & Qt::ShiftModifier;
    switch (key) {
    case Qt::Key_Space: {
        // Ctrl: stop, then the three seconds before the region graph's cursor; Shift: the
        // graph's whole region while stopped; otherwise a running transport stops and, in edit
        // mode, a stopped (or only monitoring) one plays the range or from the cursor.
        const bool edit = m_mode() == kModeEdit && m_edit;
        if (ctrl) {
            if (state != kTransportStopped) StopTransport(true);
            if (edit) m_edit->SpaceKey(EditController::Space::PreRoll);
        } else if (shift) {
            if (edit && state == kTransportStopped) m_edit->SpaceKey(EditController::Space::Whole);
        } else if (state == kTransportPlaying) {
            StopTransport(false);
        } else if (state == kTransportRecording) {
            StopTransport(true);
        } else if (edit && (state == kTransportStopped || state == kTransportMonitoring)) {
            if (state == kTransportMonitoring) StopTransport(false);
            m_edit->SpaceKey(EditController::Space::RangeOrCursor);
        }
        return true;
    }
    case Qt::Key_Escape:
        if (state == kTransportPlaying || state == kTransportMonitoring) StopTransport(false);
        else if (state == kTransportRecording) StopTransport(true);
        return true;
    case Qt::Key_F5:
        if (togglePanel) togglePanel(0);
        return true;
    case Qt::Key_F6:
        if (togglePanel) togglePanel(1);
        return true;
    case Qt::Key_F8:
        if (togglePanel) togglePanel(2);
        return true;
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right: {
        // Alt makes the tape keys VTape keys; Up and Down have no VTape row and keep their
        // meaning in each mode (browser rows, or the graph's zoom).
        const bool vtapeKey = key != Qt::Key_Up && key != Qt::Key_Down;
        const bool tapeKeys = vtapeKey && (m_tapeKeys || (mods & Qt::AltModifier));
        if (m_mode() == kModeBrowse || tapeKeys) {
            m_browser.WindowKey(key, mods, tapeKeys);
            return true;
        }
        return m_edit && m_edit->EditKey(key, mods);
    }
    default: return false;
    }
}

void WindowKeys::KeyUp(int key) {
    if (key == Qt::Key_Alt) m_tapeKeys = false;
}

void WindowKeys::FocusLost() {
    // Alt+Tab: the release of Alt goes to the window switched to, never to us, so the held state
    // ends with the focus; otherwise the arrows would drive the VTape until Alt was pressed again.
    m_tapeKeys = false;
}

bool WindowKeys::Wheel(int delta) {
    m_wheelTotal += delta;
    // Whole notches become steps; a fine wheel's small deltas add up until they make one.
    m_wheelRest += delta;
    const int steps = m_wheelRest / kNotch;
    m_wheelRest -= steps * kNotch;
    CTransport* t = m_core.Transport();
    if (steps != 0 && (!t || t->IsStopped())) {
        if (m_mode() == kModeBrowse) m_browser.Wheel(steps);
        else if (m_edit) m_edit->Wheel(steps);
    }
    return true;
}

void WindowKeys::MiddleButton(bool down) {
    if (down) {
        m_wheelTotal = 0;
        m_wheelRest = 0;
    }
}

bool WindowKeys::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        if (InWindow(watched)) {
            auto* e = static_cast<QKeyEvent*>(event);
            if (KeyDown(e->key(), e->modifiers())) {
                e->accept();
                return true;
            }
        }
        break;
    case QEvent::KeyRelease:
        if (InWindow(watched)) KeyUp(static_cast<QKeyEvent*>(event)->key());
        break;
    case QEvent::WindowDeactivate:
        if (watched == m_window) FocusLost();
        break;
    case QEvent::ApplicationStateChange:
        if (static_cast<QApplicationStateChangeEvent*>(event)->applicationState() != Qt::ApplicationActive) FocusLost();
        break;
    case QEvent::Wheel:
        if (InWindow(watched)) {
            auto* e = static_cast<QWheelEvent*>(event);
            Wheel(e->angleDelta().y());
            e->accept();
            return true;
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        if (InWindow(watched) && static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton)
            MiddleButton(event->type() == QEvent::MouseButtonPress);
        break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}
