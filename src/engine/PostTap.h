#pragma once
// PostTap: the audio of playback as it leaves the chain (what the Post meters measure), handed
// from the audio thread to the main thread for the loudness readout, which is too much work for
// the audio thread's block path. A single-producer, single-consumer ring of stereo frames: the
// audio thread pushes every played block while a reader has switched the tap on; the main
// thread takes what has come at each tick. When the reader falls behind, the blocks that do
// not fit are dropped and counted, never waited for.
//
// Threading: Push on the audio thread only; Take, Clear and SetOn on the main thread only.
// The write position publishes the frames before it (release/acquire).

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

class PostTap {
public:
    // About three seconds at 44.1 kHz: 60 main-timer ticks of room.
    static constexpr size_t kFrames = size_t{1} << 17;

    PostTap() : m_ring(new float[2 * kFrames]) {}

    void SetOn(bool on) { m_on.store(on, std::memory_order_relaxed); }
    bool On() const { return m_on.load(std::memory_order_relaxed); }

    // Audio thread: the block's frames of interleaved stereo, when the tap is on.
    void Push(const float* interleaved, int32_t frames) {
        if (!m_on.load(std::memory_order_relaxed) || frames <= 0) return;
        const size_t write = m_write.load(std::memory_order_relaxed);
        const size_t read = m_read.load(std::memory_order_acquire);
        const size_t n = static_cast<size_t>(frames);
        if (kFrames - (write - read) < n) {
            m_dropped.fetch_add(n, std::memory_order_relaxed);
            return;
        }
        for (size_t i = 0; i < n; ++i) {
            const size_t at = (write + i) % kFrames;
            m_ring[2 * at] = interleaved[2 * i];
            m_ring[2 * at + 1] = interleaved[2 * i + 1];
        }
        m_write.store(write + n, std::memory_order_release);
    }

    // Main thread: up to maxFrames of what has come, oldest first, into out; the frames taken.
    size_t Take(float* out, size_t maxFrames) {
        const size_t read = m_read.load(std::memory_order_relaxed);
        const size_t write = m_write.load(std::memory_order_acquire);
        const size_t n = std::min(write - read, maxFrames);
        for (size_t i = 0; i < n; ++i) {
            const size_t at = (read + i) % kFrames;
            out[2 * i] = m_ring[2 * at];
            out[2 * i + 1] = m_ring[2 * at + 1];
        }
        m_read.store(read + n, std::memory_order_release);
        return n;
    }

    // Main thread: forgets what has come (a new play starts its measurement afresh).
    void Clear() { m_read.store(m_write.load(std::memory_order_acquire), std::memory_order_release); }
    // Frames dropped because the reader fell behind.
    size_t Dropped() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    std::unique_ptr<float[]> m_ring;
    std::atomic<bool> m_on{false};
    std::atomic<size_t> m_write{0}, m_read{0};
    std::atomic<size_t> m_dropped{0};
};
