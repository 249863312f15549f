#pragma once
// WindowTransportView: what the transport asks of the window (CTransportView), handed on to
// the areas that show the transport: the meter bridge's status icon and counter now, the wave
// viewer's play marks and cursor once it is part of the window. Each area adds its handlers;
// the transport is given this one view for the life of the window.
//
// Threading: main thread only (the transport calls its view there).

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/CTransport.h"

class WindowTransportView : public CTransportView {
public:
    std::vector<std::function<void()>> refresh;
    std::vector<std::function<void()>> resetPlayMarks;
    std::vector<std::function<void(int32_t)>> removePlayMark;
    std::vector<std::function<void(int32_t)>> pauseAt;
    std::vector<std::function<void()>> playFromCursor;

    void RefreshTransport() override {
        for (auto& f : refresh) f();
    }
    void ResetPlayMarks() override {
        for (auto& f : resetPlayMarks) f();
    }
    void RemovePlayMark(int32_t lastDrawn) override {
        for (auto& f : removePlayMark) f(lastDrawn);
    }
    void PauseAt(int32_t lastShown) override {
        for (auto& f : pauseAt) f(lastShown);
    }
    void PlayFromCursor() override {
        for (auto& f : playFromCursor) f();
    }
};
