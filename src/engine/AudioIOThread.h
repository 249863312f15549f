#pragma once
// AudioIOThread: the engine's real-time loop. Idle, it polls the transport every 10 ms; when
// the transport leaves Stopped it runs the matching run: playback (the play range through the
// DSP stack to the output device), render (the same into the render target) or input
// (recording and monitoring). Audio comes from and goes to the swapper; the disk thread does
// the file work. Work that touches the user interface (the stop at the end of a range, device
// messages) is handed to the main thread through the port and waited for.
//
// Per block there is no allocation, no lock and no file call (the render target's writes are
// the one exception); every buffer is allocated once at construction. The thread runs with
// flush-to-zero, at real-time priority for playback and input where the system allows it.
//
// Threading: constructed and ended on the main thread; the settings below are written by the
// main thread while the transport is stopped (the device numbers and force-24 at any time),
// the statistics and counters read by the main thread.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "engine/BlockStats.h"
#include "engine/CSwapper.h"
#include "engine/PostTap.h"

class CDSPStack;
class CTransport;
class DriverProbe;
class MainThreadPort;
class UiPort;
struct PeakBuffers;

// What a recording or monitoring run is given (main thread, before Record or Monitor).
struct RecordingSetup {
    RecordingFile file;           // where the swapper writes, at this rate and depth
    bool autoStart = false;       // keep blocks only once a peak exceeded the threshold
    float threshold = 0.0f;       // linear
    PeakBuffers* peaks = nullptr; // the shared peak buffers the recorded blocks are fed to
    // Auto-stop below a level: the kept frames end this many frames after the last block that
    // peaked at or above the threshold (linear), however late the main timer notices.
    bool stopBelow = false;
    float stopThreshold = 0.0f;
    int64_t stopFrames = 0;
};

// One block's step of the speed glide from current toward the shuttle speed s.
float GlideSpeed(float current, float s);

class AudioIOThread {
public:
    static constexpr const char* kOutputFailed = "Failed to open audio output device.";
    static constexpr const char* kInputFailed = "Failed to open audio input device at current rate/depth.";
    static constexpr const char* kOutputStalled = "The audio output device stopped playing; playback was stopped.";
    static constexpr const char* kInputStalled = "The audio input device stopped delivering; recording was stopped.";
    static constexpr const char* kCanceled = "Canceled.";
    static constexpr const char* kCantWrite = "Can't write output file.";

    AudioIOThread(CTransport& transport, CSwapper& swapper, CDSPStack& stack, DriverProbe& devices,
                  MainThreadPort& port, UiPort& ui);
    // Ends the loop and joins the thread.
    ~AudioIOThread();
    AudioIOThread(const AudioIOThread&) = delete;
    AudioIOThread& operator=(const AudioIOThread&) = delete;

    // Asks the loop to end and waits for it (idempotent). The transport must be stopped.
    void Terminate();

    // Board setup: device numbers (−1 the default device) and "Force 24bit output".
    void SetPlaybackDevice(int32_t device) { m_playbackDevice.store(device, std::memory_order_relaxed); }
    void SetRecordDevice(int32_t device) { m_recordDevice.store(device, std::memory_order_relaxed); }
    int32_t PlaybackDevice() const { return m_playbackDevice.load(std::memory_order_relaxed); }
    int32_t RecordDevice() const { return m_recordDevice.load(std::memory_order_relaxed); }
    void SetForce24(bool on) { m_force24.store(on, std::memory_order_relaxed); }
    bool Force24() const { return m_force24.load(std::memory_order_relaxed); }
    // How long a device may take for one block before the run gives up on it.
    void SetDeviceTimeLimit(std::chrono::milliseconds limit) {
        m_deviceLimitMs.store(static_cast<int32_t>(limit.count()));
    }

    // Recording (main thread, while stopped).
    RecordingSetup& Recording() { return m_recording; }
    // Main thread, while stopped, before a recording starts: the published figures of the last
    // one (frames, silence timer, input end) go, so the main timer never acts on them in the
    // moment before the new run begins.
    void PrepareRecording() {
        m_swapper.ResetRecordingFigures();
        m_silenceStart.store(-1, std::memory_order_relaxed);
        m_inputEnded.store(false, std::memory_order_relaxed);
    }
    bool AutoStartTriggered() const { return m_triggered.load(std::memory_order_relaxed); }
    // No frame past this many is kept (−1: no limit), so that a take stops exactly at its limit
    // however late the main timer notices. Main thread, at any time (the auto-stop time may be
    // changed while recording).
    void SetRecordFrameLimit(int64_t frames) { m_frameLimit.store(frames, std::memory_order_relaxed); }
    // The silence timer: the frames recorded when the input last fell below the auto-stop level
    // (−1 while it is above it, or auto-stop below is off).
    int64_t SilenceStart() const { return m_silenceStart.load(std::memory_order_relaxed); }
    // Main thread: runs after a failed input open, before the message (the record panel resets
    // its rate and depth selectors to their first entries).
    void SetInputFailedHook(std::function<void()> hook) { m_inputFailedHook = std::move(hook); }
    // The input of the current (or last) input run ran out (a file source): every frame it
    // delivered has been measured and, where kept, recorded.
    bool InputEnded() const { return m_inputEnded.load(std::memory_order_acquire); }
    // The depth the input really opened at (after a fallback).
    int32_t InputBits() const { return m_inputBits.load(std::memory_order_relaxed); }

    // Playback of a looping range ends after it went through the range this many times (0:
    // until stopped). Main thread, while stopped.
    void SetPassLimit(int64_t passes) { m_passLimit.store(passes, std::memory_order_relaxed); }
    // Since construction: the times playback went through a whole range, and renders finished.
    int64_t PassesDone() const { return m_passes.load(std::memory_order_relaxed); }
    // Frames of play ranges handed to the output device since construction: the fetched frames
    // of every block, without the silence after the end of a range that does not loop.
    int64_t FramesPlayed() const { return m_framesPlayed.load(std::memory_order_relaxed); }

    CBlockStats& Stats() { return m_stats; }
    // The played blocks as they leave the chain, for the loudness readout.
    PostTap& PostChain() { return m_postTap; }
    // Blocks handed to the device or the render target since construction (tests, meters).
    int64_t BlocksDone() const { return m_blocks.load(std::memory_order_relaxed); }
    // Blocks read from the input and the time the first block of the last playback reached the
    // device (nanoseconds of the steady clock; benchmarks).
    int64_t InputBlocksRead() const { return m_inputBlocks.load(std::memory_order_relaxed); }
    // The audio thread's own work on playback block i (fetch to device write, nanoseconds),
    // for the last kWorkRing blocks: block i is at i % kWorkRing. An input run records its
    // blocks' work (measuring, peaks, feeding the swapper) there too, by InputBlocksRead().
    static constexpr int kWorkRing = 1024;
    int32_t BlockWorkNs(int64_t i) const { return m_workNs[i % kWorkRing].load(std::memory_order_relaxed); }
    int64_t FirstBlockTime() const { return m_firstBlockNs.load(std::memory_order_relaxed); }

private:
    void Run();
    void RunPlayback(bool render, uint32_t serial);
    void RunInput(uint32_t serial);
    // The take being recorded reached its frame limit or the end of its auto-stop silence.
    bool TakeOver(const RecordingSetup& setup) const;
    // Hands the stop (and a message, when given) to the main thread and waits for it.
    void StopOnMainThread(uint32_t serial, const char* message, bool inputFailed = false);
    // n frames fetched into one block by the speed stage.
    void Resample(int32_t n, int32_t block);
    std::chrono::milliseconds DeviceLimit() const {
        return std::chrono::milliseconds(m_deviceLimitMs.load(std::memory_order_relaxed));
    }

    CTransport& m_transport;
    CSwapper& m_swapper;
    CDSPStack& m_stack;
    DriverProbe& m_devices;
    MainThreadPort& m_port;
    UiPort& m_ui;

    // Fixed buffers: block, fetch (twice the largest block), two device buffers.
    std::unique_ptr<float[]> m_block, m_fetch;
    std::unique_ptr<uint8_t[]> m_device0, m_device1;
    float m_prevLeft = 0.0f, m_prevRight = 0.0f;
    PostTap m_postTap;

    CBlockStats m_stats;
    RecordingSetup m_recording;
    std::function<void()> m_inputFailedHook;
    std::atomic<bool> m_triggered{false};
    std::atomic<bool> m_inputEnded{false};
    std::atomic<int64_t> m_frameLimit{-1}, m_silenceStart{-1};
    // Until board setup or the preferences say otherwise, the system's default device.
    std::atomic<int32_t> m_playbackDevice{-1}, m_recordDevice{-1}, m_inputBits{16};
    std::atomic<bool> m_force24{false};
    std::atomic<int32_t> m_deviceLimitMs{3000};
    std::atomic<int64_t> m_blocks{0}, m_inputBlocks{0}, m_firstBlockNs{0}, m_passes{0}, m_passLimit{0},
        m_framesPlayed{0};
    std::atomic<int32_t> m_workNs[kWorkRing] = {};

    std::atomic<bool> m_terminate{false};
    std::thread m_thread;
};
