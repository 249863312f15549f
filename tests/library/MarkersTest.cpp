#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/CRegion.h"
#include "library/CSample.h"

namespace {
std::vector<int64_t> Positions(const CMarkersList& list) {
    std::vector<int64_t> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list.At(i)->GetPosition());
    return out;
}
} // namespace

TEST(MarkersTest, SortedByPositionWithEqualsInInsertionOrder) {
    CMarkersList list;
    list.Insert(new CMarker(300, "c", 0, 1, 0));
    list.Insert(new CMarker(100, "a", 0, 1, 0));
    list.Insert(new CMarker(200, "b", 0, 1, 0));
    EXPECT_EQ(Positions(list), (std::vector<int64_t>{100, 200, 300}));
    list.Insert(new CMarker(200, "b2", 0, 1, 2));
    EXPECT_EQ(list.At(1)->GetText(), "b");
    EXPECT_EQ(list.At(2)->GetText(), "b2");
    // Markers arriving in order (as loading gives them) go to the end, equals after equals.
    list.Insert(new CMarker(300, "c2", 0, 1, 0));
    list.Insert(new CMarker(400, "d", 0, 1, 0));
    EXPECT_EQ(list.At(4)->GetText(), "c2");
    EXPECT_EQ(list.At(5)->GetText(), "d");
    for (int n : {5, 4}) {
        CMarker* m = list.At(n);
        ASSERT_TRUE(list.Remove(m));
        delete m;
    }

    std::vector<CMarkersList::Row> rows = list.Show();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[2].caption, "b2");
    EXPECT_EQ(rows[2].icon, 2);
    int seen = 0;
    list.Show([&](const std::string&, int32_t) { ++seen; });
    EXPECT_EQ(seen, 4);

    CMarkersList copy;
    copy.Insert(new CMarker(5, "old", 0, 1, 0));
    copy.CopyFrom(list);
    EXPECT_EQ(Positions(copy), Positions(list));
    EXPECT_NE(copy.At(0), list.At(0));
    EXPECT_EQ(copy.At(2)->GetIcon(), 2);
}

TEST(MarkersTest, TextIsCutTo127Bytes) {
    CMarker m(0, std::string(200, 'x'), 0, 1, 0);
    EXPECT_EQ(m.GetText(), std::string(127, 'x'));
    m.SetText(std::string(126, 'y') + "\xC3\xA9"); // a two-byte character at the edge is left out whole
    EXPECT_EQ(m.GetText(), std::string(126, 'y'));
}

TEST(MarkersTest, RegionMarkerOperationsRefreshTheView) {
    std::vector<std::vector<CMarkersList::Row>> shown;
    CRegion::SetMarkerViewHook([&](const std::vector<CMarkersList::Row>& rows) { shown.push_back(rows); });
    CSample s("a.wav", "/x", 0, 1, 44100, 2, 16, 441000, 0, 0, 3);
    CRegion r("r", 0, 441000, &s, RegionRoot, 9, 1);

    CMarker* m = r.NewMarker(44100);
    EXPECT_EQ(m->GetText(), "0:00:01:00 (you can edit this text)");
    EXPECT_EQ(m->GetRegionId(), 9);
    EXPECT_EQ(m->GetIcon(), 0);
    r.NewMarker(88200);
    r.NewMarker(132300);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown.back().size(), 3u);

    // Moving the first past the last makes it the last row.
    ASSERT_TRUE(r.MoveMarker(0, 200000));
    EXPECT_EQ(r.Markers().At(2), m);
    EXPECT_EQ(Positions(r.Markers()), (std::vector<int64_t>{88200, 132300, 200000}));
    ASSERT_TRUE(r.MoveMarker(m, 0));
    EXPECT_EQ(r.Markers().At(0), m);

    ASSERT_TRUE(r.DeleteMarker(1));
    EXPECT_EQ(Positions(r.Markers()), (std::vector<int64_t>{0, 132300}));
    EXPECT_FALSE(r.DeleteMarker(5));
    EXPECT_FALSE(r.MoveMarker(7, 1));
    ASSERT_TRUE(r.DeleteMarker(m));
    EXPECT_EQ(shown.back().size(), 1u);
    CRegion::SetMarkerViewHook(nullptr);
}
