// The region editing commands on a core with a library and its engine: the delete questions
// and what each answer removes (regions, samples, stored files and peak files, never a linked
// file), duplicates of root regions, regions from ranges, clones dry and wet checked sample by
// sample against sonquil-cli's render of the same file and settings, an aborted clone, and a
// delete while the play list plays what is deleted.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "audiofile/AudioFileFactory.h"
#include "audiofile/PeakRebuild.h"
#include "common/MainThreadPort.h"
#include "core/CCore.h"
#include "core/RegionEditing.h"
#include "dsp/CParaEQ4B.h"
#include "engine/AudioIOThread.h"
#include "engine/CPlayList.h"
#include "engine/DeviceChoice.h"
#include "engine/NullDevice.h"
#include "engine/CRenderTarget.h"
#include "engine/CTransport.h"
#include "library/CDSPPreset.h"
#include "library/CDSPSnap.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "library/CVDisk.h"
#include "support/AudioFiles.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t kFrames = 30000;

std::vector<float> TestSignal(int64_t frames) {
    std::vector<float> pcm(static_cast<size_t>(2 * frames));
    for (int64_t i = 0; i < frames; ++i) {
        pcm[static_cast<size_t>(2 * i)] = static_cast<float>((i * 7919) % 20000 - 10000) / 14000.0f;
        pcm[static_cast<size_t>(2 * i + 1)] = static_cast<float>((i * 104729 + 77) % 20000 - 10000) / 15000.0f;
    }
    return pcm;
}

std::vector<int32_t> ReadInts(const std::string& folder, const std::string& name) {
    std::string error;
    int32_t code = -1;
    std::unique_ptr<AudioFile> f = OpenAudioFileByProbe(folder, name, nullptr, code, error);
    std::vector<int32_t> out;
    if (!f) return out;
    std::vector<int32_t> buf(2 * 4096);
    for (;;) {
        const int32_t got = f->ReadInt(buf.data(), 4096);
        if (got <= 0) break;
        out.insert(out.end(), buf.begin(), buf.begin() + 2 * got);
    }
    return out;
}

struct Rig {
    TempDir dir;
    ScriptedUiPort ui;
    MainThreadPort port;
    std::unique_ptr<CCore> core = std::make_unique<CCore>(ui, port);
    std::unique_ptr<RegionEditing> edit;
    std::vector<CRegion*> removed;
    std::string vdisk;

    Rig() {
        fs::create_directories(dir / "store");
        ui.folderAnswers = {(dir / "store").string()};
        CoreOptions options;
        options.baseFolder = dir.Path();
        options.withSoundCards = false;
        EXPECT_EQ(core->Start(options), CCore::StartResult::Running);
        CVDisk::Table().FolderOf(CVDisk::Table().CurrentSerial(), vdisk);
        ui.messages.clear();
        edit = std::make_unique<RegionEditing>(*core);
        edit->SetRemoveHook([this](CRegion* r) { removed.push_back(r); });
    }
    ~Rig() { core->Stop(); }

    CRegionList& Regions() { return *core->RegionList(); }
    CSampleList& Samples() { return *core->SampleList(); }

    // A sample of the library with its root region and peak file; stored in the VDisk or
    // linked from the test folder.
    CRegion* AddSample(const std::string& name, bool stored, int64_t frames = kFrames) {
        const std::string folder = stored ? vdisk : dir.Str();
        EXPECT_TRUE(MakeWavFile(folder, name, TestSignal(frames), 44100));
        auto* s = new CSample(name, stored ? "" : folder, stored ? 1 : 0, CVDisk::Table().CurrentSerial(), 44100, 2, 16,
                              frames, kFormatWav, 4 * frames);
        Samples().Add(s);
        std::string error;
        std::unique_ptr<AudioFile> reader = MakeAudioFile(kFormatWav, folder, name, error);
        bool cancelled = false;
        PeakBuffers buffers;
        EXPECT_TRUE(RebuildPeakFile(*reader, *s, nullptr, false, cancelled, buffers));
        auto* root = new CRegion(name, 0, frames, s, RegionRoot, -1, FolderId::User);
        ComputeRegionPeaks(*root);
        Regions().Insert(root);
        return root;
    }
    CRegion* AddSub(CRegion* root, const std::string& name, int64_t start, int64_t end) {
        auto* r = new CRegion(name, start, end, root->GetSample(), 0, -1, FolderId::User);
        Regions().Insert(r);
        return r;
    }
    std::string PeakPath(const CSample& s) {
        std::string n;
        EXPECT_TRUE(s.PeakFileName(n));
        return s.PeakFileFolder() + "/" + n;
    }
    int RegionCount() {
        int n = 0;
        Regions().ForEach([&](CRegion* r) { n += r->IsFolder() ? 0 : 1; });
        return n;
    }
};

} // namespace

TEST(RegionEditingDelete, ThreeSubRegionsAskOnceWithTheCount) {
    Rig rig;
    CRegion* root = rig.AddSample("a.wav", false);
    std::vector<CRegion*> subs = {rig.AddSub(root, "s1", 0, 5000), rig.AddSub(root, "s2", 100, 9000),
                                  rig.AddSub(root, "s3", 2000, 3000)};
    // Cancel first: nothing goes.
    rig.ui.questionAnswers = {false};
    RegionEditing::DeleteResult r = rig.edit->Delete(subs);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(rig.RegionCount(), 4);
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text, "3 items selected. Delete?");
    EXPECT_EQ(rig.ui.messages[0].caption, "Multiple deletion confirmation");

    rig.ui.messages.clear();
    rig.ui.questionAnswers = {true};
    r = rig.edit->Delete(subs);
    EXPECT_FALSE(r.cancelled);
    EXPECT_EQ(r.regionsDeleted, 3);
    EXPECT_EQ(rig.ui.messages.size(), 1u); // no question of their own
    EXPECT_EQ(rig.RegionCount(), 1);
    EXPECT_EQ(rig.removed, subs);
    EXPECT_EQ(rig.Samples().Count(), 1);
}

TEST(RegionEditingDelete, OneSubRegionAsksItsOwnQuestion) {
    Rig rig;
    CRegion* root = rig.AddSample("a.wav", false);
    CRegion* sub = rig.AddSub(root, "Part", 0, 5000);
    rig.ui.questionAnswers = {false};
    EXPECT_TRUE(rig.edit->Delete({sub}).cancelled);
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text, "Delete region? (no audio files are removed)");
    EXPECT_EQ(rig.ui.messages[0].caption, "Part");
    EXPECT_EQ(rig.RegionCount(), 2);
    rig.ui.questionAnswers = {true};
    EXPECT_EQ(rig.edit->Delete({sub}).regionsDeleted, 1);
    EXPECT_EQ(rig.RegionCount(), 1);
}

TEST(RegionEditingDelete, LinkedRootWithTwoSubRegionsAsksTwiceAndKeepsTheAudioFile) {
    Rig rig;
    CRegion* root = rig.AddSample("linked.wav", false);
    rig.AddSub(root, "s1", 0, 5000);
    rig.AddSub(root, "s2", 5000, 9000);
    const std::string peak = rig.PeakPath(*root->GetSample());
    ASSERT_TRUE(fs::exists(peak));
    rig.ui.questionAnswers = {true, true};
    RegionEditing::DeleteResult r = rig.edit->Delete({root});
    ASSERT_EQ(rig.ui.messages.size(), 2u);
    EXPECT_EQ(rig.ui.messages[0].text, "Deleting this root region will remove also its sub-regions. Delete?");
    EXPECT_EQ(rig.ui.messages[0].caption, "linked.wav");
    EXPECT_EQ(rig.ui.messages[1].text, "Delete root region?");
    EXPECT_EQ(r.regionsDeleted, 3);
    EXPECT_EQ(r.samplesDeleted, 1);
    EXPECT_EQ(rig.RegionCount(), 0);
    EXPECT_EQ(rig.Samples().Count(), 0);
    EXPECT_EQ(rig.removed.size(), 3u);
    EXPECT_TRUE(fs::exists(rig.dir / "linked.wav")); // a linked file is never removed
    EXPECT_FALSE(fs::exists(peak));
}

TEST(RegionEditingDelete, CancelOfTheRootQuestionKeepsTheRootButNotTheSubRegions) {
    Rig rig;
    CRegion* root = rig.AddSample("linked.wav", false);
    rig.AddSub(root, "s1", 0, 5000);
    // Cancel at the sub-region question: nothing goes.
    rig.ui.questionAnswers = {false};
    EXPECT_TRUE(rig.edit->Delete({root}).cancelled);
    EXPECT_EQ(rig.RegionCount(), 2);
    // OK there, Cancel at the root question: the sub-region is gone, root and sample stay.
    rig.ui.questionAnswers = {true, false};
    RegionEditing::DeleteResult r = rig.edit->Delete({root});
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.regionsDeleted, 1);
    EXPECT_EQ(rig.RegionCount(), 1);
    EXPECT_EQ(rig.Samples().Count(), 1);
}

TEST(RegionEditingDelete, StoredRootRemovesItsFileAndPeakFileWithTheWarning) {
    Rig rig;
    CRegion* root = rig.AddSample("000000000001", true);
    const std::string audio = root->GetSample()->FilePath();
    const std::string peak = rig.PeakPath(*root->GetSample());
    ASSERT_TRUE(fs::exists(audio));
    ASSERT_TRUE(fs::exists(peak));
    rig.ui.questionAnswers = {true};
    RegionEditing::DeleteResult r = rig.edit->Delete({root});
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text, "Delete root region? (audio file will be removed!)");
    EXPECT_EQ(rig.ui.messages[0].caption, "000000000001");
    EXPECT_EQ(r.samplesDeleted, 1);
    EXPECT_FALSE(fs::exists(audio));
    EXPECT_FALSE(fs::exists(peak));
}

TEST(RegionEditingDelete, ARootAndItsSelectedSubRegionGoOnce) {
    Rig rig;
    CRegion* root = rig.AddSample("a.wav", false);
    CRegion* sub = rig.AddSub(root, "zz", 0, 5000); // after the root in the selection
    rig.ui.questionAnswers = {true, true, true};
    RegionEditing::DeleteResult r = rig.edit->Delete({root, sub});
    EXPECT_EQ(r.regionsDeleted, 2);
    EXPECT_EQ(rig.RegionCount(), 0);
    EXPECT_EQ(rig.removed.size(), 2u);
}

TEST(RegionEditingDelete, DeletingWhatPlaysStopsTheTransportFirst) {
    Rig rig;
    CRegion* root = rig.AddSample("000000000002", true, 44100 * 20);
    CRegion* other = rig.AddSample("other.wav", false, 44100 * 20);
    // The null device at real-time pace: both files play far longer than the test runs.
    rig.core->NullDevice()->settings.realTime = true;
    rig.core->AudioThread()->SetPlaybackDevice(rig.core->Devices()->NullOutputIndex() - 1);
    CTransport& t = *rig.core->Transport();
    // Something else playing is left alone.
    ASSERT_TRUE(t.PlayRequest(*other, 0, static_cast<int32_t>(other->Length()), 0));
    ASSERT_TRUE(rig.port.WaitServing([&] { return t.IsPlaying(); }, std::chrono::seconds(5)));
    CRegion* sub = rig.AddSub(root, "sub", 0, 1000);
    rig.ui.questionAnswers = {true};
    EXPECT_FALSE(rig.edit->Delete({sub}).transportStopped);
    EXPECT_TRUE(t.IsPlaying());
    t.Stop();

    // The stored root that plays: stopped before its file and records go.
    ASSERT_TRUE(t.PlayRequest(*root, 0, static_cast<int32_t>(root->Length()), 0));
    ASSERT_TRUE(rig.port.WaitServing([&] { return t.IsPlaying(); }, std::chrono::seconds(5)));
    rig.ui.questionAnswers = {true};
    RegionEditing::DeleteResult r = rig.edit->Delete({root});
    EXPECT_TRUE(r.transportStopped);
    EXPECT_TRUE(t.IsStopped());
    EXPECT_EQ(r.samplesDeleted, 1);
    // The engine is idle and can play something else.
    ASSERT_TRUE(t.PlayRequest(*other, 0, static_cast<int32_t>(other->Length()), 0));
    t.Stop();
}

TEST(RegionEditingCopies, DuplicateOfARootRegion) {
    Rig rig;
    CRegion* root = rig.AddSample("song.wav", false);
    root->SetFadeInLength(1000);
    root->SetFadeInShape(2);
    root->SetFadeOutLength(2000);
    root->SetFadeOutShape(1);
    root->NewMarker(500);
    root->NewMarker(7000);
    root->SetNotes("n");
    root->SetArtist("a");
    root->AddToHistory(true, 10, 5000);
    root->SetRange(true, 10, 5000);
    auto* mine = new CDSPSnap("Mine");
    mine->Params().Append(1, 15, -3.0f);
    root->Snaps().Append(mine);
    // The source's first snap is changed here only to tell the lists' "Flat" apart.
    root->Snaps().At(0)->Params().Append(1, 15, 7.0f);

    root->Snaps().SetFavourite(1);
    root->Snaps().SetCurrent(0);
    std::vector<CRegion*> d = rig.edit->Duplicate({root});
    ASSERT_EQ(d.size(), 1u);
    CRegion* dup = d[0];
    EXPECT_FALSE(dup->IsRoot());
    EXPECT_EQ(dup->GetName(), "song.wav.001");
    EXPECT_EQ(root->GetNextChild(), 2);
    EXPECT_EQ(dup->GetStart(), 0);
    EXPECT_EQ(dup->GetEnd(), kFrames);
    EXPECT_EQ(dup->GetFadeInLength(), 1000);
    EXPECT_EQ(dup->GetFadeInShape(), 2);
    EXPECT_EQ(dup->GetFadeOutLength(), 2000);
    EXPECT_EQ(dup->GetFadeOutShape(), 1);
    ASSERT_EQ(dup->Markers().Count(), 2);
    EXPECT_EQ(dup->Markers().At(1)->GetPosition(), 7000);
    EXPECT_EQ(dup->GetNotes(), "n");
    EXPECT_EQ(dup->GetArtist(), "a");
    EXPECT_EQ(dup->GetHistoryCount(), 1);
    EXPECT_TRUE(dup->HasRange());
    ASSERT_EQ(dup->Snaps().Count(), 2);
    EXPECT_EQ(dup->Snaps().At(0)->GetName(), "Flat");
    float v = 0;
    EXPECT_TRUE(dup->Snaps().At(0)->Params().Lookup(1, 15, v));
    EXPECT_EQ(v, 0.0f); // its own "Flat", not the source's
    EXPECT_EQ(dup->Snaps().At(1)->GetName(), "Mine");
    EXPECT_NE(dup->Snaps().At(1), mine);
    // The same snap plays in either mode as with the source.
    EXPECT_EQ(dup->Snaps().GetCurrent(), 0);
    EXPECT_EQ(dup->Snaps().GetFavourite(), 1);
    EXPECT_EQ(dup->GetLeftPeak(), root->GetLeftPeak());
    EXPECT_EQ(rig.RegionCount(), 2);
}

TEST(RegionEditingCopies, CreateFromRange) {
    Rig rig;
    CRegion* root = rig.AddSample("song.wav", false);
    root->NewMarker(500);
    root->SetTitle("t");
    root->Snaps().Append(new CDSPSnap("Mine"));
    RegionEditing::ViewerRange range;
    range.region = root;
    // No range: the notice, nothing made.
    EXPECT_EQ(rig.edit->CreateFromRange(range), nullptr);
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].kind, "notice");
    EXPECT_EQ(rig.ui.messages[0].text, "No selection. Please select a portion\nto duplicate, first.");
    EXPECT_EQ(rig.RegionCount(), 1);

    // A range below 1,024 frames counts as none.
    range.on = true;
    range.start = 1000;
    range.end = 2023;
    EXPECT_EQ(rig.edit->CreateFromRange(range), nullptr);
    EXPECT_EQ(rig.ui.messages.size(), 2u);
    range.end = 21000;
    CRegion* r = rig.edit->CreateFromRange(range);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->GetName(), "song.wav.001");
    EXPECT_EQ(r->GetStart(), 1000);
    EXPECT_EQ(r->GetEnd(), 21000);
    EXPECT_EQ(r->GetFlags() & RegionRoot, 0u);
    EXPECT_EQ(r->GetTitle(), "t");
    EXPECT_EQ(r->Markers().Count(), 0); // not copied from a range
    ASSERT_EQ(r->Snaps().Count(), 2);
    EXPECT_EQ(r->Snaps().At(1)->GetName(), "Mine");
    EXPECT_GT(r->GetLeftPeak(), 0);

    // A sub-region's range lies inside it.
    range.region = r;
    range.start = 100;
    range.end = 2000;
    CRegion* inner = rig.edit->CreateFromRange(range);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->GetName(), "song.wav.001.001");
    EXPECT_EQ(inner->GetStart(), 1100);
    EXPECT_EQ(inner->GetEnd(), 3000);
}

TEST(RegionEditingCopies, DuplicateDoesNothingWhileRendering) {
    Rig rig;
    CRegion* root = rig.AddSample("song.wav", false);
    // A render that does not end by itself keeps the transport busy.
    struct Endless : CRenderTarget {
        bool Open() override { return true; }
        int32_t Bits() const override { return 16; }
        bool Write(float*, int32_t) override { return true; }
        bool Finish(bool) override { return true; }
    } target;
    CTransport& t = *rig.core->Transport();
    rig.core->PlayList()->Clear();
    rig.core->PlayList()->Add(*root, 0);
    t.SetPlayRange(0, 1 << 30, 44100);
    t.Render(&target);
    ASSERT_TRUE(rig.port.WaitServing([&] { return t.IsRendering(); }, std::chrono::seconds(5)));
    EXPECT_TRUE(rig.edit->Duplicate({root}).empty());
    bool aborted = false;
    EXPECT_TRUE(rig.edit->Clone({root}, false, aborted).empty());
    EXPECT_EQ(rig.RegionCount(), 1);
    t.Stop();
    rig.core->PlayList()->Clear();
}

namespace {

// Clones root with the snap, renders the same file through sonquil-cli with chainArgs, and
// compares the two files sample for sample.
void CheckCloneAgainstCli(bool wet, const std::string& chainArgs) {
    Rig rig;
    CRegion* root = rig.AddSample("src.wav", false);
    root->SetNotes("kept");
    // The "Flat" stack with the EQ's output at +6 dB: a sound of its own.
    auto* snap = new CDSPSnap("Loud");
    CParamBlock flat;
    CDSPPreset::FillFlatStack(flat);
    for (int i = 0; i < flat.kindCount; ++i)
        for (int j = 0; j < flat.valueCounts[i]; ++j) {
            const int id = flat.ids[i * CParamBlock::kMaxValues + j];
            const float v = flat.values[i * CParamBlock::kMaxValues + j];
            snap->Params().Append(flat.kinds[i], id, flat.kinds[i] == 1 && id == 15 ? 6.0f : v);
        }
    root->Snaps().Append(snap);

    bool aborted = false;
    std::vector<CRegion*> clones = rig.edit->Clone({root}, wet, aborted);
    ASSERT_FALSE(aborted);
    ASSERT_EQ(clones.size(), 1u);
    CRegion* c = clones[0];
    EXPECT_EQ(c->GetName(), wet ? "src.wav-Wet" : "src.wav-Dry");
    EXPECT_TRUE(c->IsRoot());
    EXPECT_EQ(c->GetNotes(), "kept");
    EXPECT_EQ(c->Snaps().Count(), wet ? 1 : 2);
    CSample* s = c->GetSample();
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->IsStored());
    EXPECT_EQ(s->GetFrameCount(), kFrames);
    EXPECT_EQ(s->GetBits(), 16);
    EXPECT_TRUE(fs::exists(rig.PeakPath(*s)));
    EXPECT_GT(c->GetLeftPeak(), 0);
    ASSERT_EQ(rig.Samples().Count(), 2);
    // The progress texts.
    ASSERT_GE(rig.ui.progressTexts.size(), 2u);
    EXPECT_EQ(rig.ui.progressTexts[0], "Rendering src.wav (1/1)");
    EXPECT_EQ(rig.ui.progressTexts.back(), "Separating src.wav (Step 2 of 2)");
    EXPECT_FALSE(rig.ui.progressVisible);

    const std::string cmd = std::string(SONQUIL_CLI) + " render " + (rig.dir / "src.wav").string() + " " +
                            (rig.dir / "cli.wav").string() + " --bits 16 " + chainArgs;
    ASSERT_EQ(RunCommand(cmd), 0) << cmd;
    const std::vector<int32_t> mine = ReadInts(s->FolderPath(), s->GetFileName());
    const std::vector<int32_t> theirs = ReadInts(rig.dir.Str(), "cli.wav");
    ASSERT_EQ(mine.size(), static_cast<size_t>(2 * kFrames));
    ASSERT_EQ(mine.size(), theirs.size());
    size_t differ = 0;
    for (size_t i = 0; i < mine.size(); ++i) differ += mine[i] != theirs[i] ? 1 : 0;
    EXPECT_EQ(differ, 0u);
    // The dry clone holds the source itself.
    // The dry clone holds the source itself, within the one step that the float path's
    // truncation toward zero takes from a 16-bit sample.
    if (!wet) {
        const std::vector<int32_t> source = ReadInts(rig.dir.Str(), "src.wav");
        ASSERT_EQ(source.size(), mine.size());
        for (size_t i = 0; i < mine.size(); ++i) ASSERT_LE(std::abs(mine[i] - source[i]), 1) << i;
    } else {
        // +6 dB: far from the source.
        EXPECT_GT(std::abs(mine[2]), std::abs(ReadInts(rig.dir.Str(), "src.wav")[2]) + 1000);
    }
}

} // namespace

TEST(RegionEditingClone, DryMatchesTheToolsRenderWithTheChainBypassed) { CheckCloneAgainstCli(false, "--set 0:0=0"); }

TEST(RegionEditingClone, WetMatchesTheToolsRenderWithTheSameSettings) {
    CheckCloneAgainstCli(true, "--preset Flat --set 1:15=6");
}

TEST(RegionEditingClone, AbortLeavesNoCloneAndNoFile) {
    Rig rig;
    CRegion* root = rig.AddSample("long.wav", false, 44100 * 30);
    std::set<fs::path> before;
    for (const auto& e : fs::directory_iterator(rig.vdisk)) before.insert(e.path());
    int timerOff = 0, timerOn = 0;
    rig.edit->SetMainTimerHook([&](bool on) { ++(on ? timerOn : timerOff); });
    // "Abort" is pressed while the render runs.
    rig.ui.onEvents = [&](ScriptedUiPort& ui) {
        if (rig.core->Transport()->IsRendering()) ui.PressAbort();
    };
    bool aborted = false;
    EXPECT_TRUE(rig.edit->Clone({root}, true, aborted).empty());
    EXPECT_TRUE(aborted);
    EXPECT_EQ(timerOff, 1);
    EXPECT_EQ(timerOn, 1);
    EXPECT_EQ(rig.Samples().Count(), 1);
    EXPECT_EQ(rig.RegionCount(), 1);
    std::set<fs::path> after;
    for (const auto& e : fs::directory_iterator(rig.vdisk)) after.insert(e.path());
    EXPECT_EQ(after, before);
    EXPECT_EQ(rig.core->PlayList()->Count(), 0);
}

TEST(RegionEditingClone, StorageModeKX64GivesAKX64CloneWithItsPeaks) {
    Rig rig;
    CRegion* root = rig.AddSample("src.wav", false);
    CRegion* sub = rig.AddSub(root, "part", 1000, 21000);
    sub->SetFadeInLength(5000);
    sub->NewMarker(300);
    rig.core->SetStorageMode(kFormatKX64, 400);
    bool aborted = false;
    std::vector<CRegion*> clones = rig.edit->Clone({sub}, false, aborted);
    ASSERT_EQ(clones.size(), 1u);
    CSample* s = clones[0]->GetSample();
    EXPECT_EQ(s->GetFormatCode(), kFormatKX64);
    EXPECT_EQ(s->GetFrameCount(), 20000);
    EXPECT_EQ(clones[0]->GetEnd(), 20000);
    EXPECT_EQ(clones[0]->Markers().Count(), 1);
    EXPECT_EQ(clones[0]->GetFadeInLength(), 0); // the fade is in the audio now
    EXPECT_TRUE(fs::exists(rig.PeakPath(*s)));
    EXPECT_GT(clones[0]->GetLeftPeak(), 0);
    // The fade-in is rendered: the clone starts silent where the source does not.
    const std::vector<int32_t> mine = ReadInts(s->FolderPath(), s->GetFileName());
    ASSERT_EQ(mine.size(), 40000u);
    EXPECT_EQ(mine[0], 0);
    const std::vector<int32_t> source = ReadInts(rig.dir.Str(), "src.wav");
    EXPECT_NE(source[2000], 0);
    // Two clones of the same second still get two files.
    std::vector<CRegion*> again = rig.edit->Clone({sub, sub}, true, aborted);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_NE(again[0]->GetSample()->GetFileName(), again[1]->GetSample()->GetFileName());
    EXPECT_EQ(again[1]->GetName(), "part-Wet");
    EXPECT_EQ(rig.ui.progressTexts[rig.ui.progressTexts.size() - 2], "Rendering part (2/2)");
}

// Regions in "Lost" have no sample. Deleting one root of them takes its own sub-regions (the
// same sample id in the database) and nothing else: two missing samples are not one.
TEST(RegionEditingDelete, ALostRootTakesOnlyItsOwnSubRegions) {
    Rig rig;
    CRegion* kept = rig.AddSample("kept.wav", false);
    auto lost = [&](const std::string& name, int32_t sampleId, uint32_t flags) {
        auto* r = new CRegion(name, 0, 1000, nullptr, flags, -1, FolderId::User);
        r->SetSampleId(sampleId);
        rig.Regions().Insert(r);
        return r;
    };
    CRegion* rootA = lost("A", 901, RegionRoot);
    CRegion* subA = lost("A sub", 901, 0);
    CRegion* rootB = lost("B", 902, RegionRoot);
    CRegion* subB = lost("B sub", 902, 0);
    CRegion* orphan = lost("no id", 0, 0);
    EXPECT_FALSE(CRegionList::SameSample(rootA, rootB));
    EXPECT_FALSE(CRegionList::SameSample(orphan, lost("no id either", 0, 0)));
    EXPECT_EQ(rig.Regions().NthOfSameSample(rootA, 1), subA);
    EXPECT_EQ(rig.Regions().NthOfSameSample(rootA, 2), nullptr);
    EXPECT_EQ(rig.Regions().RootOf(nullptr), nullptr);

    rig.ui.questionAnswers = {true, true};
    const RegionEditing::DeleteResult r = rig.edit->Delete({rootA});
    EXPECT_EQ(r.regionsDeleted, 2);
    EXPECT_EQ(rig.removed, (std::vector<CRegion*>{subA, rootA}));
    std::set<CRegion*> left;
    rig.Regions().ForEach([&](CRegion* x) { left.insert(x); });
    for (CRegion* x : {kept, rootB, subB, orphan}) EXPECT_TRUE(left.count(x)) << x->GetName();
}

// A clone of a region whose audio file is gone makes nothing and says why, instead of a silent
// "-Dry" sample reported as made; the regions after it are still cloned.
TEST(RegionEditingClone, AMissingAudioFileMakesNoClone) {
    Rig rig;
    CRegion* gone = rig.AddSample("gone.wav", false);
    CRegion* there = rig.AddSample("there.wav", false);
    ASSERT_TRUE(fs::remove(rig.dir / "gone.wav"));
    std::set<fs::path> before;
    for (const auto& e : fs::directory_iterator(rig.vdisk)) before.insert(e.path());
    bool aborted = false;
    const std::vector<CRegion*> made = rig.edit->Clone({gone, there}, false, aborted);
    EXPECT_FALSE(aborted);
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0]->GetName(), "there.wav-Dry");
    ASSERT_EQ(rig.ui.messages.size(), 1u);
    EXPECT_EQ(rig.ui.messages[0].text, "Can't read the region's audio file.");
    EXPECT_EQ(rig.Samples().Count(), 3);
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(rig.vdisk)) files += before.count(e.path()) ? 0 : 1;
    EXPECT_GE(files, 1u); // the one clone's file (and its peak file when kept there); none for "gone"
    EXPECT_LE(files, 2u);
}
