#include "engine/CTransport.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "common/MainThreadPort.h"
#include "engine/CPlayList.h"
#include "library/CRegion.h"
#include "library/CSample.h"

CTransport::CTransport(MainThreadPort& port, CPlayList& playList) : m_port(port), m_playList(playList) { Clear(); }

void CTransport::Clear() {
    m_state.store(kTransportStopped, std::memory_order_release);
    m_loop.store(false);
    m_recordingEnded.store(false);
    m_playbackEnded.store(false);
    m_origin.store(0);
}

void CTransport::Start(int32_t state) {
    // A run must have ended before the next begins: the engine still reads what the last one
    // was given (play list, target) until its ended flag is set.
    if (!IsStopped()) Stop();
    if (m_beforeRun) m_beforeRun(state);
    if (state == kTransportRecording || state == kTransportMonitoring)
        m_recordingEnded.store(false, std::memory_order_relaxed);
    else m_playbackEnded.store(false, std::memory_order_relaxed);
    m_serial.fetch_add(1, std::memory_order_relaxed);
    m_state.store(state, std::memory_order_seq_cst);
}

void CTransport::Play(int32_t origin) {
    m_origin.store(origin, std::memory_order_relaxed);
    Start(kTransportPlaying);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    m_view->RefreshTransport();
}

void CTransport::Monitor() {
    // Recording and monitoring share one input run: switching does not reopen the device.
    if (IsRecording()) m_state.store(kTransportMonitoring, std::memory_order_seq_cst);
    else Start(kTransportMonitoring);
    m_view->RefreshTransport();
}

void CTransport::Record() {
    if (IsMonitoring()) m_state.store(kTransportRecording, std::memory_order_seq_cst);
    else Start(kTransportRecording);
    m_view->RefreshTransport();
}

void CTransport::Render(CRenderTarget* target) {
    if (!IsStopped()) Stop();
    m_renderTarget.store(target, std::memory_order_relaxed);
    Start(kTransportRendering);
    m_view->RefreshTransport();
}

void CTransport::WaitFor(const std::atomic<bool>& flag, uint32_t serial) {
    // Serving the port while waiting: the audio thread may be handing work to this thread
    // (its own stop at the end of a range, a message) and waits for it in turn. A run that the
    // audio thread withdrew (it saw the stop first) sets no flag but leaves the mark.
    auto done = [&] {
        return flag.load(std::memory_order_acquire) || m_engineRun.load(std::memory_order_seq_cst) != serial;
    };
    while (!m_port.WaitServing(done, std::chrono::seconds(1))) {
    }
}

void CTransport::Stop() {
    const int32_t previous = m_state.exchange(kTransportStopped, std::memory_order_seq_cst);
    // The engine is in this run (or claiming it) only when its mark says so; otherwise it will
    // see Stopped before it starts, and nothing needs to be waited for.
    const uint32_t serial = m_serial.load(std::memory_order_relaxed);
    const bool engineBusy = m_engineRun.load(std::memory_order_seq_cst) == serial;
    // A run the engine never began, or withdrew on seeing the stop, has ended all the same:
    // whoever asks after a stop must see the run over whichever way the race went.
    auto ended = [&](std::atomic<bool>& flag) {
        if (engineBusy) WaitFor(flag, serial);
        flag.store(true, std::memory_order_release);
    };
    switch (previous) {
    case kTransportRecording:
    case kTransportMonitoring: ended(m_recordingEnded); break;
    case kTransportPlaying:
        ended(m_playbackEnded);
        m_view->RemovePlayMark(playMark);
        break;
    case kTransportRendering:
        // A render that is stopped from outside ends its pass; the target is finished (and
        // deleted) before the next item may begin.
        ended(m_playbackEnded);
        break;
    default: break;
    }
    m_view->RefreshTransport();
    m_shuttle.store(1.0f, std::memory_order_relaxed);
}

void CTransport::Pause() {
    Stop();
    m_view->PauseAt(lastShown);
}

void CTransport::WaitUntilStopped(const std::function<void()>& between) {
    while (!m_port.WaitServing([&] { return IsStopped(); }, std::chrono::milliseconds(100)))
        if (between) between();
}

void CTransport::SetPlayRange(int32_t start, int32_t end, int32_t rate) {
    m_playStart.store(start, std::memory_order_relaxed);
    m_playEnd.store(end, std::memory_order_relaxed);
    m_playbackRate.store(rate, std::memory_order_relaxed);
    m_playCursor.store(start, std::memory_order_relaxed);
    lastShown = start;
    playMark = start;
}

bool CTransport::PlayRequest(const CRegion& region, int32_t start, int32_t end, int32_t origin) {
    const CSample* sample = region.GetSample();
    if (!sample || !sample->FilePresent()) return false;
    if (end == 0) {
        start = 0;
        end = static_cast<int32_t>(std::min<int64_t>(region.Length(), INT32_MAX));
    }
    if (!IsStopped()) Stop(); // the play list must not change under a running pass
    SetPlayRange(start, end, sample->GetSampleRate());
    if (static_cast<int64_t>(end) - start < kMinPlayFrames) return false;
    m_view->ResetPlayMarks();
    m_loop.store(m_loopSetting, std::memory_order_relaxed);
    m_playList.Clear();
    if (!m_playList.Add(region, 0)) return false;
    Play(origin);
    return true;
}

void CTransport::SetShuttleSpeed(float s) {
    m_shuttle.store(std::clamp(s, kMinShuttle, kMaxShuttle), std::memory_order_relaxed);
}

void CTransport::SetLoopSetting(bool on) {
    m_loopSetting = on;
    m_loop.store(on, std::memory_order_relaxed);
}

void CTransport::IncreaseShuttleSpeed() {
    if (IsPlaying() && m_shuttleMode) {
        SetShuttleSpeed(std::min(ShuttleSpeed() * 2.0f, kMaxShuttle));
    } else if (IsStopped()) {
        m_shuttleMode = true;
        SetShuttleSpeed(kMinShuttle);
        m_view->PlayFromCursor();
    }
}

void CTransport::DecreaseShuttleSpeed() {
    if (IsPlaying() && m_shuttleMode) SetShuttleSpeed(std::max(ShuttleSpeed() / 2.0f, kMinShuttle));
}

void CTransport::MicroIncreaseSpeed() {
    if (IsPlaying() && m_shuttleMode) {
        SetShuttleSpeed(std::min(ShuttleSpeed() * 1.01f, kMaxShuttle));
    } else if (IsStopped()) {
        m_shuttleMode = true;
        SetShuttleSpeed(1.01f);
        m_view->PlayFromCursor();
    }
}

void CTransport::MicroDecreaseSpeed() {
    if (IsPlaying() && m_shuttleMode) SetShuttleSpeed(std::max(ShuttleSpeed() * 0.99f, kMinShuttle));
}

void CTransport::ResetSpeed() { m_shuttle.store(1.0f, std::memory_order_relaxed); }

bool CTransport::ClaimRun(uint32_t lastSerial, int32_t& state, uint32_t& serial) {
    const int32_t seen = m_state.load(std::memory_order_acquire);
    const uint32_t seenSerial = m_serial.load(std::memory_order_acquire);
    if (seen == kTransportStopped || seenSerial == lastSerial) return false;
    // Dekker hand-shake with Stop (both sides sequentially consistent): either the stop sees
    // this mark and waits, or this side sees the stop and withdraws, clearing the mark.
    m_engineRun.store(seenSerial, std::memory_order_seq_cst);
    state = m_state.load(std::memory_order_seq_cst);
    serial = m_serial.load(std::memory_order_acquire);
    if (state == kTransportStopped || serial != seenSerial) {
        m_engineRun.store(0, std::memory_order_seq_cst);
        return false;
    }
    return true;
}
