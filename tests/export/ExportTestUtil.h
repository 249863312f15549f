#pragma once
// Helpers of the export tests: test material, writing through a writer in render-sized
// blocks, and the real tools that read back what we wrote.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "audiofile/AudioFile.h"
#include "support/Files.h"
#include "support/OracleTool.h"
#include "support/TempDir.h"

inline std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

// Interleaved stereo float: two tones at different frequencies per channel, at 0.5 of full
// scale, so left and right can be told apart after any codec.
inline std::vector<float> MakeStereo(int64_t frames, int32_t rate) {
    std::vector<float> v(static_cast<size_t>(frames) * 2);
    for (int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        v[static_cast<size_t>(2 * i)] = static_cast<float>(0.5 * std::sin(2 * M_PI * 440.0 * t));
        v[static_cast<size_t>(2 * i + 1)] = static_cast<float>(0.4 * std::sin(2 * M_PI * 660.0 * t + 0.3));
    }
    return v;
}

// Writes all frames in blocks of `block` (the writer destroys each block), finishes, closes.
inline bool WriteThrough(AudioFile& f, const std::vector<float>& pcm, int32_t block = 4096) {
    const int64_t frames = static_cast<int64_t>(pcm.size() / 2);
    std::vector<float> buf(static_cast<size_t>(block) * 2);
    for (int64_t at = 0; at < frames; at += block) {
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(block, frames - at));
        std::copy(pcm.begin() + 2 * at, pcm.begin() + 2 * (at + n), buf.begin());
        f.WriteFloat(buf.data(), n);
    }
    const bool ok = f.FinishWrite();
    f.Close();
    return ok;
}

// ffprobe's key=value lines for the first audio stream and the container.
inline std::map<std::string, std::string> Probe(const std::filesystem::path& file, const TempDir& dir) {
    const auto out = dir / "probe.txt";
    std::map<std::string, std::string> m;
    if (RunCommand("ffprobe -v error -select_streams a:0 -show_entries "
                   "stream=codec_name,sample_rate,channels,bit_rate,profile:format=format_name,bit_rate,duration:"
                   "format_tags -of default=nw=1 " +
                   Quote(file.string()) + " > " + Quote(out.string())) != 0)
        return m;
    std::ifstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq);
        for (auto& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        m[key] = line.substr(eq + 1);
    }
    return m;
}

// Frames the file decodes to, through ffmpeg, as 16-bit PCM of its own channel count.
inline int64_t DecodedFrames(const std::filesystem::path& file, int channels, const TempDir& dir,
                             std::vector<int16_t>* pcm = nullptr) {
    const auto raw = dir / "decoded.raw";
    if (RunCommand("ffmpeg -v error -y -i " + Quote(file.string()) + " -f s16le -ac " + std::to_string(channels) + " " +
                   Quote(raw.string())) != 0)
        return -1;
    const std::vector<uint8_t> b = LoadBytes(raw);
    if (pcm) {
        pcm->resize(b.size() / 2);
        std::memcpy(pcm->data(), b.data(), pcm->size() * 2);
    }
    return static_cast<int64_t>(b.size()) / 2 / channels;
}
