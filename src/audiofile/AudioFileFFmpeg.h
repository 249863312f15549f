#pragma once
// AudioFileFFmpeg: every file that the installed FFmpeg decodes and no reader of our own takes
// (M4A/AAC, ALAC, Opus, CAF, WebM, WMA, AIFF-C with coded samples, ...). The formats are
// whatever libavformat and libavcodec know; nothing here lists them.
//
// The file is read through our own handle (FFmpeg gets read and seek callbacks, and may not
// open anything else: a playlist or concat file cannot reach other files or the network). The
// first audio stream is decoded; libswresample only turns FFmpeg's sample layouts into
// interleaved floats at the file's own rate. Mono and stereo only.
//
// Length: the container's duration is an estimate (codec priming, edit lists, missing
// indexes); `frames` becomes the count actually decoded once the end is reached, as for MP3.
// SeekFrame is exact: it decodes forward from the start or from the current position.
//
// Samples of this class are never written: an import always converts them into the storage
// format, and a linked file keeps the format code of this reader.
//
// Failure: a file FFmpeg cannot read, or damaged audio, ends with a message or with the frames
// that could be decoded; reading is bounded by the file's size, so nothing loops.
//
// Threading: one thread at a time per object; objects are independent of each other.

#include <cstdint>
#include <memory>
#include <string>

#include "audiofile/AudioFile.h"

class AudioFileFFmpeg : public AudioFile {
public:
    AudioFileFFmpeg(const std::string& folder, const std::string& path);
    ~AudioFileFFmpeg() override;

    // The probe's test: the file opens, has a mono or stereo audio stream with a decoder, and
    // its first audio decodes.
    static bool Accepts(const std::string& folder, const std::string& name);

    bool OpenRead() override;
    bool OpenWrite(uint32_t channels, int32_t rate, int32_t bits, int32_t sampleType, int32_t kbps = 0) override;
    bool FinishWrite() override { return false; }
    int32_t ReadFloat(float* buffer, int32_t n) override;
    int32_t WriteFloat(float*, int32_t) override { return 0; }
    int32_t ReadInt(int32_t* buffer, int32_t n) override;
    bool SeekFrame(int64_t frame) override;
    void SetLength(int64_t framesKnown) override;
    void Close() override;

    // FFmpeg's name of the container ("mov,mp4,m4a,3gp,3g2,mj2", "ogg", ...), empty when closed.
    std::string ContainerName() const;
    // Whether the whole stream has been decoded (frames is then exact).
    bool LengthExact() const { return m_exact >= 0; }

    struct State; // FFmpeg's objects, kept out of this header

    // FFmpeg's read and seek through our handle (its I/O callbacks).
    int IoRead(uint8_t* buf, int size);
    int64_t IoSeek(int64_t offset, int whence);

private:
    bool Open(bool readTags);
    void CloseDecoder();
    // Decodes until the staging buffer holds frames; false at the end of the audio.
    bool Refill();
    bool Stage(const void* frame);
    int32_t ReadFrames(float* buffer, int32_t n);
    void Discard(int64_t count);
    void ReadTags();

    std::unique_ptr<State> m;
    int64_t m_position = 0; // frames handed out since the start
    int64_t m_exact = -1;   // the decoded length, once known
};
