#include "engine/AudioIOThread.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audiofile/PeakFile.h"
#include "common/MainThreadPort.h"
#include "common/UiPort.h"
#include "dsp/CDSPStack.h"
#include "engine/CDeviceWrapper.h"
#include "engine/CRenderTarget.h"
#include "engine/CTransport.h"
#include "engine/EngineBlock.h"

namespace {

// Render progress is reported every N blocks, fewer for long ranges.
int32_t ProgressEvery(int64_t length) {
    if (length <= 2500000) return 20;
    if (length <= 5000000) return 50;
    if (length <= 10000000) return 100;
    return 200;
}

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

float GlideSpeed(float current, float s) {
    if (s == 1.0f && current == 0.0f) return 1.0f;
    if (current < s - 0.01f) return std::min(current + s * 0.5f * 0.07f, s);
    if (current > s + 0.01f) return std::max(current - s * 0.07f, s);
    return s;
}

AudioIOThread::AudioIOThread(CTransport& transport, CSwapper& swapper, CDSPStack& stack, DriverProbe& devices,
                             MainThreadPort& port, UiPort& ui)
    : m_transport(transport), m_swapper(swapper), m_stack(stack), m_devices(devices), m_port(port), m_ui(ui),
      m_block(new float[2 * kMaxEngineBlock]()), m_fetch(new float[4 * kMaxEngineBlock]()),
      m_device0(new uint8_t[CDeviceWrapper::kBufferBytes]()), m_device1(new uint8_t[CDeviceWrapper::kBufferBytes]()) {
    m_thread = std::thread([this] { Run(); });
}

AudioIOThread::~AudioIOThread() { Terminate(); }

void AudioIOThread::Terminate() {
    m_terminate.store(true, std::memory_order_release);
    if (m_thread.joinable()) m_thread.join();
}

void AudioIOThread::Run() {
    EnableFlushToZero();
    uint32_t last = 0;
    while (!m_terminate.load(std::memory_order_acquire)) {
        int32_t state = kTransportStopped;
        uint32_t serial = 0;
        if (!m_transport.ClaimRun(last, state, serial)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        last = serial;
        switch (state) {
        case kTransportPlaying: RunPlayback(false, serial); break;
        case kTransportRendering: RunPlayback(true, serial); break;
        case kTransportRecording:
        case kTransportMonitoring: RunInput(serial); break;
        default: break;
        }
        m_transport.EndRun();
    }
}

void AudioIOThread::StopOnMainThread(uint32_t serial, const char* message, bool inputFailed) {
    std::string text = message ? message : "";
    m_port.Call([this, serial, text, inputFailed] {
        m_transport.StopRun(serial);
        if (inputFailed && m_inputFailedHook) m_inputFailedHook();
        if (!text.empty()) m_ui.Notice(text, "");
    });
}

void AudioIOThread::Resample(int32_t n, int32_t block) {
    float* out = m_block.get();
    const float* f = m_fetch.get();
    if (n == block) {
        // Speed 1.0: the fetched frames themselves, aligned with the region.
        std::memcpy(out, f, sizeof(float) * 2 * static_cast<size_t>(block));
    } else if (n <= 0) {
        for (int32_t i = 0; i < block; ++i) {
            out[2 * i] = m_prevLeft;
            out[2 * i + 1] = m_prevRight;
        }
        return;
    } else {
        // Position 0 is the previous block's last frame, position j the fetched frame j − 1.
        const double step = static_cast<double>(n) / block;
        for (int32_t i = 0; i < block; ++i) {
            const double pos = i * step;
            const int32_t j = static_cast<int32_t>(pos);
            const float frac = static_cast<float>(pos - j);
            const float l0 = j == 0 ? m_prevLeft : f[2 * (j - 1)];
            const float r0 = j == 0 ? m_prevRight : f[2 * (j - 1) + 1];
            const float l1 = f[2 * j], r1 = f[2 * j + 1];
            out[2 * i] = l0 + (l1 - l0) * frac;
            out[2 * i + 1] = r0 + (r1 - r0) * frac;
        }
    }
    m_prevLeft = f[2 * (n - 1)];
    m_prevRight = f[2 * (n - 1) + 1];
}

void AudioIOThread::RunPlayback(bool render, uint32_t serial) {
    const int32_t start = m_transport.PlayStart();
    const int32_t end = m_transport.PlayEnd();
    const int32_t rate = m_transport.PlaybackRate();
    const int32_t block = EngineBlockFrames(rate);
    CRenderTarget* target = render ? m_transport.RenderTarget() : nullptr;
    CDeviceWrapper wrapper(m_devices, m_device0.get(), m_device1.get());
    wrapper.SetCloseLimit(DeviceLimit());
    int32_t bits = 16;

    if (!render) {
        bits = Force24() ? 24 : 16;
        if (!wrapper.OpenOutput(PlaybackDevice(), 2, rate, bits)) {
            m_transport.MarkPlaybackEnded();
            StopOnMainThread(serial, kOutputFailed);
            return;
        }
        SetThreadTimeCritical();
    } else {
        if (!target || !target->Open()) {
            if (target) target->SetMessage(kCantWrite);
            m_transport.MarkPlaybackEnded();
            StopOnMainThread(serial, nullptr);
            return;
        }
        bits = target->Bits();
        SetThreadNormal();
    }

    m_stack.ResetAll();
    m_swapper.StartPlayback(start, end);
    float speed = render ? 1.0f : 0.0f;
    m_prevLeft = m_prevRight = 0.0f;
    const int64_t length = std::max<int64_t>(0, static_cast<int64_t>(end) - start);
    const int32_t every = ProgressEvery(length);
    int64_t written = 0, blockCount = 0;
    bool userStopped = false, ended = false, complete = true, first = true;
    const char* message = nullptr;
    float* buf = m_block.get();

    const int64_t passLimit = m_passLimit.load(std::memory_order_relaxed);
    int64_t fetched = 0; // frames the swapper delivered this run; it cycles over the range
    int64_t content = 0; // of those, the frames that were played rather than silenced
    // Whether the range is to play again after the time through it that the swapper is in: the
    // loop flag, and below a pass limit of N only before the N-th time through.
    auto looping = [&] {
        return m_transport.GetLoop() && (passLimit <= 0 || (length > 0 && fetched / length + 1 < passLimit));
    };
    bool wasLooping = true;
    for (;;) {
        int64_t remaining = length;
        while (remaining >= 0) {
            bool leaving = false;
            // A pass lasts whole blocks, so a looping pass runs past the range's end into its
            // start again as the swapper cycles on. Once the loop is no longer wanted (turned
            // off, or the last time a pass limit allows), this pass ends where the swapper's
            // time through the range ends: the range is never heard again after its end.
            const bool loopNow = looping();
            if (!render && wasLooping && !loopNow && length > 0) remaining = length - fetched % length;
            wasLooping = loopNow;
            if (!render) {
                if (!wrapper.WaitOutput(DeviceLimit())) {
                    message = kOutputStalled;
                    ended = true;
                    break;
                }
                speed = GlideSpeed(speed, m_transport.ShuttleSpeed());
            }
            const int64_t workStart = render ? 0 : NowNs();
            const int32_t n = render ? block : std::clamp(static_cast<int32_t>(block * speed), 0, 2 * block);
            m_swapper.Fetch(m_fetch.get(), n, render);
            fetched += n;
            int64_t played = n;
            if (!render && remaining < n && !loopNow) {
                // Past the end of a range that does not loop, the swapper's frames (the range's start
                // again) are not to be heard.
                std::memset(m_fetch.get() + 2 * remaining, 0, sizeof(float) * 2 * static_cast<size_t>(n - remaining));
                played = remaining;
            }
            Resample(n, block);
            if (!render) CBlockStats::Measure(buf, block, m_stats.pre);
            // A render's last block runs through the stack with only the frames it writes: the
            // rest of the block holds audio from elsewhere in the range, and the processors'
            // per-block steps would let it change the frames that end the file.
            const int32_t k = render ? static_cast<int32_t>(std::min<int64_t>(block, remaining)) : block;
            if (k > 0) m_stack.ProcessBlock(buf, k, rate, render, bits);
            if (!render) {
                leaving = m_transport.State() != kTransportPlaying;
                if (leaving) {
                    const float last = static_cast<float>(block > 1 ? block - 1 : 1);
                    for (int32_t i = 0; i < block; ++i) {
                        const float g = static_cast<float>(block - 1 - i) / last;
                        buf[2 * i] *= g;
                        buf[2 * i + 1] *= g;
                    }
                }
                CBlockStats::Measure(buf, block, m_stats.post);
                m_postTap.Push(buf, block);
                wrapper.WriteBlock(buf, block);
                m_framesPlayed.fetch_add(played, std::memory_order_relaxed);
                content += played;
                const int64_t done = m_blocks.load(std::memory_order_relaxed);
                m_workNs[done % kWorkRing].store(static_cast<int32_t>(
                                                     std::min<int64_t>(NowNs() - workStart, INT32_MAX)),
                                                 std::memory_order_relaxed);
                if (first) {
                    m_firstBlockNs.store(NowNs(), std::memory_order_relaxed);
                    first = false;
                }
            } else {
                if (k > 0 && !target->Write(buf, k)) {
                    target->SetMessage(kCantWrite);
                    ended = true;
                    complete = false;
                    break;
                }
                written += k;
                if (++blockCount % every == 0 && length > 0)
                    target->Progress(static_cast<int>(static_cast<double>(written) / length * 100.0));
                if (target->Cancelled()) {
                    target->SetMessage(kCanceled);
                    ended = true;
                    complete = false;
                    break;
                }
                if (m_transport.State() != kTransportRendering) {
                    // Stopped from outside (the program closing): the partial file goes.
                    userStopped = true;
                    complete = false;
                    break;
                }
            }
            m_blocks.fetch_add(1, std::memory_order_relaxed);
            // A shuttled pass lasts until the range's frames are used up, not a fixed number of
            // blocks; at speed 1.0 both are the same.
            remaining -= render ? block : n;
            int64_t cursor = static_cast<int64_t>(m_transport.PlayCursor() + static_cast<double>(block) * speed);
            if (cursor >= end && end > start) cursor = start + (cursor - start) % (static_cast<int64_t>(end) - start);
            m_transport.SetPlayCursor(static_cast<int32_t>(cursor));
            if (leaving) {
                userStopped = true;
                break;
            }
        }
        if (render && !userStopped && !ended) m_passes.fetch_add(1, std::memory_order_relaxed);
        if (render || userStopped || ended) break;
        // Another pass when the loop was still wanted at this pass's last block; if it is no
        // longer wanted now, that pass runs only to the end of the time through the range.
        if (!wasLooping || m_transport.State() != kTransportPlaying) break;
    }
    // A playback counts the times it went through the whole range.
    if (!render && length > 0) m_passes.fetch_add(content / length, std::memory_order_relaxed);

    if (!render) {
        wrapper.CloseOutput();
    } else {
        target->Progress(100);
        target->Finish(complete);
    }
    m_swapper.Release();
    SetThreadNormal();
    if (!userStopped) StopOnMainThread(serial, message);
}

bool AudioIOThread::TakeOver(const RecordingSetup& setup) const {
    const int64_t recorded = m_swapper.RecordedFrames();
    const int64_t limit = m_frameLimit.load(std::memory_order_relaxed);
    if (limit >= 0 && recorded >= limit) return true;
    const int64_t silence = m_silenceStart.load(std::memory_order_relaxed);
    return setup.stopBelow && silence >= 0 && recorded >= silence + setup.stopFrames;
}

void AudioIOThread::RunInput(uint32_t serial) {
    const RecordingFile& file = m_recording.file;
    const int32_t block = EngineBlockFrames(file.rate);
    m_inputEnded.store(false, std::memory_order_relaxed);
    CDeviceWrapper wrapper(m_devices, m_device0.get(), m_device1.get());
    wrapper.SetCloseLimit(DeviceLimit());
    if (!wrapper.OpenInput(RecordDevice(), 2, file.rate, file.bits)) {
        m_transport.MarkRecordingEnded();
        StopOnMainThread(serial, kInputFailed, true);
        return;
    }
    m_inputBits.store(wrapper.Bits(), std::memory_order_relaxed);
    SetThreadTimeCritical();

    std::string failure;
    if (!m_swapper.StartRecording(file, failure)) {
        wrapper.CloseInput();
        SetThreadNormal();
        std::string ignored;
        m_swapper.FinishRecording(ignored);
        StopOnMainThread(serial, failure.c_str());
        return;
    }
    const int32_t perEntry = PeakFramesPerEntry(file.rate), perLevel = LevelFramesPerBlock(file.rate);
    PeakBuffers* peaks = m_recording.peaks;
    if (peaks) {
        // Reserved once here, so that feeding the peaks never allocates per block.
        peaks->peaks.reserve(static_cast<size_t>(peaks->peakCapacity));
        peaks->levels.reserve(static_cast<size_t>(peaks->levelCapacity));
    }
    m_triggered.store(false, std::memory_order_relaxed);
    const bool autoStart = m_recording.autoStart;
    const float threshold = m_recording.threshold;
    const RecordingSetup& setup = m_recording;
    m_silenceStart.store(-1, std::memory_order_relaxed);
    float* buf = m_block.get();
    int64_t count = 0;
    int64_t used = 0; // input frames of the blocks measured so far (the device's frame count)
    const char* message = nullptr;

    for (;;) {
        const int32_t state = m_transport.State();
        if (state != kTransportRecording && state != kTransportMonitoring) break;
        // The disk refused the take (full): it ends here with what reached the file, and the
        // finish says so.
        if (m_swapper.RecordingWriteFailed()) break;
        if (state == kTransportRecording && TakeOver(setup)) {
            // The take has all it may keep and the main timer will stop it: the input is left
            // where it is, so that a source that runs as fast as it is read (the null device's
            // file) loses nothing to the wait and the next take starts where this one ended.
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        // The first two blocks after the open were never filled by the device.
        if (count > 2) {
            const int64_t workStart = NowNs();
            CBlockStats::Measure(buf, block, m_stats.pre);
            // Of a source that ran out, only the frames it really delivered count.
            const int64_t end = wrapper.InputEnd();
            int32_t n = block;
            if (end >= 0) n = static_cast<int32_t>(std::clamp<int64_t>(end - used, 0, block));
            used += block;
            if (state == kTransportRecording) {
                bool keep = !autoStart || m_triggered.load(std::memory_order_relaxed);
                if (!keep &&
                    (m_stats.pre.Get(StatPeakLeft) > threshold || m_stats.pre.Get(StatPeakRight) > threshold)) {
                    m_triggered.store(true, std::memory_order_relaxed);
                    keep = true;
                }
                const int64_t recorded = m_swapper.RecordedFrames();
                const int64_t limit = m_frameLimit.load(std::memory_order_relaxed);
                if (limit >= 0) n = static_cast<int32_t>(std::clamp<int64_t>(limit - recorded, 0, n));
                if (keep && setup.stopBelow) {
                    // The silence timer runs from the end of the last block that reached the level.
                    const float peak = std::max(m_stats.pre.Get(StatPeakLeft), m_stats.pre.Get(StatPeakRight));
                    int64_t silence = m_silenceStart.load(std::memory_order_relaxed);
                    // Once the silence has lasted its time the take is over, whatever comes
                    // before the main timer stops it.
                    const bool over = silence >= 0 && recorded >= silence + setup.stopFrames;
                    if (over) {
                    } else if (peak >= setup.stopThreshold) silence = -1;
                    else if (silence < 0) silence = recorded;
                    m_silenceStart.store(silence, std::memory_order_relaxed);
                    if (silence >= 0)
                        n = static_cast<int32_t>(std::clamp<int64_t>(silence + setup.stopFrames - recorded, 0, n));
                }
                if (keep && n > 0) {
                    if (peaks) BuildPeaks(buf, n, *peaks, perEntry, perLevel);
                    m_swapper.Feed(buf, n);
                }
            }
            if (end >= 0 && used >= end) m_inputEnded.store(true, std::memory_order_release);
            const int64_t done = m_inputBlocks.load(std::memory_order_relaxed);
            m_workNs[done % kWorkRing].store(static_cast<int32_t>(std::min<int64_t>(NowNs() - workStart, INT32_MAX)),
                                             std::memory_order_relaxed);
        }
        if (!wrapper.WaitInput(DeviceLimit())) {
            message = kInputStalled;
            break;
        }
        wrapper.ReadBlock(buf, block);
        ++count;
        m_inputBlocks.fetch_add(1, std::memory_order_relaxed);
    }
    wrapper.CloseInput();
    SetThreadNormal();
    if (!m_swapper.FinishRecording(failure) && !message) message = failure.c_str();
    if (message) StopOnMainThread(serial, message);
}
