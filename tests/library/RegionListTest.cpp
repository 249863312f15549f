#include <gtest/gtest.h>

#include <strings.h>

#include <string>
#include <vector>

#include "library/CRegionList.h"
#include "library/CSample.h"

namespace {
std::vector<std::string> Order(const CRegionList& list) {
    std::vector<std::string> out;
    list.ForEach([&](CRegion* r) { out.push_back((r->IsFolder() ? "F:" : "R:") + r->GetName()); });
    return out;
}
} // namespace

TEST(RegionListTest, FoldersFirstThenRegionsByNameIgnoringCase) {
    CRegionList list;
    CSample sample("a.wav", "/x", 0, 1, 44100, 2, 16, 100, 0, 0, 5);
    list.Insert(new CRegion("beta", 0, 100, &sample, 0, 10, 1));
    list.Insert(new CRegion("Alpha", 0, 100, &sample, 0, 11, 1));
    list.Insert(new CRegion("zeta", 0, 1, nullptr, RegionFolder, 2001, 0));
    list.Insert(new CRegion("Beta", 0, 1, nullptr, RegionFolder, 2002, 0));
    EXPECT_EQ(Order(list), (std::vector<std::string>{"F:Beta", "F:zeta", "R:Alpha", "R:beta"}));
}

TEST(RegionListTest, EqualNamesKeepInsertionOrderAndCursorSurvives) {
    CRegionList list;
    CRegion* first = new CRegion("Take", 0, 10, nullptr, 0, 1, 1);
    CRegion* second = new CRegion("TAKE", 0, 10, nullptr, 0, 2, 1);
    CRegion* third = new CRegion("take", 0, 10, nullptr, 0, 3, 1);
    list.Insert(first);
    list.Insert(new CRegion("zzz", 0, 10, nullptr, 0, 4, 1));
    // A caller walking the list keeps its place across an insertion.
    list.List().Reset();
    list.List().Advance();
    OList::Position walk = list.List().GetCursor();
    list.Insert(second);
    list.Insert(third);
    list.Insert(new CRegion("a folder", 0, 1, nullptr, RegionFolder, 3001, 0));
    EXPECT_EQ(list.List().GetCursor(), walk);
    EXPECT_EQ(list.List().Current()->GetName(), "zzz");
    ASSERT_EQ(list.Count(), 5);
    EXPECT_EQ(list.At(1), first);
    EXPECT_EQ(list.At(2), second);
    EXPECT_EQ(list.At(3), third);
}

TEST(RegionListTest, CountersHandOutIdsAndExplicitIdsLeaveThemAlone) {
    CRegion::SetRegionCounter(0);
    CRegion::SetFolderCounter(1000);
    CSample::SetCounter(0);
    CSample sample("a.wav", "/x", 0, 1, 44100, 2, 16, 100, 0, 0);
    EXPECT_EQ(sample.GetId(), 1);
    CRegion folder("F", 0, 1, nullptr, RegionFolder, -1, 0);
    CRegion region("R", 0, 100, &sample, RegionRoot, -1, 1);
    EXPECT_EQ(folder.GetId(), 1001);
    EXPECT_EQ(region.GetId(), 1);
    EXPECT_EQ(region.GetSampleId(), 1);
    EXPECT_EQ(folder.GetSampleId(), 0);

    // Loading: explicit ids, then the stored counters; new ids continue from those.
    CSample loaded("b.wav", "/x", 0, 1, 44100, 2, 16, 100, 0, 0, 40);
    CRegion loadedRegion("L", 0, 100, &loaded, 0, 77, 1);
    EXPECT_EQ(CSample::GetCounter(), 1);
    EXPECT_EQ(CRegion::GetRegionCounter(), 1);
    CSample::SetCounter(40);
    CRegion::SetRegionCounter(77);
    CRegion::SetFolderCounter(1010);
    CSample next("c.wav", "/x", 0, 1, 44100, 2, 16, 100, 0, 0);
    CRegion nextRegion("N", 0, 100, &next, 0, -1, 1);
    CRegion nextFolder("NF", 0, 1, nullptr, RegionFolder, -1, 0);
    EXPECT_EQ(next.GetId(), 41);
    EXPECT_EQ(nextRegion.GetId(), 78);
    EXPECT_EQ(nextFolder.GetId(), 1011);
}

TEST(RegionListTest, FolderTreeQueries) {
    CRegionList list;
    CRegion* top = new CRegion("Top", 0, 1, nullptr, RegionFolder, 1001, 0);
    CRegion* mid = new CRegion("Mid", 0, 1, nullptr, RegionFolder, 1002, 1001);
    CRegion* low = new CRegion("Low", 0, 1, nullptr, RegionFolder, 1003, 1002);
    CRegion* loopA = new CRegion("LoopA", 0, 1, nullptr, RegionFolder, 1004, 1005);
    CRegion* loopB = new CRegion("LoopB", 0, 1, nullptr, RegionFolder, 1005, 1004);
    for (CRegion* f : {top, mid, low, loopA, loopB}) list.Insert(f);
    CRegion* deep = new CRegion("deep", 0, 10, nullptr, 0, 1, 1003);
    CRegion* orphan = new CRegion("orphan", 0, 10, nullptr, 0, 2, 4242);
    CRegion* lost = new CRegion("lost", 0, 10, nullptr, 0, 3, 1004);
    list.Insert(deep);
    list.Insert(orphan);
    list.Insert(lost);

    EXPECT_EQ(list.FolderById(1002), mid);
    EXPECT_EQ(list.FolderById(1), nullptr);
    EXPECT_TRUE(list.InFolder(deep, 1003));
    EXPECT_TRUE(list.InFolder(deep, 1001));
    EXPECT_FALSE(list.InFolder(deep, 1004));
    EXPECT_FALSE(list.InFolder(orphan, 1001)); // parent folder does not exist
    EXPECT_FALSE(list.InFolder(lost, 1001));   // a cycle of parents ends, answering no
    EXPECT_FALSE(list.FolderEmpty(1002));
    EXPECT_TRUE(list.FolderEmpty(1003 + 100));

    list.SetSelectedFolder(1);
    EXPECT_EQ(list.FolderForNew(), 1);
    list.SetSelectedFolder(121);
    EXPECT_EQ(list.FolderForNew(), 1);
    list.SetSelectedFolder(1002);
    EXPECT_EQ(list.FolderForNew(), 1002);
    list.SetSelectedFolder(1003);
    EXPECT_EQ(list.NthInSelectedFolder(0), deep);
    EXPECT_EQ(list.NthInSelectedFolder(1), nullptr);

    EXPECT_TRUE(list.Delete(deep));
    EXPECT_TRUE(list.FolderEmpty(1003));
    CRegion unlisted("u", 0, 10, nullptr, 0, 99, 1);
    EXPECT_FALSE(list.Remove(&unlisted));
}

TEST(RegionListTest, SampleQueries) {
    CRegionList list;
    CSample a("a.wav", "/x", 0, 1, 44100, 2, 16, 100, 0, 0, 1);
    CSample b("b.wav", "/x", 0, 1, 44100, 2, 16, 100, 0, 0, 2);
    CRegion* subA = new CRegion("a sub", 10, 20, &a, 0, 1, 1);
    CRegion* rootA = new CRegion("a", 0, 100, &a, RegionRoot, 2, 1);
    CRegion* rootB = new CRegion("b", 0, 100, &b, RegionRoot, 3, 1);
    list.Insert(subA);
    list.Insert(rootA);
    list.Insert(rootB);
    EXPECT_EQ(list.RootOf(&a), rootA);
    EXPECT_EQ(list.RootOf(&b), rootB);
    EXPECT_EQ(list.OtherUserOfSample(rootA), subA);
    EXPECT_FALSE(list.SampleUsedElsewhere(rootB));
    EXPECT_EQ(list.NthOfSameSample(subA, 0), rootA); // "a" sorts before "a sub"
    EXPECT_EQ(list.NthOfSameSample(subA, 1), subA);
    EXPECT_EQ(list.NthOfSameSample(subA, 2), nullptr);
}

TEST(RegionListTest, MixedInsertionsKeepTheOrderInvariant) {
    CRegionList list;
    const char* names[] = {"a", "B", "b", "A", "c", "Ab", "aB", "C"};
    uint32_t x = 7;
    for (int i = 0; i < 400; ++i) {
        x = x * 1103515245u + 12345u;
        bool folder = (x >> 20) % 3 == 0;
        list.Insert(new CRegion(names[(x >> 8) % 8], 0, 1, nullptr, folder ? uint32_t{RegionFolder} : 0u, i + 1, 0));
    }
    ASSERT_EQ(list.Count(), 400);
    for (int i = 1; i < list.Count(); ++i) {
        const CRegion* a = list.At(i - 1);
        const CRegion* b = list.At(i);
        ASSERT_FALSE(!a->IsFolder() && b->IsFolder()) << i;
        if (a->IsFolder() != b->IsFolder()) continue;
        int c = strcasecmp(a->GetName().c_str(), b->GetName().c_str());
        ASSERT_LE(c, 0) << i;
        if (c == 0) {
            ASSERT_LT(a->GetId(), b->GetId()) << i; // equals in insertion order
        }
    }
}
