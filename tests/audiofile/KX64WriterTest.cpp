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
