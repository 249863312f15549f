#pragma once
// Making and reading audio files through our own writers and readers, for tests and benchmarks.
// Header only: include it where sonquil_audiofile is linked.

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "audiofile/AudioFile.h"
#include "audiofile/AudioFileWav.h"

// Writes interleaved stereo floats (a mono file takes the mean) through a writer f that is not
// yet open and finishes the file; false with f.ErrorText() when a step failed. The floats are a
// copy because a writer may convert its buffer in place.
inline bool WriteFloats(AudioFile& f, uint32_t channels, int32_t rate, int32_t bits, int32_t type,
                        std::vector<float> stereo) {
    if (!f.OpenWrite(channels, rate, bits, type)) return false;
    f.WriteFloat(stereo.data(), static_cast<int32_t>(stereo.size() / 2));
    const bool ok = f.FinishWrite();
    f.Close();
    return ok;
}

// A WAV file of interleaved stereo floats at the given depth (integer samples).
inline bool MakeWavFile(const std::string& folder, const std::string& name, std::vector<float> stereo, int32_t rate,
                        uint32_t channels = 2, int32_t bits = 16) {
    AudioFileWav w(folder, name);
    return WriteFloats(w, channels, rate, bits, 0, std::move(stereo));
}

// The float a truncating 16-bit writer turns back into exactly x: half a step away from zero.
inline float FloatFor16(int16_t x) { return static_cast<float>((x + (x < 0 ? -0.5 : 0.5)) / 32767.0); }

// Writes 16-bit interleaved stereo frames losslessly through f, in blocks, and finishes.
inline bool WritePcm16(AudioFile& f, int32_t rate, const std::vector<int16_t>& stereo, int32_t block = 32768) {
    if (!f.OpenWrite(2, rate, 16, 0)) return false;
    const int64_t frames = static_cast<int64_t>(stereo.size() / 2);
    std::vector<float> buf(static_cast<size_t>(block) * 2);
    for (int64_t at = 0; at < frames; at += block) {
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(block, frames - at));
        for (int32_t i = 0; i < 2 * n; ++i)
            buf[static_cast<size_t>(i)] = FloatFor16(stereo[static_cast<size_t>(2 * at + i)]);
        f.WriteFloat(buf.data(), n);
    }
    const bool ok = f.FinishWrite();
    f.Close();
    return ok;
}

// Every frame of an opened reader as stereo int32 (ReadInt), in blocks of `block` frames.
inline std::vector<int32_t> ReadAllInt(AudioFile& f, int32_t block = 4096) {
    std::vector<int32_t> all, buf(static_cast<size_t>(block) * 2);
    for (;;) {
        int32_t n = f.ReadInt(buf.data(), block);
        if (n <= 0) break;
        all.insert(all.end(), buf.begin(), buf.begin() + 2 * n);
    }
    return all;
}

// Every frame of an opened reader as stereo floats (ReadFloat).
inline std::vector<float> ReadAllFloat(AudioFile& f, int32_t block = 4096) {
    std::vector<float> all, buf(static_cast<size_t>(block) * 2);
    for (;;) {
        int32_t n = f.ReadFloat(buf.data(), block);
        if (n <= 0) break;
        all.insert(all.end(), buf.begin(), buf.begin() + 2 * n);
    }
    return all;
}
