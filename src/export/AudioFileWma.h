#pragma once
// AudioFileWma: Windows Media Audio 2 in an ASF file (.wma) through FFmpeg's WMA v2 encoder,
// at the chosen kbit/s for all channels. The tag set goes into the ASF header (title,
// author, album, year, genre, track number, description).
//
// Threading: one thread at a time per object; objects are independent of each other.

#include "export/FfmpegSink.h"

class AudioFileWma : public FfmpegAudioWriter {
public:
    using FfmpegAudioWriter::FfmpegAudioWriter;

protected:
    const char* Muxer() const override { return "asf"; }
    const char* Codec() const override { return "wmav2"; }
    bool Accepts(uint32_t channels, int32_t rate, int32_t kbps) override;
    int64_t BitRate(uint32_t channels, int32_t kbps) const override { return int64_t{kbps} * 1000; }
    std::vector<std::pair<std::string, std::string>> Metadata() const override;
};
