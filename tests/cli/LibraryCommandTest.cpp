// sonquil-cli on a library: --library, the single-instance lock, and the list command.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "common/FormatCode.h"
#include "common/MainThreadPort.h"
#include "common/SingleInstance.h"
#include "core/CCore.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "support/Files.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"

namespace {

// Runs the tool with its own session folder, so that the test's lock is the one it sees.
int Tool(const TempDir& dir, const std::string& args, std::string& out, std::string& err) {
    const std::string o = (dir / "out.txt").string(), e = (dir / "err.txt").string();
    const int status = RunCommand("XDG_RUNTIME_DIR='" + dir.Str() + "' " + SONQUIL_CLI + " " + args + " >'" + o +
                                  "' 2>'" + e + "' </dev/null");
    out = LoadText(o);
    err = LoadText(e);
    return status;
}

// A library as the program leaves it: one user folder "Mixes" with a folder "Old" in it, and in
// "Old" the root region of a linked 48 kHz 24-bit mono file.
void MakeLibrary(const TempDir& dir) {
    ScriptedUiPort ui;
    std::filesystem::create_directories(dir / "store");
    ui.folderAnswers = {(dir / "store").string()};
    MainThreadPort port;
    CCore core(ui, port);
    CoreOptions options;
    options.baseFolder = dir.Path();
    ASSERT_EQ(core.Start(options), CCore::StartResult::Running);
    auto* mixes = new CRegion("Mixes", 0, 1, nullptr, RegionFolder, -1, FolderId::User);
    core.RegionList()->Insert(mixes);
    auto* old = new CRegion("Old", 0, 1, nullptr, RegionFolder, -1, mixes->GetId());
    core.RegionList()->Insert(old);
    auto* sample = new CSample("take.wav", dir.Str(), 0, 1, 48000, 1, 24, 96000, kFormatWav, 288000);
    core.SampleList()->Add(sample);
    core.RegionList()->Insert(new CRegion("take", 0, 96000, sample, RegionRoot, -1, old->GetId()));
    core.MarkStartupComplete();
    ASSERT_TRUE(core.Stop());
}

} // namespace

TEST(LibraryCommand, ListsTheLibraryUnderTheLockAndRefusesWithoutIt) {
    TempDir dir;
    MakeLibrary(dir);
    std::string out, err;
    ASSERT_EQ(Tool(dir, "--library '" + dir.Str() + "' list", out, err), 0) << err;
    // One line per region of audio: id, name, folder id, start, end, sample file, format code,
    // rate, bits, channels. The folders themselves get none.
    const size_t tab = out.find('\t');
    ASSERT_NE(tab, std::string::npos) << out;
    const int id = std::stoi(out.substr(0, tab));
    const std::string rest = out.substr(tab);
    ASSERT_EQ(rest.substr(0, 6), "\ttake\t") << out;
    const int folderId = std::stoi(rest.substr(6));
    EXPECT_GT(id, 0);
    EXPECT_EQ(rest.substr(6 + std::to_string(folderId).size()),
              "\t0\t96000\t" + dir.Str() + "/take.wav\t0\t48000\t24\t1\n")
        << out;
    EXPECT_EQ(out.find("Mixes"), std::string::npos) << out;
    ASSERT_EQ(Tool(dir, "--library '" + dir.Str() + "' list --folder 1", out, err), 0) << err;
    EXPECT_EQ(out, "") << "take lies in Old, not directly in Mixes";
    ASSERT_EQ(Tool(dir, "--library '" + dir.Str() + "' list --folder " + std::to_string(folderId), out, err), 0) << err;
    EXPECT_NE(out.find("\ttake\t"), std::string::npos) << out;

    // While the program runs (it holds the library's lock) the tool leaves the library alone.
    {
        SingleInstance program(SingleInstance::LibraryLockPath((dir / "AudioDB").string()));
        ASSERT_TRUE(program.Acquire());
        EXPECT_NE(Tool(dir, "--library '" + dir.Str() + "' list", out, err), 0);
        EXPECT_EQ(err, "sonquil-cli: the library is in use: Sonquil or another sonquil-cli is running\n");
    }

    // No library there: one line saying so, and nothing created.
    TempDir empty;
    EXPECT_NE(Tool(dir, "--library '" + empty.Str() + "' list", out, err), 0);
    EXPECT_NE(err.find("no library in"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(empty / "AudioDB"));
    EXPECT_NE(Tool(dir, "--library", out, err), 0);
    EXPECT_EQ(err, "sonquil-cli: option --library needs a folder\n");
    EXPECT_NE(Tool(dir, "--library '" + dir.Str() + "' list --folder x", out, err), 0);
}

// The lock belongs to the library, not to a session: the window started from the desktop and
// the tool started from cron, su or sudo (another runtime folder, or none) meet at the same
// lock, while a tool working on another library is not held up by the window.
TEST(LibraryCommand, TheLockIsTheLibrarysWhateverTheSession) {
    TempDir dir, other;
    MakeLibrary(dir);
    MakeLibrary(other);
    std::filesystem::create_directories(dir / "cron-run");
    auto toolIn = [&](const std::string& runtime, const TempDir& lib, std::string& out, std::string& err) {
        const std::string o = (dir / "out.txt").string(), e = (dir / "err.txt").string();
        const int status = RunCommand(
            (runtime.empty() ? std::string("env -u XDG_RUNTIME_DIR ") : "XDG_RUNTIME_DIR='" + runtime + "' ") +
            SONQUIL_CLI + " --library '" + lib.Str() + "' list >'" + o + "' 2>'" + e + "' </dev/null");
        out = LoadText(o);
        err = LoadText(e);
        return status;
    };
    std::string out, err;
    {
        // The window's core holds dir's library (this process, with its own runtime folder).
        ScriptedUiPort ui;
        MainThreadPort port;
        CCore window(ui, port);
        CoreOptions options;
        options.baseFolder = dir.Path();
        options.withSoundCards = false;
        ASSERT_EQ(window.Start(options), CCore::StartResult::Running);
        EXPECT_NE(toolIn((dir / "cron-run").string(), dir, out, err), 0);
        EXPECT_EQ(err, "sonquil-cli: the library is in use: Sonquil or another sonquil-cli is running\n");
        EXPECT_NE(toolIn("", dir, out, err), 0);
        EXPECT_EQ(err, "sonquil-cli: the library is in use: Sonquil or another sonquil-cli is running\n");
        // Another library is free.
        EXPECT_EQ(toolIn((dir / "cron-run").string(), other, out, err), 0) << err;
        EXPECT_NE(out.find("\ttake\t"), std::string::npos) << out;

        // A second core on the same library (a second window of another session) is refused
        // before it reads or writes anything.
        ScriptedUiPort ui2;
        MainThreadPort port2;
        CCore second(ui2, port2);
        EXPECT_EQ(second.Start(options), CCore::StartResult::LibraryInUse);
        second.MarkStartupComplete();
        EXPECT_TRUE(second.Stop());
        EXPECT_TRUE(ui2.messages.empty());
    }
    // Once the window has ended, the tool opens the library from any session.
    EXPECT_EQ(toolIn((dir / "cron-run").string(), dir, out, err), 0) << err;
    EXPECT_NE(out.find("\ttake\t"), std::string::npos) << out;
}
