// Import and link into a library in a temporary VDisk: the region-name rule, target depths,
// conversion and clone, cancel, raw files, tags, the file loop and its report.
#include <gtest/gtest.h>

#include <filesystem>

#include "CompressedTestUtil.h"
#include "ImportLibrary.h"
#include "audiofile/AudioFileKX64.h"
#include "audiofile/AudioFileVorbis.h"
#include "audiofile/AudioFileWav.h"
#include "audiofile/ImportPipeline.h"
#include "audiofile/PeakFile.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"
#include "library/CSampleList.h"
#include "library/CVDisk.h"
#include "support/ScriptedUiPort.h"

namespace fs = std::filesystem;

namespace {

struct CountingRaw : RawFormatChooser {
    RawFileType answer;
    int asked = 0;
    bool ChooseRawFormat(const std::string&, RawFileType& f) override {
        ++asked;
        f = answer;
        return true;
    }
};

struct Library : ImportLibrary {
    fs::path VDisk() const { return dir / "VDisk"; }
    // Audio files in the VDisk (peak files start with "_").
    std::vector<std::string> AudioFiles() const {
        std::vector<std::string> v;
        for (const auto& e : fs::directory_iterator(VDisk()))
            if (e.is_regular_file() && e.path().filename().string()[0] != '_') v.push_back(e.path().filename());
        return v;
    }
    // A WAV of our signal written by our own writer.
    void Wav(const std::string& name, int64_t frames, uint32_t ch, int bits, int type = 0, int rate = 44100) {
        AudioFileWav w(In(), name);
        ASSERT_TRUE(w.OpenWrite(ch, rate, bits, type));
        std::vector<int32_t> s = MakeSignal(frames, 2, 16, 5);
        std::vector<float> block(2 * 4096);
        for (int64_t at = 0; at < frames; at += 4096) {
            const int32_t n = static_cast<int32_t>(std::min<int64_t>(4096, frames - at));
            for (int32_t i = 0; i < 2 * n; ++i) block[i] = s[static_cast<size_t>(2 * at + i)] / 32768.0f;
            w.WriteFloat(block.data(), n);
        }
        ASSERT_TRUE(w.FinishWrite());
    }
};

} // namespace

TEST(RegionName, DropsTheFolderAndOneKnownExtensionInAnyCase) {
    EXPECT_EQ(RegionNameFor("Song.WAV"), "Song");
    EXPECT_EQ(RegionNameFor("take.aiff"), "take");
    EXPECT_EQ(RegionNameFor("a.b.mp3"), "a.b");
    EXPECT_EQ(RegionNameFor("x.flac"), "x");
    EXPECT_EQ(RegionNameFor("/home/me/Old.Wave"), "Old");
    EXPECT_EQ(RegionNameFor("clip.SND"), "clip");
    EXPECT_EQ(RegionNameFor("voice.au"), "voice");
    EXPECT_EQ(RegionNameFor("notes.txt"), "notes.txt");
    EXPECT_EQ(RegionNameFor("double.wav.wav"), "double.wav");
    EXPECT_EQ(RegionNameFor("noext"), "noext");
}

TEST(StorageDepth, AtLeastSixteenAndAtMostTwentyFourInLossless) {
    EXPECT_EQ(StorageBits(kFormatWav, 8), 16);
    EXPECT_EQ(StorageBits(kFormatKX64, 8), 16);
    EXPECT_EQ(StorageBits(kFormatWav, 24), 24);
    EXPECT_EQ(StorageBits(kFormatWav, 32), 32);
    EXPECT_EQ(StorageBits(kFormatKX64, 32), 24);
    EXPECT_EQ(StorageBits(kFormatVorbis, 32), 32);
}

TEST(Import, WavIntoEachStorageModeMakesSamplePeaksAndRootRegion) {
    struct Case {
        int32_t mode;
        int srcBits, srcType;
        int storedBits;
    };
    const Case cases[] = {{kFormatWav, 16, 0, 16},  {kFormatWav, 8, 0, 16},   {kFormatWav, 32, 1, 32},
                          {kFormatKX64, 32, 1, 24}, {kFormatKX64, 16, 0, 16}, {kFormatVorbis, 16, 0, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + " from " + std::to_string(c.srcBits));
        Library lib;
        lib.importer.SetSettings({c.mode, 128, true});
        const int64_t frames = 100000;
        lib.Wav("Song.WAV", frames, 2, c.srcBits, c.srcType);
        std::string msg;
        bool cancelled = true;
        ASSERT_TRUE(lib.importer.Import(lib.In(), "Song.WAV", msg, kProgressOwn, cancelled)) << msg;
        EXPECT_FALSE(cancelled);
        ASSERT_EQ(lib.samples.Count(), 1);
        const CSample* s = lib.samples.At(0);
        EXPECT_EQ(s->GetStored(), 1);
        EXPECT_EQ(s->GetVDiskSerial(), 4711);
        EXPECT_EQ(s->GetFormatCode(), c.mode);
        EXPECT_EQ(s->GetBits(), c.storedBits);
        EXPECT_EQ(s->GetChannels(), 2);
        EXPECT_EQ(s->GetSampleRate(), 44100);
        EXPECT_EQ(s->GetFrameCount(), frames);
        ASSERT_EQ(lib.AudioFiles().size(), 1u);
        EXPECT_EQ(lib.AudioFiles()[0], s->GetFileName());
        // The stored byte count is the target's data length.
        const int64_t onDisk = static_cast<int64_t>(fs::file_size(lib.VDisk() / s->GetFileName()));
        if (c.mode == kFormatWav) {
            EXPECT_EQ(s->GetFileSize(), frames * 2 * c.storedBits / 8);
        } else if (c.mode == kFormatVorbis) {
            EXPECT_EQ(s->GetFileSize(), onDisk);
        } else {
            EXPECT_GT(s->GetFileSize(), 0);
            EXPECT_LE(s->GetFileSize(), onDisk);
        }
        // The stored audio reads back as the source (exactly for the lossless modes).
        auto back = MakeSourceReader(c.mode, lib.VDisk().string(), s->GetFileName());
        ASSERT_TRUE(back->OpenRead()) << back->ErrorText();
        EXPECT_EQ(back->frames, frames);
        EXPECT_EQ(back->sampleType, kSampleInt);
        AudioFileWav src(lib.In(), "Song.WAV");
        ASSERT_TRUE(src.OpenRead());
        std::vector<float> a = ReadAllFloat(src), b = ReadAllFloat(*back);
        ASSERT_EQ(a.size(), b.size());
        // Stored with the system's scale of 32767 per unit: within one step of 16 bits.
        EXPECT_LT(MaxDiff(a, b), c.mode == kFormatVorbis ? 0.2 : 1.01 / 32768);
        // The peak file: 100000 frames at 256 per entry give 390 entries.
        std::string peakName;
        ASSERT_TRUE(s->PeakFileName(peakName));
        EXPECT_EQ(peakName, "_" + s->GetFileName());
        PeakFile pf(lib.VDisk().string(), peakName);
        ASSERT_TRUE(pf.OpenRead());
        EXPECT_EQ(pf.EntryCount(), 390);
        EXPECT_EQ(pf.FramesPerEntry(), 256);
        // The root region: name, range, flag, folder "User", statistics.
        ASSERT_EQ(lib.regions.Count(), 1);
        CRegion* r = lib.regions.At(0);
        EXPECT_EQ(r, lib.importer.LastRegion());
        EXPECT_EQ(r->GetName(), "Song");
        EXPECT_EQ(r->GetStart(), 0);
        EXPECT_EQ(r->GetEnd(), frames);
        EXPECT_EQ(r->GetFlags(), static_cast<uint32_t>(RegionRoot));
        EXPECT_EQ(r->GetParentId(), 1);
        EXPECT_EQ(r->GetSample(), s);
        EXPECT_GT(r->GetLeftPeak(), 20000);
        // Style 1: its own window with the file's name, no abort button, closed at the end.
        ASSERT_FALSE(lib.ui.progressTexts.empty());
        EXPECT_EQ(lib.ui.progressTexts[0], "Importing Song.WAV");
        EXPECT_FALSE(lib.ui.progressWithAbort);
        EXPECT_FALSE(lib.ui.progressVisible);
        EXPECT_EQ(lib.ui.progressDraws.back(), 100);
    }
}

TEST(Import, NewRegionGoesToTheSelectedUserFolderAndHooksSeeIt) {
    Library lib;
    lib.regions.Insert(new CRegion("Mine", 0, 0, nullptr, RegionFolder, 1005, 0));
    lib.regions.SetSelectedFolder(1005);
    int cleared = 0, shown = 0;
    int32_t selected = 0;
    lib.importer.SetHooks({[&] { ++cleared; }, [&](int32_t id) { selected = id; }, [&](CRegion&) { ++shown; }, {}, {}});
    lib.Wav("a.wav", 5000, 1, 16);
    std::string msg;
    bool cancelled;
    ASSERT_TRUE(lib.importer.Import(lib.In(), "a.wav", msg, kProgressSecondBar, cancelled)) << msg;
    EXPECT_EQ(lib.importer.LastRegion()->GetParentId(), 1005);
    EXPECT_EQ(selected, 1005);
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(lib.samples.At(0)->GetChannels(), 1);
    // Style 3 draws the second bar of the caller's window and opens no window of its own.
    EXPECT_FALSE(lib.ui.dualDraws.empty());
    EXPECT_TRUE(lib.ui.progressTexts.empty());
}

TEST(Import, CancelInTheMiddleLeavesNoFileAndNoSample) {
    for (int style : {kProgressOwnCancel, kProgressSecondCancel}) {
        SCOPED_TRACE(style);
        Library lib;
        lib.Wav("long.wav", 6 * 32768, 2, 16);
        lib.ui.onEvents = [](ScriptedUiPort& u) {
            if (u.eventCalls == 3) u.PressAbort();
        };
        if (style == kProgressSecondCancel) lib.ui.DualOpen();
        std::string msg;
        bool cancelled = false;
        EXPECT_FALSE(lib.importer.Import(lib.In(), "long.wav", msg, style, cancelled));
        EXPECT_TRUE(cancelled);
        EXPECT_TRUE(lib.AudioFiles().empty());
        EXPECT_EQ(lib.samples.Count(), 0);
        EXPECT_EQ(lib.regions.Count(), 0);
        EXPECT_EQ(lib.importer.LastRegion(), nullptr);
        if (style == kProgressOwnCancel) {
            EXPECT_TRUE(lib.ui.progressWithAbort);
            EXPECT_FALSE(lib.ui.progressVisible);
        }
    }
}

TEST(Import, CompressedSourcesAreClonedOrTranscodedAsChosenAndKeepTheirTags) {
    REQUIRE_TOOL("lame");
    REQUIRE_TOOL("oggenc");
    REQUIRE_TOOL("sox");
    Library lib;
    MakeWav(lib.dir, "in/src.wav", 44100 * 2, 2, 44100);
    ASSERT_EQ(0, RunCommand("lame --quiet -b 128 --tt \"Clone Me\" --ta Who --tl What --ty 1984 --tn 4 --tg Pop "
                            "--tc \"a note\" " +
                            lib.In() + "/src.wav " + lib.In() + "/a.b.mp3"));
    ASSERT_EQ(0, RunCommand("oggenc -Q -t Vorb -o " + lib.In() + "/v.ogg " + lib.In() + "/src.wav"));
    lib.importer.SetSettings({kFormatKX64, 400, false});
    std::string msg;
    bool cancelled;
    ASSERT_TRUE(lib.importer.Import(lib.In(), "a.b.mp3", msg, kProgressOwn, cancelled)) << msg;
    const CSample* s = lib.samples.At(0);
    EXPECT_EQ(s->GetFormatCode(), kFormatMp3);
    EXPECT_EQ(s->GetBits(), 16);
    EXPECT_EQ(LoadBytes(lib.VDisk() / s->GetFileName()), LoadBytes(lib.dir / "in" / "a.b.mp3"));
    CRegion* r = lib.importer.LastRegion();
    EXPECT_EQ(r->GetName(), "a.b");
    EXPECT_EQ(r->GetEnd(), s->GetFrameCount()); // the frames actually read
    EXPECT_EQ(r->GetTitle(), "Clone Me");
    EXPECT_EQ(r->GetArtist(), "Who");
    EXPECT_EQ(r->GetAlbum(), "What");
    EXPECT_EQ(r->GetYear(), 1984);
    EXPECT_EQ(r->GetTrack(), 4);
    EXPECT_EQ(r->GetGenre(), "Pop");
    EXPECT_EQ(r->GetNotes(), "a note");
    ASSERT_TRUE(lib.importer.Import(lib.In(), "v.ogg", msg, kProgressOwn, cancelled)) << msg;
    EXPECT_EQ(lib.importer.LastRegion()->GetSample()->GetFormatCode(), kFormatVorbis);
    EXPECT_EQ(lib.importer.LastRegion()->GetTitle(), "Vorb");
    EXPECT_EQ(lib.importer.LastRegion()->GetEnd(), 44100 * 2);
    // Transcoding puts them into the storage format; FLAC is always converted.
    lib.importer.SetSettings({kFormatKX64, 400, true});
    ASSERT_TRUE(lib.importer.Import(lib.In(), "a.b.mp3", msg, kProgressOwn, cancelled)) << msg;
    EXPECT_EQ(lib.importer.LastRegion()->GetSample()->GetFormatCode(), kFormatKX64);
    ASSERT_EQ(0, RunCommand("flac -s -f -o " + lib.In() + "/x.flac " + lib.In() + "/src.wav"));
    lib.importer.SetSettings({kFormatWav, 400, false});
    ASSERT_TRUE(lib.importer.Import(lib.In(), "x.flac", msg, kProgressOwn, cancelled)) << msg;
    EXPECT_EQ(lib.importer.LastRegion()->GetSample()->GetFormatCode(), kFormatWav);
    EXPECT_EQ(lib.importer.LastRegion()->GetName(), "x");
    EXPECT_EQ(lib.samples.Count(), 4);
    EXPECT_EQ(lib.AudioFiles().size(), 4u);
}

TEST(Import, RawFilesAlwaysAskAndOtherFilesReportTheirMessages) {
    Library lib;
    lib.Wav("looks.wav", 1000, 2, 16);
    fs::copy_file(lib.dir / "in" / "looks.wav", lib.dir / "in" / "data.RAW");
    std::string msg;
    bool cancelled;
    // Without a way to ask, a raw file cannot be read.
    EXPECT_FALSE(lib.importer.Import(lib.In(), "data.RAW", msg, kProgressOwn, cancelled));
    EXPECT_EQ(msg, "Can't read this file format");
    CountingRaw raw;
    raw.answer = {24, kRawIntBE, 48000, 1};
    lib.importer.SetRawChooser(&raw);
    ASSERT_TRUE(lib.importer.Import(lib.In(), "data.RAW", msg, kProgressOwn, cancelled)) << msg;
    EXPECT_EQ(raw.asked, 1);
    const CSample* s = lib.importer.LastRegion()->GetSample();
    EXPECT_EQ(s->GetSampleRate(), 48000);
    EXPECT_EQ(s->GetChannels(), 1);
    EXPECT_EQ(s->GetBits(), 24);
    EXPECT_EQ(s->GetFrameCount(), static_cast<int64_t>(fs::file_size(lib.dir / "in" / "data.RAW")) / 3);
    // A text file, a missing file, a damaged WAV.
    SaveBytes(lib.dir / "in" / "readme.txt", std::vector<uint8_t>(100, 'x'));
    EXPECT_FALSE(lib.importer.Import(lib.In(), "readme.txt", msg, kProgressOwn, cancelled));
    EXPECT_EQ(msg, "Format is not supported.");
    EXPECT_FALSE(cancelled);
    EXPECT_FALSE(lib.importer.Import(lib.In(), "gone.wav", msg, kProgressOwn, cancelled));
    EXPECT_EQ(msg, "Can't open file.");
    SaveBytes(lib.dir / "in" / "bad.wav", {'R', 'I', 'F', 'F', 1, 0, 0, 0, 'W', 'A', 'V', 'E'});
    EXPECT_FALSE(lib.importer.Import(lib.In(), "bad.wav", msg, kProgressOwn, cancelled));
    EXPECT_FALSE(msg.empty());
    EXPECT_EQ(lib.samples.Count(), 1);
    EXPECT_EQ(lib.AudioFiles().size(), 1u);
    // Without a VDisk there is nowhere to put the copy.
    CVDisk::Table().Clear();
    EXPECT_FALSE(lib.importer.Import(lib.In(), "looks.wav", msg, kProgressOwn, cancelled));
    EXPECT_EQ(msg, "Can't open output file");
}

TEST(Link, LeavesTheFileInPlaceBuildsItsPeaksAndTakesTheFramesRead) {
    REQUIRE_TOOL("lame");
    REQUIRE_TOOL("sox");
    Library lib;
    MakeWav(lib.dir, "in/src.wav", 44100 * 3, 2, 44100);
    ASSERT_EQ(0, RunCommand("lame --quiet -V 5 " + lib.In() + "/src.wav " + lib.In() + "/song.mp3"));
    std::string msg;
    bool cancelled;
    ASSERT_TRUE(lib.importer.Link(lib.In(), "src.wav", msg, kProgressOwn, cancelled)) << msg;
    CSample* s = lib.importer.LastRegion()->GetSample();
    EXPECT_EQ(s->GetStored(), 0);
    EXPECT_EQ(s->GetFolder(), lib.In());
    EXPECT_EQ(s->GetFileName(), "src.wav");
    EXPECT_EQ(s->GetFrameCount(), 44100 * 3);
    EXPECT_EQ(s->GetFormatCode(), kFormatWav);
    EXPECT_TRUE(lib.AudioFiles().empty()); // nothing copied
    std::string peakName;
    ASSERT_TRUE(s->PeakFileName(peakName));
    EXPECT_TRUE(fs::exists(lib.VDisk() / peakName));
    EXPECT_GT(lib.importer.LastRegion()->GetLeftPeak(), 0);
    EXPECT_EQ(lib.ui.progressTexts.back(), "Building src.wav");
    // An MP3's estimate is replaced by what the rebuild read.
    ASSERT_TRUE(lib.importer.Link(lib.In(), "song.mp3", msg, kProgressOwn, cancelled)) << msg;
    CRegion* r = lib.importer.LastRegion();
    {
        auto mp3 = MakeSourceReader(kFormatMp3, lib.In(), "song.mp3");
        ASSERT_TRUE(mp3->OpenRead());
        const int64_t read = static_cast<int64_t>(ReadAllFloat(*mp3).size() / 2);
        EXPECT_EQ(r->GetSample()->GetFrameCount(), read);
        EXPECT_EQ(r->GetEnd(), read);
    }
    // A found file counts as stored and keeps the tree's folder as it is.
    lib.regions.SetSelectedFolder(121);
    ASSERT_TRUE(lib.importer.Link(lib.In(), "src.wav", msg, kProgressOwn, cancelled, true)) << msg;
    EXPECT_EQ(lib.importer.LastRegion()->GetFlags(), static_cast<uint32_t>(RegionRoot | RegionFound));
    EXPECT_EQ(lib.importer.LastRegion()->GetSample()->GetStored(), 1);
    EXPECT_EQ(lib.regions.GetSelectedFolder(), 121);
    EXPECT_EQ(lib.samples.Count(), 3);
}

TEST(Link, CancelDiscardsSampleAndRegion) {
    Library lib;
    lib.Wav("long.wav", 8 * 32768, 2, 16);
    lib.ui.onEvents = [](ScriptedUiPort& u) {
        if (u.eventCalls == 2) u.PressAbort();
    };
    std::string msg;
    bool cancelled = false;
    EXPECT_FALSE(lib.importer.Link(lib.In(), "long.wav", msg, kProgressOwnCancel, cancelled));
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(lib.samples.Count(), 0);
    EXPECT_EQ(lib.regions.Count(), 0);
}

TEST(FileLoop, ProgressTextsReportLinesAbortAndTheReportSwitch) {
    Library lib;
    lib.Wav("one.wav", 3000, 2, 16);
    SaveBytes(lib.dir / "in" / "two.txt", std::vector<uint8_t>(64, 't'));
    lib.Wav("three.wav", 3000, 2, 16);
    int redraws = 0, deselects = 0;
    lib.importer.SetHooks({{}, {}, {}, [&] { ++deselects; }, [&] { ++redraws; }});
    bool show = true;
    lib.ui.reportDontShowAgain = true;
    CImporter::LoopResult res =
        lib.importer.RunFileLoop({lib.In() + "/one.wav", lib.In() + "/two.txt", lib.In() + "/three.wav"}, false, show);
    EXPECT_EQ(res.succeeded, 2);
    EXPECT_EQ(res.failed, 1);
    EXPECT_FALSE(res.aborted);
    ASSERT_EQ(lib.ui.reportLines.size(), 3u);
    EXPECT_EQ(lib.ui.reportLines[0], std::make_pair(std::string("one.wav"), std::string("OK")));
    EXPECT_EQ(lib.ui.reportLines[1], std::make_pair(std::string("two.txt"), std::string("Format is not supported.")));
    EXPECT_EQ(lib.ui.progressTexts[0], "Importing file 1 of 3\none.wav");
    EXPECT_EQ(lib.ui.progressTexts[2], "Importing file 3 of 3\nthree.wav");
    EXPECT_EQ(lib.ui.reportCaption, "Import Audio Report");
    EXPECT_EQ(lib.ui.reportShows, 1);
    EXPECT_FALSE(show); // "Don't show this dialog again" turned the reports off
    EXPECT_FALSE(lib.ui.dualVisible);
    EXPECT_EQ(redraws, 1);
    EXPECT_EQ(deselects, 1);
    // The overall bar moves to (i × 100 + 100) ÷ n before file i.
    EXPECT_EQ(lib.ui.dualDraws.back().first, 100);
    // Off: no report. Abort during the first of two links ends the loop.
    lib.Wav("big.wav", 5 * 32768, 2, 16);
    lib.ui.onEvents = [](ScriptedUiPort& u) { u.PressAbort(); };
    res = lib.importer.RunFileLoop({lib.In() + "/big.wav", lib.In() + "/one.wav"}, true, show);
    EXPECT_TRUE(res.aborted);
    EXPECT_EQ(res.succeeded, 0);
    EXPECT_EQ(lib.ui.reportLines.size(), 1u);
    EXPECT_EQ(lib.ui.progressTexts.back(), "Linking file 1 of 2\nbig.wav");
    EXPECT_EQ(lib.ui.reportShows, 1);
    EXPECT_EQ(lib.samples.Count(), 2);
}

TEST(Import, AFullDiskIsReportedAndLeavesNothingBehind) {
    Library lib;
    // A VDisk on a file system of 256 KiB: a ten-second WAV cannot fit.
    if (RunCommand("mount -t tmpfs -o size=256k sonquil-test '" + lib.VDisk().string() + "' 2>/dev/null") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    lib.Wav("big.wav", 441000, 2, 16);
    for (int32_t mode : {kFormatWav, kFormatKX64}) {
        SCOPED_TRACE(mode);
        lib.importer.SetSettings({mode, 400, true});
        std::string msg;
        bool cancelled = true;
        EXPECT_FALSE(lib.importer.Import(lib.In(), "big.wav", msg, kProgressOwn, cancelled));
        EXPECT_FALSE(cancelled);
        EXPECT_EQ(msg, "Can't write file (disk full?).");
        EXPECT_TRUE(lib.AudioFiles().empty());
        EXPECT_EQ(lib.samples.Count(), 0);
        EXPECT_EQ(lib.regions.Count(), 0);
    }
    RunCommand("umount '" + lib.VDisk().string() + "'");
}
