#pragma once
// EngineSnapshot: what the engine has published, read once per main-timer tick and handed to
// every area of the window, so that all of them see the same moment.
#include <cstdint>

#include "common/TransportState.h"

struct EngineSnapshot {
    int32_t transportState = kTransportStopped;
    // The play position moved since the last tick (meters redraw only then).
    bool positionMoved = false;
    // The timeline frame last handed to the sound card.
    int32_t playCursor = 0;
};
