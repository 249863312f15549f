#pragma once
// AIFF files, big-endian: 8-bit signed, 16, 24 and 32-bit integer. AIFF-C files ("AIFC" form)
// are read too when their samples are plain: NONE and twos (big-endian integer), sowt
// (little-endian integer), fl32 and fl64 (float), ulaw and alaw (expanded exactly to 16 bits).
// Any other compression is refused here; the probe hands such files to the FFmpeg reader.
#include <vector>

#include "audiofile/AudioFile.h"

class AudioFileAiff : public AudioFile {
public:
    using AudioFile::AudioFile;
    bool OpenRead() override;
    bool OpenWrite(uint32_t channels, int32_t rate, int32_t bits, int32_t sampleType, int32_t kbps = 0) override;
    bool FinishWrite() override;
    int32_t ReadFloat(float* buffer, int32_t n) override { return ReadSamples(buffer, n, true); }
    int32_t WriteFloat(float* buffer, int32_t n) override { return PcmWrite(buffer, n); }
    int32_t ReadInt(int32_t* buffer, int32_t n) override { return ReadSamples(buffer, n, false); }
    bool SeekFrame(int64_t frame) override;
    bool PlainPcm(SampleCoding& stored) const override {
        stored = coding;
        return IsOpen() && m_kind == Kind::Pcm;
    }

    // After a failed OpenRead: the file is AIFF-C with a compression this class does not read.
    bool UnsupportedCompression() const { return m_unsupportedCompression; }
    // Whether this class reads AIFF-C samples of the given compression type.
    static bool ReadsCompression(const uint8_t type[4]);

    // The sample rate in the 80-bit extended field: decoded from the exponent's low byte and
    // the top 16 bits of the mantissa; encoded the same way (six trailing zero bytes).
    static int32_t DecodeRate(const uint8_t ext[10]);
    static void EncodeRate(int32_t rate, uint8_t ext[10]);

    // G.711 expansions, exact: every code has one 16-bit value.
    static int16_t ULawToLinear(uint8_t code);
    static int16_t ALawToLinear(uint8_t code);

private:
    // How the stored samples become the stereo float buffer: as plain PCM through the common
    // path, or one of the AIFF-C codings that has no stored width equal to its bits.
    enum class Kind { Pcm, Float64, ULaw, ALaw };
    int32_t ReadSamples(void* buffer, int32_t n, bool asFloat);
    int32_t ReadG711(void* buffer, int32_t n, bool asFloat);
    int32_t ReadFloat64(void* buffer, int32_t n, bool asFloat);
    int StoredSampleBytes() const;

    Kind m_kind = Kind::Pcm;
    bool m_unsupportedCompression = false;
    std::vector<uint8_t> m_scratch; // staged 64-bit floats (they are wider than the output)
};
