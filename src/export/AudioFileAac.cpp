#include "export/AudioFileAac.h"

int64_t AudioFileAac::PerChannelBitRate(uint32_t channels, int32_t kbps) {
    return static_cast<int64_t>(kbps / static_cast<int32_t>(channels)) * 1000;
}

bool AudioFileAac::Accepts(uint32_t channels, int32_t rate, int32_t kbps) {
    if (kbps < 8 || kbps > 512) {
        SetError("Unsupported AAC bit rate.");
        return false;
    }
    return true;
}

int64_t AudioFileAac::BitRate(uint32_t channels, int32_t kbps) const {
    return PerChannelBitRate(channels, kbps) * channels;
}
