#pragma once
// Fixtures shared by the engine tests: signal files whose every frame is distinct, so any
// misalignment or repeat shows, and a play list item for them.
#include <cstdint>
#include <string>
#include <vector>

#include "audiofile/AudioFileWav.h"
#include "engine/CPlayList.h"

// Frame i of the test signal: values on a 1/32768 grid, exact in float and 16-bit files.
inline float SignalLeft(int64_t i) { return static_cast<float>((i * 7919) % 65536 - 32768) / 32768.0f; }
inline float SignalRight(int64_t i) { return static_cast<float>((i * 104729 + 12345) % 65536 - 32768) / 32768.0f; }

// A 32-bit float stereo WAV of the test signal. False on a write failure.
inline bool WriteSignalWav(const std::string& folder, const std::string& name, int64_t frames, int32_t rate = 44100) {
    AudioFileWav f(folder, name);
    if (!f.OpenWrite(2, rate, 32, kSampleFloat)) return false;
    std::vector<float> buf(2 * 65536);
    for (int64_t done = 0; done < frames;) {
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(65536, frames - done));
        for (int32_t i = 0; i < n; ++i) {
            buf[2 * i] = SignalLeft(done + i);
            buf[2 * i + 1] = SignalRight(done + i);
        }
        if (f.WriteFloat(buf.data(), n) <= 0) return false;
        done += n;
    }
    const bool ok = f.FinishWrite();
    f.Close();
    return ok;
}

inline PlayItem SignalItem(const std::string& folder, const std::string& name, int64_t sampleFrames,
                           int64_t regionStart, int64_t length, int32_t timelineStart = 0, int32_t rate = 44100) {
    PlayItem item;
    item.folder = folder;
    item.fileName = name;
    item.formatCode = 0;
    item.sampleFrames = sampleFrames;
    item.sampleRate = rate;
    item.regionStart = regionStart;
    item.length = length;
    item.start = timelineStart;
    return item;
}

// Frame q of a region that starts at regionStart in the signal, 0 past the sample.
inline float RegionLeft(int64_t regionStart, int64_t q, int64_t sampleFrames) {
    const int64_t f = regionStart + q;
    return f < sampleFrames ? SignalLeft(f) : 0.0f;
}
inline float RegionRight(int64_t regionStart, int64_t q, int64_t sampleFrames) {
    const int64_t f = regionStart + q;
    return f < sampleFrames ? SignalRight(f) : 0.0f;
}
