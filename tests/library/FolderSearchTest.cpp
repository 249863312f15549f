#include <gtest/gtest.h>

#include <algorithm>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/FolderId.h"
#include "library/CFolderOps.h"
#include "library/CRegionList.h"
#include "library/CRegionSearch.h"
#include "library/CSample.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"

namespace {

std::vector<std::string> Names(const std::vector<CRegion*>& regions) {
    std::vector<std::string> out;
    for (const CRegion* r : regions) out.push_back(r->GetName());
    return out;
}

std::vector<std::string> Order(const CRegionList& list) {
    std::vector<std::string> out;
    list.ForEach([&](CRegion* r) {
        out.push_back((r->IsFolder() ? "F:" : "R:") + r->GetName() + "#" + std::to_string(r->GetId()));
    });
    return out;
}

struct Library {
    CSample sample{"a.wav", "/x", 0, 1, 1000, 2, 16, 1000000, 0, 0, 5};
    CRegionList list;
    int nextId = 1;
    CRegion* Add(const std::string& name, int32_t parent = FolderId::User, int64_t frames = 1000) {
        auto* r = new CRegion(name, 0, frames, &sample, 0, nextId++, parent);
        list.Insert(r);
        return r;
    }
    CRegion* Folder(const std::string& name, int32_t id, int32_t parent = FolderId::User) {
        auto* f = new CRegion(name, 0, 0, nullptr, RegionFolder, id, parent);
        list.Insert(f);
        return f;
    }
};

SearchSettings Text(const std::string& text, int field = SearchSettings::AllFields,
                    int op = SearchSettings::ShowMatching) {
    SearchSettings s;
    s.text = text;
    s.field = field;
    s.operation = op;
    return s;
}

} // namespace

// Loading gathers every record and sorts once; the order must be exactly the one that ordered
// insertion gives, equal names (in any letter case) keeping the order of the file.
TEST(RegionListLoadTest, InsertAllGivesTheOrderOfOneByOneInsertion) {
    std::mt19937 rng(7);
    const char* names[] = {"take", "Take", "TAKE", "alpha", "Beta", "beta", "zeta", "", "Ä", "a b"};
    for (int round = 0; round < 20; ++round) {
        CRegionList one, all;
        all.Insert(new CRegion("beta", 0, 1, nullptr, 0, 9000, 1)); // already in the list
        one.Insert(new CRegion("beta", 0, 1, nullptr, 0, 9000, 1));
        std::vector<CRegion*> batch;
        for (int i = 0; i < 200; ++i) {
            const std::string name = names[rng() % 10];
            const uint32_t flags = rng() % 4 == 0 ? static_cast<uint32_t>(RegionFolder) : 0u;
            one.Insert(new CRegion(name, 0, 1, nullptr, flags, 10000 + i, 1));
            batch.push_back(new CRegion(name, 0, 1, nullptr, flags, 10000 + i, 1));
        }
        all.InsertAll(batch);
        ASSERT_EQ(Order(one), Order(all)) << "round " << round;
    }
    CRegionList empty;
    empty.InsertAll({});
    empty.InsertAll({nullptr});
    EXPECT_EQ(empty.Count(), 0);
}

TEST(RegionSearchTest, EveryWordMustStandInOneField) {
    Library lib;
    lib.Add("Live Piano Take");
    CRegion* split = lib.Add("piano solo");
    split->SetNotes("recorded live");
    lib.Add("Drums");
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, Text("piano live"), 1)), std::vector<std::string>{"Live Piano Take"});
    // Several spaces make no empty word, and case does not count on either side.
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, Text("  PIANO   live "), 1)),
              std::vector<std::string>{"Live Piano Take"});
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, Text("live", SearchSettings::Notes), 1)),
              std::vector<std::string>{"piano solo"});
}

TEST(RegionSearchTest, GenreOnlyWhenChosen) {
    Library lib;
    CRegion* r = lib.Add("Track 1");
    r->SetGenre("Ambient");
    CRegion* t = lib.Add("Track 2");
    t->SetTitle("ambient sunrise");
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, Text("ambient", SearchSettings::Genre), 1)),
              std::vector<std::string>{"Track 1"});
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, Text("ambient"), 1)), std::vector<std::string>{"Track 2"});
    t->SetArtist("Sunrise band");
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, Text("band", SearchSettings::Artist), 1)),
              std::vector<std::string>{"Track 2"});
    EXPECT_TRUE(CRegionSearch::Run(lib.list, Text("band", SearchSettings::Title), 1).empty());
}

TEST(RegionSearchTest, OperationsSetClearOrKeepTheMarks) {
    Library lib;
    lib.Add("bass one");
    lib.Add("drum one");
    lib.Add("flute");
    lib.Folder("bass folder", 2001); // folders never carry a mark
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, Text("bass"), 1)), std::vector<std::string>{"bass one"});
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, Text("drum", 0, SearchSettings::AddMatching), 1)),
              (std::vector<std::string>{"bass one", "drum one"}));
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, Text("bass", 0, SearchSettings::RemoveMatching), 1)),
              std::vector<std::string>{"drum one"});
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, Text("one", 0, SearchSettings::AddNonMatching), 1)),
              (std::vector<std::string>{"drum one", "flute"}));
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, Text("one", 0, SearchSettings::RemoveNonMatching), 1)),
              std::vector<std::string>{"drum one"});
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, Text("one", 0, SearchSettings::ShowNonMatching), 1)),
              std::vector<std::string>{"flute"});
}

TEST(RegionSearchTest, ScopesAndWhatOutOfScopeRegionsKeep) {
    Library lib;
    lib.Folder("A", 2001);
    lib.Folder("B", 2002, 2001);
    lib.Add("kick top");
    lib.Add("kick a", 2001);
    lib.Add("kick b", 2002);
    SearchSettings s = Text("kick");
    s.scope = SearchSettings::CurrentFolder;
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, s, 2001)), std::vector<std::string>{"kick a"});
    s.scope = SearchSettings::CurrentAndSubs;
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, s, 2001)), (std::vector<std::string>{"kick a", "kick b"}));
    // "Add" leaves out-of-scope marks as they were; "Show" clears them.
    SearchSettings all = Text("top");
    CRegionSearch::Run(lib.list, all, 1);
    s.operation = SearchSettings::AddMatching;
    s.scope = SearchSettings::CurrentFolder;
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, s, 2002)), (std::vector<std::string>{"kick b", "kick top"}));
    s.operation = SearchSettings::ShowMatching;
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, s, 2002)), std::vector<std::string>{"kick b"});
}

TEST(RegionSearchTest, DatesAndLengthsAtTheirBounds) {
    Library lib; // 1000 frames per second
    lib.Add("short", 1, 89900);
    lib.Add("exact", 1, 90000);
    lib.Add("long", 1, 90001);
    SearchSettings s;
    ASSERT_TRUE(CRegionSearch::ParseLength("01m 30s", s.longerSeconds));
    EXPECT_EQ(s.longerSeconds, 90);
    s.longerOn = true;
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, s, 1)), (std::vector<std::string>{"exact", "long"}));
    s.longerOn = false;
    s.shorterOn = true;
    s.shorterSeconds = 90;
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, s, 1)), (std::vector<std::string>{"exact", "short"}));

    int sec = -1;
    EXPECT_TRUE(CRegionSearch::ParseLength(" 2m  5s", sec));
    EXPECT_EQ(sec, 125);
    EXPECT_FALSE(CRegionSearch::ParseLength("2m 5s", sec));
    EXPECT_FALSE(CRegionSearch::ParseLength("xxm 05s", sec));

    Library dated;
    dated.Add("old")->SetDate(MakeDateStamp(2020, 1, 1));
    dated.Add("mid")->SetDate(MakeDateStamp(2021, 6, 15));
    dated.Add("new")->SetDate(MakeDateStamp(2022, 12, 31));
    SearchSettings d;
    d.afterOn = d.beforeOn = true;
    d.afterStamp = MakeDateStamp(2021, 6, 15);
    d.beforeStamp = MakeDateStamp(2022, 12, 31);
    EXPECT_EQ(Names(CRegionSearch::Run(dated.list, d, 1)), (std::vector<std::string>{"mid", "new"}));
    // A region without a sample counts as 0 seconds long instead of dividing by zero.
    CRegion orphan("x", 0, 100, nullptr, 0, 77, 1);
    EXPECT_EQ(CRegionSearch::LengthSeconds(orphan), 0.0);
}

TEST(FolderOpsTest, ContentOfEveryKindOfNode) {
    Library lib;
    lib.Folder("Sub", 2001);
    CRegion* top = lib.Add("top");
    CRegion* inner = lib.Add("inner", 2001);
    top->SetDate(MakeDateStamp(2024, 3, 2));
    inner->SetDate(MakeDateStamp(2024, 3, 1));
    inner->SetFlags(inner->GetFlags() | RegionFound);
    auto present = [&](const CRegion& r) { return &r != inner; };
    const int32_t today = MakeDateStamp(2024, 3, 2), yesterday = MakeDateStamp(2024, 3, 1);
    auto content = [&](int32_t id) { return Names(CFolderOps::Content(lib.list, id, today, yesterday, present)); };
    EXPECT_EQ(content(FolderId::User), std::vector<std::string>{"top"}); // sub-folders not expanded
    EXPECT_EQ(content(2001), std::vector<std::string>{"inner"});
    EXPECT_TRUE(content(FolderId::System).empty());
    EXPECT_EQ(content(FolderId::Lost), std::vector<std::string>{"inner"});
    EXPECT_EQ(content(FolderId::Found), std::vector<std::string>{"inner"});
    EXPECT_EQ(content(FolderId::Today), std::vector<std::string>{"top"});
    EXPECT_EQ(content(FolderId::Yesterday), (std::vector<std::string>{"inner", "top"}));
}

TEST(FolderOpsTest, NewDeleteAndRename) {
    Library lib;
    ScriptedUiPort ui;
    EXPECT_EQ(CFolderOps::NewFolder(lib.list, FolderId::System), nullptr);
    EXPECT_EQ(CFolderOps::NewFolder(lib.list, FolderId::Lost), nullptr);
    CRegion* f = CFolderOps::NewFolder(lib.list, FolderId::User);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->GetName(), "NewFolder");
    EXPECT_GT(f->GetId(), 1000);
    EXPECT_EQ(f->GetParentId(), FolderId::User);
    CRegion* sub = CFolderOps::NewFolder(lib.list, f->GetId());
    ASSERT_NE(sub, nullptr);
    EXPECT_GT(sub->GetId(), f->GetId());

    int32_t parent = 0;
    EXPECT_FALSE(CFolderOps::DeleteFolder(lib.list, f->GetId(), true, ui, parent));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Folder not empty. Please delete contents first.");
    EXPECT_FALSE(CFolderOps::DeleteFolder(lib.list, sub->GetId(), false, ui, parent)); // transport running
    EXPECT_FALSE(CFolderOps::DeleteFolder(lib.list, FolderId::User, true, ui, parent));
    const int32_t subId = sub->GetId();
    EXPECT_TRUE(CFolderOps::DeleteFolder(lib.list, subId, true, ui, parent));
    EXPECT_EQ(parent, f->GetId());
    EXPECT_EQ(lib.list.FolderById(subId), nullptr);
    EXPECT_EQ(ui.messages.size(), 1u);

    // Renaming keeps the place even when the new name sorts elsewhere.
    lib.Folder("p", 2500);
    ASSERT_EQ(lib.list.At(0), f);
    EXPECT_TRUE(CFolderOps::RenameFolder(lib.list, f->GetId(), "zzz" + std::string(300, 'x')));
    EXPECT_EQ(lib.list.At(0), f);
    EXPECT_EQ(f->GetName().size(), 255u);
    EXPECT_FALSE(CFolderOps::RenameFolder(lib.list, FolderId::User, "x"));
}

TEST(FolderOpsTest, MovesThatMustBeRefused) {
    Library lib;
    lib.Folder("A", 2001);
    lib.Folder("B", 2002, 2001);
    lib.Folder("C", 2003, 2002);
    lib.Folder("D", 2004);
    EXPECT_FALSE(CFolderOps::MoveFolder(lib.list, 2001, 2001)); // itself
    EXPECT_FALSE(CFolderOps::MoveFolder(lib.list, 2001, 2002)); // its sub-folder
    EXPECT_FALSE(CFolderOps::MoveFolder(lib.list, 2001, 2003)); // deeper inside
    EXPECT_FALSE(CFolderOps::MoveFolder(lib.list, 2002, 2001)); // its present parent
    EXPECT_FALSE(CFolderOps::MoveFolder(lib.list, 2002, FolderId::System));
    EXPECT_EQ(lib.list.FolderById(2001)->GetParentId(), FolderId::User);
    EXPECT_TRUE(CFolderOps::MoveFolder(lib.list, 2002, 2004));
    EXPECT_EQ(lib.list.FolderById(2002)->GetParentId(), 2004);
    EXPECT_TRUE(CFolderOps::MoveFolder(lib.list, 2001, 2003)); // no longer inside A

    CRegion* r = lib.Add("r", 2001);
    r->SetFlags(r->GetFlags() | RegionFound);
    EXPECT_FALSE(CFolderOps::MoveRegions(lib.list, {r}, FolderId::Today));
    EXPECT_EQ(r->GetParentId(), 2001);
    EXPECT_TRUE(CFolderOps::MoveRegions(lib.list, {r}, FolderId::User));
    EXPECT_EQ(r->GetParentId(), FolderId::User);
    EXPECT_EQ(r->GetFlags() & RegionFound, 0u);
}

TEST(FolderOpsTest, IconCycleReturnsAfterSixPresses) {
    Library lib;
    lib.Folder("A", 2001);
    CFolderIconCycle cycle;
    std::vector<int> icons;
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(cycle.Apply(lib.list, 2001));
        icons.push_back(lib.list.FolderById(2001)->GetFolderIcon());
    }
    EXPECT_EQ(icons, (std::vector<int>{2, 4, 6, 8, 10, 0, 2}));
    // A system node takes no icon, but the press still moves the one cycle of the window.
    EXPECT_FALSE(cycle.Apply(lib.list, FolderId::Found));
    EXPECT_TRUE(cycle.Apply(lib.list, 2001));
    EXPECT_EQ(lib.list.FolderById(2001)->GetFolderIcon(), 6);
}

// Only an unclaimed file that no reader opens and that is under 1,024 bytes is deleted; audio a
// reader opens comes back however small, and a file whose import fails stays where it is.
TEST(FolderOpsTest, FoundScanDeletesOnlyUnreadableStraysAndKeepsWhatFails) {
    TempDir dir;
    auto write = [&](const std::string& name, size_t bytes) {
        std::ofstream(dir / name, std::ios::binary) << std::string(bytes, 'x');
    };
    write("stray.bin", 500);
    write("tiny-take", 600); // small, but a reader opens it (say, a few frames of KX64)
    write("real.wav", 4096);
    write("broken.wav", 2048);
    write("_peak", 10);
    write("CLAIMED.WAV", 100);
    std::filesystem::create_directory(dir / "sub");
    Library lib;
    CSample stored("claimed.wav", "", 1, 1, 44100, 2, 16, 10, 0, 100, 9);
    lib.list.Insert(new CRegion("c", 0, 10, &stored, RegionRoot, 500, 1));
    std::vector<std::string> asked;
    auto readable = [&](const std::string& path) {
        asked.push_back(std::filesystem::path(path).filename().string());
        return path.find("tiny-take") != std::string::npos;
    };

    std::vector<std::string> files = CFolderOps::ScanUnclaimed(lib.list, dir.Str(), readable);
    EXPECT_EQ(files, (std::vector<std::string>{"broken.wav", "real.wav", "tiny-take"}));
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, (std::vector<std::string>{"stray.bin", "tiny-take"})) << "only the small files are asked about";
    EXPECT_FALSE(std::filesystem::exists(dir / "stray.bin"));
    EXPECT_TRUE(std::filesystem::exists(dir / "tiny-take"));
    EXPECT_TRUE(std::filesystem::exists(dir / "_peak"));
    EXPECT_TRUE(std::filesystem::exists(dir / "CLAIMED.WAV"));

    ScriptedUiPort ui;
    std::vector<std::string> imported;
    std::vector<std::pair<std::string, std::string>> lines;
    const int n = CFolderOps::RecoverFound(
        files, dir.Str(), ui,
        [&](const std::string& path, std::string& message) {
            imported.push_back(path);
            if (path.find("broken") != std::string::npos) message = "No RIFF chunk.";
            return path.find("broken") == std::string::npos;
        },
        &lines);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(imported.size(), 3u);
    EXPECT_TRUE(std::filesystem::exists(dir / "broken.wav")) << "a file that does not come back is kept";
    EXPECT_TRUE(std::filesystem::exists(dir / "real.wav"));
    EXPECT_EQ(lines, (std::vector<std::pair<std::string, std::string>>{{"broken.wav", "No RIFF chunk."},
                                                                       {"real.wav", "OK"},
                                                                       {"tiny-take", "OK"}}));
    ASSERT_EQ(ui.progressTexts.size(), 3u);
    EXPECT_EQ(ui.progressTexts[0], "Recovering file 1 of 3\nbroken.wav");
    EXPECT_EQ(ui.progressDraws.back(), 100);
    EXPECT_FALSE(ui.progressVisible);

    // A 500-byte stray alone: deleted, nothing to import.
    write("stray2", 500);
    EXPECT_EQ(CFolderOps::ScanUnclaimed(lib.list, dir.Str(), readable).size(), 3u); // the three above, unclaimed
    EXPECT_FALSE(std::filesystem::exists(dir / "stray2"));
}

TEST(FolderOpsTest, AbortedRecoveryKeepsTheFailedFileAndStops) {
    TempDir dir;
    std::ofstream(dir / "a.wav") << std::string(2000, 'x');
    std::ofstream(dir / "b.wav") << std::string(2000, 'x');
    ScriptedUiPort ui;
    int calls = 0;
    CFolderOps::RecoverFound({"a.wav", "b.wav"}, dir.Str(), ui, [&](const std::string&, std::string&) {
        ++calls;
        ui.PressAbort();
        return false;
    });
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(std::filesystem::exists(dir / "a.wav"));
    EXPECT_TRUE(std::filesystem::exists(dir / "b.wav"));
}

TEST(RegionSearchTest, WordsFoundAnywhereInAnyLetterCase) {
    Library lib;
    lib.Add("PpIaNo");  // first candidate fails, the next (other case) matches
    lib.Add("xxpiano"); // at the very end
    lib.Add("pian");    // shorter than the word
    lib.Add("p i a n o");
    lib.Add("PIANOS galore"); // at the start
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, Text("piano"), 1)),
              (std::vector<std::string>{"PIANOS galore", "PpIaNo", "xxpiano"}));
    EXPECT_EQ(Names(CRegionSearch::Run(lib.list, Text("O"), 1)),
              (std::vector<std::string>{"p i a n o", "PIANOS galore", "PpIaNo", "xxpiano"}));
}
