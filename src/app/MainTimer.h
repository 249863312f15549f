#pragma once
// MainTimer: what one tick of the window's 50 ms timer does, in its fixed order. The audio and
// disk threads never touch the window; everything that moves while audio runs is drawn here
// from what the engine published:
//   - while rendering, nothing (a clone or export render owns the engine);
//   - the state lamp: every eighth tick it swaps between the lamp picture and the transport's
//      status icon (400 ms each);
//   - the plug-in chain's step and the processor panels (the areas' own tick);
//   - stopped: at the first tick the time counter is redrawn; for 199 ticks the meters fall one
//      step each; then the peaks are cleared and the meters, counter and status drawn once;
//   - running: the fall-off counter is held at 200, so a new start ends a fall-off at once;
//   - playing: only when the play position moved since the last shown one, the wave viewer
//      follows it and the meters and counter show it;
//   - recording or monitoring: the meters and counter at every tick, and the automatic stop.
// The order and the counters live here; the drawing is the steps' (WindowTick in the window).
//
// Threading: main thread only.

#include <cstdint>

struct EngineSnapshot;

class MainTimer {
public:
    static constexpr int kFalloffStart = 200;
    static constexpr int kBlinkTicks = 7;

    class Steps {
    public:
        virtual ~Steps() = default;
        virtual void DrawStateLamp() = 0;
        virtual void RedrawStateDisplay() = 0;
        // The plug-in chain's step and the processor panels (and every area's own share of the tick).
        virtual void Panels(const EngineSnapshot& snapshot) = 0;
        virtual void RedrawCounter() = 0;
        // The meters fall by one step; the processors' meters are let down by the panels.
        virtual void FallStep() = 0;
        // The peak values cleared; meters, counter and status icon redrawn.
        virtual void ClearMeters() = 0;
        // Playing: the wave viewer follows the play position (edit mode, origin 2).
        virtual void FollowPlayPosition(const EngineSnapshot& snapshot) = 0;
        // Playing: meters and counter at the new position.
        virtual void ShowPlaying(const EngineSnapshot& snapshot) = 0;
        // Recording or monitoring: meters and counter at every tick, and the automatic stop.
        virtual void ShowRecording(const EngineSnapshot& snapshot) = 0;
    };

    // One tick. lastShown is the play position drawn at the previous tick (the transport keeps
    // it, so that a new play request starts it afresh); it is updated here.
    void Tick(const EngineSnapshot& snapshot, int32_t& lastShown, Steps& steps);

    int BlinkCounter() const { return m_blinkCounter; }
    int Falloff() const { return m_falloff; }

private:
    int m_blinkCounter = 0;
    bool m_blinkPhase = false;
    // Quiet at start-up: nothing has played that could fall away.
    int m_falloff = 1;
};
