#include <gtest/gtest.h>

#include <random>

#include "common/ByteIO.h"
#include "library/CDatabase.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"
#include "DatabaseTestSupport.h"

using namespace dbtest;

namespace {

// An executable folder with "AudioDB" and a VDisk of serial 424242 that the rich library uses.
struct DbFolders {
    TempDir dir;
    fs::path exe = dir.Path() / "bin";
    fs::path store = dir.Path() / "store";
    DbFolders() {
        fs::create_directories(exe / "AudioDB");
        MakeVDisk(store, 424242);
    }
    void Fill(TestLibrary& t) {
        FillRich(t);
        t.vdisk.Clear();
        t.vdisk.Add(424242, store.string());
    }
};

std::vector<uint8_t> SaveOnce(CDatabase& db, TestLibrary& t, int marker) {
    t.prefs.SetInt(7, marker);
    ScriptedUiPort ui;
    EXPECT_TRUE(db.Save(t.Lib(), ui));
    EXPECT_TRUE(ui.messages.empty());
    return ReadFile(db.FilePath());
}

} // namespace

TEST(DatabaseFileTest, SaveRotatesBackupsAndLoadRestores) {
    DbFolders s;
    TestLibrary t;
    s.Fill(t);
    CDatabase db(s.exe);
    auto first = SaveOnce(db, t, 1);
    auto second = SaveOnce(db, t, 2);
    auto third = SaveOnce(db, t, 3);
    EXPECT_NE(first, second);
    EXPECT_EQ(ReadFile(db.BackupPath(0)), third);
    EXPECT_EQ(ReadFile(db.BackupPath(1)), second);
    EXPECT_EQ(ReadFile(db.BackupPath(2)), first);
    EXPECT_FALSE(fs::exists(db.BackupPath(3)));
    auto fourth = SaveOnce(db, t, 4);
    auto fifth = SaveOnce(db, t, 5);
    EXPECT_EQ(ReadFile(db.BackupPath(3)), second);
    EXPECT_EQ(ReadFile(db.BackupPath(1)), fourth);
    // Only the database and its four backups are left in the folder.
    EXPECT_EQ(Snapshot(db.Folder()).size(), 5u);

    // Loading gives the saved library back; the header's reserved area is written back as read.
    auto bytes = fifth;
    bytes[100] = 0x5A;
    bytes[8103] = 0xA5;
    WriteFile(db.FilePath(), bytes);
    TestLibrary back;
    back.presets.CreateFactory();
    ScriptedUiPort ui;
    CDatabase db2(s.exe);
    ASSERT_TRUE(db2.Load(back.Lib(), ui));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(back.prefs.GetInt(7), 5);
    EXPECT_EQ(back.samples.Count(), 2);
    EXPECT_EQ(back.regions.Count(), 3);
    EXPECT_EQ(back.presets.UserCount(), 1);
    EXPECT_EQ(back.presets.Count(), 32);
    EXPECT_EQ(back.vst.Count(), 2);
    ASSERT_TRUE(db2.Save(back.Lib(), ui));
    EXPECT_EQ(ReadFile(db2.FilePath()), bytes);
}

TEST(DatabaseFileTest, AFailureAtAnyStepOfSaveLeavesEveryFileAsItWas) {
    DbFolders s;
    TestLibrary t;
    s.Fill(t);
    {
        CDatabase db(s.exe);
        for (int i = 0; i < 5; ++i) SaveOnce(db, t, 10 + i);
    }
    const auto before = Snapshot(s.exe / "AudioDB");
    ASSERT_EQ(before.size(), 5u);
    t.prefs.SetInt(7, 99);

    int step = 0;
    for (;; ++step) {
        FailingOps ops;
        ops.failAt = step;
        CDatabase db(s.exe, ops);
        ScriptedUiPort ui;
        bool saved = db.Save(t.Lib(), ui);
        if (saved) {
            EXPECT_TRUE(ui.messages.empty());
            break;
        }
        SCOPED_TRACE(step);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, CDatabase::kSaveFailedMessage);
        EXPECT_EQ(ui.messages[0].caption, "Sonquil");
        EXPECT_EQ(Snapshot(s.exe / "AudioDB"), before);
    }
    // Create, write, sync, close, copy, four renames, link, rename, rename, folder sync.
    EXPECT_GE(step, 13);
    EXPECT_EQ(Snapshot(s.exe / "AudioDB").size(), 5u);
}

TEST(DatabaseFileTest, SavesWhereTheFileSystemHasNoHardLinks) {
    DbFolders s;
    TestLibrary t;
    s.Fill(t);
    FailingOps ops;
    ops.noLinks = true;
    CDatabase db(s.exe, ops);
    for (int i = 0; i < 3; ++i) {
        t.prefs.SetInt(7, 100 + i);
        ScriptedUiPort ui;
        ASSERT_TRUE(db.Save(t.Lib(), ui)) << i;
        EXPECT_TRUE(ui.messages.empty());
    }
    const fs::path dir = s.exe / "AudioDB";
    EXPECT_EQ(ReadFile(dir / "audiodb.adb"), ReadFile(dir / "audiodb0.adb"));
    EXPECT_TRUE(fs::exists(dir / "audiodb2.adb"));
    EXPECT_FALSE(fs::exists(dir / "audiodb.old"));
    EXPECT_FALSE(fs::exists(dir / "audiodb.tmp"));
}

TEST(DatabaseFileTest, ExistsAndWriteTest) {
    TempDir dir;
    CDatabase db(dir.Path());
    ScriptedUiPort ui;
    EXPECT_FALSE(db.Exists());
    EXPECT_TRUE(fs::is_directory(dir / "AudioDB")); // made when absent
    EXPECT_TRUE(db.FolderWritable(ui));
    EXPECT_FALSE(fs::exists(dir / "AudioDB" / "testwrite"));
    EXPECT_TRUE(ui.messages.empty());
    WriteFile(db.FilePath(), {1});
    EXPECT_TRUE(db.Exists());

    FailingOps ops;
    ops.failAt = 0;
    CDatabase locked(dir.Path(), ops);
    EXPECT_FALSE(locked.FolderWritable(ui));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Can't write data to the database folder.\nAn administrative-level user account is needed.");
    EXPECT_EQ(ui.messages[0].caption, "Sonquil");

    // "AudioDB" taken by a plain file: no database, and the write test says so.
    TempDir other;
    WriteFile(other / "AudioDB", {1});
    CDatabase blocked(other.Path());
    ScriptedUiPort ui2;
    EXPECT_FALSE(blocked.Exists());
    EXPECT_FALSE(blocked.FolderWritable(ui2));
    EXPECT_EQ(ui2.messages.size(), 1u);
}

TEST(DatabaseFileTest, DamagedFilesFailCleanlyAndChangeNothing) {
    DbFolders s;
    TestLibrary t;
    s.Fill(t);
    CDatabase db(s.exe);
    const auto good = SaveOnce(db, t, 1);

    // Block boundaries of the rich library and a few bytes around each.
    std::vector<size_t> cuts = {0, 4, 8, 8104, 28608, 78024, 78036};
    size_t regionsAt = 78036 + 2 * 612;
    cuts.push_back(regionsAt);
    cuts.push_back(regionsAt + 16 + 8192);
    const size_t presetsAt = good.size() - 5128 - (12 + 8192 + 336 + 4128); // one user preset
    cuts.push_back(good.size() - 5128);
    cuts.push_back(presetsAt);
    cuts.push_back(presetsAt + 12 + 8192);
    std::mt19937 rng(7);
    for (int i = 0; i < 300; ++i) cuts.push_back(rng() % good.size());
    for (size_t cut : std::vector<size_t>(cuts)) {
        if (cut > 0) cuts.push_back(cut - 1);
        cuts.push_back(cut + 1);
    }
    for (size_t cut : cuts) {
        if (cut >= good.size()) continue;
        DbContents c;
        std::string error;
        EXPECT_FALSE(CDatabase::Decode(good.data(), cut, c, error)) << cut;
        EXPECT_FALSE(error.empty());
    }

    // Huge counts are refused before anything is allocated for them.
    for (size_t at : {size_t{78032}, regionsAt + 8, presetsAt + 8}) {
        auto bad = good;
        StoreLE32(&bad[at], 0x7FFFFFFF);
        DbContents c;
        std::string error;
        EXPECT_FALSE(CDatabase::Decode(bad.data(), bad.size(), c, error)) << at;
    }

    // Random bytes anywhere never crash the decoder.
    for (int i = 0; i < 2000; ++i) {
        auto bad = good;
        int flips = 1 + static_cast<int>(rng() % 8);
        for (int f = 0; f < flips; ++f) bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
        DbContents c;
        std::string error;
        CDatabase::Decode(bad.data(), bad.size(), c, error);
    }

    // A load of a cut file tells the user, leaves the objects and the file as they were.
    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
    WriteFile(db.FilePath(), cut);
    TestLibrary target;
    target.prefs.SetInt(3, 3);
    target.vdisk.Add(5, "/five");
    target.samples.Add(new CSample("keep", "/k", 0, 5, 8000, 1, 8, 10, 0, 0, 900));
    ScriptedUiPort ui;
    EXPECT_FALSE(db.Load(target.Lib(), ui));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, CDatabase::kDamagedMessage);
    EXPECT_EQ(ui.messages[0].caption, "Sonquil");
    EXPECT_EQ(target.prefs.GetInt(3), 3);
    EXPECT_EQ(target.vdisk.At(0).serial, 5);
    ASSERT_EQ(target.samples.Count(), 1);
    EXPECT_EQ(target.samples.At(0)->GetId(), 900);
    EXPECT_EQ(ReadFile(db.FilePath()), cut);

    // No file at all fails without a message.
    fs::remove(db.FilePath());
    ScriptedUiPort ui2;
    EXPECT_FALSE(db.Load(target.Lib(), ui2));
    EXPECT_TRUE(ui2.messages.empty());
}

TEST(DatabaseFileTest, RegionsWithoutStoredStatisticsTakeThemFromPeakData) {
    DbFolders s;
    TestLibrary t;
    s.Fill(t);
    // The root region asks for its statistics from the sample's peak data.
    CRegion* root = t.regions.At(1);
    root->SetFlags(RegionRoot);
    CDatabase db(s.exe);
    SaveOnce(db, t, 1);

    int calls = 0;
    db.SetPeakSource([&](const CSample& sample, const CVDisk&, std::vector<uint16_t>& pairs) {
        ++calls;
        if (sample.GetFileName() != "260101120000") return false;
        pairs = {100, 200, 300, 50};
        return true;
    });
    TestLibrary back;
    ScriptedUiPort ui;
    ASSERT_TRUE(db.Load(back.Lib(), ui));
    EXPECT_EQ(calls, 1);
    const CRegion* g = back.regions.At(1);
    EXPECT_EQ(g->GetLeftPeak(), 300);
    EXPECT_EQ(g->GetRightPeak(), 200);
    // The region with stored statistics keeps them.
    EXPECT_EQ(back.regions.At(2)->GetLeftPeak(), 1);
}
