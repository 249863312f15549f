// Peak files: the builder's entries and levels, the file layout, rebuild with progress and
// abort, and region statistics taken from a sample's peak file.
#include <gtest/gtest.h>

#include <cmath>

#include "AudioTestUtil.h"
#include "audiofile/AudioFileWav.h"
#include "audiofile/PeakFile.h"
#include "audiofile/PeakRebuild.h"
#include "common/ByteIO.h"
#include "library/CRegion.h"
#include "library/CSample.h"
#include "library/CVDisk.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"

namespace {

// A WAV of the given stereo floats at a rate, 16-bit.
void MakeWav(const TempDir& dir, const std::string& name, std::vector<float> f, int32_t rate, uint32_t ch = 2) {
    ASSERT_TRUE(MakeWavFile(dir.Str(), name, std::move(f), rate, ch));
}

} // namespace

TEST(PeakBuilder, EntriesLevelsAndBlockLengthsByRate) {
    EXPECT_EQ(PeakFramesPerEntry(8000), 64);
    EXPECT_EQ(PeakFramesPerEntry(22049), 64);
    EXPECT_EQ(PeakFramesPerEntry(22050), 128);
    EXPECT_EQ(PeakFramesPerEntry(44099), 128);
    EXPECT_EQ(PeakFramesPerEntry(44100), 256);
    EXPECT_EQ(LevelFramesPerBlock(8000), 1024);
    EXPECT_EQ(LevelFramesPerBlock(22050), 2048);
    EXPECT_EQ(LevelFramesPerBlock(96000), 4096);

    // 1000 frames at 256 per entry: 3 entries, the last 232 frames give none.
    std::vector<float> block(2 * 4096, 0.0f);
    for (int i = 0; i < 1000; ++i) {
        block[2 * i] = (i % 2) ? 1.0f : -1.0f; // full-scale square on the left
        block[2 * i + 1] = 0.0f;               // silence on the right
    }
    block[2 * 300 + 1] = -0.5f;
    PeakBuffers pb;
    BuildPeaks(block.data(), 1000, pb, 256, 4096);
    ASSERT_EQ(pb.peaks.size(), 6u);
    EXPECT_EQ(pb.peaks[0], 65535);
    EXPECT_EQ(pb.peaks[1], 0);
    EXPECT_EQ(pb.peaks[3], static_cast<uint16_t>(0.5 * 65535));
    EXPECT_EQ(pb.peaks[5], 0);
    EXPECT_TRUE(pb.levels.empty());

    // Levels: mean absolute value per block; louder-than-full-scale floats saturate.
    pb.Clear();
    for (int i = 0; i < 4096; ++i) {
        block[2 * i] = 0.25f;
        block[2 * i + 1] = (i < 2048) ? 3.0f : -3.0f;
    }
    BuildPeaks(block.data(), 4096, pb, 64, 1024);
    ASSERT_EQ(pb.peaks.size(), 128u);
    ASSERT_EQ(pb.levels.size(), 8u);
    EXPECT_EQ(pb.levels[0], static_cast<uint16_t>(0.25 * 65535));
    EXPECT_EQ(pb.levels[1], 65535);
    EXPECT_EQ(pb.peaks[1], 65535);

    // A full buffer silently stops taking peaks.
    PeakBuffers small;
    small.peakCapacity = 9;
    BuildPeaks(block.data(), 4096, small, 64, 1024);
    EXPECT_EQ(small.peaks.size(), 6u);
}

TEST(PeakFileFormat, LayoutRoundTripAndDamage) {
    TempDir dir;
    PeakBuffers pb;
    for (uint16_t i = 0; i < 10; ++i) pb.peaks.push_back(static_cast<uint16_t>(i * 1000 + 7));
    ASSERT_TRUE(WritePeakFile(dir.Str(), "_x", pb, 128));
    std::vector<uint8_t> b = LoadBytes(dir / "_x");
    ASSERT_EQ(b.size(), 1060u + 20);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "KXSF");
    EXPECT_EQ(LoadLE32(&b[4]), 1u);
    EXPECT_EQ(LoadLE32(&b[8]), 2u);
    EXPECT_EQ(LoadLE32(&b[12]), 5u);
    EXPECT_EQ(LoadLE32(&b[16]), 128u);
    EXPECT_EQ(LoadLE32(&b[20]), 2u);
    for (size_t i = 24; i < 1060; ++i) ASSERT_EQ(b[i], 0) << i;
    EXPECT_EQ(LoadLE16(&b[1060 + 2]), 1007);

    std::vector<uint16_t> pairs;
    ASSERT_TRUE(ReadPeakPairs(dir.Str(), "_x", pairs));
    EXPECT_EQ(pairs, pb.peaks);

    // A count beyond the entries present is held to the file; a wrong magic fails.
    StoreLE32(&b[12], 0x7FFFFFFF);
    b.pop_back();
    SaveBytes(dir / "_y", b);
    PeakFile y(dir.Str(), "_y");
    ASSERT_TRUE(y.OpenRead());
    EXPECT_EQ(y.EntryCount(), 4);
    b[0] = 'Q';
    SaveBytes(dir / "_z", b);
    PeakFile z(dir.Str(), "_z");
    EXPECT_FALSE(z.OpenRead());
    EXPECT_FALSE(ReadPeakPairs(dir.Str(), "_z", pairs));
    EXPECT_FALSE(ReadPeakPairs(dir.Str(), "_none", pairs));
    EXPECT_FALSE(WritePeakFile((dir / "missing").string(), "_x", pb, 128));
}

TEST(PeakRebuild, EqualsThePeaksOfAStreamAndShowsProgress) {
    TempDir dir;
    const int64_t frames = 3 * 4096 + 1000;
    std::vector<int32_t> sig = MakeSignal(frames, 1, 16, 21);
    std::vector<float> f(static_cast<size_t>(frames * 2));
    for (int64_t i = 0; i < frames; ++i) f[2 * i] = f[2 * i + 1] = static_cast<float>(sig[i] / 32768.0);
    MakeWav(dir, "mono.wav", f, 22050, 1);

    // The peaks a stream builds while the audio passes (as an import does).
    PeakBuffers streamed;
    {
        AudioFileWav r(dir.Str(), "mono.wav");
        ASSERT_TRUE(r.OpenRead());
        std::vector<float> block(2 * 4096);
        while (int32_t n = r.ReadFloat(block.data(), 4096)) BuildPeaks(block.data(), n, streamed, 128, 2048);
    }
    ASSERT_TRUE(WritePeakFile(dir.Str(), "_streamed", streamed, 128));

    ScriptedUiPort ui;
    PeakBuffers pb;
    bool cancelled = true;
    AudioFileWav file(dir.Str(), "mono.wav");
    PeakTarget t{dir.Str(), "_mono", "mono.wav", 22050, frames};
    ASSERT_TRUE(RebuildPeaks(file, t, &ui, true, cancelled, pb));
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(LoadBytes(dir / "_mono"), LoadBytes(dir / "_streamed"));
    EXPECT_EQ(pb.peaks.size() / 2, static_cast<size_t>(3 * 4096 / 128 + 1000 / 128));        // no entry past the end
    for (size_t i = 0; i < pb.peaks.size(); i += 2) ASSERT_EQ(pb.peaks[i], pb.peaks[i + 1]); // mono
    ASSERT_EQ(ui.progressTexts.size(), 1u);
    EXPECT_EQ(ui.progressTexts[0], "Building mono.wav");
    EXPECT_EQ(ui.progressDraws, (std::vector<int>{0, 25, 50, 75, 100})); // opening shows an empty bar
    EXPECT_FALSE(ui.progressVisible);
    EXPECT_FALSE(file.IsOpen());

    // An abort after the second block: no peak file (the old one is gone), false.
    ScriptedUiPort abortUi;
    abortUi.onEvents = [](ScriptedUiPort& u) {
        if (u.eventCalls == 2) u.PressAbort();
    };
    ASSERT_TRUE(RebuildPeaks(file, t, nullptr, false, cancelled, pb));
    // Without a progress window the window still gets its events after every block.
    ScriptedUiPort quietUi;
    ASSERT_TRUE(RebuildPeaks(file, t, &quietUi, false, cancelled, pb));
    EXPECT_EQ(quietUi.eventCalls, 4);
    EXPECT_TRUE(quietUi.progressTexts.empty());
    EXPECT_FALSE(RebuildPeaks(file, t, &abortUi, true, cancelled, pb));
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(std::filesystem::exists(dir / "_mono"));

    // Audio that does not open: nothing happens.
    AudioFileWav none(dir.Str(), "none.wav");
    EXPECT_FALSE(RebuildPeaks(none, t, &ui, true, cancelled, pb));
    EXPECT_FALSE(cancelled);
}

TEST(PeakRebuild, RegionStatisticsComeFromTheSamplesPeakFile) {
    TempDir dir;
    std::filesystem::create_directories(dir / "VDisk");
    const int32_t serial = 770001;
    ASSERT_TRUE(CVDisk::Table().Add(serial, dir.Str()));
    const std::string vdisk = (dir / "VDisk").string();

    // Left at half scale throughout, right rising: the region's overview follows its range.
    const int64_t frames = 8 * 4096;
    std::vector<float> f(static_cast<size_t>(frames * 2));
    for (int64_t i = 0; i < frames; ++i) {
        f[2 * i] = 0.5f;
        f[2 * i + 1] = static_cast<float>(i) / frames;
    }
    MakeWav(dir, "VDisk/s.wav", f, 44100);
    CSample sample("s.wav", "", 1, serial, 44100, 2, 16, frames, 0, 0);
    AudioFileWav file(vdisk, "s.wav");
    ScriptedUiPort ui;
    PeakBuffers pb;
    bool cancelled = false;
    ASSERT_TRUE(RebuildPeakFile(file, sample, &ui, true, cancelled, pb));
    EXPECT_TRUE(std::filesystem::exists(dir / "VDisk" / "_s.wav"));

    // The database's peak source reads the same entries the rebuild wrote.
    std::vector<uint16_t> pairs;
    ASSERT_TRUE(ReadSamplePeakPairs(sample, pairs));
    EXPECT_EQ(pairs, pb.peaks);
    EXPECT_EQ(pairs.size(), static_cast<size_t>(frames / 256 * 2));

    CRegion region("r", frames / 2, frames, &sample, 0, -1, 1);
    ASSERT_TRUE(ComputeRegionPeaks(region));
    EXPECT_EQ(region.GetLeftPeak(), static_cast<int32_t>(16383.0 / 32768 * 65535));
    EXPECT_GT(region.GetRightPeak(), 65000);
    // The overview starts in the middle of the right channel's rise.
    EXPECT_GT(region.GetOverview()[0], 90);
    EXPECT_GT(region.GetOverview()[1023], region.GetOverview()[0]);

    // Without a readable peak file the statistics are zero.
    std::filesystem::remove(dir / "VDisk" / "_s.wav");
    EXPECT_FALSE(ReadSamplePeakPairs(sample, pairs));
    EXPECT_FALSE(ComputeRegionPeaks(region));
    EXPECT_EQ(region.GetLeftPeak(), 0);
    CRegion orphan("o", 0, 10, nullptr, 0, -1, 1);
    EXPECT_FALSE(ComputeRegionPeaks(orphan));
}
