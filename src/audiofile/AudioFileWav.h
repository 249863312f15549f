#pragma once
// RIFF WAVE files, little-endian: 8-bit unsigned, 16, 24 and 32-bit integer, 32-bit float;
// the extensible format is read when its sub-format is integer PCM or IEEE float.
#include "audiofile/AudioFile.h"

class AudioFileWav : public AudioFile {
public:
    using AudioFile::AudioFile;
    bool OpenRead() override;
    bool OpenWrite(uint32_t channels, int32_t rate, int32_t bits, int32_t sampleType, int32_t kbps = 0) override;
    bool FinishWrite() override;
    bool KeepWritten(int64_t& kept) override;
    int32_t ReadFloat(float* buffer, int32_t n) override { return PcmRead(buffer, n, true); }
    int32_t WriteFloat(float* buffer, int32_t n) override { return PcmWrite(buffer, n); }
    int32_t ReadInt(int32_t* buffer, int32_t n) override { return PcmRead(buffer, n, false); }
    bool PlainPcm(SampleCoding& stored) const override {
        stored = coding;
        return IsOpen();
    }

private:
    bool ReadFmt(int64_t bodyPos, uint32_t size);
};
