#pragma once
// AudioFileFlac: FLAC files, read through the libFLAC stream decoder. FLAC is lossless, so an
// import always converts it into the storage format. Its Vorbis comments fill the tag fields.
// Writing FLAC belongs to the export's encoder; this reader does not write.
//
// Threading: one thread at a time per object; objects are independent of each other.

#include <cstdint>
#include <memory>
#include <vector>

#include "audiofile/AudioFile.h"

class AudioFileFlac : public AudioFile {
public:
    AudioFileFlac(const std::string& folder, const std::string& path);
    ~AudioFileFlac() override;

    bool OpenRead() override;
    bool OpenWrite(uint32_t channels, int32_t rate, int32_t bits, int32_t sampleType, int32_t kbps = 0) override;
    bool FinishWrite() override { return false; }
    int32_t ReadFloat(float* buffer, int32_t n) override { return ReadFrames(buffer, n, true); }
    int32_t WriteFloat(float*, int32_t) override { return 0; }
    int32_t ReadInt(int32_t* buffer, int32_t n) override { return ReadFrames(buffer, n, false); }
    bool SeekFrame(int64_t frame) override;
    void Close() override;

    struct Decoder; // the libFLAC state and its callbacks (in the .cpp)

private:
    int32_t ReadFrames(void* buffer, int32_t n, bool asFloat);
    // Decodes the next frame into the pending samples; false at the end or on an error.
    bool Refill();

    std::unique_ptr<Decoder> m_dec;
};
