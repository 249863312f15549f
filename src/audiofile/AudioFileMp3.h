#pragma once
// AudioFileMp3: MPEG-1, -2 and -2.5 Layer III files, read as 16-bit audio.
//
// The reader finds the first frame itself (a byte scan for a sync pair whose frame is followed
// by a second header), estimates the length from the first header's bit rate and refines the
// estimate while it reads, from the ratio of decoded bytes to file bytes consumed. SeekFrame
// walks the frame headers. libmpg123, fed the bytes from the first frame on, only turns frames
// into samples: every frame, the encoder's information frame included, gives its full count
// of samples, so positions found by walking headers are the positions a straight read gives.
//
// Tags: an ID3v1 tag at the end fills the tag fields; without one an ID3v2 tag at the start
// does (libmpg123 parses it).
//
// Threading: one thread at a time per object; objects are independent of each other.

#include <cstdint>
#include <vector>

#include "audiofile/AudioFile.h"
#include "audiofile/MpegHeader.h"

struct mpg123_handle_struct;

class AudioFileMp3 : public AudioFile {
public:
    AudioFileMp3(const std::string& folder, const std::string& path);
    ~AudioFileMp3() override;

    // Whether the decoder library can be initialised (the codec check).
    static bool CodecPresent();

    bool OpenRead() override;
    // MP3 writing is the export's encoder; this reader does not write.
    bool OpenWrite(uint32_t channels, int32_t rate, int32_t bits, int32_t sampleType, int32_t kbps = 0) override;
    bool FinishWrite() override { return false; }
    int32_t ReadFloat(float* buffer, int32_t n) override;
    int32_t WriteFloat(float*, int32_t) override { return 0; }
    int32_t ReadInt(int32_t* buffer, int32_t n) override;
    bool SeekFrame(int64_t frame) override;
    void Close() override;

    // Gapless decoding, for a file that is converted: the encoder's information frame is not
    // audio, and the encoder delay and padding it records are cut off, so the samples line up
    // with what other decoders give. Off by default: samples kept as MP3 files (clones and
    // links) address their audio by the frame positions above, and their regions rely on them.
    // Takes effect at once on an open reader (it starts reading from the beginning again);
    // SeekFrame then decodes forward from the start.
    void SetGapless(bool on);
    bool Gapless() const { return m_gapless; }

    // The first header as found by the scan.
    const MpegHeader& FirstHeader() const { return m_first; }

private:
    // Decodes up to bytes of 16-bit PCM into out; returns the bytes decoded.
    int64_t Decode(uint8_t* out, int64_t bytes);
    int32_t ReadFrames(void* buffer, int32_t n, bool asFloat);
    bool StartDecoder();
    void StopDecoder();
    // n bytes at pos through the scan window; false past the end of the file.
    bool PeekAt(int64_t pos, uint8_t* out, int n);
    bool HeaderAt(int64_t pos, MpegHeader& h);
    // Finds the first frame from pos on; -1 when there is none (errorText set).
    int64_t ScanForFrame(int64_t pos, MpegHeader& h);
    // Start of the data after an ID3v2 tag at the start of the file, 0 without one.
    int64_t Id3v2End();
    void ReadId3v2Tags(int64_t tagEnd);
    // Discards frames of decoded output.
    void Skip(int64_t frames);

    mpg123_handle_struct* m_mh = nullptr;
    bool m_gapless = false;
    int64_t m_gaplessPos = 0; // frames handed out since the start, in gapless mode
    MpegHeader m_first;
    int64_t m_fileSize = 0;
    int64_t m_feedPos = 0;
    bool m_fedAll = false;
    int64_t m_decodedBytes = 0;
    int64_t m_consumedBytes = 0;
    std::vector<uint8_t> m_window;
    int64_t m_windowStart = 0;
    int64_t m_windowLen = 0;
    std::vector<uint8_t> m_feed;
    std::vector<uint8_t> m_scratch;
};
