#pragma once
// What the paint boxes (PanelBox, TapeBox) share: composing their view's image at the widget's
// size and showing it. A view paints on demand, so an image of another size than the widget is
// composed again before it is shown.
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <functional>

// Refers to the box's own handlers; made for the one call.
struct ComposedImage {
    const std::function<void(int width, int height)>& compose;
    const std::function<const QImage&()>& image;

    void Recompose(QWidget& w) const {
        if (compose && w.width() > 0 && w.height() > 0) compose(w.width(), w.height());
        w.update();
    }
    void Paint(QWidget& w) const {
        QPainter p(&w);
        const QImage* img = image ? &image() : nullptr;
        if (img && img->size() != w.size()) {
            Recompose(w);
            img = &image();
        }
        if (img && !img->isNull()) p.drawImage(0, 0, *img);
        else p.fillRect(w.rect(), Qt::black);
    }
};
