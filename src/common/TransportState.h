#pragma once
// The transport's states and where a playback was asked from. The main thread alone moves the
// state away from Stopped and back; everyone else only reads it.
#include <cstdint>

enum TransportState : int32_t {
    kTransportStopped = 0,
    kTransportPlaying = 1,
    kTransportRecording = 2,
    kTransportMonitoring = 3,
    kTransportRendering = 4,
};

enum PlayOrigin : int32_t {
    kOriginRegionBrowser = 0,
    kOriginVTape = 1,
    kOriginWaveViewer = 2,
};
