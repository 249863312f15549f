// Snaps and presets on the core's processors: what a taken snap and a made preset store, the
// snap list's clipboard rules, the favourite in browse mode, and the user presets' order and
// their rename and delete only in User folders.
#include <gtest/gtest.h>

#include <memory>

#include "common/MainThreadPort.h"
#include "core/CCore.h"
#include "core/SnapCommands.h"
#include "dsp/CCompressor.h"
#include "dsp/CDataInputElement.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CStereoImager.h"
#include "dsp/CTubeAmp.h"
#include "library/CDSPPreset.h"
#include "library/CDSPSnap.h"
#include "library/CPresetList.h"
#include "library/CRegion.h"
#include "support/ScriptedUiPort.h"

namespace {

struct SnapRig {
    ScriptedUiPort ui;
    MainThreadPort port;
    CCore core{ui, port};
    std::unique_ptr<SnapCommands> snaps;
    CRegion region{"r", 0, 100000, nullptr, 0, 1, 1};

    SnapRig() {
        CoreOptions options;
        options.withLibrary = false;
        options.withSoundCards = false;
        EXPECT_EQ(core.Start(options), CCore::StartResult::Running);
        snaps = std::make_unique<SnapCommands>(core);
    }
    ~SnapRig() { core.Stop(); }

    float Value(int kind, int id) { return core.Processor(kind)->FindControl(id)->Value(); }
    void Set(int kind, int id, float v) {
        std::string error;
        ASSERT_TRUE(core.SetParameter(kind, id, v, error)) << error;
    }
};

} // namespace

TEST(SnapCommands, TakeSnapStoresTheFourProcessorsInOrderAndApplies) {
    SnapRig rig;
    rig.Set(1, 15, -4.0f);
    rig.Set(2, 5, -30.0f);
    CDSPSnap* s = rig.snaps->TakeSnap(rig.region, true);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetName(), "Unnamed Snap");
    ASSERT_EQ(rig.region.Snaps().Count(), 2);
    EXPECT_EQ(rig.region.Snaps().GetCurrent(), 1);
    const CParamBlock& p = s->Params();
    ASSERT_EQ(p.kindCount, 4);
    EXPECT_EQ(p.kinds[0], 1);
    EXPECT_EQ(p.kinds[1], 2);
    EXPECT_EQ(p.kinds[2], 3);
    EXPECT_EQ(p.kinds[3], 0);
    float v = 0;
    ASSERT_TRUE(p.Lookup(1, 15, v));
    EXPECT_EQ(v, -4.0f);
    ASSERT_TRUE(p.Lookup(2, 5, v));
    EXPECT_EQ(v, -30.0f);
    EXPECT_EQ(s->Vst().GetEffectCount(), 0); // no plug-in chain is hosted

    // Picking "Flat" applies it, picking the snap brings the settings back.
    ASSERT_TRUE(rig.snaps->Pick(rig.region, 0, true));
    EXPECT_EQ(rig.Value(1, 15), 0.0f);
    EXPECT_EQ(rig.Value(2, 5), -20.0f);
    ASSERT_TRUE(rig.snaps->Pick(rig.region, 1, true));
    EXPECT_EQ(rig.Value(1, 15), -4.0f);
    EXPECT_FALSE(rig.snaps->Pick(rig.region, 2, true));
}

TEST(SnapCommands, ClipboardRules) {
    SnapRig rig;
    EXPECT_FALSE(rig.snaps->HasClipboard());
    EXPECT_FALSE(rig.snaps->Paste(rig.region));
    // The first snap can be copied but never cut, deleted or renamed.
    EXPECT_FALSE(SnapCommands::CanCutOrDelete(&rig.region, 0));
    EXPECT_FALSE(rig.snaps->Cut(rig.region, 0));
    EXPECT_FALSE(rig.snaps->Delete(rig.region, 0));
    EXPECT_FALSE(rig.snaps->Rename(rig.region, 0, "x"));
    ASSERT_TRUE(rig.snaps->Copy(rig.region, 0));
    EXPECT_TRUE(rig.snaps->HasClipboard());
    EXPECT_EQ(rig.region.Snaps().Count(), 1);

    rig.Set(1, 15, 3.0f);
    rig.snaps->TakeSnap(rig.region, true);
    ASSERT_TRUE(rig.snaps->Rename(rig.region, 1, "Mine"));
    EXPECT_TRUE(SnapCommands::CanCutOrDelete(&rig.region, 1));
    ASSERT_TRUE(rig.snaps->Cut(rig.region, 1));
    EXPECT_EQ(rig.region.Snaps().Count(), 1);
    EXPECT_EQ(rig.region.Snaps().GetCurrent(), 0); // past the end: back to the last
    EXPECT_EQ(rig.snaps->Clipboard()->GetName(), "Mine");
    // One snap held: a paste appends a copy each time, which becomes current.
    ASSERT_TRUE(rig.snaps->Paste(rig.region));
    ASSERT_TRUE(rig.snaps->Paste(rig.region));
    ASSERT_EQ(rig.region.Snaps().Count(), 3);
    EXPECT_EQ(rig.region.Snaps().GetCurrent(), 2);
    EXPECT_NE(rig.region.Snaps().At(1), rig.region.Snaps().At(2));
    float v = 0;
    ASSERT_TRUE(rig.region.Snaps().At(2)->Params().Lookup(1, 15, v));
    EXPECT_EQ(v, 3.0f);
    // A copy replaces the clipboard's snap.
    ASSERT_TRUE(rig.snaps->Copy(rig.region, 0));
    EXPECT_EQ(rig.snaps->Clipboard()->GetName(), "Flat");
    EXPECT_FALSE(rig.snaps->Copy(rig.region, 7));
    EXPECT_EQ(rig.snaps->Clipboard()->GetName(), "Flat");
}

TEST(SnapCommands, FavouriteIsAppliedInBrowseModeAndCurrentInEditMode) {
    SnapRig rig;
    rig.Set(1, 15, 5.0f);
    rig.snaps->TakeSnap(rig.region, true); // 1: +5
    rig.snaps->Favorite(rig.region);
    EXPECT_EQ(rig.region.Snaps().GetFavourite(), 1);
    rig.Set(1, 15, -5.0f);
    rig.snaps->TakeSnap(rig.region, true); // 2: −5, current
    ASSERT_TRUE(rig.core.ApplyRegionSnap(rig.region, false));
    EXPECT_EQ(rig.Value(1, 15), 5.0f);
    ASSERT_TRUE(rig.core.ApplyRegionSnap(rig.region, true));
    EXPECT_EQ(rig.Value(1, 15), -5.0f);
    // "Favorite" on the favourite clears it.
    rig.region.Snaps().SetCurrent(1);
    rig.snaps->Favorite(rig.region);
    EXPECT_EQ(rig.region.Snaps().GetFavourite(), -1);
    // A favourite that a delete left pointing past the end is not applied.
    rig.region.Snaps().SetCurrent(2);
    rig.snaps->Favorite(rig.region);
    ASSERT_TRUE(rig.snaps->Delete(rig.region, 2));
    EXPECT_FALSE(rig.region.Snaps().FavouriteValid());
    rig.Set(1, 15, 1.0f);
    EXPECT_FALSE(rig.core.ApplyRegionSnap(rig.region, false));
    EXPECT_EQ(rig.Value(1, 15), 1.0f);
}

TEST(SnapCommands, MakePresetStoresTheKindsOfItsNode) {
    SnapRig rig;
    rig.Set(3, 6, 3.0f);
    CDSPPreset* stack = rig.snaps->MakePreset(PresetNode::Stacks);
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(stack->GetName(), "Unnamed");
    EXPECT_EQ(stack->GetFolder(), 3);
    EXPECT_EQ(stack->GetId(), 1001);
    EXPECT_TRUE(stack->IsUser());
    ASSERT_EQ(stack->Params().kindCount, 4);
    EXPECT_EQ(stack->Params().kinds[0], 1);
    EXPECT_EQ(stack->Params().kinds[3], 0);
    struct Case {
        int node, folder, kind;
    };
    for (Case c : {Case{5, 6, 1}, Case{9, 9, 2}, Case{10, 12, 3}}) {
        CDSPPreset* p = rig.snaps->MakePreset(c.node);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->GetFolder(), c.folder);
        ASSERT_EQ(p->Params().kindCount, 1);
        EXPECT_EQ(p->Params().kinds[0], c.kind);
        EXPECT_EQ(rig.core.PresetList()->GetCurrentFolder(), c.folder);
    }
    float v = 0;
    ASSERT_TRUE(rig.core.PresetList()->InFolder(12).at(0)->Params().Lookup(3, 6, v));
    EXPECT_EQ(v, 3.0f);
    EXPECT_EQ(rig.snaps->MakePreset(13), nullptr);
    EXPECT_EQ(rig.core.PresetList()->GetCounter(), 1004);

    // "Flat EQ" applies the EQ's factory "Flat" and nothing else.
    rig.Set(1, 15, 4.0f);
    ASSERT_TRUE(rig.snaps->ApplyFlat(PresetNode::EQFactory));
    EXPECT_EQ(rig.Value(1, 15), 0.0f);
    EXPECT_EQ(rig.Value(3, 6), 3.0f);
}

TEST(SnapCommands, UserPresetsInNameOrderEditableOnlyInUserFolders) {
    SnapRig rig;
    CPresetList& list = *rig.core.PresetList();
    for (const char* name : {"beta", "Alpha", "gamma"}) {
        CDSPPreset* p = rig.snaps->MakePreset(PresetNode::EQUser);
        ASSERT_TRUE(rig.snaps->RenamePreset(p, name));
    }
    std::vector<CDSPPreset*> eq = list.InFolder(PresetNode::EQUser);
    ASSERT_EQ(eq.size(), 3u);
    EXPECT_EQ(eq[0]->GetName(), "Alpha");
    EXPECT_EQ(eq[1]->GetName(), "beta");
    EXPECT_EQ(eq[2]->GetName(), "gamma");
    // After every factory preset.
    int firstUser = -1;
    for (int i = 0; i < list.Count(); ++i)
        if (firstUser < 0 && list.At(i)->IsUser()) firstUser = i;
    for (int i = firstUser; i < list.Count(); ++i) EXPECT_TRUE(list.At(i)->IsUser());
    EXPECT_EQ(firstUser, 31);

    // Factory presets are read-only, and nothing is edited while a factory folder is current.
    CDSPPreset* ep01 = list.FindById(102);
    list.SetCurrentFolder(PresetNode::EQFactory);
    EXPECT_FALSE(rig.snaps->RenamePreset(ep01, "x"));
    EXPECT_FALSE(rig.snaps->DeletePreset(eq[0]));
    EXPECT_FALSE(rig.snaps->RenamePreset(eq[0], "x"));
    list.SetCurrentFolder(PresetNode::EQUser);
    EXPECT_FALSE(rig.snaps->DeletePreset(ep01));
    ASSERT_TRUE(rig.snaps->DeletePreset(eq[1]));
    EXPECT_EQ(list.InFolder(PresetNode::EQUser).size(), 2u);
    EXPECT_EQ(list.FindById(102), ep01);
}
