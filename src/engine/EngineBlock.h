#pragma once
// The engine block: the unit in which the audio thread plays, renders and records, and the
// helpers every engine thread shares (flush-to-zero, scheduling).
#include <cstdint>

// 4096 frames per 50 kHz of rate or part of it: 4096 up to 49999 Hz, 8192 from 50000 Hz,
// 12288 from 100000 Hz, 16384 from 150000 Hz. Every buffer is sized for the largest, so rates
// above the probe rates are held to it.
constexpr int32_t kMaxEngineBlock = 16384;
inline int32_t EngineBlockFrames(int32_t rate) {
    if (rate <= 0) return 4096;
    const int64_t frames = 4096LL * (rate / 50000 + 1);
    return frames > kMaxEngineBlock ? kMaxEngineBlock : static_cast<int32_t>(frames);
}

// Denormal inputs and results become zero on the calling thread (the audio thread; tests that
// compare against it run their reference under the same mode).
void EnableFlushToZero();
// Real-time scheduling for the calling thread where the system allows it; silently nothing
// otherwise. Normal undoes it.
void SetThreadTimeCritical();
void SetThreadNormal();
