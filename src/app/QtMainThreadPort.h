#pragma once
// The window's side of the hand-over port: a call from an engine thread posts an event to the
// main thread's loop, which serves the port.
//
// Threading: constructed on the main thread; Wake is called from any thread.

#include <QObject>

#include "common/MainThreadPort.h"

class QtMainThreadPort : public MainThreadPort {
public:
    QtMainThreadPort();
    ~QtMainThreadPort() override;

protected:
    void Wake() override;

private:
    // Lives on the main thread; the queued calls run in its context, and pending ones go with it.
    QObject m_context;
};
