// The swapper and the disk thread: chunking, buffer switching, looping across chunks, the
// fades at chunk boundaries and the recording side, with the real disk thread serving the
// requests while the test thread plays the audio thread's part.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

#include "EngineTestUtil.h"
#include "audiofile/AudioFileFactory.h"
#include "audiofile/AudioFileWav.h"
#include "common/FadeShape.h"
#include "common/MainThreadPort.h"
#include "engine/CPlayList.h"
#include "engine/CSwapper.h"
#include "engine/CTransport.h"
#include "engine/DiskIOThread.h"
#include "support/TempDir.h"

namespace {

struct SwapperFixture : ::testing::Test {
    TempDir dir;
    MainThreadPort port;
    CPlayList playList;
    CTransport transport{port, playList};
    std::unique_ptr<CSwapper> swapper = std::make_unique<CSwapper>(transport, playList);
    std::unique_ptr<DiskIOThread> disk = std::make_unique<DiskIOThread>(*swapper);

    void AddSignal(int64_t frames, int64_t regionStart, int64_t length, int32_t at = 0, const char* name = "s.wav") {
        if (!std::filesystem::exists(dir / name)) {
            ASSERT_TRUE(WriteSignalWav(dir.Str(), name, frames));
        }
        ASSERT_TRUE(playList.AddItem(SignalItem(dir.Str(), name, frames, regionStart, length, at)));
    }
    // Fetches total frames in pieces of piece frames.
    std::vector<float> FetchAll(int64_t total, int32_t piece) {
        std::vector<float> out(static_cast<size_t>(total) * 2);
        for (int64_t done = 0; done < total;) {
            const int32_t n = static_cast<int32_t>(std::min<int64_t>(piece, total - done));
            swapper->Fetch(out.data() + 2 * done, n, true);
            done += n;
        }
        return out;
    }
};

TEST_F(SwapperFixture, ChunksDivideTheRangeAndFetchReproducesTheRegion) {
    // 600,000 frames: three chunks of 200,000; fetched in engine blocks, every frame arrives in
    // order across both buffer switches and the refill.
    AddSignal(700000, 50000, 600000);
    swapper->StartPlayback(0, 600000);
    EXPECT_EQ(swapper->Chunks(), 3);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(swapper->ChunkLength(c), 200000);
    const std::vector<float> got = FetchAll(600000, 4096);
    for (int64_t q = 0; q < 600000; ++q) {
        ASSERT_EQ(got[2 * q], SignalLeft(50000 + q)) << q;
        ASSERT_EQ(got[2 * q + 1], SignalRight(50000 + q)) << q;
    }
    EXPECT_EQ(swapper->ChunksIssued(), 3);
    swapper->Release();
    EXPECT_TRUE(transport.PlaybackEnded());
    EXPECT_EQ(swapper->FillsServed(), 3);
}

TEST_F(SwapperFixture, RangesThatDoNotDivideEvenlyStillCoverEveryFrame) {
    // A render of L + 1 frames: the extra frames go to the first chunks instead of being
    // replaced by old audio at the end.
    AddSignal(600001, 0, 600000);
    swapper->StartPlayback(0, 600001);
    EXPECT_EQ(swapper->Chunks(), 3);
    EXPECT_EQ(swapper->ChunkLength(0), 200001);
    EXPECT_EQ(swapper->ChunkLength(2), 200000);
    const std::vector<float> got = FetchAll(600001, 4096);
    for (int64_t q = 0; q < 600000; ++q) ASSERT_EQ(got[2 * q], SignalLeft(q)) << q;
    // The frame past the region end is the sample's next frame.
    EXPECT_EQ(got[2 * 600000], SignalLeft(600000));
    swapper->Release();
}

TEST_F(SwapperFixture, ShortRangePlaysFromBufferAAndRepeatsFromMemory) {
    AddSignal(100000, 1000, 90000);
    transport.SetLoop(true);
    swapper->StartPlayback(100, 50100);
    EXPECT_EQ(swapper->Chunks(), 1);
    const std::vector<float> got = FetchAll(125000, 4096);
    for (int64_t i = 0; i < 125000; ++i) ASSERT_EQ(got[2 * i], SignalLeft(1000 + 100 + i % 50000)) << i;
    swapper->Release();
    EXPECT_EQ(swapper->FillsServed(), 1); // no refill: the one buffer is played again
}

TEST_F(SwapperFixture, LoopingAcrossChunkBoundariesRefillsFromTheRangeStart) {
    // Four chunks of 150,000 + looping: after the last chunk the fill starts again at the range
    // start, seamlessly, for both odd fetch sizes and several passes.
    AddSignal(800000, 0, 800000);
    transport.SetLoop(true);
    swapper->StartPlayback(20000, 620000);
    EXPECT_EQ(swapper->Chunks(), 3);
    const int64_t total = 600000 * 2 + 123457;
    const std::vector<float> got = FetchAll(total, 5003);
    for (int64_t i = 0; i < total; ++i) {
        ASSERT_EQ(got[2 * i], SignalLeft(20000 + i % 600000)) << i;
        ASSERT_EQ(got[2 * i + 1], SignalRight(20000 + i % 600000)) << i;
    }
    swapper->Release();
    EXPECT_GE(swapper->FillsServed(), 7);
}

TEST_F(SwapperFixture, PlaybackGoesOnWithTheRangeStartWhenLoopIsSwitchedOnLate) {
    // Three chunks of 200,000 fetched as playback does (no wait flag), loop off at the start.
    // Loop switched on while the last chunk plays, after the point where a refill went round
    // to the range start, or not at all: either way the frames after the range's end are the
    // range again from its first frame, through several more times round.
    AddSignal(700000, 0, 700000);
    for (const int64_t switchAt : {int64_t{450000}, int64_t{-1}}) {
        transport.SetLoop(false);
        swapper->StartPlayback(10000, 610000);
        ASSERT_EQ(swapper->Chunks(), 3);
        const int64_t total = 600000 * 3 + 7777;
        std::vector<float> got(static_cast<size_t>(total) * 2);
        for (int64_t done = 0; done < total;) {
            if (done >= switchAt && switchAt >= 0) transport.SetLoop(true);
            const int32_t n = static_cast<int32_t>(std::min<int64_t>(4096, total - done));
            swapper->Fetch(got.data() + 2 * done, n, false);
            done += n;
        }
        for (int64_t t = 0; t < total; ++t) {
            ASSERT_EQ(got[2 * t], SignalLeft(10000 + t % 600000)) << "switch " << switchAt << " frame " << t;
            ASSERT_EQ(got[2 * t + 1], SignalRight(10000 + t % 600000)) << "switch " << switchAt << " frame " << t;
        }
        swapper->Release();
    }
}

TEST_F(SwapperFixture, APlaybackThatEndsWithTheRangeReadsNothingPastIt) {
    // A playback pass without loop ends with the fetch that crosses the range's end; the fill of
    // the range start was issued while the last chunk played, and nothing is read after it.
    AddSignal(700000, 0, 700000);
    swapper->StartPlayback(0, 600000);
    std::vector<float> block(2 * 4096);
    int64_t done = 0;
    for (; done <= 600000; done += 4096) swapper->Fetch(block.data(), 4096, false);
    swapper->Release();
    EXPECT_EQ(swapper->FillsServed(), 4); // three chunks, then the first again
}

TEST_F(SwapperFixture, TwoChunksAlternateWithoutRefills) {
    AddSignal(400000, 0, 400000);
    transport.SetLoop(true);
    swapper->StartPlayback(0, 400000);
    EXPECT_EQ(swapper->Chunks(), 2);
    const std::vector<float> got = FetchAll(1000000, 4096);
    for (int64_t i = 0; i < 1000000; ++i) ASSERT_EQ(got[2 * i], SignalLeft(i % 400000)) << i;
    swapper->Release();
    EXPECT_EQ(swapper->FillsServed(), 2);
}

TEST_F(SwapperFixture, PlayListEntriesAtTheirTimelineFramesWithSilenceBetween) {
    AddSignal(300000, 0, 1000, 0, "a.wav");
    AddSignal(300000, 5000, 260000, 4000, "a.wav");
    swapper->StartPlayback(0, 264001);
    const std::vector<float> got = FetchAll(264001, 4096);
    for (int64_t t = 0; t < 264001; ++t) {
        float want = 0.0f;
        if (t <= 1000) want = SignalLeft(t); // the first entry supplies L + 1 frames
        else if (t >= 4000) want = SignalLeft(5000 + t - 4000);
        ASSERT_EQ(got[2 * t], want) << t;
    }
    swapper->Release();
}

TEST_F(SwapperFixture, MissingFilePlaysAsSilence) {
    ASSERT_TRUE(playList.AddItem(SignalItem(dir.Str(), "missing.wav", 100000, 0, 100000)));
    swapper->StartPlayback(0, 100000);
    const std::vector<float> got = FetchAll(100000, 4096);
    for (float v : got) ASSERT_EQ(v, 0.0f);
    swapper->Release();
}

// The fades by their definition: the gain at region frame q.
double ExpectedGain(int64_t q, int64_t L, int32_t fi, int si, int32_t fo, int so) {
    double g = 1.0;
    auto shape = [](int s, double x) {
        x = std::clamp(x, 0.0, 1.0);
        return s == 1 ? x * x : s == 2 ? 1.0 - (1.0 - x) * (1.0 - x) : x;
    };
    if (fi > 0 && q < fi) g *= shape(si, static_cast<double>(q) / fi);
    if (fo >= 1 && q >= L - fo) g *= shape(so, static_cast<double>(L - q) / fo);
    return g;
}

TEST_F(SwapperFixture, FadesAcrossChunkBoundariesWithEveryShape) {
    // Long fades that span the chunk boundaries of a 700,000-frame region, each shape in and
    // out; the ramps continue exactly where the previous chunk left them.
    ASSERT_TRUE(WriteSignalWav(dir.Str(), "f.wav", 700001));
    for (int shape = 0; shape < 3; ++shape) {
        PlayItem item = SignalItem(dir.Str(), "f.wav", 700001, 0, 700000);
        item.fadeIn = 300000;
        item.fadeInShape = shape;
        item.fadeOut = 450000;
        item.fadeOutShape = (shape + 1) % 3;
        playList.Clear();
        ASSERT_TRUE(playList.AddItem(item));
        swapper->StartPlayback(0, 700001);
        ASSERT_EQ(swapper->Chunks(), 3);
        const std::vector<float> got = FetchAll(700001, 4096);
        for (int64_t q = 0; q <= 700000; ++q) {
            const double g = ExpectedGain(q, 700000, item.fadeIn, item.fadeInShape, item.fadeOut, item.fadeOutShape);
            ASSERT_NEAR(got[2 * q], SignalLeft(q) * g, 2e-6) << "shape " << shape << " frame " << q;
        }
        EXPECT_EQ(got[2 * 700000], 0.0f); // the fade-out ends at gain 0
        swapper->Release();
    }
}

TEST(RegionFades, FadeInOfAThousandFramesAndRunsThatStartInside) {
    std::vector<float> ones(2 * 2000, 1.0f);
    ApplyRegionFades(ones.data(), 2000, 0, 100000, 1000, FadeLin, 0, FadeLin);
    EXPECT_EQ(ones[0], 0.0f);
    EXPECT_FLOAT_EQ(ones[2 * 500], 0.5f);
    EXPECT_FLOAT_EQ(ones[2 * 1000], 1.0f);
    std::fill(ones.begin(), ones.end(), 1.0f);
    ApplyRegionFades(ones.data(), 2000, 0, 100000, 1000, FadeLog, 0, FadeLin);
    EXPECT_FLOAT_EQ(ones[2 * 500], 0.25f);
    std::fill(ones.begin(), ones.end(), 1.0f);
    ApplyRegionFades(ones.data(), 2000, 0, 100000, 1000, FadeExp, 0, FadeLin);
    EXPECT_FLOAT_EQ(ones[2 * 500], 0.75f);
    // A run of 100 frames from frame 450 continues the ramp; a fade-out that begins inside it
    // starts at 1.0 where it begins.
    std::vector<float> run(2 * 100, 1.0f);
    ApplyRegionFades(run.data(), 100, 450, 600, 1000, FadeLin, 100, FadeLin);
    EXPECT_FLOAT_EQ(run[2 * 50], 0.5f);
    EXPECT_FLOAT_EQ(run[2 * 50 + 1], 0.5f);
    std::vector<float> tail(2 * 101, 1.0f);
    ApplyRegionFades(tail.data(), 101, 400, 500, 0, FadeLin, 50, FadeLin);
    EXPECT_FLOAT_EQ(tail[2 * 49], 1.0f);
    EXPECT_FLOAT_EQ(tail[2 * 50], 1.0f);
    EXPECT_FLOAT_EQ(tail[2 * 75], 0.5f);
    EXPECT_EQ(tail[2 * 100], 0.0f);
}

TEST_F(SwapperFixture, RecordingWritesFullChunksFromFeedAndTheRestAtFinish) {
    // 1,000,000 frames in 4096-frame blocks: four writes of 250,000 from the feed (the last
    // chunk completes exactly at the end), then the finish writes what is left: nothing here;
    // with 1,000,100 frames the finish writes 100.
    RecordingFile file;
    file.folder = dir.Str();
    file.name = "rec.wav";
    file.rate = 44100;
    file.bits = 16;
    std::string message;
    ASSERT_TRUE(swapper->StartRecording(file, message)) << message;
    EXPECT_EQ(swapper->RecordingChunkFrames(), 250000);
    std::vector<float> block(2 * 4096);
    int64_t fed = 0;
    const int64_t total = 1000100;
    while (fed < total) {
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(4096, total - fed));
        for (int32_t i = 0; i < n; ++i) {
            block[2 * i] = SignalLeft(fed + i);
            block[2 * i + 1] = SignalRight(fed + i);
        }
        swapper->Feed(block.data(), n);
        fed += n;
    }
    EXPECT_EQ(swapper->RecordedFrames(), total);
    ASSERT_TRUE(swapper->FinishRecording(message)) << message;
    EXPECT_TRUE(transport.RecordingEnded());
    EXPECT_EQ(swapper->WritesServed(), 4);
    EXPECT_EQ(swapper->FramesWritten(), total);
    EXPECT_EQ(swapper->RecordingDataBytes(), total * 4);

    AudioFileWav in(dir.Str(), "rec.wav");
    ASSERT_TRUE(in.OpenRead());
    ASSERT_EQ(in.frames, total);
    std::vector<int32_t> ints(2 * 4096);
    for (int64_t at = 0; at < total;) {
        const int32_t n = in.ReadInt(ints.data(), 4096);
        ASSERT_GT(n, 0);
        for (int32_t i = 0; i < n; ++i)
            ASSERT_EQ(ints[2 * i], static_cast<int32_t>(static_cast<double>(SignalLeft(at + i)) * 32767.0)) << at + i;
        at += n;
    }
}

TEST_F(SwapperFixture, OggVorbisRecordingWritesChunksOf62500Frames) {
    RecordingFile file;
    file.folder = dir.Str();
    file.name = "rec.ogg";
    file.storageMode = kFormatVorbis;
    file.kbps = 128;
    std::string message;
    ASSERT_TRUE(swapper->StartRecording(file, message)) << message;
    EXPECT_EQ(swapper->RecordingChunkFrames(), 62500);
    // A 1 kHz tone at half scale, so the lossy file can be checked for its level.
    std::vector<float> block(2 * 4096);
    const int64_t total = 200000;
    for (int64_t fed = 0; fed < total;) {
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(4096, total - fed));
        for (int32_t i = 0; i < n; ++i)
            block[2 * i] = block[2 * i + 1] = static_cast<float>(0.5 * std::sin(2 * M_PI * 1000.0 * (fed + i) / 44100));
        swapper->Feed(block.data(), n);
        fed += n;
    }
    ASSERT_TRUE(swapper->FinishRecording(message)) << message;
    EXPECT_EQ(swapper->WritesServed(), 3); // and 12,500 frames from the finish
    EXPECT_EQ(swapper->FramesWritten(), total);
    std::string error;
    std::unique_ptr<AudioFile> in = MakeAudioFile(kFormatVorbis, dir.Str(), "rec.ogg", error);
    ASSERT_TRUE(in && in->OpenRead()) << error;
    std::vector<float> got(2 * 8192);
    float peak = 0.0f;
    int64_t frames = 0;
    for (int32_t n; (n = in->ReadFloat(got.data(), 8192)) > 0; frames += n)
        for (int32_t i = 0; i < 2 * n; ++i) peak = std::max(peak, std::fabs(got[i]));
    EXPECT_EQ(frames, total);
    EXPECT_NEAR(peak, 0.5f, 0.05f);
}

TEST_F(SwapperFixture, EmptyRecordingLeavesNoFile) {
    RecordingFile file;
    file.folder = dir.Str();
    file.name = "empty.wav";
    std::string message;
    ASSERT_TRUE(swapper->StartRecording(file, message));
    EXPECT_TRUE(std::filesystem::exists(dir / "empty.wav"));
    ASSERT_TRUE(swapper->FinishRecording(message));
    EXPECT_FALSE(std::filesystem::exists(dir / "empty.wav"));
    EXPECT_EQ(swapper->FramesWritten(), 0);
    EXPECT_TRUE(transport.RecordingEnded());
}

TEST_F(SwapperFixture, RecordingIntoAnUnwritableFolderFailsWithAMessage) {
    RecordingFile file;
    file.folder = (dir / "no such folder").string();
    file.name = "x.wav";
    std::string message;
    EXPECT_FALSE(swapper->StartRecording(file, message));
    EXPECT_FALSE(message.empty());
    file.folder = dir.Str();
    file.storageMode = 9; // no recording target for this code
    EXPECT_FALSE(swapper->StartRecording(file, message));
}

} // namespace
