#pragma once
// VSTEditorWindow: the borderless, stay-on-top window a plug-in draws its editor into. The
// plug-in is handed the window's X11 id (effEditOpen) and makes its own child window inside it,
// so the program must run on X11 (xcb, or XWayland); on any other platform the window is still
// placed and sized (the dock's layout stays the same) but the plug-in's editor is not opened.
//
// The client area is the editor's rectangle in device pixels: plug-ins draw in real pixels, so
// on a scaled screen the window is that size divided by the scale factor in Qt's units.
//
// Threading: main thread only.

#include <QSize>
#include <QWidget>

class VSTEditorWindow : public QWidget {
    Q_OBJECT
public:
    explicit VSTEditorWindow(QWidget* parent = nullptr);

    // Whether plug-in editors can be embedded on this platform (X11 window ids).
    static bool CanEmbed();
    // Tests on the offscreen platform hand its window ids to test plug-ins, which only record
    // them.
    static void ForceEmbedding(bool on);
    // The window's size in Qt's units for an editor of pixels (device pixels) at this ratio.
    static QSize LogicalSize(QSize pixels, qreal ratio);

    // The X11 id to hand to the plug-in (makes the native window).
    intptr_t NativeId();

protected:
    void paintEvent(QPaintEvent* e) override;
};
