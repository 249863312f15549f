#pragma once
// PanelBox: a paint box that shows an off-screen image composed by a view and hands the
// mouse to it. The view paints on demand (resize, or when told the image changed).

#include <QWidget>
#include <functional>

class PanelBox : public QWidget {
    Q_OBJECT
public:
    struct Handlers {
        // Composes the whole panel at a size.
        std::function<void(int width, int height)> compose;
        // The image as the view last drew it (controls redraw into it between composes).
        std::function<const QImage&()> image;
        std::function<bool(bool alt, bool ctrl, int x, int y)> leftDown;
        std::function<void(int x, int y, bool ctrl)> move;
        std::function<void()> up;
    };
    PanelBox(Handlers h, QWidget* parent = nullptr);
    // Composes the panel again and shows it.
    void Recompose();
    // A left press with no modifier that no control of the panel took (the DSP panels start a
    // drag there).
    void SetUnclaimedPress(std::function<void()> f) { m_unclaimed = std::move(f); }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    Handlers m_h;
    std::function<void()> m_unclaimed;
};
