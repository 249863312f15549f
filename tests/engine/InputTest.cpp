// Input runs (recording and monitoring) through the null device: the first two blocks are
// discarded, the depth falls back, auto-start keeps blocks from the first loud one, and the
// recorded file holds exactly the frames the device delivered.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "EngineRig.h"
#include "audiofile/AudioFileWav.h"
#include "audiofile/PeakFile.h"

namespace {

// The recorded 16-bit value of an input frame: the device's 16-bit word, decoded, written.
int32_t Recorded16(float x) {
    float frame[2] = {x, x};
    uint8_t pcm[4];
    EncodeDevicePcm(frame, 1, 16, 2, pcm);
    float back[2];
    DecodeDevicePcm(pcm, 1, 16, 2, back);
    return static_cast<int32_t>(std::trunc(static_cast<double>(back[0]) * 32767.0));
}

// What the null device delivers for input frame t of a signal file of `length` frames: the
// file's frame, then silence once the file has run out (a loaded machine may stop late).
int32_t ExpectedLeft(int64_t t, int64_t length) { return t < length ? Recorded16(SignalLeft(t)) : 0; }
int32_t ExpectedRight(int64_t t, int64_t length) { return t < length ? Recorded16(SignalRight(t)) : 0; }

std::vector<int32_t> ReadInts(const std::string& folder, const std::string& name, int64_t& frames) {
    AudioFileWav f(folder, name);
    std::vector<int32_t> all;
    frames = -1;
    if (!f.OpenRead()) return all;
    frames = f.frames;
    all.resize(static_cast<size_t>(f.frames) * 2);
    if (f.frames > 0) f.ReadInt(all.data(), static_cast<int32_t>(f.frames));
    return all;
}

struct InputRig : EngineRig {
    InputRig(int32_t bits = 16) {
        RecordingSetup& r = audio->Recording();
        r.file.folder = dir.Str();
        r.file.name = "rec.wav";
        r.file.rate = 44100;
        r.file.bits = bits;
        r.file.storageMode = 0;
    }
};

TEST(Input, FirstTwoBlocksAreDiscardedAndEveryDeliveredFrameIsRecorded) {
    InputRig rig;
    ASSERT_TRUE(WriteSignalWav(rig.dir.Str(), "in.wav", 200000));
    rig.null.settings.inputFile = rig.Path("in.wav");
    PeakBuffers peaks;
    rig.audio->Recording().peaks = &peaks;
    rig.transport.Record();
    ASSERT_TRUE(rig.WaitFor([&] { return rig.audio->InputBlocksRead() >= 14; }));
    rig.transport.Stop();
    EXPECT_TRUE(rig.transport.RecordingEnded());
    EXPECT_TRUE(rig.ui.messages.empty());
    const int64_t written = rig.swapper->FramesWritten();
    ASSERT_GT(written, 0);
    EXPECT_EQ(written % 4096, 0);
    EXPECT_EQ(rig.swapper->RecordedFrames(), written);
    int64_t frames = 0;
    const std::vector<int32_t> got = ReadInts(rig.dir.Str(), "rec.wav", frames);
    ASSERT_EQ(frames, written);
    // The first kept block is the device's first delivery: input frame 0 on.
    for (int64_t t = 0; t < frames; ++t) {
        ASSERT_EQ(got[2 * t], ExpectedLeft(t, 200000)) << t;
        ASSERT_EQ(got[2 * t + 1], ExpectedRight(t, 200000)) << t;
    }
    // Peaks of the kept blocks only: one pair per 256 frames at 44.1 kHz.
    EXPECT_EQ(static_cast<int64_t>(peaks.peaks.size()), written / 256 * 2);
    EXPECT_GT(rig.audio->Stats().pre.Get(StatPeakLeft), 0.5f);
}

TEST(Input, StopWhileMonitoringDeletesTheEmptyFileBeforeItReturns) {
    InputRig rig;
    rig.transport.Monitor();
    ASSERT_TRUE(rig.WaitFor([&] { return rig.audio->InputBlocksRead() >= 5; }));
    EXPECT_TRUE(std::filesystem::exists(rig.dir / "rec.wav"));
    rig.transport.Stop();
    EXPECT_TRUE(rig.transport.RecordingEnded());
    EXPECT_FALSE(std::filesystem::exists(rig.dir / "rec.wav"));
    EXPECT_EQ(rig.swapper->FramesWritten(), 0);
    // The generated tone was metered all the same.
    EXPECT_NEAR(rig.audio->Stats().pre.Get(StatPeakLeft), 0.5f, 0.01f);
}

TEST(Input, MonitoringThenRecordingKeepsOneContiguousFile) {
    InputRig rig;
    ASSERT_TRUE(WriteSignalWav(rig.dir.Str(), "in.wav", 400000));
    rig.null.settings.inputFile = rig.Path("in.wav");
    rig.transport.Monitor();
    ASSERT_TRUE(rig.WaitFor([&] { return rig.audio->InputBlocksRead() >= 6; }));
    rig.transport.Record();
    const int64_t at = rig.audio->InputBlocksRead();
    ASSERT_TRUE(rig.WaitFor([&] { return rig.audio->InputBlocksRead() >= at + 8; }));
    rig.transport.Monitor(); // pause
    rig.transport.Stop();
    int64_t frames = 0;
    const std::vector<int32_t> got = ReadInts(rig.dir.Str(), "rec.wav", frames);
    ASSERT_GT(frames, 0);
    int64_t first = -1;
    for (int64_t b = 0; b < 400000 / 4096 && first < 0; ++b)
        if (got[0] == Recorded16(SignalLeft(b * 4096)) && got[1] == Recorded16(SignalRight(b * 4096))) first = b * 4096;
    ASSERT_GE(first, 4096 * 3);
    for (int64_t t = 0; t < frames; ++t) ASSERT_EQ(got[2 * t], ExpectedLeft(first + t, 400000)) << t;
}

TEST(Input, ThirtyTwoBitsFallBackTo24AndAFailedOpenIsReported) {
    InputRig rig(32);
    rig.null.settings.maxInputBits = 24;
    rig.transport.Record();
    ASSERT_TRUE(rig.WaitFor([&] { return rig.audio->InputBlocksRead() >= 6; }));
    EXPECT_EQ(rig.audio->InputBits(), 24);
    rig.transport.Stop();
    EXPECT_GT(rig.swapper->FramesWritten(), 0);
    AudioFileWav f(rig.dir.Str(), "rec.wav");
    ASSERT_TRUE(f.OpenRead());
    EXPECT_EQ(f.bits, 32); // the file keeps the chosen depth
    f.Close();

    int resets = 0;
    rig.audio->SetInputFailedHook([&] { ++resets; });
    rig.null.settings.maxInputBits = 8;
    rig.transport.Record();
    ASSERT_TRUE(rig.WaitFor([&] { return !rig.ui.messages.empty(); }));
    EXPECT_EQ(rig.ui.messages[0].text, "Failed to open audio input device at current rate/depth.");
    EXPECT_EQ(resets, 1);
    EXPECT_TRUE(rig.transport.IsStopped());
    EXPECT_TRUE(rig.transport.RecordingEnded());
}

TEST(Input, AutoStartKeepsEverythingFromTheFirstBlockAboveTheThreshold) {
    InputRig rig;
    {
        AudioFileWav f(rig.dir.Str(), "in.wav");
        ASSERT_TRUE(f.OpenWrite(2, 44100, 32, kSampleFloat));
        std::vector<float> buf(2 * 200000);
        for (int64_t t = 0; t < 200000; ++t) {
            // Five blocks below −40 dB, then the signal, then silence again.
            const bool loud = t >= 5 * 4096 && t < 12 * 4096;
            buf[2 * t] = loud ? SignalLeft(t) : 0.005f;
            buf[2 * t + 1] = loud ? SignalRight(t) : -0.005f;
        }
        ASSERT_GT(f.WriteFloat(buf.data(), 200000), 0);
        ASSERT_TRUE(f.FinishWrite());
    }
    rig.null.settings.inputFile = rig.Path("in.wav");
    rig.audio->Recording().autoStart = true;
    rig.audio->Recording().threshold = 0.01f;
    rig.transport.Record();
    ASSERT_TRUE(rig.WaitFor([&] { return rig.audio->InputBlocksRead() >= 20; }));
    rig.transport.Stop();
    EXPECT_TRUE(rig.audio->AutoStartTriggered());
    int64_t frames = 0;
    const std::vector<int32_t> got = ReadInts(rig.dir.Str(), "rec.wav", frames);
    ASSERT_GE(frames, 10 * 4096); // the quiet part after the loud one is kept too
    EXPECT_EQ(got[0], Recorded16(SignalLeft(5 * 4096)));
    EXPECT_EQ(got[2 * 7 * 4096], Recorded16(0.005f));
}

TEST(Input, AnInputThatStopsDeliveringEndsTheRecordingInOrder) {
    InputRig rig;
    rig.null.settings.stallAfterBytes = 6 * 4096 * 4;
    rig.audio->SetDeviceTimeLimit(std::chrono::milliseconds(200));
    rig.transport.Record();
    ASSERT_TRUE(rig.WaitFor([&] { return !rig.ui.messages.empty(); }));
    EXPECT_EQ(rig.ui.messages[0].text, AudioIOThread::kInputStalled);
    EXPECT_TRUE(rig.transport.IsStopped());
    EXPECT_TRUE(rig.transport.RecordingEnded());
    EXPECT_GT(rig.swapper->FramesWritten(), 0); // what arrived before is kept
}

} // namespace
