#include "app/TSplashForm.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

TSplashForm::TSplashForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("SplashForm");
    setFixedSize(400, 140);
    setAttribute(Qt::WA_QuitOnClose, false); // closing the main window alone ends the program
    if (QScreen* s = QGuiApplication::primaryScreen()) move(s->geometry().center() - rect().center());
}

QImage TSplashForm::Picture() {
    QImage img(400, 140, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 400, 140);
    g.setColorAt(0, QColor(0x11, 0x22, 0x44));
    g.setColorAt(1, QColor(0x33, 0x55, 0x88));
    p.fillRect(img.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0xEF, 0xEF, 0xEF));
    QFont big("DejaVu Sans", 28, QFont::Bold);
    p.setFont(big);
    p.drawText(20, 60, "Sonquil");
    // A stylised waveform under the name.
    p.setPen(QPen(QColor(0x88, 0xCC, 0xFF), 1.5));
    for (int x = 200; x < 380; x += 4) {
        int h = 6 + ((x * 37) % 23);
        p.drawLine(x, 50 - h, x, 50 + h);
    }
    p.setPen(Qt::white);
    p.setFont(QFont("DejaVu Sans", 9));
    p.drawText(20, 110, "version  " SONQUIL_VERSION);
    return img;
}

void TSplashForm::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, Picture());
}
