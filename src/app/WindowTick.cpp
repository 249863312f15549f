#include "app/WindowTick.h"

#include "app/AreaController.h"
#include "app/MetersController.h"

void WindowTick::DrawStateLamp() { m_meters.DrawStateLamp(); }
void WindowTick::RedrawStateDisplay() { m_meters.RedrawStateDisplay(); }

void WindowTick::Panels(const EngineSnapshot& snapshot) {
    for (const auto& area : m_areas) area->Tick(snapshot);
}

void WindowTick::RedrawCounter() { m_meters.RedrawCounter(); }
void WindowTick::FallStep() { m_meters.FallStep(); }
void WindowTick::ClearMeters() { m_meters.ClearMeters(); }
void WindowTick::ShowPlaying(const EngineSnapshot& snapshot) { m_meters.ShowPlaying(snapshot); }
void WindowTick::ShowRecording(const EngineSnapshot& snapshot) { m_meters.ShowRecording(snapshot); }
