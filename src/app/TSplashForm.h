#pragma once
// The splash window: a drawn picture with the version in white at (20, 110); stays on top
// while visible.

#include <QWidget>

class TSplashForm : public QWidget {
    Q_OBJECT
public:
    explicit TSplashForm(QWidget* parent = nullptr);
    static QImage Picture();

protected:
    void paintEvent(QPaintEvent*) override;
};
