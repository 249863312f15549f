// Playback and render runs of the audio thread through the null device and the render target,
// with the captured output checked sample by sample against the DSP stack run directly.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "EngineRig.h"
#include "audiofile/AudioFileWav.h"
#include "engine/CRenderTarget.h"
#include "library/CRegion.h"
#include "library/CSample.h"

namespace {

// The fetched input of a playback of a region [regionStart, regionStart + L] that does not
// loop: the region's frames, silence past the range end.
std::vector<float> PlaybackInput(int64_t regionStart, int64_t range, int32_t blocks, int32_t block,
                                 int64_t sampleFrames) {
    std::vector<float> in(2 * static_cast<size_t>(blocks) * block, 0.0f);
    for (int64_t t = 0; t < range && t < static_cast<int64_t>(blocks) * block; ++t) {
        in[2 * t] = RegionLeft(regionStart, t, sampleFrames);
        in[2 * t + 1] = RegionRight(regionStart, t, sampleFrames);
    }
    return in;
}

TEST(Playback, FullPlaybackThroughTheNullDeviceMatchesTheStackSampleBySample) {
    EngineRig rig;
    const int64_t frames = 120000;
    ASSERT_TRUE(WriteSignalWav(rig.dir.Str(), "in.wav", frames));
    ASSERT_TRUE(rig.playList.AddItem(SignalItem(rig.dir.Str(), "in.wav", frames, 7000, 100000)));
    rig.null.settings.captureFile = rig.Path("cap.wav");
    rig.Play(0, 100000);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.transport.IsStopped(); }));
    EXPECT_TRUE(rig.transport.PlaybackEnded());
    EXPECT_TRUE(rig.ui.messages.empty());

    const int32_t block = 4096;
    const int32_t blocks = 100000 / block + 1; // while remaining >= 0
    const Capture cap = ReadCapture(rig.Path("cap.wav"));
    EXPECT_EQ(cap.channels, 2);
    EXPECT_EQ(cap.rate, 44100);
    EXPECT_EQ(cap.bits, 16);
    ASSERT_EQ(cap.data.size(), static_cast<size_t>(blocks) * block * 4);
    TestChain reference;
    const std::vector<uint8_t> want = ReferencePlayback(reference, blocks, block, 44100, 16,
                                                        PlaybackInput(7000, 100000, blocks, block, frames));
    for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(cap.data[i], want[i]) << "byte " << i;
    EXPECT_EQ(rig.transport.PlayCursor(), static_cast<int32_t>(blocks * block) % 100000);
}

TEST(Playback, Force24OutputAndA96kSampleInBlocksOf8192) {
    EngineRig rig;
    ASSERT_TRUE(WriteSignalWav(rig.dir.Str(), "in.wav", 50000, 96000));
    ASSERT_TRUE(rig.playList.AddItem(SignalItem(rig.dir.Str(), "in.wav", 50000, 0, 50000, 0, 96000)));
    rig.null.settings.captureFile = rig.Path("cap.wav");
    rig.audio->SetForce24(true);
    rig.Play(0, 50000, 96000);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.transport.IsStopped(); }));
    const Capture cap = ReadCapture(rig.Path("cap.wav"));
    EXPECT_EQ(cap.bits, 24);
    EXPECT_EQ(cap.rate, 96000);
    const int32_t block = EngineBlockFrames(96000);
    EXPECT_EQ(block, 8192);
    const int32_t blocks = 50000 / block + 1;
    ASSERT_EQ(cap.data.size(), static_cast<size_t>(blocks) * block * 6);
    TestChain reference;
    const std::vector<uint8_t> want = ReferencePlayback(reference, blocks, block, 96000, 24,
                                                        PlaybackInput(0, 50000, blocks, block, 50000));
    EXPECT_TRUE(cap.data == want);
}

TEST(Playback, StopFadesTheLastBlockToSilence) {
    EngineRig rig;
    ASSERT_TRUE(WriteSignalWav(rig.dir.Str(), "in.wav", 44100 * 20));
    ASSERT_TRUE(rig.playList.AddItem(SignalItem(rig.dir.Str(), "in.wav", 44100 * 20, 0, 44100 * 20)));
    rig.null.settings.captureFile = rig.Path("cap.wav");
    rig.null.settings.realTime = true;
    rig.Play(0, 44100 * 20);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.audio->BlocksDone() >= 3; }));
    rig.transport.Stop();
    EXPECT_TRUE(rig.transport.PlaybackEnded()); // the stop returned after the run released all
    EXPECT_TRUE(rig.ui.messages.empty());
    const Capture cap = ReadCapture(rig.Path("cap.wav"));
    const int32_t block = 4096;
    ASSERT_EQ(cap.data.size() % (block * 4), 0u);
    const int32_t blocks = static_cast<int32_t>(cap.data.size() / (block * 4));
    ASSERT_GE(blocks, 3);
    ASSERT_LT(blocks, 200); // stopped long before the end

    // The reference runs the same blocks, the last one faded from 1.0 to 0.0 after the stack.
    TestChain reference;
    EnableFlushToZero();
    reference.stack.ResetAll();
    std::vector<float> buf(2 * block);
    std::vector<uint8_t> pcm(block * 4);
    for (int32_t b = 0; b < blocks; ++b) {
        for (int32_t i = 0; i < block; ++i) {
            buf[2 * i] = SignalLeft(static_cast<int64_t>(b) * block + i);
            buf[2 * i + 1] = SignalRight(static_cast<int64_t>(b) * block + i);
        }
        reference.stack.ProcessBlock(buf.data(), block, 44100, false, 16);
        if (b == blocks - 1)
            for (int32_t i = 0; i < block; ++i) {
                const float g = static_cast<float>(block - 1 - i) / static_cast<float>(block - 1);
                buf[2 * i] *= g;
                buf[2 * i + 1] *= g;
            }
        EncodeDevicePcm(buf.data(), block, 16, 2, pcm.data());
        for (int32_t k = 0; k < block * 4; ++k)
            ASSERT_EQ(cap.data[static_cast<size_t>(b) * block * 4 + k], pcm[k]) << "block " << b << " byte " << k;
    }
    // The very last frame is silent.
    for (int k = 1; k <= 4; ++k) EXPECT_EQ(cap.data[cap.data.size() - k], 0);
}

TEST(Playback, LoopedRangeOfTenBlocksRepeatsSeamlesslyAndTheCursorWraps) {
    EngineRig rig;
    rig.chain.BypassAll();
    const int32_t block = 4096, range = 10 * block;
    ASSERT_TRUE(WriteSignalWav(rig.dir.Str(), "in.wav", 100000));
    ASSERT_TRUE(rig.playList.AddItem(SignalItem(rig.dir.Str(), "in.wav", 100000, 1000, 60000)));
    rig.null.settings.captureFile = rig.Path("cap.wav");
    rig.Play(500, 500 + range, 44100, true);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.audio->BlocksDone() >= 35; }));
    rig.transport.Stop();
    const Capture cap = ReadCapture(rig.Path("cap.wav"));
    const int32_t blocks = static_cast<int32_t>(cap.data.size() / (block * 4));
    ASSERT_GE(blocks, 35);
    std::vector<float> frame(2);
    uint8_t pcm[4];
    // Every block but the faded last one is the range, cycling without a gap or a repeat.
    for (int64_t t = 0; t < static_cast<int64_t>(blocks - 1) * block; ++t) {
        const int64_t q = 500 + t % range;
        frame[0] = SignalLeft(1000 + q);
        frame[1] = SignalRight(1000 + q);
        EncodeDevicePcm(frame.data(), 1, 16, 2, pcm);
        ASSERT_EQ(std::memcmp(cap.data.data() + 4 * t, pcm, 4), 0) << "frame " << t;
    }
    EXPECT_EQ(rig.transport.PlayCursor(), 500 + static_cast<int32_t>(static_cast<int64_t>(blocks) * block % range));
}

// What a looping playback that ends sends to the device: the range time after time without a
// gap, ending exactly where a time through the range ends, then silence to the end of the block.
static void ExpectWholeTimesThroughTheRange(EngineRig& rig, int32_t range, int64_t times) {
    const int64_t content = times * range, blocks = content / 4096 + 1;
    EXPECT_EQ(rig.audio->PassesDone(), times);
    EXPECT_EQ(rig.audio->FramesPlayed(), content);
    EXPECT_EQ(rig.audio->BlocksDone(), blocks);
    const Capture cap = ReadCapture(rig.Path("cap.wav"));
    ASSERT_EQ(cap.data.size(), static_cast<size_t>(blocks) * 4096 * 4);
    uint8_t pcm[4];
    float frame[2];
    for (int64_t t = 0; t < blocks * 4096; ++t) {
        const bool past = t >= content;
        frame[0] = past ? 0.0f : SignalLeft(t % range);
        frame[1] = past ? 0.0f : SignalRight(t % range);
        EncodeDevicePcm(frame, 1, 16, 2, pcm);
        ASSERT_EQ(std::memcmp(cap.data.data() + 4 * t, pcm, 4), 0) << "range " << range << " frame " << t;
    }
}

TEST(Playback, TurningLoopOffEndsThePlaybackWhereTheRangeEnds) {
    // A pass lasts whole blocks, so the passes after the first start inside the range; the
    // range's start must not be heard again after its end. Both a range of whole blocks and
    // one that is not.
    for (const int32_t range : {5 * 4096, 5 * 4096 + 100}) {
        EngineRig rig;
        rig.chain.BypassAll();
        ASSERT_TRUE(WriteSignalWav(rig.dir.Str(), "in.wav", 30000));
        ASSERT_TRUE(rig.playList.AddItem(SignalItem(rig.dir.Str(), "in.wav", 30000, 0, 30000)));
        rig.null.settings.captureFile = rig.Path("cap.wav");
        rig.transport.SetLoopSetting(true);
        rig.Play(0, range, 44100, true);
        ASSERT_TRUE(rig.WaitFor([&] { return rig.audio->BlocksDone() >= 14; }));
        EXPECT_TRUE(rig.transport.IsPlaying());
        rig.transport.SetLoopSetting(false);
        // The audio thread ends the pass and has this thread run the stop.
        ASSERT_TRUE(rig.WaitFor([&] { return rig.transport.IsStopped(); }));
        const int64_t played = rig.audio->FramesPlayed();
        EXPECT_EQ(played % range, 0) << "range " << range;
        EXPECT_GE(played / range, 2);
        ExpectWholeTimesThroughTheRange(rig, range, played / range);
    }
}

TEST(Playback, LoopSwitchedOnWhileTheLastChunkPlaysGoesOnWithTheRangeStart) {
    // Three swapper chunks of 250,000 frames (less one), played at real pace at 192 kHz so the
    // loop can be switched on while the last chunk plays: after the point where the swapper
    // would have gone round for a loop, before the block that crosses the range's end. The
    // device must then hear the range's first frame right after its last, and on from there.
    const int32_t rate = 192000, range = 749999;
    const int32_t block = EngineBlockFrames(rate);
    const int64_t sampleFrames = 760000;
    EngineRig rig;
    rig.chain.BypassAll();
    ASSERT_TRUE(WriteSignalWav(rig.dir.Str(), "in.wav", sampleFrames, rate));
    ASSERT_TRUE(rig.playList.AddItem(SignalItem(rig.dir.Str(), "in.wav", sampleFrames, 0, sampleFrames, 0, rate)));
    rig.null.settings.captureFile = rig.Path("cap.wav");
    rig.null.settings.realTime = true;
    rig.Play(0, range, rate, false);

    // The last chunk starts at 500,000; two blocks in, the swapper has long passed the refill
    // that a loop set from the start would have issued.
    ASSERT_TRUE(rig.WaitFor([&] { return rig.transport.PlayCursor() >= 500000 + 2 * block; }));
    rig.transport.SetLoop(true);
    // The audio thread looks at the loop once per block: one whole block before the block that
    // crosses the end is in time.
    const int32_t crossing = range / block * block;
    ASSERT_LT(rig.transport.PlayCursor(), crossing - block) << "the loop came too late for this test";

    const int64_t firstPass = range / block + 1;
    ASSERT_TRUE(rig.WaitFor([&] { return rig.audio->BlocksDone() >= firstPass + 12; }));
    EXPECT_TRUE(rig.transport.IsPlaying());
    rig.transport.Stop();
    const Capture cap = ReadCapture(rig.Path("cap.wav"));
    ASSERT_EQ(cap.rate, rate);
    const int64_t blocks = static_cast<int64_t>(cap.data.size() / (static_cast<size_t>(block) * 4));
    ASSERT_GE(blocks, firstPass + 12);
    uint8_t pcm[4];
    float frame[2];
    // Every block but the faded last one: the range, then the range again from its start.
    for (int64_t t = 0; t < (blocks - 1) * block; ++t) {
        frame[0] = SignalLeft(t % range);
        frame[1] = SignalRight(t % range);
        EncodeDevicePcm(frame, 1, 16, 2, pcm);
        ASSERT_EQ(std::memcmp(cap.data.data() + 4 * t, pcm, 4), 0) << "frame " << t;
    }
}

TEST(Playback, APassLimitEndsALoopingRangeAfterThatManyPasses) {
    // Three passes, and seven: by then the passes of whole blocks have run more than a whole
    // range ahead of the times through it, and the limit still counts the times through.
    for (const int64_t limit : {3, 7}) {
        EngineRig rig;
        rig.chain.BypassAll();
        ASSERT_TRUE(WriteSignalWav(rig.dir.Str(), "in.wav", 30000));
        ASSERT_TRUE(rig.playList.AddItem(SignalItem(rig.dir.Str(), "in.wav", 30000, 0, 30000)));
        rig.null.settings.captureFile = rig.Path("cap.wav");
        rig.audio->SetPassLimit(limit);
        const int32_t range = 5 * 4096 + 100;
        rig.Play(0, range, 44100, true);
        ASSERT_TRUE(rig.WaitFor([&] { return rig.transport.IsStopped(); }));
        ExpectWholeTimesThroughTheRange(rig, range, limit);
    }
}

TEST(Playback, ShuttleSpeedGlidesAndEachBlockConsumesTheSpeedsFrames) {
    // The glide: up by s × 0.035 per block, down by s × 0.07, snapping within 0.01.
    float v = 0.0f;
    int steps = 0;
    while (v != 2.0f && steps < 100) v = GlideSpeed(v, 2.0f), ++steps;
    EXPECT_EQ(steps, 29);
    steps = 0;
    while (v != 1.0f && steps < 100) v = GlideSpeed(v, 1.0f), ++steps;
    EXPECT_EQ(steps, 15);
    EXPECT_EQ(GlideSpeed(0.0f, 1.0f), 1.0f); // normal speed starts at once
    EXPECT_FLOAT_EQ(GlideSpeed(0.0f, 0.0625f), 0.0625f * 0.035f);

    // At 2.0 the pass ends once the range is used up: the block count follows the glide.
    EngineRig rig;
    rig.chain.BypassAll();
    ASSERT_TRUE(WriteSignalWav(rig.dir.Str(), "in.wav", 500000));
    ASSERT_TRUE(rig.playList.AddItem(SignalItem(rig.dir.Str(), "in.wav", 500000, 0, 400000)));
    rig.transport.SetShuttleSpeed(2.0f);
    rig.null.settings.captureFile = rig.Path("cap.wav");
    rig.Play(0, 400000);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.transport.IsStopped(); }));
    int64_t remaining = 400000, cursor = 0;
    int32_t blocks = 0;
    float speed = 0.0f;
    while (remaining >= 0) {
        speed = GlideSpeed(speed, 2.0f);
        const int32_t n = static_cast<int32_t>(4096 * speed);
        remaining -= n;
        cursor = static_cast<int64_t>(cursor + 4096.0 * speed);
        if (cursor >= 400000) cursor %= 400000;
        ++blocks;
    }
    EXPECT_EQ(rig.audio->BlocksDone(), blocks);
    EXPECT_EQ(rig.transport.PlayCursor(), cursor);
    EXPECT_EQ(rig.transport.ShuttleSpeed(), 1.0f); // the stop resets it
    // In the steady part at 2.0 each output frame is every second input frame.
    const Capture cap = ReadCapture(rig.Path("cap.wav"));
    ASSERT_EQ(cap.data.size(), static_cast<size_t>(blocks) * 4096 * 4);
}

TEST(Render, BypassAllReproducesTheRegionBitForBitPlusOneFrame) {
    EngineRig rig;
    rig.chain.BypassAll();
    ASSERT_TRUE(WriteSignalWav(rig.dir.Str(), "in.wav", 300000));
    ASSERT_TRUE(rig.playList.AddItem(SignalItem(rig.dir.Str(), "in.wav", 300000, 12345, 260000)));
    auto writer = std::make_unique<AudioFileWav>(rig.dir.Str(), "out.wav");
    CFileRenderTarget target(std::move(writer), 2, 44100, 32, kSampleFloat);
    rig.transport.SetPlayRange(0, 260001, 44100);
    rig.transport.Render(&target);
    rig.transport.WaitUntilStopped();
    EXPECT_EQ(target.Message(), "");
    EXPECT_EQ(target.FramesWritten(), 260001);
    AudioFileWav out(rig.dir.Str(), "out.wav");
    ASSERT_TRUE(out.OpenRead());
    ASSERT_EQ(out.frames, 260001);
    std::vector<float> got(2 * 260001);
    ASSERT_EQ(out.ReadFloat(got.data(), 260001), 260001);
    for (int64_t q = 0; q <= 260000; ++q) {
        ASSERT_EQ(got[2 * q], SignalLeft(12345 + q)) << q;
        ASSERT_EQ(got[2 * q + 1], SignalRight(12345 + q)) << q;
    }
}

TEST(Render, TheChainRenderedThroughTheEngineEqualsTheStackRunDirectly) {
    EngineRig rig;
    ASSERT_TRUE(WriteSignalWav(rig.dir.Str(), "in.wav", 100000));
    ASSERT_TRUE(rig.playList.AddItem(SignalItem(rig.dir.Str(), "in.wav", 100000, 0, 90000)));
    auto writer = std::make_unique<AudioFileWav>(rig.dir.Str(), "out.wav");
    CFileRenderTarget target(std::move(writer), 2, 44100, 32, kSampleFloat);
    rig.transport.SetPlayRange(0, 90001, 44100);
    rig.transport.Render(&target);
    rig.transport.WaitUntilStopped();
    ASSERT_EQ(target.Message(), "");

    // Reference: the same blocks through a fresh chain; a render's last block goes through the
    // chain with only the frames it writes, so nothing past the range's end reaches the file.
    TestChain reference;
    EnableFlushToZero();
    reference.stack.ResetAll();
    const int32_t block = 4096, range = 90001;
    std::vector<float> want, buf(2 * block);
    for (int64_t done = 0; done < range; done += block) {
        for (int32_t i = 0; i < block; ++i) {
            const int64_t q = (done + i) % range;
            buf[2 * i] = SignalLeft(q);
            buf[2 * i + 1] = SignalRight(q);
        }
        const int64_t k = std::min<int64_t>(block, range - done);
        reference.stack.ProcessBlock(buf.data(), static_cast<int>(k), 44100, true, 32);
        want.insert(want.end(), buf.begin(), buf.begin() + 2 * k);
    }
    AudioFileWav out(rig.dir.Str(), "out.wav");
    ASSERT_TRUE(out.OpenRead());
    ASSERT_EQ(out.frames, range);
    std::vector<float> got(2 * range);
    ASSERT_EQ(out.ReadFloat(got.data(), range), range);
    for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], want[i]) << i;
}

// A render target that keeps nothing but the progress steps, and can abort.
class CountingTarget : public CRenderTarget {
public:
    bool Open() override { return openOk; }
    int32_t Bits() const override { return 16; }
    bool Write(float*, int32_t frames) override {
        written += frames;
        ++writes;
        return writeOk;
    }
    void Progress(int percent) override { steps.push_back(percent); }
    bool Cancelled() const override { return cancelAfter >= 0 && writes >= cancelAfter; }
    bool Finish(bool complete) override {
        finished = true;
        this->complete = complete;
        return complete;
    }
    bool openOk = true, writeOk = true, finished = false, complete = false;
    int64_t written = 0;
    int writes = 0, cancelAfter = -1;
    std::vector<int> steps;
};

TEST(Render, ProgressEveryTwentyOrFiftyBlocksAndCancel) {
    EngineRig rig;
    // Silent entries (no file) keep these long ranges quick.
    ASSERT_TRUE(rig.playList.AddItem(SignalItem(rig.dir.Str(), "none.wav", 10000000, 0, 9000000)));
    for (int64_t length : {2500000LL, 2500001LL}) {
        CountingTarget target;
        rig.transport.SetPlayRange(0, static_cast<int32_t>(length), 44100);
        rig.transport.Render(&target);
        rig.transport.WaitUntilStopped();
        const int every = length <= 2500000 ? 20 : 50;
        const int64_t blocks = length / 4096 + 1;
        ASSERT_EQ(target.written, length);
        ASSERT_EQ(static_cast<int64_t>(target.steps.size()), blocks / every + 1);
        EXPECT_EQ(target.steps[0], static_cast<int>(every * 4096.0 / length * 100.0));
        EXPECT_EQ(target.steps.back(), 100);
        EXPECT_TRUE(target.complete);
    }
    CountingTarget cancelled;
    cancelled.cancelAfter = 7;
    rig.transport.SetPlayRange(0, 1000000, 44100);
    rig.transport.Render(&cancelled);
    rig.transport.WaitUntilStopped();
    EXPECT_EQ(cancelled.Message(), "Canceled.");
    EXPECT_EQ(cancelled.writes, 7);
    EXPECT_TRUE(cancelled.finished);
    EXPECT_FALSE(cancelled.complete);

    CountingTarget refused;
    refused.openOk = false;
    rig.transport.Render(&refused);
    rig.transport.WaitUntilStopped();
    EXPECT_EQ(refused.Message(), "Can't write output file.");
    EXPECT_EQ(refused.writes, 0);
    EXPECT_TRUE(rig.transport.PlaybackEnded());
}

TEST(Render, CancelledFileRenderDeletesThePartialFile) {
    EngineRig rig;
    ASSERT_TRUE(rig.playList.AddItem(SignalItem(rig.dir.Str(), "none.wav", 1000000, 0, 1000000)));
    struct Abort : CFileRenderTarget {
        using CFileRenderTarget::CFileRenderTarget;
        bool Cancelled() const override { return FramesWritten() >= 40960; }
    } target(std::make_unique<AudioFileWav>(rig.dir.Str(), "part.wav"), 2, 44100, 16, kSampleInt);
    rig.transport.SetPlayRange(0, 1000000, 44100);
    rig.transport.Render(&target);
    rig.transport.WaitUntilStopped();
    EXPECT_EQ(target.Message(), "Canceled.");
    EXPECT_FALSE(std::filesystem::exists(rig.dir / "part.wav"));
}

TEST(Devices, OutputThatCannotOpenStopsAndTellsTheUser) {
    EngineRig rig;
    ASSERT_TRUE(rig.playList.AddItem(SignalItem(rig.dir.Str(), "none.wav", 100000, 0, 100000)));
    rig.null.settings.maxOutputBits = 8; // refuses 16 bits
    rig.Play(0, 100000);
    ASSERT_TRUE(rig.WaitFor([&] { return !rig.ui.messages.empty(); }));
    EXPECT_EQ(rig.ui.messages[0].text, "Failed to open audio output device.");
    EXPECT_EQ(rig.ui.messages[0].caption, "");
    EXPECT_TRUE(rig.transport.IsStopped());
    EXPECT_TRUE(rig.transport.PlaybackEnded());
    // A device number beyond the list opens nothing either.
    rig.null.settings.maxOutputBits = 32;
    rig.audio->SetPlaybackDevice(5);
    rig.Play(0, 100000);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.ui.messages.size() == 2; }));
    EXPECT_TRUE(rig.transport.IsStopped());
}

TEST(Devices, AnOutputThatStopsTakingDataEndsThePlaybackInOrder) {
    EngineRig rig;
    ASSERT_TRUE(WriteSignalWav(rig.dir.Str(), "in.wav", 300000));
    ASSERT_TRUE(rig.playList.AddItem(SignalItem(rig.dir.Str(), "in.wav", 300000, 0, 300000)));
    rig.null.settings.stallAfterBytes = 3 * 4096 * 4;
    rig.audio->SetDeviceTimeLimit(std::chrono::milliseconds(200));
    rig.Play(0, 300000);
    ASSERT_TRUE(rig.WaitFor([&] { return !rig.ui.messages.empty(); }));
    EXPECT_EQ(rig.ui.messages[0].text, AudioIOThread::kOutputStalled);
    EXPECT_TRUE(rig.transport.IsStopped());
    EXPECT_TRUE(rig.transport.PlaybackEnded());
}

TEST(Transport, PlayRequestNeedsMoreThan4095FramesAndAnAvailableSample) {
    EngineRig rig;
    ASSERT_TRUE(WriteSignalWav(rig.dir.Str(), "s.wav", 50000));
    CSample sample("s.wav", rig.dir.Str(), 0, 0, 44100, 2, 32, 50000, 0, 400044, 1);
    CRegion region("r", 1000, 41000, &sample, 0, 1, 1);
    rig.transport.SetLoopSetting(false);
    EXPECT_FALSE(rig.transport.PlayRequest(region, 100, 4195, kOriginWaveViewer));
    EXPECT_TRUE(rig.transport.IsStopped());
    EXPECT_EQ(rig.transport.PlayCursor(), 100);
    EXPECT_TRUE(rig.transport.PlayRequest(region, 100, 4196, kOriginWaveViewer));
    EXPECT_TRUE(rig.transport.IsPlaying() || rig.transport.IsStopped());
    EXPECT_EQ(rig.transport.GetOrigin(), kOriginWaveViewer);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.transport.IsStopped(); }));
    // End 0 is the whole region, and the loop flag follows the loop setting.
    EXPECT_TRUE(rig.transport.PlayRequest(region, 500, 0, kOriginRegionBrowser));
    EXPECT_EQ(rig.transport.PlayStart(), 0);
    EXPECT_EQ(rig.transport.PlayEnd(), 40000);
    EXPECT_FALSE(rig.transport.GetLoop());
    rig.transport.Stop();
    EXPECT_TRUE(rig.transport.PlaybackEnded());
    EXPECT_EQ(rig.playList.Count(), 1);
    EXPECT_EQ(rig.playList.Entry(0).regionStart, 1000);
    // A sample whose file is missing plays nothing.
    CSample gone("gone.wav", rig.dir.Str(), 0, 0, 44100, 2, 16, 50000, 0, 200044, 2);
    CRegion lost("l", 0, 50000, &gone, 0, 2, 1);
    EXPECT_FALSE(rig.transport.PlayRequest(lost, 0, 0, kOriginWaveViewer));
}

struct ShuttleView : CTransportView {
    EngineRig* rig = nullptr;
    int refreshes = 0, plays = 0, marksRemoved = 0;
    void RefreshTransport() override { ++refreshes; }
    void RemovePlayMark(int32_t) override { ++marksRemoved; }
    void PlayFromCursor() override {
        ++plays;
        rig->transport.SetLoop(true);
        rig->transport.SetPlayRange(0, 400000, 44100);
        rig->transport.Play(kOriginWaveViewer);
    }
};

TEST(Transport, ShuttleCommandsAndStopWhileStopped) {
    EngineRig rig;
    ShuttleView view;
    view.rig = &rig;
    rig.transport.SetView(&view);
    ASSERT_TRUE(rig.playList.AddItem(SignalItem(rig.dir.Str(), "none.wav", 400000, 0, 400000)));
    rig.transport.Stop();
    EXPECT_EQ(view.refreshes, 1);
    EXPECT_EQ(view.marksRemoved, 0);
    rig.transport.DecreaseShuttleSpeed(); // nothing while stopped
    EXPECT_EQ(view.plays, 0);
    EXPECT_FALSE(rig.transport.ShuttleMode());

    rig.transport.IncreaseShuttleSpeed(); // enters shuttle mode and plays at 0.0625
    EXPECT_TRUE(rig.transport.ShuttleMode());
    EXPECT_EQ(view.plays, 1);
    EXPECT_EQ(rig.transport.ShuttleSpeed(), 0.0625f);
    for (int i = 0; i < 4; ++i) rig.transport.IncreaseShuttleSpeed();
    EXPECT_EQ(rig.transport.ShuttleSpeed(), 1.0f);
    rig.transport.IncreaseShuttleSpeed();
    EXPECT_EQ(rig.transport.ShuttleSpeed(), 2.0f);
    rig.transport.IncreaseShuttleSpeed();
    EXPECT_EQ(rig.transport.ShuttleSpeed(), 2.0f);
    for (int i = 0; i < 10; ++i) rig.transport.DecreaseShuttleSpeed();
    EXPECT_EQ(rig.transport.ShuttleSpeed(), 0.0625f);
    rig.transport.MicroIncreaseSpeed();
    EXPECT_FLOAT_EQ(rig.transport.ShuttleSpeed(), 0.0625f * 1.01f);
    rig.transport.MicroDecreaseSpeed();
    rig.transport.MicroDecreaseSpeed();
    EXPECT_FLOAT_EQ(rig.transport.ShuttleSpeed(), 0.0625f); // not below the minimum
    rig.transport.ResetSpeed();
    EXPECT_EQ(rig.transport.ShuttleSpeed(), 1.0f);
    rig.transport.Stop();
    EXPECT_EQ(view.marksRemoved, 1);
    rig.transport.MicroIncreaseSpeed(); // from stopped: speed 1.01 and play
    EXPECT_EQ(view.plays, 2);
    EXPECT_FLOAT_EQ(rig.transport.ShuttleSpeed(), 1.01f);
    rig.transport.Stop();
    EXPECT_EQ(rig.transport.ShuttleSpeed(), 1.0f);
    rig.transport.SetView(nullptr);
}

TEST(Transport, RapidPlayAndStopNeverHangsOrOverlapsRuns) {
    // Stops that land before, while and after the audio thread claims the run.
    EngineRig rig;
    ASSERT_TRUE(WriteSignalWav(rig.dir.Str(), "in.wav", 100000));
    ASSERT_TRUE(rig.playList.AddItem(SignalItem(rig.dir.Str(), "in.wav", 100000, 0, 100000)));
    for (int i = 0; i < 60; ++i) {
        rig.transport.SetPlayRange(0, 100000, 44100);
        if (i % 3 == 0) {
            rig.transport.Render(nullptr); // refused target: the run ends by itself
        } else {
            rig.transport.SetLoop(true);
            rig.transport.Play(kOriginWaveViewer);
        }
        if (i % 2 && i % 3 != 0) rig.WaitFor([&] { return rig.audio->BlocksDone() > i; });
        rig.transport.Stop();
        ASSERT_TRUE(rig.transport.IsStopped());
    }
    rig.transport.Stop();
}

} // namespace
