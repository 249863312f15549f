// The import's short way for 16-bit PCM: bit for bit the float path's stored samples, peak
// entries and level pairs, for every 16-bit value, both byte orders, mono and stereo, blocks
// that end inside an entry; and an import that takes it leaves the files the float path does.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "audiofile/AudioFileAiff.h"
#include "audiofile/AudioFileWav.h"
#include "audiofile/ImportPipeline.h"
#include "audiofile/Pcm16Copy.h"
#include "audiofile/PeakFile.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "library/CVDisk.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

void Store16(uint8_t* p, int16_t v, SampleCoding c) {
    const auto u = static_cast<uint16_t>(v);
    p[c == SampleCoding::S16LE ? 0 : 1] = static_cast<uint8_t>(u);
    p[c == SampleCoding::S16LE ? 1 : 0] = static_cast<uint8_t>(u >> 8);
}

// Every 16-bit value once, the extremes repeated, then noise, then silence.
std::vector<int16_t> Values() {
    std::vector<int16_t> v;
    for (int x = -32768; x <= 32767; ++x) v.push_back(static_cast<int16_t>(x));
    for (int i = 0; i < 3000; ++i) v.push_back(i % 2 ? -32768 : 32767);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> d(-32768, 32767);
    for (int i = 0; i < 50000; ++i) v.push_back(static_cast<int16_t>(d(rng)));
    v.resize(v.size() + 9000, 0);
    return v;
}

} // namespace

TEST(Pcm16Copy, GivesTheFloatPathsSamplesPeaksAndLevels) {
    const std::vector<int16_t> values = Values();
    const SampleCoding both[] = {SampleCoding::S16LE, SampleCoding::S16BE};
    for (int channels : {1, 2})
        for (SampleCoding from : both)
            for (SampleCoding to : both)
                for (int32_t entry : {64, 128, 256})
                    for (int32_t frames : {32768, 32768 - 77}) {
                        SCOPED_TRACE(std::to_string(channels) + " channels, entry " + std::to_string(entry) +
                                     ", frames " + std::to_string(frames) + ", from " +
                                     std::to_string(static_cast<int>(from)) + " to " +
                                     std::to_string(static_cast<int>(to)));
                        ASSERT_TRUE(CopiesAsPcm16(from, to));
                        const int32_t level = entry * 16;
                        // Several blocks, so that every value meets every lane.
                        const size_t samplesPerBlock = static_cast<size_t>(frames) * channels;
                        PeakBuffers slow, fast;
                        for (size_t at = 0; at < values.size(); at += samplesPerBlock) {
                            const size_t n = std::min(samplesPerBlock, values.size() - at);
                            const int32_t f = static_cast<int32_t>(n / channels);
                            std::vector<uint8_t> stored(static_cast<size_t>(f) * 8);
                            for (size_t i = 0; i < static_cast<size_t>(f) * channels; ++i)
                                Store16(stored.data() + 2 * i, values[at + i], from);
                            std::vector<uint8_t> viaFloat = stored;
                            DecodeToFloat(viaFloat.data(), f, channels, from);
                            BuildPeaks(reinterpret_cast<const float*>(viaFloat.data()), f, slow, entry, level);
                            EncodeFromFloat(viaFloat.data(), f, channels, to);
                            CopyPcm16Block(stored.data(), f, channels, from, to, fast, entry, level);
                            ASSERT_EQ(std::memcmp(stored.data(), viaFloat.data(),
                                                  static_cast<size_t>(f) * channels * 2),
                                      0);
                        }
                        ASSERT_FALSE(slow.peaks.empty());
                        EXPECT_EQ(fast.peaks, slow.peaks);
                        EXPECT_EQ(fast.levels, slow.levels);
                    }
    // Anything but 16-bit integers on both sides takes the float path.
    EXPECT_FALSE(CopiesAsPcm16(SampleCoding::S24LE, SampleCoding::S16LE));
    EXPECT_FALSE(CopiesAsPcm16(SampleCoding::S16LE, SampleCoding::S24LE));
    EXPECT_FALSE(CopiesAsPcm16(SampleCoding::U8, SampleCoding::S16LE));
}

// A 16-bit AIFF (big-endian) and a 16-bit mono WAV imported into WAV storage: the stored file
// and the peak file are those of the float path, written here by hand.
TEST(Pcm16Copy, ImportIntoWavStorageLeavesTheFloatPathsFiles) {
    TempDir dir;
    fs::create_directories(dir / "VDisk");
    CVDisk::Table().Clear();
    CVDisk::Table().Add(9, dir.Str());
    const std::vector<int16_t> values = Values();
    for (const bool aiff : {true, false}) {
        SCOPED_TRACE(aiff ? "AIFF stereo" : "WAV mono");
        const uint32_t channels = aiff ? 2 : 1;
        const std::string name = aiff ? "src.aiff" : "src.wav";
        std::unique_ptr<AudioFile> src;
        if (aiff) src = std::make_unique<AudioFileAiff>(dir.Str(), name);
        else src = std::make_unique<AudioFileWav>(dir.Str(), name);
        ASSERT_TRUE(src->OpenWrite(channels, 44100, 16, 0));
        std::vector<float> block;
        for (size_t i = 0; i < values.size(); i += channels)
            for (int k = 0; k < 2; ++k) block.push_back(values[i + (channels == 2 ? k : 0)] / 32768.0f);
        src->WriteFloat(block.data(), static_cast<int32_t>(block.size() / 2));
        ASSERT_TRUE(src->FinishWrite());
        src->Close();

        // By hand: ReadFloat, BuildPeaks, WriteFloat.
        ASSERT_TRUE(src->OpenRead());
        AudioFileWav expected(dir.Str(), "expected.wav");
        ASSERT_TRUE(expected.OpenWrite(channels, 44100, 16, 0));
        PeakBuffers slow;
        std::vector<float> buf(2 * 32768);
        for (int32_t got; (got = src->ReadFloat(buf.data(), 32768)) > 0;) {
            BuildPeaks(buf.data(), got, slow, 256, 4096);
            expected.WriteFloat(buf.data(), got);
        }
        ASSERT_TRUE(expected.FinishWrite());
        expected.Close();
        src->Close();

        CSampleList samples;
        CRegionList regions;
        PeakBuffers peaks;
        CImporter importer(samples, regions, CVDisk::Table(), peaks, nullptr);
        std::string msg;
        bool cancelled = false;
        ASSERT_TRUE(importer.Import(dir.Str(), name, msg, kProgressSecondBar, cancelled)) << msg;
        const CSample* s = samples.At(0);
        EXPECT_EQ(s->GetFrameCount(), static_cast<int64_t>(values.size() / channels));
        EXPECT_EQ(s->GetFileSize(), static_cast<int64_t>(values.size() * 2));
        EXPECT_EQ(LoadBytes(dir / "VDisk" / s->GetFileName()), LoadBytes(dir / "expected.wav"));
        EXPECT_EQ(peaks.peaks, slow.peaks);
        EXPECT_EQ(peaks.levels, slow.levels);
        std::vector<uint16_t> pairs;
        std::string peakName;
        ASSERT_TRUE(s->PeakFileName(peakName));
        ASSERT_TRUE(ReadPeakPairs(s->PeakFileFolder(), peakName, pairs));
        EXPECT_EQ(pairs, slow.peaks);
    }
    CVDisk::Table().Clear();
}
