#include "app/MainTimer.h"

#include "common/TransportState.h"
#include "core/EngineSnapshot.h"

void MainTimer::Tick(const EngineSnapshot& snapshot, int32_t& lastShown, Steps& steps) {
    const int32_t state = snapshot.transportState;
    if (state == kTransportRendering) return;

    if (++m_blinkCounter > kBlinkTicks) {
        m_blinkCounter = 0;
        m_blinkPhase = !m_blinkPhase;
        if (m_blinkPhase) steps.DrawStateLamp();
        else steps.RedrawStateDisplay();
    }

    steps.Panels(snapshot);

    if (state == kTransportStopped) {
        if (m_falloff == kFalloffStart) steps.RedrawCounter();
        if (m_falloff > 1) {
            steps.FallStep();
            if (--m_falloff == 1) steps.ClearMeters();
        }
        return;
    }
    m_falloff = kFalloffStart;

    if (state == kTransportPlaying) {
        if (snapshot.playCursor == lastShown) return;
        steps.FollowPlayPosition(snapshot);
        lastShown = snapshot.playCursor;
        steps.ShowPlaying(snapshot);
    } else if (state == kTransportRecording || state == kTransportMonitoring) {
        steps.ShowRecording(snapshot);
    }
}
