// The engine inside the core: the swapper and both threads start after the library, a playback
// through the null device runs on the core's objects, the snapshot follows it, and the
// shutdown stops the transport before the threads end and keeps the device choice. Every file
// format the program reads plays through the core's play list.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "audiofile/AudioFileFactory.h"
#include "common/MainThreadPort.h"
#include "core/CCore.h"
#include "engine/AudioIOThread.h"
#include "engine/CPlayList.h"
#include "engine/CTransport.h"
#include "engine/DevicePcm.h"
#include "engine/NullDevice.h"
#include "library/CRegion.h"
#include "library/CSample.h"
#include "support/Files.h"
#include "support/AudioFiles.h"
#include "support/OracleTool.h"
#include "support/Signals.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"

TEST(CoreEngine, ThreadsStartAfterTheLibraryAndAPlaybackRunsOnTheCoresObjects) {
    ScriptedUiPort ui;
    MainThreadPort port;
    TempDir dir;
    std::ostringstream trace;
    CCore core(ui, port);
    CoreOptions options;
    options.withLibrary = false;
    options.withSoundCards = false;
    options.trace = &trace;
    ASSERT_EQ(core.Start(options), CCore::StartResult::Running);
    EXPECT_NE(trace.str().find("Creating main objects\nStarting CD service\nStarting audio thread\n"
                               "Starting disk I/O thread\n"),
              std::string::npos)
        << trace.str();
    ASSERT_NE(core.Transport(), nullptr);
    ASSERT_NE(core.AudioThread(), nullptr);
    ASSERT_NE(core.DiskThread(), nullptr);
    EXPECT_TRUE(core.Transport()->IsStopped());
    EXPECT_TRUE(core.Transport()->LoopSetting()); // on at start-up

    // A play list entry whose file is missing plays silence; the null device takes it.
    PlayItem item;
    item.folder = dir.Str();
    item.fileName = "none.wav";
    item.length = 44100;
    item.sampleFrames = 44100;
    ASSERT_TRUE(core.PlayList()->AddItem(item));
    core.NullDevice()->settings.realTime = false;
    core.AudioThread()->SetPlaybackDevice(-1);
    core.Transport()->SetPlayRange(0, 44100, 44100);
    core.Transport()->SetLoop(false);
    core.Transport()->Play(kOriginWaveViewer);
    ASSERT_TRUE(port.WaitServing([&] { return core.Transport()->IsStopped(); }, std::chrono::seconds(30)));
    const EngineSnapshot s = core.Snapshot();
    EXPECT_EQ(s.transportState, kTransportStopped);
    EXPECT_EQ(s.playCursor, 11 * 4096 % 44100);
    EXPECT_TRUE(s.positionMoved);
    EXPECT_FALSE(core.Snapshot().positionMoved);
    EXPECT_TRUE(ui.messages.empty());

    // Shutdown while a looping playback runs: stopped first, the device choice kept.
    core.Transport()->SetLoop(true);
    core.Transport()->Play(kOriginWaveViewer);
    core.AudioThread()->SetRecordDevice(-1);
    ASSERT_TRUE(core.Stop());
    EXPECT_EQ(core.Transport(), nullptr);
    EXPECT_EQ(core.AudioThread(), nullptr);
}

// Every format the factory reads plays: a region of an MP3, an Ogg Vorbis and a FLAC sample
// reaches the null device frame for frame as the format's reader decodes it (Bypass All, so
// the device receives the fetched frames themselves), followed by silence.
TEST(CoreEngine, CompressedSamplesPlayThroughTheirReadersFrameForFrame) {
    TempDir dir;
    const int64_t frames = 60000;
    const std::vector<int32_t> pcm = MakeSignal(frames, 2, 16, 11);
    std::vector<float> material(pcm.size());
    for (size_t i = 0; i < pcm.size(); ++i) material[i] = FloatFor16(static_cast<int16_t>(pcm[i]));
    ASSERT_TRUE(MakeWavFile(dir.Str(), "src.wav", material, 44100));
    const std::string src = (dir / "src.wav").string();

    ScriptedUiPort ui;
    MainThreadPort port;
    CCore core(ui, port);
    CoreOptions options;
    options.withLibrary = false;
    options.withSoundCards = false;
    ASSERT_EQ(core.Start(options), CCore::StartResult::Running);
    std::string error;
    ASSERT_TRUE(core.SetParameter(0, 0, 0.0f, error)); // Bypass All
    core.NullDevice()->settings.realTime = false;
    core.AudioThread()->SetPlaybackDevice(core.Devices()->NullOutputIndex() - 1);
    core.Transport()->SetLoopSetting(false);

    struct Case {
        const char* tool;
        std::string command, name;
        int32_t code;
    };
    const std::vector<Case> cases = {
        {"lame", "lame --quiet '" + src + "' '" + (dir / "a.mp3").string() + "'", "a.mp3", kFormatMp3},
        {"oggenc", "oggenc -Q -o '" + (dir / "a.ogg").string() + "' '" + src + "'", "a.ogg", kFormatVorbis},
        {"flac", "flac -s -f -o '" + (dir / "a.flac").string() + "' '" + src + "'", "a.flac", kFormatFlac},
    };
    const int64_t regionStart = 5000, length = 30000;
    for (const Case& c : cases) {
        if (!HaveOracleTool(c.tool)) continue;
        ASSERT_EQ(RunCommand(c.command), 0) << c.command;
        // The reference: the format's own reader, positioned as the disk thread positions it.
        std::unique_ptr<AudioFile> reader = MakeAudioFile(c.code, dir.Str(), c.name, error);
        ASSERT_TRUE(reader && reader->OpenRead()) << c.name;
        const int64_t known = reader->frames;
        reader->SetLength(known);
        reader->SeekFrame(regionStart);
        std::vector<float> want(2 * static_cast<size_t>(length));
        ASSERT_EQ(reader->ReadFloat(want.data(), static_cast<int32_t>(length)), length) << c.name;
        reader->Close();

        CSample sample(c.name, dir.Str(), 0, 0, 44100, 2, 16, known, c.code, 0, 0);
        CRegion region(c.name, regionStart, regionStart + length, &sample, 0u, 0, 0);
        const std::string cap = (dir / (c.name + ".cap.wav")).string();
        core.NullDevice()->settings.captureFile = cap;
        ASSERT_TRUE(core.Transport()->PlayRequest(region, 0, 0, kOriginWaveViewer)) << c.name;
        ASSERT_TRUE(port.WaitServing([&] { return core.Transport()->IsStopped(); }, std::chrono::seconds(60)));
        core.PlayList()->Clear();

        const std::vector<uint8_t> got = LoadBytes(cap);
        const int64_t blocks = length / 4096 + 1;
        ASSERT_EQ(got.size(), 44 + static_cast<size_t>(blocks) * 4096 * 4) << c.name;
        std::vector<uint8_t> bytes(static_cast<size_t>(length) * 4);
        EncodeDevicePcm(want.data(), static_cast<int32_t>(length), 16, 2, bytes.data());
        for (size_t i = 0; i < bytes.size(); ++i) ASSERT_EQ(got[44 + i], bytes[i]) << c.name << " byte " << i;
        for (size_t i = 44 + bytes.size(); i < got.size(); ++i) ASSERT_EQ(got[i], 0) << c.name << " byte " << i;
    }
    EXPECT_TRUE(ui.messages.empty());
}
