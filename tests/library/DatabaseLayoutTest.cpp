#include <gtest/gtest.h>

#include <cstring>

#include "common/ByteIO.h"
#include "common/Clock.h"
#include "library/CDatabase.h"
#include "DatabaseTestSupport.h"

using namespace dbtest;

namespace {

constexpr size_t kPrefsAt = 8104;
constexpr size_t kVDiskAt = kPrefsAt + 20504;
constexpr size_t kSamplesAt = kVDiskAt + 49416;

int32_t I32At(const std::vector<uint8_t>& b, size_t at) { return static_cast<int32_t>(LoadLE32(&b[at])); }
int64_t I64At(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<int64_t>(LoadLE32(&b[at]) | (static_cast<uint64_t>(LoadLE32(&b[at + 4])) << 32));
}
std::string TextAt(const std::vector<uint8_t>& b, size_t at, size_t size) {
    const char* p = reinterpret_cast<const char*>(&b[at]);
    return std::string(p, strnlen(p, size));
}

bool Decode(const std::vector<uint8_t>& bytes, DbContents& out) {
    std::string error;
    return CDatabase::Decode(bytes.data(), bytes.size(), out, error);
}

} // namespace

TEST(DatabaseLayoutTest, OneSampleLibraryBlocksAndOffsets) {
    TestLibrary t;
    ResetCounters();
    t.vdisk.Add(123456, "/data/audio");
    auto* s = new CSample("250102030405", "", 1, 123456, 44100, 2, 16, 44100, 0, 176400);
    t.samples.Add(s);
    t.regions.Insert(new CRegion("take", 0, 44100, s, RegionRoot, -1, FolderId::User));
    t.presets.CreateFactory();
    CDatabase db("/nowhere");
    auto b = Encode(db, t.Lib());

    const size_t regionsAt = kSamplesAt + 12 + 612;
    const size_t recordAt = regionsAt + 16 + 8192;
    const size_t presetsAt = recordAt + 388 + 256 + 224;
    const size_t vstAt = presetsAt + 12 + 8192;
    ASSERT_EQ(b.size(), vstAt + 8 + 5120);

    EXPECT_EQ(TextAt(b, 0, 4), "KXDB");
    EXPECT_EQ(I32At(b, 4), 2);
    for (size_t i = 8; i < kPrefsAt; ++i) ASSERT_EQ(b[i], 0) << i;
    EXPECT_EQ(I32At(b, kPrefsAt), 1);
    EXPECT_EQ(I32At(b, kVDiskAt), 0);
    EXPECT_EQ(I32At(b, kVDiskAt + 4), 1);
    EXPECT_EQ(I32At(b, kVDiskAt + 8), 123456);
    EXPECT_EQ(TextAt(b, kVDiskAt + 264, 512), "/data/audio");

    EXPECT_EQ(I32At(b, kSamplesAt), 0);
    EXPECT_EQ(I32At(b, kSamplesAt + 4), 1); // sample counter
    EXPECT_EQ(I32At(b, kSamplesAt + 8), 1);
    const size_t sr = kSamplesAt + 12;
    EXPECT_EQ(TextAt(b, sr + 4, 256), "250102030405");
    EXPECT_EQ(TextAt(b, sr + 260, 256), "");
    EXPECT_EQ(I32At(b, sr + 516), 123456);
    EXPECT_EQ(I32At(b, sr + 520), 1);
    EXPECT_EQ(I32At(b, sr + 528), 44100);
    EXPECT_EQ(I64At(b, sr + 532), 44100);
    EXPECT_EQ(I32At(b, sr + 540), 2);
    EXPECT_EQ(I32At(b, sr + 544), 16);
    EXPECT_EQ(I32At(b, sr + 548), 1);
    EXPECT_EQ(I64At(b, sr + 556), 176400);

    EXPECT_EQ(I32At(b, regionsAt + 4), 1);     // region counter
    EXPECT_EQ(I32At(b, regionsAt + 8), 1);     // records
    EXPECT_EQ(I32At(b, regionsAt + 12), 1000); // folder counter
    EXPECT_EQ(I32At(b, recordAt), 3);
    EXPECT_EQ(std::memcmp(&b[recordAt + 4], "RGN\0\0\0\0\0", 8), 0);
    EXPECT_EQ(I64At(b, recordAt + 52), 44100);
    EXPECT_EQ(I32At(b, recordAt + 60), 1);
    EXPECT_EQ(I32At(b, recordAt + 68), 1);
    EXPECT_EQ(I32At(b, recordAt + 72), static_cast<int32_t>(RegionRoot));
    EXPECT_EQ(I32At(b, recordAt + 76), 1);
    EXPECT_EQ(I32At(b, recordAt + 336), TodayStamp());
    EXPECT_EQ(I32At(b, recordAt + 368), 0); // snaps minus 1: no snap block
    EXPECT_EQ(I32At(b, recordAt + 372), 0); // no marker block
    EXPECT_EQ(TextAt(b, recordAt + 388, 256), "take");

    // Factory presets are never written.
    EXPECT_EQ(I32At(b, presetsAt + 4), 1000);
    EXPECT_EQ(I32At(b, presetsAt + 8), 0);
    EXPECT_EQ(I32At(b, vstAt), 0);
    EXPECT_EQ(I32At(b, vstAt + 4), 0);
}

TEST(DatabaseLayoutTest, SnapAndMarkerBlocks) {
    TestLibrary t;
    ResetCounters();
    t.vdisk.Add(1, "/x");
    auto* g = new CRegion("r", 0, 10, nullptr, 0, -1, 1);
    g->Snaps().Append(MakeSnap("a", 0));
    g->Snaps().Append(MakeSnap("b", 2));
    g->Snaps().SetCurrent(2);
    g->Markers().Insert(new CMarker(44100, "m1", 0, g->GetId(), 1));
    g->Markers().Insert(new CMarker(5, std::string(200, 'q'), 3, g->GetId(), 2));
    t.regions.Insert(g);
    CDatabase db("/nowhere");
    auto b = Encode(db, t.Lib());

    const size_t recordAt = kSamplesAt + 12 + 16 + 8192;
    EXPECT_EQ(I32At(b, recordAt + 368), 2); // three snaps store "2"
    EXPECT_EQ(I32At(b, recordAt + 372), 2);
    const size_t snapAt = recordAt + 868;
    EXPECT_EQ(I32At(b, snapAt), 1);
    EXPECT_EQ(I32At(b, snapAt + 4), 2);
    EXPECT_EQ(I32At(b, snapAt + 8), -1);
    EXPECT_EQ(I32At(b, snapAt + 12), 2);
    const size_t rec1 = snapAt + 16 + 8192;
    EXPECT_EQ(I32At(b, rec1), 1);
    EXPECT_EQ(TextAt(b, rec1 + 4, 256), "a");
    EXPECT_EQ(I32At(b, rec1 + 264), 77); // the stored reserved word
    EXPECT_EQ(I32At(b, rec1 + 332), 0);  // parameter block leading zero
    EXPECT_EQ(I32At(b, rec1 + 336), 2);  // kind count
    const size_t vst1 = rec1 + 332 + 4128;
    EXPECT_EQ(I32At(b, vst1 + 4), 0);
    const size_t rec2 = vst1 + 1224;
    EXPECT_EQ(TextAt(b, rec2 + 4, 256), "b");
    const size_t vst2 = rec2 + 332 + 4128;
    EXPECT_EQ(I32At(b, vst2 + 4), 2);
    EXPECT_EQ(TextAt(b, vst2 + 8 + 64, 64), "fx1.so");
    EXPECT_EQ(I32At(b, vst2 + 1096), 2); // slot 0 parameter count
    EXPECT_EQ(I32At(b, vst2 + 1160), 4); // slot 0 chunk size
    // Parameters of slot 0 (2) and slot 1 (3), then the 4 chunk bytes.
    const size_t markersAt = vst2 + 1224 + 5 * 4 + 4;
    EXPECT_EQ(I32At(b, markersAt), 0);
    EXPECT_EQ(I32At(b, markersAt + 4), 2);
    const size_t m0 = markersAt + 40;
    EXPECT_EQ(I64At(b, m0), 5);
    EXPECT_EQ(I32At(b, m0 + 8), g->GetId());
    EXPECT_EQ(I32At(b, m0 + 12), 3);
    EXPECT_EQ(I32At(b, m0 + 16), 2);
    EXPECT_EQ(TextAt(b, m0 + 20, 128), std::string(127, 'q'));
    EXPECT_EQ(I64At(b, m0 + 148), 44100);
    const size_t presetsAt = m0 + 2 * 148;
    EXPECT_EQ(b.size(), presetsAt + 8204 + 5128);
}

TEST(DatabaseLayoutTest, EveryFieldSurvivesARoundTrip) {
    TestLibrary t;
    FillRich(t);
    CSample::SetCounter(40);
    CRegion::SetRegionCounter(50);
    CRegion::SetFolderCounter(1060);
    CDatabase db("/nowhere");
    auto bytes = Encode(db, t.Lib());

    DbContents c;
    ASSERT_TRUE(Decode(bytes, c));
    EXPECT_EQ(c.sampleCounter, 40);
    EXPECT_EQ(c.regionCounter, 50);
    EXPECT_EQ(c.folderCounter, 1060);
    EXPECT_EQ(c.prefs.GetInt(1), -1);
    EXPECT_EQ(c.prefs.GetText(4), "some text");
    ASSERT_EQ(c.vdisk.Count(), 2);
    EXPECT_EQ(c.vdisk.At(1).serial, 17);
    EXPECT_EQ(c.vdisk.At(1).location, "/old/place");
    ASSERT_EQ(c.samples.Count(), 2);
    const CSample* s2 = c.samples.At(1);
    EXPECT_EQ(s2->GetFileName(), "linked.ogg");
    EXPECT_EQ(s2->GetFolder(), "/home/u/music");
    EXPECT_EQ(s2->GetFrameCount(), 123456789012LL);
    EXPECT_EQ(s2->GetFileSize(), 9876543210LL);
    EXPECT_EQ(s2->GetReserved(), 5);
    EXPECT_EQ(s2->GetFormatCode(), 6);
    EXPECT_EQ(s2->GetBits(), 24);

    ASSERT_EQ(c.regions.Count(), 3);
    EXPECT_TRUE(c.regions.At(0)->IsFolder());
    EXPECT_EQ(c.regions.At(0)->GetFolderIcon(), 4);
    EXPECT_EQ(c.regions.At(0)->GetSample(), nullptr);
    EXPECT_EQ(c.regions.At(1)->GetName(), "beat");
    EXPECT_EQ(c.regions.At(1)->GetSample(), c.samples.At(0));
    EXPECT_EQ(c.regions.At(1)->GetLeftPeak(), 60000);
    const CRegion* sub = c.regions.At(2);
    EXPECT_EQ(sub->GetSample(), s2);
    EXPECT_EQ(sub->GetEnd(), 5000000000LL);
    EXPECT_EQ(sub->GetFadeInShape(), 2);
    EXPECT_EQ(sub->GetFadeOutShape(), 1);
    EXPECT_EQ(sub->GetNotes(), "notes ü");
    EXPECT_EQ(sub->GetDate(), MakeDateStamp(2024, 2, 29));
    EXPECT_EQ(sub->GetRightLevel(), 4);
    EXPECT_EQ(sub->GetGenre(), "Genre");
    EXPECT_EQ(sub->GetAlbum(), "Album");
    EXPECT_EQ(sub->GetTrack(), 12);
    EXPECT_EQ(sub->GetNextChild(), 7);
    EXPECT_EQ(sub->GetViewEnd(), static_cast<int32_t>(5000000000LL - 100)); // view reset to the region
    ASSERT_EQ(sub->Snaps().Count(), 3);
    EXPECT_EQ(sub->Snaps().At(0)->GetName(), "Flat");
    EXPECT_EQ(sub->Snaps().GetCurrent(), 1);
    EXPECT_EQ(sub->Snaps().GetFavourite(), 2);
    const CVSTStatus& vst = sub->Snaps().At(2)->Vst();
    EXPECT_EQ(vst.GetEffectCount(), 3);
    EXPECT_EQ(vst.GetSlot(2).params.size(), 4u);
    EXPECT_EQ(vst.GetSlot(0).chunk, (std::vector<uint8_t>{1, 2, 3, 250}));
    float v = 0;
    EXPECT_TRUE(sub->Snaps().At(2)->Params().Lookup(1, 9, v));
    EXPECT_EQ(v, 10.5f);
    ASSERT_EQ(sub->Markers().Count(), 2);
    EXPECT_EQ(sub->Markers().At(0)->GetText(), "one");
    EXPECT_EQ(sub->Markers().At(1)->GetReserved(), 9);
    ASSERT_EQ(c.presets.Count(), 1);
    EXPECT_EQ(c.presets.GetCounter(), 1001);
    EXPECT_EQ(c.presets.At(0)->GetName(), "My EQ");
    EXPECT_EQ(c.presets.At(0)->GetFolder(), PresetNode::EQUser);
    EXPECT_EQ(c.vstFolders.Folders(), t.vst.Folders());

    // Writing the decoded library again gives the same bytes.
    TestLibrary back;
    CDatabase::Commit(c, back.Lib());
    back.vdisk = c.vdisk;
    EXPECT_EQ(Encode(db, back.Lib()), bytes);
}

namespace {

// A file written the way older versions of the program wrote it.
std::vector<uint8_t> OldFile(int fileVersion, int regionVersion) {
    ByteWriter w;
    w.Bytes("KXDB", 4);
    w.I32(fileVersion);
    w.Zeros(8096);
    CPrefs prefs;
    prefs.SetInt(60, 2);
    prefs.WriteBlock(w);
    w.I32(0);
    w.I32(1);
    w.I32(99);
    w.Zeros(252);
    w.Text("/vd", 512);
    w.Zeros(63 * 512 + 16384);
    w.I32(0);
    w.I32(3); // sample counter
    w.I32(1);
    w.I32(0);
    w.Text("old.wav", 256);
    w.Text("/music", 256);
    w.I32(99);
    w.I32(0);
    w.I32(0);
    w.I32(22050);
    w.I64(1000);
    w.I32(1);
    w.I32(8);
    w.I32(3); // sample id
    w.I32(0);
    w.I64(0);
    w.Zeros(48);
    w.I32(0);
    w.I32(8); // region counter
    w.I32(1);
    w.I32(1004); // folder counter
    w.Zeros(8192);
    w.I32(regionVersion);
    w.Text("an old region name", 40);
    w.I64(10);
    w.I64(900);
    w.I32(8);
    w.I32(2);
    w.I32(3);
    w.U32(RegionRoot | RegionStoredStats);
    w.I32(1);
    w.Text("old notes", 256);
    w.I32(MakeDateStamp(2003, 4, 5));
    w.I32(100);
    w.I32(200);
    w.I32(70);
    w.I32(140);
    w.I32(0);
    w.I32(5);
    w.I32(6);
    w.I32(0);
    w.I32(1); // one marker
    w.Zeros(12);
    if (regionVersion == 2) w.Zeros(204);
    w.I32(0);
    w.I32(1);
    w.Zeros(32);
    w.I64(50);
    w.I32(8);
    w.I32(0);
    w.I32(2);
    w.Text("old marker", 128);
    if (fileVersion > 0) {
        w.I32(0);
        w.I32(1005);
        w.I32(1);
        w.Zeros(8192);
        w.I32(0);
        w.Text("Loud", 256);
        w.I32(1005);
        w.I32(PresetNode::StacksUser);
        w.I32(CDSPPreset::FlagUser);
        w.Zeros(64);
        w.I32(0);
        w.I32(0);
        w.Zeros(4120);
    }
    if (fileVersion > 1) {
        w.I32(0);
        w.I32(1);
        w.Text("/vst", 256);
        w.Zeros(19 * 256);
    }
    return w.Data();
}

} // namespace

TEST(DatabaseLayoutTest, OlderFileAndRegionVersionsLoad) {
    for (int fileVersion = 0; fileVersion <= 2; ++fileVersion) {
        for (int regionVersion = 0; regionVersion <= 2; ++regionVersion) {
            SCOPED_TRACE(testing::Message() << "file " << fileVersion << " region " << regionVersion);
            DbContents c;
            ASSERT_TRUE(Decode(OldFile(fileVersion, regionVersion), c));
            EXPECT_EQ(c.prefs.GetInt(60), 2);
            ASSERT_EQ(c.vdisk.Count(), 1);
            EXPECT_EQ(c.vdisk.At(0).serial, 99);
            EXPECT_EQ(c.sampleCounter, 3);
            EXPECT_EQ(c.folderCounter, 1004);
            ASSERT_EQ(c.regions.Count(), 1);
            const CRegion* g = c.regions.At(0);
            EXPECT_EQ(g->GetName(), "an old region name");
            EXPECT_EQ(g->GetSample(), c.samples.At(0));
            EXPECT_EQ(g->GetStart(), 10);
            EXPECT_EQ(g->GetRightLevel(), 140);
            EXPECT_EQ(g->GetFadeOutLength(), 6);
            EXPECT_EQ(g->GetDate(), MakeDateStamp(2003, 4, 5));
            EXPECT_EQ(g->GetTitle(), "");
            EXPECT_EQ(g->GetGenre(), "");
            ASSERT_EQ(g->Markers().Count(), 1);
            EXPECT_EQ(g->Markers().At(0)->GetText(), "old marker");
            EXPECT_EQ(g->Snaps().Count(), 1);
            EXPECT_EQ(c.hasPresets, fileVersion > 0);
            EXPECT_EQ(c.presets.Count(), fileVersion > 0 ? 1 : 0);
            EXPECT_EQ(c.hasVstFolders, fileVersion > 1);
            EXPECT_EQ(c.vstFolders.Count(), fileVersion > 1 ? 1 : 0);
        }
    }
}

TEST(DatabaseLayoutTest, UnknownBlockVersions) {
    auto base = OldFile(2, 0);
    DbContents c;
    // A VDisk block of another version leaves the table empty (the VDisk check then fails).
    auto v = base;
    StoreLE32(&v[kVDiskAt], 1);
    ASSERT_TRUE(Decode(v, c));
    EXPECT_EQ(c.vdisk.Count(), 0);
    EXPECT_EQ(c.regions.Count(), 1);
    // A samples block of another version leaves no way to find what follows.
    auto s = base;
    StoreLE32(&s[kSamplesAt], 1);
    DbContents c2;
    EXPECT_FALSE(Decode(s, c2));
    // A sample record of another version is skipped; its region keeps no sample.
    auto r = base;
    StoreLE32(&r[kSamplesAt + 12], 4);
    DbContents c3;
    ASSERT_TRUE(Decode(r, c3));
    EXPECT_EQ(c3.samples.Count(), 0);
    EXPECT_EQ(c3.regions.At(0)->GetSample(), nullptr);
    // A region record of an unknown version fails the load.
    auto g = base;
    StoreLE32(&g[kSamplesAt + 12 + 612 + 16 + 8192], 9);
    DbContents c4;
    EXPECT_FALSE(Decode(g, c4));
}

TEST(DatabaseLayoutTest, UnsortedRecordsAreInsertedInOrder) {
    TestLibrary t;
    ResetCounters();
    t.vdisk.Add(1, "/x");
    // Written in an order the list would never keep.
    t.regions.List().Append(new CRegion("beta", 0, 1, nullptr, 0, -1, 1));
    t.regions.List().Append(new CRegion("Alpha", 0, 1, nullptr, 0, -1, 1));
    t.regions.List().Append(new CRegion("zeta", 0, 1, nullptr, RegionFolder, -1, 0));
    t.regions.List().Append(new CRegion("Beta", 0, 1, nullptr, RegionFolder, -1, 0));
    t.regions.List().Append(new CRegion("alpha", 0, 1, nullptr, 0, -1, 1));
    CDatabase db("/nowhere");
    DbContents c;
    ASSERT_TRUE(Decode(Encode(db, t.Lib()), c));
    std::vector<std::string> names;
    c.regions.ForEach([&](CRegion* g) { names.push_back(g->GetName()); });
    EXPECT_EQ(names, (std::vector<std::string>{"Beta", "zeta", "Alpha", "alpha", "beta"}));
}
