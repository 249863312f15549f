#pragma once
// WindowKeys: the window-wide key handler and the wheel. The window sees every key before its
// controls do; while a control of the window (an edit box, a tree, a list, a button) has the
// input focus it does nothing, so typing there works. Otherwise it carries out the key's row of
// the window's key table and swallows the key. Alt alone holds the tape keys: Left, Right,
// Page Up, Page Down, Home and End then act on the VTape instead of the browser, until Alt is
// released or the window stops being the active one. The wheel is
// the window's wherever the pointer is: in browse mode and while the transport is stopped it
// scrolls the browser, in edit mode it zooms the region graph. In edit mode the cursor, zoom
// and range keys and the Space rows that play go to the region graph (EditController).
//
// Threading: main thread only.

#include <QObject>
#include <functional>

class BrowserController;
class CCore;
class EditController;
class QWidget;

class WindowKeys : public QObject {
    Q_OBJECT
public:
    // mode: the window's current mode.
    WindowKeys(QWidget* window, CCore& core, BrowserController& browser, std::function<int()> mode);

    // Form1OnKeyDown: true when the key was the window's (and is swallowed).
    bool KeyDown(int key, Qt::KeyboardModifiers mods);
    // Form1OnKeyUp: releasing Alt ends the tape keys.
    void KeyUp(int key);
    // The window lost the keyboard (another window or program became active): no key is held
    // for it any more.
    void FocusLost();
    // The wheel turned by delta (120 a notch). True: the window took it.
    bool Wheel(int delta);
    void MiddleButton(bool down);

    bool TapeKeys() const { return m_tapeKeys; }
    // A control of the window has the input focus.
    bool ControlHasFocus() const;

    // The region graph's area, which takes the edit-mode keys and wheel; none: they do nothing.
    void SetEditArea(EditController* edit) { m_edit = edit; }

    // What the recording does with a recording that the user stops (finish it as a region when
    // it has frames). Without it the stop is all.
    std::function<void()> finishRecording;
    // F5, F6, F8: opens or closes the left side panel (0), the right one (1) or the panel above
    // the VTape (2); the side sections own the panels.
    std::function<void(int panel)> togglePanel;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool InWindow(QObject* watched) const;
    void StopTransport(bool finishRecording);

    QWidget* m_window;
    CCore& m_core;
    BrowserController& m_browser;
    EditController* m_edit = nullptr;
    std::function<int()> m_mode;
    bool m_tapeKeys = false;
    int m_wheelTotal = 0;
    int m_wheelRest = 0; // turns not yet a whole notch
};
