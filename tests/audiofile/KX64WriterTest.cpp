// The lossless writer's life cycle around its staged block: a reader has nothing to finish, and
// writing through one does nothing.
#include <gtest/gtest.h>

#include <vector>

#include "AudioTestUtil.h"
#include "audiofile/AudioFileKX64.h"
#include "support/TempDir.h"

TEST(Kx64Writer, FinishingOrWritingAReaderChangesNothing) {
    TempDir dir;
    std::vector<float> f(2 * 3000);
    for (size_t i = 0; i < f.size(); ++i) f[i] = static_cast<float>(static_cast<int>(i % 200) - 100) / 128.0f;
    {
        AudioFileKX64 w(dir.Str(), "r.kx64");
        ASSERT_TRUE(w.OpenWrite(2, 44100, 16, 0));
        EXPECT_EQ(w.WriteFloat(f.data(), 3000), 3000 * 8);
        ASSERT_TRUE(w.FinishWrite());
        w.Close();
    }
    const std::vector<uint8_t> before = LoadBytes(dir / "r.kx64");
    AudioFileKX64 r(dir.Str(), "r.kx64");
    ASSERT_TRUE(r.OpenRead());
    std::vector<int32_t> buf(2 * 100);
    ASSERT_EQ(r.ReadInt(buf.data(), 100), 100); // a partly used staged block
    EXPECT_EQ(r.WriteFloat(f.data(), 10), 0);
    EXPECT_FALSE(r.FinishWrite());
    r.Close();
    EXPECT_EQ(LoadBytes(dir / "r.kx64"), before);
}

// Codes of exactly 57 bits (28 zeros, 28 bits of q and the sign, with k = 0) wherever they fall
// against the reader's refills.
TEST(Kx64Writer, LongCodesReadBackAtEveryBitOffset) {
    std::vector<uint8_t> out(AudioFileKX64::kMaxPayload + 16);
    std::vector<int32_t> x(AudioFileKX64::kBlockFrames), back(x.size());
    for (int at = 0; at < 80; ++at) {
        std::fill(x.begin(), x.end(), 0);
        x[static_cast<size_t>(at)] = (1 << 27) + at;
        x[static_cast<size_t>(at) + 100] = (1 << 27) + 3 * at;
        const auto c = AudioFileKX64::EncodeChannel(x.data(), static_cast<int>(x.size()), out.data());
        ASSERT_EQ(c.k, 0);
        std::fill(out.begin() + c.payloadBytes, out.begin() + c.payloadBytes + 16, 0);
        ASSERT_TRUE(AudioFileKX64::DecodeChannel(out.data(), c.payloadBytes, c.predictor, c.k, c.coefficient,
                                                 back.data(), static_cast<int>(x.size())));
        ASSERT_EQ(back, x) << "at " << at;
    }
}
