#pragma once
// ReplayGain 2.0 tags for a loudness export's files: track and album gain (to the reference
// of -18 LUFS) and peak (the true peak, linear), written into a finished FLAC, Ogg Vorbis or
// MP3 file. The figures are known only once the file (and, for the album, every file) has
// been rendered, so the tags are added to the finished file: FLAC through libFLAC's metadata
// editing, Ogg Vorbis by rebuilding the page that holds the comment header, MP3 as ID3v2 TXXX
// frames in the tag in front of the audio. The file is replaced through a new file beside it,
// so a failure leaves it as it was.
//
// Threading: pure functions on the caller's values and the named file.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct ReplayGainValues {
    double trackLoudness; // LUFS
    double trackPeak;     // dBTP
    double albumLoudness;
    double albumPeak;
};

// The four fields as "REPLAYGAIN_TRACK_GAIN" = "-4.93 dB", "REPLAYGAIN_TRACK_PEAK" = "0.891251"
// and the album's two, in that order.
std::vector<std::pair<std::string, std::string>> ReplayGainFields(const ReplayGainValues& v);

// Whether files of the writer code take the tags (FLAC, Ogg Vorbis, MP3 in this build).
bool TakesReplayGainTags(int32_t writerCode);

// Adds (or replaces) the fields in the finished file of the writer code. False with a message.
bool WriteReplayGainTags(int32_t writerCode, const std::string& path, const ReplayGainValues& v, std::string& error);
