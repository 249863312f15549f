// The device format conversions and the device lists with their probe lines.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/DevicePcm.h"
#include "engine/DriverProbe.h"
#include "engine/EngineBlock.h"
#include "engine/NullDevice.h"

namespace {

int32_t Le(const uint8_t* p, int bytes) {
    uint32_t u = 0;
    for (int i = 0; i < bytes; ++i) u |= static_cast<uint32_t>(p[i]) << (8 * i);
    if (bytes < 4 && (u & (1u << (8 * bytes - 1)))) u |= ~0u << (8 * bytes);
    return static_cast<int32_t>(u);
}

TEST(DevicePcm, EncodesByTruncatingExactProductsAndHoldsFullScale) {
    const float in[] = {0.5f, -0.5f, 1.0f, -1.0f, 0.1f, -0.1f, 1.5f, -3.0f};
    uint8_t out[64];
    ASSERT_EQ(EncodeDevicePcm(in, 4, 16, 2, out), 16);
    EXPECT_EQ(Le(out, 2), 16383);
    EXPECT_EQ(Le(out + 2, 2), -16383);
    EXPECT_EQ(Le(out + 4, 2), 32767);
    EXPECT_EQ(Le(out + 6, 2), -32767);
    EXPECT_EQ(Le(out + 8, 2), static_cast<int32_t>(std::trunc(static_cast<double>(0.1f) * 32767.0)));
    EXPECT_EQ(Le(out + 12, 2), 32767); // beyond full scale: held, not wrapped
    EXPECT_EQ(Le(out + 14, 2), -32768);
    ASSERT_EQ(EncodeDevicePcm(in, 4, 24, 2, out), 24);
    EXPECT_EQ(Le(out, 3), 4194303);
    EXPECT_EQ(Le(out + 9, 3), -8388607);
    EXPECT_EQ(out[0], 0xFF); // low byte first
    EXPECT_EQ(out[2], 0x3F);
    ASSERT_EQ(EncodeDevicePcm(in, 4, 32, 2, out), 32);
    EXPECT_EQ(Le(out, 4), 1073741824);
    EXPECT_EQ(Le(out + 8, 4), INT32_MAX); // 1.0 × 2^31 does not fit
    EXPECT_EQ(Le(out + 12, 4), INT32_MIN);
    // Mono: the mean of left and right, computed in double.
    const float pair[] = {0.25f, 0.75f};
    ASSERT_EQ(EncodeDevicePcm(pair, 1, 16, 1, out), 2);
    EXPECT_EQ(Le(out, 2), 16383);
}

TEST(DevicePcm, DecodesEveryDepthAndCopiesMonoToBothSides) {
    const uint8_t s16[] = {0x00, 0x40, 0x00, 0x80};
    float f[4];
    DecodeDevicePcm(s16, 1, 16, 2, f);
    EXPECT_EQ(f[0], 0.5f);
    EXPECT_EQ(f[1], -1.0f);
    const uint8_t s24[] = {0x00, 0x00, 0xC0};
    DecodeDevicePcm(s24, 1, 24, 1, f);
    EXPECT_EQ(f[0], -0.5f);
    EXPECT_EQ(f[1], -0.5f);
    const uint8_t s32[] = {0x00, 0x00, 0x00, 0x20, 0xFF, 0xFF, 0xFF, 0xFF};
    DecodeDevicePcm(s32, 1, 32, 2, f);
    EXPECT_EQ(f[0], 0.25f);
    EXPECT_EQ(f[1], static_cast<float>(-1.0 / 2147483648.0));
}

TEST(EngineBlockSize, GrowsWithTheRate) {
    EXPECT_EQ(EngineBlockFrames(44100), 4096);
    EXPECT_EQ(EngineBlockFrames(49999), 4096);
    EXPECT_EQ(EngineBlockFrames(50000), 8192);
    EXPECT_EQ(EngineBlockFrames(96000), 8192);
    EXPECT_EQ(EngineBlockFrames(100000), 12288);
    EXPECT_EQ(EngineBlockFrames(192000), 16384);
    EXPECT_EQ(EngineBlockFrames(400000), 16384); // held to the buffers
}

// A driver with one output and two inputs that takes 44.1 kHz at 16 bits only.
class OneCard : public DriverProbe {
public:
    int32_t InputDeviceCount() override { return 3; }
    int32_t OutputDeviceCount() override { return 2; }
    std::string InputDeviceName(int32_t i) override { return i == 0 ? "Default" : "In " + std::to_string(i); }
    std::string OutputDeviceName(int32_t i) override { return i == 0 ? "Default" : "Card"; }
    bool ProbeInput(int32_t, int32_t rate, int32_t bits, int32_t) override { return rate == 44100 && bits == 16; }
    bool ProbeOutput(int32_t, int32_t rate, int32_t bits, int32_t) override { return rate == 44100 && bits == 16; }
};

TEST(DeviceList, HostEntriesFirstThenTheNullDeviceAndTheProbeLines) {
    OneCard card;
    CNullDevice null;
    CDeviceList list(&card, null);
    EXPECT_EQ(list.OutputDeviceCount(), 3);
    EXPECT_EQ(list.InputDeviceCount(), 4);
    EXPECT_EQ(list.OutputDeviceName(0), "Default");
    EXPECT_EQ(list.OutputDeviceName(1), "Card");
    EXPECT_EQ(list.OutputDeviceName(2), CNullDevice::kName);
    EXPECT_EQ(list.InputDeviceName(2), "In 2");
    EXPECT_EQ(list.InputDeviceName(3), CNullDevice::kName);

    const std::vector<std::string> lines = ProbeLines(list, 1, true);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0], "[ 32000 Hz / 16]: no");
    EXPECT_EQ(lines[1], "[ 44100 Hz / 16]: yes");
    EXPECT_EQ(lines[5], "[192000 Hz / 16]: no");
    EXPECT_EQ(lines[7], "[ 44100 Hz / 24]: no");
    // The null device takes every probe rate at both depths.
    for (const std::string& l : ProbeLines(list, list.NullInputIndex(), false))
        EXPECT_NE(l.find("yes"), std::string::npos) << l;
    EXPECT_FALSE(list.ProbeOutput(7, 44100, 16, 2)); // past the list

    // Without a host driver the default entry is the null device.
    CDeviceList bare(nullptr, null);
    EXPECT_EQ(bare.OutputDeviceCount(), 1);
    EXPECT_TRUE(bare.ProbeOutput(0, 48000, 24, 2));
    EXPECT_NE(bare.OpenOutput(0, 2, 44100, 16), nullptr);
    EXPECT_EQ(bare.OpenOutput(1, 2, 44100, 16), nullptr);
    null.settings.maxOutputBits = 16;
    EXPECT_FALSE(bare.ProbeOutput(0, 44100, 24, 2));
}

} // namespace

#include "engine/BlockStats.h"

namespace {

TEST(BlockStats, PeakPowerCentreAndSideOfABlock) {
    std::vector<float> square(2 * 4096);
    for (int i = 0; i < 4096; ++i) square[2 * i] = square[2 * i + 1] = (i / 50) % 2 ? 1.0f : -1.0f;
    BlockStatSet set;
    CBlockStats::Measure(square.data(), 4096, set);
    EXPECT_EQ(set.Get(StatPeakLeft), 1.0f);
    EXPECT_EQ(set.Get(StatPowerRight), 1.0f);
    EXPECT_EQ(set.Get(StatSide), 0.0f); // mono: no side, centre equal to the power
    EXPECT_EQ(set.Get(StatCentre), 1.0f);
    std::vector<float> wide(2 * 1000);
    for (int i = 0; i < 1000; ++i) wide[2 * i] = 0.5f, wide[2 * i + 1] = -0.25f;
    CBlockStats::Measure(wide.data(), 1000, set);
    EXPECT_EQ(set.Get(StatPeakRight), 0.25f);
    EXPECT_FLOAT_EQ(set.Get(StatCentre), 0.375f);
    EXPECT_FLOAT_EQ(set.Get(StatSide), 0.375f);
}

} // namespace
