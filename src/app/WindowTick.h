#pragma once
// WindowTick: the main timer's steps as the window carries them out: the areas' own tick for
// the plug-in and panel steps, the meter bridge for the lamp, the meters and the counter. The
// wave viewer's share (the play line and following the play position) is the edit-mode area's
// own tick (EditController::Tick), which also sees the stop that takes the line away.
//
// Threading: main thread only.

#include <memory>
#include <vector>

#include "app/MainTimer.h"

class AreaController;
class MetersController;

class WindowTick : public MainTimer::Steps {
public:
    WindowTick(const std::vector<std::unique_ptr<AreaController>>& areas, MetersController& meters)
        : m_areas(areas), m_meters(meters) {}

    void DrawStateLamp() override;
    void RedrawStateDisplay() override;
    void Panels(const EngineSnapshot& snapshot) override;
    void RedrawCounter() override;
    void FallStep() override;
    void ClearMeters() override;
    void FollowPlayPosition(const EngineSnapshot&) override {}
    void ShowPlaying(const EngineSnapshot& snapshot) override;
    void ShowRecording(const EngineSnapshot& snapshot) override;

private:
    const std::vector<std::unique_ptr<AreaController>>& m_areas;
    MetersController& m_meters;
};
