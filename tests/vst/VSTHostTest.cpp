// The VST host against its own test plug-ins: acceptance and its six messages, the plug-in scan,
// the start-up calls and the host's answers, the dock's dispatcher calls, the processing rules
// (replacing, accumulating, a throwing plug-in, pieces of at most 4,096 frames, the floating-point
// control), the chain's list operations, active states sent only on change, the sample rate, and
// snaps with empty, full and chunk-carrying chains.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <xmmintrin.h>

#include "VSTTestSupport.h"
#include "common/MainThreadPort.h"
#include "common/TransportState.h"
#include "core/CCore.h"
#include "core/SnapCommands.h"
#include "core/VSTSnap.h"
#include "dsp/CDSPStack.h"
#include "library/CDSPSnap.h"
#include "library/CRegion.h"
#include "library/CVSTFolders.h"
#include "library/CVSTStatus.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"
#include "vst/CVSTEffect.h"
#include "vst/CVSTEffectList.h"
#include "vst/CVSTHost.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kFolders = {kPluginDir};

std::vector<float> Ramp(int n, float scale = 1.0f) {
    std::vector<float> v(n);
    for (int i = 0; i < n; ++i) v[i] = scale * static_cast<float>((i % 200) - 100) / 128.0f;
    return v;
}

void Touch(const fs::path& p, const std::string& text = "") {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text;
}

} // namespace

TEST(VSTHost, TestLoadGivesEachResultWithItsMessage) {
    TempDir dir;
    Touch(dir / "broken.so", "not a library");
    const std::vector<std::string> folders = {dir.Str(), kPluginDir};
    struct Case {
        const char* name;
        int result;
        const char* message;
    } cases[] = {
        {"tp-gain.so", CVSTHost::Ok, ""},
        {"TP-Gain.SO", CVSTHost::Ok, ""},  // found without regard to case
        {"tp-accum.so", CVSTHost::Ok, ""}, // in a sub-folder, entry point "main"
        {"broken.so", -1, "Can't load DLL."},
        {"missing.so", -1, "Can't load DLL."},
        {"tp-noentry.so", -2, "Can't find main proc inside DLL."},
        {"tp-null.so", -3, "Can't find effect inside DLL."},
        {"tp-badmagic.so", -4, "Can't find VST magic ID inside DLL."},
        {"tp-noeditor.so", -5, "This VST had no editor and can't be used."},
        {"tp-synth.so", -6, "This VST needs MIDI data and can't be used."},
    };
    for (const Case& c : cases) {
        const int r = CVSTHost::TestLoad(folders, c.name);
        EXPECT_EQ(r, c.result) << c.name;
        EXPECT_STREQ(CVSTHost::Message(r), c.message) << c.name;
    }
    // A refused instance is let go again, and it never enters a chain.
    TestProbe* noEditor = Probe("tp-noeditor.so");
    ASSERT_NE(noEditor, nullptr);
    EXPECT_EQ(noEditor->closed.load(), noEditor->instances.load());
    CVSTEffectList chain;
    chain.SetFolders(folders);
    int result = 0;
    EXPECT_EQ(chain.AddEffect("tp-synth.so", result), nullptr);
    EXPECT_EQ(result, CVSTHost::NeedsMidi);
    EXPECT_EQ(chain.AddEffect("tp-noeditor.so", result), nullptr);
    EXPECT_EQ(result, CVSTHost::NoEditor);
    EXPECT_EQ(chain.Count(), 0);
}

TEST(VSTHost, ScanListsSharedObjectsOfEveryFolderAndSubFolderInOrder) {
    TempDir a, b;
    Touch(a / "one.so");
    Touch(a / "readme.txt");
    Touch(a / "deep" / "er" / "two.so.1");
    Touch(a / "skipped.so."); // a name ending in "." is passed over
    Touch(b / "three.so");
    const std::vector<std::string> names = CVSTHost::ScanPlugins({a.Str(), "/no/such/folder", b.Str()});
    ASSERT_EQ(names.size(), 3u);
    // Folder order first: both of the first folder's names come before the second's.
    EXPECT_EQ(names[2], "three.so");
    EXPECT_TRUE((names[0] == "one.so" && names[1] == "two.so.1") || (names[0] == "two.so.1" && names[1] == "one.so"));
    // The first folder that holds a name wins, searched into its sub-folders.
    Touch(b / "two.so.1");
    EXPECT_EQ(CVSTHost::FindPlugin({a.Str(), b.Str()}, "TWO.so.1"), (a / "deep" / "er" / "two.so.1").string());
    EXPECT_EQ(CVSTHost::FindPlugin({a.Str()}, "three.so"), "");
}

TEST(VSTEffect, LoadSendsTheStartUpCallsInOrderAndTheHostAnswers) {
    TestProbe* p = Probe("tp-gain.so");
    ASSERT_NE(p, nullptr);
    p->Reset();
    const fs::path cwd = fs::current_path();
    {
        CVSTEffect e("tp-gain.so");
        ASSERT_EQ(e.Load(kFolders), CVSTHost::Ok);
        EXPECT_EQ(fs::current_path(), cwd); // loading never changes the process's folder
        using namespace vst2;
        EXPECT_EQ(Opcodes(*p),
                  (std::vector<int>{effOpen, effSetSampleRate, effSetBlockSize, effMainsChanged, effEditGetRect}));
        EXPECT_EQ(p->calls[1].opt, 44100.0f);
        EXPECT_EQ(p->calls[2].value, 16384);
        EXPECT_EQ(p->calls[3].value, 1);
        EXPECT_EQ(e.EditorWidth(), 300);
        EXPECT_EQ(e.EditorHeight(), 100);
        EXPECT_FALSE(e.Active()); // the main timer's state starts off
        EXPECT_EQ(p->hostVersion, 2400);
        EXPECT_EQ(p->hostBlock, 16384);
        EXPECT_STREQ(p->vendor, "Orbeline");
        EXPECT_STREQ(p->product, "Sonquil");
        EXPECT_EQ(p->canSupplyIdle, 1);
        EXPECT_EQ(p->canOther, 0);
        EXPECT_EQ(p->hostUnknown, 0);
        p->Reset();
    }
    // Unloading: suspended, closed.
    EXPECT_EQ(Opcodes(*p), (std::vector<int>{vst2::effMainsChanged, vst2::effClose}));
    EXPECT_EQ(p->calls[0].value, 0);
    EXPECT_EQ(p->closed.load(), 1);
}

TEST(VSTEffect, DockCallsProgramsAndNames) {
    TestProbe* p = Probe("tp-gain.so");
    CVSTEffect idle("tp-gain.so");
    EXPECT_EQ(idle.ListName(), "tp-gain"); // not loaded: the file name without ".so"
    EXPECT_FALSE(idle.EditOpen(1));
    CVSTEffect longName(std::string(64, 'x') + ".so");
    EXPECT_EQ(longName.Name(), "");

    CVSTEffect e("tp-gain.so");
    ASSERT_EQ(e.Load(kFolders), CVSTHost::Ok);
    p->Reset();
    EXPECT_TRUE(e.EditOpen(0x2a0001));
    EXPECT_EQ(p->editorWindow, 0x2a0001);
    EXPECT_TRUE(e.Flags() & CVSTEffect::FlagEditorOpen);
    e.EditIdle();
    e.EditClose();
    e.EditIdle(); // closed: no idle call
    e.EditClose();
    EXPECT_EQ(Opcodes(*p), (std::vector<int>{vst2::effEditOpen, vst2::effEditIdle, vst2::effEditClose}));
    EXPECT_FALSE(e.Flags() & CVSTEffect::FlagEditorOpen);

    EXPECT_EQ(e.EffectName(), "Test gain");
    EXPECT_EQ(e.ListName(), "Test gain");
    EXPECT_EQ(e.ProgramCount(), 3);
    std::string name;
    EXPECT_TRUE(e.ProgramName(1, name));
    EXPECT_EQ(name, "Half");
    EXPECT_FALSE(e.ProgramName(7, name));
    e.SetProgram(2);
    EXPECT_EQ(e.GetProgram(), 2);
    EXPECT_EQ(e.GetParameter(0), 0.25f);
    e.SetParameter(0, 0.75f);
    EXPECT_EQ(e.GetParameter(0), 0.75f);
    e.SetParameter(5, 1.0f); // beyond the plug-in's count: not passed on
    EXPECT_EQ(e.ParameterName(0), "Gain");
    EXPECT_FALSE(e.ChunkCapable());
}

TEST(VSTEffect, ProcessingRulesPiecesAndTheFloatingPointControl) {
    const int n = 10000; // more than two pieces
    const std::vector<float> l = Ramp(n), r = Ramp(n, -0.5f);
    std::vector<float> ol(n), orr(n);

    // processReplacing, in pieces of at most 4,096 frames, every frame once.
    TestProbe* gp = Probe("tp-gain.so");
    CVSTEffect gain("tp-gain.so");
    ASSERT_EQ(gain.Load(kFolders), CVSTHost::Ok);
    gain.SetParameter(0, 0.5f);
    gp->Reset();
    // The caller's control: divide-by-zero unmasked, round to nearest. The plug-in divides by
    // zero and switches to rounding toward zero; neither may reach us.
    const unsigned before = _mm_getcsr();
    _mm_setcsr(before & ~0x0200u);
    const unsigned ours = _mm_getcsr();
    gain.Process(l.data(), r.data(), ol.data(), orr.data(), n);
    const unsigned after = _mm_getcsr();
    _mm_setcsr(before);
    EXPECT_EQ(after & ~0x3Fu, ours & ~0x3Fu);
    EXPECT_EQ(gp->maxBlock.load(), 4096);
    EXPECT_EQ(gp->frames.load(), n);
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(ol[i], l[i] * 0.5f) << i;
        ASSERT_EQ(orr[i], r[i] * 0.5f) << i;
    }

    // The old accumulating call: the outputs are zeroed first, whatever they held.
    CVSTEffect accum("tp-accum.so");
    ASSERT_EQ(accum.Load(kFolders), CVSTHost::Ok);
    accum.SetParameter(0, 0.25f);
    std::fill(ol.begin(), ol.end(), 7.0f);
    std::fill(orr.begin(), orr.end(), -3.0f);
    accum.Process(l.data(), r.data(), ol.data(), orr.data(), n);
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(ol[i], l[i] * 0.25f) << i;
        ASSERT_EQ(orr[i], r[i] * 0.25f) << i;
    }

    // A plug-in that throws passes the block through unchanged; so does one not loaded yet.
    CVSTEffect throws("tp-throws.so");
    ASSERT_EQ(throws.Load(kFolders), CVSTHost::Ok);
    std::fill(ol.begin(), ol.end(), 7.0f);
    throws.Process(l.data(), r.data(), ol.data(), orr.data(), n);
    EXPECT_EQ(ol, l);
    EXPECT_EQ(orr, r);
    CVSTEffect unloaded("tp-gain.so");
    std::fill(ol.begin(), ol.end(), 7.0f);
    unloaded.Process(l.data(), r.data(), ol.data(), orr.data(), n);
    EXPECT_EQ(ol, l);
}

TEST(VSTEffectList, ListOperationsAndMovesAtTheEnds) {
    CVSTEffectList chain;
    chain.SetFolders(kFolders);
    int result = 0;
    CVSTEffect* a = chain.AddEffect("tp-gain.so", result);
    CVSTEffect* b = chain.AddEffect("tp-throws.so", result);
    CVSTEffect* c = chain.AddEffect("tp-chunks.so", result);
    ASSERT_TRUE(a && b && c);
    auto order = [&] {
        std::vector<CVSTEffect*> v;
        for (int i = 0; i < chain.Count(); ++i) v.push_back(chain.Get(i));
        return v;
    };
    EXPECT_FALSE(chain.MoveUp(0));
    EXPECT_FALSE(chain.MoveDown(2));
    EXPECT_FALSE(chain.MoveUp(3));
    EXPECT_EQ(order(), (std::vector<CVSTEffect*>{a, b, c}));
    EXPECT_TRUE(chain.MoveUp(2));
    EXPECT_EQ(order(), (std::vector<CVSTEffect*>{a, c, b}));
    EXPECT_TRUE(chain.MoveDown(0));
    EXPECT_EQ(order(), (std::vector<CVSTEffect*>{c, a, b}));
    CVSTEffect* d = chain.Insert(1, std::make_unique<CVSTEffect>("tp-gain.so"));
    CVSTEffect* e = chain.Insert(-1, std::make_unique<CVSTEffect>("tp-gain.so"));
    EXPECT_EQ(order(), (std::vector<CVSTEffect*>{c, d, a, b, e}));
    EXPECT_EQ(chain.Get(5), nullptr);
    EXPECT_EQ(chain.Get(-1), nullptr);
    EXPECT_EQ(chain.Load(1), CVSTHost::Ok);
    EXPECT_TRUE(d->Loaded());
    EXPECT_EQ(chain.Load(9), CVSTHost::CantLoad);
    EXPECT_EQ(chain.LoadAll(), CVSTHost::Ok);
    EXPECT_TRUE(e->Loaded());

    // Remove keeps the effect alive; remove-and-destroy unloads it.
    std::unique_ptr<CVSTEffect> taken = chain.Remove(0);
    EXPECT_EQ(taken.get(), c);
    EXPECT_TRUE(taken->Loaded());
    TestProbe* tp = Probe("tp-throws.so");
    const int closedBefore = tp->closed.load();
    int hooked = 0;
    chain.SetCloseHook([&](CVSTEffect&) { ++hooked; });
    chain.RemoveAndDestroy(2); // b
    EXPECT_EQ(tp->closed.load(), closedBefore + 1);
    EXPECT_EQ(hooked, 1);
    EXPECT_EQ(order(), (std::vector<CVSTEffect*>{d, a, e}));
    chain.DestroyAll();
    EXPECT_EQ(chain.Count(), 0);
    EXPECT_EQ(hooked, 4);
}

namespace {

struct CoreRig {
    ScriptedUiPort ui;
    MainThreadPort port;
    CCore core{ui, port};
    CoreRig() {
        CoreOptions options;
        options.withLibrary = false;
        options.withSoundCards = false;
        EXPECT_EQ(core.Start(options), CCore::StartResult::Running);
        core.VSTFolders()->Add(kPluginDir);
    }
    ~CoreRig() { core.Stop(); }
    CVSTEffectList& Chain() { return *core.VSTChain(); }
    void Set(int kind, int id, float v) {
        std::string error;
        ASSERT_TRUE(core.SetParameter(kind, id, v, error)) << error;
    }
};

} // namespace

TEST(VSTEffectList, TheMainTimerSendsActiveStatesOnlyOnChangeAndIdlesOpenEditors) {
    CoreRig rig;
    int result = 0;
    CVSTEffect* e = rig.Chain().AddEffect("tp-gain.so", result); // from the core's folder list
    ASSERT_NE(e, nullptr);
    TestProbe* p = Probe("tp-gain.so");
    p->Reset();
    CDSPStack& stack = *rig.core.Stack();
    stack.PanelTick(kTransportStopped);
    stack.PanelTick(kTransportStopped);
    EXPECT_EQ(Mains(*p), (std::vector<int>{1})); // the first tick's state, then nothing new
    e->SetBypassed(true);
    stack.PanelTick(kTransportStopped);
    stack.PanelTick(kTransportStopped);
    EXPECT_EQ(Mains(*p), (std::vector<int>{1, 0}));
    // Bypass Dsp engaged keeps it off after the effect's own bypass is lifted.
    rig.Set(0, 2, 0.0f);
    e->SetBypassed(false);
    stack.PanelTick(kTransportStopped);
    EXPECT_EQ(Mains(*p), (std::vector<int>{1, 0}));
    rig.Set(0, 2, 1.0f);
    stack.PanelTick(kTransportStopped);
    EXPECT_EQ(Mains(*p), (std::vector<int>{1, 0, 1}));
    // Idle only while the editor is open.
    const int before = p->callCount.load();
    stack.PanelTick(kTransportStopped);
    EXPECT_EQ(Opcodes(*p, before).size(), 0u);
    e->EditOpen(7);
    stack.PanelTick(kTransportStopped);
    EXPECT_EQ(Opcodes(*p, before), (std::vector<int>{vst2::effEditOpen, vst2::effEditIdle}));
}

TEST(VSTEffectList, TheRateIsToldBetweenRunsAndBackToIdleWhenStopped) {
    CoreRig rig;
    int result = 0;
    ASSERT_NE(rig.Chain().AddEffect("tp-gain.so", result), nullptr);
    TestProbe* p = Probe("tp-gain.so");
    p->Reset();
    rig.Chain().SetSampleRate(48000.0);
    using namespace vst2;
    EXPECT_EQ(Opcodes(*p), (std::vector<int>{effMainsChanged, effSetSampleRate, effMainsChanged}));
    EXPECT_EQ(p->calls[0].value, 0);
    EXPECT_EQ(p->calls[1].opt, 48000.0f);
    EXPECT_EQ(p->calls[2].value, 1);
    EXPECT_EQ(CVSTHost::Callback(nullptr, audioMasterGetSampleRate, 0, 0, nullptr, 0.0f), 48000);
    rig.Chain().SetSampleRate(48000.0); // unchanged: nothing sent
    EXPECT_EQ(p->callCount.load(), 3);
    // An effect loaded meanwhile starts at the rate of the moment.
    ASSERT_NE(rig.Chain().AddEffect("tp-gain.so", result), nullptr);
    EXPECT_EQ(p->calls[4].opcode, effSetSampleRate);
    EXPECT_EQ(p->calls[4].opt, 48000.0f);
    // The main timer's stopped transport brings back 44,100 Hz.
    rig.core.VSTTick(kTransportPlaying);
    EXPECT_EQ(CVSTHost::SampleRate(), 48000.0);
    rig.core.VSTTick(kTransportStopped);
    EXPECT_EQ(CVSTHost::SampleRate(), 44100.0);
    EXPECT_EQ(p->rate.load(), 44100.0f);
}

TEST(VSTSnap, EmptyAndSixteenEffectChainsComeBackWithTheSnap) {
    CoreRig rig;
    SnapCommands snaps(rig.core);
    CRegion region{"r", 0, 100000, nullptr, 0, 1, 1};
    // Seventeen effects: the snap keeps the first 16.
    for (int i = 0; i < 17; ++i) {
        int result = 0;
        CVSTEffect* e = rig.Chain().AddEffect("tp-gain.so", result);
        ASSERT_NE(e, nullptr);
        e->SetProgram(i % 3);
        e->SetParameter(0, static_cast<float>(i) / 32.0f);
        e->SetBypassed(i % 2 == 1);
        e->SetCollapsed(i % 4 == 2);
    }
    CDSPSnap* full = snaps.TakeSnap(region, true);
    const CVSTStatus& vst = full->Vst();
    ASSERT_EQ(vst.GetEffectCount(), 16);
    for (int i = 0; i < 16; ++i) {
        const CVSTStatus::Slot& s = vst.GetSlot(i);
        EXPECT_EQ(s.name, "tp-gain.so");
        EXPECT_EQ(s.program, i % 3);
        EXPECT_EQ(s.flags, (i % 2 == 1 ? 1 : 0) | (i % 4 == 2 ? 2 : 0));
        EXPECT_EQ(s.params, std::vector<float>{static_cast<float>(i) / 32.0f});
        EXPECT_TRUE(s.chunk.empty());
    }
    // Taking the snap applied it: the chain is the 16 it holds.
    ASSERT_EQ(rig.Chain().Count(), 16);

    // An empty chain's snap empties the chain; picking the full one brings all 16 back.
    rig.Chain().DestroyAll();
    snaps.TakeSnap(region, true);
    EXPECT_EQ(region.Snaps().At(2)->Vst().GetEffectCount(), 0);
    int result = 0;
    rig.Chain().AddEffect("tp-throws.so", result);
    ASSERT_TRUE(snaps.Pick(region, 2, true));
    EXPECT_EQ(rig.Chain().Count(), 0);
    ASSERT_TRUE(snaps.Pick(region, 1, true));
    ASSERT_EQ(rig.Chain().Count(), 16);
    for (int i = 0; i < 16; ++i) {
        CVSTEffect* e = rig.Chain().Get(i);
        ASSERT_TRUE(e->Loaded());
        EXPECT_EQ(e->GetProgram(), i % 3);
        // The parameters are set after the program, so the program's gain does not win.
        EXPECT_EQ(e->GetParameter(0), static_cast<float>(i) / 32.0f);
        EXPECT_EQ(e->Bypassed(), i % 2 == 1);
        EXPECT_EQ(e->Collapsed(), i % 4 == 2);
    }
    EXPECT_FALSE(rig.Chain().Rebuilding());
}

TEST(VSTSnap, AStoredChunkIsGivenOnlyWhenItsBitIsSetAndTakingStoresNone) {
    CoreRig rig;
    TestProbe* p = Probe("more/tp-chunks.so");
    ASSERT_NE(p, nullptr);
    CVSTStatus status;
    status.AddEffect("tp-chunks.so", 1, CVSTStatus::FlagChunk, {0.5f, 0.125f});
    status.AddEffect("tp-chunks.so", 0, 0, {});
    status.MutableSlot(0)->chunk = {9, 8, 7};
    status.MutableSlot(1)->chunk = {1, 1};
    p->Reset();
    EXPECT_EQ(ApplyVSTChain(rig.Chain(), status), 0);
    ASSERT_EQ(rig.Chain().Count(), 2);
    EXPECT_EQ(p->chunkSize, 3); // only the first slot's chunk, bit 2 set
    EXPECT_EQ(p->chunk[0], 9);
    EXPECT_EQ(p->chunk[2], 7);
    EXPECT_EQ(rig.Chain().Get(0)->GetParameter(1), 0.125f);
    CVSTStatus taken;
    StoreVSTChain(rig.Chain(), taken);
    ASSERT_EQ(taken.GetEffectCount(), 2);
    EXPECT_EQ(taken.GetSlot(0).flags & CVSTStatus::FlagChunk, 0);
    EXPECT_TRUE(taken.GetSlot(0).chunk.empty());
    EXPECT_EQ(taken.GetSlot(0).params.size(), 2u);
    // A plug-in that is no longer there stays in the chain, unloaded.
    CVSTStatus gone;
    gone.AddEffect("uninstalled.so", 0, 0, {0.5f});
    EXPECT_EQ(ApplyVSTChain(rig.Chain(), gone), 1);
    ASSERT_EQ(rig.Chain().Count(), 1);
    EXPECT_FALSE(rig.Chain().Get(0)->Loaded());
}
