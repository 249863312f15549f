#pragma once
// AudioFileFlacWriter: FLAC export through the libFLAC stream encoder.
//
// Settings: the channels, 16 or 24 bits (8 also works) and the rate asked for; mid-side
// stereo for two channels; everything else at the library's defaults (compression level 5,
// no verify, streamable subset). The tag set goes into a Vorbis comment block (TITLE,
// ARTIST, ALBUM, DATE, GENRE, TRACKNUMBER, COMMENT). The encoder writes through our own
// callbacks, so every write is checked like any other writer's. The encoder hands over one
// frame (a few kilobytes) per call; those are gathered in a 256 KiB area and written in large
// pieces. A seek or tell from the encoder first writes out what is gathered.
//
// Threading: one thread at a time per object; objects are independent of each other.

#include <cstdint>
#include <memory>
#include <vector>

#include "audiofile/AudioFile.h"

class AudioFileFlacWriter : public AudioFile {
public:
    // The encoder object lives as long as its writer.
    AudioFileFlacWriter(const std::string& folder, const std::string& path);
    ~AudioFileFlacWriter() override;

    bool OpenRead() override;
    bool OpenWrite(uint32_t channels, int32_t rate, int32_t bits, int32_t sampleType, int32_t kbps = 0) override;
    bool FinishWrite() override;
    int32_t ReadFloat(float*, int32_t) override { return 0; }
    // Converts to int32 in place and encodes; returns the PCM bytes taken.
    int32_t WriteFloat(float* buffer, int32_t n) override;
    int32_t ReadInt(int32_t*, int32_t) override { return 0; }
    void Close() override;

    // Called back by the encoder (public for the C callbacks only).
    bool SinkWrite(const uint8_t* p, size_t n);
    bool SinkSeek(uint64_t offset);
    bool SinkTell(uint64_t& offset);

private:
    // Writes out the gathered bytes; false (and the failure recorded) when the write fell short.
    bool Flush();

    struct Encoder; // the libFLAC objects (in the .cpp)
    std::unique_ptr<Encoder> m_flac;
    bool m_running = false;
    std::vector<uint8_t> m_out; // gathered encoder output, m_outFill bytes of it in use
    size_t m_outFill = 0;
};
