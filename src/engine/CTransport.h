#pragma once
// CTransport: the one meeting point of the main thread and the engine. The main thread moves
// the state away from Stopped and back; the engine sets the playback-ended and recording-ended
// flags and the play cursor. Every field is an atomic with that single writer; the state is
// stored with release and read with acquire, so whatever the main thread prepared before a
// state change (play list, play range, render target, recording setup) is visible to the audio
// thread that sees the new state.
//
// A main-thread wait for the engine (stop, render) keeps serving the main-thread port, so the
// audio thread's hand-overs (stop at the end of a range, messages) never deadlock with it.
//
// Threading: operations and the main-thread fields on the main thread; the engine-side
// setters and the run hand-shake on the audio thread; queries anywhere.

#include <atomic>
#include <cstdint>
#include <functional>

#include "common/TransportState.h"

class CPlayList;
class CRegion;
class CRenderTarget;
class MainThreadPort;

// What the transport asks of the views; all calls on the main thread. The default does
// nothing, for the command-line tool and the tests.
class CTransportView {
public:
    virtual ~CTransportView() = default;
    // The audio display and the transport buttons.
    virtual void RefreshTransport() {}
    // The wave viewer's play marks before a new playback.
    virtual void ResetPlayMarks() {}
    // After a stop from Playing: the play-position mark at the position last drawn goes away.
    virtual void RemovePlayMark(int32_t lastDrawn) {}
    // Pause: when the wave viewer is the page on display, its cursor moves to the position
    // last shown and it repaints.
    virtual void PauseAt(int32_t lastShown) {}
    // A shuttle command while stopped: play from the wave viewer's cursor.
    virtual void PlayFromCursor() {}
};

class CTransport {
public:
    static constexpr float kMinShuttle = 0.0625f;
    static constexpr float kMaxShuttle = 2.0f;
    // Shortest play range that plays.
    static constexpr int32_t kMinPlayFrames = 4096;

    CTransport(MainThreadPort& port, CPlayList& playList);
    CTransport(const CTransport&) = delete;
    CTransport& operator=(const CTransport&) = delete;

    void SetView(CTransportView* view) { m_view = view ? view : &m_noView; }

    // Every field zero.
    void Clear();

    // Called on the main thread at the start of every run (play, render, record, monitor) with
    // the state about to begin, after the previous run has ended and before the audio thread can
    // see the new one: the place for work that must not overlap a run (the plug-ins are told the
    // rate of the material there).
    void SetBeforeRun(std::function<void(int32_t state)> hook) { m_beforeRun = std::move(hook); }

    // State changes (main thread).
    void Play(int32_t origin);
    void Monitor();
    void Record();
    // State Rendering for the target (which the audio thread opens, writes and finishes).
    void Render(CRenderTarget* target);
    // Returns once the engine has released what the run used (see the state table).
    void Stop();
    void Pause();
    // The caller's wait for a render: serves the main-thread port until the state is Stopped,
    // calling between (the window lets its events through there) every 100 ms.
    void WaitUntilStopped(const std::function<void()>& between = {});

    // Queries.
    int32_t State() const { return m_state.load(std::memory_order_acquire); }
    bool IsStopped() const { return State() == kTransportStopped; }
    bool IsPlaying() const { return State() == kTransportPlaying; }
    bool IsRecording() const { return State() == kTransportRecording; }
    bool IsMonitoring() const { return State() == kTransportMonitoring; }
    bool IsRendering() const { return State() == kTransportRendering; }
    bool GetLoop() const { return m_loop.load(std::memory_order_relaxed); }
    void SetLoop(bool on) { m_loop.store(on, std::memory_order_relaxed); }
    int32_t GetOrigin() const { return m_origin.load(std::memory_order_relaxed); }
    bool PlaybackEnded() const { return m_playbackEnded.load(std::memory_order_acquire); }
    bool RecordingEnded() const { return m_recordingEnded.load(std::memory_order_acquire); }

    // Engine-side setters (audio thread, also through the swapper). Release: what the engine
    // finished before (files closed, readers released) is visible to the stop that sees it.
    void MarkPlaybackEnded() { m_playbackEnded.store(true, std::memory_order_release); }
    void MarkRecordingEnded() { m_recordingEnded.store(true, std::memory_order_release); }

    // The play request: offsets in frames from the region start, end 0 for the whole region.
    // False when nothing plays (sample missing, or 4095 frames or fewer).
    bool PlayRequest(const CRegion& region, int32_t start, int32_t end, int32_t origin);
    // The play range set as the play request does, for callers that fill the play list
    // themselves (export, the command-line tool). Main thread, while stopped.
    void SetPlayRange(int32_t start, int32_t end, int32_t rate);

    // Engine globals.
    int32_t PlayStart() const { return m_playStart.load(std::memory_order_relaxed); }
    int32_t PlayEnd() const { return m_playEnd.load(std::memory_order_relaxed); }
    int32_t PlaybackRate() const { return m_playbackRate.load(std::memory_order_relaxed); }
    int32_t PlayCursor() const { return m_playCursor.load(std::memory_order_relaxed); }
    void SetPlayCursor(int32_t frame) { m_playCursor.store(frame, std::memory_order_relaxed); }
    CRenderTarget* RenderTarget() const { return m_renderTarget.load(std::memory_order_relaxed); }
    // Main thread: the position last shown by the timer and where the play mark was drawn.
    int32_t lastShown = 0;
    int32_t playMark = 0;

    // Shuttle speed and mode, loop setting (main thread writes; the audio thread reads the speed
    // once per block).
    float ShuttleSpeed() const { return m_shuttle.load(std::memory_order_relaxed); }
    void SetShuttleSpeed(float s);
    bool ShuttleMode() const { return m_shuttleMode; }
    bool LoopSetting() const { return m_loopSetting; }
    void SetLoopSetting(bool on);
    void ToggleLoopSetting() { SetLoopSetting(!m_loopSetting); }
    void IncreaseShuttleSpeed();
    void DecreaseShuttleSpeed();
    void MicroIncreaseSpeed();
    void MicroDecreaseSpeed();
    void ResetSpeed();

    // The run hand-shake with the audio thread. ClaimRun: true when the audio thread must run
    // the state returned (a change away from Stopped it has not run yet, serial telling which);
    // false when there is none or it was stopped meanwhile. EndRun after the run's ended flag.
    bool ClaimRun(uint32_t lastSerial, int32_t& state, uint32_t& serial);
    void EndRun() { m_engineRun.store(0, std::memory_order_seq_cst); }
    // The audio thread's stop at the end of a run, run on the main thread: only while no newer
    // run was asked for meanwhile.
    void StopRun(uint32_t serial) {
        if (Serial() == serial) Stop();
    }
    uint32_t Serial() const { return m_serial.load(std::memory_order_acquire); }
    // No run is claimed by the audio thread.
    bool EngineIdle() const { return m_engineRun.load(std::memory_order_seq_cst) == 0; }

private:
    void Start(int32_t state);
    void WaitFor(const std::atomic<bool>& flag, uint32_t serial);

    MainThreadPort& m_port;
    CPlayList& m_playList;
    CTransportView m_noView;
    CTransportView* m_view = &m_noView;

    std::function<void(int32_t)> m_beforeRun;
    std::atomic<int32_t> m_state{kTransportStopped};
    std::atomic<bool> m_loop{false};
    std::atomic<bool> m_recordingEnded{false};
    std::atomic<bool> m_playbackEnded{false};
    std::atomic<int32_t> m_origin{0};

    std::atomic<int32_t> m_playStart{0}, m_playEnd{0}, m_playbackRate{44100}, m_playCursor{0};
    std::atomic<float> m_shuttle{1.0f};
    std::atomic<CRenderTarget*> m_renderTarget{nullptr};
    bool m_shuttleMode = false;
    bool m_loopSetting = true;

    std::atomic<uint32_t> m_serial{0};
    std::atomic<uint32_t> m_engineRun{0}; // serial of the run the audio thread is in, 0 for none
};
