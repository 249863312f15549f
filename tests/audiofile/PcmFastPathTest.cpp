// The 16-bit stereo paths of the sample conversion give the general rule's values: float times
// 32767 computed in double, truncated toward zero, held within the 16-bit range, NaN as 0; and
// x / 32768 back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "audiofile/PcmCodec.h"

TEST(PcmFastPath, SixteenBitStereoMatchesTheRuleAtEveryValue) {
    std::vector<float> src;
    const float special[] = {0.0f,
                             -0.0f,
                             1.0f,
                             -1.0f,
                             1.5f,
                             -1.5f,
                             0.99999994f,
                             -0.99999994f,
                             std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(),
                             1e-30f,
                             -1e-30f,
                             3.0518e-05f,
                             -3.0518e-05f};
    for (float f : special) src.push_back(f);
    uint32_t s = 99;
    while (src.size() < 2 * 1003) { // odd frame count: the blocks and the tail
        s = s * 1664525u + 1013904223u;
        src.push_back(static_cast<float>(static_cast<int32_t>(s) / 2147483648.0 * 1.1));
    }
    std::vector<float> buf(src);
    EncodeFromFloat(buf.data(), 1003, 2, SampleCoding::S16LE);
    const uint8_t* b = reinterpret_cast<const uint8_t*>(buf.data());
    for (size_t i = 0; i < src.size(); ++i) {
        const int16_t got = static_cast<int16_t>(b[2 * i] | (b[2 * i + 1] << 8));
        const int64_t want = ScaleTrunc(src[i], 32767.0, 0.0, -32768, 32767);
        ASSERT_EQ(got, want) << i << " " << src[i];
    }
    // And back: every stored value v reads as v / 32768.
    std::vector<int16_t> all(65536);
    for (int v = -32768; v < 32768; ++v) all[static_cast<size_t>(v + 32768)] = static_cast<int16_t>(v);
    std::vector<float> wide(65536);
    std::memcpy(wide.data(), all.data(), all.size() * 2);
    DecodeToFloat(wide.data(), 32768, 2, SampleCoding::S16LE);
    for (int v = -32768; v < 32768; ++v)
        ASSERT_EQ(wide[static_cast<size_t>(v + 32768)], static_cast<float>(v) / 32768.0f);
}
