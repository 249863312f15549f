// The engine inside the core: the swapper and both threads start after the library, a playback
// through the null device runs on the core's objects, the snapshot follows it, and the
// shutdown stops the transport before the threads end and keeps the device choice.
#include <gtest/gtest.h>

#include <sstream>

#include "common/MainThreadPort.h"
#include "core/CCore.h"
#include "engine/AudioIOThread.h"
#include "engine/CPlayList.h"
#include "engine/CTransport.h"
#include "engine/NullDevice.h"
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
    EXPECT_NE(trace.str().find("Creating main objects\nStarting audio thread\nStarting disk I/O thread\n"),
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
