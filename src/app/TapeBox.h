#pragma once
// TapeBox: the paint box of a tape (the region browser, the VTape). It shows the image its
// controller composed and hands over every press, move, release, double click, wheel turn,
// key and drop; the controller owns the tape and decides everything.
//
// Threading: main thread only.

#include <QWidget>
#include <functional>

class TapeBox : public QWidget {
    Q_OBJECT
public:
    struct Handlers {
        std::function<void(int width, int height)> compose;
        std::function<const QImage&()> image;
        // button 1 left, 2 right, 3 middle
        std::function<void(int x, int y, int button, Qt::KeyboardModifiers mods)> press;
        std::function<void(int x, int y, Qt::MouseButtons buttons)> move;
        std::function<void(int x, int y, int button)> release;
        std::function<void(int x, int y)> doubleClick;
        std::function<void(int notches)> wheel;
        std::function<bool(int key, Qt::KeyboardModifiers mods)> key;
        // A drop of regions dragged from a tape: source "browser" or "vtape".
        std::function<void(int x, int y, const QString& source)> drop;
    };
    static constexpr const char* kMimeType = "application/x-sonquil-tape";

    TapeBox(Handlers h, QWidget* parent = nullptr);
    void Recompose();
    // Starts a drag of the selected regions of this box's tape.
    void StartDrag(const QString& source);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    Handlers m_h;
    int m_wheelTotal = 0;
};
