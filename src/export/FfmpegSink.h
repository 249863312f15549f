#pragma once
// FfmpegSink: one audio stream encoded by an FFmpeg encoder and muxed into a container that
// is written through the owner's file (so its writes are checked like every other writer's).
// Used by the AAC (ADTS) and WMA (ASF) writers.
//
// Input is interleaved 16-bit PCM, at most FrameSize() frames per call; the sink hands it to
// the encoder as planar float.
//
// Threading: one thread at a time per object.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "audiofile/AudioFile.h"
#include "export/ChunkStage.h"

class CFile;
struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct AVIOContext;

class FfmpegSink {
public:
    FfmpegSink() = default;
    ~FfmpegSink();
    FfmpegSink(const FfmpegSink&) = delete;
    FfmpegSink& operator=(const FfmpegSink&) = delete;

    // Opening takes two steps. Prepare opens the encoder and the container without touching a
    // file, so settings the encoder refuses fail before the writer creates its file; Start then
    // writes the container's header into the file. muxer: "adts" or "asf"; codec: "aac" or
    // "wmav2"; bitRate in bit/s for all channels; metadata: container tags (key, value), empty
    // values left out. False with error set.
    bool Prepare(const char* muxer, const char* codec, int32_t rate, uint32_t channels, int64_t bitRate,
                 const std::vector<std::pair<std::string, std::string>>& metadata, std::string& error);
    bool Start(CFile& file, std::string& error);
    // Frames per encoder frame (the chunk the caller stages).
    int32_t FrameSize() const { return m_frameSize; }
    // frames ≤ FrameSize(); a shorter frame is only allowed last (it is padded when the codec
    // needs whole frames). False when the encoder or a write fails.
    bool Encode(const int16_t* pcm, int32_t frames);
    // Drains the encoder and writes the container's trailer.
    bool Finish();
    bool WriteFailed() const { return m_writeFailed; }
    bool IsOpen() const { return m_fmt != nullptr; }

    // For the I/O callbacks.
    int WritePacket(const uint8_t* buf, int size);
    int64_t SeekTo(int64_t offset, int whence);

private:
    bool Drain();
    void Free();

    CFile* m_file = nullptr;
    AVFormatContext* m_fmt = nullptr;
    AVCodecContext* m_ctx = nullptr;
    AVStream* m_stream = nullptr;
    AVIOContext* m_io = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_pkt = nullptr;
    int32_t m_frameSize = 0;
    uint32_t m_channels = 2;
    int64_t m_pts = 0;
    bool m_smallLast = false;
    bool m_headerWritten = false;
    bool m_writeFailed = false;
};

// The writer side shared by the FFmpeg formats: 16-bit staging in whole encoder frames, the
// sink, and the failure rules of the export writers. Subclasses name the container, codec,
// bit rate and tags.
class FfmpegAudioWriter : public AudioFile {
public:
    using AudioFile::AudioFile;

    bool OpenRead() override;
    bool OpenWrite(uint32_t channels, int32_t rate, int32_t bits, int32_t sampleType, int32_t kbps = 0) override;
    bool FinishWrite() override;
    int32_t ReadFloat(float*, int32_t) override { return 0; }
    int32_t WriteFloat(float* buffer, int32_t n) override;
    int32_t ReadInt(int32_t*, int32_t) override { return 0; }
    void Close() override;

protected:
    virtual const char* Muxer() const = 0;
    virtual const char* Codec() const = 0;
    // False with a message when the writer does not take these settings.
    virtual bool Accepts(uint32_t channels, int32_t rate, int32_t kbps) = 0;
    // Total bit rate in bit/s for the chosen settings.
    virtual int64_t BitRate(uint32_t channels, int32_t kbps) const = 0;
    virtual std::vector<std::pair<std::string, std::string>> Metadata() const { return {}; }

private:
    FfmpegSink m_sink;
    ChunkStage m_stage;
    bool m_running = false;
};
