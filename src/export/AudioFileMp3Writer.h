#pragma once
// AudioFileMp3Writer: MPEG-1 Layer III export through libmp3lame.
//
// Settings: 32000, 44100 or 48000 Hz only (other rates fail to open); joint stereo for two
// channels, mono for one; constant bit rate at the chosen kbit/s; the encoder's Xing/Info
// frame first, filled in at the finish. The tag set goes into an ID3v2.3 tag in front of the
// audio at open and into the 128-byte ID3 tag at the end at close.
//
// PCM is staged as 16-bit in whole encoder chunks (1152 frames). The finish also encodes the
// partial chunk still staged, so the last few milliseconds of a region are not lost.
//
// Threading: one thread at a time per object; objects are independent of each other.

#include <cstdint>
#include <vector>

#include "audiofile/AudioFile.h"
#include "export/ChunkStage.h"

struct lame_global_struct;

class AudioFileMp3Writer : public AudioFile {
public:
    using AudioFile::AudioFile;
    ~AudioFileMp3Writer() override;

    // Header mode the stream is written in: 1 joint stereo, 3 mono (0 before an open).
    int32_t Mode() const { return m_mode; }
    int32_t Kbps() const { return m_kbps; }

    bool OpenRead() override;
    bool OpenWrite(uint32_t channels, int32_t rate, int32_t bits, int32_t sampleType, int32_t kbps = 0) override;
    bool FinishWrite() override;
    int32_t ReadFloat(float*, int32_t) override { return 0; }
    // Returns the 16-bit input bytes taken (0 after an encoder error or a failed write).
    int32_t WriteFloat(float* buffer, int32_t n) override;
    int32_t ReadInt(int32_t*, int32_t) override { return 0; }
    void Close() override;

private:
    bool EncodeChunk(const int16_t* pcm, int32_t samples);
    bool WriteOut(const uint8_t* p, int64_t n);
    void Release();

    lame_global_struct* m_lame = nullptr;
    ChunkStage m_stage;
    uint8_t m_out[kStageBytes] = {};
    int64_t m_audioStart = 0; // where the first frame (the Info frame) starts
    int32_t m_mode = 0;
    int32_t m_kbps = 0;
    bool m_finished = false;
};
