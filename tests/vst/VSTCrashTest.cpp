// A plug-in that brings the process down cannot be caught inside it. What must hold is that the
// library survives: the database on disk is the one last saved, and the library's lock (flock)
// is free again for the next start.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>

#include "VSTTestSupport.h"
#include "common/FormatCode.h"
#include "common/MainThreadPort.h"
#include "core/CCore.h"
#include "engine/AudioIOThread.h"
#include "engine/CPlayList.h"
#include "engine/CTransport.h"
#include "engine/NullDevice.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CVSTFolders.h"
#include "support/AudioFiles.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"
#include "vst/CVSTEffectList.h"

namespace fs = std::filesystem;

namespace {

// Plays the file through a library's core with the crashing plug-in at the head of the chain;
// returns only when the plug-in failed to crash.
void PlayIntoTheCrash(const TempDir& dir) {
    ScriptedUiPort ui;
    MainThreadPort port;
    CCore core(ui, port);
    CoreOptions options;
    options.baseFolder = dir.Path();
    options.withSoundCards = false;
    if (core.Start(options) != CCore::StartResult::Running) return;
    core.MarkStartupComplete();
    int result = 0;
    if (!core.VSTChain()->AddEffect("tp-crash.so", result)) return; // from the library's folders
    core.NullDevice()->settings.realTime = false;
    core.AudioThread()->SetPlaybackDevice(-1);
    PlayItem item;
    item.folder = dir.Str();
    item.fileName = "tone.wav";
    item.formatCode = kFormatWav;
    item.sampleFrames = 44100;
    item.length = 44099;
    core.PlayList()->AddItem(item);
    core.Transport()->SetPlayRange(0, 44100, 44100);
    core.Transport()->SetLoop(false);
    core.Transport()->Play(kOriginWaveViewer);
    port.WaitServing([&] { return core.Transport()->IsStopped(); }, std::chrono::seconds(60));
}

} // namespace

TEST(VSTCrash, APlugInThatKillsThePlayLeavesTheLibraryLoadableAndUnlocked) {
    TempDir dir;
    std::vector<float> tone(44100 * 2);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = 0.2f * std::sin(0.05f * static_cast<float>(i / 2));
    ASSERT_TRUE(MakeWavFile(dir.Str(), "tone.wav", tone, 44100));
    {
        // A library with a folder and the test plug-ins' folder, saved.
        ScriptedUiPort ui;
        fs::create_directories(dir / "disk");
        ui.folderAnswers = {(dir / "disk").string()};
        MainThreadPort port;
        CCore core(ui, port);
        CoreOptions options;
        options.baseFolder = dir.Path();
        options.withSoundCards = false;
        ASSERT_EQ(core.Start(options), CCore::StartResult::Running);
        core.RegionList()->Insert(new CRegion("Mixes", 0, 1, nullptr, RegionFolder, -1, FolderId::User));
        core.VSTFolders()->Add(kPluginDir);
        core.MarkStartupComplete();
        ASSERT_TRUE(core.Stop());
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        PlayIntoTheCrash(dir);
        _exit(3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    // Down by the signal (or by a sanitizer's report of it), never the normal way out.
    EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) != 3 && WEXITSTATUS(status) != 0))
        << status;

    ScriptedUiPort ui;
    MainThreadPort port;
    CCore core(ui, port);
    CoreOptions options;
    options.baseFolder = dir.Path();
    options.withSoundCards = false;
    ASSERT_EQ(core.Start(options), CCore::StartResult::Running);
    EXPECT_TRUE(ui.folderTitles.empty()); // no first-start question: the library was found
    int folders = 0;
    core.RegionList()->ForEach([&](CRegion* r) { folders += r->IsFolder() && r->GetName() == "Mixes"; });
    EXPECT_EQ(folders, 1);
    ASSERT_EQ(core.VSTFolders()->Count(), 1);
    EXPECT_EQ(core.VSTFolders()->Get(0), kPluginDir);
    core.Stop();
}
