#include <gtest/gtest.h>

#include "library/Startup.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"
#include "DatabaseTestSupport.h"

using namespace dbtest;

namespace {

const char* kCreateInfo =
    "Please select a file folder for the application to\nstore audio files.\n\nThe application will create a new "
    "folder named\nVDisk at the location you'll select.\n\nNever modify VDisk contents with other tools.";

// A database saved by an earlier run whose VDisk lies in <dir>/store.
void SaveEarlierRun(const fs::path& exe, const fs::path& store) {
    MakeVDisk(store, 424242);
    fs::create_directories(exe);
    TestLibrary t;
    FillRich(t);
    t.vdisk.Clear();
    t.vdisk.Add(424242, store.string());
    CDatabase db(exe);
    ScriptedUiPort ui;
    db.Exists(); // makes "AudioDB"
    ASSERT_TRUE(db.Save(t.Lib(), ui));
}

} // namespace

TEST(StartupTest, FirstStartCreatesTheVDiskOrEndsWithoutADatabase) {
    TempDir dir;
    fs::path exe = dir / "bin";
    fs::create_directories(exe);
    {
        // The user gives up: start-up ends, "AudioDB" exists but holds no database.
        TestLibrary t;
        CDatabase db(exe);
        ScriptedUiPort ui;
        EXPECT_FALSE(OpenLibraryAtStartup(db, ui, t.Lib()));
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, kCreateInfo);
        EXPECT_EQ(ui.messages[0].caption, "Sonquil");
        EXPECT_TRUE(fs::is_directory(exe / "AudioDB"));
        EXPECT_TRUE(fs::is_empty(exe / "AudioDB"));
        // A run that did not start completely saves nothing.
        EXPECT_TRUE(SaveLibraryAtShutdown(db, ui, t.Lib(), false));
        EXPECT_TRUE(fs::is_empty(exe / "AudioDB"));
    }
    {
        // A location already holding a "VDisk" is refused, the next one is taken.
        fs::create_directories(dir / "taken" / "VDisk");
        fs::create_directories(dir / "music");
        TestLibrary t;
        ResetCounters();
        CDatabase db(exe);
        ScriptedUiPort ui;
        ui.folderAnswers = {(dir / "taken").string(), (dir / "music").string()};
        ASSERT_TRUE(OpenLibraryAtStartup(db, ui, t.Lib()));
        ASSERT_EQ(ui.messages.size(), 2u);
        EXPECT_EQ(ui.messages[1].text, "Can't create VDisk at selected location.");
        ASSERT_EQ(t.vdisk.Count(), 1);
        EXPECT_EQ(t.vdisk.At(0).location, (dir / "music").string());
        EXPECT_TRUE(fs::exists(dir / "music" / "VDisk" / "System" / "Serial"));

        // The run completes; its library is there at the next start.
        t.regions.Insert(new CRegion("New Folder", 0, 1, nullptr, RegionFolder, -1, 0));
        t.prefs.SetInt(101, 2);
        ASSERT_TRUE(SaveLibraryAtShutdown(db, ui, t.Lib(), true));
        TestLibrary next;
        ResetCounters();
        CDatabase db2(exe);
        ScriptedUiPort ui2;
        ASSERT_TRUE(OpenLibraryAtStartup(db2, ui2, next.Lib()));
        EXPECT_TRUE(ui2.messages.empty());
        EXPECT_EQ(next.prefs.GetInt(101), 2);
        ASSERT_EQ(next.regions.Count(), 1);
        EXPECT_EQ(next.regions.At(0)->GetId(), 1001);
        EXPECT_EQ(CRegion::GetFolderCounter(), 1001);
        EXPECT_EQ(next.vdisk.At(0).serial, t.vdisk.At(0).serial);
    }
}

TEST(StartupTest, ExistingDatabaseWithItsVDiskFoundMovedOrLost) {
    TempDir dir;
    fs::path exe = dir / "bin";
    SaveEarlierRun(exe, dir / "store");
    {
        TestLibrary t;
        CDatabase db(exe);
        ScriptedUiPort ui;
        ASSERT_TRUE(OpenLibraryAtStartup(db, ui, t.Lib()));
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(t.samples.Count(), 2);
        EXPECT_EQ(t.regions.Count(), 3);
    }
    fs::create_directories(dir / "moved");
    fs::rename(dir / "store" / "VDisk", dir / "moved" / "VDisk");
    {
        // Moved: the user points at the VDisk folder itself (with a trailing "/") after a wrong pick.
        TestLibrary t;
        CDatabase db(exe);
        ScriptedUiPort ui;
        ui.folderAnswers = {(dir / "nothing").string(), (dir / "moved" / "VDisk").string() + "/"};
        ASSERT_TRUE(OpenLibraryAtStartup(db, ui, t.Lib()));
        ASSERT_EQ(ui.messages.size(), 2u);
        EXPECT_EQ(ui.messages[0].text, "VDisk not found.\nPath was:" + (dir / "store").string() +
                                           "\nPlease enter the new path if the VDisk was moved.");
        EXPECT_EQ(ui.messages[0].caption, "Sonquil");
        EXPECT_EQ(ui.messages[1].text, "Can't find VDisk.");
        ASSERT_EQ(t.vdisk.Count(), 1);
        EXPECT_EQ(t.vdisk.At(0).location, (dir / "moved").string());
        EXPECT_EQ(t.regions.Count(), 3);
    }
    {
        // Not found and not located: start-up ends and the objects stay empty.
        TestLibrary t;
        CDatabase db(exe);
        ScriptedUiPort ui;
        EXPECT_FALSE(OpenLibraryAtStartup(db, ui, t.Lib()));
        EXPECT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(t.samples.Count(), 0);
        EXPECT_EQ(t.regions.Count(), 0);
        EXPECT_EQ(t.vdisk.Count(), 0);
    }
}

TEST(StartupTest, EmptyVDiskTableOrUnwritableFolderEndsStartup) {
    TempDir dir;
    fs::path exe = dir / "bin";
    fs::create_directories(exe / "AudioDB");
    {
        TestLibrary t;
        CDatabase db(exe);
        ScriptedUiPort ui;
        ASSERT_TRUE(db.Save(t.Lib(), ui)); // no VDisk entry at all
        EXPECT_FALSE(OpenLibraryAtStartup(db, ui, t.Lib()));
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, "No VDisk info available, database corrupted.");
        EXPECT_EQ(ui.messages[0].caption, "Sonquil");
    }
    for (bool withDatabase : {true, false}) {
        if (!withDatabase) fs::remove(exe / "AudioDB" / "audiodb.adb");
        FailingOps ops;
        ops.failAt = 0; // the write test's file cannot be made
        TestLibrary t;
        CDatabase db(exe, ops);
        ScriptedUiPort ui;
        ui.folderAnswers = {dir.Str()};
        EXPECT_FALSE(OpenLibraryAtStartup(db, ui, t.Lib()));
        ASSERT_EQ(ui.messages.size(), 1u) << withDatabase;
        EXPECT_EQ(ui.messages[0].text, CDatabase::kNotWritableMessage);
        EXPECT_EQ(ui.folderAnswers.size(), 1u); // no VDisk was asked for
    }
}

TEST(StartupTest, ShutdownSaveFailureIsReported) {
    TempDir dir;
    fs::path exe = dir / "bin";
    SaveEarlierRun(exe, dir / "store");
    const auto before = Snapshot(exe / "AudioDB");
    FailingOps ops;
    ops.failAt = 1; // the write of "audiodb.tmp"
    TestLibrary t;
    FillRich(t);
    CDatabase db(exe, ops);
    ScriptedUiPort ui;
    EXPECT_FALSE(SaveLibraryAtShutdown(db, ui, t.Lib(), true));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, "Sonquil");
    EXPECT_EQ(Snapshot(exe / "AudioDB"), before);
}
