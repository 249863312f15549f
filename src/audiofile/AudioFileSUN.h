#pragma once
// SUN/NeXT .au/.snd files, big-endian: 8-bit signed, 16, 24, 32-bit integer, 32-bit float.
#include "audiofile/AudioFile.h"

class AudioFileSUN : public AudioFile {
public:
    using AudioFile::AudioFile;
    bool OpenRead() override;
    bool OpenWrite(uint32_t channels, int32_t rate, int32_t bits, int32_t sampleType, int32_t kbps = 0) override;
    bool FinishWrite() override { return IsOpen() && FinishResult(); }
    int32_t ReadFloat(float* buffer, int32_t n) override { return PcmRead(buffer, n, true); }
    int32_t WriteFloat(float* buffer, int32_t n) override { return PcmWrite(buffer, n); }
    int32_t ReadInt(int32_t* buffer, int32_t n) override { return PcmRead(buffer, n, false); }
    bool PlainPcm(SampleCoding& stored) const override {
        stored = coding;
        return IsOpen();
    }
};
