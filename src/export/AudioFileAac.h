#pragma once
// AudioFileAac: AAC export as an ADTS stream (.aac) through FFmpeg's own AAC encoder.
//
// The bit rate is asked per channel: kbit/s ÷ channels × 1000 bit/s for each channel, so a
// stereo export at 128 kbit/s asks 64000 bit/s per channel. Raw ADTS has no place for tags.
//
// Threading: one thread at a time per object; objects are independent of each other.

#include "export/FfmpegSink.h"

class AudioFileAac : public FfmpegAudioWriter {
public:
    using FfmpegAudioWriter::FfmpegAudioWriter;
    // The bit rate each channel gets for kbps over channels, in bit/s.
    static int64_t PerChannelBitRate(uint32_t channels, int32_t kbps);

protected:
    const char* Muxer() const override { return "adts"; }
    const char* Codec() const override { return "aac"; }
    bool Accepts(uint32_t channels, int32_t rate, int32_t kbps) override;
    int64_t BitRate(uint32_t channels, int32_t kbps) const override;
};
