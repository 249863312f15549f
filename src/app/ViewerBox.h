#pragma once
// ViewerBox: a paint box of the edit-mode area (the region graph, the navigator, the dB scale,
// the right strip, the status line and the bar below them). It shows the image its controller
// prepared and hands over every press, move, release, double click and drop; the controller and
// the wave viewer decide everything. The buttons are Qt's logical ones, so a swapped mouse
// arrives already swapped.
//
// Threading: main thread only.

#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>

class ViewerBox : public QWidget {
    Q_OBJECT
public:
    struct Handlers {
        // The picture to show; the part it does not cover is filled with the background.
        std::function<QImage()> image;
        // The box changed its size (the controller redraws at the new sizes).
        std::function<void()> resized;
        std::function<void(int x, int y, Qt::MouseButton button, Qt::KeyboardModifiers mods)> press;
        std::function<void(int x, int y, Qt::MouseButtons buttons)> move;
        std::function<void(int x, int y, Qt::MouseButton button)> release;
        std::function<void(int x, int y)> doubleClick;
        // A drop of data of dropMime.
        std::function<void(int x, int y)> drop;
        QString dropMime;
        QColor background = QColor(0xDD, 0xEE, 0xFF);
    };

    explicit ViewerBox(Handlers h, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    Handlers m_h;
};
