// The core: the objects of start-up and the whole chain, the library opened and saved only after
// a complete start-up, the hand-over port, and the failures that end a start-up.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <thread>

#include "common/MainThreadPort.h"
#include "common/ProcessorKind.h"
#include "core/CCore.h"
#include "dsp/CDSPEngine.h"
#include "dsp/CDSPStack.h"
#include "dsp/CTubeAmp.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

TEST(CoreTest, StartsTheWholeChainWithoutALibraryAndEndsIt) {
    ScriptedUiPort ui;
    MainThreadPort port;
    std::ostringstream trace;
    {
        CCore core(ui, port);
        CoreOptions options;
        options.withLibrary = false;
        options.trace = &trace;
        ASSERT_EQ(core.Start(options), CCore::StartResult::Running);
        ASSERT_NE(core.Stack(), nullptr);
        // All four kinds are wired into the one stack.
        EXPECT_EQ(core.Stack()->Equaliser(), core.Processor(KindEQ));
        EXPECT_EQ(core.Stack()->Compressor(), core.Processor(KindCompressor));
        EXPECT_EQ(core.Stack()->StereoImager(), core.Processor(KindStereoImager));
        EXPECT_EQ(static_cast<CProcessor*>(&core.Stack()->ValveAmp()), core.Processor(KindValveAmp));
        EXPECT_EQ(core.Processor(4), nullptr);
        EXPECT_EQ(core.Database(), nullptr);
        EXPECT_TRUE(core.DSPEngine().Loaded());
        std::string error;
        EXPECT_TRUE(core.SetParameter(KindEQ, 15, -6.0f, error));
        EXPECT_FALSE(core.SetParameter(KindEQ, 49, 1.0f, error));
        EXPECT_EQ(error, "kind 1 has no parameter 49");
        EXPECT_FALSE(core.SetParameter(7, 0, 1.0f, error));
        EXPECT_EQ(error, "processor kind 7 is not available");
        EXPECT_EQ(core.StorageMode(), 0);
        EXPECT_EQ(core.LossyBitRate(), 400);
        EXPECT_TRUE(core.Stop());
        EXPECT_EQ(core.Stack(), nullptr);
        EXPECT_FALSE(core.DSPEngine().Loaded());
        EXPECT_TRUE(core.Stop()); // a second stop does nothing
    }
    EXPECT_EQ(trace.str(), "Starting DSP engine\nCreating main objects\nStarting CD service\nStarting audio thread\n"
                           "Starting disk I/O thread\nRefreshing CD drives\n");
    EXPECT_TRUE(ui.messages.empty());
}

TEST(CoreTest, SavesTheLibraryOnlyAfterACompleteStartup) {
    TempDir dir;
    const fs::path db = dir / "AudioDB" / "audiodb.adb";
    {
        // The first start asks for the VDisk; a start that is never marked complete saves nothing.
        ScriptedUiPort ui;
        fs::create_directories(dir / "first");
        ui.folderAnswers = {(dir / "first").string()};
        MainThreadPort port;
        CCore core(ui, port);
        CoreOptions options;
        options.baseFolder = dir.Path();
        ASSERT_EQ(core.Start(options), CCore::StartResult::Running);
        ASSERT_NE(core.Database(), nullptr);
        EXPECT_TRUE(fs::is_directory(dir / "first" / "VDisk"));
        core.Stop();
        EXPECT_FALSE(fs::exists(db));
    }
    {
        ScriptedUiPort ui;
        fs::create_directories(dir / "second");
        ui.folderAnswers = {(dir / "second").string()};
        MainThreadPort port;
        CCore core(ui, port);
        CoreOptions options;
        options.baseFolder = dir.Path();
        ASSERT_EQ(core.Start(options), CCore::StartResult::Running);
        core.RegionList()->Insert(new CRegion("Mixes", 0, 1, nullptr, RegionFolder, -1, FolderId::User));
        core.MarkStartupComplete();
        bool copied = false;
        EXPECT_TRUE(core.Stop([&] { copied = true; }));
        EXPECT_TRUE(copied);
        EXPECT_TRUE(fs::exists(db));
    }
    {
        // The next start finds the folder it saved, without a question.
        ScriptedUiPort ui;
        MainThreadPort port;
        CCore core(ui, port);
        CoreOptions options;
        options.baseFolder = dir.Path();
        ASSERT_EQ(core.Start(options), CCore::StartResult::Running);
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_TRUE(ui.folderTitles.empty());
        int folders = 0;
        core.RegionList()->ForEach([&](CRegion* r) { folders += r->IsFolder() && r->GetName() == "Mixes"; });
        EXPECT_EQ(folders, 1);
    }
}

TEST(CoreTest, AStartupThatEndsEarlyMakesNothingMoreAndWritesNothing) {
    TempDir dir;
    {
        // Refused between the module and the objects (the window's screen check).
        ScriptedUiPort ui;
        MainThreadPort port;
        CCore core(ui, port);
        CoreOptions options;
        options.baseFolder = dir.Path();
        options.beforeObjects = [] { return false; };
        EXPECT_EQ(core.Start(options), CCore::StartResult::Refused);
        EXPECT_EQ(core.Stack(), nullptr);
        EXPECT_EQ(core.Database(), nullptr);
        core.MarkStartupComplete(); // even so: nothing was loaded, so nothing is saved
        EXPECT_TRUE(core.Stop());
        EXPECT_FALSE(core.DSPEngine().Loaded());
    }
    {
        // The user gives up the VDisk question.
        ScriptedUiPort ui;
        MainThreadPort port;
        CCore core(ui, port);
        CoreOptions options;
        options.baseFolder = dir.Path();
        EXPECT_EQ(core.Start(options), CCore::StartResult::LibraryFailed);
        core.Stop();
        EXPECT_FALSE(fs::exists(dir / "AudioDB" / "audiodb.adb"));
    }
}

TEST(MainThreadPortTest, AnEngineThreadWaitsForTheMainThreadAndIsReleasedAtClose) {
    MainThreadPort port;
    // A call from the main thread itself runs at once.
    int here = 0;
    EXPECT_TRUE(port.Call([&] { ++here; }));
    EXPECT_EQ(here, 1);

    std::atomic<int> ranOn{0};
    std::atomic<bool> returned{false};
    const std::thread::id main = std::this_thread::get_id();
    std::thread engine([&] {
        const bool ok = port.Call([&] { ranOn = std::this_thread::get_id() == main ? 1 : 2; });
        returned = ok;
    });
    EXPECT_TRUE(port.WaitServing([&] { return returned.load(); }, std::chrono::seconds(10)));
    engine.join();
    EXPECT_EQ(ranOn.load(), 1);

    // Posted work runs at the next serve, in order.
    std::vector<int> order;
    std::thread poster([&] {
        port.Post([&] { order.push_back(1); });
        port.Post([&] { order.push_back(2); });
    });
    poster.join();
    EXPECT_EQ(port.Serve(), 2);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));

    // A caller whose work has not run is let go when the port closes; the work never runs.
    // (Closed before or after the call was queued, the answer is the same.)
    std::atomic<bool> ran{false};
    std::atomic<int> result{-1};
    std::thread late([&] { result = port.Call([&] { ran = true; }) ? 1 : 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    port.Close();
    late.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(ran.load());
    EXPECT_EQ(port.Serve(), 0);
    // The main thread's own calls still run.
    EXPECT_TRUE(port.Call([&] { ++here; }));
    EXPECT_EQ(here, 2);
}
