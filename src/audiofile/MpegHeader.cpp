#include "audiofile/MpegHeader.h"

namespace {
const int32_t kRateMpeg1[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
const int32_t kRateMpeg2[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
const int32_t kSampleRates[3] = {44100, 48000, 32000};
} // namespace

bool IsMpegSync(uint8_t b0, uint8_t b1) {
    if (b0 != 0xFF) return false;
    return b1 == 0xFB || b1 == 0xFA || b1 == 0xF3 || b1 == 0xF2 || b1 == 0xE3 || b1 == 0xE2;
}

bool DecodeMpegHeader(const uint8_t h[4], MpegHeader& out) {
    if (!IsMpegSync(h[0], h[1])) return false;
    const int versionBits = (h[1] >> 3) & 3;
    switch (versionBits) {
    case 3: out.version = 1; break;
    case 2: out.version = 2; break;
    case 0: out.version = 3; break;
    default: return false; // reserved
    }
    const int rateIndex = h[2] >> 4;
    if (rateIndex == 15) return false;
    const int srIndex = (h[2] >> 2) & 3;
    if (srIndex == 3) return false;
    out.kbps = rateIndex == 0 ? 128 : (out.version == 1 ? kRateMpeg1 : kRateMpeg2)[rateIndex];
    out.rate = kSampleRates[srIndex] / (out.version == 1 ? 1 : out.version == 2 ? 2 : 4);
    out.padding = (h[2] >> 1) & 1;
    out.channels = ((h[3] >> 6) & 3) == 3 ? 1 : 2;
    const int64_t factor = out.version == 1 ? 144000 : 72000;
    out.frameBytes = static_cast<int32_t>(factor * out.kbps / out.rate) + out.padding;
    out.samples = out.version == 1 ? 1152 : 576;
    return true;
}
