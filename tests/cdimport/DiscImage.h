#pragma once
// BIN/CUE disc images made in a test: audio tracks of sox-made sound (little-endian 16-bit
// stereo, as an audio CD carries it) and data tracks of MODE1 sectors, one .bin and its cue
// sheet, with CD-TEXT titles when asked. The image's bytes stay in memory so that a test can
// compare what an import read, sample for sample. Header only; needs sox on the PATH.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/Files.h"
#include "support/TempDir.h"

struct ImageTrack {
    ImageTrack(bool isAudio, int32_t length, std::string sound = "", std::string name = "")
        : audio(isAudio), frames(length), synth(std::move(sound)), title(std::move(name)) {}
    bool audio = true;
    int32_t frames = 0; // CD frames (75 per second, 2,352 bytes)
    std::string synth;  // sox synth arguments for audio ("sine 440"); "" for silence
    std::string title;  // CD-TEXT title; "" for none
    std::vector<uint8_t> bytes;
};

struct DiscImage {
    std::filesystem::path cue;
    std::vector<ImageTrack> tracks;
    std::vector<int32_t> starts;  // first frame of each track
    std::string performer, album; // disc CD-TEXT; empty for none

    // The image's bytes of track t.
    const std::vector<uint8_t>& Bytes(size_t t) const { return tracks[t].bytes; }
};

// Audio of frames CD frames from sox, padded with silence to whole frames; false when sox fails.
inline bool SoxAudio(const std::filesystem::path& scratch, int32_t frames, const std::string& synth,
                     std::vector<uint8_t>& out) {
    const std::filesystem::path raw = scratch / "sox.raw";
    const std::string cmd = "sox -r 44100 -c 2 -n -r 44100 -c 2 -b 16 -e signed-integer -L -t raw " +
                            ShellQuote(raw.string()) + " synth " + std::to_string(frames * 588) + "s " + synth +
                            " vol 0.7 2>/dev/null";
    if (RunCommand(cmd) != 0) return false;
    std::ifstream in(raw, std::ios::binary);
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    out.resize(static_cast<size_t>(frames) * 2352, 0);
    std::filesystem::remove(raw);
    return true;
}

inline uint8_t Bcd(int n) { return static_cast<uint8_t>(((n / 10) << 4) | (n % 10)); }

inline std::string Msf(int32_t frame) {
    char t[16];
    std::snprintf(t, sizeof t, "%02d:%02d:%02d", frame / 4500, (frame / 75) % 60, frame % 75);
    return t;
}

// Writes folder/name.bin and folder/name.cue of the tracks (audio made by sox, data as MODE1
// sectors); false when sox or a write fails.
inline bool MakeDiscImage(const std::filesystem::path& folder, const std::string& name, std::vector<ImageTrack> tracks,
                          DiscImage& image, const std::string& performer = "", const std::string& album = "") {
    image = DiscImage();
    image.performer = performer;
    image.album = album;
    std::ofstream bin(folder / (name + ".bin"), std::ios::binary);
    std::ostringstream cue;
    if (!performer.empty()) cue << "PERFORMER \"" << performer << "\"\n";
    if (!album.empty()) cue << "TITLE \"" << album << "\"\n";
    cue << "FILE \"" << name << ".bin\" BINARY\n";
    int32_t at = 0;
    for (size_t t = 0; t < tracks.size(); ++t) {
        ImageTrack& tr = tracks[t];
        if (tr.audio && tr.synth.empty()) {
            tr.bytes.assign(static_cast<size_t>(tr.frames) * 2352, 0); // silence, no sox needed
        } else if (tr.audio) {
            if (!SoxAudio(folder, tr.frames, tr.synth, tr.bytes)) return false;
        } else {
            tr.bytes.assign(static_cast<size_t>(tr.frames) * 2352, 0);
            for (int32_t f = 0; f < tr.frames; ++f) {
                uint8_t* s = tr.bytes.data() + static_cast<size_t>(f) * 2352;
                for (int k = 1; k <= 10; ++k) s[k] = 0xff;
                const int32_t a = at + f + 150;
                s[12] = Bcd(a / 4500);
                s[13] = Bcd((a / 75) % 60);
                s[14] = Bcd(a % 75);
                s[15] = 1;
                for (int k = 16; k < 16 + 2048; ++k) s[k] = static_cast<uint8_t>(k * 31 + f);
            }
        }
        bin.write(reinterpret_cast<const char*>(tr.bytes.data()), static_cast<std::streamsize>(tr.bytes.size()));
        char head[64];
        std::snprintf(head, sizeof head, "  TRACK %02d %s\n", static_cast<int>(t + 1),
                      tr.audio ? "AUDIO" : "MODE1/2352");
        cue << head;
        if (!tr.title.empty()) cue << "    TITLE \"" << tr.title << "\"\n";
        cue << "    INDEX 01 " << Msf(at) << "\n";
        image.starts.push_back(at);
        at += tr.frames;
    }
    bin.close();
    if (!bin) return false;
    image.cue = folder / (name + ".cue");
    std::ofstream(image.cue) << cue.str();
    image.tracks = std::move(tracks);
    return std::filesystem::is_regular_file(image.cue);
}

// The 16-bit samples (left, right, ...) of an image's bytes.
inline std::vector<int16_t> ImageSamples(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> s(bytes.size() / 2);
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return s;
}
