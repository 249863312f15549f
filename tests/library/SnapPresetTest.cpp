#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/CDSPSnapList.h"
#include "library/CPresetList.h"

namespace {
float Value(const CParamBlock& b, int kind, int id) {
    float v = -12345.0f;
    b.Lookup(kind, id, v);
    return v;
}

std::vector<int> IdsOfKind(const CParamBlock& b, int kind) {
    std::vector<int> ids;
    for (int i = 0; i < b.kindCount; ++i)
        if (b.kinds[i] == kind)
            for (int j = 0; j < b.valueCounts[i]; ++j) ids.push_back(b.ids[i * CParamBlock::kMaxValues + j]);
    return ids;
}
} // namespace

TEST(SnapListTest, NewListHoldsOneFlatSnap) {
    CDSPSnapList list;
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.At(0)->GetName(), "Flat");
    EXPECT_EQ(list.GetCurrent(), 0);
    EXPECT_EQ(list.GetFavourite(), -1);
    const CParamBlock& p = list.At(0)->Params();
    EXPECT_EQ(p.kindCount, 4);
    EXPECT_EQ(Value(p, 0, 0), 1.0f);       // valve amplifier "Digital"
    EXPECT_EQ(Value(p, 0, 10), 50.0f);     // release
    EXPECT_EQ(Value(p, 0, 14), -12345.0f); // no Mono Check entry
    EXPECT_EQ(Value(p, 2, 6), 1.0f);       // compressor ratio 1
    EXPECT_EQ(Value(p, 1, 2), 20000.0f);
    EXPECT_EQ(Value(p, 3, 8), 900.0f);
    EXPECT_EQ(IdsOfKind(p, 1), (std::vector<int>{0, 1, 2, 13, 14, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15}));
    EXPECT_EQ(list.At(0)->Vst().GetEffectCount(), 0);
}

TEST(SnapListTest, AppendDeleteRenameAndFavourite) {
    CDSPSnapList list;
    EXPECT_FALSE(list.Delete(0));
    EXPECT_FALSE(list.Rename(0, "x"));
    list.Append(new CDSPSnap("Unnamed Snap"));
    list.Append(new CDSPSnap("Second"));
    EXPECT_EQ(list.GetCurrent(), 2);
    EXPECT_TRUE(list.Rename(1, "Renamed"));
    EXPECT_EQ(list.At(1)->GetName(), "Renamed");

    list.ToggleFavourite();
    EXPECT_EQ(list.GetFavourite(), 2);
    list.SetCurrent(1);
    EXPECT_EQ(list.SnapToApply(true), list.At(1));
    EXPECT_EQ(list.SnapToApply(false), list.At(2)); // browse mode takes the favourite
    std::vector<CDSPSnapList::Row> rows = list.Show();
    EXPECT_EQ(rows[1].image, CDSPSnapList::ImageCurrent);
    EXPECT_EQ(rows[2].image, CDSPSnapList::ImageFavourite);
    list.ToggleFavourite();
    EXPECT_EQ(list.GetFavourite(), 1);
    EXPECT_EQ(list.Show()[1].image, CDSPSnapList::ImageBoth);
    list.ToggleFavourite();
    EXPECT_EQ(list.GetFavourite(), -1);

    // Deleting past the current index pulls it back; a stale favourite is never applied.
    list.SetFavourite(2);
    list.SetCurrent(2);
    ASSERT_TRUE(list.Delete(2));
    EXPECT_EQ(list.GetCurrent(), 1);
    EXPECT_EQ(list.GetFavourite(), 2);
    EXPECT_FALSE(list.FavouriteValid());
    EXPECT_EQ(list.SnapToApply(false), nullptr);
    EXPECT_EQ(list.SnapToApply(true), list.At(1));
}

TEST(SnapListTest, CopiesAreDeep) {
    CDSPSnapList src;
    CDSPSnap* snap = new CDSPSnap("With chain");
    ASSERT_TRUE(snap->Vst().AddEffect("comp.so", 3, CVSTStatus::FlagBypassed, {0.25f, 0.5f}));
    snap->Vst().MutableSlot(0)->chunk = {1, 2, 3};
    src.Append(snap);
    src.SetFavourite(0);

    CDSPSnapList dst;
    dst.CopyFrom(src);
    ASSERT_EQ(dst.Count(), 2);
    EXPECT_EQ(dst.GetCurrent(), 1);
    EXPECT_EQ(dst.GetFavourite(), 0);
    snap->Vst().MutableSlot(0)->params[0] = 9.0f;
    snap->Vst().MutableSlot(0)->chunk[0] = 7;
    const CVSTStatus::Slot& copied = dst.At(1)->Vst().GetSlot(0);
    EXPECT_EQ(copied.params, (std::vector<float>{0.25f, 0.5f}));
    EXPECT_EQ(copied.chunk, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(copied.program, 3);

    CDSPSnap* clip = src.CopyOf(1);
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->Vst().GetSlot(0).params[0], 9.0f);
    delete clip;
    EXPECT_EQ(src.CopyOf(5), nullptr);

    CDSPSnapList dup;
    dup.Append(new CDSPSnap("Own"));
    dup.AppendCopiesFrom(src);
    ASSERT_EQ(dup.Count(), 3);
    EXPECT_EQ(dup.At(2)->GetName(), "With chain");
    EXPECT_EQ(dup.GetCurrent(), 2);
    dup.AppendCopiesFrom(dup);
    EXPECT_EQ(dup.Count(), 5);

    dst.Reset();
    EXPECT_EQ(dst.Count(), 1);
    EXPECT_EQ(dst.GetFavourite(), -1);
}

TEST(SnapListTest, PluginStateLimits) {
    CVSTStatus vst;
    for (int i = 0; i < 16; ++i) ASSERT_TRUE(vst.AddEffect("fx" + std::to_string(i) + ".so", 0, 0, {}));
    EXPECT_FALSE(vst.AddEffect("one-too-many.so", 0, 0, {}));
    EXPECT_EQ(vst.GetEffectCount(), 16);
    ASSERT_TRUE(vst.SetName(0, std::string(64, 'n')));
    EXPECT_EQ(vst.GetSlot(0).name, ""); // too long to keep
    ASSERT_TRUE(vst.SetName(0, std::string(63, 'n')));
    EXPECT_EQ(vst.GetSlot(0).name.size(), 63u);
    EXPECT_EQ(vst.MutableSlot(16), nullptr);
    EXPECT_EQ(vst.GetSlot(-1).name, "");
    vst.SetEffectCount(40);
    EXPECT_EQ(vst.GetEffectCount(), 16);
    vst.Clear();
    EXPECT_EQ(vst.GetEffectCount(), 0);
    EXPECT_EQ(vst.GetSlot(3).name, "");
}

TEST(PresetListTest, FactoryTable) {
    CPresetList list;
    list.CreateFactory();
    ASSERT_EQ(list.Count(), 31);
    EXPECT_EQ(list.UserCount(), 0);
    std::vector<int32_t> ids;
    for (int i = 0; i < list.Count(); ++i) ids.push_back(list.At(i)->GetId());
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], 101);
    EXPECT_EQ(ids[10], 110);
    EXPECT_EQ(ids[11], 201);
    EXPECT_EQ(ids[21], 301);
    EXPECT_EQ(ids[30], 310);

    const CDSPPreset* ep01 = list.FindById(102);
    ASSERT_NE(ep01, nullptr);
    EXPECT_EQ(ep01->GetName(), "EP01");
    EXPECT_EQ(ep01->GetFolder(), 5);
    EXPECT_TRUE(ep01->IsFactory());
    EXPECT_EQ(ep01->Params().kindCount, 1);
    EXPECT_EQ(IdsOfKind(ep01->Params(), 1), (std::vector<int>{0, 1, 2, 13, 14, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15}));
    EXPECT_EQ(Value(ep01->Params(), 1, 9), 10.0f);
    EXPECT_EQ(Value(ep01->Params(), 1, 15), -1.0f);
    EXPECT_EQ(Value(ep01->Params(), 1, 10), 0.0f);
    EXPECT_FLOAT_EQ(Value(ep01->Params(), 1, 7), 0.1f);

    const CDSPPreset* dp07 = list.FindById(208);
    EXPECT_EQ(Value(dp07->Params(), 2, 15), 5500.0f);
    EXPECT_EQ(Value(dp07->Params(), 2, 1), -60.0f);
    EXPECT_EQ(Value(list.FindById(301)->Params(), 3, 8), 2000.0f);
    EXPECT_EQ(Value(list.FindById(304)->Params(), 3, 5), -2.0f);
    EXPECT_EQ(IdsOfKind(list.FindById(304)->Params(), 3), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 9, 8}));

    const CDSPPreset* flatStack = list.FirstInFolder(PresetNode::StacksFactory);
    ASSERT_NE(flatStack, nullptr);
    EXPECT_EQ(flatStack->GetId(), 1);
    EXPECT_EQ(flatStack->Params().kindCount, 4);
    EXPECT_EQ(list.FirstInFolder(PresetNode::CompressorFactory)->GetId(), 201);
    EXPECT_EQ(list.InFolder(PresetNode::ImagerFactory).size(), 10u);
}

TEST(PresetListTest, UserPresetsAfterFactoryInNameOrder) {
    CPresetList list;
    list.CreateFactory();
    for (const char* name : {"beta", "Alpha", "gamma"}) {
        CDSPPreset* p = list.MakeUserPreset(PresetNode::EQ);
        ASSERT_NE(p, nullptr);
        list.Remove(p);
        p->SetName(name);
        list.InsertUser(p);
    }
    ASSERT_EQ(list.Count(), 34);
    EXPECT_EQ(list.At(31)->GetName(), "Alpha");
    EXPECT_EQ(list.At(32)->GetName(), "beta");
    EXPECT_EQ(list.At(33)->GetName(), "gamma");
    EXPECT_EQ(list.At(32)->GetId(), 1001);
    EXPECT_EQ(list.At(31)->GetId(), 1002);
    EXPECT_EQ(list.GetCounter(), 1003);
    EXPECT_EQ(list.UserCount(), 3);
    // A user preset named before every factory name still goes after them.
    CDSPPreset* early = new CDSPPreset("AAA", 5000, PresetNode::EQUser, CDSPPreset::FlagUser);
    list.InsertUser(early);
    EXPECT_EQ(list.At(31), early);
    EXPECT_EQ(list.At(30)->GetId(), 310);
}

TEST(PresetListTest, NodeRulesForNewPresets) {
    for (int n = 1; n <= 12; ++n) EXPECT_EQ(PresetNode::IsUserFolder(n), n % 3 == 0) << n;
    EXPECT_FALSE(PresetNode::IsUserFolder(0));
    EXPECT_EQ(PresetNode::Category(12), 3);
    EXPECT_EQ(PresetNode::Category(13), -1);

    CPresetList list;
    list.SetCounter(1500);
    const int expected[13] = {-1, 3, 3, 3, 6, 6, 6, 9, 9, 9, 12, 12, 12};
    for (int n = 1; n <= 12; ++n) {
        CDSPPreset* p = list.MakeUserPreset(n);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->GetFolder(), expected[n]);
        EXPECT_EQ(list.GetCurrentFolder(), expected[n]);
        EXPECT_EQ(p->GetName(), "Unnamed");
        EXPECT_TRUE(p->IsUser());
        EXPECT_EQ(p->GetId(), 1500 + n);
    }
    EXPECT_EQ(list.MakeUserPreset(0), nullptr);
    EXPECT_EQ(list.MakeUserPreset(13), nullptr);
    EXPECT_EQ(list.GetCounter(), 1512);
}
