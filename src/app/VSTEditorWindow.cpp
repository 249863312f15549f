#include "app/VSTEditorWindow.h"

#include <QGuiApplication>
#include <QPainter>
#include <cmath>

VSTEditorWindow::VSTEditorWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("VSTEditorWindow");
    setAttribute(Qt::WA_NativeWindow);
    // The plug-in's child window covers the client area; Qt must not paint over it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
}

namespace {
bool g_forceEmbedding = false;
}

bool VSTEditorWindow::CanEmbed() { return g_forceEmbedding || QGuiApplication::platformName() == QLatin1String("xcb"); }

void VSTEditorWindow::ForceEmbedding(bool on) { g_forceEmbedding = on; }

QSize VSTEditorWindow::LogicalSize(QSize pixels, qreal ratio) {
    if (ratio <= 0) ratio = 1;
    return QSize(static_cast<int>(std::ceil(pixels.width() / ratio)),
                 static_cast<int>(std::ceil(pixels.height() / ratio)));
}

intptr_t VSTEditorWindow::NativeId() { return static_cast<intptr_t>(winId()); }

void VSTEditorWindow::paintEvent(QPaintEvent*) {
    // Only where no editor lives (another platform, or before the plug-in drew): black, like
    // the dock.
    if (CanEmbed()) return;
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
}
