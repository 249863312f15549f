#pragma once
// Headerless PCM. The caller sets channels, rate, bits and sampleType (a byte-order code)
// before OpenRead; OpenWrite takes the byte-order code as its sample type.
#include "audiofile/AudioFile.h"

class AudioFileRaw : public AudioFile {
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

    // The coding of raw samples of the given depth and byte-order code.
    static bool CodingFor(int32_t bits, int32_t code, SampleCoding& out);
};

// Does nothing but create an empty file on OpenWrite: it reserves a storage name.
class AudioFileEmpty : public AudioFile {
public:
    using AudioFile::AudioFile;
    bool OpenRead() override { return false; }
    bool OpenWrite(uint32_t channels, int32_t rate, int32_t bits, int32_t sampleType, int32_t kbps = 0) override;
    bool FinishWrite() override { return true; }
    int32_t ReadFloat(float*, int32_t) override { return 0; }
    int32_t WriteFloat(float*, int32_t) override { return 0; }
    int32_t ReadInt(int32_t*, int32_t) override { return 0; }
    bool SeekFrame(int64_t) override { return true; }
};
