// Recording into the library through the core, with the null device playing a WAV file as its
// input as fast as it is read: takes are samples with root regions whose audio is the input
// frame for frame, the automation stops and keeps exactly what its settings say, and the state
// table of the three buttons holds.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>

#include "audiofile/AudioFileFactory.h"
#include "audiofile/AudioFileWav.h"
#include "audiofile/PeakFile.h"
#include "common/FormatCode.h"
#include "common/MainThreadPort.h"
#include "core/CCore.h"
#include "core/CRecorder.h"
#include "core/FoundScan.h"
#include "audiofile/ImportPipeline.h"
#include "engine/AudioIOThread.h"
#include "engine/CSwapper.h"
#include "engine/CTransport.h"
#include "engine/DevicePcm.h"
#include "engine/NullDevice.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// Input frame i: distinct values on both sides, so a lost, repeated or shifted frame shows.
float InLeft(int64_t i) { return static_cast<float>((i * 7919) % 65536 - 32768) / 65536.0f; }
float InRight(int64_t i) { return static_cast<float>((i * 104729 + 12345) % 65536 - 32768) / 65536.0f; }

// A 32-bit float WAV; level(i) scales frame i (silence and bursts for the automation).
template <class L> bool WriteInput(const std::string& folder, const std::string& name, int64_t frames, L level) {
    AudioFileWav f(folder, name);
    if (!f.OpenWrite(2, 44100, 32, kSampleFloat)) return false;
    std::vector<float> buf(2 * static_cast<size_t>(frames));
    for (int64_t i = 0; i < frames; ++i) {
        buf[2 * i] = InLeft(i) * level(i);
        buf[2 * i + 1] = InRight(i) * level(i);
    }
    if (frames > 0 && f.WriteFloat(buf.data(), static_cast<int32_t>(frames)) <= 0) return false;
    const bool ok = f.FinishWrite();
    f.Close();
    return ok;
}
bool WriteInput(const std::string& folder, const std::string& name, int64_t frames) {
    return WriteInput(folder, name, frames, [](int64_t) { return 1.0f; });
}

// The integer a take of that depth stores for input value x: the device's word, decoded, then
// written at the file's scale.
int32_t Stored(float x, int32_t bits) {
    float frame[2] = {x, x};
    uint8_t pcm[8];
    EncodeDevicePcm(frame, 1, bits, 2, pcm);
    float back[2];
    DecodeDevicePcm(pcm, 1, bits, 2, back);
    const double scale = bits == 16 ? 32767.0 : bits == 24 ? 8388607.0 : 2147483648.0;
    const double v = std::trunc(static_cast<double>(back[0]) * scale);
    return static_cast<int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

struct RecorderRig {
    TempDir dir;
    ScriptedUiPort ui;
    MainThreadPort port;
    CCore core{ui, port};
    PeakBuffers peaks;
    std::unique_ptr<CRecorder> rec;
    std::vector<CRegion*> finished;

    RecorderRig() {
        fs::create_directories(dir / "disk");
        ui.folderAnswers = {(dir / "disk").string()};
        CoreOptions options;
        options.baseFolder = dir.Path();
        options.withSoundCards = false;
        EXPECT_EQ(core.Start(options), CCore::StartResult::Running);
        ui.messages.clear(); // the first start's VDisk notice
        core.NullDevice()->settings.realTime = false;
        core.AudioThread()->SetRecordDevice(-1);
        rec = std::make_unique<CRecorder>(core, peaks);
        CRecorder::Hooks hooks;
        hooks.finished = [this](CRegion& r) { finished.push_back(&r); };
        rec->SetHooks(hooks);
    }
    ~RecorderRig() {
        rec.reset();
        core.Stop();
    }
    std::string Input(const std::string& name) const { return (dir / name).string(); }
    void Feed(const std::string& name) { core.NullDevice()->settings.inputFile = Input(name); }
    // Serves the port, ticking the recorder as the main timer does, until pred holds.
    template <class P> bool Run(P pred) {
        return port.WaitServing(
            [&] {
                rec->Tick();
                return pred();
            },
            std::chrono::seconds(120));
    }
    // Records until the input has run out, then stops as the Stop button does.
    bool RecordToEnd() {
        rec->RecordButton();
        if (!Run([&] { return core.AudioThread()->InputEnded() || !rec->TakeOpen(); })) return false;
        rec->StopButton();
        return true;
    }
    size_t VDiskFiles() const {
        size_t n = 0;
        for (const auto& e : fs::directory_iterator(dir / "disk" / "VDisk"))
            if (e.is_regular_file() && e.path().filename().string()[0] != '_') ++n; // not the peak files
        return n;
    }
};

} // namespace

// Every depth in every storage mode: the take holds the input frame for frame (lossless modes
// exactly, Ogg Vorbis within the codec's error), its sample and root region describe it, and
// the peak file is written from the recorded blocks.
TEST(Recorder, TakesAreTheInputFrameForFrameAtEveryDepthAndStorageMode) {
    const int64_t frames = 300001; // past one 250,000-frame chunk, not a whole block
    for (int mode : {kFormatWav, kFormatKX64, kFormatVorbis}) {
        for (int32_t bits : {16, 24, 32}) {
            if (mode == kFormatVorbis && bits != 16) continue;
            SCOPED_TRACE(testing::Message() << "mode " << mode << " bits " << bits);
            RecorderRig rig;
            ASSERT_TRUE(WriteInput(rig.dir.Str(), "in.wav", frames));
            rig.Feed("in.wav");
            rig.core.SetStorageMode(mode, 400);
            rig.rec->Settings().bits = bits;
            ASSERT_TRUE(rig.RecordToEnd());
            ASSERT_EQ(rig.finished.size(), 1u);
            const CRegion& region = *rig.finished[0];
            EXPECT_TRUE(region.IsRoot());
            EXPECT_EQ(region.GetStart(), 0);
            EXPECT_EQ(region.GetEnd(), frames);
            const CSample& s = *region.GetSample();
            EXPECT_EQ(s.GetFrameCount(), frames);
            EXPECT_EQ(s.GetBits(), bits);
            EXPECT_EQ(s.GetFormatCode(), mode);
            EXPECT_EQ(s.GetStored(), 1);
            EXPECT_EQ(s.GetSampleRate(), 44100);
            // Unique ID naming: the region is named as the file, twelve digits.
            EXPECT_EQ(region.GetName(), s.GetFileName());
            EXPECT_EQ(region.GetName().size(), 12u);
            std::string peakName;
            ASSERT_TRUE(s.PeakFileName(peakName));
            std::vector<uint16_t> pairs;
            ASSERT_TRUE(ReadPeakPairs(s.PeakFileFolder(), peakName, pairs));
            EXPECT_EQ(static_cast<int64_t>(pairs.size() / 2), frames / 256); // whole entries

            std::string error;
            std::unique_ptr<AudioFile> f = MakeAudioFile(mode, s.FolderPath(), s.GetFileName(), error);
            ASSERT_TRUE(f && f->OpenRead()) << error;
            ASSERT_EQ(f->frames, frames);
            if (mode == kFormatVorbis) {
                std::vector<float> got(2 * static_cast<size_t>(frames));
                ASSERT_EQ(f->ReadFloat(got.data(), static_cast<int32_t>(frames)), frames);
                double err = 0, sig = 0;
                for (int64_t i = 0; i < frames; ++i) {
                    err += std::pow(got[2 * i] - InLeft(i), 2) + std::pow(got[2 * i + 1] - InRight(i), 2);
                    sig += std::pow(InLeft(i), 2) + std::pow(InRight(i), 2);
                }
                EXPECT_LT(10 * std::log10(err / sig), -20.0); // noise well below the signal
            } else {
                std::vector<int32_t> got(2 * static_cast<size_t>(frames));
                ASSERT_EQ(f->ReadInt(got.data(), static_cast<int32_t>(frames)), frames);
                for (int64_t i = 0; i < frames; ++i) {
                    ASSERT_EQ(got[2 * i], Stored(InLeft(i), bits)) << i;
                    ASSERT_EQ(got[2 * i + 1], Stored(InRight(i), bits)) << i;
                }
            }
            EXPECT_TRUE(rig.ui.messages.empty()) << rig.ui.messages[0].text;
        }
    }
}

// Auto-start at −40 dB: nothing while the input peaks at 0.01 or below, everything from the
// first block that peaks above it, the silence after it included.
TEST(Recorder, AutoStartKeepsEverythingFromTheFirstLoudBlock) {
    RecorderRig rig;
    const int64_t loudFrom = 10 * 4096 + 100, loudTo = 14 * 4096, frames = 20 * 4096;
    ASSERT_TRUE(WriteInput(rig.dir.Str(), "in.wav", frames, [&](int64_t i) {
        if (i >= loudFrom && i < loudTo) return 1.0f;
        return 0.0095f / 0.5f; // peaks just under 0.01
    }));
    rig.Feed("in.wav");
    rig.rec->Settings().autoStart = true;
    rig.rec->Settings().autoStartDb = -40;
    ASSERT_TRUE(rig.RecordToEnd());
    ASSERT_EQ(rig.finished.size(), 1u);
    // From the start of block 10 (the one that holds the first loud frame) to the input's end.
    EXPECT_EQ(rig.finished[0]->GetEnd(), frames - 10 * 4096);
}

// Auto-stop after 00m 10s at 44,100 Hz ends the take at 441,000 frames exactly, and the
// frame limit of the depth is what the counter shows otherwise.
TEST(Recorder, AutoStopAfterAndTheFrameLimitEndTheTakeOnTheExactFrame) {
    RecorderRig rig;
    ASSERT_TRUE(WriteInput(rig.dir.Str(), "in.wav", 600000));
    rig.Feed("in.wav");
    int32_t seconds = 0;
    ASSERT_TRUE(ParseRecordTime("00m 10s", seconds));
    EXPECT_EQ(seconds, 10);
    rig.rec->Settings().autoStopAfter = true;
    rig.rec->Settings().autoStopAfterSeconds = seconds;
    rig.rec->RecordButton();
    EXPECT_EQ(rig.rec->FrameLimit(), 441000);
    ASSERT_TRUE(rig.Run([&] { return !rig.rec->TakeOpen(); }));
    EXPECT_TRUE(rig.core.Transport()->IsStopped());
    ASSERT_EQ(rig.finished.size(), 1u);
    EXPECT_EQ(rig.finished[0]->GetEnd(), 441000);

    EXPECT_EQ(DepthFrameLimit(16), 400000000);
    EXPECT_EQ(DepthFrameLimit(24), 285714285);
    EXPECT_EQ(DepthFrameLimit(32), 222222222);
    rig.rec->Settings().autoStopAfter = false;
    rig.rec->Settings().bits = 24;
    rig.rec->MonitorButton();
    // The last take's figures are gone at once, before the new run has begun: the main timer
    // would otherwise stop the new take on the old count.
    EXPECT_EQ(rig.rec->FramesRecorded(), 0);
    EXPECT_EQ(rig.rec->FrameLimit(), 285714285);
    rig.rec->StopButton();
}

// Auto-stop below −50 dB for 00m 03s: the take ends three seconds after the last block that
// reached the level; a louder block in the quiet restarts the wait. With auto-restart the next
// take starts at once, and auto-delete throws away the short one at the end.
TEST(Recorder, AutoStopBelowWaitsForSilenceAndAutoRestartAndAutoDeleteFollow) {
    RecorderRig rig;
    const int64_t B = 4096;
    // Loud for 20 blocks; quiet 20 blocks, one loud block (40), quiet 40 blocks; loud 30 blocks;
    // then quiet to the end.
    auto level = [&](int64_t i) {
        const int64_t b = i / B;
        if (b < 20 || b == 40 || (b >= 81 && b < 111)) return 1.0f;
        return 0.002f; // peaks at 0.001: −60 dB
    };
    const int64_t frames = 200 * B;
    ASSERT_TRUE(WriteInput(rig.dir.Str(), "in.wav", frames, level));
    rig.Feed("in.wav");
    RecordSettings& s = rig.rec->Settings();
    s.autoStopBelow = true;
    s.autoStopBelowDb = -50;
    s.autoStopBelowSeconds = 3;
    s.autoRestart = true;
    s.autoDelete = true;
    s.autoDeleteSeconds = 5;
    s.baseIndexNaming = true;
    s.baseName = "Take";
    s.index = 999;
    rig.rec->RecordButton();
    ASSERT_TRUE(rig.Run([&] { return rig.rec->TakesFinished() >= 3; }));
    rig.rec->StopButton();
    const int64_t three = 3 * 44100;
    // Take 1: the loud start, the quiet gap with its loud block, then three seconds after
    // block 40.
    ASSERT_GE(rig.finished.size(), 1u);
    EXPECT_EQ(rig.finished[0]->GetEnd(), 41 * B + three);
    EXPECT_EQ(rig.finished[0]->GetName(), "Take_999");
    // Take 2 goes on with the input where the device is when it starts (whole blocks later):
    // quiet up to block 81, 30 loud blocks, then three seconds of quiet.
    ASSERT_GE(rig.finished.size(), 2u);
    const CRegion& second = *rig.finished[1];
    EXPECT_EQ(second.GetName(), "Take_000");
    const int64_t loudEnd = second.GetEnd() - three;
    EXPECT_EQ(loudEnd % B, 0);
    EXPECT_GE(loudEnd, 30 * B);
    {
        AudioFileWav f(second.GetSample()->FolderPath(), second.GetSample()->GetFileName());
        ASSERT_TRUE(f.OpenRead());
        std::vector<float> got(2 * static_cast<size_t>(f.frames));
        ASSERT_EQ(f.ReadFloat(got.data(), static_cast<int32_t>(f.frames)), f.frames);
        EXPECT_GT(std::fabs(got[2 * (loudEnd - 1)]) + std::fabs(got[2 * (loudEnd - 2)]), 0.01f); // loud
        float quiet = 0.0f;
        for (int64_t i = loudEnd; i < f.frames; ++i) quiet = std::max(quiet, std::fabs(got[2 * i]));
        EXPECT_LT(quiet, 0.002f);
    }
    EXPECT_EQ(s.index, 1);
    // Take 3: only quiet input, three seconds, then the auto-delete: no sample, no file.
    EXPECT_EQ(rig.finished.size(), 2u);
    EXPECT_TRUE(rig.rec->LastTake().deleted);
    EXPECT_EQ(rig.core.SampleList()->Count(), 2);
    EXPECT_EQ(rig.VDiskFiles(), 2u);
}

// The state table: Monitor/Pause then Record then Monitor/Pause then Record gives one file and
// one region; Stop while only monitoring creates nothing; Record while recording does nothing.
TEST(Recorder, PauseAndResumeGiveOneTakeAndStopWhileMonitoringCreatesNothing) {
    RecorderRig rig;
    ASSERT_TRUE(WriteInput(rig.dir.Str(), "in.wav", 2000000));
    rig.Feed("in.wav");
    CTransport& t = *rig.core.Transport();
    AudioIOThread& audio = *rig.core.AudioThread();

    // The last playback's statistics go with the start: the Post set is not measured while
    // recording and would otherwise stand on the meters for the whole take.
    std::vector<float> loud(2 * 4096, 0.9f);
    CBlockStats::Measure(loud.data(), 4096, audio.Stats().post);
    rig.rec->MonitorButton();
    EXPECT_EQ(audio.Stats().post.Get(StatPeakLeft), 0.0f);
    EXPECT_EQ(audio.Stats().post.Get(StatPowerRight), 0.0f);
    EXPECT_TRUE(t.IsMonitoring());
    ASSERT_TRUE(rig.Run([&] { return audio.InputBlocksRead() > 6; }));
    rig.rec->MonitorButton(); // nothing in Monitoring
    EXPECT_TRUE(t.IsMonitoring());
    rig.rec->StopButton();
    EXPECT_TRUE(t.IsStopped());
    EXPECT_TRUE(rig.finished.empty());
    EXPECT_EQ(rig.core.SampleList()->Count(), 0);
    EXPECT_EQ(rig.VDiskFiles(), 0u);

    rig.rec->MonitorButton();
    const std::string path = rig.rec->TakePath();
    int64_t mark = audio.InputBlocksRead();
    ASSERT_TRUE(rig.Run([&] { return audio.InputBlocksRead() > mark + 4; }));
    rig.rec->RecordButton();
    EXPECT_TRUE(t.IsRecording());
    ASSERT_TRUE(rig.Run([&] { return rig.rec->FramesRecorded() >= 8 * 4096; }));
    rig.rec->RecordButton(); // nothing while recording
    rig.rec->MonitorButton();
    EXPECT_TRUE(t.IsMonitoring());
    mark = audio.InputBlocksRead();
    ASSERT_TRUE(rig.Run([&] { return audio.InputBlocksRead() > mark + 4; }));
    const int64_t paused = rig.rec->FramesRecorded();
    rig.rec->RecordButton();
    ASSERT_TRUE(rig.Run([&] { return rig.rec->FramesRecorded() >= paused + 8 * 4096; }));
    EXPECT_EQ(rig.rec->TakePath(), path);
    // Stopped from elsewhere (a device that failed): until the take is a sample, the Found scan
    // would claim its file; it waits.
    rig.core.Transport()->Stop();
    CImporter importer(*rig.core.SampleList(), *rig.core.RegionList(), *rig.core.Library().vdisk, rig.peaks, &rig.ui);
    EXPECT_FALSE(RunFoundScan(rig.core, importer).ran);
    rig.rec->AfterStop();
    const FoundScanResult after = RunFoundScan(rig.core, importer);
    EXPECT_TRUE(after.ran);
    EXPECT_EQ(after.recovered, 0); // the take is the library's already
    ASSERT_EQ(rig.finished.size(), 1u);
    EXPECT_EQ(rig.core.SampleList()->Count(), 1);
    EXPECT_EQ(rig.VDiskFiles(), 1u);
    EXPECT_EQ(
        (fs::path(rig.finished[0]->GetSample()->FolderPath()) / rig.finished[0]->GetSample()->GetFileName()).string(),
        path);
    EXPECT_GE(rig.finished[0]->GetEnd(), paused + 8 * 4096);
}

// A device that cannot open at the chosen depth resets both lists to their first entries and
// says so; a take whose device stops mid-way keeps every frame it recorded.
TEST(Recorder, AFailedOpenResetsTheListsAndADeviceThatStopsKeepsTheTake) {
    RecorderRig rig;
    ASSERT_TRUE(WriteInput(rig.dir.Str(), "in.wav", 400000));
    rig.Feed("in.wav");
    bool told = false;
    CRecorder::Hooks hooks;
    hooks.finished = [&](CRegion& r) { rig.finished.push_back(&r); };
    hooks.settingsChanged = [&] { told = true; };
    rig.rec->SetHooks(hooks);
    rig.core.NullDevice()->settings.maxInputBits = 16;
    rig.rec->Settings().rate = 500; // no device opens below 1,000 Hz
    rig.rec->Settings().bits = 24;
    rig.rec->RecordButton();
    ASSERT_TRUE(rig.Run([&] { return rig.core.Transport()->IsStopped() && !rig.rec->TakeOpen(); }));
    EXPECT_TRUE(told);
    EXPECT_EQ(rig.rec->Settings().rate, 32000);
    EXPECT_EQ(rig.rec->Settings().bits, 16);
    ASSERT_FALSE(rig.ui.messages.empty());
    EXPECT_EQ(rig.ui.messages.back().text, "Failed to open audio input device at current rate/depth.");
    EXPECT_TRUE(rig.finished.empty());

    // 32 bits on a 16-bit card falls back and records; the card then stops delivering.
    rig.ui.messages.clear();
    rig.rec->Settings().rate = 44100;
    rig.rec->Settings().bits = 32;
    rig.core.AudioThread()->SetDeviceTimeLimit(std::chrono::milliseconds(200));
    rig.core.NullDevice()->settings.stallAfterBytes = 4 * 50 * 4096;
    rig.rec->RecordButton();
    ASSERT_TRUE(rig.Run([&] { return !rig.rec->TakeOpen(); }));
    EXPECT_EQ(rig.core.AudioThread()->InputBits(), 16);
    ASSERT_EQ(rig.finished.size(), 1u);
    EXPECT_GT(rig.finished[0]->GetEnd(), 40 * 4096);
    ASSERT_FALSE(rig.ui.messages.empty());
    EXPECT_EQ(rig.ui.messages.back().text, AudioIOThread::kInputStalled);
}

// A disk that fills mid-way (a file size limit makes every write past it fail, as a full disk
// does): the take stops, its file ends with the last whole frame (block, page) that reached it
// and becomes a sample whose frames are the input's, and the person is told. Before, the
// swapper deleted the whole file.
TEST(Recorder, ADiskThatFillsStopsTheTakeAndKeepsEveryFrameWritten) {
    const int64_t frames = 1500000;
    for (int mode : {kFormatWav, kFormatKX64, kFormatVorbis}) {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        RecorderRig rig;
        ASSERT_TRUE(WriteInput(rig.dir.Str(), "in.wav", frames));
        rig.Feed("in.wav");
        rig.core.SetStorageMode(mode, 400);
        // The take is far shorter than the auto-delete time, but it ended on the failure, not as
        // a false start.
        rig.rec->Settings().autoDelete = true;
        rig.rec->Settings().autoDeleteSeconds = 60;
        // 300,000 16-bit frames and three bytes of the next: the second chunk's write is cut
        // inside a frame.
        const rlim_t limit = 44 + 4 * 300000 + 3;
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit low = old;
        low.rlim_cur = limit;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &low), 0);
        const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rig.rec->RecordButton();
        const bool ended = rig.Run([&] { return !rig.rec->TakeOpen() || rig.core.AudioThread()->InputEnded(); });
        rig.rec->StopButton();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
        ASSERT_TRUE(ended);

        ASSERT_EQ(rig.finished.size(), 1u);
        const CSample& s = *rig.finished[0]->GetSample();
        const int64_t kept = s.GetFrameCount();
        EXPECT_EQ(rig.finished[0]->GetEnd(), kept);
        const fs::path file = fs::path(s.FolderPath()) / s.GetFileName();
        const int64_t size = static_cast<int64_t>(fs::file_size(file));
        EXPECT_LE(size, static_cast<int64_t>(limit));
        std::string error;
        std::unique_ptr<AudioFile> f = MakeAudioFile(mode, s.FolderPath(), s.GetFileName(), error);
        ASSERT_TRUE(f && f->OpenRead()) << error;
        ASSERT_EQ(f->frames, kept);
        if (mode == kFormatWav) {
            // Every whole frame up to the limit, and the header says exactly that.
            EXPECT_EQ(kept, 300000);
            EXPECT_EQ(size, 44 + 4 * 300000);
        } else if (mode == kFormatKX64) {
            // Whole 1,024-frame blocks, the last one ending within a block's bytes of the limit.
            EXPECT_EQ(kept % 1024, 0);
            EXPECT_GT(size, static_cast<int64_t>(limit) - 5000);
        } else {
            EXPECT_GT(kept, 250000); // whole pages of the chunks before the failing one
        }
        if (mode == kFormatVorbis) {
            std::vector<float> got(2 * static_cast<size_t>(kept));
            EXPECT_EQ(f->ReadFloat(got.data(), static_cast<int32_t>(kept)), kept);
        } else {
            std::vector<int32_t> got(2 * static_cast<size_t>(kept));
            ASSERT_EQ(f->ReadInt(got.data(), static_cast<int32_t>(kept)), kept);
            for (int64_t i = 0; i < kept; ++i) {
                ASSERT_EQ(got[2 * i], Stored(InLeft(i), 16)) << i;
                ASSERT_EQ(got[2 * i + 1], Stored(InRight(i), 16)) << i;
            }
        }
        ASSERT_EQ(rig.ui.messages.size(), 1u);
        EXPECT_EQ(rig.ui.messages[0].text, "Recording was stopped: Can't write file (disk full?). The " +
                                               std::to_string(kept) + " frames written before it are kept.");
    }
}

TEST(RecorderFields, TimeAndLevelFieldsReadAsTheMasksShowThem) {
    int32_t v = 0;
    EXPECT_TRUE(ParseRecordTime("01m 30s", v));
    EXPECT_EQ(v, 90);
    EXPECT_TRUE(ParseRecordTime("99m 59s", v));
    EXPECT_EQ(v, 99 * 60 + 59);
    EXPECT_FALSE(ParseRecordTime("1:30", v));
    EXPECT_EQ(FormatRecordTime(5), "00m 05s");
    EXPECT_TRUE(ParseRecordLevel("-40dB", v));
    EXPECT_EQ(v, -40);
    EXPECT_TRUE(ParseRecordLevel("-5", v));
    EXPECT_EQ(v, -5);
    EXPECT_FALSE(ParseRecordLevel("dB", v));
    EXPECT_FLOAT_EQ(LevelThreshold(-40), 0.01f);
}
