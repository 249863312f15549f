// The export item loop on the core's real engine: regions with snaps of their own rendered
// through the transport's render path into every kind of writer, checked sample by sample
// against the chain run directly; naming, tags, messages, the report, abort, failures and the
// external encoders run without a shell.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "audiofile/AudioFileWav.h"
#include "common/MainThreadPort.h"
#include "core/CCore.h"
#include "core/ExportJob.h"
#include "dsp/CCompressor.h"
#include "dsp/CDSPStack.h"
#include "dsp/CParaEQ4B.h"
#include "dsp/CStereoImager.h"
#include "dsp/CTubeAmp.h"
#include "engine/CPlayList.h"
#include "engine/CTransport.h"
#include "engine/EngineBlock.h"
#include "export/ExtEncoders.h"
#include "export/TagBatch.h"
#include "library/CDSPSnap.h"
#include "library/CRegion.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "support/AudioFiles.h"
#include "support/OracleTool.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"
#include "support/WiredChain.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t kSampleFrames = 60000;

float Left(int64_t i) { return static_cast<float>((i * 7919) % 65536 - 32768) / 40000.0f; }
float Right(int64_t i) { return static_cast<float>((i * 104729 + 12345) % 65536 - 32768) / 40000.0f; }

// What a snap changes, so that each region sounds different after the chain.
struct SnapSettings {
    float eqOutput = 0.0f;
    float crossMix = 0.0f;
    bool compressor = false;
};

struct ExportRig {
    TempDir dir;
    ScriptedUiPort ui;
    MainThreadPort port;
    std::unique_ptr<CCore> core = std::make_unique<CCore>(ui, port);
    std::unique_ptr<CSample> sample;
    std::vector<std::unique_ptr<CRegion>> regions;
    std::string out;

    ExportRig() {
        CoreOptions options;
        options.withLibrary = false;
        options.withSoundCards = false;
        EXPECT_EQ(core->Start(options), CCore::StartResult::Running);
        std::vector<float> pcm(2 * kSampleFrames);
        for (int64_t i = 0; i < kSampleFrames; ++i) {
            pcm[2 * i] = Left(i);
            pcm[2 * i + 1] = Right(i);
        }
        AudioFileWav w(dir.Str(), "source.wav");
        EXPECT_TRUE(WriteFloats(w, 2, 44100, 32, kSampleFloat, pcm));
        sample = std::make_unique<CSample>("source.wav", dir.Str(), 0, 0, 44100, 2, 32, kSampleFrames, kFormatWav,
                                           static_cast<int64_t>(fs::file_size(dir / "source.wav")));
        out = (dir / "out").string();
        fs::create_directories(out);
    }
    ~ExportRig() { core->Stop(); }

    // A region of the sample with a snap of its own (current, no favourite).
    CRegion* AddRegion(const std::string& name, int64_t start, int64_t end, const SnapSettings& s) {
        regions.push_back(std::make_unique<CRegion>(name, start, end, sample.get(), 0, -1, FolderId::User));
        CRegion* r = regions.back().get();
        auto* snap = new CDSPSnap("Test");
        CParaEQ4B eq;
        CCompressor comp(DSPEngine());
        CStereoImager imager(DSPEngine());
        eq.SetParam(CParaEQ4B::IdOutput, s.eqOutput);
        imager.SetParam(CStereoImager::IdCrossMix, s.crossMix);
        comp.SetParam(CCompressor::IdOn, s.compressor ? 1.0f : 0.0f);
        comp.SetParam(CCompressor::IdThres, -18.0f);
        eq.StoreParameters(snap->Params());
        comp.StoreParameters(snap->Params());
        imager.StoreParameters(snap->Params());
        core->ValveAmp()->StoreParameters(snap->Params());
        r->Snaps().Append(snap);
        return r;
    }
    std::vector<CRegion*> All() const {
        std::vector<CRegion*> v;
        for (const auto& r : regions) v.push_back(r.get());
        return v;
    }

    ExportChoice Choice(const std::string& caption) const {
        ExportChoice c;
        for (const ExportFormatEntry& e : BuildExportFormatList(&core->Encoders()))
            if (e.caption == caption) c.format = e;
        EXPECT_EQ(c.format.caption, caption);
        c.folder = out;
        return c;
    }
};

// The region rendered by a fresh chain holding its snap: blocks of 4096 over L + 1 frames; the
// last block goes through the chain with only the frames it writes.
std::vector<float> Reference(const CRegion& region, int bits) {
    WiredChain chain;
    const CDSPSnap* snap = region.Snaps().SnapToApply(false);
    chain.eq.ApplySnap(snap->Params());
    chain.comp.ApplySnap(snap->Params());
    chain.imager.ApplySnap(snap->Params());
    chain.amp.ApplySnap(snap->Params());
    EnableFlushToZero();
    chain.stack.ResetAll();
    const int32_t block = 4096;
    const int64_t range = region.Length() + 1;
    std::vector<float> want, buf(2 * block);
    for (int64_t done = 0; done < range; done += block) {
        for (int32_t i = 0; i < block; ++i) {
            const int64_t f = region.GetStart() + (done + i) % range;
            buf[2 * i] = f < kSampleFrames ? Left(f) : 0.0f;
            buf[2 * i + 1] = f < kSampleFrames ? Right(f) : 0.0f;
        }
        const int64_t k = std::min<int64_t>(block, range - done);
        chain.stack.ProcessBlock(buf.data(), static_cast<int>(k), 44100, true, bits);
        want.insert(want.end(), buf.begin(), buf.begin() + 2 * k);
    }
    return want;
}

std::vector<float> ReadWav(const std::string& folder, const std::string& name, int64_t& frames) {
    AudioFileWav in(folder, name);
    if (!in.OpenRead()) return {};
    frames = in.frames;
    return ReadAllFloat(in);
}

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

TEST(ExportJob, ThreeRegionsEachWithItsOwnSnapMatchTheChainRunDirectlyAsMaster1To3) {
    ExportRig rig;
    rig.AddRegion("first", 1000, 21000, {-6.0f, 0.0f, false});
    rig.AddRegion("second", 5000, 9095, {0.0f, 40.0f, true});
    rig.AddRegion("third", 40000, kSampleFrames - 1, {-2.0f, 10.0f, true}); // its frame past the end is the last
    ExportChoice c = rig.Choice("WAV");
    c.depthIndex = 3; // 32-bit float: the file holds the chain's floats themselves
    c.baseNameIndex = true;
    c.baseName = "Master";
    c.startIndex = 1;
    // What the person was working with before the export.
    rig.core->Equaliser()->SetParam(CParaEQ4B::IdOutput, -7.5f);
    rig.core->Compressor()->SetParam(CCompressor::IdOn, 1.0f);
    const float crossMix = rig.core->StereoImager()->Param(CStereoImager::IdCrossMix);
    ExportJob job(*rig.core);
    bool showReport = true;
    ASSERT_TRUE(job.Export(c, rig.All(), showReport));
    EXPECT_TRUE(showReport);
    EXPECT_TRUE(rig.ui.messages.empty());
    // ... is what the stack holds again afterwards, not the last item's snap.
    EXPECT_EQ(rig.core->Equaliser()->Param(CParaEQ4B::IdOutput), -7.5f);
    EXPECT_EQ(rig.core->Compressor()->Param(CCompressor::IdOn), 1.0f);
    EXPECT_EQ(rig.core->StereoImager()->Param(CStereoImager::IdCrossMix), crossMix);

    for (int i = 0; i < 3; ++i) {
        const CRegion& r = *rig.regions[i];
        const std::string name = "Master" + std::to_string(i + 1) + ".wav";
        int64_t frames = 0;
        const std::vector<float> got = ReadWav(rig.out, name, frames);
        ASSERT_EQ(frames, r.Length() + 1) << name; // L + 1 frames
        const std::vector<float> want = Reference(r, 32);
        ASSERT_EQ(got.size(), want.size());
        for (size_t k = 0; k < got.size(); ++k) ASSERT_EQ(got[k], want[k]) << name << " sample " << k;
    }
    ASSERT_EQ(rig.ui.reportLines.size(), 3u);
    EXPECT_EQ(rig.ui.reportLines[0].first, "Master1.wav");
    EXPECT_EQ(rig.ui.reportLines[2].first, "Master3.wav");
    EXPECT_EQ(rig.ui.reportLines[1].second.rfind("OK (WAV 32-bit float, 0:00:00:09, peak ", 0), 0u)
        << rig.ui.reportLines[1].second;
    EXPECT_EQ(rig.ui.reportCaption, "Export Audio Report");
    EXPECT_EQ(rig.ui.reportShows, 1);
    ASSERT_EQ(job.Lines().size(), 3u);
    EXPECT_EQ(job.Lines()[1].frames, 4096);
    EXPECT_GT(job.Lines()[0].peak, 0.0f);
    const std::vector<std::string> texts = {"Exporting Master1.wav (1 of 3)", "Exporting Master2.wav (2 of 3)",
                                            "Exporting Master3.wav (3 of 3)"};
    EXPECT_EQ(rig.ui.progressTexts, texts);
    // The overall bar: trunc((i + 1) / n × 100); the detail bar ends each item at 100.
    EXPECT_NE(std::find(rig.ui.dualDraws.begin(), rig.ui.dualDraws.end(), std::make_pair(33, 100)),
              rig.ui.dualDraws.end());
    EXPECT_EQ(rig.ui.dualDraws.back(), std::make_pair(100, 100));
    EXPECT_FALSE(rig.ui.dualVisible);
    EXPECT_EQ(rig.core->PlayList()->Count(), 0); // emptied at the end
    EXPECT_TRUE(rig.core->Transport()->IsStopped());
}

TEST(ExportJob, SixteenBitIsDitheredAsTheChainDoesAndNamesLoseTheNineCharacters) {
    ExportRig rig;
    rig.AddRegion("a/b:c", 0, 30000, {-3.0f, 20.0f, true});
    rig.AddRegion("q<>\\\"|*?", 100, 5000, {});
    ExportChoice c = rig.Choice("WAV");
    c.depthIndex = 0;
    ExportJob job(*rig.core);
    bool showReport = false;
    ASSERT_TRUE(job.Export(c, rig.All(), showReport));
    EXPECT_EQ(rig.ui.reportShows, 0); // the setting is off
    ASSERT_TRUE(fs::exists(fs::path(rig.out) / "a_b_c.wav"));
    ASSERT_TRUE(fs::exists(fs::path(rig.out) / "q_______.wav"));

    // The reference goes through the same 16-bit writer: the bytes must agree.
    TempDir ref;
    AudioFileWav w(ref.Str(), "ref.wav");
    ASSERT_TRUE(WriteFloats(w, 2, 44100, 16, kSampleInt, Reference(*rig.regions[0], 16)));
    const std::string got = Slurp(fs::path(rig.out) / "a_b_c.wav"), want = Slurp(ref / "ref.wav");
    ASSERT_EQ(got.size(), 44u + 4u * 30001u);
    EXPECT_TRUE(got == want);
}

TEST(ExportJob, EveryMessageBeforeTheLoop) {
    ExportRig rig;
    rig.AddRegion("x", 0, 5000, {});
    ExportJob job(*rig.core);
    EXPECT_FALSE(job.MayStart(kExportFromVTape, 0));
    EXPECT_FALSE(job.MayStart(kExportFromBrowser, 0));
    EXPECT_TRUE(job.MayStart(kExportFromBrowser, 1));
    ASSERT_EQ(rig.ui.messages.size(), 2u);
    EXPECT_EQ(rig.ui.messages[0].text, "List empty. Please drag some region\nto the strip at the screen bottom.");
    EXPECT_EQ(rig.ui.messages[1].text, "No region selected.");

    bool show = true;
    ExportChoice c = rig.Choice("WAV");
    c.folder.clear();
    EXPECT_FALSE(job.Export(c, rig.All(), show));
    EXPECT_EQ(rig.ui.messages.back().text, "No export path selected.");
    c.folder = (rig.dir / "nowhere").string();
    c.subfolder = "sub";
    EXPECT_FALSE(job.Export(c, rig.All(), show));
    EXPECT_EQ(rig.ui.messages.back().text, "Can't access selected export path.");
    std::ofstream(rig.dir / "out" / "taken") << "a file, not a folder";
    c.folder = rig.out;
    c.subfolder = "taken";
    EXPECT_FALSE(job.Export(c, rig.All(), show));
    EXPECT_EQ(rig.ui.messages.back().text, "Can't create selected subfolder.");
    EXPECT_EQ(rig.ui.reportShows, 0);

    // A subfolder name loses the nine characters and is made inside the folder.
    c.subfolder = "CD:1";
    ASSERT_TRUE(job.Export(c, rig.All(), show));
    EXPECT_EQ(job.OutputFolder(), rig.out + "/CD_1");
    EXPECT_TRUE(fs::exists(fs::path(rig.out) / "CD_1" / "x.wav"));

    // While the transport plays, neither the command nor the form's "Export" does anything.
    rig.core->PlayList()->Add(*rig.regions[0], 0);
    rig.core->Transport()->SetPlayRange(0, 5000, 44100);
    rig.core->Transport()->SetLoop(true);
    rig.core->Transport()->Play(kOriginWaveViewer);
    const size_t before = rig.ui.messages.size();
    EXPECT_FALSE(job.MayStart(kExportFromVTape, 0));
    EXPECT_FALSE(job.Export(c, rig.All(), show));
    EXPECT_EQ(rig.ui.messages.size(), before);
    rig.core->Transport()->Stop();
}

TEST(ExportJob, AbortAsItemTwoBeginsLeavesItemOneAndNothingAfter) {
    ExportRig rig;
    for (const char* n : {"one", "two", "three"}) rig.AddRegion(n, 0, 20000, {});
    rig.ui.onEvents = [](ScriptedUiPort& ui) {
        if (!ui.progressTexts.empty() && ui.progressTexts.back().find("(2 of 3)") != std::string::npos) ui.PressAbort();
    };
    ExportJob job(*rig.core);
    bool show = true;
    ASSERT_TRUE(job.Export(rig.Choice("WAV"), rig.All(), show));
    EXPECT_TRUE(fs::exists(fs::path(rig.out) / "one.wav"));
    EXPECT_FALSE(fs::exists(fs::path(rig.out) / "two.wav"));
    EXPECT_FALSE(fs::exists(fs::path(rig.out) / "three.wav"));
    ASSERT_EQ(rig.ui.reportLines.size(), 1u);
    EXPECT_EQ(rig.ui.reportLines[0].first, "one.wav");
    EXPECT_EQ(rig.ui.reportShows, 1);
    EXPECT_TRUE(rig.core->Transport()->IsStopped());
}

TEST(ExportJob, FailedItemsReportAndTheLoopGoesOn) {
    ExportRig rig;
    rig.AddRegion("fine", 0, 10000, {});
    // A sample whose file has gone: the engine would render silence, the report says why not.
    CSample gone("gone.wav", rig.dir.Str(), 0, 0, 44100, 2, 16, 10000, kFormatWav, 40044);
    rig.regions.push_back(std::make_unique<CRegion>("lost", 0, 5000, &gone, 0, -1, FolderId::User));
    rig.AddRegion("after", 0, 10000, {});
    ExportJob job(*rig.core);
    bool show = true;
    ASSERT_TRUE(job.Export(rig.Choice("WAV"), rig.All(), show));
    ASSERT_EQ(rig.ui.reportLines.size(), 3u);
    EXPECT_EQ(rig.ui.reportLines[1].first, "lost.wav");
    EXPECT_EQ(rig.ui.reportLines[1].second, "Can't read the region's audio file.");
    EXPECT_FALSE(fs::exists(fs::path(rig.out) / "lost.wav"));
    EXPECT_TRUE(fs::exists(fs::path(rig.out) / "after.wav"));

#if SONQUIL_HAVE_MP3
    // MP3 refuses 22,050 Hz at the open: "Can't write output file." and no file.
    CSample slow("slow.wav", rig.dir.Str(), 0, 0, 22050, 2, 32, kSampleFrames, kFormatWav, 0);
    fs::copy_file(rig.dir / "source.wav", rig.dir / "slow.wav");
    CRegion low("low", 0, 20000, &slow, 0, -1, FolderId::User);
    rig.ui.reportLines.clear();
    ASSERT_TRUE(job.Export(rig.Choice("MP3"), {&low, rig.regions[0].get()}, show));
    ASSERT_EQ(rig.ui.reportLines.size(), 2u);
    EXPECT_EQ(rig.ui.reportLines[0].second, "Can't write output file.");
    EXPECT_FALSE(fs::exists(fs::path(rig.out) / "low.mp3"));
    EXPECT_EQ(rig.ui.reportLines[1].second.rfind("OK (MP3 128 kbit/s", 0), 0u) << rig.ui.reportLines[1].second;
#endif
}

TEST(ExportJob, ReportCheckBoxTurnsTheReportsOff) {
    ExportRig rig;
    rig.AddRegion("x", 0, 5000, {});
    ExportJob job(*rig.core);
    bool show = true;
    rig.ui.reportDontShowAgain = true;
    ASSERT_TRUE(job.Export(rig.Choice("WAV"), rig.All(), show));
    EXPECT_FALSE(show);
    ASSERT_TRUE(job.Export(rig.Choice("WAV"), rig.All(), show));
    EXPECT_EQ(rig.ui.reportShows, 1);
}

TEST(ExportJob, TimerIsOffForTheWholeExport) {
    ExportRig rig;
    rig.AddRegion("x", 0, 5000, {});
    ExportJob job(*rig.core);
    std::vector<bool> timer;
    size_t linesWhenStopped = 99;
    job.SetMainTimerHook([&](bool on) {
        timer.push_back(on);
        if (!on) linesWhenStopped = rig.ui.reportLines.size();
    });
    bool show = false;
    ASSERT_TRUE(job.Export(rig.Choice("WAV"), rig.All(), show));
    EXPECT_EQ(timer, (std::vector<bool>{false, true}));
    EXPECT_EQ(linesWhenStopped, 0u);
}

TEST(ExportJob, ExternalEncodersRunWithoutAShellAndFailuresKeepTheWav) {
    REQUIRE_TOOL("flac");
    ExportRig rig;
    // A name full of what a shell would act on; the file name keeps all but the nine characters.
    const std::string nasty = "it's $(touch PWNED); `touch PWNED2` & x";
    rig.AddRegion(nasty, 0, 20000, {});
    rig.AddRegion("Song", 0, 10000, {});
    ExtEncoderList& encoders = rig.core->Encoders();
    ASSERT_EQ(encoders.Add({"/usr/bin", "flac", "-s -f %s", "flac", "FLAC tool"}), ProfileCheck::Ok);
    ASSERT_EQ(encoders.Add({"/bin", "false", "%s %d", "xyz", "Broken"}), ProfileCheck::Ok);

    ExportJob job(*rig.core);
    bool show = true;
    ASSERT_TRUE(job.Export(rig.Choice("FLAC tool"), rig.All(), show));
    ASSERT_EQ(rig.ui.reportLines.size(), 2u);
    EXPECT_EQ(rig.ui.reportLines[0].first, nasty + ".flac");
    EXPECT_EQ(rig.ui.reportLines[0].second.rfind("OK (FLAC tool, ", 0), 0u) << rig.ui.reportLines[0].second;
    EXPECT_EQ(rig.ui.reportLines[1].first, "Song.flac");
    EXPECT_TRUE(fs::exists(fs::path(rig.out) / (nasty + ".flac")));
    EXPECT_TRUE(fs::exists(fs::path(rig.out) / "Song.flac"));
    EXPECT_FALSE(fs::exists(fs::path(rig.out) / "Song.wav")); // deleted after the encoder's success
    EXPECT_FALSE(fs::exists(fs::path(rig.out) / "PWNED"));
    EXPECT_FALSE(fs::exists(fs::current_path() / "PWNED"));
    EXPECT_FALSE(fs::exists(fs::current_path() / "PWNED2"));
    EXPECT_EQ(rig.ui.progressTexts[1], "Exporting Song.flac (2 of 2)");

    // flac decodes back to exactly the 16-bit stereo render of the region.
    ASSERT_EQ(RunCommand("flac -s -d -f -o '" + rig.out + "/back.wav' '" + rig.out + "/Song.flac'"), 0);
    int64_t frames = 0;
    ReadWav(rig.out, "back.wav", frames);
    EXPECT_EQ(frames, 10001);

    rig.ui.reportLines.clear();
    ASSERT_TRUE(job.Export(rig.Choice("Broken"), {rig.regions[1].get()}, show));
    ASSERT_EQ(rig.ui.reportLines.size(), 1u);
    EXPECT_EQ(rig.ui.reportLines[0].first, "Song.xyz");
    EXPECT_EQ(rig.ui.reportLines[0].second, "External encoder failed, check syntax:/bin/false");
    EXPECT_TRUE(fs::exists(fs::path(rig.out) / "Song.wav")); // the WAV file stays
}

TEST(ExportJob, TagsTravelIntoTheFilesWithTheTrackFromThePosition) {
    ExportRig rig;
    CRegion* a = rig.AddRegion("a", 0, 10000, {});
    CRegion* b = rig.AddRegion("b", 0, 10000, {});
    a->SetTitle("First");
    a->SetArtist("Band");
    a->SetTrack(7); // the region's own number is not the export's
    b->SetTitle("Second");
    b->SetGenre("rock");
    b->SetYear(2007);
    b->SetNotes("notes here");
    ExportJob job(*rig.core);
    bool show = false;
    ASSERT_TRUE(job.Export(rig.Choice("OGG"), rig.All(), show));
    ASSERT_TRUE(fs::exists(fs::path(rig.out) / "b.ogg"));
    // Our own reader fills the tags from the stream's comments.
    std::unique_ptr<AudioFile> in = CreateExportWriter(kFormatVorbis, rig.out, "b.ogg");
    ASSERT_TRUE(in->OpenRead()) << in->ErrorText();
    EXPECT_STREQ(in->title, "Second");
    EXPECT_STREQ(in->genre, "rock");
    EXPECT_STREQ(in->comment, "notes here");
    EXPECT_EQ(in->year, 2007);
    EXPECT_EQ(in->track, 2);
    in->Close();
    std::unique_ptr<AudioFile> first = CreateExportWriter(kFormatVorbis, rig.out, "a.ogg");
    ASSERT_TRUE(first->OpenRead());
    EXPECT_STREQ(first->artist, "Band");
    EXPECT_EQ(first->track, 1);
}

namespace {

// ffprobe's tags of a file (format and stream tags), keys in lower case.
std::map<std::string, std::string> ProbeTags(const fs::path& file) {
    const fs::path out = file.string() + ".tags";
    std::map<std::string, std::string> m;
    if (RunCommand("ffprobe -v error -show_entries format_tags:stream_tags -of default=nw=1 '" + file.string() +
                   "' > '" + out.string() + "'") != 0)
        return m;
    std::ifstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos || line.rfind("TAG:", 0) != 0) continue;
        std::string key = line.substr(4, eq - 4);
        for (auto& ch : key) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        m[key] = line.substr(eq + 1);
    }
    return m;
}

} // namespace

TEST(ExportJob, BatchTagsThenExportCarryEveryFieldIntoFlacOggAndMp3) {
    REQUIRE_TOOL("ffprobe");
    ExportRig rig;
    rig.AddRegion("one", 0, 8000, {});
    rig.AddRegion("two", 0, 8000, {});
    CRegion* third = rig.AddRegion("three", 0, 8000, {});
    third->SetAlbum("keep");
    third->SetTrack(3);
    // The "Edit Tags" dialog's batch: the boxes say what is written; the album box keeps the
    // region's own album.
    TagEditSession session;
    ASSERT_TRUE(session.Run({third}, [](const TagDialogFill& fill, const CRegion&) {
        TagDialogAnswer a;
        a.choice = TagChoice::Write;
        a.title = "A;$(x)";
        a.artist = "B";
        a.album = fill.album;
        a.year = "2007";
        a.genre = "rock";
        return a;
    }));
    ASSERT_EQ(TagLine(*third), "A;$(x)|B|keep|2007|rock|3");

    ExportJob job(*rig.core);
    bool show = false;
    for (const char* format : {"FLAC", "OGG", "MP3"}) {
        const std::vector<ExportFormatEntry> offered = BuildExportFormatList(nullptr);
        if (std::none_of(offered.begin(), offered.end(),
                         [&](const ExportFormatEntry& e) { return e.caption == format; }))
            continue;
        ASSERT_TRUE(job.Export(rig.Choice(format), rig.All(), show));
        const std::string ext = format == std::string("FLAC")  ? ".flac"
                                : format == std::string("OGG") ? ".ogg"
                                                               : ".mp3";
        auto t = ProbeTags(fs::path(rig.out) / ("three" + ext));
        EXPECT_EQ(t["title"], "A;$(x)") << format;
        EXPECT_EQ(t["artist"], "B") << format;
        EXPECT_EQ(t["album"], "keep") << format;
        EXPECT_EQ(t["date"], "2007") << format;
        EXPECT_EQ(t["genre"], "rock") << format;
        EXPECT_EQ(t["track"].empty() ? t["tracknumber"] : t["track"], "3") << format; // its place in the export
    }
#if SONQUIL_HAVE_MP3
    // And the 128-byte tag at the end of the MP3 file, field by field.
    const std::string b = Slurp(fs::path(rig.out) / "three.mp3");
    ASSERT_GT(b.size(), 128u);
    const std::string tag = b.substr(b.size() - 128);
    EXPECT_EQ(tag.substr(0, 3), "TAG");
    EXPECT_EQ(tag.substr(3, 30), std::string("A;$(x)") + std::string(24, '\0'));
    EXPECT_EQ(tag.substr(33, 30), std::string("B") + std::string(29, '\0'));
    EXPECT_EQ(tag.substr(63, 30), std::string("keep") + std::string(26, '\0'));
    EXPECT_EQ(tag.substr(93, 4), "2007");
    EXPECT_EQ(tag[125], '\0');
    EXPECT_EQ(tag[126], '\3');
    EXPECT_EQ(static_cast<uint8_t>(tag[127]), 17); // "Rock", found without regard to case
#endif
}

TEST(ExportJob, AbortEndsAHungExternalEncoderAndItsChildren) {
    ExportRig rig;
    rig.AddRegion("Song", 0, 20000, {});
    rig.AddRegion("Next", 0, 20000, {});
    // The encoder begins its output, starts a child and waits for it far longer than any test.
    const fs::path encoder = rig.dir / "hang.sh";
    {
        std::ofstream s(encoder);
        s << "#!/bin/sh\nd=$(dirname \"$0\")\n: > \"$2\"\nsleep 120 &\necho $! > \"$d/child.pid\"\necho $$ > "
             "\"$d/encoder.pid\"\nwait\n";
    }
    fs::permissions(encoder, fs::perms::owner_all);
    ASSERT_EQ(rig.core->Encoders().Add({rig.dir.Str(), "hang.sh", "%s %d", "mp3", "Hang"}), ProfileCheck::Ok);
    const fs::path pidFile = rig.dir / "encoder.pid";
    rig.ui.onEvents = [&](ScriptedUiPort& ui) {
        std::error_code ec;
        const auto size = fs::file_size(pidFile, ec);
        if (!ec && size > 0 && !ui.DualAborted()) ui.PressAbort();
    };
    ExportJob job(*rig.core);
    bool show = true;
    ASSERT_TRUE(job.Export(rig.Choice("Hang"), rig.All(), show));
    // The item is reported canceled and the loop ends there.
    ASSERT_EQ(rig.ui.reportLines.size(), 1u);
    EXPECT_EQ(rig.ui.reportLines[0].first, "Song.mp3");
    EXPECT_EQ(rig.ui.reportLines[0].second, "Canceled.");
    EXPECT_FALSE(job.Lines()[0].ok);
    const long encoderPid = std::atol(Slurp(pidFile).c_str());
    const long childPid = std::atol(Slurp(rig.dir / "child.pid").c_str());
    ASSERT_GT(encoderPid, 0);
    ASSERT_GT(childPid, 0);
    EXPECT_FALSE(ProcessRunning(encoderPid));
    EXPECT_FALSE(ProcessRunning(childPid));
    if (ProcessRunning(childPid)) ::kill(static_cast<pid_t>(childPid), SIGKILL);
    // No intermediate WAV file and no begun output: the aborted item leaves nothing.
    EXPECT_TRUE(fs::is_empty(rig.out));
    EXPECT_TRUE(rig.core->Transport()->IsStopped());
}

TEST(ExportJob, TheRegionsOwnFileAndEveryLibraryFileAreNeverWrittenOver) {
    ExportRig rig;
    CRegion* region = rig.AddRegion("source", 0, 20000, {});
    const std::string original = Slurp(rig.dir / "source.wav");
    // The rig's sample is not in the library's list; its file is protected as the region's own.
    ExportChoice c = rig.Choice("WAV");
    c.folder = rig.dir.Str();
    ExportJob job(*rig.core);
    bool show = false;
    ASSERT_TRUE(job.Export(c, {region}, show));
    ASSERT_EQ(job.Lines().size(), 1u);
    EXPECT_EQ(job.Lines()[0].result, "Would overwrite a library file.");
    EXPECT_TRUE(Slurp(rig.dir / "source.wav") == original);

    // A sample of the library whose file is missing: its name is not made by an export either,
    // or the library would take the export for its recording.
    auto* lost = new CSample("other.wav", rig.out, 0, 0, 44100, 2, 16, 100, kFormatWav, 444);
    ASSERT_NE(rig.core->SampleList(), nullptr);
    rig.core->SampleList()->Add(lost);
    rig.AddRegion("other", 0, 1000, {});
    rig.ui.reportLines.clear();
    ASSERT_TRUE(job.Export(rig.Choice("WAV"), {rig.regions.back().get(), region}, show));
    ASSERT_EQ(rig.ui.reportLines.size(), 2u);
    EXPECT_EQ(rig.ui.reportLines[0].second, "Would overwrite a library file.");
    EXPECT_EQ(rig.ui.reportLines[1].second.rfind("OK (", 0), 0u) << rig.ui.reportLines[1].second;
    EXPECT_FALSE(fs::exists(fs::path(rig.out) / "other.wav"));
    EXPECT_TRUE(fs::exists(fs::path(rig.out) / "source.wav"));
}
