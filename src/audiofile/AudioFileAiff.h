#pragma once
// AIFF files, big-endian: 8-bit signed, 16, 24 and 32-bit integer.
#include "audiofile/AudioFile.h"

class AudioFileAiff : public AudioFile {
public:
    using AudioFile::AudioFile;
    bool OpenRead() override;
    bool OpenWrite(uint32_t channels, int32_t rate, int32_t bits, int32_t sampleType, int32_t kbps = 0) override;
    bool FinishWrite() override;
    int32_t ReadFloat(float* buffer, int32_t n) override { return PcmRead(buffer, n, true); }
    int32_t WriteFloat(float* buffer, int32_t n) override { return PcmWrite(buffer, n); }
    int32_t ReadInt(int32_t* buffer, int32_t n) override { return PcmRead(buffer, n, false); }
    bool PlainPcm(SampleCoding& stored) const override {
        stored = coding;
        return IsOpen();
    }

    // The sample rate in the 80-bit extended field: decoded from the exponent's low byte and
    // the top 16 bits of the mantissa; encoded the same way (six trailing zero bytes).
    static int32_t DecodeRate(const uint8_t ext[10]);
    static void EncodeRate(int32_t rate, uint8_t ext[10]);
};
