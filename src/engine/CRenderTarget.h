#pragma once
// CRenderTarget: where a render writes. The export prepares one per item (writer, tags, the
// progress bar and its abort flag) and hands it to the transport's render; the audio thread
// opens it, writes every block, reports progress and finishes it.
//
// Threading: Open, Write, Progress, Cancelled and Finish run on the audio thread, between the
// state change to Rendering and the playback-ended flag. Progress and Cancelled must not block
// or take a lock the main thread holds; the message is read by the main thread after the stop.

#include <cstdint>
#include <memory>
#include <string>

class AudioFile;

class CRenderTarget {
public:
    virtual ~CRenderTarget() = default;
    // Creates and opens the file. False leaves "Can't write output file." as the message.
    virtual bool Open() = 0;
    // The render's sample width: the dither word length follows it.
    virtual int32_t Bits() const = 0;
    // Writes frames of interleaved stereo floats (the buffer may be converted in place).
    virtual bool Write(float* interleaved, int32_t frames) = 0;
    // Percent of the range written.
    virtual void Progress(int percent) {}
    // The user asked to abort.
    virtual bool Cancelled() const { return false; }
    // Finishes and closes the file; deletes it when the render did not complete.
    virtual bool Finish(bool complete) = 0;

    const std::string& Message() const { return m_message; }
    void SetMessage(const std::string& message) { m_message = message; }

private:
    std::string m_message;
};

// The plain target: an audio file writer opened with the render's format.
class CFileRenderTarget : public CRenderTarget {
public:
    // The writer is constructed by the caller on its folder and name (with its tags set).
    CFileRenderTarget(std::unique_ptr<AudioFile> writer, uint32_t channels, int32_t rate, int32_t bits,
                      int32_t sampleType, int32_t kbps = 0);
    ~CFileRenderTarget() override;
    bool Open() override;
    int32_t Bits() const override { return m_bits; }
    bool Write(float* interleaved, int32_t frames) override;
    bool Finish(bool complete) override;
    int64_t FramesWritten() const { return m_frames; }
    AudioFile& Writer() { return *m_writer; }

private:
    std::unique_ptr<AudioFile> m_writer;
    uint32_t m_channels;
    int32_t m_rate, m_bits, m_sampleType, m_kbps;
    int64_t m_frames = 0;
    bool m_open = false;
};
