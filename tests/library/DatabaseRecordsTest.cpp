#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/ByteIO.h"
#include "library/CDatabase.h"
#include "DatabaseTestSupport.h"

using namespace dbtest;

namespace {

constexpr size_t kVDiskAt = 8104 + 20504;
constexpr size_t kSamplesAt = kVDiskAt + 49416;

bool Decode(const std::vector<uint8_t>& bytes, DbContents& out) {
    std::string error;
    return CDatabase::Decode(bytes.data(), bytes.size(), out, error);
}

bool AllZero(const std::vector<uint8_t>& b, size_t at, size_t n) {
    return std::all_of(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n),
                       [](uint8_t c) { return c == 0; });
}

} // namespace

TEST(DatabaseRecordsTest, StoredSampleKeepsItsFolderFieldEmpty) {
    TestLibrary t;
    ResetCounters();
    t.vdisk.Add(7, "/store");
    // A caller that hands a stored sample a folder must not put it in the record: the folder
    // of a stored sample is the VDisk's, looked up by serial.
    t.samples.Add(new CSample("260101120000", "/store/VDisk", 1, 7, 44100, 2, 16, 10, 0, 0));
    t.samples.Add(new CSample("song.wav", "/home/u", 0, 7, 44100, 2, 16, 10, 0, 0));
    CDatabase db("/nowhere");
    auto b = Encode(db, t.Lib());
    const size_t first = kSamplesAt + 12;
    EXPECT_TRUE(AllZero(b, first + 260, 256));
    const size_t second = first + 612;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[second + 260])), "/home/u");

    DbContents c;
    ASSERT_TRUE(Decode(b, c));
    EXPECT_EQ(c.samples.At(0)->GetFolder(), "");
    EXPECT_EQ(c.samples.At(1)->GetFolder(), "/home/u");
}

TEST(DatabaseRecordsTest, FieldsFilledWithoutTheirNulKeepTheirPlace) {
    TestLibrary t;
    ResetCounters();
    t.vdisk.Add(11, "/first");
    t.vdisk.Add(22, "/second");
    auto* g = new CRegion("r", 0, 10, nullptr, 0, -1, 1);
    CDSPSnap* snap = MakeSnap("s", 0);
    snap->Vst().AddEffect(std::string(63, 'p'), 0, 0, {});
    g->Snaps().Append(snap);
    t.regions.Insert(g);
    CDatabase db("/nowhere");
    auto b = Encode(db, t.Lib());

    // The first location field loses its NUL: the entry stays first with its serial, its text
    // cut to the field, so the check fails and the user is asked, instead of the second entry
    // silently becoming the current VDisk.
    std::memset(&b[kVDiskAt + 264], 'a', 512);
    // The plug-in name field loses its NUL: 64 characters name no plug-in that a snap can keep.
    const std::string name(63, 'p');
    auto at = std::search(b.begin(), b.end(), name.begin(), name.end());
    ASSERT_NE(at, b.end());
    ASSERT_EQ(*(at + 63), 0);
    *(at + 63) = 'p';

    DbContents c;
    ASSERT_TRUE(Decode(b, c));
    ASSERT_EQ(c.vdisk.Count(), 2);
    EXPECT_EQ(c.vdisk.At(0).serial, 11);
    EXPECT_EQ(c.vdisk.At(0).location, std::string(511, 'a'));
    EXPECT_EQ(c.vdisk.At(1).serial, 22);
    EXPECT_EQ(c.vdisk.At(1).location, "/second");
    const CDSPSnapList& snaps = c.regions.At(0)->Snaps();
    ASSERT_EQ(snaps.Count(), 2);
    EXPECT_EQ(snaps.At(1)->Vst().GetEffectCount(), 1);
    EXPECT_EQ(snaps.At(1)->Vst().GetSlot(0).name, "");
}

TEST(DatabaseRecordsTest, CountersNeverFallBehindTheIdsInTheFile) {
    TestLibrary t;
    ResetCounters();
    t.vdisk.Add(1, "/x");
    // Explicit ids leave the counters at 0, 0 and 1000, as a damaged or hand-made file might.
    auto* s = new CSample("a.wav", "/m", 0, 1, 44100, 2, 16, 10, 0, 0, 50);
    t.samples.Add(s);
    t.regions.Insert(new CRegion("folder", 0, 1, nullptr, RegionFolder, 1070, 0));
    t.regions.Insert(new CRegion("root", 0, 10, s, RegionRoot, 60, 1));
    CDatabase db("/nowhere");
    DbContents c;
    ASSERT_TRUE(Decode(Encode(db, t.Lib()), c));
    EXPECT_EQ(c.sampleCounter, 50);
    EXPECT_EQ(c.regionCounter, 60);
    EXPECT_EQ(c.folderCounter, 1070);

    // Counters ahead of every id (ids of deleted records are not reused) are kept as stored.
    CSample::SetCounter(80);
    CRegion::SetRegionCounter(90);
    CRegion::SetFolderCounter(1100);
    DbContents d;
    ASSERT_TRUE(Decode(Encode(db, t.Lib()), d));
    EXPECT_EQ(d.sampleCounter, 80);
    EXPECT_EQ(d.regionCounter, 90);
    EXPECT_EQ(d.folderCounter, 1100);
    ResetCounters();
}
