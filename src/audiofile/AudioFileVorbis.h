#pragma once
// AudioFileVorbis: Ogg Vorbis, read through libvorbisfile and written through libvorbisenc.
// It is the class of new sample files in the lossy storage modes, and export reuses the
// writer.
//
// Reading hands out frames through a staging buffer of up to 4096 decoded frames; SeekFrame
// is frame-accurate. Streams of more than two channels are refused. The stream's comments
// fill the tag fields. Writing encodes at a quality chosen from the bit rate (above 299 kbit/s
// 1.0, above 199 0.8, above 149 0.6, else 0.4); the non-empty tag fields become the stream's
// comments (TITLE, ARTIST, ALBUM, DATE, GENRE, TRACKNUMBER, COMMENT).
//
// Threading: one thread at a time per object; objects are independent of each other.

#include <cstdint>
#include <memory>
#include <vector>

#include "audiofile/AudioFile.h"

struct vorbis_comment;

class AudioFileVorbis : public AudioFile {
public:
    AudioFileVorbis(const std::string& folder, const std::string& path);
    ~AudioFileVorbis() override;

    // The format probe's test: the file starts an Ogg Vorbis stream. Cheap on other files.
    static bool Accepts(const std::string& fullPath);
    // Registers Accepts with the format probe (idempotent).
    static void RegisterWithProbe();
    // The encoder quality for a bit rate in kbit/s.
    static float QualityFor(int32_t kbps);

    bool OpenRead() override;
    bool OpenWrite(uint32_t channels, int32_t rate, int32_t bits, int32_t sampleType, int32_t kbps = 0) override;
    bool FinishWrite() override;
    // The file ends after the last whole page, its frames those the page's position counts.
    bool KeepWritten(int64_t& kept) override;
    int32_t ReadFloat(float* buffer, int32_t n) override;
    int32_t WriteFloat(float* buffer, int32_t n) override;
    // Vorbis has no stored integers: nothing is read.
    int32_t ReadInt(int32_t* buffer, int32_t n) override;
    bool SeekFrame(int64_t frame) override;
    void Close() override;

private:
    struct Reader;
    struct Writer;
    // Encodes what the encoder has ready and writes the pages.
    void Drain();
    void AddTagComments(vorbis_comment* vc) const;
    // granule: the page's position (−1: no packet ends on it).
    void WritePage(const unsigned char* header, long headerLen, const unsigned char* body, long bodyLen,
                   int64_t granule);

    std::unique_ptr<Reader> m_reader;
    std::unique_ptr<Writer> m_writer;
    std::vector<float> m_stage; // up to 4096 stereo frames
    int32_t m_stageFill = 0;
    int32_t m_stagePos = 0;
    int64_t m_position = 0;   // the next frame a read gives
    int64_t m_keptFrames = 0; // the position of the last page that reached the file whole
};
