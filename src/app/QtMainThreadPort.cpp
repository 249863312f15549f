#include "app/QtMainThreadPort.h"

#include <QMetaObject>

QtMainThreadPort::QtMainThreadPort() = default;

QtMainThreadPort::~QtMainThreadPort() { Close(); }

void QtMainThreadPort::Wake() {
    QMetaObject::invokeMethod(
        &m_context, [this] { Serve(); }, Qt::QueuedConnection);
}
